#include "post.h"

#include "core/display.h"
#include "core/extensions.h"
#include "core/screen.h"
#include "core/gl_ext.h"
#include "rendertargets/rendertarget_manager.h"
#include "shaders/cShaderContainer_CG.h"
#include "shaders/cShdBlurTex.h"
#include "shaders/cShdColDodge.h"
#include "shaders/cShdLevels.h"
#include "shaders/cShdPostAdd.h"
#include "shaders/cShdPostColDodge.h"
#include "shaders/cShdPostLin.h"
#include <optional>

namespace {

// Texture coordinates of the four corners of the unit square, in the order
// (0,0), (1,0), (1,1), (0,1).
typedef float quad_coords[4][2];

// The one screen quad. With only unit0 given, coordinates go through
// glTexCoord (unit 0); with both, through glMultiTexCoord on units 0 and 1.
void screen_quad(const quad_coords& unit0, const quad_coords* unit1)
{
    static const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; ++i) {
        if (unit1) {
            glMultiTexCoord2fARB(GL_TEXTURE0, unit0[i][0], unit0[i][1]);
            glMultiTexCoord2fARB(GL_TEXTURE1, (*unit1)[i][0], (*unit1)[i][1]);
        } else {
            glTexCoord2f(unit0[i][0], unit0[i][1]);
        }
        glVertex3f(corners[i][0], corners[i][1], 0.0f);
    }
    glEnd();
}

// Upright texel coordinates of t's whole image.
void upright_coords(const iRenderTarget& t, quad_coords& out)
{
    const float w = static_cast<float>(t.width);
    const float h = static_cast<float>(t.height);
    const quad_coords c = {{0, 0}, {w, 0}, {w, h}, {0, h}};
    for (int i = 0; i < 4; ++i) {
        out[i][0] = c[i][0];
        out[i][1] = c[i][1];
    }
}

// The full-screen state of levels and blur: no depth test, lighting or
// blending, no depth writes, screen matrices, white. end_fullscreen undoes it.
GLboolean begin_fullscreen()
{
    GLboolean depth_mask = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDepthMask(GL_FALSE);
    push_screen_matrices();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    return depth_mask;
}

void end_fullscreen(GLboolean depth_mask)
{
    pop_screen_matrices();
    glDepthMask(depth_mask);
    glPopAttrib();
}

// The size class of the blur's temporary. The rule is the ratio r = window
// width / destination width: below 4.01 (every destination of the show,
// full, half and quarter size alike) the temporary is a quarter of the
// window. Narrower destinations have no class of their own; the quarter
// class, the smallest, serves them as well, so the rule is one class.
const RTT_SIZE BLUR_TMP_SIZE = RTT_QUATER;

// The blur's reads of a target: linear, clamped to its edge texels (the
// target's own GL_CLAMP would blend in its border), or 0 where the driver has
// no sampler objects. One for the process, made by the first init.
GLuint g_edge_sampler = 0;

void make_edge_sampler()
{
    const GLubyte* ext = glGetString(GL_EXTENSIONS);
    if (g_edge_sampler || !ext || !has_extension(reinterpret_cast<const char*>(ext), "GL_ARB_sampler_objects") ||
        !glGenSamplers || !glBindSampler || !glSamplerParameteri)
        return;
    glGenSamplers(1, &g_edge_sampler);
    glSamplerParameteri(g_edge_sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glSamplerParameteri(g_edge_sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(g_edge_sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(g_edge_sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

// One blur quad reading t on unit 0 at the given coordinates. The shader
// learns t's size and whether the reads clamp to the edge from unit 1's
// coordinate (s, t, r), the same at every corner.
void blur_quad(const cRenderTarget_fbo& t, const quad_coords& coords)
{
    const float w = static_cast<float>(t.width), h = static_cast<float>(t.height);
    glMultiTexCoord3fARB(GL_TEXTURE1, w, h, g_edge_sampler ? 1.0f : 0.0f);
    if (g_edge_sampler)
        glBindSampler(0, g_edge_sampler);
    screen_quad(coords, nullptr);
    if (g_edge_sampler)
        glBindSampler(0, 0);
}

} // namespace

// --- quads ---------------------------------------------------------------------

void draw_quad(const iRenderTarget& t)
{
    quad_coords c;
    upright_coords(t, c);
    screen_quad(c, nullptr);
}

void draw_quad2(const iRenderTarget& a, const iRenderTarget& b)
{
    const cMultisampleOff whole_pixels;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    push_screen_matrices();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    quad_coords ca, cb;
    upright_coords(a, ca);
    upright_coords(b, cb);
    screen_quad(ca, &cb);
    pop_screen_matrices();
    // Leaves depth writes on whatever the caller had: the passes that end a
    // frame with it hand the frame loop a depth buffer it can clear.
    glDepthMask(GL_TRUE);
    glPopAttrib();
}

cNearestTexels::cNearestTexels(GLenum unit) : unit(unit)
{
    GLint active = GL_TEXTURE0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    glActiveTextureARB(unit);
    glGetTexParameteriv(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, &filters[0]);
    glGetTexParameteriv(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, &filters[1]);
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE_ARB, &texture);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glActiveTextureARB(GLenum(active));
}

cNearestTexels::~cNearestTexels()
{
    GLint active = GL_TEXTURE0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    glActiveTextureARB(unit);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE_ARB, &bound);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, GLuint(texture));
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, filters[0]);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, filters[1]);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, GLuint(bound));
    glActiveTextureARB(GLenum(active));
}

