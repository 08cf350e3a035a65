// The pictures the data tool makes, read back the way the show reads them.
#include <gtest/gtest.h>

#include <string>

#include "support/images.h"
#include "support/show_runner.h"

namespace {

int brightness(const std::vector<uint8_t>& rgb, int width, int x, int y) // y from the bottom
{
    const uint8_t* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
    return p[0] + p[1] + p[2];
}

} // namespace

TEST(LoadingPicture, is_1024_by_768_with_a_dark_slot_under_the_loading_bar)
{
    int width = 0, height = 0;
    std::vector<uint8_t> rgb = load_image(build_dir() + "/data/textures/loading.jpg", 3, &width, &height);
    ASSERT_FALSE(rgb.empty()) << "build the data first";
    EXPECT_EQ(1024, width); // not a power of two: a rectangle texture addressed in texels
    EXPECT_EQ(768, height);
    // The bar (light grey 0.8) grows over x 330..732, y 466..495 leaning right:
    // everywhere it can reach, the picture is near black so the bar reads.
    for (float p : {0.0f, 0.25f, 0.5f, 0.75f, 0.98f})
        for (int y : {470, 480, 490}) {
            int x = int(330 + 372 * p + 30.0f * float(y - 466) / 29.0f) + 2;
            EXPECT_LT(brightness(rgb, width, x, y), 60) << "x " << x << " y " << y;
        }
    // The slot is framed, so an empty bar is still visible.
    EXPECT_GT(brightness(rgb, width, 520, 464), 250);
}
