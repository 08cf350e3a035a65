#include "display.h"

#include "diagnostics.h"
#include "extensions.h"
#include "gl_ext.h"

#include <IL/il.h>
#include <IL/ilu.h>
#include <IL/ilut.h>
#include <SDL/SDL.h>
#include <X11/Xlib.h>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

cDisplay* g_display = nullptr;
display_present_fn g_present_hook = nullptr;
std::string g_caption = "mirvok OpenGL";

const SDL_GLattr k_attribute_order[DISPLAY_ATTRIBUTE_COUNT] = {
    SDL_GL_RED_SIZE,   SDL_GL_GREEN_SIZE,         SDL_GL_BLUE_SIZE,
    SDL_GL_ALPHA_SIZE, SDL_GL_DEPTH_SIZE,         SDL_GL_DOUBLEBUFFER,
    SDL_GL_MULTISAMPLEBUFFERS, SDL_GL_MULTISAMPLESAMPLES, SDL_GL_STEREO,
};

// One line of the attribute report. The requested line has a lone " " after
// the depth that the received line lacks, so "requested" reads two spaces
// before the buffering word.
void write_attribute_line(std::ostream& out, const char* head, const int v[DISPLAY_ATTRIBUTE_COUNT],
                          bool space_after_depth)
{
    out << head << v[0] << "x" << v[1] << "x" << v[2] << "x" << v[3] << "x" << v[4];
    if (space_after_depth)
        out << " ";
    out << (v[5] ? " doublebuffered " : " singlebuffered ") << (v[6] ? "multisample " : " ") << v[7]
        << std::endl;
}

} // namespace

cDisplay::cDisplay()
    : screen(nullptr), flags(0x8000000A), width(1024), height(768), bpp(32), red_size(8), green_size(8),
      blue_size(8), alpha_size(8), depth_size(24), double_buffer(1), multisample_buffers(1),
      multisample_samples(4), stereo(0)
{
}

cDisplay* get_display()
{
    if (!g_display)
        g_display = new cDisplay;
    return g_display;
}

void destroy_display()
{
    delete g_display;
    g_display = nullptr;
}

void cDisplay::requested_attributes(int out[DISPLAY_ATTRIBUTE_COUNT]) const
{
    const int values[DISPLAY_ATTRIBUTE_COUNT] = {red_size,      green_size,          blue_size,
                                                 alpha_size,    depth_size,          double_buffer,
                                                 multisample_buffers, multisample_samples, stereo};
    for (int i = 0; i < DISPLAY_ATTRIBUTE_COUNT; ++i)
        out[i] = values[i];
}

void cDisplay::set_gl_attributes()
{
    int values[DISPLAY_ATTRIBUTE_COUNT];
    requested_attributes(values);
    for (int i = 0; i < DISPLAY_ATTRIBUTE_COUNT; ++i)
        SDL_GL_SetAttribute(k_attribute_order[i], values[i]);
}

int report_display_attributes(const int requested[DISPLAY_ATTRIBUTE_COUNT],
                              const int received[DISPLAY_ATTRIBUTE_COUNT], std::ostream& out)
{
    for (int i = 0; i < DISPLAY_ATTRIBUTE_COUNT; ++i) {
        if (requested[i] == received[i])
            continue;
        out << "# warning: init_sdl: SDL display attribute " << i << " failed" << std::endl;
        write_attribute_line(out, "requested: ", requested, true);
        write_attribute_line(out, "recieved: ", received, false);
        out << "---------------------" << std::endl;
        return i;
    }
    return -1;
}

