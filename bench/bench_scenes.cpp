// Frame times of the intro, particles and tangled scenes at 1024x768 against
// a frame that only clears and swaps, measured in the same run on the same
// window. Each scene plays its first stretch of the script on a clock of 60
// frames a second (every frame updates, as in the show); every tenth frame
// is timed (update, clear, draw, swap, finish), each followed by one timed
// clear-and-swap frame. The counters give both medians in milliseconds and
// their ratio. Run from the build tree under a display (Xvfb), for example
//   xvfb-run -a -s "-screen 0 1024x768x24" bench/bench_scenes
#include "core/demo.h"
#include "core/display.h"
#include "core/gl_ext.h"
#include "platform/platform.h"
#include "scenes/scene_intro.h"
#include "scenes/scene_particles.h"
#include "scenes/scene_tangled.h"
#include "timeline/event_queue.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const int32_t FRAME_MS = 1000 / 60;
const int TIMED_EVERY = 10;

// The show's start-up (window, GL state, search paths, shaders, the script),
// once for the whole program.
void start_once()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    platform_enter_exe_dir();
    demo_startup();
}

// [first, end) of the first stretch of scene index in the script, in ms.
bool first_stretch(int index, int32_t* first, int32_t* end)
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
    start_once();
    cClock clock;
    std::unique_ptr<cScene> scene;
    if (index == 0)
        scene.reset(new cSceneIntro(&clock));
    else if (index == 1)
        scene.reset(new cSceneParticles(&clock));
    else
        scene.reset(new cSceneTangled(&clock));
    scene->load();
    int32_t first = 0, end = 0;
    if (!first_stretch(index, &first, &end)) {
        state.SkipWithError("no stretch of the scene in the script");
        return;
    }
    std::vector<double> frames, clears;
    cDisplay* display = get_display();
    for (auto _ : state) {
        scene->init();
        int frame = 0;
        for (int32_t t = first; t < end; t += FRAME_MS, ++frame) {
            clock.prev = clock.now;
            clock.now = t;
            if (frame % TIMED_EVERY != 0) {
                scene->update();
                continue;
            }
            auto t0 = std::chrono::steady_clock::now();
            scene->update();
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            scene->draw();
            display->swap();
            glFinish();
            frames.push_back(milliseconds_since(t0));

            t0 = std::chrono::steady_clock::now();
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            display->swap();
            glFinish();
            clears.push_back(milliseconds_since(t0));
        }
        scene->exit();
    }
    const double f = median(frames), c = median(clears);
    state.counters["frame_ms"] = f;
    state.counters["clear_swap_ms"] = c;
    state.counters["ratio"] = c > 0 ? f / c : 0.0;
    state.counters["frames"] = double(frames.size());
    std::printf("# scene %d: median frame %.2f ms, clear and swap %.3f ms, ratio %.1f over %zu frames\n", index, f,
                c, c > 0 ? f / c : 0.0, frames.size());
}

} // namespace

BENCHMARK_CAPTURE(scene_frames, intro, 0)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, particles, 1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(scene_frames, tangled, 12)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
