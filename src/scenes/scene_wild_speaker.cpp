#include "scenes/scene_wild_speaker.h"

#include "core/display.h"
#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "rendertargets/rendertarget_manager.h"
#include "shaders/cShaderContainer_CG.h"
#include "shaders/cShdFog2L.h"
#include "shaders/cShdNotex.h"
#include "shaders/cShdVolLight.h"

#include <GL/glu.h>
#include <algorithm>
#include <iterator>
#include <cmath>

namespace {

const char* const WILD_SPEAKER_DIRECTORY = "../data/models/wildspeaker";

const int32_t CUE_BEAT = 16;
const int32_t CUE_SNARE = 17;
const int32_t CUE_MELODY = 24;
const int32_t CUE_LEAD = 25;

const int32_t FLASH_MS = 300;  // a beat's or snare's light
const int32_t MELODY_MS = 800; // a melody's inner glow
const float MELODY_GLOW = 0.65f;

// Shot changes, ms of show time.
const int32_t SHOT_MOVING_CORRIDOR_FROM = 247036;
const int32_t SHOT_ORBIT_BEATS_FROM = 259123;
const int32_t SHOT_MOVING_ALL_FROM = 260867;
const int32_t SHOT_MOVING_SPEAKER_FROM = 267819;
const int32_t SHOT_FINAL_FROM = 271299;
const float ORBIT_SECONDS_PER_BEAT = 4.0f;

const double FOV = 60.0, ZNEAR = 5.0, ZFAR = 3000.0;
const float BALL_SCALE = 0.25f;

// The corridor: four segments of 700 in a ring of 2800 along x, the whole
// row moved back by 2500 so the ball and the eyes lie in its last segment.
const int SEGMENTS = 4;
const float SEGMENT_LENGTH = 700.0f;
const float CORRIDOR_RING = 2800.0f;
const float CORRIDOR_BACK = -2500.0f;
const float CORRIDOR_ROLL_DEGREES_PER_MS = 0.035f;
const float FOG_START = 150.0f;
const float FOG_END_CLEAR = 1500.0f;
const float FOG_PULL = 1200.0f;         // a lead brings the end to 1500 - 1200 = 300
const float FOG_RELAX_PER_MS = 0.0005f; // two seconds from a lead to clear
const float CORRIDOR_LIGHT[4] = {206.0f / 255.0f, 237.0f / 255.0f, 1.0f, 1.0f};

const float BEAM_ALPHA = 0.05f;
// The moving shots' turn of the ball (or of everything): degrees per ms
// about (0.5, 0.5, 0).
const float TUMBLE_DEGREES_PER_MS = 0.06f;

const float BLACK[4] = {0.0f, 0.0f, 0.0f, 0.0f};

// The beam colour of light i at strength q (0..1).
void beam_colour(int i, float q)
{
    if (i >= 10 && i <= 20)
        glColor4f(q * q, 1.1f * q * q, q, BEAM_ALPHA);
    else if ((i >= 5 && i <= 9) || (i >= 21 && i <= 25))
        glColor4f(1.75f * q, q, 0.5f * q * q, BEAM_ALPHA);
    else
        glColor4f(1.75f * q, q * q, 0.5f * q * q, BEAM_ALPHA);
}

// The moving shots' shift T at show time e: the ball (or the corridor)
// swings along x between -25 and 175 and a little across.
void apply_swing(int32_t e)
{
    const double s1 = 0.001 * double(e);
    glTranslatef(float(75.0 + 100.0 * std::sin(s1)), float(15.0 * std::cos(s1)), float(25.0 * std::cos(s1)));
}

// The moving shots' turn R at show time e.
void apply_tumble(int32_t e)
{
    glRotatef(TUMBLE_DEGREES_PER_MS * float(e), 0.5f, 0.5f, 0.0f);
}

void look_at(double ex, double ey, double ez, double cx, double cy, double cz)
{
    gluLookAt(ex, ey, ez, cx, cy, cz, 0.0, 1.0, 0.0);
}

// The eye of the three moving shots: 200 along the corridor, bobbing.
void look_from_moving_eye(int32_t e)
{
    const double s1 = 0.001 * double(e);
    look_at(200.0, 25.0 * std::sin(s1), 25.0 * (std::sin(0.6 * s1) + std::cos(0.8 * s1)), 0.0, 0.0, 0.0);
}

} // namespace

wild_speaker_shot wild_speaker_shot_at(int32_t e)
{
    if (e < SHOT_MOVING_CORRIDOR_FROM)
        return WS_SHOT_ORBIT;
    if (e < SHOT_ORBIT_BEATS_FROM)
        return WS_SHOT_MOVING_CORRIDOR;
    if (e < SHOT_MOVING_ALL_FROM)
        return WS_SHOT_ORBIT_BEATS;
    if (e < SHOT_MOVING_SPEAKER_FROM)
        return WS_SHOT_MOVING_ALL;
    if (e < SHOT_FINAL_FROM)
        return WS_SHOT_MOVING_SPEAKER;
    return WS_SHOT_FINAL;
}

