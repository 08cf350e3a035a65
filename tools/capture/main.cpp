// capture: runs the show itself (its start-up, loading phase and frame loop)
// on a virtual clock and keeps the frames it draws as PNG files, a contact
// sheet or a video. See usage() for what is replayed exactly.
#include "frame_outputs.h"
#include "schedule.h"

#include "core/demo.h"
#include "core/display.h"
#include "core/gl_ext.h"
#include "core/seek.h"
#include "platform/platform.h"
#include "timeline/scene_manager.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const USAGE = R"(usage: capture [options] (--out DIR | --contact-sheet FILE | --video FILE.mp4)...

Runs the show's own start-up, loading phase and frame loop (the code of
bin/mirvok, not a copy) with its performance counter replaced by a virtual
one, and keeps the frames the show draws, read back just before each swap.

outputs (any together):
  --out DIR             each kept frame as DIR/frame_<show time in ms>.png (1024x768)
  --contact-sheet FILE  one PNG of thumbnails, each labelled with its show time
                        (m:ss.mmm) and the scene current then (s00..s12, s-- for none)
  --video FILE.mp4      pipes the kept frames to ffmpeg (H.264) and muxes the music
                        from the first kept frame's show time on; needs ffmpeg on PATH
frames:
  --rate FPS            frames per second of show time, 0.1 to 100 (default 60)
  --from TIME           first show time kept (default 0)
  --to TIME             last show time run and kept (default: the script's quit time)
  --at T1,T2,...        keep exactly these show times (sorted, 10 ms apart) instead of
                        a range; not with --video
  --columns N           thumbnails per contact-sheet row (default 10)
  --thumb-width PX      thumbnail width in pixels (default 128)
  --full-replay         draw every frame, kept or not (see Fast-forward below)
  --leave-out NAME      leave one entry out of the fast-forward (see below)
  --restart-at TIME     first run the show to TIME, start the run over from show
                        time 0 as the rehearsal tool does for a jump back, then
                        capture as asked: the pictures must be the same bytes
  --help                this text
TIME is seconds ("65.25"), milliseconds ("65250ms") or minutes:seconds ("1:05.25").

What is replayed exactly:
  - Time. The virtual counter moves only when the capture sets it before a frame
    or the show sleeps. During the loading phase each presented frame counts as
    1/10 s (those pictures are not kept) and the hold before the show sleeps on
    the virtual clock, so the five-second loading phase passes without waiting. The show's time origin
    then falls on a whole millisecond and every frame's show time is exact.
  - Events. Each frame runs the show's own update: all script events due before
    its show time are handed out in queue order, exactly as the show does.
  - Frames. The show is always replayed from show time 0 on one grid of frames,
    k * 1000 / rate ms, so a show time gives the same picture whatever range is
    asked for, and the same command gives the same PNG bytes. Listed times
    (--at) are put into that grid, and grid frames within 10 ms of them make
    way.
  - Fast-forward. A frame that is not kept runs the show's input, update and
    events (scene switches with their exit and init, cues, every scene's
    update, where the particle systems step), but its clear, draw and swap are
    skipped: nothing in it reaches a kept picture, except what a draw leaves
    for later frames. Those frames are still drawn: the first frame some
    scenes draw in the run (the times they take then), the last frame of
    every scene's stretch (the GL state the next scene finds) and the frame
    just before each kept one (the clear colour, which lags one frame); a
    skipped draw still takes the random numbers its draw would have taken and
    steps the town's flash and first-frame values as its draw would. So
    the kept pictures are the same bytes as a full replay's, and a moment late
    in the show costs little more than an early one.
    --full-replay draws every frame instead, as the show does;
    --leave-out NAME drops one entry of that list (names as "town flash",
    "arcs first time"), only to see that the entry is needed: the pictures
    may then differ from the full replay's.
  - Not exact. Scenes that advance per frame (particle systems step once per
    frame, first-frame times) depend on the frame rate: a capture at 2 frames a
    second shows the events and the cameras of the show but particles that
    stepped 2 times a second, not 60. Music is not played while capturing (SDL
    audio goes to the dummy driver); --video muxes the music file itself, whose
    start is the show's time origin. Keys are not read from you.

How it ends: the show ends only through exit(), on the script's quit event. The
capture stops at the last frame it keeps (at most the quit time, as a frame at
the quit time still draws), finishes its files, then lets the show run one more
frame past the quit event, so it ends as the show does ("requested exit", exit
code 0). Should the show end earlier (a fatal error, a closed window), an exit
hook still writes what was captured; the exit code is then the show's.
Exit codes: 0 done, 1 an output failed or the script has no quit and no --to,
2 bad arguments; start-up failures keep the show's own codes.
)";

