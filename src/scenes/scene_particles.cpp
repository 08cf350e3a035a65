#include "scene_particles.h"

#include "core/display.h"
#include "core/gl_ext.h"
#include "core/screen.h"
#include "platform/platform.h"
#include "post/post.h"
#include "rendertargets/rendertarget_manager.h"
#include "scenes/scene_common.h"
#include "shaders/cShaderContainer_CG.h"
#include "textures/texture_manager.h"

#include <GL/glu.h>
#include <cfloat>
#include <cmath>
#include <optional>

namespace {

const double FOV = 120.0, ZNEAR = 1.0, ZFAR = 5000.0;
const int32_t EVENT_CODE_BEAT = 16; // the script's "beat"
const float POINT_SIZE = 10.0f; // pixels, before distance attenuation
// The grid picture's size: its rectangle texture is addressed in texels.
const uint32_t GRID_TEXELS_W = 1024, GRID_TEXELS_H = 768;

// Two attractors pulling every living particle once a frame with the
// strength over the distance (not scaled by time).
struct attractor
{
    float position[3];
    float strength;
};
const attractor ATTRACTORS[2] = {{{0.0f, 55.0f, 0.0f}, 6.0f}, {{19.0f, 0.0f, -10.0f}, 2.0f}};


// Beat darkness falls at 1/300 per ms; the flash at 1/400 per ms.
const float DARKNESS_PER_MS = 0.0033333334f;
const float FLASH_PER_MS = 0.0025f;
const float FLASH_PEAK = 0.75f;
const float POINT_ALPHA_BASE = 0.1f, POINT_ALPHA_BEAT = 0.4f, POINT_FLICKER_PER_RAND = 3.051851e-07f;

// The cloud turns 0.04 degrees per millisecond about the axis between x and y.
const float CLOUD_TURN_PER_MS = 0.04f;
const int CLOUD_EXTRA_COPIES = 3;

// Dot bands: 1.25 % of the screen high at 7 % and 91.5 % of its height;
// 80 x 0.75 x aspect repeats across, scrolling 5 per second.
const float BAND_HEIGHT = 0.0125f, LOWER_BAND_Y = 0.07f, UPPER_BAND_Y = 0.915f;
const float BAND_REPEAT = 80.0f, BAND_TILE_SCALE = 0.75f, BAND_SCROLL_PER_MS = 0.005f;
const float BAND_ALPHA = 0.85f;

// The unit square with texture coordinates 0..s and 0..t on unit 0.
void draw_textured_unit_square(float s, float t)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glTexCoord2f(s, 0.0f);
    glVertex3f(1.0f, 0.0f, 0.0f);
    glTexCoord2f(s, t);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glTexCoord2f(0.0f, t);
    glVertex3f(0.0f, 1.0f, 0.0f);
    glEnd();
}

// One dot band: the texture matrix scrolls and tiles the dot image, the
// modelview places the strip. Leaves both matrices set; modelview current.
void draw_dot_band(float scroll, float y, float aspect)
{
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(scroll, 0.0f, 0.0f);
    glScalef(BAND_REPEAT, 1.0f, 1.0f);
    glScalef(BAND_TILE_SCALE, BAND_TILE_SCALE, 1.0f);
    glScalef(aspect, 1.0f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, y, 0.0f);
    glScalef(1.0f, BAND_HEIGHT, 1.0f);
    draw_textured_unit_square(1.0f, 1.0f);
}

} // namespace

float particles_beat_darkness(int32_t age_ms)
{
    return std::fmax(0.0f, 1.0f - static_cast<float>(age_ms) * DARKNESS_PER_MS);
}

float particles_point_alpha(float darkness, int r)
{
    return static_cast<float>(r) * POINT_FLICKER_PER_RAND + darkness * POINT_ALPHA_BEAT + POINT_ALPHA_BASE;
}

