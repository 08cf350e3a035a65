#include "scenes/scene_particle_speaker.h"

#include "core/display.h"
#include "core/screen.h"
#include "core/gl_ext.h"
#include "core/resource_path.h"
#include "mesh_files/mesh.h"
#include "platform/platform.h"
#include "rendertargets/rendertarget_manager.h"
#include "scenes/scene_common.h"
#include "shaders/cShaderContainer_CG.h"
#include "shaders/cShdLightmap.h"
#include "shaders/cShdParticleDistort.h"
#include "textures/texture_manager.h"

#include <GL/glu.h>
#include <cmath>

const char* const PS_PATH_FILES[PS_PATH_COUNT] = {
    "ps_camINTRO.pth", "ps_cam02.pth", "ps_cam03.pth", "ps_cam01.pth", "ps_cam04.pth",
    "ps_cam06.pth",    "ps_cam07.pth", "ps_cam11.pth", "ps_cam09.pth", "ps_cam10.pth",
    "ps_cam13.pth",    "ps_cam14.pth", "ps_cam15.pth", "ps_cam16.pth",
};

const int32_t PS_FLIGHT_MS[PS_PATH_COUNT] = {3000, 3000, 1500, 1500, 1500, 1500, 1500,
                                             1500, 1500, 1500, 2000, 1500, 2000, 2000};

namespace {

const char* const DATA_DIR = "../data/models/particleSpeaker/";

const int32_t CUE_BEAT = 16;
const int32_t CUE_SNARE = 17;

// The particle pool and the emitter ring around the speaker (world units).
const uint32_t PARTICLE_COUNT = 10000;
const float BURST_SIZE = 1500.0f;
const float EMITTER_CENTRE[3] = {0.0f, 85.0f, 0.0f};
const float EMITTER_RADIUS = 165.0f;

// Attractors: position and strength. The first pull falls with the square
// root of the distance, the other two with the distance.
const double ATTRACTOR_HIGH[3] = {50.0, 300.0, 0.0};
const double ATTRACTOR_HIGH_STRENGTH = 10.0;
const double ATTRACTOR_MID[3] = {0.0, 200.0, 0.0};
const double ATTRACTOR_MID_STRENGTH = 5.0;
const double ATTRACTOR_LOW[3] = {0.0, 100.0, 50.0};
const float ATTRACTOR_LOW_STRENGTH = 5.0f;

const int BEAT_PHASE_AT_CONSTRUCTION = 4;
const int BEAT_PHASE_AT_BEAT = -10;

// rand() times these gives [0, 0.66] (overlay offsets) and [0, 0.2] (flicker).
const float OVERLAY_OFFSET_PER_RAND = 2.0142217e-05f;
const float FLICKER_PER_RAND = 6.1037022e-06f;

// Adds strength * falloff(|d|) * d / |d| to v, d = attractor - p, with the
// length in double precision. A particle exactly on the attractor has no
// direction to be pulled in and is left alone.
void pull(float* v, const float* p, const double* attractor, double strength, bool sqrt_falloff)
{
    const double dx = attractor[0] - p[0], dy = attractor[1] - p[1], dz = attractor[2] - p[2];
    const double len = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (len <= 0.0)
        return;
    const double s = (sqrt_falloff ? strength / std::sqrt(len) : strength / len) / len;
    v[0] += float(dx * s);
    v[1] += float(dy * s);
    v[2] += float(dz * s);
}

} // namespace

// --- the beat's curves ----------------------------------------------------------

float ps_emit_limit(int32_t beat_age_ms)
{
    const float b = clamp01(1.0f - 0.04f * float(beat_age_ms));
    return BURST_SIZE * smoothstep(b);
}

float ps_morph_weight(int32_t beat_age_ms)
{
    return clamp01(1.0f - 0.01f * float(beat_age_ms));
}

float ps_particle_alpha(int32_t beat_age_ms)
{
    return clamp01(0.5f * (1.0f + 0.004f * float(beat_age_ms)));
}

float ps_overlay_grey(int32_t beat_age_ms)
{
    return clampf(1.0f - 0.005f * float(beat_age_ms), 0.0f, 0.5f);
}

int ps_next_path(int index)
{
    const int next = (index + 1) % 13;
    return next == 0 ? 1 : next;
}

float ps_path_parameter(int path_index, int32_t since_path_start_ms)
{
    return float(since_path_start_ms) / float(PS_FLIGHT_MS[path_index]);
}

// --- lifecycle ------------------------------------------------------------------

