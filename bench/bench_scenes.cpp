// Frame times of the written scenes at 1024x768 against a frame that only
// clears and swaps, in the same run on the same window, and each scene's
// update (the particle step where it has one). Each scene plays its first
// stretch of the script at 60 frames a second of show time, with the
// script's cues handed to it as the show hands them (the first frame whose
// show time passes an event's time); the performance counter is the virtual
// one, moved 1/60 s per frame, so a scene's own clock steps as in the show.
// Every tenth frame is timed (update, clear, draw, swap, finish), each
// followed by one timed clear-and-swap frame. The greetings screens show the
// tangled scene, which stands at index 12 of the scene manager as in the
// show. Run from the build tree under a display, e.g.
//   xvfb-run -a -s "-screen 0 1024x768x24" bench/bench_scenes
#include "core/demo.h"
#include "core/display.h"
#include "core/gl_ext.h"
#include "platform/platform.h"
#include "scenes/scene_greetings.h"
#include "scenes/scene_tangled.h"
#include "timeline/event_queue.h"
#include "timeline/scene_manager.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const int32_t FRAME_MS = 1000 / 60;
const int TIMED_EVERY = 10;

// The show's start-up, and the scene manager's list filled up to the tangled
// scene at index 12 (the greetings screens draw it), once.
void start_once(cClock* clock)
{
    static bool started = false;
    if (started)
        return;
    started = true;
    platform_enter_exe_dir();
    demo_startup();
    cSceneManager* manager = get_scene_manager();
    while (manager->scenes.size() < GREETINGS_PICTURE_SCENE)
        manager->add_scene(new cSceneDummy(clock));
    cScene* tangled = new cSceneTangled(clock);
    tangled->load();
    manager->add_scene(tangled);
}

// The events of the first stretch of scene index in the script, and the
// stretch's [first, end) in ms.
bool first_stretch(int index, int32_t* first, int32_t* end, std::vector<demo_event>* cues)
{
    std::unique_ptr<cEventQueue> queue(cEventQueue_factory::loadFile("../data/script/markers.txt"));
    if (!queue)
        return false;
    bool inside = false;
    for (const demo_event& e : queue->events) {
        const bool is_switch = e.code >= EVENT_SCENE_FIRST && e.code <= EVENT_SCENE_LAST;
        if (inside && (is_switch || e.code == EVENT_QUIT)) {
            *end = e.time;
            return true;
        }
        if (inside && e.code >= EVENT_CUE_FIRST && e.code <= EVENT_CUE_LAST)
            cues->push_back(e);
        if (is_switch && e.code == index) {
            *first = e.time;
            inside = true;
        }
    }
    return false;
}

double milliseconds_since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

void scene_frames(benchmark::State& state, int index)
{
    static cClock clock;
    start_once(&clock);
    std::unique_ptr<cScene> scene(create_scene(index, &clock));
    scene->load();
    int32_t first = 0, end = 0;
    std::vector<demo_event> cues;
    if (!first_stretch(index, &first, &end, &cues)) {
        state.SkipWithError("no stretch of the scene in the script");
        return;
    }
    std::vector<double> frames, clears, steps;
    cDisplay* display = get_display();
    const int64_t counts_per_ms = platform_counter_frequency() / 1000;
    for (auto _ : state) {
        platform_use_virtual_counter(int64_t(first) * counts_per_ms);
        clock.start = 0;
        clock.now = first;
        scene->init();
        size_t next_cue = 0;
        int frame = 0;
        for (int32_t t = first + FRAME_MS; t < end; t += FRAME_MS, ++frame) {
            platform_advance_virtual_counter(int64_t(FRAME_MS) * counts_per_ms);
            clock.prev = clock.now;
            clock.now = t;
            for (; next_cue < cues.size() && cues[next_cue].time < t; ++next_cue)
                scene->handle_event(&cues[next_cue]);
            auto t0 = std::chrono::steady_clock::now();
            scene->update();
            steps.push_back(milliseconds_since(t0));
            if (frame % TIMED_EVERY != 0)
                continue;
            t0 = std::chrono::steady_clock::now();
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            scene->draw();
            display->swap();
            glFinish();
            frames.push_back(milliseconds_since(t0) + steps.back());

            t0 = std::chrono::steady_clock::now();
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            display->swap();
            glFinish();
            clears.push_back(milliseconds_since(t0));
        }
        scene->exit();
        platform_use_real_counter();
    }
    const double f = median(frames), c = median(clears), s = median(steps);
    state.counters["frame_ms"] = f;
    state.counters["clear_swap_ms"] = c;
    state.counters["ratio"] = c > 0 ? f / c : 0.0;
    state.counters["update_ms"] = s;
    state.counters["frames"] = double(frames.size());
    std::printf("# scene %d: median frame %.2f ms, clear and swap %.3f ms, ratio %.1f over %zu frames; "
                "median update (particle step) %.3f ms\n",
                index, f, c, c > 0 ? f / c : 0.0, frames.size(), s);
}

} // namespace

BENCHMARK_CAPTURE(scene_frames, intro, 0)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, particles, 1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, speaker, 2)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, particle_speaker, 3)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, town, 4)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, greetings, 5)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, arcs, 6)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, sph_laser, 7)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, woman_box, 8)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, wild_speaker, 9)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, vortex, 10)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, diamond, 11)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, tangled, 12)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