float particles_flash_alpha(int32_t age_ms)
{
    return (1.0f - clamp01(static_cast<float>(age_ms) * FLASH_PER_MS)) * FLASH_PEAK;
}

cSceneParticles::cSceneParticles(cClock* clock)
    : cScene(clock), particle_texture(nullptr), grid_texture(nullptr), dots_texture(nullptr), beat_time(0)
{
}

cSceneParticles::~cSceneParticles()
{
    for (cTexture** texture : {&particle_texture, &grid_texture, &dots_texture}) {
        delete *texture;
        *texture = nullptr;
    }
}

void cSceneParticles::load()
{
    cSceneLoadList list;
    list.texture("particle2.png", &particle_texture, true, GL_CLAMP)
        .texture("qdr_pts_grid.jpg", &grid_texture, false, GL_CLAMP)
        .texture("white_spot.png", &dots_texture, false, GL_REPEAT)
        .pass([this] {
            reset_particles();
            renderer.init_buffer(PARTICLES_COUNT);
            smooth_points.init();
            // A strip 0.2 wide in x and 20 long in z on the ground plane.
            const float origin[3] = {0.0f, 0.0f, 0.0f};
            const float u[3] = {0.2f, 0.0f, 0.0f};
            const float v[3] = {0.0f, 0.0f, 20.0f};
            emitter.set_position(origin);
            emitter.set_axes(u, v);
        });
    scene_load(*this, list);
}

void cSceneParticles::init()
{
    get_shader_container()->unbind();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glDisable(GL_ALPHA_TEST);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_MULTISAMPLE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
}

void cSceneParticles::exit()
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_ALPHA_TEST);
    // init turned the depth test off and every frame leaves depth writes
    // off: give the next scene the show's defaults back.
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
}

void cSceneParticles::handle_event(const demo_event* e)
{
    if (e->code == EVENT_CODE_BEAT)
        beat_time = e->time;
}

void cSceneParticles::update()
{
    step_particles();
}

void cSceneParticles::reset_particles()
{
    particles = CParticleSystem(); // init appends to what is there
    // Particles never die (the largest finite life), no damping, no gravity.
    const float no_gravity[3] = {0.0f, 0.0f, 0.0f};
    particles.init(PARTICLES_COUNT, PARTICLES_EMIT_PER_CALL, 0.0f, FLT_MAX, no_gravity, POINT_SIZE);
}

void cSceneParticles::rewind_run()
{
    reset_particles();
    emitter.rewind();
    beat_time = 0;
}

void cSceneParticles::step_particles()
{
    particles.update(PARTICLES_STEP_SECONDS);
    emitter.emit(particles);
    const uint32_t count = particles.size();
    for (uint32_t i = 0; i < count; ++i) {
        if (!particles.is_alive(i))
            continue;
        const float* p = &particles.position[3 * static_cast<size_t>(i)];
        float* v = &particles.velocity[3 * static_cast<size_t>(i)];
        for (const attractor& a : ATTRACTORS) {
            const float d[3] = {a.position[0] - p[0], a.position[1] - p[1], a.position[2] - p[2]};
            const float d2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
            // A particle exactly on an attractor has no direction to it:
            // it gets no pull from that one rather than an infinite one.
            if (!(d2 > 0.0f))
                continue;
            const float k = a.strength / d2;
            v[0] += d[0] * k;
            v[1] += d[1] * k;
            v[2] += d[2] * k;
        }
    }
}

