#include "scenes/scene_woman_box.h"

#include "core/display.h"
#include "core/gl_ext.h"
#include "core/screen.h"
#include "mesh_files/mesh.h"
#include "rendertargets/rendertarget_manager.h"
#include "scenes/scene_common.h"
#include "shaders/cShaderContainer_CG.h"
#include "textures/texture_manager.h"

#include <GL/glu.h>
#include <cstring>

const float WOMANBOX_EYES[WOMANBOX_VIEWS][3] = {
    {0.0f, 80.0f, -41.0f},   {0.0f, 40.0f, -41.0f},  {10.0f, 80.0f, -41.0f},  {20.0f, 80.0f, -41.0f},
    {30.0f, 40.0f, -41.0f},  {40.0f, 80.0f, -41.0f}, {-10.0f, 80.0f, -41.0f}, {-20.0f, 40.0f, -41.0f},
    {-30.0f, 80.0f, -41.0f}, {-40.0f, -40.0f, -41.0f},
};

bool womanbox_logo_started = false;
float womanbox_logo_t0 = 0.0f;

namespace {

const char* const WOMANBOX_DIRECTORY = "../data/models/womanbox";

const int32_t CUE_SNARE = 17;

const double FOV = 118.0, ZNEAR = 1.0, ZFAR = 500.0;
const float TURN_PER_MS = 0.02f; // degrees: one turn in 18 s
// The box's additive layer: faint and reddish, so overlaps build up.
const float BOX_COLOUR[4] = {1.0f, 0.7f, 0.7f, 0.3f};

// The logo: origin at 1.2 screen widths, 0.3 up, moving left 0.41 widths a
// second; the mesh is laid out in a 0..1 space shrunk by LOGO_SCALE.
const float LOGO_START_X = 1.2f, LOGO_SPEED = 0.41f, LOGO_Y = 0.3f;
const float LOGO_SCALE = 4.0f;

// A second stretch of the scene: exit() freed the buffers, and drawing from
// buffer name 0 would read client memory at address 0.
void restore_buffers(iMesh* mesh)
{
    if (cMeshObj* obj = dynamic_cast<cMeshObj*>(mesh))
        obj->restore_buffers();
}

void release_buffers(iMesh* mesh)
{
    if (cMeshObj* obj = dynamic_cast<cMeshObj*>(mesh))
        obj->release_buffers();
}

// Runs draw (which draws the unit square) over the whole target under
// screen matrices, without lighting, depth test or depth writes; the
// enables, colour, depth mask and matrices are restored afterwards.
template <class F>
void draw_fullscreen(F draw)
{
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    push_screen_matrices();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    draw();
    pop_screen_matrices();
    glDepthMask(GL_TRUE);
    glPopAttrib();
}

} // namespace

float womanbox_logo_x(float s)
{
    return LOGO_START_X - LOGO_SPEED * s;
}

// --- lifecycle ------------------------------------------------------------------

cSceneWomanBox::cSceneWomanBox(cClock* clock)
    : cScene(clock), box(nullptr), logo(nullptr), box_texture(nullptr), view_index(0)
{
    std::memcpy(cameras, WOMANBOX_EYES, sizeof cameras);
}

cSceneWomanBox::~cSceneWomanBox()
{
    delete box;
    delete logo;
    delete box_texture;
}

void cSceneWomanBox::load()
{
    cSceneLoadList list;
    list.directory(WOMANBOX_DIRECTORY)
        .mesh("box_grebble.bzobj", &box, true)
        .mesh("mirvok_logo.bzobj", &logo, true)
        .texture("Solar_Vortex.jpg", &box_texture, true, GL_CLAMP)
        .pass([this] { blur_pass.init(); })
        .pass([this] { glow.init(); });
    scene_load(*this, list);
}

