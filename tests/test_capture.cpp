// The capture tool (bin/capture) run as a user runs it, on a private Xvfb.
#include "support/images.h"
#include "support/scene_capture.h"
#include "support/show_runner.h"
#include "scenes/scene_arcs.h"
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
        const std::vector<demo_event> queue_events = queue->events;
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
            if (!seen[switches[i].code] && end - switches[i].time >= 1000) {
                seen[switches[i].code] = true;
                picks.push_back({(switches[i].time + end) / 2, switches[i].code});
                late.push_back({end - 350, switches[i].code});
                first_snare.push_back(EVENT_NONE);
                for (const demo_event& e : queue_events)
                    if (e.code == CUE_SNARE_CODE && e.time > switches[i].time && e.time < end) {
                        first_snare.back() = e.time;
                        break;
                    }
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

    // The fast-forward's frames at the times given, on a coarse grid.
    ShowResult capture_at(const std::string& dir, const std::vector<int32_t>& times,
                          const std::vector<std::string>& extra = {})
    {
        std::string list;
        for (int32_t t : times)
            list += (list.empty() ? "" : ",") + std::to_string(t) + "ms";
        std::vector<std::string> args = {"--rate", "10", "--out", dir, "--at", list};
        args.insert(args.end(), extra.begin(), extra.end());
        return run_capture(runner, args, 600);
    }

    // 350 ms before the end of the scene's first stretch (after its cues).
    static int32_t late_in(int32_t scene)
    {
        for (const SceneTime& p : late)
            if (p.scene == scene)
                return p.time;
        return EVENT_NONE;
    }

    static const int32_t CUE_SNARE_CODE = 17;
    ShowRunner runner;
    static int32_t quit_time;
    static std::vector<SceneTime> picks, late;
    static std::vector<int32_t> first_snare; // per pick: the stretch's first snare, or EVENT_NONE
    static std::string at;
};
int32_t Capture::quit_time = -1;
std::vector<SceneTime> Capture::picks, Capture::late;
std::vector<int32_t> Capture::first_snare;
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

TEST_F(Capture, fast_forward_writes_the_full_replays_bytes_late_in_each_of_the_first_five_scenes)
{
    // scripts/seek-check does the same for every scene.
    std::vector<int32_t> times;
    for (const SceneTime& p : late)
        if (p.scene <= 4)
            times.push_back(p.time);
    ASSERT_EQ(5u, times.size());
    const std::string fast = make_temp_dir(), full = make_temp_dir();
    const ShowResult a = capture_at(fast, times);
    ASSERT_TRUE(a.exited && a.exit_code == 0) << a.out << a.err;
    const ShowResult b = capture_at(full, times, {"--full-replay"});
    ASSERT_TRUE(b.exited && b.exit_code == 0) << b.out << b.err;
    EXPECT_NE(std::string::npos, a.out.find("# capture: fast-forward drew ")) << a.out;
    for (int32_t t : times) {
        const std::string picture = read_text_file(capture_frame_file(full, t));
        ASSERT_FALSE(picture.empty()) << capture_frame_file(full, t);
        EXPECT_TRUE(picture == read_text_file(capture_frame_file(fast, t))) << "the frame at " << t << " ms differs";
    }
}

TEST_F(Capture, each_entry_of_the_fast_forward_is_needed_for_its_scenes_picture)
{
    // A moment at which the scene's picture depends on the entry.
    int32_t ps_snare = EVENT_NONE;
    for (std::size_t i = 0; i < picks.size(); ++i)
        if (picks[i].scene == 3)
            ps_snare = first_snare[i];
    int32_t womanbox = EVENT_NONE;
    for (const SceneTime& p : late)
        if (p.scene == 8)
            womanbox = p.time;
    ASSERT_NE(EVENT_NONE, ps_snare) << "no snare in the particle speaker's stretch";
    const struct
    {
        const char* entry;
        int32_t time;
    } needs[] = {
        {"intro flicker", late_in(0)},
        {"particles flicker", late_in(1)},
        {"gl state", late_in(3)}, // the speaker room's last frame leaves what the next scene finds
        {"particle speaker flicker", late_in(3)},
        {"particle speaker path", ps_snare - 50}, // the first flight, before a snare starts the next
        {"town first frame", late_in(4)},
        {"frame before", late_in(4)}, // the town's sky is the clear colour of the frame before
        {"arcs first time", ARCS_WARM_FROM + 1272}, // half way through the colour turn
        {"woman box logo", womanbox - 12000},       // the logo still crossing
    };
    std::vector<int32_t> times;
    for (const auto& n : needs)
        times.push_back(n.time);
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    const std::string all = make_temp_dir();
    const ShowResult reference = capture_at(all, times);
    ASSERT_TRUE(reference.exited && reference.exit_code == 0) << reference.out << reference.err;
    for (const auto& n : needs) {
        const std::string dir = make_temp_dir();
        const ShowResult run = capture_at(dir, {n.time}, {"--leave-out", n.entry});
        ASSERT_TRUE(run.exited && run.exit_code == 0) << n.entry << run.out << run.err;
        const std::string without = read_text_file(capture_frame_file(dir, n.time));
        ASSERT_FALSE(without.empty()) << capture_frame_file(dir, n.time);
        EXPECT_FALSE(without == read_text_file(capture_frame_file(all, n.time)))
            << "without \"" << n.entry << "\" the frame at " << n.time << " ms is still right";
    }
    EXPECT_EQ(2, run_capture(runner, {"--out", "/tmp", "--leave-out", "no such entry"}, 30).exit_code);
}

TEST_F(Capture, a_run_started_over_late_in_the_show_gives_a_fresh_runs_bytes_in_every_scene)
{
    // What the rehearsal tool does for a jump back: every scene's run-long
    // values, the script's cursor, the random numbers and the GL state are
    // back where the show started.
    std::vector<int32_t> times;
    for (const SceneTime& p : late)
        times.push_back(p.time);
    std::sort(times.begin(), times.end());
    const std::string fresh = make_temp_dir(), again = make_temp_dir();
    const ShowResult a = capture_at(fresh, times);
    ASSERT_TRUE(a.exited && a.exit_code == 0) << a.out << a.err;
    const ShowResult b = capture_at(again, times, {"--restart-at", std::to_string(quit_time - 2000) + "ms"});
    ASSERT_TRUE(b.exited && b.exit_code == 0) << b.out << b.err;
    for (int32_t t : times) {
        const std::string picture = read_text_file(capture_frame_file(fresh, t));
        ASSERT_FALSE(picture.empty()) << capture_frame_file(fresh, t);
        EXPECT_TRUE(picture == read_text_file(capture_frame_file(again, t))) << "the frame at " << t << " ms differs";
    }
}
