#include "support/images.h"

#include <IL/il.h>

namespace {

void start_image_library()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    ilInit();
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
}

void clear_image_errors()
{
    while (ilGetError() != IL_NO_ERROR) {
    }
}

} // namespace

std::vector<uint8_t> load_image(const std::string& path, int channels, int* width, int* height, int* stored)
{
    start_image_library();
    std::vector<uint8_t> pixels;
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    const bool loaded = ilLoadImage(path.c_str());
    if (loaded && stored)
        *stored = ilGetInteger(IL_IMAGE_CHANNELS);
    if (loaded && ilConvertImage(channels == 4 ? IL_RGBA : IL_RGB, IL_UNSIGNED_BYTE)) {
        const int w = ilGetInteger(IL_IMAGE_WIDTH), h = ilGetInteger(IL_IMAGE_HEIGHT);
        const ILubyte* data = ilGetData();
        pixels.assign(data, data + std::size_t(w) * std::size_t(h) * std::size_t(channels));
        if (width)
            *width = w;
        if (height)
            *height = h;
    }
    ilDeleteImages(1, &image);
    clear_image_errors();
    return pixels;
}

bool save_image(const std::string& path, const std::vector<uint8_t>& pixels, int width, int height, int channels)
{
    start_image_library();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    std::vector<uint8_t> copy(pixels);
    bool ok = ilTexImage(ILuint(width), ILuint(height), 1, ILubyte(channels), channels == 4 ? IL_RGBA : IL_RGB,
                         IL_UNSIGNED_BYTE, copy.data());
    ilEnable(IL_FILE_OVERWRITE);
    ok = ok && ilSaveImage(path.c_str());
    ilDeleteImages(1, &image);
    clear_image_errors();
    return ok;
}

std::vector<uint8_t> read_target(cRenderTarget_fbo& target)
{
    std::vector<uint8_t> pixels(std::size_t(target.width) * target.height * 4);
    target.begin();
    glReadPixels(0, 0, GLsizei(target.width), GLsizei(target.height), GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    target.end();
    return pixels;
}

std::vector<uint8_t> coordinate_picture(int width, int height)
{
    std::vector<uint8_t> data(std::size_t(width) * std::size_t(height) * 3);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint8_t* p = &data[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
            p[0] = uint8_t(x);
            p[1] = uint8_t(y);
            p[2] = 7;
        }
    return data;
}

OffscreenTarget::OffscreenTarget(int w, int h, bool depth) : width(w), height(h)
{
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &previous_fbo_);
    glGetIntegerv(GL_VIEWPORT, previous_viewport_);
    glGenFramebuffersEXT(1, &fbo_);
    glGenRenderbuffersEXT(2, buffers_);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, buffers_[0]);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, w, h);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo_);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, buffers_[0]);
    if (depth) {
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, buffers_[1]);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, w, h);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, buffers_[1]);
    }
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    complete_ = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    glViewport(0, 0, w, h);
}

OffscreenTarget::~OffscreenTarget()
{
    unbind();
    glDeleteRenderbuffersEXT(2, buffers_);
    glDeleteFramebuffersEXT(1, &fbo_);
}

void OffscreenTarget::bind()
{
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo_);
    glViewport(0, 0, width, height);
}

void OffscreenTarget::unbind()
{
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(previous_fbo_));
    glViewport(previous_viewport_[0], previous_viewport_[1], previous_viewport_[2], previous_viewport_[3]);
}

rgba OffscreenTarget::pixel(int x, int y) const
{
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo_);
    unsigned char p[4] = {0, 0, 0, 0};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(bound));
    return {p[0], p[1], p[2], p[3]};
}

std::vector<uint8_t> OffscreenTarget::read() const
{
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo_);
    std::vector<uint8_t> pixels(std::size_t(width) * std::size_t(height) * 4);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glPopClientAttrib();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(bound));
    return pixels;
}
