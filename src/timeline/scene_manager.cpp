#include "scene_manager.h"

#include "core/demo.h"
#include "core/display.h"
#include "core/loading_screen.h"
#include "platform/platform.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <iostream>

namespace {
cSceneManager* g_scene_manager = nullptr;
} // namespace

cSceneManager* get_scene_manager()
{
    if (!g_scene_manager)
        g_scene_manager = new cSceneManager;
    return g_scene_manager;
}

void destroy_scene_manager()
{
    delete g_scene_manager;
    g_scene_manager = nullptr;
}

cSceneManager::cSceneManager() : queue(nullptr), current(nullptr), dummy(nullptr), music_end_ms(-1)
{
}

cSceneManager::~cSceneManager()
{
    music.close();
    for (cScene*& scene : scenes) {
        delete scene;
        scene = nullptr;
    }
    current = nullptr;
    delete queue;
    queue = nullptr;
    delete dummy;
    dummy = nullptr;
    scenes.clear();
}

void cSceneManager::init()
{
    queue = cEventQueue_factory::loadFile(MARKERS_SCRIPT_PATH);
    // Without its script the show would play the whole music over black and
    // then report success: an unreadable data file ends start-up instead.
    if (!queue) {
        std::cerr << "## ERROR: cannot read the markers script \"" << MARKERS_SCRIPT_PATH
                  << "\" in cSceneManager::init" << std::endl;
        exit(-1);
    }
    music.init();
    music.load(MUSIC_PATH);
    check_script(music.length_ms());
    clock.read_frequency();
    clock.tick();
    clock.start = clock.prev = clock.now;
}

void cSceneManager::check_script(int64_t music_ms)
{
    static const demo_event none = NO_EVENT;
    bool has_switch = false;
    const demo_event* quit = &none;
    if (queue) {
        // Sorted by time: the first quit found is the one that ends the show.
        for (const demo_event& e : queue->events) {
            has_switch = has_switch || (e.code >= EVENT_SCENE_FIRST && e.code <= EVENT_SCENE_LAST);
            if (e.code == EVENT_QUIT && quit == &none)
                quit = &e;
        }
    }
    if (!has_switch)
        std::cerr << "# warning, the script has no scene switch (s00 to s12): no scene will be drawn in "
                  << "cSceneManager::init" << std::endl;
    music_end_ms = -1;
    if (quit == &none) {
        std::cerr << "# warning, the script has no quit event: the show ends when the music ends";
        if (music_ms > 0)
            std::cerr << ", at " << music_ms << " ms";
        std::cerr << " in cSceneManager::init" << std::endl;
        if (music_ms > 0)
            music_end_ms = int32_t(std::min<int64_t>(music_ms, INT32_MAX));
    } else if (music_ms > 0 && music_ms < quit->time) {
        std::cerr << "# warning, the music ends at " << music_ms << " ms, before the script's quit at "
                  << quit->time << " ms: silence from there in cSceneManager::init" << std::endl;
    }
}

void cSceneManager::add_scene(cScene* scene)
{
    assert(scene && "add_scene needs a scene: its index would switch to nothing");
    scenes.push_back(scene);
}

void cSceneManager::load_scenes(int (*warm_up)())
{
    cDisplay* display = get_display();
    cLoadingScreen screen;
    screen.draw(0.0f);
    display->swap();

    const std::size_t n = scenes.size();
    for (std::size_t i = 0; i < n; ++i) {
        scenes[i]->load();
        screen.draw(float(i) / float(n));
        display->swap();
    }
    screen.draw(1.0f);
    display->swap();

    // Fade to black, counted from the end of loading, and stay black.
    clock.tick();
    const int32_t loaded_at = clock.now - clock.start;
    while (clock.now - clock.start - loaded_at < LOADING_BLACK_MS) {
        screen.draw(1.0f);
        int32_t d = clock.now - clock.start - loaded_at;
        float f = 1.0f - float(d) * (1.0f / float(LOADING_FADE_MS));
        draw_fade_overlay(std::max(0.0f, std::min(1.0f, f)));
        display->swap();
        clock.tick();
    }
    if (warm_up) {
        warm_up();
        clock.tick();
    }
    // Hold the black frame until the phase has lasted LOADING_MIN_MS.
    while (clock.now - clock.start < LOADING_MIN_MS) {
        platform_sleep(LOADING_HOLD_SLEEP_MS);
        clock.tick();
        screen.draw(1.0f);
    }
}

void cSceneManager::start()
{
    music.play();
    clock.tick();
    clock.start = clock.now;
}

void cSceneManager::update()
{
    clock.tick();
    process_demo_events();
    if (current)
        current->update();
}

void cSceneManager::switch_to(int32_t index)
{
    if (current)
        current->exit();
    if (index < int32_t(scenes.size())) {
        current = scenes[std::size_t(index)];
        current->init();
        return;
    }
    std::cerr << "## ERROR: tried to switch to scene" << index << ", but it's not added. In "
              << "cSceneManager::process_demo_events" << std::endl;
    if (!dummy)
        dummy = new cSceneDummy(&clock);
    current = dummy;
}

void cSceneManager::process_demo_events()
{
    // A script that could not be read behaves as an empty one.
    const int32_t t = clock.show_time();
    while (const demo_event* e = queue ? queue->next_due(t) : nullptr) {
        if (e->code >= EVENT_SCENE_FIRST && e->code <= EVENT_SCENE_LAST) {
            switch_to(e->code);
        } else if (e->code >= EVENT_CUE_FIRST && e->code <= EVENT_CUE_LAST) {
            if (current)
                current->handle_event(e);
        } else if (e->code == EVENT_QUIT) {
            exit(0);
        } else {
            std::cerr << "unhandled demo_event: " << e->code << std::endl;
        }
    }
    // A script without a quit event ends with the music, as a quit at the
    // music's length would.
    if (music_end_ms >= 0 && music_end_ms < t)
        exit(0);
}

void cSceneManager::draw_current()
{
    if (current)
        current->draw();
    else
        std::cerr << "# warning, no scene selected in " << "cSceneManager::draw_current" << std::endl;
}