struct options
{
    capture_settings outputs;
    bool has_from = false, has_to = false;
    int32_t from = 0, to = 0;
    std::vector<int32_t> at;
    bool full_replay = false;
    int32_t restart_at = -1;
};

int usage_error(const char* what, const char* arg = "")
{
    std::fprintf(stderr, "capture: %s%s\ntry capture --help\n", what, arg);
    return 2;
}

// An absolute path for a name given on the command line (the capture works
// from the program's own directory).
std::string absolute(const std::string& path)
{
    if (path.empty() || path[0] == '/')
        return path;
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

bool on_path(const char* program)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// Parses argv into opt; 0 on success, else the exit code (help prints and gives -1).
int parse_arguments(int argc, char** argv, options& opt)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(USAGE, stdout);
            return -1;
        }
        if (arg == "--full-replay") {
            opt.full_replay = true;
            continue;
        }
        if (i + 1 >= argc)
            return usage_error("missing value or unknown option: ", argv[i]);
        const std::string value = argv[++i];
        if (arg == "--out") {
            opt.outputs.frame_dir = absolute(value);
        } else if (arg == "--contact-sheet") {
            opt.outputs.contact_sheet = absolute(value);
        } else if (arg == "--video") {
            opt.outputs.video = absolute(value);
        } else if (arg == "--rate") {
            char* end = nullptr;
            opt.outputs.rate = std::strtod(value.c_str(), &end);
            if (*end || !(opt.outputs.rate >= 0.1 && opt.outputs.rate <= 100.0))
                return usage_error("--rate wants 0.1 to 100 frames a second, not ", value.c_str());
        } else if (arg == "--from" || arg == "--to") {
            int32_t t = 0;
            if (!parse_show_time(value, &t))
                return usage_error("not a show time: ", value.c_str());
            (arg == "--from" ? opt.from : opt.to) = t;
            (arg == "--from" ? opt.has_from : opt.has_to) = true;
        } else if (arg == "--at") {
            std::size_t start = 0;
            while (start <= value.size()) {
                std::size_t end = value.find(',', start);
                if (end == std::string::npos)
                    end = value.size();
                int32_t t = 0;
                if (!parse_show_time(value.substr(start, end - start), &t))
                    return usage_error("not a show time in --at: ", value.c_str());
                if (!opt.at.empty() && t - opt.at.back() < MIN_FRAME_GAP_MS)
                    return usage_error("--at times must rise by 10 ms or more: ", value.c_str());
                opt.at.push_back(t);
                start = end + 1;
            }
        } else if (arg == "--restart-at") {
            if (!parse_show_time(value, &opt.restart_at))
                return usage_error("not a show time: ", value.c_str());
        } else if (arg == "--leave-out") {
            if (!seek_disable_entry(value.c_str()))
                return usage_error("no fast-forward entry of that name: ", value.c_str());
        } else if (arg == "--columns" || arg == "--thumb-width") {
            int n = std::atoi(value.c_str());
            if (n < 1 || n > 4096)
                return usage_error("not a useful count: ", value.c_str());
            (arg == "--columns" ? opt.outputs.columns : opt.outputs.thumb_width) = n;
        } else {
            return usage_error("unknown option: ", argv[i - 1]);
        }
    }
    const capture_settings& o = opt.outputs;
    if (o.frame_dir.empty() && o.contact_sheet.empty() && o.video.empty())
        return usage_error("nothing to write: give --out, --contact-sheet or --video");
    if (!opt.at.empty() && (opt.has_from || opt.has_to))
        return usage_error("--at replaces --from and --to");
    if (!opt.at.empty() && !o.video.empty())
        return usage_error("--video needs frames at a fixed rate: use --from and --to, not --at");
    if (opt.has_from && opt.has_to && opt.from > opt.to)
        return usage_error("--from lies after --to");
    struct stat st;
    if (!o.frame_dir.empty() && (stat(o.frame_dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
        return usage_error("--out wants an existing directory: ", o.frame_dir.c_str());
    if (!o.video.empty() && !on_path("ffmpeg"))
        return usage_error("--video needs ffmpeg, which is not on PATH");
    return 0;
}

// --- the capture's state, shared with the present hook and the exit hook ----

enum class phase
{
    loading, // the loading phase: each presented frame takes one refresh
    show,    // the frame loop: the capture sets the clock before each frame
    done,    // the files are finished
};

// How long each presented frame of the loading phase takes, in counter units
// (microseconds): a 10 Hz display. The loading pictures are not kept, and a
// slower refresh draws the fade in 20 frames instead of 120.
const int64_t LOADING_REFRESH_COUNTS = 100000;

phase g_phase = phase::loading;
cFrameOutputs g_outputs;
bool g_keep_next = false; // the frame being drawn is kept
bool g_output_failed = false;
int32_t g_last_kept = -1;


// Reads the finished frame from the window's back buffer, as the show is
// about to present it. Restores the read buffer, framebuffer and packing.
std::vector<uint8_t> read_back_frame(int width, int height)
{
    GLint framebuffer = 0, read_buffer = 0, alignment = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
    glGetIntegerv(GL_READ_BUFFER, &read_buffer);
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    std::vector<uint8_t> rgb(std::size_t(width) * height * 3);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    glReadBuffer(GLenum(read_buffer));
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(framebuffer));
    return rgb;
}

void on_present()
{
    if (g_phase == phase::loading) {
        platform_advance_virtual_counter(LOADING_REFRESH_COUNTS);
        return;
    }
    if (g_phase != phase::show || !g_keep_next)
        return;
    g_keep_next = false;
    cDisplay* display = get_display();
    const int32_t t = get_scene_manager()->clock.show_time();
    if (!g_outputs.add(read_back_frame(display->width, display->height), t, seek_current_scene()))
        g_output_failed = true;
    g_last_kept = t;
}

// Finishes the files when the show ends before the capture did.
void finish_at_exit()
{
    if (g_phase == phase::done)
        return;
    g_phase = phase::done;
    std::printf("# capture: the show ended at show time %s; keeping the %d frames captured\n",
                format_show_time(get_scene_manager()->clock.show_time()).c_str(), g_outputs.frames());
    std::fflush(stdout);
    g_outputs.finish();
}

std::string duration_text(double seconds)
{
    char buf[32];
    const int s = int(seconds + 0.5);
    if (s >= 60)
        std::snprintf(buf, sizeof buf, "%dm%02ds", s / 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%ds", s);
    return buf;
}

typedef std::chrono::steady_clock wall_clock;

double seconds_since(wall_clock::time_point t0)
{
    return std::chrono::duration<double>(wall_clock::now() - t0).count();
}

} // namespace

int main(int argc, char** argv)
{
    platform_open_standard_streams();
    platform_keep_heap();
    // --- arguments
    options opt;
    if (int code = parse_arguments(argc, argv, opt))
        return code < 0 ? 0 : code;

    // --- set up: the show's own start-up and loading phase on the virtual clock
    const wall_clock::time_point began = wall_clock::now();
    platform_enter_exe_dir();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    platform_use_virtual_counter(0);
    display_set_present_hook(on_present);
    demo_startup();
    atexit(finish_at_exit);
    cDemo demo;
    demo.init();
    cSceneManager* manager = get_scene_manager();
    const int32_t loading_ms = manager->clock.now - manager->clock.start;
    std::printf("# capture: loading phase took %d ms of show clock in %.1f s\n", int(loading_ms),
                seconds_since(began));

    const demo_event quit = manager->queue ? manager->queue->find(EVENT_QUIT) : NO_EVENT;
    std::vector<capture_frame> frames;
    if (!opt.at.empty()) {
        frames = schedule_times(opt.outputs.rate, opt.at);
    } else {
        if (!opt.has_to && quit.code != EVENT_QUIT) {
            std::fprintf(stderr, "capture: the script has no quit event: give --to\n");
            exit(1);
        }
        int32_t to = opt.has_to ? opt.to : quit.time;
        if (quit.code == EVENT_QUIT && to > quit.time) {
            std::printf("# capture: the show quits at %s; capturing up to there\n",
                        format_show_time(quit.time).c_str());
            to = quit.time;
        }
        frames = schedule_range(opt.outputs.rate, opt.from, to);
        opt.outputs.video_start = opt.from;
    }
    if (quit.code == EVENT_QUIT && !frames.empty() && frames.back().time > quit.time)
        std::printf("# capture: frames after the quit time %s are never drawn\n", format_show_time(quit.time).c_str());
    opt.outputs.music = absolute(MUSIC_PATH);
    cDisplay* display = get_display();
    if (!g_outputs.open(opt.outputs, display->width, display->height))
        exit(1);

    // --- run: the frame loop of the show, one scheduled show time per frame
    // The time origin falls on a whole millisecond, so frame times are exact.
    seek_align_counter();
    g_phase = phase::show;
    demo.start();
    if (opt.restart_at >= 0) {
        seek_mark_run_start();
        const std::vector<capture_frame> before = schedule_range(opt.outputs.rate, 0, opt.restart_at);
        for (std::size_t i = 0; i < before.size(); ++i) {
            seek_set_show_time(before[i].time);
            const int32_t next = i + 1 < before.size() ? before[i + 1].time : INT32_MAX;
            fast_forward_frame(demo, {before[i].time, next, INT_MAX});
        }
        seek_restart_run();
    }
    int kept_total = 0;
    for (const capture_frame& f : frames)
        kept_total += f.keep;
    const wall_clock::time_point run_began = wall_clock::now();
    wall_clock::time_point last_report = run_began;
    int kept = 0;
    // Frames to the next kept one, for the fast-forward: 1 just before it.
    std::vector<int> to_kept(frames.size(), INT_MAX);
    for (std::size_t i = frames.size(); i-- > 1;)
        to_kept[i - 1] = frames[i].keep ? 1 : (to_kept[i] == INT_MAX ? INT_MAX : to_kept[i] + 1);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        seek_set_show_time(frames[i].time);
        g_keep_next = frames[i].keep;
        if (frames[i].keep || opt.full_replay) {
            demo.run_frame();
        } else {
            const int32_t next = i + 1 < frames.size() ? frames[i + 1].time : INT32_MAX;
            fast_forward_frame(demo, {frames[i].time, next, to_kept[i]});
        }
        kept += frames[i].keep;
        if (seconds_since(last_report) >= 2.0 || i + 1 == frames.size()) {
            last_report = wall_clock::now();
            const double per_frame = seconds_since(run_began) / double(i + 1);
            std::printf("# capture: %d frames done, %d left, about %s left (show time %s)\n", kept,
                        kept_total - kept, duration_text(per_frame * double(frames.size() - i - 1)).c_str(),
                        format_show_time(frames[i].time).c_str());
            std::fflush(stdout);
        }
    }

    // --- report
    g_phase = phase::done;
    if (!g_outputs.finish())
        g_output_failed = true;
    const double took = seconds_since(began);
    std::printf("# capture: %d frames kept of %zu run in %.1f s (%.1f frames a second)\n", g_outputs.frames(),
                frames.size(), took, double(frames.size()) / (took > 0 ? took : 1));
    if (!opt.full_replay)
        std::printf("# capture: fast-forward drew %d of the %d frames it ran\n", seek_frames_drawn(),
                    seek_frames_drawn() + seek_frames_skipped());
    if (!opt.outputs.frame_dir.empty())
        std::printf("# capture: frames in %s\n", opt.outputs.frame_dir.c_str());
    if (!opt.outputs.contact_sheet.empty())
        std::printf("# capture: contact sheet %s\n", opt.outputs.contact_sheet.c_str());
    if (!opt.outputs.video.empty())
        std::printf("# capture: video %s\n", opt.outputs.video.c_str());
    std::fflush(stdout);
    if (g_output_failed)
        exit(1);
    // The show ends as it always does: through its quit event when the
    // capture reached it, else through exit() here; its exit handler runs.
    if (quit.code == EVENT_QUIT && !frames.empty() && frames.back().time >= quit.time) {
        seek_set_show_time(quit.time + 1);
        for (;;)
            demo.run_frame();
    }
    exit(0);
}
