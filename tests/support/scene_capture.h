// Frames of the real show for a scene's tests: runs the capture tool
// (bin/capture of the build) on a private Xvfb server at a few show times
// and reads the PNG frames back, with the show's whole log. Header-only, so
// each scene's test program takes it without a change to the support
// library.
#pragma once

#include "support/show_runner.h"

#include <IL/il.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct SceneCapture
{
    bool exited = false;
    int exit_code = -1;
    std::string log;                         // standard output and error
    std::vector<std::vector<uint8_t>> frames; // RGB, bottom row first, 1024x768; empty when missing
};

// A PNG as RGB rows from the bottom up; empty when it does not load.
inline std::vector<uint8_t> scene_capture_load_png(const std::string& path)
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
        const std::size_t n = std::size_t(ilGetInteger(IL_IMAGE_WIDTH)) * std::size_t(ilGetInteger(IL_IMAGE_HEIGHT));
        const uint8_t* data = ilGetData();
        rgb.assign(data, data + n * 3);
    }
    ilDeleteImages(1, &image);
    return rgb;
}

// Captures the show at times_ms (ascending, at least 10 ms apart) on a grid
// of rate frames a second; gives up after timeout_s.
inline SceneCapture capture_scene_frames(const std::vector<int32_t>& times_ms, double rate, int timeout_s)
{
    SceneCapture result;
    ShowRunner server;
    if (!server.start_server())
        return result;
    const std::string dir = make_temp_dir();
    const std::string log = dir + "/log.txt";
    std::string at;
    for (int32_t t : times_ms)
        at += (at.empty() ? "" : ",") + std::to_string(t) + "ms";
    const std::string exe = build_dir() + "/bin/capture";
    const std::string rate_text = std::to_string(rate);
    pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", server.display().c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        const char* argv[] = {exe.c_str(), "--at", at.c_str(), "--rate", rate_text.c_str(), "--out", dir.c_str(),
                              nullptr};
        int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        dup2(fd, 2);
        execv(exe.c_str(), const_cast<char* const*>(argv));
        _exit(127);
    }
    result.exit_code = wait_child(pid, timeout_s * 1000);
    result.exited = result.exit_code >= 0;
    result.log = read_text_file(log);
    for (int32_t t : times_ms) {
        char name[64];
        std::snprintf(name, sizeof name, "/frame_%07d.png", int(t));
        result.frames.push_back(scene_capture_load_png(dir + name));
    }
    return result;
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
// them are full frames that are not one colour.
inline testing::AssertionResult capture_is_clean(const SceneCapture& run, std::size_t frames, std::size_t pictured)
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
    return testing::AssertionSuccess();
}
