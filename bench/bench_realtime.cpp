// Real-time figures the tests leave alone (they check the mechanisms on the
// virtual counter): how far the show's loading phase overshoots its five
// seconds on the real counter, and how the music's position follows real
// time once playing and how long closing it takes. Run from the build tree
// under a display, e.g.
//   xvfb-run -a -s "-screen 0 1024x768x24" bench/bench_realtime
// (the capture tool prints its own loading time: "# capture: loading phase
// took ... ms of show clock in ... s").
#include "core/demo.h"
#include "platform/platform.h"
#include "timeline/scene_manager.h"
#include "timeline/sound_module.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

double ms_since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void start_once()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    platform_enter_exe_dir();
    demo_startup();
}

// The loading phase of a show without scenes: the fade and the hold alone.
void loading_phase(benchmark::State& state)
{
    start_once();
    double overshoot = 0;
    for (auto _ : state) {
        cSceneManager manager;
        manager.clock.read_frequency();
        manager.clock.tick();
        manager.clock.start = manager.clock.prev = manager.clock.now;
        const auto t0 = std::chrono::steady_clock::now();
        manager.load_scenes();
        overshoot = ms_since(t0) - LOADING_MIN_MS;
    }
    state.counters["overshoot_ms"] = overshoot;
    std::printf("# loading phase: %.1f ms past its %d ms\n", overshoot, int(LOADING_MIN_MS));
}

// The release music, opened by start-up as in the show, played for 700 ms
// of real time (once: closing ends it).
void music_playback(benchmark::State& state)
{
    start_once();
    double lag = 0, close_ms = 0;
    for (auto _ : state) {
        cSoundModule_fmod& music = get_scene_manager()->music;
        music.play();
        const auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        const int position = music.get_time();
        lag = ms_since(t0) - position;
        const auto t1 = std::chrono::steady_clock::now();
        music.close();
        close_ms = ms_since(t1);
    }
    state.counters["position_behind_ms"] = lag;
    state.counters["close_ms"] = close_ms;
    std::printf("# music: position %.1f ms behind real time after 700 ms; close took %.1f ms\n", lag, close_ms);
}

} // namespace

BENCHMARK(loading_phase)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(music_playback)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
