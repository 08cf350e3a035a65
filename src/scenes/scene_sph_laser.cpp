#include "scenes/scene_sph_laser.h"

#include "core/display.h"
#include "core/gl_ext.h"
#include "core/screen.h"
#include "mesh_files/bzobj.h"
#include "mesh_files/mesh.h"
#include "rendertargets/rendertarget_manager.h"
#include "shaders/cShaderContainer_CG.h"
#include "textures/texture_manager.h"

#include <GL/glu.h>
#include <cmath>

int sph_laser_beat_count = 0;
int sph_laser_lead_count = 0;

namespace {

const char* const SPHERE_DIRECTORY = "../data/models/sphere_laser/";
const char* const INTRO_DIRECTORY = "../data/models/mirvok_intro/";

const int32_t CUE_BEAT = 16;
const int32_t CUE_SNARE = 17;
const int32_t CUE_LEAD = 25;

const double FOV = 135.0, ZNEAR = 1.0, ZFAR = 1000.0;
const int SPHERE_COPIES = 10;

// The eye after a beat: at EYE_FAR, gliding in to EYE_FAR - EYE_GLIDE.
const float EYE_FAR = 36.0f, EYE_GLIDE = 25.0f;
const float EYE_GLIDE_PER_MS = 0.002f; // the glide's parameter reaches 1 at 500 ms

// "lead" flashes: length in ms, and how much a fresh flash adds to the
// spheres' alpha, before and from the 36th lead on.
const int32_t FLASH_MS = 100, LONG_FLASH_MS = 300;
const int LONG_FLASH_LEADS[] = {36, 71, 103, 135, 169}; // lead counts that start a phrase
const int BRIGHT_FROM_LEAD = 36;
const float BASE_ALPHA = 0.05f, FLASH_GAIN = 0.1f, BRIGHT_FLASH_GAIN = 0.25f;

// A ring lives 1000 ms; its grey starts at 5 and is capped at 0.85.
const float RING_SHRINK_PER_MS = 0.001f;
const float RING_GREY_GAIN = 5.0f, RING_GREY_MAX = 0.85f;
const int32_t RING_LIFE_MS = 1000;
const float RING_ASPECT = 0.75f; // height over width of the 4:3 frame: keeps the ring round

// The cube block: orange (1, 174/255, 0), fading in over 1500 ms.
const int32_t LOGO_FADE_START_MS = 203803;
const float LOGO_FADE_PER_MS = 0.00066666666f;
const float LOGO_SCALE = 4.0f;
const float LOGO_TURN_PER_MS = 0.05f; // degrees

const float TURN_PER_MS = 0.001f; // degrees: the whole nest turns once in 6 minutes

} // namespace

// --- curves -----------------------------------------------------------------------

float sph_laser_eye_distance(int32_t since_beat_ms)
{
    // No lower bound: the show only hands out events whose time has passed.
    const float z = std::fmin(float(since_beat_ms) * EYE_GLIDE_PER_MS, 1.0f);
    return EYE_FAR - EYE_GLIDE * std::sin(z * float(M_PI) * 0.5f);
}

float sph_laser_ring_size(int32_t age_ms)
{
    return 2.0f - 2.0f * clamp01(float(age_ms) * RING_SHRINK_PER_MS);
}

float sph_laser_ring_grey(int32_t age_ms)
{
    const float x = clamp01(float(age_ms) * RING_SHRINK_PER_MS);
    return clampf(RING_GREY_GAIN * (1.0f - x), 0.0f, RING_GREY_MAX);
}

float sph_laser_logo_alpha(int32_t e)
{
    return clamp01(float(e - LOGO_FADE_START_MS) * LOGO_FADE_PER_MS);
}

// --- lifecycle ------------------------------------------------------------------

cSceneSphLaser::cSceneSphLaser(cClock* clock)
    : cScene(clock), sphere(nullptr), logo_cubes(nullptr), sphere_texture(nullptr), ring_texture(nullptr),
      beat_time(0), sphere_alpha(0.0f)
{
    effects.reserve(REMEMBERED_CUES_RESERVED);
}

cSceneSphLaser::~cSceneSphLaser()
{
    delete sphere;
    delete logo_cubes;
    delete sphere_texture;
    delete ring_texture;
}