cSceneParticleSpeaker::cSceneParticleSpeaker(cClock* clock)
    : cScene(clock), silo_wall(nullptr), silo_doors(nullptr), silo_doors_morph(nullptr), silo_plate(nullptr),
      silo_speaker(nullptr), silo_speaker_morph(nullptr), silo_speaker_stiverter(nullptr), speaker_morph(nullptr),
      particle_texture(nullptr), overlay_texture(nullptr), emitter(nullptr), path_index(0), path_start(0),
      beat_time(0), overlay_offset{0.0f, 0.0f}, beat_phase(BEAT_PHASE_AT_CONSTRUCTION),
      third_attractor_strength(0.0f), first_draw_done(false)
{
}

cSceneParticleSpeaker::~cSceneParticleSpeaker()
{
    delete speaker_morph;
    delete emitter;
    iMesh* meshes[] = {silo_wall,    silo_doors,         silo_doors_morph,      silo_plate,
                       silo_speaker, silo_speaker_morph, silo_speaker_stiverter};
    for (iMesh* mesh : meshes)
        delete mesh;
    delete particle_texture;
    delete overlay_texture;
}

void cSceneParticleSpeaker::load()
{
    // After the textures the steps run in the scene's own order: particles
    // and emitter, shaders, camera paths, the morph.
    cSceneLoadList list;
    list.directory(DATA_DIR)
        .mesh("silo_wall.bzobj", &silo_wall)
        .mesh("silo_speaker.bzobj", &silo_speaker)
        .mesh("silo_speaker_morph.bzobj", &silo_speaker_morph)
        .mesh("silo_doors.bzobj", &silo_doors)
        .mesh("silo_doors_morph.bzobj", &silo_doors_morph)
        .mesh("silo_plate.bzobj", &silo_plate)
        .mesh("silo_speaker_stiverter.bzobj", &silo_speaker_stiverter)
        .texture("particle.png", &particle_texture, true, GL_CLAMP)
        .texture("speaker_overlay.jpg", &overlay_texture, true, GL_CLAMP)
        .pass([this] {
            reset_particles();
            renderer.init_buffer(PARTICLE_COUNT);
            smooth_points.init();
            CParticleEmitterCircle* circle = new CParticleEmitterCircle();
            delete emitter;
            emitter = circle;
            emitter->set_position(EMITTER_CENTRE);
            circle->set_radius(EMITTER_RADIUS);
        })
        .pass([] {
            cShaderContainer_CG* shaders = get_shader_container();
            shaders->add_shader<cShdLightmap>("lm_shader");
            shaders->add_shader<cShdParticleDistort>("pdist_shader"); // compiled only, never bound
        })
        .pass([this] {
            for (int i = 0; i < PS_PATH_COUNT; ++i)
                paths[i].load_found(PS_PATH_FILES[i]);
        })
        .pass([this] {
            delete speaker_morph;
            speaker_morph = new cMeshMorph(silo_speaker, dynamic_cast<cMeshObj*>(silo_speaker_morph));
            speaker_morph->init();
        });
    if (scene_load(*this, list))
        glow.init();
}

void cSceneParticleSpeaker::init()
{
    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glEnable(GL_LIGHTING);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glDisable(GL_ALPHA_TEST);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    own_clock.read_frequency();
    own_clock.tick();
    own_clock.prev = own_clock.now;
}

