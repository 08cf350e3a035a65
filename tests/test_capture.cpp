// The capture tool (bin/capture) run as a user runs it, on a private Xvfb.
#include "support/images.h"
#include "support/scene_capture.h"
#include "support/show_runner.h"
#include "timeline/event_queue.h"
#include "timeline/scene_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct SceneTime
{
    int32_t time;  // ms of show time, in the middle of the scene's stretch
    int32_t scene; // the scene current then
};

// Runs bin/capture with args on the runner's server; killed after timeout_s.
ShowResult run_capture(ShowRunner& runner, const std::vector<std::string>& args, int timeout_s)
{
    if (!runner.start_program(build_dir() + "/bin/capture", args))
        return ShowResult();
    return runner.wait_exit(timeout_s * 1000);
}

class Capture : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        cEventQueue* queue = cEventQueue_factory::loadFile(build_dir() + "/data/script/markers.txt");
        if (!queue)
            return;
        // The middle of the first stretch of every scene the script shows.
        std::vector<demo_event> switches;
        for (const demo_event& e : queue->events) {
            if (e.code >= EVENT_SCENE_FIRST && e.code <= EVENT_SCENE_LAST)
                switches.push_back(e);
            if (e.code == EVENT_QUIT)
                quit_time = e.time;
        }
        delete queue;
        std::vector<bool> seen(EVENT_SCENE_LAST + 1, false);
        for (std::size_t i = 0; i < switches.size(); ++i) {
            const int32_t end = i + 1 < switches.size() ? switches[i + 1].time : quit_time;
            if (!seen[switches[i].code] && end - switches[i].time >= 40) {
                seen[switches[i].code] = true;
                picks.push_back({(switches[i].time + end) / 2, switches[i].code});
            }
        }
        for (const SceneTime& p : picks)
            at += (at.empty() ? "" : ",") + std::to_string(p.time) + "ms";
    }

    void SetUp() override
    {
        ASSERT_GE(picks.size(), 3u) << "the release folder's script has no three scenes";
        ASSERT_GE(quit_time, 0) << "the release folder's script has no quit";
        if (!runner.start_server())
            GTEST_SKIP() << "no X server could be started";
    }

    // The capture at the picked times into a fresh folder.
    ShowResult capture_picks(const std::string& dir)
    {
        return run_capture(runner, {"--rate", "2", "--out", dir, "--at", at}, 240);
    }

    ShowRunner runner;
    static int32_t quit_time;
    static std::vector<SceneTime> picks;
    static std::string at;
};
int32_t Capture::quit_time = -1;
std::vector<SceneTime> Capture::picks;
std::string Capture::at;

} // namespace

TEST_F(Capture, a_frame_inside_each_scene_is_a_window_sized_picture_of_its_own)
{
    const std::string dir = make_temp_dir();
    const ShowResult run = capture_picks(dir);
    ASSERT_TRUE(run.exited && run.exit_code == 0) << run.out << run.err;
    std::vector<std::vector<uint8_t>> frames;
    for (const SceneTime& p : picks) {
        int w = 0, h = 0;
        std::vector<uint8_t> rgb = load_image(capture_frame_file(dir, p.time), 3, &w, &h);
        ASSERT_FALSE(rgb.empty()) << capture_frame_file(dir, p.time);
        EXPECT_EQ(1024, w);
        EXPECT_EQ(768, h);
        // Every scene draws something in the middle of its stretch, and a
        // frame kept at the wrong time would repeat another scene's picture.
        EXPECT_NE(rgb.end(), std::find_if(rgb.begin(), rgb.end(), [&](uint8_t v) { return v != rgb[0]; }))
            << "scene " << p.scene << " is one colour at " << p.time;
        for (const std::vector<uint8_t>& other : frames)
            EXPECT_TRUE(other != rgb) << "scene " << p.scene << " repeats an earlier frame at " << p.time;
        frames.push_back(std::move(rgb));
    }
}

TEST_F(Capture, two_captures_of_the_same_show_times_write_identical_pngs_and_load_on_the_virtual_clock)
{
    const std::string dir_a = make_temp_dir(), dir_b = make_temp_dir();
    const ShowResult first = capture_picks(dir_a);
    ASSERT_TRUE(first.exited && first.exit_code == 0) << first.out << first.err;
    const ShowResult second = capture_picks(dir_b);
    ASSERT_TRUE(second.exited && second.exit_code == 0) << second.out << second.err;
    for (const SceneTime& p : picks) {
        const std::string a = read_text_file(capture_frame_file(dir_a, p.time));
        ASSERT_FALSE(a.empty()) << capture_frame_file(dir_a, p.time);
        EXPECT_TRUE(a == read_text_file(capture_frame_file(dir_b, p.time))) << "frames at " << p.time << " differ";
    }

    // The loading phase lasts five seconds of the show's clock, held by
    // sleeps of the virtual counter: it ends within one of them.
    const std::string key = "# capture: loading phase took ";
    const std::size_t at_line = first.out.find(key);
    ASSERT_NE(std::string::npos, at_line) << first.out;
    int clock_ms = 0;
    ASSERT_EQ(1, std::sscanf(first.out.c_str() + at_line + key.size(), "%d ms of show clock", &clock_ms));
    EXPECT_GE(clock_ms, LOADING_MIN_MS);
    EXPECT_LT(clock_ms, LOADING_MIN_MS + int32_t(LOADING_HOLD_SLEEP_MS));
    // The show's own lines stay, in their order.
    EXPECT_LT(at_line, first.out.find("# fmod starting playback...\n"));
    EXPECT_NE(std::string::npos, first.out.find("requested exit\n"));
}

TEST_F(Capture, whole_show_at_two_frames_a_second_ends_with_code_0_and_keeps_its_contact_sheet)
{
    // Kept in the build folder as the run's artefact.
    const std::string sheet = build_dir() + "/tests/capture_whole_show.png";
    std::remove(sheet.c_str());
    const ShowResult run = run_capture(runner, {"--rate", "2", "--contact-sheet", sheet}, 800);
    ASSERT_TRUE(run.exited) << run.out << run.err;
    EXPECT_EQ(0, run.exit_code) << run.err;
    EXPECT_EQ(std::string::npos, run.out.find("## ERROR")) << run.out;
    EXPECT_EQ(std::string::npos, run.err.find("## ERROR")) << run.err;
    // Every half second from 0 up to the quit time, then the show's own end.
    const int frames = quit_time / 500 + 1;
    EXPECT_NE(std::string::npos, run.out.find("# capture: " + std::to_string(frames) + " frames kept")) << run.out;
    const std::string end = "requested exit\n";
    EXPECT_EQ(run.out.size() - end.size(), run.out.rfind(end)) << run.out;
    EXPECT_FALSE(load_image(sheet, 3).empty()) << sheet;
}

TEST_F(Capture, bad_arguments_end_with_code_2_before_the_show_starts)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},                                            // nothing to write
             {"--out", "/tmp", "--rate", "0"},              // no frames
             {"--out", "/tmp", "--at", "2000,1000"},        // times must rise
             {"--out", "/tmp", "--from", "9", "--at", "5"}, // one way of choosing frames
         }) {
        const ShowResult run = run_capture(runner, args, 30);
        EXPECT_TRUE(run.exited);
        EXPECT_EQ(2, run.exit_code) << run.err;
        EXPECT_EQ(std::string::npos, run.out.find("fmod")) << "the show did not start";
    }
}
