#include "core/display.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {
std::string report(const int requested[9], const int received[9], int* position)
{
    std::ostringstream out;
    *position = report_display_attributes(requested, received, out);
    return out.str();
}

const int k_requested[9] = {8, 8, 8, 8, 24, 1, 1, 4, 0};
} // namespace

TEST(DisplayDefaults, ask_for_the_shows_fixed_window)
{
    cDisplay d;
    EXPECT_EQ(0x8000000Au, d.flags);
    EXPECT_EQ(1024, d.width);
    EXPECT_EQ(768, d.height);
    EXPECT_EQ(32, d.bpp);
    int attributes[9];
    d.requested_attributes(attributes);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(k_requested[i], attributes[i]) << "position " << i;
}

TEST(AttributeReport, is_silent_when_everything_was_granted)
{
    int position = 0;
    EXPECT_EQ("", report(k_requested, k_requested, &position));
    EXPECT_EQ(-1, position);
}

TEST(AttributeReport, names_the_first_differing_position_with_both_lines)
{
    const int received[9] = {5, 6, 5, 0, 16, 1, 1, 4, 0};
    int position = 0;
    EXPECT_EQ("# warning: init_sdl: SDL display attribute 0 failed\n"
              "requested: 8x8x8x8x24  doublebuffered multisample 4\n"
              "recieved: 5x6x5x0x16 doublebuffered multisample 4\n"
              "---------------------\n",
              report(k_requested, received, &position));
    EXPECT_EQ(0, position);
}

TEST(AttributeReport, a_window_without_multisampling_reports_position_6)
{
    // What the retry without multisampling gives: buffers 0, samples 0.
    const int received[9] = {8, 8, 8, 8, 24, 1, 0, 0, 0};
    int position = 0;
    std::string text = report(k_requested, received, &position);
    EXPECT_EQ(6, position);
    EXPECT_EQ("# warning: init_sdl: SDL display attribute 6 failed\n"
              "requested: 8x8x8x8x24  doublebuffered multisample 4\n"
              "recieved: 8x8x8x8x24 doublebuffered  0\n"
              "---------------------\n",
              text);
}

TEST(AttributeReport, stereo_is_compared_but_not_printed)
{
    const int received[9] = {8, 8, 8, 8, 24, 1, 1, 4, 1};
    int position = 0;
    std::string text = report(k_requested, received, &position);
    EXPECT_EQ(8, position);
    EXPECT_NE(std::string::npos, text.find("requested: 8x8x8x8x24  doublebuffered multisample 4\n"));
}