float wild_speaker_fog_end(int32_t since_lead_ms)
{
    const float f = clamp01(1.0f - FOG_RELAX_PER_MS * float(since_lead_ms));
    return FOG_END_CLEAR - FOG_PULL * smoothstep(f);
}

float wild_speaker_beam_strength(float level)
{
    return smoothstep(clamp01(1.0f - level));
}

// --- lifecycle ------------------------------------------------------------------

cSceneWildSpeaker::cSceneWildSpeaker(cClock* clock)
    : cScene(clock), light_count(WILD_SPEAKER_LIGHT_COUNT), sphere(nullptr), internal_additive(nullptr),
      inner_sphere(nullptr), speaker(nullptr), beam(nullptr), lightplates(nullptr), corridor(nullptr),
      melody_glow(0.0f), lead_time(0), beat_count(0), segment_x{0.0f, 0.0f, 0.0f, 0.0f}, beat_cycle(0),
      snare_cycle(0)
{
    melody_events.reserve(REMEMBERED_CUES_RESERVED);
    for (int i = 0; i < WILD_SPEAKER_LIGHT_COUNT; ++i) {
        lights[i] = {-1, -1, 0};
        light_level[i] = 1.0f;
    }
}

cSceneWildSpeaker::~cSceneWildSpeaker()
{
    for (iMesh* mesh : {sphere, internal_additive, inner_sphere, speaker, beam, lightplates, corridor})
        delete mesh;
}

void cSceneWildSpeaker::load()
{
    cSceneLoadList list;
    list.directory(WILD_SPEAKER_DIRECTORY)
        .mesh("wildspeaker_sphere.bzobj", &sphere)
        .mesh("wildspeaker_internal_additive.bzobj", &internal_additive)
        .mesh("wildspeaker_inner_sphere.bzobj", &inner_sphere, true)
        .mesh("wildspeaker_speaker.bzobj", &speaker)
        .mesh("wildspeaker_beam.bzobj", &beam)
        .mesh("wildspeaker_lightplates.bzobj", &lightplates)
        .mesh("wildspeaker_corridor.bzobj", &corridor)
        .shader<cShdNotex>("notex_shader")
        .shader<cShdVolLight>("vollight_shader")
        .shader<cShdFog2L>("fog_shader");
    if (scene_load(*this, list))
        glow.init();
}

void cSceneWildSpeaker::init()
{
    // A second stretch of the scene: the last exit freed these buffers.
    for (iMesh* mesh : {sphere, internal_additive, speaker, beam, lightplates})
        if (cMeshObj* obj = dynamic_cast<cMeshObj*>(mesh))
            obj->restore_buffers();

    light.apply_colour();
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    glEnable(GL_RESCALE_NORMAL);
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glFogfv(GL_FOG_COLOR, white);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogi(GL_FOG_MODE, GL_EXP2); // the one that stays; the corridor's shader fogs by start and end
    glFogf(GL_FOG_DENSITY, 0.1f);
    glEnable(GL_FOG);
}

void cSceneWildSpeaker::exit()
{
    // Frees their GPU memory for the rest of the show; init uploads them
    // again should the scene come back.
    for (iMesh* mesh : {sphere, internal_additive, speaker, beam, lightplates})
        if (cMeshObj* obj = dynamic_cast<cMeshObj*>(mesh))
            obj->release_buffers();
    get_shader_container()->unbind();
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_FOG);
    glDisable(GL_RESCALE_NORMAL);
    glEnable(GL_ALPHA_TEST);
    // The corridor's light back to GL's defaults for light 1.
    const float no_light[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightfv(GL_LIGHT1, GL_DIFFUSE, no_light);
    glLightfv(GL_LIGHT1, GL_SPECULAR, no_light);
    glDisable(GL_LIGHT1);
}

void cSceneWildSpeaker::handle_event(const demo_event* e)
{
    const light_record flash = {e->code, e->time, FLASH_MS};
    if (e->code == CUE_BEAT) {
        ++beat_count;
        // Eight of the ten equator lights, two left dark, moving on one
        // light per beat.
        for (int j : {0, 1, 2, 3, 5, 6, 7, 8})
            lights[10 + (beat_cycle + j) % 10] = flash;
        beat_cycle = (beat_cycle + 1) % 10;
    } else if (e->code == CUE_SNARE) {
        // Two neighbours of the upper middle ring and two of the lower.
        const int m0 = snare_cycle, m1 = (snare_cycle + 1) % 5;
        lights[5 + m0] = flash;
        lights[5 + m1] = flash;
        lights[20 + m0] = flash;
        lights[20 + m1] = flash;
        snare_cycle = (snare_cycle + 1) % 5;
    } else if (e->code == CUE_MELODY) {
        melody_events.push_back({e->code, e->time, MELODY_MS});
    } else if (e->code == CUE_LEAD) {
        lead_time = e->time;
    }
}

