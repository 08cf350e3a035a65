// The rehearsal tool: its clock against the music's position (in this
// process, the test standing in for the audio device), and bin/rehearse run
// as its user runs it, on a private Xvfb, with keys sent to its window.
#include "rehearsal_clock.h"

#include "support/ogg_writer.h"
#include "support/show_runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const int64_t PERIOD_MS = DEVICE_PERIOD_US / 1000;

// What the audio device does each period while the music plays.
void play_periods(cSoundModule_fmod& music, int periods)
{
    std::vector<uint8_t> out(MUSIC_DEVICE_FRAMES * MUSIC_CHANNELS * sizeof(int16_t));
    for (int i = 0; i < periods; ++i) {
        for (int waited = 0; waited < 5000 && music.buffered_ms() < 50 && !music.decoded_to_end(); ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        music.mix(out.data(), int(out.size()));
    }
}

} // namespace

// The module is loaded without an output device: nothing but the test
// takes samples from it, so every position below is exact.
TEST(RehearsalClock, show_time_follows_the_music_within_one_period_through_a_jump_a_pause_and_a_resume)
{
    const std::string dir = make_temp_dir();
    const std::string path = dir + "/tone.ogg";
    ASSERT_TRUE(write_test_ogg(path, MUSIC_RATE, 2, 20L * MUSIC_RATE, [](long f, int) { return (f % 64) / 128.0f; }));
    cSoundModule_fmod music;
    music.load(path);
    cRehearsalClock clock(music);
    int64_t now = 1000000;

    clock.jump(5000, now);
    EXPECT_EQ(5000, clock.show_time(now));
    EXPECT_EQ(5000, music.get_time());
    // Between two periods the real time carries the frames on, never by
    // more than a period.
    EXPECT_EQ(5004, clock.show_time(now + 4000));
    EXPECT_EQ(5000 + PERIOD_MS, clock.show_time(now + 500000));
    now += 500000;
    play_periods(music, 40);
    EXPECT_NEAR(music.get_time(), clock.show_time(now), PERIOD_MS);
    EXPECT_EQ(music.get_time(), clock.show_time(now)); // the music moved: a fresh period

    // Paused: the time stands at the music's position, however long.
    play_periods(music, 3);
    clock.show_time(now);
    clock.set_paused(true, now + 3000);
    const int32_t held = clock.show_time(now + 3000);
    EXPECT_EQ(music.get_time(), held);
    EXPECT_EQ(held, clock.show_time(now + 60000000));
    now += 60000000;
    // Resumed: on from the held time with the music, not from the real time.
    clock.set_paused(false, now);
    play_periods(music, 7);
    EXPECT_NEAR(music.get_time(), clock.show_time(now + 2000), PERIOD_MS);
    EXPECT_LT(clock.show_time(now + 2000), held + 100);

    // A jump back while paused stays paused at the jump's time.
    clock.set_paused(true, now);
    clock.jump(1234, now);
    EXPECT_EQ(1234, clock.show_time(now + 5000000));
    EXPECT_NEAR(music.get_time(), 1234, 1);
    clock.set_paused(false, now);
    play_periods(music, 2);
    EXPECT_NEAR(music.get_time(), clock.show_time(now), PERIOD_MS);
    music.close();
    fs::remove_all(dir);
}