void cSceneWomanBox::init()
{
    // A second stretch of the scene: exit() gave the buffers away.
    restore_buffers(box);
    restore_buffers(logo);

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_CULL_FACE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);

    // Texture coordinate generation and environment are texture-unit state:
    // set once here, turned on only while the box is drawn.
    glEnable(box_texture->target);
    glBindTexture(box_texture->target, box_texture->id);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(box_texture->target);
    glBindTexture(box_texture->target, 0);
    get_shader_container()->unbind();
}

void cSceneWomanBox::exit()
{
    release_buffers(box);
    release_buffers(logo);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_S);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // The rest of the show's defaults that init() turned off.
    glDepthMask(GL_TRUE);
    glEnable(GL_LIGHTING);
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
}

void cSceneWomanBox::handle_event(const demo_event* e)
{
    if (e->code == CUE_SNARE)
        view_index = (view_index + 1) % WOMANBOX_VIEWS;
}

void cSceneWomanBox::update() {}

void cSceneWomanBox::rewind_run()
{
    std::memcpy(cameras, WOMANBOX_EYES, sizeof cameras);
    view_index = 0;
    womanbox_logo_started = false;
    womanbox_logo_t0 = 0.0f;
}

// --- drawing --------------------------------------------------------------------

void cSceneWomanBox::draw()
{
    const int32_t e = scene_time(clock);
    cRenderTargetManager* pool = get_rendertarget_manager();
    cTmpRenderTarget a = pool->get_tmp_rt(RTT_HALF, true);
    cTmpRenderTarget b = pool->get_tmp_rt(RTT_HALF, true);

    b->begin();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    get_shader_container()->unbind();

    const cDisplay* display = get_display();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FOV, double(display->width) / double(display->height), ZNEAR, ZFAR);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const float* eye = cameras[view_index];
    gluLookAt(eye[0], eye[1], eye[2], 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glRotatef(float(e) * TURN_PER_MS, 0.0f, 1.0f, 0.0f);

    draw_box();
    b->end();

    glDisable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    blur_pass.blur(*b, *b);

    a->begin();
    show_target(*b);
    invert_frame();
    draw_logo();
    a->end();

    glow.glow(*a);
    b.reset();
    a.reset();
}

void cSceneWomanBox::draw_box()
{
    GLint blend_src = GL_SRC_ALPHA, blend_dst = GL_ONE;
    glGetIntegerv(GL_BLEND_SRC, &blend_src);
    glGetIntegerv(GL_BLEND_DST, &blend_dst);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4fv(BOX_COLOUR);

    glEnable(box_texture->target);
    glBindTexture(box_texture->target, box_texture->id);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_S);
    box->draw();
    glDisable(box_texture->target);
    glBindTexture(box_texture->target, 0);

    glDepthMask(GL_TRUE);
    glPopAttrib();
    glBlendFunc(GLenum(blend_src), GLenum(blend_dst));
}

void cSceneWomanBox::show_target(cRenderTarget_fbo& t)
{
    draw_fullscreen([&t] {
        glActiveTextureARB(GL_TEXTURE0_ARB);
        t.bind();
        t.enable();
        draw_quad(t);
        t.unbind();
        t.disable();
    });
}

void cSceneWomanBox::invert_frame()
{
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glEnable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    // Stays set after the pop: the logo inverts with the same function.
    glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
    draw_fullscreen([] { draw_unit_square(); });
    glPopAttrib();
}

void cSceneWomanBox::draw_logo()
{
    const float now_s = float(scene_time(clock)) * 0.001f;
    if (!womanbox_logo_started) {
        womanbox_logo_t0 = now_s;
        womanbox_logo_started = true;
    }
    const float s = now_s - womanbox_logo_t0;

    glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    // The depth test keeps overlapping bars of the flat logo from inverting
    // a pixel twice.
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    push_screen_matrices();

    glPushMatrix();
    glTranslatef(womanbox_logo_x(s), LOGO_Y, 0.0f);
    glScalef(LOGO_SCALE, LOGO_SCALE, 1.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    logo->draw();
    glPopMatrix();

    pop_screen_matrices();
    glDepthMask(GL_TRUE);
    glPopAttrib();
}
