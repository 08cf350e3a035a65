#include "scene_vortex.h"

#include "core/display.h"
#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "rendertargets/rendertarget_manager.h"
#include "shaders/cShdSpecOnly.h"
#include "textures/texture_manager.h"
#include "timeline/scene_manager.h"

#include <GL/glu.h>

namespace {

const char* const VORTEX_DIRECTORY = "../data/models/vortex/";
const int32_t CUE_MELODY = 24;
const double FOV = 90.0, ZNEAR = 10.0, ZFAR = 1000.0;

// Arm colours per ring (bytes, alpha 51 = 0.2) and each ring's lag (degrees)
// behind the first.
const unsigned char RING_COLOURS[VORTEX_RINGS][4] = {{227, 91, 17, 51}, {34, 225, 17, 51}, {17, 17, 253, 51}};
const float RING_LAG_DEGREES[VORTEX_RINGS] = {0.0f, 6.0f, 12.0f};
// Each arm turns about a pivot this far out from the centre.
const float ARM_PIVOT = 40.0f;
const float ARM_DEGREES_PER_MS = 0.06666667f;
const float ARM_SHININESS = 5.0f;
const float ARM_SPECULAR[4] = {160.0f / 255.0f, 1.0f, 0.0f, 1.0f};

// The stripes scroll 3 texture lengths a second and the tube turns 30
// degrees a second about (0, 0.5, 0.5).
const float STRIPES_SCROLL_PER_MS = 0.003f;
const float STRIPES_DEGREES_PER_MS = 0.03f;
const float STRIPES_GREY = 0.2f;

} // namespace

const float VORTEX_CAMERAS[VORTEX_VIEWS][3] = {
    {15.0f, 0.0f, 175.0f}, {15.0f, 100.0f, 75.0f}, {0.0f, 175.0f, 25.0f}, {0.0f, 300.0f, -30.0f},
    {0.0f, 175.0f, 50.0f}, {50.0f, 175.0f, 50.0f}, {15.0f, 100.0f, 125.0f}, {50.0f, -200.0f, 50.0f},
    {100.0f, 0.0f, 50.0f}, {300.0f, 0.0f, 10.0f},
};

float vortex_fade(int32_t e, int32_t melody_kind, int32_t melody_time, const demo_event& next)
{
    if (melody_kind == -1 || next.code == -1)
        return 0.0f;
    const int32_t span = next.time - melody_time;
    const int32_t h = span / 2;
    const int32_t q = (span - h) / 2;
    const int32_t d = e - melody_time - q;
    if (h <= 0)
        return 0.0f;
    return clamp01(2.0f * float(d) / float(h) - 1.0f);
}

// --- lifecycle ------------------------------------------------------------------

cSceneVortex::cSceneVortex(cClock* clock)
    : cScene(clock), arm(nullptr), stripes(nullptr), stripes_texture(nullptr), view_index(0), cameras{},
      melody_kind(-1), melody_time(-1)
{
}

cSceneVortex::~cSceneVortex()
{
    delete arm;
    arm = nullptr;
    delete stripes;
    stripes = nullptr;
    delete stripes_texture;
    stripes_texture = nullptr;
}

void cSceneVortex::load()
{
    cSceneLoadList list;
    list.directory(VORTEX_DIRECTORY)
        .mesh("vortexArm.bzobj", &arm, true)
        .mesh("stripes_smooth.bzobj", &stripes)
        .texture("stripes_mirvok_whitetrans_256x32.png", &stripes_texture, true, GL_REPEAT)
        .shader<cShdSpecOnly>("spec_shader")
        .pass([this] { glow.init(); })
        .pass([this] {
            for (int k = 0; k < VORTEX_VIEWS; ++k)
                for (int c = 0; c < 3; ++c)
                    cameras[k][c] = VORTEX_CAMERAS[k][c];
        });
    scene_load(*this, list);
}

// Leaves two-sided lighting, lighting and colour material on for the
// scene's stretch; exit turns colour material off again.
void cSceneVortex::init()
{
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glDisable(GL_FOG);
    light.colour[0] = light.colour[1] = light.colour[2] = light.colour[3] = 1.0f;
    light.apply_colour(); // black ambient terms, the colour as diffuse and specular
}

