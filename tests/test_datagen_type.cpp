// Pictures the data tool sets in real typefaces: the greeting logos (one
// face and treatment per group) and the town's credits, read back from the
// files as the show reads them.
#include "support/images.h"
#include "support/show_runner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string logo_path(const std::string& root, int k)
{
    char name[64];
    std::snprintf(name, sizeof name, "/textures/greetings/grts_logo%02d.png", k + 1);
    return root + name;
}

// Runs one generator of the built data tool into a fresh folder.
std::string generate(const std::string& only)
{
    const std::string dir = make_temp_dir();
    const std::string command = build_dir() + "/bin/datagen --only " + only + " " + dir + " > /dev/null";
    return std::system(command.c_str()) == 0 ? dir : "";
}

TEST(GreetingLogos, thirteen_transparent_pictures_each_unlike_every_other)
{
    std::vector<std::vector<uint8_t>> logos(13); // RGBA, rows from the bottom
    for (int k = 0; k < 13; ++k) {
        int width = 0, height = 0;
        logos[k] = load_image(logo_path(build_dir() + "/data", k), 4, &width, &height);
        ASSERT_FALSE(logos[k].empty()) << k;
        ASSERT_EQ(512, width) << k;
        ASSERT_EQ(256, height) << k;
        // Transparent round the type, which stays in the middle band.
        size_t inked = 0, outside = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 512; ++x) {
                const unsigned char a = logos[k][(size_t(y) * 512 + size_t(x)) * 4 + 3];
                inked += a > 128;
                outside += a > 128 && (y < 48 || y >= 208);
            }
        EXPECT_GT(inked, 512u * 256u / 50u) << k << ": a logo shows";
        EXPECT_EQ(0u, outside) << k << ": kept to the band the screens magnify";
        EXPECT_EQ(0, logos[k][3]) << k << ": a transparent corner";
    }
    // Pairwise: different faces and treatments cover different pixels and
    // colour them differently.
    for (int i = 0; i < 13; ++i)
        for (int j = i + 1; j < 13; ++j) {
            double diff = 0;
            for (size_t p = 0; p < logos[i].size(); ++p)
                diff += std::abs(int(logos[i][p]) - int(logos[j][p]));
            EXPECT_GT(diff / double(logos[i].size()), 4.0) << "logos " << i + 1 << " and " << j + 1;
        }
}

TEST(GreetingLogos, and_the_credits_are_the_same_bytes_on_every_run)
{
    const std::string a = generate("greetings"), b = generate("greetings");
    const std::string c = generate("town"), d = generate("town");
    ASSERT_FALSE(a.empty() || b.empty() || c.empty() || d.empty()) << "datagen failed";
    // Two runs that wrote nothing would read the same: each file must exist.
    auto expect_same_and_written = [](const std::string& x, const std::string& y) {
        const std::string first = read_text_file(x);
        EXPECT_FALSE(first.empty()) << x << " was not written";
        EXPECT_TRUE(first == read_text_file(y)) << x << " differs between runs";
    };
    for (int k = 0; k < 13; ++k)
        expect_same_and_written(logo_path(a, k), logo_path(b, k));
    for (const char* file : {"/models/town/credits.png", "/models/town/crazytown.bzobj"})
        expect_same_and_written(c + file, d + file);
}

} // namespace
