// The scene manager: the conductor of the show. It owns the show clock, the
// event queue read from the markers script, the music and the scenes. Every
// frame it ticks the clock, hands out the demo events that have fallen due
// (scene switches, cues for the current scene, the end of the show), updates
// and draws the current scene.
//
// One global instance (get_scene_manager), created on first use and deleted
// by the exit handler (destroy_scene_manager); scenes keep pointers to its
// clock and may read its queue until then.
#pragma once

#include "timeline/clock.h"
#include "timeline/event_queue.h"
#include "timeline/scene.h"
#include "timeline/sound_module.h"

#include <string>
#include <vector>

const char* const MARKERS_SCRIPT_PATH = "../data/script/markers.txt";
const char* const MUSIC_PATH = "../data/music/kelmora.ogg";

// The loading phase: the fade to black lasts this long after the last load,
// the picture reaching black after LOADING_FADE_MS; the whole phase lasts at
// least LOADING_MIN_MS from the clock start of init().
const int32_t LOADING_FADE_MS = 1500;
const int32_t LOADING_BLACK_MS = 2000;
const int32_t LOADING_MIN_MS = 5000;
const uint32_t LOADING_HOLD_SLEEP_MS = 100;

class cSceneManager
{
public:
    cSceneManager();
    // Closes the music, deletes every scene, the queue and the fallback scene.
    ~cSceneManager();

    // Reads the markers script, starts the music module and opens the music,
    // checks the script against the music (check_script), starts the clock.
    // Once, during start-up.
    void init();
    // Warns, once, about a script that can only play wrong: one without a
    // scene switch (nothing is ever drawn), one without a quit event (the show
    // then ends when the music of music_ms milliseconds ends, see
    // music_end_ms), and one whose quit comes after the music has ended.
    void check_script(int64_t music_ms);
    // Appends a scene; its index is the number of its switch event. The
    // manager owns it from here.
    void add_scene(cScene* scene);
    // The loading phase: loads every scene in index order under the loading
    // screen, then fades to black. warm_up, when given, runs once the fade
    // is over, before the black frame is held (the hold counts its time).
    void load_scenes(int (*warm_up)() = nullptr);
    // Starts the music and sets the show's time origin.
    void start();
    // Once per frame: clock tick, due events, the current scene's update.
    void update();
    // Hands out every event due at the current show time, in queue order.
    void process_demo_events();
    // Draws the current scene (a warning line when there is none).
    void draw_current();

    cEventQueue* queue;          // owned; null when the script could not be read
    std::vector<cScene*> scenes; // owned, in registration order
    cScene* current;             // not owned; null until the first switch
    cSoundModule_fmod music;
    cClock clock;
    cSceneDummy* dummy; // owned; the fallback, created on first need
    // Show time (ms) after which the show ends for a script without a quit
    // event: the music's length. -1: the script ends the show itself.
    int32_t music_end_ms;

private:
    void switch_to(int32_t index);
};

cSceneManager* get_scene_manager();
// Deletes the global manager (exit handler); safe when there is none.
void destroy_scene_manager();
