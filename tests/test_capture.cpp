// The capture tool (bin/capture) run as a user runs it, on a private Xvfb.
#include "support/placeholder_digits.h"
#include "support/show_runner.h"
#include "timeline/event_queue.h"

#include <IL/il.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct CaptureRun
{
    bool exited = false;
    int exit_code = -1;
    std::string out, err;
};

// Runs bin/capture with args on display; kills it after timeout_s.
CaptureRun run_capture(const std::string& display, const std::vector<std::string>& args, int timeout_s)
{
    const std::string dir = make_temp_dir();
    const std::string out = dir + "/out.txt", err = dir + "/err.txt";
    const std::string exe = build_dir() + "/bin/capture";
    pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        std::vector<char*> argv = {const_cast<char*>(exe.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    CaptureRun run;
    run.exit_code = wait_child(pid, timeout_s * 1000);
    run.exited = run.exit_code >= 0;
    run.out = read_text_file(out);
    run.err = read_text_file(err);
    return run;
}

// A PNG decoded to RGB rows from the bottom up; empty when it does not load.
std::vector<uint8_t> load_png(const std::string& path, int* width, int* height)
{
    static bool started = false;
    if (!started) {
        ilInit();
        ilEnable(IL_ORIGIN_SET);
        ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
        started = true;
    }
    std::vector<uint8_t> rgb;
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    if (ilLoadImage(path.c_str()) && ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE)) {
        *width = ilGetInteger(IL_IMAGE_WIDTH);
        *height = ilGetInteger(IL_IMAGE_HEIGHT);
        const uint8_t* data = ilGetData();
        rgb.assign(data, data + std::size_t(*width) * *height * 3);
    }
    ilDeleteImages(1, &image);
    return rgb;
}

std::string frame_file(const std::string& dir, int32_t t)
{
    char name[64];
    std::snprintf(name, sizeof name, "/frame_%07d.png", int(t));
    return dir + name;
}

struct SceneTime
{
    int32_t time;  // ms of show time, in the middle of the scene's stretch
    int32_t scene; // the scene current then
};

class Capture : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!runner.start_server())
            return;
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
        if (switches.size() < 3 || quit_time < 0)
            return;
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

    // The capture at the picked times, run once for the tests that read it
    // (ctest runs each test in a process of its own).
    static const CaptureRun& first_run()
    {
        if (dir_a.empty()) {
            dir_a = make_temp_dir();
            first = run_capture(runner.display(), {"--rate", "2", "--out", dir_a, "--at", at}, 120);
        }
        return first;
    }

    void SetUp() override
    {
        if (runner.display().empty())
            GTEST_SKIP() << "Xvfb could not be started";
        if (picks.empty())
            GTEST_SKIP() << "the release folder's script has no three scenes and a quit";
    }

    static ShowRunner runner;
    static int32_t quit_time;
    static std::vector<SceneTime> picks;
    static std::string at, dir_a;
    static CaptureRun first;
};
ShowRunner Capture::runner;
int32_t Capture::quit_time = -1;
std::vector<SceneTime> Capture::picks;
std::string Capture::at, Capture::dir_a;
CaptureRun Capture::first;

// The placeholder's dark background, inside the border that flashes on cues.
bool is_placeholder_frame(const std::vector<uint8_t>& rgb, int width)
{
    const uint8_t* p = &rgb[(std::size_t(30) * width + 30) * 3];
    return std::abs(p[0] - 13) <= 1 && std::abs(p[1] - 13) <= 1 && std::abs(p[2] - 18) <= 1;
}

TEST_F(Capture, a_frame_inside_a_scene_shows_that_scenes_placeholder_number)
{
    const CaptureRun& first = first_run();
    ASSERT_TRUE(first.exited && first.exit_code == 0) << first.out << first.err;
    int placeholders = 0;
    for (const SceneTime& p : picks) {
        int w = 0, h = 0;
        const std::vector<uint8_t> rgb = load_png(frame_file(dir_a, p.time), &w, &h);
        ASSERT_FALSE(rgb.empty()) << frame_file(dir_a, p.time);
        EXPECT_EQ(1024, w);
        EXPECT_EQ(768, h);
        // Scenes that are written draw themselves; the others must show their number.
        if (!is_placeholder_frame(rgb, w))
            continue;
        ++placeholders;
        EXPECT_EQ(p.scene, read_placeholder_number(rgb, w, h, 3)) << "at show time " << p.time;
    }
    if (placeholders == 0)
        GTEST_SKIP() << "every scene of the script is written: no placeholder left to read";
}