bool viewport_is(uint32_t width, uint32_t height)
{
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    return uint32_t(viewport[2]) == width && uint32_t(viewport[3]) == height;
}

namespace {

// Whether a screen quad over the viewport puts each of t's texels on one pixel.
bool covers_viewport_exactly(const cRenderTarget_fbo& t)
{
    return viewport_is(t.width, t.height);
}

} // namespace

void draw_quad_texels(const cRenderTarget_fbo& t)
{
    if (!covers_viewport_exactly(t)) {
        draw_quad(t);
        return;
    }
    cNearestTexels nearest(GL_TEXTURE0);
    draw_quad(t);
}

void draw_quad2_texels(const cRenderTarget_fbo& a, const cRenderTarget_fbo& b)
{
    std::optional<cNearestTexels> nearest_a, nearest_b;
    if (covers_viewport_exactly(a))
        nearest_a.emplace(GL_TEXTURE0);
    if (covers_viewport_exactly(b))
        nearest_b.emplace(GL_TEXTURE1);
    draw_quad2(a, b);
}

void copy_exact(cRenderTarget_fbo& t)
{
    const cMultisampleOff whole_pixels;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_BLEND, GL_ALPHA_TEST, GL_FOG, GL_CULL_FACE, GL_TEXTURE_2D})
        glDisable(cap);
    glDepthMask(GL_FALSE);
    glActiveTextureARB(GL_TEXTURE0);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    push_screen_matrices();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    t.bind();
    t.enable();
    draw_quad_texels(t);
    t.disable();
    t.unbind();
    pop_screen_matrices();
    glPopAttrib();
}

void copy_exact_modulated(cRenderTarget_fbo& t, cRenderTarget_fbo& m)
{
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_BLEND, GL_ALPHA_TEST, GL_FOG, GL_CULL_FACE})
        glDisable(cap);
    glDepthMask(GL_FALSE);
    const auto use_unit = [](GLenum unit, GLint mode, cRenderTarget_fbo& target) {
        glActiveTextureARB(unit);
        for (GLenum cap : {GL_TEXTURE_2D, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T})
            glDisable(cap);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
        target.bind();
        target.enable();
    };
    // Unit 0 hands t's texel on as it is, unit 1 multiplies it by m's.
    use_unit(GL_TEXTURE1, GL_MODULATE, m);
    use_unit(GL_TEXTURE0, GL_REPLACE, t);
    draw_quad2_texels(t, m);
    glActiveTextureARB(GL_TEXTURE1);
    m.disable();
    m.unbind();
    glActiveTextureARB(GL_TEXTURE0);
    t.disable();
    t.unbind();
    glPopAttrib();
}

// --- levels, blur, colour dodge ------------------------------------------------------

void cPostLevels::init()
{
    get_shader_container()->add_shader<cShdLevels>("levels_shader");
}

void cPostLevels::levels(cRenderTarget_fbo& src, cRenderTarget_fbo& dst)
{
    cShaderContainer_CG* shaders = get_shader_container();
    GLboolean depth_mask = begin_fullscreen();
    dst.begin();
    shaders->push_shader();
    shaders->bind("levels_shader");
    glActiveTextureARB(GL_TEXTURE0);
    src.bind();
    src.enable();
    draw_quad(src);
    src.unbind();
    src.disable();
    shaders->pop_shader();
    dst.end();
    end_fullscreen(depth_mask);
}

void cPostBlur::init()
{
    get_shader_container()->add_shader<cShdBlurTex>("blur_shader");
    make_edge_sampler();
}