std::string choose_video_driver()
{
    const char* chosen = getenv("SDL_VIDEODRIVER");
    if (!chosen || !*chosen) {
        // Left to itself SDL falls back to a text-mode driver that draws
        // escape codes into the terminal and then cannot make a GL window.
        setenv("SDL_VIDEODRIVER", "x11", 1);
        chosen = "x11";
    }
    if (std::strcmp(chosen, "x11") != 0)
        return "";
    const char* name = getenv("DISPLAY");
    Display* x = (name && *name) ? XOpenDisplay(name) : nullptr;
    if (x) {
        XCloseDisplay(x);
        return "";
    }
    std::string where = (name && *name) ? "cannot open the X display \"" + std::string(name) + "\""
                                        : "no X display (DISPLAY is not set)";
    return "## ERROR: " + where + ": mirvok needs an X server or XWayland to open its window - exiting";
}

void cDisplay::init_sdl()
{
    const SDL_version* linked = SDL_Linked_Version();
    int version = (linked->major * 10 + linked->minor) * 100 + linked->patch;
    if (version < 1209)
        std::cerr << "# WARNING: init_sdl(): Old SDL-version detected. Get an upgrade from https://www.libsdl.org/"
                  << std::endl;

    const std::string no_display = choose_video_driver();
    if (!no_display.empty()) {
        std::cerr << no_display << std::endl;
        exit(-1);
    }
    if (SDL_Init(0xFFFF) < 0) {
        std::cerr << "## ERROR: whoops, SDL failed to init: " << SDL_GetError() << " exiting!" << std::endl;
        exit(-1); // a failure: never the normal end's status 0
    }
    set_gl_attributes();
    screen = SDL_SetVideoMode(width, height, bpp, flags);
    if (!screen && multisample_buffers != 0) {
        std::cerr << "## ERROR: Failed to get FSAA-buffer!" << std::endl;
        // Only SDL's copy drops multisampling; the fields keep what was asked.
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
        screen = SDL_SetVideoMode(width, height, bpp, flags);
    }
    if (!screen) {
        std::cerr << "## ERROR: whoops, SDL didn't get screen - exiting" << std::endl;
        exit(-1);
    }

    int requested[DISPLAY_ATTRIBUTE_COUNT];
    int received[DISPLAY_ATTRIBUTE_COUNT];
    requested_attributes(requested);
    for (int i = 0; i < DISPLAY_ATTRIBUTE_COUNT; ++i) {
        received[i] = 0;
        SDL_GL_GetAttribute(k_attribute_order[i], &received[i]);
    }
    report_display_attributes(requested, received, std::cerr);

    SDL_WM_SetCaption(g_caption.c_str(), nullptr);
    SDL_ShowCursor(SDL_DISABLE);
}

void display_set_caption(const std::string& caption)
{
    g_caption = caption;
}

void display_set_present_hook(display_present_fn fn)
{
    g_present_hook = fn;
}

void cDisplay::swap()
{
    if (g_present_hook)
        g_present_hook();
    SDL_GL_SwapBuffers();
}

void init_gl()
{
    init_extensions();

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);

    glDepthFunc(GL_LESS);
    glEnable(GL_DEPTH_TEST);

    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);

    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);

    glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_MULTISAMPLE);

    glActiveTextureARB(GL_TEXTURE0_ARB);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);

    glEnable(GL_LIGHTING);
    const GLfloat ambient[4] = {0.1f, 0.1f, 0.1f, 0.1f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    glEnable(GL_COLOR_SUM);
    glDisable(GL_COLOR_MATERIAL);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, get_display()->width, get_display()->height);

    check_gl_error("init_gl");
}

void init_image_library()
{
    if (ilGetInteger(IL_VERSION_NUM) < 167 || iluGetInteger(ILU_VERSION_NUM) < 167 ||
        ilutGetInteger(ILUT_VERSION_NUM) < 167) {
        std::cerr << "ilut version different - exiting" << std::endl;
        exit(-1);
    }
    ilInit();
    // DevIL 1.7.8's iluErrorString reads a language table that only iluInit
    // sets up: without it the first error report crashes.
    iluInit();
    if (!ilutRenderer(ILUT_OPENGL)) {
        std::cerr << "openILUT failed to initialize a render" << std::endl;
        exit(-1);
    }
    ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
    ilEnable(IL_ORIGIN_SET);
}