void cSceneParticleSpeaker::exit()
{
    cShaderContainer_CG* shaders = get_shader_container();
    shaders->unbind();
    glDepthMask(GL_TRUE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    shaders->unbind();
}

void cSceneParticleSpeaker::handle_event(const demo_event* e)
{
    const int32_t now = scene_time(clock);
    if (e->code == CUE_BEAT) {
        beat_time = now;
        overlay_offset[0] = float(crt_rand()) * OVERLAY_OFFSET_PER_RAND;
        overlay_offset[1] = float(crt_rand()) * OVERLAY_OFFSET_PER_RAND;
        beat_phase = BEAT_PHASE_AT_BEAT;
    } else if (e->code == CUE_SNARE) {
        path_index = ps_next_path(path_index);
        path_start = now;
    }
}

void cSceneParticleSpeaker::update()
{
    own_clock.tick();
    const float dt = float(own_clock.now - own_clock.prev) * 0.001f;
    // Nothing advances the phase: this step never fires (see the header).
    if (beat_phase == 0) {
        beat_phase = 1;
        third_attractor_strength = ATTRACTOR_LOW_STRENGTH;
    }
    step_particles(dt);
}

void cSceneParticleSpeaker::reset_particles()
{
    particles = CParticleSystem(); // init appends to what is there
    const float gravity[3] = {0.0f, 10.0f, 0.0f};
    particles.init(PARTICLE_COUNT, 200.0f, 0.0f, 3.0f, gravity, 10.0f);
}

void cSceneParticleSpeaker::rewind_run()
{
    reset_particles();
    emitter->rewind();
    path_index = 0;
    path_start = beat_time = 0;
    overlay_offset[0] = overlay_offset[1] = 0.0f;
    beat_phase = BEAT_PHASE_AT_CONSTRUCTION;
    third_attractor_strength = 0.0f;
    first_draw_done = false;
}

void cSceneParticleSpeaker::step_particles(float dt)
{
    particles.emit_per_call = ps_emit_limit(event_age(clock, beat_time));
    emitter->emit(particles);
    particles.update(dt);
    const uint32_t count = particles.size();
    for (uint32_t i = 0; i < count; ++i) {
        if (!particles.is_alive(i))
            continue;
        float* v = &particles.velocity[3 * size_t(i)];
        const float* p = &particles.position[3 * size_t(i)];
        pull(v, p, ATTRACTOR_HIGH, ATTRACTOR_HIGH_STRENGTH, true);
        pull(v, p, ATTRACTOR_MID, ATTRACTOR_MID_STRENGTH, false);
        if (third_attractor_strength != 0.0f)
            pull(v, p, ATTRACTOR_LOW, third_attractor_strength, false);
    }
}

// --- drawing --------------------------------------------------------------------

void cSceneParticleSpeaker::draw()
{
    const int32_t e = scene_time(clock);
    if (!first_draw_done) {
        path_start = e;
        first_draw_done = true;
    }
    cTmpRenderTarget frame = get_rendertarget_manager()->get_tmp_rt(RTT_FULL, true);
    frame->begin();

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);

    const cDisplay* display = get_display();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(120.0, double(display->width) / double(display->height), 10.0, 5000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // A path whose file was missing holds no key: it is not flown.
    const cCameraPath& path = paths[path_index];
    if (!path.get_keys().empty()) {
        const float t = ps_path_parameter(path_index, e - path_start);
        float eye_at[3], look_at[3], up_at[3];
        path.get_position(t, eye_at);
        path.get_target(t, look_at);
        path.get_up(t, up_at);
        gluLookAt(eye_at[0], eye_at[1], eye_at[2], look_at[0], look_at[1], look_at[2], up_at[0], up_at[1],
                  up_at[2]);
    }
    glRotatef(0.015f * float(e), 0.0f, 1.0f, 0.0f); // 15 degrees per second of show time

    draw_silo();
    draw_particles();
    draw_beat_overlay();

    frame->end();
    glow.glow(*frame);
    frame.reset();
}

void cSceneParticleSpeaker::draw_silo()
{
    const int32_t a = event_age(clock, beat_time);
    speaker_morph->draw(ps_morph_weight(a));
    get_shader_container()->bind("lm_shader");
    const float k = 0.2f + float(crt_rand()) * FLICKER_PER_RAND; // the walls' flicker, once per frame

    glPushMatrix();
    for (int i = 0; i < 6; ++i) {
        glRotatef(60.0f, 0.0f, 1.0f, 0.0f);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        silo_speaker_stiverter->draw();
        glColor4f(k, k, k, 1.0f);
        silo_wall->draw();
        silo_doors->draw();
    }
    glPopMatrix();
    silo_plate->draw();
}

void cSceneParticleSpeaker::draw_particles()
{
    cShaderContainer_CG* shaders = get_shader_container();
    shaders->push_shader();
    shaders->unbind();
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);

    GLint env_mode = GL_MODULATE;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env_mode);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // The blend function is restored by the scene's exit, as the show leaves it.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);

    glColor4f(0.2f, 0.5f, 1.0f, 1.0f);
    renderer.set_alpha(ps_particle_alpha(event_age(clock, beat_time)));
    smooth_points.begin();
    renderer.render_points(particles, false);
    smooth_points.end();

    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, env_mode);
    glPopAttrib();
    shaders->pop_shader();
}

void cSceneParticleSpeaker::draw_beat_overlay()
{
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    GLint blend_src = GL_ONE, blend_dst = GL_ZERO;
    glGetIntegerv(GL_BLEND_SRC, &blend_src);
    glGetIntegerv(GL_BLEND_DST, &blend_dst);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_ONE);

    // A 0.3 x 0.3 patch of the picture at the beat's offset, square on the
    // 4:3 frame.
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glScalef(4.0f / 3.0f, 1.0f, 1.0f);
    glTranslatef(overlay_offset[0], overlay_offset[1], 0.0f);
    glScalef(0.3f, 0.3f, 1.0f);
    push_screen_matrices();

    glBindTexture(overlay_texture->target, overlay_texture->id);
    glEnable(overlay_texture->target);
    const float g = ps_overlay_grey(event_age(clock, beat_time));
    glColor3f(g, g, g);
    // Black adds nothing under this blend: from 200 ms after a beat the
    // frame stays as it is without a full-screen pass.
    if (g > 0.0f)
        draw_unit_square_textured();

    pop_screen_matrices();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glBindTexture(overlay_texture->target, 0);
    glDisable(overlay_texture->target);
    glBlendFunc(GLenum(blend_src), GLenum(blend_dst));
    glPopAttrib();
}
