#include "gl_context.h"

#include "core/display.h"
#include "core/gl_ext.h"
#include "core/resource_path.h"
#include "shaders/cShaderContainer_CG.h"
#include "show_runner.h"

#include <SDL/SDL.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {
int g_state = 0; // 0 not tried, 1 ready, -1 failed
std::string g_error;
} // namespace

bool gl_test_context()
{
    if (g_state != 0)
        return g_state > 0;
    g_state = -1;
    const char* display = getenv("DISPLAY");
    if (!display || !*display) {
        g_error = "DISPLAY is not set";
        return false;
    }
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        g_error = SDL_GetError();
        return false;
    }
    cDisplay* d = get_display();
    d->set_gl_attributes();
    if (!SDL_SetVideoMode(d->width, d->height, d->bpp, SDL_OPENGL)) {
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
        SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
        if (!SDL_SetVideoMode(d->width, d->height, d->bpp, SDL_OPENGL)) {
            g_error = SDL_GetError();
            return false;
        }
    }
    init_gl();
    g_state = 1;
    return true;
}

const char* gl_context_error()
{
    return g_error.c_str();
}

bool gl_display_given()
{
    const char* display = getenv("DISPLAY");
    return display && *display;
}

void use_release_data()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    init_image_library();
    cResourcePath* paths = get_resource_path();
    for (const char* dir : {"/src/shaders", "/data", "/data/models", "/data/music", "/data/textures"})
        paths->push_searchpath(build_dir() + dir);
}

void use_show_environment()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    if (chdir((build_dir() + "/bin").c_str()) != 0)
        ADD_FAILURE() << "no bin/ folder in " << build_dir();
    use_release_data();
    testing::internal::CaptureStdout();
    get_shader_container()->init();
    testing::internal::GetCapturedStdout();
}