void cSceneSphLaser::load()
{
    // The cube block comes last, after the passes; it is drawn with its own
    // materials.
    cSceneLoadList list;
    list.directory(SPHERE_DIRECTORY)
        .directory(INTRO_DIRECTORY)
        .mesh("sphere_laser.bzobj", &sphere, true)
        .texture("Coca.jpg", &sphere_texture, true, GL_CLAMP)
        .texture("ring.jpg", &ring_texture, true, GL_CLAMP)
        .pass([this] { glow.init(); })
        .pass([this] { blend.init(); })
        .pass([this] {
            delete logo_cubes;
            logo_cubes = BzObjLoader::create("logo_cubes.bzobj");
            logo_cubes->upload();
        });
    scene_load(*this, list);
}

void cSceneSphLaser::init()
{
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    light.colour[0] = light.colour[1] = light.colour[2] = 50.0f;
    light.colour[3] = 1.0f;
    light.apply_colour(); // black ambient with it
    glLightf(light.light, GL_QUADRATIC_ATTENUATION, 0.1f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void cSceneSphLaser::exit()
{
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_S);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(light.light);
    glDisable(sphere_texture->target);
    glBindTexture(sphere_texture->target, 0);
    // The show's defaults for the next scene: no attenuation on the light,
    // depth test and writes on, blending with source alpha.
    glLightf(light.light, GL_QUADRATIC_ATTENUATION, 0.0f);
    get_shader_container()->unbind();
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
}

void cSceneSphLaser::handle_event(const demo_event* e)
{
    if (e->code == CUE_BEAT) {
        // Beats 1, 2, 3, then every other one (5, 7, ...) throw the camera back.
        if (sph_laser_beat_count < 2 || sph_laser_beat_count % 2 == 0)
            beat_time = e->time;
        ++sph_laser_beat_count;
    } else if (e->code == CUE_LEAD) {
        ++sph_laser_lead_count;
        effects.push_back(*e);
    } else if (e->code == CUE_SNARE) {
        effects.push_back(*e);
    }
}

void cSceneSphLaser::update()
{
    const int32_t e = scene_time(clock);
    int32_t flash_ms = FLASH_MS;
    for (int count : LONG_FLASH_LEADS)
        if (sph_laser_lead_count == count)
            flash_ms = LONG_FLASH_MS;
    const float gain = sph_laser_lead_count < BRIGHT_FROM_LEAD ? FLASH_GAIN : BRIGHT_FLASH_GAIN;

    sphere_alpha = BASE_ALPHA;
    for (auto it = effects.begin(); it != effects.end();) {
        if (it->code == CUE_SNARE) {
            // An ended ring has size 0 and grey 0: dropping it changes no
            // pixel, and keeps the list as short as the rings on screen.
            it = (e - it->time >= RING_LIFE_MS) ? effects.erase(it) : std::next(it);
            continue;
        }
        if (it->code != CUE_LEAD) {
            ++it;
            continue;
        }
        const float f = clamp01(1.0f - float(e - it->time) / float(flash_ms));
        if (f == 0.0f) {
            it = effects.erase(it);
            continue;
        }
        sphere_alpha += f * gain;
        ++it;
    }
}

void cSceneSphLaser::rewind_run()
{
    sph_laser_beat_count = sph_laser_lead_count = 0;
    beat_time = 0;
    sphere_alpha = 0.0f;
    effects.clear();
}

// --- drawing --------------------------------------------------------------------

void cSceneSphLaser::draw()
{
    const int32_t e = scene_time(clock);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);

    cRenderTargetManager* pool = get_rendertarget_manager();
    cTmpRenderTarget scene = pool->get_tmp_rt(RTT_HALF, true);
    scene->begin();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    const cDisplay* display = get_display();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FOV, double(display->width) / double(display->height), ZNEAR, ZFAR);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // The light is set up as for a lit scene, though both draws run unlit.
    light.colour[0] = light.colour[1] = light.colour[2] = 0.8f;
    light.colour[3] = 1.0f;
    light.apply_colour();
    light.apply_position();
    light.apply_position();
    glEnable(light.light);

    const float eye_z = sph_laser_eye_distance(e - beat_time);
    gluLookAt(0.01, -0.1, eye_z, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glRotatef(TURN_PER_MS * float(e), 0.0f, 1.0f, 0.0f);

    draw_spheres();
    draw_logo();
    scene->end();
    glDisable(GL_BLEND);

    cTmpRenderTarget rings = pool->get_tmp_rt(RTT_HALF, false);
    rings->begin();
    glClear(GL_COLOR_BUFFER_BIT);
    draw_rings();
    rings->end();
    glDisable(GL_BLEND);

    cTmpRenderTarget mixed = pool->get_tmp_rt(RTT_HALF, false);
    blend.blend(POST_BLEND_COLOR_DODGE, *scene, *rings, *mixed);
    glow.glow(*mixed);

    mixed.reset();
    rings.reset();
    scene.reset();
}

