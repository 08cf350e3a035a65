// The pictures the data tool makes, read back the way the show reads them.
#include <gtest/gtest.h>

#include <string>

#include "support/images.h"
#include "support/show_runner.h"

namespace {

struct Picture
{
    int width = 0, height = 0;
    std::vector<unsigned char> rgb; // rows from the bottom, as the show sees them

    // (x, y) in pixels from the bottom-left.
    const unsigned char* at(int x, int y) const { return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]; }
};

bool load_picture(const std::string& path, Picture* picture)
{
    picture->rgb = load_image(path, 3, &picture->width, &picture->height);
    return !picture->rgb.empty();
}

int brightness(const unsigned char* p)
{
    return p[0] + p[1] + p[2];
}

} // namespace

TEST(LoadingPicture, is_1024_by_768_with_a_dark_slot_under_the_loading_bar)
{
    Picture picture;
    ASSERT_TRUE(load_picture(build_dir() + "/data/textures/loading.jpg", &picture)) << "build the data first";
    EXPECT_EQ(1024, picture.width); // not a power of two: a rectangle texture addressed in texels
    EXPECT_EQ(768, picture.height);
    // The bar (light grey 0.8) grows over x 330..732, y 466..495 leaning right:
    // everywhere it can reach, the picture is near black so the bar reads.
    for (float p : {0.0f, 0.25f, 0.5f, 0.75f, 0.98f})
        for (int y : {470, 480, 490}) {
            int x = int(330 + 372 * p + 30.0f * float(y - 466) / 29.0f) + 2;
            EXPECT_LT(brightness(picture.at(x, y)), 60) << "x " << x << " y " << y;
        }
    // The slot is framed, so an empty bar is still visible.
    EXPECT_GT(brightness(picture.at(520, 464)), 250);
}
