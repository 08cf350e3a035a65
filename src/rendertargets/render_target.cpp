#include "render_target.h"

#include <iostream>

cRenderTarget_fbo::cRenderTarget_fbo(uint32_t width_, uint32_t height_, bool with_depth_)
    : fbo(0), renderbuffer(0), texture(0), texture_target(GL_TEXTURE_RECTANGLE_ARB), pixel_type(GL_FLOAT),
      with_depth(with_depth_), saved_viewport{-1, -1, -1, -1}, saved_draw_buffer(0)
{
    width = width_;
    height = height_;
}

// The fixed-function defaults the show expects after a target is made. They
// belong to the whole context, so creating a target resets them for the
// window as well.
static void set_context_defaults()
{
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    glEnable(GL_COLOR_SUM);
}

void cRenderTarget_fbo::create()
{
    glGenTextures(1, &texture);
    glGenFramebuffersEXT(1, &fbo);
    glGenRenderbuffersEXT(1, &renderbuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo);

    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, texture);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA8, width, height, 0, GL_RGBA, pixel_type, nullptr);

    set_context_defaults();

    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_RECTANGLE_ARB, texture, 0);
    if (with_depth) {
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, renderbuffer);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, width, height);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, renderbuffer);
    }

    // A target that cannot be drawn into would otherwise fail silently frame
    // after frame; name it once here.
    GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
        std::cerr << "## ERROR: cRenderTarget_fbo::create: framebuffer " << width << "x" << height
                  << (with_depth ? " with depth" : "") << " is incomplete (status 0x" << std::hex << status
                  << std::dec << ")" << std::endl;
    }

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
}

void cRenderTarget_fbo::begin()
{
    glGetIntegerv(GL_VIEWPORT, saved_viewport);
    glViewport(0, 0, width, height);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo);
    glGetIntegerv(GL_DRAW_BUFFER, &saved_draw_buffer);
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
}

void cRenderTarget_fbo::end()
{
    glDrawBuffer(saved_draw_buffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glViewport(saved_viewport[0], saved_viewport[1], saved_viewport[2], saved_viewport[3]);
}

void cRenderTarget_fbo::bind()
{
    glBindTexture(texture_target, texture);
}

void cRenderTarget_fbo::unbind()
{
    glBindTexture(texture_target, 0);
}

GLuint cRenderTarget_fbo::get_texture_id()
{
    return texture;
}

void cRenderTarget_fbo::get_tex_extent(float* w, float* h)
{
    *w = static_cast<float>(width);
    *h = static_cast<float>(height);
}

void cRenderTarget_fbo::enable()
{
    glEnable(texture_target);
}

void cRenderTarget_fbo::disable()
{
    glDisable(texture_target);
}

cRenderTarget_fbo::~cRenderTarget_fbo()
{
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glBindTexture(texture_target, 0);
    if (fbo) {
        glDeleteFramebuffersEXT(1, &fbo);
        fbo = 0;
    }
    if (renderbuffer) {
        glDeleteRenderbuffersEXT(1, &renderbuffer);
        renderbuffer = 0;
    }
    if (texture) {
        glDeleteTextures(1, &texture);
        texture = 0;
    }
}