// draw() also leaves the depth test off: it is turned back on here with the
// other defaults the next scene expects.
void cSceneVortex::exit()
{
    get_shader_container()->unbind();
    glDisable(GL_COLOR_MATERIAL);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void cSceneVortex::handle_event(const demo_event* e)
{
    if (e->code != CUE_MELODY)
        return;
    melody_kind = CUE_MELODY;
    melody_time = e->time;
    view_index = (view_index + 1) % VORTEX_VIEWS;
}

void cSceneVortex::update() {}

void cSceneVortex::rewind_run()
{
    view_index = 0;
    melody_kind = melody_time = -1;
}

// --- drawing --------------------------------------------------------------------

// Leaves additive blending on, culling, depth test, depth writes, alpha test
// and the 2D and rectangle textures off: the whole frame is drawn this way.
void cSceneVortex::draw()
{
    const int32_t e = scene_time(clock);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_ALPHA_TEST);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);

    const cDisplay* display = get_display();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FOV, double(display->width) / double(display->height), ZNEAR, ZFAR);
    glMatrixMode(GL_MODELVIEW);

    cRenderTargetManager* targets = get_rendertarget_manager();
    cTmpRenderTarget a = targets->get_tmp_rt(RTT_HALF, false);
    cTmpRenderTarget b = targets->get_tmp_rt(RTT_HALF, false);
    cTmpRenderTarget c = targets->get_tmp_rt(RTT_FULL, true);

    // No script, no next melody: the current view stays without a fade.
    const cEventQueue* queue = get_scene_manager()->queue;
    const demo_event next = queue ? queue->find(CUE_MELODY) : NO_EVENT;
    const float x = vortex_fade(e, melody_kind, melody_time, next);

    // The crossfade adds each view at its weight: a view of weight 0 adds
    // nothing to the frame, so it is not drawn (most frames show one view;
    // both views leave the same GL state behind).
    a->begin();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    if (x < 1.0f)
        draw_view(view_index);
    a->end();

    b->begin();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    if (x > 0.0f)
        draw_view((view_index + 1) % VORTEX_VIEWS);
    b->end();

    get_shader_container()->unbind();

    c->begin();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    crossfade(*a, *b, x);
    c->end();

    glow.glow(*c);

    c.reset();
    b.reset();
    a.reset();
}

void cSceneVortex::draw_view(int k)
{
    cShaderContainer_CG* shaders = get_shader_container();
    shaders->push_shader();
    glPushMatrix();
    glLoadIdentity();

    light.apply_position(); // under the identity: the light sits at the eye
    glEnable(light.light);
    light.colour[0] = light.colour[1] = light.colour[2] = light.colour[3] = 1.0f;
    light.apply_colour();

    gluLookAt(cameras[k][0], cameras[k][1], cameras[k][2], 0.0, 0.0, 0.0, 0.5, 1.0, 0.0);
    draw_arms();
    draw_stripes();

    glPopMatrix();
    shaders->pop_shader();
}

void cSceneVortex::draw_arms()
{
    const float e = float(scene_time(clock));
    cShaderContainer_CG* shaders = get_shader_container();
    shaders->push_shader();
    shaders->bind("spec_shader");

    glPushAttrib(GL_ENABLE_BIT);
    glEnable(GL_COLOR_MATERIAL);
    // The specular term and shininess stay set: only this step lights with them.
    glLightfv(light.light, GL_SPECULAR, ARM_SPECULAR);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, ARM_SHININESS);

    for (int r = 0; r < VORTEX_RINGS; ++r) {
        glColor4ubv(RING_COLOURS[r]);
        for (int n = 0; n < VORTEX_ARMS_PER_RING; ++n) {
            glPushMatrix();
            glRotatef(45.0f * float(n), 0.0f, 0.0f, 1.0f);
            glTranslatef(0.0f, ARM_PIVOT, 0.0f);
            glRotatef(e * ARM_DEGREES_PER_MS - RING_LAG_DEGREES[r], 0.0f, 0.0f, 1.0f);
            glTranslatef(0.0f, -ARM_PIVOT, 0.0f);
            arm->draw();
            glPopMatrix();
        }
    }

    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    glPopAttrib();
    shaders->pop_shader();
}

void cSceneVortex::draw_stripes()
{
    const float e = float(scene_time(clock));
    GLint blend_src = GL_ONE, blend_dst = GL_ZERO;
    glGetIntegerv(GL_BLEND_SRC, &blend_src);
    glGetIntegerv(GL_BLEND_DST, &blend_dst);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    get_shader_container()->unbind();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_ALPHA_TEST);

    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0.0f, e * STRIPES_SCROLL_PER_MS, 0.0f);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glScalef(4.0f, 4.0f, 3.0f);
    glRotatef(e * STRIPES_DEGREES_PER_MS, 0.0f, 0.5f, 0.5f);

    glColor4f(STRIPES_GREY, STRIPES_GREY, STRIPES_GREY, 1.0f);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(stripes_texture->target);
    glBindTexture(stripes_texture->target, stripes_texture->id);
    stripes->draw();
    glDisable(stripes_texture->target);
    glBindTexture(stripes_texture->target, 0);

    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    glBlendFunc(GLenum(blend_src), GLenum(blend_dst));
}

void cSceneVortex::crossfade(cRenderTarget_fbo& a, cRenderTarget_fbo& b, float x)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, 1.0, 0.0, 1.0, -1.0, 1.0);

    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    GLint blend_src = GL_ONE, blend_dst = GL_ZERO;
    glGetIntegerv(GL_BLEND_SRC, &blend_src);
    glGetIntegerv(GL_BLEND_DST, &blend_dst);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);

    // A view of weight 0 adds exactly nothing: its quad is not drawn.
    if (x < 1.0f) {
        a.bind();
        a.enable();
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f - x);
        draw_quad(a);
        a.unbind();
        a.disable();
    }
    if (x > 0.0f) {
        b.bind();
        b.enable();
        glColor4f(1.0f, 1.0f, 1.0f, x);
        draw_quad(b);
        b.disable();
        b.unbind();
    }

    glBlendFunc(GLenum(blend_src), GLenum(blend_dst));
    glPopAttrib();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
