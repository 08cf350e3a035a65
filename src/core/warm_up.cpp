#include "warm_up.h"

#include "gl_ext.h"
#include "seek.h"
#include "timeline/scene_manager.h"

#include <vector>

int warm_up_scenes()
{
    cSceneManager* manager = get_scene_manager();
    if (!manager->queue)
        return 0;
    std::vector<int32_t> times;
    // The events are in time order. A frame's update would end the program
    // once the quit is due, or past the music's end without one.
    int32_t end = manager->music_end_ms;
    for (const demo_event& e : manager->queue->events) {
        if (e.code == EVENT_QUIT) {
            end = e.time;
            break;
        }
        if (e.code >= EVENT_SCENE_FIRST && e.code <= EVENT_SCENE_LAST)
            times.push_back(e.time + WARM_UP_AFTER_SWITCH_MS);
    }
    while (!times.empty() && end >= 0 && times.back() >= end)
        times.pop_back();
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
