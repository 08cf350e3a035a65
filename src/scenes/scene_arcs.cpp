#include "scene_arcs.h"

#include "core/display.h"
#include "core/gl_ext.h"
#include "core/screen.h"
#include "mesh_files/mesh.h"
#include "shaders/cShdSpecOnly.h"
#include "textures/texture_manager.h"

#include <GL/glu.h>

namespace {

const char* const ARCS_DIRECTORY = "../data/models/colorArc/";
const int32_t CUE_BEAT = 16;
const int32_t KICK_ON_EVEN_BEAT = 100;
const double FOV = 140.0, ZNEAR = 0.1, ZFAR = 500.0;
const float ARC_SHININESS = 10.0f;
// Green-yellow highlight on the additive arcs.
const float ARC_LIGHT_COLOUR[4] = {20.0f / 255.0f, 1.0f, 0.0f, 1.0f};

// (cold, warm) per colour pair, bytes; arcs 2p and 2p + 1 use pair p.
const unsigned char ARC_COLOURS[4][2][3] = {
    {{59, 101, 141}, {255, 0, 10}},
    {{47, 175, 228}, {255, 203, 7}},
    {{130, 218, 231}, {179, 0, 0}},
    {{122, 169, 221}, {255, 85, 0}},
};

// The diagram scrolls by phase x 0.001 x 0.3 texture widths and shows one
// eighth of its width across the layer.
const float DIAGRAM_SCROLL_PER_PHASE = 0.001f * 0.3f;
const float DIAGRAM_VISIBLE_WIDTH = 0.125f;

} // namespace

int32_t arcs_decay_kick(int32_t kick)
{
    return int32_t(float(kick) * 0.95f);
}

float arcs_cold_weight(int32_t e, int32_t first_time)
{
    int32_t span = ARCS_WARM_REFERENCE - first_time;
    if (span < 1)
        span = 1;
    return smoothstep(clamp01(1.0f - float(e - ARCS_WARM_FROM) / float(span)));
}

float arcs_background_grey(int32_t beat_age_ms)
{
    return clamp01(0.25f + 0.65f * (1.0f - 0.004f * float(beat_age_ms)));
}

void arcs_colour(int i, float k, float rgb[3])
{
    const unsigned char(*pair)[3] = ARC_COLOURS[i / 2];
    for (int c = 0; c < 3; ++c)
        rgb[c] = (k * float(pair[0][c]) + (1.0f - k) * float(pair[1][c])) / 255.0f;
}

// --- lifecycle ------------------------------------------------------------------

cSceneArcs::cSceneArcs(cClock* clock)
    : cScene(clock), cOverlay(1.0f), arc(nullptr), diagram_texture(nullptr), angles{}, phase(0), kick(0),
      beat_time(0), beat_count(0), first_time(0), first_drawn(false)
{
}

cSceneArcs::~cSceneArcs()
{
    delete arc;
    arc = nullptr;
    delete diagram_texture;
    diagram_texture = nullptr;
}

void cSceneArcs::load()
{
    // The shaders and the glow come before the texture in this scene.
    cSceneLoadList list;
    list.directory(ARCS_DIRECTORY)
        .mesh("colorArc.bzobj", &arc, true)
        .shader<cShdSpecOnly>("spec_shader")
        .pass([this] { glow.init(); })
        .pass([this] {
            delete diagram_texture;
            diagram_texture = get_texture_manager()->get_texture("diagram_overlays.jpg", false, GL_REPEAT);
        });
    scene_load(*this, list);
}

// Leaves the scene's state set for its whole stretch: lighting on with
// GL_LIGHT0 off until draw() enables it, blending on, culling, depth writes,
// depth test, alpha test, multisampling and colour material off.
void cSceneArcs::init()
{
    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glEnable(GL_LIGHTING);
    glLightfv(light.light, GL_AMBIENT, black);
    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHT1);
    glDisable(GL_LIGHT2);
    light.colour[0] = light.colour[1] = light.colour[2] = light.colour[3] = 1.0f;
    light.apply_colour();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_MULTISAMPLE);
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    glDisable(GL_COLOR_MATERIAL);
}