void cPostBlur::blur(cRenderTarget_fbo& src, cRenderTarget_fbo& dst)
{
    cShaderContainer_CG* shaders = get_shader_container();
    GLboolean depth_mask = begin_fullscreen();
    shaders->push_shader();
    cTmpRenderTarget tmp = get_rendertarget_manager()->get_tmp_rt(BLUR_TMP_SIZE, false);

    // First quad: src turned a quarter turn into tmp, so that src's vertical
    // axis lies along tmp's first texture axis, which the shader blurs.
    tmp->begin();
    src.bind();
    src.enable();
    shaders->bind("blur_shader");
    const float w = static_cast<float>(src.width);
    const float h = static_cast<float>(src.height);
    const quad_coords turned = {{0, h}, {0, 0}, {w, 0}, {w, h}};
    blur_quad(src, turned);
    tmp->end();

    // Second quad: turned back into dst, blurring the other axis.
    dst.disable();
    dst.unbind();
    dst.begin();
    tmp->bind();
    tmp->enable();
    const float tw = static_cast<float>(tmp->width);
    const float th = static_cast<float>(tmp->height);
    const quad_coords back = {{tw, 0}, {tw, th}, {0, th}, {0, 0}};
    blur_quad(*tmp, back);
    dst.end();
    tmp->disable();
    tmp->unbind();

    shaders->pop_shader();
    end_fullscreen(depth_mask);
    tmp.reset();
}

void cPostColorDodge::init()
{
    get_shader_container()->add_shader<cShdColDodge>("color_dodge_shader");
}

void cPostColorDodge::color_dodge(cRenderTarget_fbo& a, cRenderTarget_fbo& b)
{
    cShaderContainer_CG* shaders = get_shader_container();
    glActiveTextureARB(GL_TEXTURE0);
    a.bind();
    a.enable();
    glActiveTextureARB(GL_TEXTURE1);
    b.bind();
    b.enable();
    shaders->push_shader();
    shaders->bind("color_dodge_shader");
    // The image is read texel for texel; the glow is stretched.
    draw_quad2_texels(a, b);
    shaders->pop_shader();
    glActiveTextureARB(GL_TEXTURE1);
    b.unbind();
    b.disable();
    glActiveTextureARB(GL_TEXTURE0);
    a.unbind();
    a.disable();
}

// --- glow and blend ----------------------------------------------------------------

void cPostGlow::init()
{
    pass_levels.init();
    pass_blur.init();
    pass_color_dodge.init();
}

void cPostGlow::glow(cRenderTarget_fbo& src)
{
    cShaderContainer_CG* shaders = get_shader_container();
    cTmpRenderTarget tmp = get_rendertarget_manager()->get_tmp_rt(RTT_QUATER, false);
    shaders->push_shader();
    pass_levels.levels(src, *tmp);
    for (int i = 0; i < 3; ++i)
        pass_blur.blur(*tmp, *tmp);
    // Every pixel of the screen quad is written, replacing the framebuffer.
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_BLEND);
    pass_color_dodge.color_dodge(src, *tmp);
    glPopAttrib();
    shaders->pop_shader();
    tmp.reset();
}

void cPostBlend::init()
{
    cShaderContainer_CG* shaders = get_shader_container();
    shaders->add_shader<cShdPostLin>("lin_blend");
    shaders->add_shader<cShdPostAdd>("additive");
    shaders->add_shader<cShdPostColDodge>("col_dodge");
}

void cPostBlend::blend(int mode, cRenderTarget_fbo& a, cRenderTarget_fbo& b, cRenderTarget_fbo& dst)
{
    cShaderContainer_CG* shaders = get_shader_container();
    shaders->push_shader();
    switch (mode) {
    case POST_BLEND_LINEAR:
        shaders->bind("lin_blend");
        break;
    case POST_BLEND_ADDITIVE:
        shaders->bind("additive");
        break;
    case POST_BLEND_COLOR_DODGE:
        shaders->bind("col_dodge");
        break;
    default:
        break; // the shader bound before stays in force
    }
    dst.begin();
    glActiveTextureARB(GL_TEXTURE0);
    a.bind();
    a.enable();
    glActiveTextureARB(GL_TEXTURE1);
    b.bind();
    b.enable();
    draw_quad2_texels(a, b);
    glActiveTextureARB(GL_TEXTURE1);
    b.disable();
    glActiveTextureARB(GL_TEXTURE0);
    a.disable();
    dst.end();
    shaders->pop_shader();
}