TEST_F(Capture, two_captures_of_the_same_show_times_write_identical_pngs)
{
    const std::string dir_b = make_temp_dir();
    first_run();
    CaptureRun second = run_capture(runner.display(), {"--rate", "2", "--out", dir_b, "--at", at}, 120);
    ASSERT_TRUE(second.exited && second.exit_code == 0) << second.out << second.err;
    for (const SceneTime& p : picks) {
        const std::string a = read_text_file(frame_file(dir_a, p.time));
        const std::string b = read_text_file(frame_file(dir_b, p.time));
        ASSERT_FALSE(a.empty()) << frame_file(dir_a, p.time);
        EXPECT_TRUE(a == b) << "frames at " << p.time << " differ";
    }
}

TEST_F(Capture, loading_phase_runs_on_the_virtual_clock_without_a_real_five_second_wait)
{
    const CaptureRun& first = first_run();
    const std::string key = "# capture: loading phase took ";
    std::size_t at_line = first.out.find(key);
    ASSERT_NE(std::string::npos, at_line) << first.out;
    int clock_ms = 0;
    double real_s = 0;
    ASSERT_EQ(2, std::sscanf(first.out.c_str() + at_line + key.size(), "%d ms of show clock in %lf s", &clock_ms,
                             &real_s));
    EXPECT_GE(clock_ms, 5000) << "the show's loading phase lasts five seconds of its clock";
    EXPECT_LT(real_s, 5.0) << "but takes no real five seconds";
    // The show's own lines stay, in their order.
    std::size_t playing = first.out.find("# fmod starting playback...\n");
    EXPECT_LT(at_line, playing);
    EXPECT_NE(std::string::npos, first.out.find("requested exit\n"));
}

TEST_F(Capture, whole_show_at_two_frames_a_second_ends_with_code_0_and_keeps_its_contact_sheet)
{
    // Kept in the build folder as the run's artefact.
    const std::string sheet = build_dir() + "/tests/capture_whole_show.png";
    std::remove(sheet.c_str());
    const auto began = std::chrono::steady_clock::now();
    CaptureRun run = run_capture(runner.display(), {"--rate", "2", "--contact-sheet", sheet}, 280);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("whole show at 2 frames a second: %.1f s\n", took);

    ASSERT_TRUE(run.exited) << run.out << run.err;
    EXPECT_EQ(0, run.exit_code) << run.err;
    EXPECT_EQ(std::string::npos, run.out.find("## ERROR")) << run.out;
    EXPECT_EQ(std::string::npos, run.err.find("## ERROR")) << run.err;
    // Every half second from 0 up to the quit time, then the show's own end.
    const int frames = quit_time / 500 + 1;
    EXPECT_NE(std::string::npos, run.out.find("# capture: " + std::to_string(frames) + " frames kept")) << run.out;
    const std::string end = "requested exit\n";
    EXPECT_EQ(run.out.size() - end.size(), run.out.rfind(end)) << run.out;
    int w = 0, h = 0;
    EXPECT_FALSE(load_png(sheet, &w, &h).empty()) << sheet;
}

TEST_F(Capture, bad_arguments_end_with_code_2_before_the_show_starts)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},                                          // nothing to write
             {"--out", "/tmp", "--rate", "0"},            // no frames
             {"--out", "/tmp", "--at", "2000,1000"},      // times must rise
             {"--out", "/tmp", "--from", "9", "--at", "5"}, // one way of choosing frames
         }) {
        CaptureRun run = run_capture(runner.display(), args, 30);
        EXPECT_TRUE(run.exited);
        EXPECT_EQ(2, run.exit_code) << run.err;
        EXPECT_EQ(std::string::npos, run.out.find("fmod")) << "the show did not start";
    }
}

} // namespace