void cSceneWildSpeaker::update()
{
    const int32_t e = scene_time(clock);
    // A light never lit (duration 0) stays at level 1: no flash.
    for (int i = 0; i < WILD_SPEAKER_LIGHT_COUNT; ++i)
        light_level[i] = ramp01(e - lights[i].time, lights[i].duration);

    // Removed in place: the frame allocates nothing.
    melody_events.erase(std::remove_if(melody_events.begin(), melody_events.end(),
                                       [e](const light_record& m) { return e - m.time > m.duration; }),
                        melody_events.end());
    melody_glow = 0.0f;
    for (const light_record& m : melody_events)
        melody_glow += MELODY_GLOW * (1.0f - ramp01(e - m.time, m.duration));
}

void cSceneWildSpeaker::rewind_run()
{
    for (int i = 0; i < WILD_SPEAKER_LIGHT_COUNT; ++i) {
        lights[i] = {-1, -1, 0};
        light_level[i] = 1.0f;
    }
    melody_events.clear();
    melody_glow = 0.0f;
    lead_time = beat_count = beat_cycle = snare_cycle = 0;
    std::fill(std::begin(segment_x), std::end(segment_x), 0.0f);
}

// --- drawing --------------------------------------------------------------------

void cSceneWildSpeaker::draw()
{
    const int32_t e = scene_time(clock);
    cTmpRenderTarget frame = get_rendertarget_manager()->get_tmp_rt(RTT_FULL, true);
    frame->begin();
    // The fog is white: so is the frame behind it. The show's clear colour is
    // given back for the next scene.
    float clear_colour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear_colour);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(clear_colour[0], clear_colour[1], clear_colour[2], clear_colour[3]);
    glDisable(GL_FOG);

    switch (wild_speaker_shot_at(e)) {
    case WS_SHOT_ORBIT:
        shot_orbit(0.0f);
        break;
    case WS_SHOT_MOVING_CORRIDOR:
        shot_moving_corridor();
        break;
    case WS_SHOT_ORBIT_BEATS:
        shot_orbit(ORBIT_SECONDS_PER_BEAT * float(beat_count));
        break;
    case WS_SHOT_MOVING_ALL:
        shot_moving_all();
        break;
    case WS_SHOT_MOVING_SPEAKER:
        shot_moving_speaker();
        break;
    case WS_SHOT_FINAL:
        shot_final();
        break;
    }

    frame->end();
    glow.glow(*frame);
    frame.reset();
}

void cSceneWildSpeaker::begin_shot()
{
    const cDisplay* display = get_display();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FOV, double(display->width) / double(display->height), ZNEAR, ZFAR);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    light.colour[0] = light.colour[1] = light.colour[2] = 1.0f;
    light.apply_colour();
    // Under the identity: the light sits at the eye.
    light.apply_position();
    light.apply_position();
    glEnable(light.light);
}

// The ball under the current modelview, lit by the scene light.
void cSceneWildSpeaker::draw_lit_ball()
{
    glEnable(GL_LIGHTING);
    light.apply_colour();
    glPushMatrix();
    draw_speaker_ball();
    glPopMatrix();
}

void cSceneWildSpeaker::shot_orbit(float p)
{
    begin_shot();
    const double tau = 0.001 * double(scene_time(clock)) + double(p);
    look_at(25.0, 25.0 * std::sin(tau), 25.0 * (std::sin(1.3 * tau) + std::cos(2.2 * tau)), -25.0, 0.0, 0.0);
    draw_corridor();
    draw_lit_ball();
}

void cSceneWildSpeaker::shot_moving_corridor()
{
    const int32_t e = scene_time(clock);
    begin_shot();
    look_from_moving_eye(e);
    apply_swing(e);
    draw_corridor();
    apply_tumble(e);
    draw_lit_ball();
}

void cSceneWildSpeaker::shot_moving_all()
{
    const int32_t e = scene_time(clock);
    begin_shot();
    look_from_moving_eye(e);
    apply_swing(e);
    apply_tumble(e);
    draw_corridor();
    draw_lit_ball();
}

void cSceneWildSpeaker::shot_moving_speaker()
{
    const int32_t e = scene_time(clock);
    begin_shot();
    look_from_moving_eye(e);
    draw_corridor();
    glEnable(GL_LIGHTING);
    light.apply_colour();
    glPushMatrix();
    apply_swing(e);
    apply_tumble(e);
    draw_speaker_ball();
    glPopMatrix();
}