void cSceneParticles::draw()
{
    get_shader_container()->unbind();
    // Multisampling is off throughout the scene, so each sample of a window
    // pixel would get the same value: the frame is drawn single-sampled and
    // copied to the window, the same picture for a quarter of the work per
    // pixel. The grid covers the whole target, so it needs no clear.
    cTmpRenderTarget frame = get_rendertarget_manager()->get_tmp_rt(RTT_FULL, true);
    frame->begin();
    draw_background();
    // Handed to the rasterizer now: a software renderer fills the background
    // while it transforms and sorts the first copy of the cloud into tiles.
    glFlush();

    const cDisplay* display = get_display();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FOV, double(display->width) / double(display->height), ZNEAR, ZFAR);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(50.0, 20.0, 50.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glRotatef(static_cast<float>(scene_time(clock)) * CLOUD_TURN_PER_MS, 0.5f, 0.5f, 0.0f);
    draw_particles();

    frame->end();
    copy_exact(*frame);
}

void cSceneParticles::draw_particles()
{
    glPushAttrib(GL_ENABLE_BIT);
    glPushMatrix();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_LIGHTING);
    // Each point scales what lies beneath it by 1 - alpha and adds nothing.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);

    const float darkness = particles_beat_darkness(event_age(clock, beat_time));
    renderer.set_alpha(particles_point_alpha(darkness, crt_rand()));
    smooth_points.begin();
    renderer.render_points(particles, false);
    for (int i = 0; i < CLOUD_EXTRA_COPIES; ++i) {
        // Each copy is handed to the rasterizer before the next is drawn: a
        // software renderer then fills one copy's points while it transforms
        // and sorts the next copy's into tiles, work it would otherwise do
        // one after the other on a core of its own.
        glFlush();
        glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
        renderer.render_points(particles, true);
    }
    smooth_points.end();

    glPopAttrib();
    glPopMatrix();
}

void cSceneParticles::draw_background()
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    GLint blend_src = GL_ONE, blend_dst = GL_ZERO;
    glGetIntegerv(GL_BLEND_SRC, &blend_src);
    glGetIntegerv(GL_BLEND_DST, &blend_dst);
    GLboolean depth_mask = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);

    glBlendFunc(GL_ONE, GL_ZERO);
    glDepthMask(GL_FALSE);
    for (GLenum cap : {GL_DEPTH_TEST, GL_CULL_FACE, GL_BLEND, GL_ALPHA_TEST, GL_LIGHT0, GL_LIGHT1, GL_LIGHTING,
                       GL_COLOR_MATERIAL})
        glDisable(cap);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    push_screen_matrices();

    // The grid over the whole screen, in the picture's texels: where it
    // lies texel for texel on the pixels, it is sampled nearest.
    glEnable(grid_texture->target);
    glBindTexture(grid_texture->target, grid_texture->id);
    {
        std::optional<cNearestTexels> nearest;
        if (grid_texture->target == GL_TEXTURE_RECTANGLE_ARB && viewport_is(GRID_TEXELS_W, GRID_TEXELS_H))
            nearest.emplace(GL_TEXTURE0);
        draw_textured_unit_square(GRID_TEXELS_W, GRID_TEXELS_H);
    }
    glDisable(grid_texture->target);
    glBindTexture(grid_texture->target, 0);

    // The two dot bands, scrolling in opposite directions.
    const cDisplay* display = get_display();
    const float aspect = float(display->width) / float(display->height);
    const float e = static_cast<float>(scene_time(clock));
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, BAND_ALPHA);
    glEnable(dots_texture->target);
    glBindTexture(dots_texture->target, dots_texture->id);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    draw_dot_band(-e * BAND_SCROLL_PER_MS, LOWER_BAND_Y, aspect);
    draw_dot_band(e * BAND_SCROLL_PER_MS, UPPER_BAND_Y, aspect);
    glDisable(dots_texture->target);
    glBindTexture(dots_texture->target, 0);
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // The beat flash: additive white, 0.75 at a beat, gone 400 ms later.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1.0f, 1.0f, 1.0f, particles_flash_alpha(event_age(clock, beat_time)));
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    draw_unit_square();

    glDepthMask(depth_mask);
    pop_screen_matrices();
    glBlendFunc(static_cast<GLenum>(blend_src), static_cast<GLenum>(blend_dst));
    glPopAttrib();
}