void cSceneSphLaser::draw_spheres()
{
    const int32_t e = scene_time(clock);
    GLint blend_src = GL_SRC_ALPHA, blend_dst = GL_ONE_MINUS_SRC_ALPHA;
    glGetIntegerv(GL_BLEND_SRC, &blend_src);
    glGetIntegerv(GL_BLEND_DST, &blend_dst);
    // Both groups in one push: Mesa (22.3, llvmpipe) does not give back the
    // enables of a group pushed under another one, which left lighting and
    // culling off for the rest of the frame and for the next scene.
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);

    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_S);

    // Additive without depth writes: every shell of every copy shows through.
    glDepthMask(GL_FALSE);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);

    glEnable(sphere_texture->target);
    glBindTexture(sphere_texture->target, sphere_texture->id);
    glColor4f(1.0f, 1.0f, 1.0f, sphere_alpha);
    const float t = TURN_PER_MS * float(e);
    for (int i = 0; i < SPHERE_COPIES; ++i) {
        glPushMatrix();
        glRotatef((t + 2.0f * float(i)) * float(i), 0.0f, 1.0f, 0.0f);
        glRotatef(t + float(i), 1.0f, 0.0f, 0.0f);
        sphere->draw();
        glPopMatrix();
    }

    glBindTexture(sphere_texture->target, 0);
    glDisable(sphere_texture->target);
    glDepthMask(GL_TRUE);
    glPopAttrib();
    glBlendFunc(GLenum(blend_src), GLenum(blend_dst));
}

void cSceneSphLaser::draw_logo()
{
    const int32_t e = scene_time(clock);
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    const float alpha = sph_laser_logo_alpha(e);
    glColor4f(1.0f, 174.0f / 255.0f, 0.0f, alpha);

    // Before the block fades in it would blend in nothing, and the depth it
    // writes is read by nothing after it: it is not drawn.
    if (alpha > 0.0f) {
        glPushMatrix();
        glScalef(LOGO_SCALE, LOGO_SCALE, LOGO_SCALE);
        glRotatef(LOGO_TURN_PER_MS * float(e), 0.0f, 1.0f, 0.0f);
        // Depth first, then colour where the depth is equal: only the nearest
        // surface of the translucent block is blended.
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        logo_cubes->draw();
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthFunc(GL_EQUAL);
        logo_cubes->draw();
        glDepthFunc(GL_LESS);
        glPopMatrix();
    }
    glPopAttrib();
}

void cSceneSphLaser::draw_rings()
{
    const int32_t e = scene_time(clock);
    GLint blend_src = GL_SRC_ALPHA, blend_dst = GL_ONE_MINUS_SRC_ALPHA;
    glGetIntegerv(GL_BLEND_SRC, &blend_src);
    glGetIntegerv(GL_BLEND_DST, &blend_dst);
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_ONE);

    push_screen_matrices();
    glBindTexture(ring_texture->target, ring_texture->id);
    glEnable(ring_texture->target);
    for (const demo_event& ev : effects) {
        if (ev.code != CUE_SNARE)
            continue;
        const int32_t age = e - ev.time;
        const float w = sph_laser_ring_size(age);
        const float g = sph_laser_ring_grey(age);
        glColor4f(g, g, g, 1.0f);
        glPushMatrix();
        glTranslatef(0.5f, 0.5f, 0.0f);
        glScalef(w, w, 1.0f);
        glScalef(RING_ASPECT, 1.0f, 1.0f);
        glTranslatef(-0.5f, -0.5f, 0.0f);
        draw_unit_square_textured();
        glPopMatrix();
    }
    glDisable(ring_texture->target);
    glBindTexture(ring_texture->target, 0);
    pop_screen_matrices();
    glPopAttrib();
    glBlendFunc(GLenum(blend_src), GLenum(blend_dst));
}
