#include "extensions.h"

#include "gl_ext.h"
#include "platform/platform.h"

#include <SDL/SDL.h>
#include <cstdlib>
#include <cstring>
#include <iostream>

bool has_extension(const char* extensions, const char* name)
{
    if (!extensions || !name)
        return false;
    const size_t length = std::strlen(name);
    if (length == 0)
        return false;
    const char* p = extensions;
    while (*p) {
        while (*p == ' ')
            ++p;
        const char* word = p;
        while (*p && *p != ' ')
            ++p;
        if (size_t(p - word) == length && std::strncmp(word, name, length) == 0)
            return true;
    }
    return false;
}

namespace {

const char* k_caption = "mvk::qdr - missing gl-extension";

void warn_missing(const char* name)
{
    std::cerr << "# WARNING: " << name << " not supported" << std::endl;
}

// The window is closed before the dialog shows; the show then ends with -1,
// as every other failure does.
void missing_dialog(const char* text, const char* caption)
{
    SDL_Quit();
    platform_message_box(text, caption);
    exit(-1);
}

void fetch_group(int group, gl_proc_lookup_fn lookup)
{
    int count = 0;
    const gl_entry_point* entries = gl_entry_points(&count);
    for (int i = 0; i < count; ++i) {
        if (entries[i].group != group)
            continue;
        *entries[i].slot = lookup(entries[i].name);
        if (!*entries[i].slot && group != 10)
            std::cerr << entries[i].name << " not initialized" << std::endl;
    }
}

} // namespace

void init_extensions_from(const char* ext, gl_proc_lookup_fn lookup)
{
    // Groups 0, 4 and 5 of the original loader (the WGL string query, pixel
    // formats and render-to-texture) have no counterpart here: nothing in the
    // show calls their entry points.

    if (!has_extension(ext, "GL_ARB_vertex_buffer_object")) {
        warn_missing("GL_ARB_vertex_buffer_object");
        missing_dialog("GL_ARB_vertex_buffer_object is missing\n(you probably need newer hardware)",
                       "missing gl-extension");
    }
    fetch_group(1, lookup);

    if (!has_extension(ext, "GL_ARB_multitexture")) {
        warn_missing("GL_ARB_multitexture");
        exit(-1);
    }
    fetch_group(2, lookup);

    if (!has_extension(ext, "GL_ARB_texture_compression"))
        warn_missing("GL_ARB_texture_compression");
    else
        fetch_group(3, lookup);

    if (!has_extension(ext, "GL_ARB_vertex_program"))
        missing_dialog("GL_ARB_vertex_program is missing\n(you probably need better hardware...)", k_caption);
    if (!has_extension(ext, "GL_ARB_fragment_program")) {
        std::cerr << "## ERROR: GL_ARB_fragment_program not supported" << std::endl;
        missing_dialog("GL_ARB_fragment_program is missing\n(you probably need better hardware...)", k_caption);
    }
    fetch_group(6, lookup);

    if (!has_extension(ext, "GL_EXT_framebuffer_object")) {
        warn_missing("GL_EXT_framebuffer_object");
        missing_dialog("GL_EXT_framebuffer_object is missing\n(you probably just need a driver-update...)",
                       k_caption);
    }
    if (!has_extension(ext, "GL_ARB_draw_buffers"))
        warn_missing("GL_ARB_draw_buffers");
    fetch_group(7, lookup);

    if (!has_extension(ext, "GL_ARB_point_parameters")) {
        warn_missing("GL_ARB_point_parameters");
        if (!has_extension(ext, "GL_EXT_point_parameters"))
            warn_missing("GL_EXT_point_parameters");
    }
    fetch_group(8, lookup);

    if (!has_extension(ext, "GL_SGIS_texture_lod"))
        warn_missing("GL_SGIS_texture_lod");
    if (!has_extension(ext, "GL_SGIS_generate_mipmap"))
        warn_missing("GL_SGIS_generate_mipmap");
    if (!has_extension(ext, "GL_ARB_texture_env_add"))
        warn_missing("GL_ARB_texture_env_add");
    if (!has_extension(ext, "GL_EXT_texture_lod_bias"))
        warn_missing("EXT_texture_lod_bias"); // the original line drops the GL_ prefix
    if (!has_extension(ext, "GL_ARB_texture_float"))
        warn_missing("GL_ARB_texture_float");
    if (!has_extension(ext, "GL_ARB_texture_rectangle")) {
        warn_missing("GL_ARB_texture_rectangle");
        if (!has_extension(ext, "GL_EXT_texture_rectangle"))
            warn_missing("GL_EXT_texture_rectangle");
    }
    if (!has_extension(ext, "GL_ARB_multisample"))
        warn_missing("GL_ARB_multisample");
    if (!has_extension(ext, "GL_ARB_texture_non_power_of_two"))
        std::cerr << "# WARNING: GL_ARB_texture_non_power_of_two not supported!" << std::endl;
    fetch_group(9, lookup);

    fetch_group(10, lookup);
}

void init_extensions()
{
    const GLubyte* ext = glGetString(GL_EXTENSIONS);
    init_extensions_from(ext ? reinterpret_cast<const char*>(ext) : "", platform_gl_get_proc);
}
