#include "core/display.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

// --- failures at the window ---------------------------------------------------------

namespace {

// init_sdl with the environment given (nullptr unsets), in the death test's
// child process.
void init_sdl_with(const char* video_driver, const char* display)
{
    video_driver ? setenv("SDL_VIDEODRIVER", video_driver, 1) : unsetenv("SDL_VIDEODRIVER");
    display ? setenv("DISPLAY", display, 1) : unsetenv("DISPLAY");
    get_display()->init_sdl();
}

} // namespace

TEST(DisplayFailures, no_display_or_no_video_end_the_show_with_one_error_line_and_code_255)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct failure
    {
        const char* video_driver;
        const char* display;
        const char* line;
    };
    const failure cases[] = {
        // Without SDL_VIDEODRIVER the X11 driver is chosen, so no text-mode
        // fallback draws into the terminal first.
        {nullptr, nullptr,
         "^## ERROR: no X display \\(DISPLAY is not set\\): mirvok needs an X server or XWayland to open its "
         "window - exiting\n$"},
        {nullptr, ":4711",
         "^## ERROR: cannot open the X display \":4711\": mirvok needs an X server or XWayland to open its window "
         "- exiting\n$"},
        {"no-such-driver", nullptr, "^## ERROR: whoops, SDL failed to init: [^\n]* exiting!\n$"},
    };
    for (const failure& f : cases)
        EXPECT_EXIT(init_sdl_with(f.video_driver, f.display), testing::ExitedWithCode(255), f.line)
            << (f.video_driver ? f.video_driver : "x11") << " " << (f.display ? f.display : "no DISPLAY");
}
