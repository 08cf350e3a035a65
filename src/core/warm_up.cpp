#include "warm_up.h"

#include "gl_ext.h"
#include "seek.h"
#include "timeline/scene_manager.h"

#include <algorithm>
#include <vector>

int warm_up_scenes()
{
    cSceneManager* manager = get_scene_manager();
    if (!manager->queue)
        return 0;
    // The events are in time order. A frame's update would end the program
    // once the quit is due, or past the music's end without one.
    std::vector<int32_t> switches;
    int32_t end = manager->music_end_ms;
    for (const demo_event& e : manager->queue->events) {
        if (e.code == EVENT_QUIT) {
            end = e.time;
            break;
        }
        if (e.code >= EVENT_SCENE_FIRST && e.code <= EVENT_SCENE_LAST)
            switches.push_back(e.time);
    }
    // Each frame falls inside its stretch, before the next switch or the end.
    std::vector<int32_t> times;
    for (std::size_t i = 0; i < switches.size(); ++i) {
        const int32_t t = switches[i];
        const int32_t next = i + 1 < switches.size() ? switches[i + 1] : end;
        if (next >= 0 && next <= t)
            continue;
        const int32_t half = next >= 0 ? (next - t) / 2 : WARM_UP_AFTER_SWITCH_MS;
        times.push_back(t + std::min(WARM_UP_AFTER_SWITCH_MS, half));
        if (half > WARM_UP_AFTER_SWITCH_MS)
            times.push_back(t + half);
    }
    if (times.empty())
        return 0;

    const cClock saved = manager->clock;
    seek_mark_run_start();
    for (int32_t t : times) {
        // The update's tick reads the counter again: show time lands at t
        // (or a little after), with a frame time of next to nothing.
        manager->clock.tick();
        manager->clock.start = manager->clock.now - t;
        manager->update();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        manager->draw_current();
        glFinish();
    }
    seek_restart_run();
    seek_release_mark();
    manager->clock = saved;
    return int(times.size());
}
