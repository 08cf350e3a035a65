#include "texture_manager.h"

#include "core/diagnostics.h"
#include "core/resource_path.h"
#include "platform/platform.h"

#include <IL/il.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

namespace {

cTextureManager* g_texture_manager = nullptr;

bool is_power_of_two(int v)
{
    return (v & (v - 1)) == 0;
}

// Pixel formats GL takes as they come from the image library (the codes are
// GL's). Anything else, palette images above all, would upload without an
// error as black texels.
bool gl_takes_format(ILint format)
{
    switch (format) {
    case IL_RGB:
    case IL_RGBA:
    case IL_BGR:
    case IL_BGRA:
    case IL_LUMINANCE:
    case IL_LUMINANCE_ALPHA:
    case IL_ALPHA:
        return true;
    default:
        return false;
    }
}

int channel_count(ILint format)
{
    switch (format) {
    case IL_RGB:
    case IL_BGR:
        return 3;
    case IL_RGBA:
    case IL_BGRA:
        return 4;
    case IL_LUMINANCE_ALPHA:
        return 2;
    default:
        return 1;
    }
}

// Brings the bound image to a format GL takes with one unsigned byte per
// channel (16-bit and float images included, which GL would otherwise read
// as bytes). Returns the pixel data, or nullptr when the image holds fewer
// bytes than width x height x channels (a failed decode).
const ILubyte* prepare_pixels(int width, int height, ILint* format)
{
    *format = ilGetInteger(IL_IMAGE_FORMAT);
    ILint type = ilGetInteger(IL_IMAGE_TYPE);
    if (!gl_takes_format(*format) || type != IL_UNSIGNED_BYTE) {
        ilConvertImage(gl_takes_format(*format) ? *format : IL_RGBA, IL_UNSIGNED_BYTE);
        *format = ilGetInteger(IL_IMAGE_FORMAT);
    }
    const ILubyte* data = ilGetData();
    long long needed = static_cast<long long>(width) * height * channel_count(*format);
    if (!data || ilGetInteger(IL_IMAGE_TYPE) != IL_UNSIGNED_BYTE || !gl_takes_format(*format) ||
        ilGetInteger(IL_IMAGE_SIZE_OF_DATA) < needed)
        return nullptr;
    return data;
}

} // namespace

bool png_ends_inside_its_chunks(const std::string& path)
{
    static const unsigned char SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::ifstream in(path.c_str(), std::ios::binary);
    unsigned char header[8];
    if (!in.read(reinterpret_cast<char*>(header), 8) || std::memcmp(header, SIGNATURE, 8) != 0)
        return false; // not a PNG file: the image library judges it
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    std::streamoff at = 8;
    // Each chunk: length (u32 big-endian), type, data, CRC; IEND ends the file.
    while (at + 8 <= size) {
        in.seekg(at);
        if (!in.read(reinterpret_cast<char*>(header), 8))
            return true;
        const uint32_t length = uint32_t(header[0]) << 24 | uint32_t(header[1]) << 16 | uint32_t(header[2]) << 8 |
                                uint32_t(header[3]);
        at += 12 + std::streamoff(length);
        if (at > size)
            return true;
        if (std::memcmp(header + 4, "IEND", 4) == 0)
            return false;
    }
    return true;
}

GLenum choose_texture_target(int width, int height)
{
    if (height == 1)
        return GL_TEXTURE_1D;
    if (is_power_of_two(width) && is_power_of_two(height))
        return GL_TEXTURE_2D;
    return GL_TEXTURE_RECTANGLE_ARB;
}

cTextureManager::~cTextureManager()
{
    clean_up();
}

cTextureManager::entry* cTextureManager::find_entry(const std::string& name)
{
    auto it = cache.find(name);
    if (it == cache.end())
        it = cache.find(platform_strip_path(name));
    return it == cache.end() ? nullptr : &it->second;
}

