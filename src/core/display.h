// The window, its GL context and the fixed GL state every scene starts from.
// cDisplay is a global singleton (get_display), created at the first call,
// deleted by the exit handler after SDL_Quit. Other modules read its width
// and height for aspect ratios, viewports and render target sizes.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

struct SDL_Surface;

// The GL attributes in the order SDL is asked for them and the report
// compares them: red, green, blue, alpha, depth, double buffer, multisample
// buffers, multisample samples, stereo.
const int DISPLAY_ATTRIBUTE_COUNT = 9;

class cDisplay
{
public:
    cDisplay();

    // Opens the window with its GL context; ends the process on failure.
    void init_sdl();
    // Passes the nine attribute fields to SDL in their order.
    void set_gl_attributes();
    void swap();

    // The attribute fields as one list, in DISPLAY_ATTRIBUTE_COUNT order.
    void requested_attributes(int out[DISPLAY_ATTRIBUTE_COUNT]) const;

    SDL_Surface* screen;
    uint32_t flags; // SDL video flags: full screen with SDL_OPENGLBLIT
    int32_t width;  // pixels
    int32_t height; // pixels
    int32_t bpp;
    int32_t red_size;
    int32_t green_size;
    int32_t blue_size;
    int32_t alpha_size;
    int32_t depth_size;
    int32_t double_buffer;
    int32_t multisample_buffers;
    int32_t multisample_samples;
    int32_t stereo;
};

cDisplay* get_display();

// Called by cDisplay::swap just before the buffers are exchanged, while the
// finished frame is still in the back buffer. The show sets none; a tool that
// replays the show sets one to read frames back and to move a virtual clock
// on by one display refresh. nullptr removes it.
typedef void (*display_present_fn)();
void display_set_present_hook(display_present_fn fn);
// The window's title, "mirvok OpenGL" unless a tool sets another before
// init_sdl.
void display_set_caption(const std::string& caption);
// Deletes the settings object (exit handler, after SDL_Quit).
void destroy_display();

// Writes the attribute mismatch report for the first position where received
// differs from requested, and returns that position; writes nothing and
// returns -1 when all nine agree.
int report_display_attributes(const int requested[DISPLAY_ATTRIBUTE_COUNT],
                              const int received[DISPLAY_ATTRIBUTE_COUNT], std::ostream& out);

// Makes SDL use its X11 video driver unless SDL_VIDEODRIVER names one, and
// for X11 checks that the display can be opened. Returns "" when it can (or
// another driver was chosen), else the one "## ERROR" line that says a
// display is needed. Called by init_sdl before SDL_Init.
std::string choose_video_driver();

// Fetches the extension entry points and sets the fixed GL state.
void init_gl();

// Checks the image library's versions and starts it with the lower-left
// origin; ends the process when it is too old or has no GL renderer.
void init_image_library();