void cSceneArcs::exit()
{
    get_shader_container()->unbind();
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void cSceneArcs::handle_event(const demo_event* e)
{
    if (e->code != CUE_BEAT)
        return;
    beat_time = e->time;
    // Every second beat of the run: the count before this one is odd.
    if ((beat_count + 1) % 2 == 0)
        kick = KICK_ON_EVEN_BEAT;
    beat_count += 1;
}

void cSceneArcs::update()
{
    phase += frame_time(clock) + kick;
    kick = arcs_decay_kick(kick);
    const float p = float(phase);
    const float t[ARCS_COUNT][3] = {
        {0.04f * p, -0.04f * p, 0.04f * p},        {p / 15.0f, 0.04f * p, -0.04f * p},
        {-0.04f * p, -p / 35.0f, 0.04f * p},       {0.04f * p, -0.04f * p, -p / 30.0f},
        {0.04f * p, p / 15.0f, 0.04f * p},         {-0.04f * p, -0.05f * p, -0.04f * p},
        {-0.05f * p, -0.05f * p, 0.05f * p},       {-p / 27.0f, p / 18.0f, p / 30.0f},
    };
    for (int i = 0; i < ARCS_COUNT; ++i)
        for (int a = 0; a < 3; ++a)
            angles[i][a] = t[i][a];
}

void cSceneArcs::rewind_run()
{
    for (auto& arc_angles : angles)
        arc_angles[0] = arc_angles[1] = arc_angles[2] = 0.0f;
    phase = kick = beat_time = beat_count = first_time = 0;
    first_drawn = false;
}

// --- drawing --------------------------------------------------------------------

// Leaves additive blending, lighting with GL_LIGHT0 and "spec_shader" bound
// (the glow restores the binding it found): the scene's exit gives the
// defaults back.
void cSceneArcs::draw()
{
    const int32_t e = scene_time(clock);
    glDisable(GL_CULL_FACE);
    glDisable(GL_FOG);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, ARC_SHININESS);

    target.begin();
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);

    draw_background();

    const cDisplay* display = get_display();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FOV, double(display->width) / double(display->height), ZNEAR, ZFAR);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    light.apply_position(); // at the eye
    glEnable(light.light);
    for (int c = 0; c < 4; ++c)
        light.colour[c] = ARC_LIGHT_COLOUR[c];
    light.apply_colour();
    gluLookAt(0.0, 0.0, 50.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);

    if (!first_drawn) {
        first_time = e;
        first_drawn = true;
    }
    const float k = arcs_cold_weight(e, first_time);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    get_shader_container()->bind("spec_shader");
    for (int i = 0; i < ARCS_COUNT; ++i) {
        float rgb[3];
        arcs_colour(i, k, rgb);
        glColor3fv(rgb);
        glPushMatrix();
        glRotatef(angles[i][0], 1.0f, 0.0f, 0.0f);
        glRotatef(angles[i][1], 0.0f, 1.0f, 0.0f);
        glRotatef(angles[i][2], 0.0f, 0.0f, 1.0f);
        arc->draw();
        glPopMatrix();
    }

    target.end();
    glow.glow(target);
}

void cSceneArcs::draw_background()
{
    get_shader_container()->unbind();
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    GLboolean depth_mask = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    glDepthMask(GL_FALSE);
    // The blend function stays as set here; draw() sets its own next.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const float g = arcs_background_grey(event_age(clock, beat_time));
    glColor4f(g, g, g, 1.0f);

    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glScalef(DIAGRAM_VISIBLE_WIDTH, 1.0f, 1.0f);
    glTranslatef(float(phase) * DIAGRAM_SCROLL_PER_PHASE, 0.0f, 0.0f);
    push_screen_matrices();

    glEnable(diagram_texture->target);
    glBindTexture(diagram_texture->target, diagram_texture->id);
    draw_unit_square_textured();
    glBindTexture(diagram_texture->target, 0);

    pop_screen_matrices();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glDepthMask(depth_mask);
    glPopAttrib();
}
