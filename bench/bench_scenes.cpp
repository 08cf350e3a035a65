// What a viewer sees of each scene: the interval between presented frames of
// the show's own frame loop (cDemo::run_frame: input, update with the
// script's cues, clear, draw, swap), every frame, in the show's 1024x768
// window with its multisampling. The whole show loads once; for each stretch
// of the script the run fast-forwards (as the rehearsal tool does) to 200 ms
// before the stretch's switch and then plays in real time: the performance
// counter is the virtual one, moved on by each frame's wall-clock time, so
// show time runs as fast as the frames come, as in the show. A scene's load
// changes over its stretch (the particles' cloud fills up over the first
// seconds, cameras move, credits fade in), so each stretch is played twice:
// from half a second after its switch and over its last PLAY_MS, with a
// fast-forward between. Per stretch it prints the median and worst interval
// of both windows together, the median of each, and the switch frame's own
// interval, the median also over a frame that only clears and swaps (A),
// measured in the same window first; a stretch too short for a late window
// prints 0 for it. Compare against ../shared/bench/ppbench's reference
// frames in the same X server. Run from the build tree under a display, e.g.
//   xvfb-run -a -s "-screen 0 1024x768x24 +extension GLX" bench/bench_scenes
#include "../tools/capture/schedule.h"
#include "core/demo.h"
#include "core/display.h"
#include "core/gl_ext.h"
#include "core/seek.h"
#include "platform/platform.h"
#include "timeline/event_queue.h"
#include "timeline/scene_manager.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

const int32_t LEAD_MS = 200;       // played before a switch, for the switch frame
const int32_t SETTLE_MS = 500;     // after a switch, before the stretch's figures
const int32_t PLAY_MS = 2000;      // show time measured per window at most
const int REFERENCE_FRAMES = 60;   // clear-and-swap frames for A
const double SEEK_RATE = 60.0;     // the capture's and rehearsal's grid

// Loading's fade waits on the clock: each of its frames moves the virtual
// counter on by one refresh, as the tools do.
bool g_loading = true;
void on_present()
{
    if (g_loading)
        platform_advance_virtual_counter(platform_counter_frequency() / 60);
}

struct stretch
{
    int scene;
    int32_t start, end; // ms of show time
};

double wall_ms()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<stretch> stretches_of(const cEventQueue& queue)
{
    std::vector<stretch> out;
    for (const demo_event& e : queue.events) {
        const bool is_switch = e.code >= EVENT_SCENE_FIRST && e.code <= EVENT_SCENE_LAST;
        if ((is_switch || e.code == EVENT_QUIT) && !out.empty() && out.back().end < 0)
            out.back().end = e.time;
        if (is_switch)
            out.push_back({e.code, e.time, -1});
        if (e.code == EVENT_QUIT)
            break;
    }
    if (!out.empty() && out.back().end < 0)
        out.pop_back();
    return out;
}

// Runs the show's frames without drawing them up to show time target.
void fast_forward(cDemo& demo, int32_t from, int32_t target)
{
    std::vector<capture_frame> frames;
    for (const capture_frame& f : schedule_times(SEEK_RATE, {target}))
        if (f.time > from && f.time < target)
            frames.push_back(f);
    frames.push_back({target, true});
    for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
        seek_set_show_time(frames[i].time);
        fast_forward_frame(demo, {frames[i].time, frames[i + 1].time, int(frames.size() - 1 - i)});
    }
}

void show_frames(benchmark::State& state)
{
    for (auto _ : state) {
        platform_enter_exe_dir();
        platform_use_virtual_counter(0);
        display_set_present_hook(on_present);
        demo_startup();
        cDemo demo;
        demo.init();
        g_loading = false;
        cSceneManager* manager = get_scene_manager();
        if (!manager->queue) {
            state.SkipWithError("no markers script");
            return;
        }
        const std::vector<stretch> stretches = stretches_of(*manager->queue);

        // A: the window's clear and swap alone.
        std::vector<double> reference;
        double last = wall_ms();
        for (int i = 0; i < REFERENCE_FRAMES; ++i) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            get_display()->swap();
            const double now = wall_ms();
            reference.push_back(now - last);
            last = now;
        }
        const double a = median(reference);
        std::printf("# clear and swap (A): median %.1f ms\n", a);

        seek_align_counter();
        demo.start();
        int32_t t = 0;
        double worst_ratio = 0.0;
        for (const stretch& s : stretches) {
            const int32_t from = std::max(t, s.start - LEAD_MS);
            fast_forward(demo, t, from);
            t = from;
            double switch_ms = 0.0;
            // Plays in real time until show time reaches until, keeping the
            // intervals of frames shown from keep_from on.
            auto play = [&](int32_t until, int32_t keep_from, std::vector<double>& kept) {
                double previous = -1.0;
                while (t < until) {
                    seek_set_show_time(t);
                    const int32_t shown = t;
                    demo.run_frame();
                    const double now = wall_ms();
                    if (previous >= 0.0) {
                        const double interval = now - previous;
                        if (shown >= s.start && switch_ms == 0.0)
                            switch_ms = interval;
                        if (shown >= keep_from)
                            kept.push_back(interval);
                        t += std::max<int32_t>(1, int32_t(interval + 0.5));
                    } else {
                        t += 1000 / 60;
                    }
                    previous = now;
                }
            };
            std::vector<double> early, late;
            const int32_t early_end = std::min(s.end, s.start + SETTLE_MS + PLAY_MS);
            play(early_end, s.start + SETTLE_MS, early);
            const int32_t late_start = s.end - PLAY_MS;
            if (late_start > t) {
                fast_forward(demo, t, late_start);
                t = late_start;
                play(s.end, late_start, late);
            }
            std::vector<double> settled = early;
            settled.insert(settled.end(), late.begin(), late.end());
            const double m = median(settled);
            const double worst = settled.empty() ? 0.0 : *std::max_element(settled.begin(), settled.end());
            worst_ratio = std::max(worst_ratio, m > 0 ? worst / m : 0.0);
            std::printf("s%02d %7.3f s: %4zu frames, median %6.1f ms (%5.2f A; early %6.1f, late %6.1f), "
                        "worst %6.1f ms (%4.2f medians), switch frame %6.1f ms\n",
                        s.scene, s.start / 1000.0, settled.size(), m, a > 0 ? m / a : 0.0, median(early),
                        median(late), worst, m > 0 ? worst / m : 0.0, switch_ms);
            std::fflush(stdout);
            state.counters["s" + std::to_string(s.scene) + "@" + std::to_string(s.start / 1000)] = m;
        }
        state.counters["clear_swap_ms"] = a;
        state.counters["worst_over_median"] = worst_ratio;
        std::fflush(stdout);
    }
}

} // namespace

BENCHMARK(show_frames)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
