// The show's entry and outermost control flow: start-up in its fixed order,
// the demo object that registers and loads the scenes, the frame loop, the
// keyboard, and the exit handler that tears the shared managers down. Every
// way out of the show is a call to exit(); the handler registered at the end
// of start-up then runs.
#pragma once

#include <cstdint>
#include <string>

// Key-down flags indexed by the lower-cased SDL key symbol (0 to 254).
const int KEY_TABLE_SIZE = 255;
extern int32_t keys[KEY_TABLE_SIZE];
// Space presses poll_events has seen since check_keys last printed: each
// prints one beat line, also when its release came in the same poll.
extern int32_t space_presses;

struct cClock;
class cScene;

// The number of scenes; a scene's index is the number of its switch event.
const int SCENE_COUNT = 13;

// A new, unloaded scene of the given index (the class of the show's scene
// table; null outside 0 to SCENE_COUNT - 1).
cScene* create_scene(int index, cClock* clock);

class cDemo
{
public:
    // Creates and registers the scenes, then runs the loading phase.
    void init();
    // Starts the music and the show clock, then runs frames forever.
    void run();
    // The first half of run: the music starts and the show's time origin is
    // set. Tools that drive the frame loop themselves call this, then
    // run_frame.
    void start();
    // One pass of the frame loop: input, update, pacing, clear, draw, swap.
    void run_frame();
    // The two halves of run_frame. update_frame: input, update (events,
    // scene switches, the current scene's update) and pacing; draw_frame:
    // clear, the current scene's draw and the swap. A fast-forward runs the
    // first alone where nothing needs the frame's picture (core/seek.h).
    void update_frame();
    void draw_frame();
};

// Start-up steps 1 to 7: window, first grey frame, GL state, image library,
// search paths and managers, the start-up error checks, the exit handler.
void demo_startup();
// The whole show: start-up, then cDemo::init and cDemo::run. Never returns.
int demo_main();

// Drains the window's events: q, Escape and a window close end the show;
// other keys set or clear their entry of keys.
void poll_events();
// Acts on the key table: quit keys end the show, space prints one beat line
// per press (a flag set by hand counts as one press).
void check_keys();
// Stores a key transition; symbols whose lower-cased code is outside the
// table are ignored. Returns whether the key was stored.
bool set_key(int symbol, int32_t down);

// "beat h:m:s,ms t" for t milliseconds of show time (no leading zeros).
std::string format_beat_line(int32_t t);

// A full-screen black quad of alpha 1 - f over whatever was drawn.
void draw_fade_overlay(float f);

// Destroys the managers, shuts SDL down and writes "requested exit".
void exit_handler();
