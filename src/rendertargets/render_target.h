// Offscreen colour targets: an image, optionally with a depth buffer, that a
// scene or a post-processing pass draws into (begin/end) and then samples as
// a rectangle texture (bind/enable, texel coordinates 0..width, 0..height).
//
// A target owns its GL objects from create() until its destructor. Targets
// are owned either by a scene's offscreen layer or by the render target
// manager's pool (rendertarget_manager.h), which lends them out through
// cTmpRenderTarget handles. Every call needs the window's GL context current.
#pragma once

#include "core/gl_ext.h"

#include <cstdint>

class iRenderTarget
{
public:
    // Generates and sets up the GL objects.
    virtual void create() = 0;
    // Redirects drawing into the target; does not clear it. Does not nest.
    virtual void begin() = 0;
    // Returns drawing to the window's framebuffer (never to another target).
    virtual void end() = 0;
    // Binds the colour texture on the active texture unit.
    virtual void bind() = 0;
    virtual void unbind() = 0;
    virtual GLuint get_texture_id() = 0;
    // The largest texture coordinates: width and height, in texels.
    virtual void get_tex_extent(float* w, float* h) = 0;

    uint32_t width;  // pixels
    uint32_t height; // pixels

protected:
    // Targets are destroyed through their concrete class only.
    ~iRenderTarget() {}
};

// A framebuffer object whose colour attachment is a rectangle texture of
// exactly width x height (no power-of-two rounding), with an optional 24-bit
// depth renderbuffer.
class cRenderTarget_fbo : public iRenderTarget
{
public:
    // Stores the values; creates nothing (the owner calls create()).
    cRenderTarget_fbo(uint32_t width, uint32_t height, bool with_depth);

    void create() override;
    void begin() override;
    void end() override;
    void bind() override;
    void unbind() override;
    GLuint get_texture_id() override;
    void get_tex_extent(float* w, float* h) override;

    // Unbinds and deletes the framebuffer, the renderbuffer and the texture.
    virtual ~cRenderTarget_fbo();
    virtual void enable();
    virtual void disable();

    bool has_depth() const { return with_depth; }

    cRenderTarget_fbo(const cRenderTarget_fbo&) = delete;
    cRenderTarget_fbo& operator=(const cRenderTarget_fbo&) = delete;

private:
    GLuint fbo;
    GLuint renderbuffer; // generated in every case, given storage only with depth
    GLuint texture;      // the colour attachment
    GLenum texture_target;
    GLenum pixel_type;   // type argument of the texture allocation
    bool with_depth;
    GLint saved_viewport[4];  // viewport before begin()
    GLint saved_draw_buffer;  // draw buffer before begin()
};
