// Textures from image files. The texture manager owns every decoded image
// and every GL texture it makes, from the first request for a name until
// destroy_texture_manager() at exit; nothing is freed earlier. Callers get a
// small cTexture handle of their own on each request: deleting it never
// deletes the GL texture, and the GL name it carries stays valid until exit.
//
// Main thread only, with the GL context current and the image library started
// (init_image_library).
#pragma once

#include "core/gl_ext.h"

#include <cstdint>
#include <map>
#include <string>

// A texture handle: what to enable and bind. Owned by the caller alone.
class cTexture
{
public:
    cTexture(GLenum target, GLuint id) : target(target), id(id) {}

    GLenum target; // GL_TEXTURE_1D, GL_TEXTURE_2D or GL_TEXTURE_RECTANGLE_ARB
    GLuint id;     // GL texture name, owned by the texture manager
};

class cTextureManager
{
public:
    ~cTextureManager();

    // A new handle for the texture of the image file name, found on the
    // resource search paths. The first request decodes and uploads it with
    // mipmap and wrap (GL_CLAMP, GL_REPEAT, for S and T); later requests for
    // the same name return the same texture and ignore both. Ends the process
    // (-1) when the file is on no search path or cannot be read; a file that
    // does not decode gives image library error lines naming the file and a
    // texture anyway.
    // Leaves the new texture bound to its target on the active unit.
    cTexture* get_texture(std::string name, bool mipmap, GLint wrap);

    // Deletes every image and GL texture and empties the cache. Safe twice.
    void clean_up();

    struct entry
    {
        uint32_t image; // image library name, never 0
        uint32_t gl_id; // GL texture name, 0 until the first upload
        std::string path; // the file it was decoded from, for error lines
    };
    // Keyed by the name as requested.
    std::map<std::string, entry> cache;

private:
    // Makes sure an image for name is decoded and cached; ends the process
    // when the file cannot be found or read.
    void load_texture(const std::string& name);
    // The cached entry for name, or for its base name when only that is
    // cached (a name with a directory part whose file was already loaded
    // under its bare name); nullptr when neither is.
    entry* find_entry(const std::string& name);
    void upload(entry& e, GLenum target, int width, int height, bool mipmap, GLint wrap);
};

// True for a PNG file (by its signature) that ends before its IEND chunk or
// inside a chunk; false for a whole PNG and for any other file.
bool png_ends_inside_its_chunks(const std::string& path);

// The target a width x height image gets: GL_TEXTURE_1D for height 1,
// GL_TEXTURE_2D when both are powers of two (0 counts as one),
// GL_TEXTURE_RECTANGLE_ARB otherwise (never mipmapped).
GLenum choose_texture_target(int width, int height);

// The shared manager, created on first use.
cTextureManager* get_texture_manager();
// Cleans up and deletes the shared manager (exit handler); a later
// get_texture_manager makes a new, empty one.
void destroy_texture_manager();
