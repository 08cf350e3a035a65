// Full-screen post-processing passes: levels, a two-pass blur, colour dodge,
// the glow built from those three, and a two-image blend. Each pass draws one
// screen-filling quad with a shader bound by name through the shader
// container, reading render-target textures in texel coordinates.
//
// The pass objects hold no state: their init registers their shaders (called
// from a scene's load, after the shader container is initialised), and
// everything else is passed in or borrowed from the render target pool for
// the length of the pass. Every pass restores the shader binding it found
// and the enables, current colour, depth mask and matrices it changed; it
// leaves the modelview matrix mode current.
#pragma once

#include "rendertargets/render_target.h"

// The unit square as one quad, texture coordinates 0..width and 0..height of
// t on unit 0. Sets no state: the caller provides matrices and colour.
void draw_quad(const iRenderTarget& t);
// The unit square over the whole viewport with a's texel coordinates on unit
// 0 and b's on unit 1, in white, without lighting, depth test or depth
// writes. Blending is left as the caller set it.
void draw_quad2(const iRenderTarget& a, const iRenderTarget& b);

// While alive, the rectangle texture bound to the given unit is sampled
// nearest; the filters it had come back afterwards. A quad that reads every
// texel at its centre gets the same values as with linear filtering, for a
// quarter of the texel reads.
class cNearestTexels
{
public:
    explicit cNearestTexels(GLenum unit);
    ~cNearestTexels();
    cNearestTexels(const cNearestTexels&) = delete;
    cNearestTexels& operator=(const cNearestTexels&) = delete;

private:
    GLenum unit;
    GLint filters[2] = {GL_LINEAR, GL_LINEAR};
    GLint texture = 0;
};

// Whether the current viewport is width x height pixels.
bool viewport_is(uint32_t width, uint32_t height);

// As draw_quad and draw_quad2, for the targets bound on units 0 and 1: a
// target of the viewport's size is sampled nearest while the quad is drawn
// (each pixel's centre lies on a texel's centre, so linear filtering would
// give the same values for four times the reads); its filters are restored.
void draw_quad_texels(const cRenderTarget_fbo& t);
void draw_quad2_texels(const cRenderTarget_fbo& a, const cRenderTarget_fbo& b);

// t's whole image onto the current framebuffer's viewport texel for texel:
// nearest sampling, replace, no blending, depth test or writes, lighting,
// fog or culling, so every pixel gets exactly the texel under it (t must
// match the viewport's size). Draws with the fixed-function pipeline: call
// it with no shader bound. Every state it changes is restored; leaves the
// modelview matrix mode current.
void copy_exact(cRenderTarget_fbo& t);

// As copy_exact, each texel multiplied by m's image stretched over the
// viewport (read linearly on unit 1): the picture that multiplying t by m
// with blending and then copying it would give, within a level of rounding,
// in one pass instead of two. Call it with no shader bound; every state it
// changes is restored.
void copy_exact_modulated(cRenderTarget_fbo& t, cRenderTarget_fbo& m);

// Bright-pass: src through "levels_shader" into dst.
class cPostLevels
{
public:
    void init();
    void levels(cRenderTarget_fbo& src, cRenderTarget_fbo& dst);
};

// Blurs src into dst along both axes; src and dst may be the same target.
// Borrows one quarter-size target from the pool for the pass.
class cPostBlur
{
public:
    void init();
    void blur(cRenderTarget_fbo& src, cRenderTarget_fbo& dst);
};

// a dodged by b through "color_dodge_shader" onto the current framebuffer.
// Leaves texture unit 0 active.
class cPostColorDodge
{
public:
    void init();
    void color_dodge(cRenderTarget_fbo& a, cRenderTarget_fbo& b);
};

// The closing step of most scenes: levels and three blurs of src at a quarter
// of the window size, then src dodged by that onto the current framebuffer,
// replacing its content.
class cPostGlow
{
public:
    // Registers the three shaders, in the order levels, blur, colour dodge.
    void init();
    void glow(cRenderTarget_fbo& src);

private:
    cPostLevels pass_levels;
    cPostBlur pass_blur;
    cPostColorDodge pass_color_dodge;
};

// Blend modes of cPostBlend::blend.
enum
{
    POST_BLEND_LINEAR = 1,     // "lin_blend"
    POST_BLEND_ADDITIVE = 2,   // "additive"
    POST_BLEND_COLOR_DODGE = 3 // "col_dodge"
};

class cPostBlend
{
public:
    // Registers "lin_blend", "additive" and "col_dodge".
    void init();
    // a and b combined into dst with the mode's shader; any other mode binds
    // nothing, so the shader bound before stays in force. Leaves a bound on
    // unit 0 and b on unit 1, and unit 0 active.
    void blend(int mode, cRenderTarget_fbo& a, cRenderTarget_fbo& b, cRenderTarget_fbo& dst);
};
