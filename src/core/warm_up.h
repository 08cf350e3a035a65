// Warming the driver up while the loading screen holds its black frame.
//
// A software renderer (llvmpipe) compiles machine code for each combination
// of program and state the first time a draw meets it; its disk cache keeps
// that code for later runs, but on a machine that has not played the show
// yet a scene switch meets all of a scene's combinations at once (the first
// intro frame took 0.8 s, the switch to the speaker 0.34 s), and a part
// that comes in later in a scene meets its own. So, once the scenes have
// loaded, the show jumps through its script and draws two frames of every
// stretch between switches, shortly after its switch and half way through,
// into the back buffer, which is never shown, and then starts the run over
// (seek_restart_run): every scene puts back its run-long values, and the
// random numbers, the script's cursor and the GL state are as loading left
// them, so the show plays exactly as it would have without the warm-up.
#pragma once

#include <cstdint>

// How long after each switch the first warm-up frame falls (ms of show
// time), in stretches shorter than twice that half way.
const int32_t WARM_UP_AFTER_SWITCH_MS = 100;

// Draws the warm-up frames and starts the run over; the scene manager's
// clock is as it found it. Nothing without a script. Returns the frames
// drawn.
int warm_up_scenes();