void cSceneWildSpeaker::shot_final()
{
    const int32_t e = scene_time(clock);
    begin_shot();
    look_at(25.0, 25.0 * std::sin(0.001 * double(e)),
            25.0 * (std::cos(0.0022 * double(e)) + std::sin(0.0013 * double(e))), 0.0, 0.0, 0.0);
    draw_corridor();
    apply_tumble(e);
    draw_lit_ball();
}

void cSceneWildSpeaker::place_light(int i)
{
    const cWildSpeakerLightAngles& row = WILD_SPEAKER_LIGHT_ANGLES[i];
    glRotatef(row.c, 0.0f, 1.0f, 0.0f);
    glRotatef(-row.b, 0.0f, 0.0f, 1.0f);
    glRotatef(row.a, 1.0f, 0.0f, 0.0f);
}

// Leaves "fog_shader" bound, the fog range set and light 0 black: the shot
// gives the light its colour back before the ball.
void cSceneWildSpeaker::draw_corridor()
{
    const int32_t e = scene_time(clock);
    get_shader_container()->bind("fog_shader");
    glPushAttrib(GL_ENABLE_BIT);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glEnable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND);

    glPushMatrix();
    glTranslatef(CORRIDOR_BACK, 0.0f, 0.0f);

    // A lead pulls the fog in; it relaxes over two seconds, and the segments
    // slide while it does.
    const float f = clamp01(1.0f - FOG_RELAX_PER_MS * float(e - lead_time));
    glFogf(GL_FOG_START, FOG_START);
    glFogf(GL_FOG_END, wild_speaker_fog_end(e - lead_time));

    glLightfv(GL_LIGHT0, GL_DIFFUSE, BLACK);
    glLightfv(GL_LIGHT0, GL_SPECULAR, BLACK);
    glDisable(GL_LIGHT0);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, CORRIDOR_LIGHT);
    glLightfv(GL_LIGHT1, GL_SPECULAR, CORRIDOR_LIGHT);
    glEnable(GL_LIGHT1);

    glColor4f(0.7f, 0.7f, 0.7f, 1.0f);
    glRotatef(CORRIDOR_ROLL_DEGREES_PER_MS * float(e), 1.0f, 0.0f, 0.0f);
    const float origin[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    for (int k = 0; k < SEGMENTS; ++k) {
        segment_x[k] = std::fmod(0.001f * float(e) * f + SEGMENT_LENGTH * float(k), CORRIDOR_RING);
        glPushMatrix();
        glTranslatef(segment_x[k], 0.0f, 0.0f);
        glLightfv(GL_LIGHT1, GL_POSITION, origin); // the light travels with its segment
        glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
        corridor->draw();
        glPopMatrix();
    }

    glDisable(GL_LIGHT1);
    glPopMatrix();
    glPopAttrib();
}

void cSceneWildSpeaker::draw_speaker_ball()
{
    cShaderContainer_CG* shaders = get_shader_container();
    glPushMatrix();
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glScalef(BALL_SCALE, BALL_SCALE, BALL_SCALE);

    shaders->bind("notex_shader");
    sphere->draw();
    shaders->unbind();

    // The speakers are unlit: their material's picture carries their shading.
    for (int i = 0; i < light_count; ++i) {
        glPushMatrix();
        place_light(i);
        glDisable(GL_CULL_FACE);
        glDisable(GL_LIGHTING);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        speaker->draw();
        glEnable(GL_LIGHTING);
        glEnable(GL_CULL_FACE);
        glPopMatrix();
    }

    // The glowing insides, added; draw_beams sets depth writes and the
    // blend function back.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_LIGHTING);
    glDepthMask(GL_FALSE);
    shaders->unbind();
    glColor4f(0.3f, 0.3f, 0.4f, 0.5f);
    internal_additive->draw();
    glColor4f(0.3f, 0.3f, 0.4f, melody_glow);
    inner_sphere->draw();

    draw_beams();

    glPopAttrib();
    glPopMatrix();
}

// Leaves "vollight_shader" bound; the next frame's corridor binds its own.
void cSceneWildSpeaker::draw_beams()
{
    get_shader_container()->bind("vollight_shader");
    glPushAttrib(GL_ENABLE_BIT);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_FALSE);

    for (int i = 0; i < light_count; ++i) {
        const float q = wild_speaker_beam_strength(light_level[i]);
        if (q == 0.0f)
            continue;
        beam_colour(i, q);
        glPushMatrix();
        place_light(i);
        lightplates->draw();
        beam->draw();
        glPopMatrix();
    }

    glDepthMask(GL_TRUE);
    glPopAttrib();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}