void cTextureManager::load_texture(const std::string& name)
{
    if (cache.count(platform_strip_path(name)))
        return;

    std::string full_path = get_resource_path()->get_fullpath(name);
    if (full_path.empty()) {
        std::cerr << "## ERROR: in " << __FILE__ << " line " << __LINE__ << ": file was not found in path: \""
                  << name << "\"" << std::endl;
        exit(-1);
    }
    if (!platform_file_readable(full_path)) {
        std::cerr << "## ERROR: in " << __FILE__ << " line " << __LINE__ << ": unable to open file " << full_path
                  << std::endl;
        exit(-1);
    }

    entry e = {0, 0, full_path};
    ilGenImages(1, &e.image);
    ilBindImage(e.image);
    // The image library reads a PNG that ends before its image data on and
    // on without end: such a file is refused here, and the texture is made
    // from the library's empty image, like any file that does not decode.
    if (png_ends_inside_its_chunks(full_path))
        std::cerr << "## ERROR: in " << __FILE__ << " line " << __LINE__ << ": damaged image file " << full_path
                  << ": it ends inside its PNG chunks" << std::endl;
    else
        ilLoadImage(full_path.c_str()); // a decoding failure is reported by the error checks after upload
    cache[name] = e;
}

cTexture* cTextureManager::get_texture(std::string name, bool mipmap, GLint wrap)
{
    entry* e = find_entry(name);
    if (!e) {
        load_texture(name);
        e = find_entry(name);
    }

    ilBindImage(e->image);
    int height = ilGetInteger(IL_IMAGE_HEIGHT);
    int width = ilGetInteger(IL_IMAGE_WIDTH);
    GLenum target = choose_texture_target(width, height);
    if (target == GL_TEXTURE_RECTANGLE_ARB)
        mipmap = false;

    if (e->gl_id == 0)
        upload(*e, target, width, height, mipmap, wrap);
    return new cTexture(target, e->gl_id);
}

// Leaves the new texture bound to its target on the active unit, as callers
// of get_texture expect.
void cTextureManager::upload(entry& e, GLenum target, int width, int height, bool mipmap, GLint wrap)
{
    glGenTextures(1, &e.gl_id);
    ILint format = IL_RGBA;
    const ILubyte* data = prepare_pixels(width, height, &format);

    glPushAttrib(GL_ENABLE_BIT);
    // Image rows are tightly packed: with GL's default 4-byte row alignment
    // an RGB image of odd width would be read skewed and past its end.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glEnable(target);
    glBindTexture(target, e.gl_id);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, wrap);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    if (mipmap && data) {
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        if (target == GL_TEXTURE_1D)
            gluBuild1DMipmaps(GL_TEXTURE_1D, GL_RGBA, width, format, GL_UNSIGNED_BYTE, data);
        else
            gluBuild2DMipmaps(target, GL_RGBA, width, height, format, GL_UNSIGNED_BYTE, data);
    } else {
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        // One-dimensional textures carry no alpha.
        if (target == GL_TEXTURE_1D)
            glTexImage1D(GL_TEXTURE_1D, 0, GL_RGB, width, 0, format, GL_UNSIGNED_BYTE, data);
        else
            glTexImage2D(target, 0, GL_RGBA, width, height, 0, format, GL_UNSIGNED_BYTE, data);
    }

    check_il_error(e.path);
    check_gl_error("cTextureManager::get_texture");
    glPopClientAttrib();
    glPopAttrib();
}

void cTextureManager::clean_up()
{
    for (auto& named : cache) {
        ilDeleteImages(1, &named.second.image);
        glDeleteTextures(1, &named.second.gl_id);
    }
    cache.clear();
}

cTextureManager* get_texture_manager()
{
    if (!g_texture_manager)
        g_texture_manager = new cTextureManager;
    return g_texture_manager;
}

void destroy_texture_manager()
{
    delete g_texture_manager;
    g_texture_manager = nullptr;
}
