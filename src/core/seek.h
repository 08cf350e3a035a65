// Fast-forward: reaching a late moment of the show without drawing every
// frame before it, and still getting the picture a replay from show time 0
// gives.
//
// A frame before the moment runs the show's own input, update and events
// (scene switches with their exit and init, cues, every scene's update with
// its particle steps), exactly as cDemo::run_frame does; only its clear, draw
// and swap are left out. What a draw carries to later frames (a value latched
// on a scene's first drawn frame, a value one frame behind, the random
// numbers it draws, the GL state it leaves) is listed in one table,
// DRAW_CARRIED_STATE in seek.cpp: each entry names what it keeps and which
// frames must therefore still be drawn, or how many random numbers a skipped
// draw still takes. A scene added to the show adds its entries there.
//
// The driver (the capture tool, the rehearsal tool) sets the virtual counter
// to each frame's show time before it calls fast_forward_frame, as it does
// before cDemo::run_frame.
#pragma once

#include <cstdint>

class cDemo;
class cScene;

// One frame of a fast-forward, as its driver schedules it.
struct seek_frame
{
    int32_t time;       // show time of this frame (ms)
    int32_t next_time;  // show time of the frame after it (ms)
    int frames_to_kept; // frames from this one to the first kept frame: 1 for the frame just before it
};

// What one entry of the table asks of a frame, given the frame and the
// state of the run after the frame's update.
struct seek_state
{
    const seek_frame* frame;
    int scene;            // index of the scene current after the update, -1 for none
    bool last_of_stretch; // a scene switch falls due before the next frame
};

struct draw_carried_entry
{
    int scene;           // the scene index it belongs to, or SEEK_ANY_SCENE
    const char* name;    // a short name ("town flash"), for tests and reports
    const char* carries; // what the draw leaves for later frames
    // Frames that must be drawn for it; null when a skipped draw needs none.
    bool (*must_draw)(const seek_state& state);
    // crt_rand() calls the scene's draw makes every frame, which a skipped
    // draw still makes so that later draws see the same numbers.
    int randoms_per_draw;
    // For a frame whose draw is skipped: the part of the draw that later
    // frames read, done without drawing (a method of the scene that its draw
    // calls as well); null when there is none.
    void (*carry)(cScene& scene, int32_t time);
};

const int SEEK_ANY_SCENE = -1;

extern const draw_carried_entry DRAW_CARRIED_STATE[];
extern const int DRAW_CARRIED_STATE_COUNT;

// For the drivers on the virtual counter. seek_align_counter moves it on to
// the middle of the next millisecond (a time origin set there falls on a
// whole millisecond); seek_set_show_time moves it on (never back) to the
// middle of show time t's millisecond, which the clock reads exactly.
void seek_align_counter();
void seek_set_show_time(int32_t t);
// The index of the current scene in the scene manager, -1 for none.
int seek_current_scene();

// Runs one frame before the first kept one: input, update and events always;
// clear, draw and swap only where an entry needs the frame drawn; otherwise
// the random numbers the draw would have taken. Returns whether it drew.
bool fast_forward_frame(cDemo& demo, const seek_frame& frame);

// Turns one entry of the table off (by name), to show what it is needed
// for; false when no entry has that name. For tests and for checking the
// table, never for a real capture.
bool seek_disable_entry(const char* name);
// Frames drawn and skipped by fast_forward_frame since the program started.
int seek_frames_drawn();
int seek_frames_skipped();

// --- replaying the run from show time 0 ---------------------------------------
//
// The scenes keep values over the whole run, so a moment before the present
// one is reached by starting the run over and fast-forwarding to it. These
// two let a tool do that without loading again.

// Remembers what the run starts from: the random generator's state and the
// GL state as loading left them (held on the attribute stacks, one entry of
// each, and the matrices). Call once, right after cDemo::start, before the
// first frame.
void seek_mark_run_start();
// Starts the run over: the current scene exits, every scene puts back its
// run-long values (cScene::rewind_run), the script's cursor goes back to its
// first event, the random generator and the GL state are as at the mark, and
// show time 0 falls on the clock's present reading. The driver then moves
// the counter on and fast-forwards as from the start. Needs the mark.
void seek_restart_run();
// Gives up the mark (its entries on the attribute stacks) without starting
// the run over; a later seek_mark_run_start takes a new one.
void seek_release_mark();