namespace {

const int START_MS = 120000; // start-up, loading and the first seek

class Rehearse : public testing::Test
{
protected:
    void SetUp() override
    {
        root_ = make_private_release({"rehearse"}, {"script"});
        ASSERT_FALSE(root_.empty()) << "build the rehearsal tool first";
        runner_.set_window_name("mirvok rehearsal");
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void write_script(const std::string& text) { std::ofstream(root_ + "/data/script/markers.txt") << text; }
    // False only when no X server could be started.
    bool start(const std::vector<std::string>& args)
    {
        if (!runner_.start_server())
            return false;
        EXPECT_TRUE(runner_.start_program(root_ + "/bin/rehearse", args)) << runner_.err();
        return true;
    }
    // Waits for a line starting with line_start written after offset from
    // of standard output; returns the last such line ("" if none came).
    std::string line_after(std::size_t from, const std::string& line_start)
    {
        for (int waited = 0; waited < 60000; waited += 20) {
            const std::string out = runner_.out();
            const std::size_t at = out.rfind(line_start);
            const std::size_t end = at == std::string::npos ? at : out.find('\n', at);
            if (at != std::string::npos && at >= from && end != std::string::npos)
                return out.substr(at, end - at);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ADD_FAILURE() << "no line \"" << line_start << "\" in\n" << runner_.out();
        return "";
    }
    // Sends a key and waits for the line it makes on standard output.
    std::string key_then_line(const std::string& key, const std::string& line_start)
    {
        const std::size_t before = runner_.out().size();
        EXPECT_TRUE(runner_.send_key(key));
        return line_after(before, line_start);
    }
    void quit()
    {
        ASSERT_TRUE(runner_.send_key("q"));
        const ShowResult result = runner_.wait_exit(30000);
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(0, result.exit_code) << result.err;
    }

    std::string root_;
    ShowRunner runner_;
};

const char* const SCRIPT = "s00    0:00:00,000\n"
                           "s01    0:00:02,000\n"
                           "beat   0:00:02,500\n"
                           "quit   0:00:40,000\n";

} // namespace

TEST_F(Rehearse, bad_arguments_print_the_usage_and_end_with_code_2)
{
    for (const std::string args : {"--from", "--from soon", "--loop 5", "--loop 0:10,0:05", "--bogus", "--from 1 x"}) {
        const std::string command = root_ + "/bin/rehearse " + args + " >/dev/null 2>" + root_ + "/err.txt";
        const int status = std::system(command.c_str());
        EXPECT_EQ(2, WEXITSTATUS(status)) << args;
        EXPECT_NE(std::string::npos,
                  read_text_file(root_ + "/err.txt").find("usage: rehearse [--from TIME] [--loop FROM,TO]"))
            << args;
    }
}

TEST_F(Rehearse, jumps_land_on_the_exact_show_time_and_a_pause_stops_it)
{
    write_script(SCRIPT);
    if (!start({"--from", "0:03"}))
        GTEST_SKIP() << "no X server could be started";
    ASSERT_TRUE(runner_.wait_for_out("# rehearse: playing at 0:03.000 (s01)", START_MS)) << runner_.out();

    const std::string paused = key_then_line("p", "# rehearse: paused at ");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(paused, m, std::regex("paused at 0:(\\d\\d)\\.(\\d\\d\\d) \\(s01\\)"))) << paused;
    const int32_t t = std::stoi(m[1]) * 1000 + std::stoi(m[2]);
    // Paused, the beat line gives the paused time, also a second later.
    const std::string beat = "beat 0:0:" + std::to_string(t / 1000) + "," + std::to_string(t % 1000) + " " +
                             std::to_string(t) + "\n";
    ASSERT_TRUE(runner_.send_key("space"));
    ASSERT_TRUE(runner_.wait_for_err(beat, 10000)) << runner_.err();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_TRUE(runner_.send_key("space"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(runner_.send_key("space"));
    ASSERT_TRUE(runner_.wait_for_err(beat + beat + beat, 10000)) << runner_.err();

    auto at = [](int32_t ms) {
        char text[64];
        std::snprintf(text, sizeof text, "# rehearse: at 0:%02d.%03d", int(ms / 1000), int(ms % 1000));
        return std::string(text);
    };
    auto expect_jump = [&](const std::string& key, int32_t ms, const std::string& scene) {
        EXPECT_EQ(0u, key_then_line(key, "# rehearse: at ").find(at(ms) + " (" + scene + ") after ")) << key;
    };
    expect_jump("Right", t + 2000, "s01");
    expect_jump("shift+Right", t + 12000, "s01");
    // Back: the run starts over from show time 0 and lands exactly as well.
    expect_jump("Left", t + 10000, "s01");
    expect_jump("Home", 3000, "s01");
    expect_jump("Left", 1000, "s00");
    quit();
}

TEST_F(Rehearse, a_reread_script_delivers_a_new_cue_ahead_and_shows_a_switch_behind_the_moment)
{
    write_script(SCRIPT);
    if (!start({"--from", "0:05"}))
        GTEST_SKIP() << "no X server could be started";
    ASSERT_TRUE(runner_.wait_for_out("# rehearse: playing at 0:05.000 (s01)", START_MS)) << runner_.out();
    key_then_line("p", "# rehearse: paused at ");

    // A switch to s03 behind the present moment, a snare ahead of it.
    write_script("s00    0:00:00,000\n"
                 "s01    0:00:02,000\n"
                 "s03    0:00:04,000\n"
                 "snare  0:00:06,500\n"
                 "quit   0:00:40,000\n");
    const std::size_t before = runner_.out().size();
    EXPECT_EQ("# rehearse: re-read \"../data/script/markers.txt\": 5 events",
              key_then_line("r", "# rehearse: re-read "));
    // Replayed to the same moment, which now lies in s03.
    EXPECT_NE(std::string::npos, line_after(before, "# rehearse: at 0:05.").find("(s03)")) << runner_.out();
    key_then_line("Right", "# rehearse: at ");
    key_then_line("p", "# rehearse: playing at ");
    EXPECT_NE(std::string::npos, key_then_line("p", "# rehearse: paused at ").find(" after snare 0:06.500"))
        << runner_.out();

    // An unreadable script keeps the one read before, with one warning.
    fs::remove(root_ + "/data/script/markers.txt");
    fs::create_directory(root_ + "/data/script/markers.txt");
    ASSERT_TRUE(runner_.send_key("r"));
    ASSERT_TRUE(runner_.wait_for_err("# warning, cannot read the markers script", 10000)) << runner_.err();
    EXPECT_NE(std::string::npos, key_then_line("Home", "# rehearse: at 0:05.000").find("(s03)"));
    quit();
}
