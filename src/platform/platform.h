// The Linux stand-ins for what the show took from its original operating
// system: process entry, the performance counter, sleeping, message boxes,
// path functions, the last system error, the C runtime's random generator and
// GL entry point lookup. Everything else in the show reaches the system only
// through this module.
//
// All functions run on the show's one thread. Nothing here needs set-up
// except platform_open_standard_streams(), platform_keep_heap() and
// platform_enter_exe_dir(), which main() calls first, in this order.
#pragma once

#include <cstdint>
#include <string>

// --- process -------------------------------------------------------------

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed. A
// program started with its output closed would otherwise get its first file
// or its X connection on descriptor 1 or 2 and write its log lines into it.
// Call before anything opens a file or a connection.
void platform_open_standard_streams();

// Keeps freed blocks of up to 32 MiB in the heap for the next allocation,
// instead of handing them back to the system. The software GL driver
// allocates and frees blocks of half a megabyte to a few megabytes every
// frame (vertex and bin storage); by default each of them is mapped afresh,
// or the heap's top is given back and grown again, and every frame pays a
// page fault for each of their pages on the driver's threads. Call before
// the GL context is made.
void platform_keep_heap();

// Makes the directory of the running executable (/proc/self/exe) the working
// directory, so "../data" is found however the program was started. Returns
// false (and leaves the directory as it was) when that cannot be done.
bool platform_enter_exe_dir();

// --- performance counter ----------------------------------------------------

// Counts since program start (CLOCK_MONOTONIC), or the virtual counter's value
// while one is installed. Starting at program start keeps the clock's
// milliseconds inside 32 bits for the first 24 days of a run.
int64_t platform_counter();
// Counts per second of platform_counter(): 1000000 (microseconds).
int64_t platform_counter_frequency();

// The virtual counter seam: while installed, platform_counter() returns the
// virtual value, which moves only through platform_advance_virtual_counter()
// and platform_sleep(). Lets a tool run the show's loops at any rate.
void platform_use_virtual_counter(int64_t start_counts);
void platform_use_real_counter();
bool platform_counter_is_virtual();
void platform_advance_virtual_counter(int64_t counts);

// Sleeps ms milliseconds (SDL_Delay), or advances the virtual counter by as
// much while it is installed.
void platform_sleep(uint32_t ms);

// --- message box ------------------------------------------------------------

// Writes caption and text to standard error, then shows a modal dialog with
// an OK button where a display and a dialog program (zenity, xmessage) exist,
// and waits for it. Never blocks without a display.
void platform_message_box(const std::string& text, const std::string& caption);

// Replaces the dialog part (the standard error lines are always written);
// nullptr restores the default. Tests use it to keep dialogs off the screen.
typedef void (*platform_dialog_fn)(const std::string& text, const std::string& caption);
void platform_set_dialog_hook(platform_dialog_fn fn);

// --- paths -------------------------------------------------------------------

// Lexical clean-up: drops "." components and "name/.." pairs, keeps leading
// "..", folds repeated separators; keeps a trailing separator. "\" counts as
// a separator. Sets the last error to ENAMETOOLONG (and returns "") for a
// path longer than PATH_MAX.
std::string platform_path_canonicalize(const std::string& path);
// Absolute form of path against the working directory (cleaned as above).
// Sets the last error and returns "" when the working directory is unknown or
// the result would exceed PATH_MAX.
std::string platform_full_path(const std::string& path);
// True when path names an existing file or directory. False for a path
// longer than PATH_MAX.
bool platform_file_exists(const std::string& path);
// True when path names a regular file that can be opened for reading.
bool platform_file_readable(const std::string& path);
// What follows the last "/" or "\" (the whole path when there is none).
std::string platform_strip_path(const std::string& path);

// --- last system error (errno) ----------------------------------------------

void platform_set_last_error(int code);
int platform_last_error();
// Readable text for an error code (strerror).
std::string platform_error_text(int code);

// --- C runtime random generator ----------------------------------------------

// The generator the show's constants were tuned for: 0 to 32767, never seeded
// by the show, one state for the whole program (state 1 at start).
int crt_rand();
// Sets the state as the runtime's srand() would. The show never calls it;
// tools and tests do, to replay a sequence from a known point.
void crt_srand(uint32_t seed);
// The generator's state now: crt_srand(crt_rand_state()) later replays the
// numbers from here.
uint32_t crt_rand_state();
const int CRT_RAND_MAX = 32767;

// --- GL ---------------------------------------------------------------------

// The address of a GL entry point from the current context's driver (through
// SDL). Non-null does not prove the driver has it: decide by the extension
// string.
void* platform_gl_get_proc(const char* name);
