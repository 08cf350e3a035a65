// Frames of the real show for a scene's tests: runs the capture tool
// (bin/capture of the build) through the show runner on a private Xvfb
// server at a few show times and reads the PNG frames back, with the show's
// whole log.
#pragma once

#include "support/images.h"
#include "support/show_runner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

struct SceneCapture
{
    bool no_server = false;                   // no X server could be started: the only reason to skip
    bool exited = false;
    int exit_code = -1;
    std::string log;                          // the command, then standard output and error; "" only without a server
    std::vector<std::vector<uint8_t>> frames; // RGB, bottom row first, 1024x768; empty when missing
};

// A PNG as RGB rows from the bottom up; empty when it does not load.
inline std::vector<uint8_t> scene_capture_load_png(const std::string& path)
{
    return load_image(path, 3);
}

// The name bin/capture gives the frame at show time t in its --out folder.
inline std::string capture_frame_file(const std::string& dir, int32_t t)
{
    char name[64];
    std::snprintf(name, sizeof name, "/frame_%07d.png", int(t));
    return dir + name;
}

// Captures the show at times_ms (ascending, at least 10 ms apart) on a grid
// of rate frames a second; gives up (killing it) after timeout_s. A capture
// that hangs or crashes comes back with exited false and its log.
inline SceneCapture capture_scene_frames(const std::vector<int32_t>& times_ms, double rate, int timeout_s)
{
    SceneCapture result;
    ShowRunner runner;
    if (!runner.start_server()) {
        result.no_server = true;
        return result;
    }
    const std::string dir = make_temp_dir();
    std::string at;
    for (int32_t t : times_ms)
        at += (at.empty() ? "" : ",") + std::to_string(t) + "ms";
    const std::vector<std::string> args = {"--at", at, "--rate", std::to_string(rate), "--out", dir};
    result.log = "# bin/capture";
    for (const std::string& a : args)
        result.log += " " + a;
    result.log += "\n";
    if (runner.start_program(build_dir() + "/bin/capture", args)) {
        const ShowResult run = runner.wait_exit(timeout_s * 1000);
        result.exited = run.exited;
        result.exit_code = run.exit_code;
        result.log += run.out + run.err;
    } else {
        result.log += "could not be started\n" + runner.err();
    }
    for (int32_t t : times_ms)
        result.frames.push_back(load_image(capture_frame_file(dir, t), 3));
    return result;
}

// Skips the test when the capture had no X server; anything else is the
// test's to judge.
#define SKIP_WITHOUT_X_SERVER(capture)                                                                  \
    do {                                                                                               \
        if ((capture).no_server)                                                                       \
            GTEST_SKIP() << "no X server could be started";                                            \
    } while (0)

// The window's back buffer as the last frame left it, 1024x768 with
// channels 3 (RGB) or 4 (RGBA) bytes a pixel, bottom row first.
inline std::vector<uint8_t> read_window(int channels)
{
    std::vector<uint8_t> pixels(std::size_t(1024) * 768 * std::size_t(channels));
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 1024, 768, channels == 3 ? GL_RGB : GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Whether every pixel of an RGB frame has the same colour.
inline bool frame_is_uniform(const std::vector<uint8_t>& rgb)
{
    for (std::size_t i = 3; i + 2 < rgb.size(); i += 3)
        if (rgb[i] != rgb[0] || rgb[i + 1] != rgb[1] || rgb[i + 2] != rgb[2])
            return false;
    return true;
}

// Mean absolute difference per channel between two frames of one size.
inline double frame_difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size() || a.empty())
        return 0.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

// What every scene's capture must show: the run ended by itself with code 0
// and no "## ERROR" line, all frames were written, and the first pictured of
// them are full frames that are not one colour; then the two frames of each
// pair in changes differ by more than min_difference (frame_difference).
inline testing::AssertionResult capture_is_clean(const SceneCapture& run, std::size_t frames, std::size_t pictured,
                                                 std::initializer_list<std::pair<int, int>> changes = {},
                                                 double min_difference = 2.0)
{
    if (!run.exited || run.exit_code != 0)
        return testing::AssertionFailure() << "capture ended with code " << run.exit_code << "\n" << run.log;
    if (run.log.find("## ERROR") != std::string::npos)
        return testing::AssertionFailure() << "error lines in the log\n" << run.log;
    if (run.frames.size() != frames)
        return testing::AssertionFailure() << run.frames.size() << " frames, not " << frames;
    for (std::size_t i = 0; i < pictured; ++i) {
        if (run.frames[i].size() != 1024u * 768u * 3u)
            return testing::AssertionFailure() << "frame " << i << " is missing or not 1024x768";
        if (frame_is_uniform(run.frames[i]))
            return testing::AssertionFailure() << "frame " << i << " is one colour";
    }
    for (const std::pair<int, int>& c : changes) {
        const double d = frame_difference(run.frames[std::size_t(c.first)], run.frames[std::size_t(c.second)]);
        if (d <= min_difference)
            return testing::AssertionFailure() << "frames " << c.first << " and " << c.second << " differ by " << d;
    }
    return testing::AssertionSuccess();
}
