#include "core/demo.h"

#include "platform/platform.h"
#include "timeline/scene_manager.h"

#include <gtest/gtest.h>

#include <SDL/SDL.h>
#include <cstdlib>
#include <string>
#include <vector>

TEST(BeatLine, prints_hours_minutes_seconds_and_milliseconds_without_leading_zeros)
{
    EXPECT_EQ("beat 0:0:0,0 0", format_beat_line(0));
    EXPECT_EQ("beat 0:1:5,250 65250", format_beat_line(65250));
    EXPECT_EQ("beat 0:59:59,999 3599999", format_beat_line(3599999));
    EXPECT_EQ("beat 1:0:0,0 3600000", format_beat_line(3600000));
    EXPECT_EQ("beat 2:3:4,5 7384005", format_beat_line(2 * 3600000 + 3 * 60000 + 4 * 1000 + 5));
}

TEST(BeatLine, space_prints_the_show_time_counted_from_the_start_of_the_music)
{
    // A loading phase of 5.3 s on the virtual counter, then playback, then
    // space held 1.25 s later: the line counts from the music's start.
    platform_use_virtual_counter(0);
    cSceneManager* manager = get_scene_manager();
    manager->clock.read_frequency();
    manager->clock.tick();
    manager->clock.start = manager->clock.now;
    platform_advance_virtual_counter(5300000);
    testing::internal::CaptureStdout();
    manager->start();
    testing::internal::GetCapturedStdout();
    platform_advance_virtual_counter(1250000);
    manager->clock.tick();
    for (int32_t& k : keys)
        k = 0;
    set_key(' ', 1);
    testing::internal::CaptureStderr();
    check_keys();
    EXPECT_EQ("beat 0:0:1,250 1250\n", testing::internal::GetCapturedStderr());
    set_key(' ', 0);
    platform_use_real_counter();
}

TEST(KeyTable, stores_lower_cased_symbols_inside_the_table_only)
{
    for (int32_t& k : keys)
        k = 0;
    EXPECT_TRUE(set_key('A', 1));
    EXPECT_EQ(1, keys['a']);
    EXPECT_TRUE(set_key(' ', 1));
    EXPECT_EQ(1, keys[32]);
    EXPECT_TRUE(set_key(' ', 0));
    EXPECT_EQ(0, keys[32]);
    EXPECT_TRUE(set_key(254, 1));
    // Symbols at 255 and above (cursor keys, function keys) are ignored.
    EXPECT_FALSE(set_key(255, 1));
    EXPECT_FALSE(set_key(273, 1));
    EXPECT_FALSE(set_key(100000, 1));
    EXPECT_FALSE(set_key(-1, 1));
}

// --- beat lines from real key events --------------------------------------------

namespace {

// The beat lines one frame's poll_events and check_keys print for the key
// events queued before it (true: press, false: release of space).
int beat_lines_of_frame(const std::vector<bool>& transitions)
{
    for (bool down : transitions) {
        SDL_Event e = {};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = SDLK_SPACE;
        SDL_PushEvent(&e);
    }
    testing::internal::CaptureStderr();
    poll_events();
    check_keys();
    std::string err = testing::internal::GetCapturedStderr();
    int lines = 0;
    for (size_t at = err.find("beat "); at != std::string::npos; at = err.find("beat ", at + 1))
        ++lines;
    return lines;
}

} // namespace

TEST(BeatKey, every_press_prints_one_line_even_when_released_in_the_same_frame)
{
    // SDL's event queue without a window: the dummy video driver.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(0, SDL_Init(SDL_INIT_VIDEO)) << SDL_GetError();
    struct frame_case
    {
        const char* what;
        std::vector<std::vector<bool>> frames; // events queued before each frame
        int lines;
    };
    const frame_case cases[] = {
        {"a tap within one frame", {{true, false}}, 1},
        {"two taps within one frame", {{true, false, true, false}}, 2},
        {"held across three frames", {{true}, {}, {false}}, 1},
        {"a release alone", {{false}}, 0},
    };
    for (const frame_case& c : cases) {
        int lines = 0;
        for (const std::vector<bool>& frame : c.frames)
            lines += beat_lines_of_frame(frame);
        EXPECT_EQ(c.lines, lines) << c.what;
    }
    SDL_Quit();
}
