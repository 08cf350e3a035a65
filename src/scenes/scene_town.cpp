#include "scenes/scene_town.h"

#include "core/display.h"
#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "post/post.h"
#include "rendertargets/rendertarget_manager.h"
#include "shaders/cShaderContainer_CG.h"
#include "textures/texture_manager.h"
#include "timeline/scene_manager.h"

#include <GL/glu.h>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <vector>

const float TOWN_SKY_COLD[3] = {59.0f / 255.0f, 101.0f / 255.0f, 141.0f / 255.0f};
const float TOWN_SKY_WARM[3] = {200.0f / 255.0f, 101.0f / 255.0f, 16.0f / 255.0f};

namespace {

const char* const TOWN_DIRECTORY = "../data/models/town/";

const int32_t CUE_FADEIN = 19;
const int32_t CUE_BWAB1 = TOWN_CUE_BWAB1;
const int32_t CUE_BWAB2 = TOWN_CUE_BWAB2;
const int32_t SKY_END_SCENE = 5;

// A "fadein" this soon after the first frame fills no slot (ms).
const int32_t FADEIN_GRACE_MS = 2000;
const float CREDIT_FADE_PER_MS = 0.0005f; // over 2000 ms
const float CREDIT_ALPHA = 0.33f;

// Flash: rest level, rise (0..85 ms) and fall (85..500 ms).
const float FLASH_REST = 0.02f;
const float FLASH_RISE = 0.125f;
const int32_t FLASH_RISE_MS = 85;
const int32_t FLASH_FALL_MS = 415;

const double FOV = 90.0, ZNEAR = 1.0, ZFAR = 2000.0;
const float FOG_START = 200.0f, FOG_END = 400.0f;
const float BLOCK_SPACING = 120.0f;
const int GRID = 4;

// The drifting eye: units per millisecond of the scene's own time, and the
// sway of its height (radians per millisecond).
const double EYE_X = 260.0, EYE_X_PER_MS = 0.002;
const double EYE_Y = 20.0, EYE_SWAY = 20.0, EYE_SWAY_PER_MS = 0.000066666667;
const double EYE_Z = 460.0, EYE_Z_PER_MS = 0.0013333333;

// The credit quarters: texels (s0, s1, t0, t1) of the 1024 x 768 picture;
// t grows upwards. Each lands on the same part of the screen as it has of the
// picture (the upper left quarter on the screen's upper left quarter, and so
// on): a texel (s, t) at (s / 1024, t / 768) of the screen.
const float CREDIT_TEXELS[TOWN_CREDIT_QUARTERS][4] = {
    {0, 512, 384, 768}, {512, 1024, 384, 768}, {0, 512, 0, 384}, {512, 1024, 0, 384}};
const int CREDIT_WIDTH = 1024, CREDIT_HEIGHT = 768;

} // namespace

float town_sky_mix(int32_t d, int32_t span)
{
    // No switch ahead (span negative) or one due at the first frame itself:
    // the ratio would be negative or undefined, and the sky stays cold.
    if (span <= 0)
        return 0.0f;
    return smoothstep(clamp01(float(double(d) / double(span))));
}

float town_flash_level(int32_t g, float previous)
{
    if (g < FLASH_RISE_MS) {
        const float v = FLASH_RISE * smoothstep(ramp01(g, FLASH_RISE_MS)) + FLASH_REST;
        return v > previous ? v : previous;
    }
    return FLASH_RISE * (1.0f - smoothstep(ramp01(g - FLASH_RISE_MS, FLASH_FALL_MS))) + FLASH_REST;
}

void town_eye_offset(int32_t bwab_count, float offset[3])
{
    static const float OFFSETS[5][3] = {{0, 0, 0}, {125, 0, 100}, {-50, 5, 0}, {10, -10, 10}, {100, 10, -200}};
    int step = bwab_count < 0 ? 0 : bwab_count / 4;
    if (step > 4)
        step = 4;
    for (int a = 0; a < 3; ++a)
        offset[a] = OFFSETS[step][a];
}

float town_credit_weight(int32_t e, int32_t fadein_time)
{
    // 64-bit difference: a slot still "never" is far in the future.
    const int64_t age = int64_t(e) - int64_t(fadein_time);
    return clamp01(float(double(age) * CREDIT_FADE_PER_MS));
}

void town_credit_bounds(const uint8_t* rgba, float bounds[TOWN_CREDIT_QUARTERS][4])
{
    for (int q = 0; q < TOWN_CREDIT_QUARTERS; ++q) {
        const float* quarter = CREDIT_TEXELS[q];
        const int s0 = int(quarter[0]), s1 = int(quarter[1]), t0 = int(quarter[2]), t1 = int(quarter[3]);
        int lo_s = s1, hi_s = s0, lo_t = t1, hi_t = t0; // empty until a lit texel
        for (int t = t0; t < t1; ++t)
            for (int s = s0; s < s1; ++s) {
                const uint8_t* texel = rgba + (size_t(t) * CREDIT_WIDTH + size_t(s)) * 4;
                if (texel[0] | texel[1] | texel[2]) {
                    lo_s = std::min(lo_s, s);
                    hi_s = std::max(hi_s, s + 1);
                    lo_t = std::min(lo_t, t);
                    hi_t = std::max(hi_t, t + 1);
                }
            }
        if (hi_s <= lo_s) {
            bounds[q][0] = bounds[q][1] = float(s0);
            bounds[q][2] = bounds[q][3] = float(t0);
            continue;
        }
        // One texel more each way: a filtered read just outside still sees
        // the lit edge where the picture is not drawn texel for pixel.
        bounds[q][0] = float(std::max(s0, lo_s - 1));
        bounds[q][1] = float(std::min(s1, hi_s + 1));
        bounds[q][2] = float(std::max(t0, lo_t - 1));
        bounds[q][3] = float(std::min(t1, hi_t + 1));
    }
}

// --- lifecycle ------------------------------------------------------------------

cSceneTown::cSceneTown(cClock* clock)
    : cScene(clock), town(nullptr), bwab_time(0), bwab_count(0), credits_texture(nullptr), first_frame(INT32_MAX),
      fadein_times{TOWN_NEVER, TOWN_NEVER, TOWN_NEVER, TOWN_NEVER}, fadein_count(0), sky_end(-1), flash(0.0f)
{
    std::copy(&CREDIT_TEXELS[0][0], &CREDIT_TEXELS[0][0] + 4 * TOWN_CREDIT_QUARTERS, &credit_texels[0][0]);
}

cSceneTown::~cSceneTown()
{
    if (town)
        delete town;
    town = nullptr;
    delete credits_texture;
    credits_texture = nullptr;
}

void cSceneTown::load()
{
    cSceneLoadList list;
    list.directory(TOWN_DIRECTORY)
        .mesh("crazytown.bzobj", &town)
        .texture("credits.png", &credits_texture, true, GL_CLAMP)
        .pass([this] {
            glow.init();
            vertex_fog.init();
            find_credit_texels();
        });
    scene_load(*this, list);
}

// Reads the credits picture back once to find the lit part of each quarter.
void cSceneTown::find_credit_texels()
{
    const GLenum target = credits_texture->target;
    GLint bound = 0, width = 0, height = 0;
    glGetIntegerv(target == GL_TEXTURE_RECTANGLE_ARB ? GL_TEXTURE_BINDING_RECTANGLE_ARB : GL_TEXTURE_BINDING_2D,
                  &bound);
    glBindTexture(target, credits_texture->id);
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &height);
    if (width == CREDIT_WIDTH && height == CREDIT_HEIGHT) {
        std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glGetTexImage(target, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        glPopClientAttrib();
        town_credit_bounds(rgba.data(), credit_texels);
    }
    glBindTexture(target, GLuint(bound));
}

void cSceneTown::init()
{
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glEnable(GL_LIGHTING);
    // Black light and light model ambient, the light's colour as diffuse and specular.
    light.apply_colour();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_MULTISAMPLE);
    glDisable(GL_ALPHA_TEST);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    bwab_time = scene_time(clock);
}

void cSceneTown::exit()
{
    get_shader_container()->unbind();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_TRUE);
    glDisable(GL_COLOR_MATERIAL);
    glEnable(GL_CULL_FACE);
    glDisable(GL_FOG);
    // init() turned the depth test off: the next scene gets the default back.
    glEnable(GL_DEPTH_TEST);
}

void cSceneTown::handle_event(const demo_event* e)
{
    switch (e->code) {
    case CUE_FADEIN: {
        // Before the first frame first_frame is INT32_MAX and the difference
        // is negative (64-bit, so no show time overflows it).
        const int64_t since_first = int64_t(scene_time(clock)) - int64_t(first_frame);
        // Four slots: a fifth fade-in has nowhere to go and is ignored.
        if (since_first >= FADEIN_GRACE_MS && fadein_count >= 0 && fadein_count < TOWN_CREDIT_QUARTERS) {
            fadein_times[fadein_count] = e->time;
            fadein_count += 1;
        }
        break;
    }
    case CUE_BWAB1:
    case CUE_BWAB2:
        bwab_count += 1;
        bwab_time = scene_time(clock); // the time of handling, not the event's
        break;
    default:
        break;
    }
}

void cSceneTown::update() {}

void cSceneTown::rewind_run()
{
    bwab_time = bwab_count = 0;
    first_frame = INT32_MAX;
    std::fill(std::begin(fadein_times), std::end(fadein_times), TOWN_NEVER);
    fadein_count = 0;
    sky_end = -1;
    flash = 0.0f;
}

// --- drawing --------------------------------------------------------------------

void cSceneTown::latch_first_frame(int32_t e)
{
    if (first_frame == INT32_MAX) {
        first_frame = e;
        // The sky ends at the next switch to scene 5, looked up once for the run.
        const cEventQueue* queue = get_scene_manager()->queue;
        sky_end = queue ? queue->find(SKY_END_SCENE).time : -1;
    }
}

void cSceneTown::step_flash(int32_t e)
{
    flash = town_flash_level(e - bwab_time, flash);
}

void cSceneTown::draw()
{
    const int32_t e = scene_time(clock);
    latch_first_frame(e);
    const int32_t d = e - first_frame;

    const float k = town_sky_mix(d, sky_end - first_frame);
    float sky[3];
    for (int a = 0; a < 3; ++a)
        sky[a] = TOWN_SKY_COLD[a] * (1.0f - k) + TOWN_SKY_WARM[a] * k;

    get_shader_container()->unbind();

    cTmpRenderTarget frame = get_rendertarget_manager()->get_tmp_rt(RTT_FULL, true);
    frame->begin();
    glClear(GL_COLOR_BUFFER_BIT);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // Takes effect at the next frame's clear: the sky lags one frame.
    glClearColor(sky[0], sky[1], sky[2], 1.0f);

    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);

    step_flash(e);
    glColor4f(sky[0], sky[1], sky[2], flash);

    const float fog_colour[4] = {sky[0], sky[1], sky[2], 1.0f};
    glFogfv(GL_FOG_COLOR, fog_colour);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, FOG_START);
    glFogf(GL_FOG_END, FOG_END);
    glEnable(GL_FOG);

    const cDisplay* display = get_display();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FOV, double(display->width) / double(display->height), ZNEAR, ZFAR);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // Under the identity: the light stays put relative to the eye.
    light.position[0] = 800.0f;
    light.position[1] = 800.0f;
    light.position[2] = -800.0f;
    light.position[3] = 1.0f;
    light.apply_position();
    glEnable(light.light);
    for (int a = 0; a < 4; ++a)
        light.colour[a] = 1.0f;
    glLightfv(light.light, GL_DIFFUSE, light.colour);
    glLightfv(light.light, GL_SPECULAR, light.colour);
    const float half_specular[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    glLightfv(light.light, GL_SPECULAR, half_specular);

    float offset[3];
    town_eye_offset(bwab_count, offset);
    gluLookAt(EYE_X - EYE_X_PER_MS * d + offset[0], EYE_Y - EYE_SWAY * std::sin(d * EYE_SWAY_PER_MS) + offset[1],
              EYE_Z - EYE_Z_PER_MS * d + offset[2], 200.0, 100.0, 50.0, 0.0, 1.0, 0.0);

    draw_town_grid();
    draw_credits();
    // Tracking off before the glow: its passes draw in white, which would
    // otherwise become the material; some drivers then keep that white when
    // the next frame sets a colour equal to the current one, and the town
    // would flare every other frame. The next frame's enable tracks again.
    glDisable(GL_COLOR_MATERIAL);

    frame->end();
    glow.glow(*frame);
    frame.reset();
}

void cSceneTown::draw_town_grid()
{
    // The block's walls are single panes that each stand for two (their s
    // texture coordinate says how many).
    vertex_fog.begin(cVertexFog::LAYERS_IN_S);
    for (int i = 0; i < GRID; ++i)
        for (int j = 0; j < GRID; ++j) {
            glPushMatrix();
            glTranslatef(BLOCK_SPACING * float(i), 0.0f, BLOCK_SPACING * float(j));
            town->draw();
            glPopMatrix();
        }
    vertex_fog.end();
}

void cSceneTown::draw_credits()
{
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_LIGHTING);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    glEnable(credits_texture->target);
    glBindTexture(credits_texture->target, credits_texture->id);
    // Where the picture lies texel for texel on the pixels, nearest sampling
    // reads the same values.
    std::optional<cNearestTexels> nearest;
    if (credits_texture->target == GL_TEXTURE_RECTANGLE_ARB && viewport_is(CREDIT_WIDTH, CREDIT_HEIGHT))
        nearest.emplace(GL_TEXTURE0);
    const int32_t e = scene_time(clock);
    for (int q = 0; q < TOWN_CREDIT_QUARTERS; ++q) {
        const float a = town_credit_weight(e, fadein_times[q]);
        // Drawn with no alpha it would add nothing (additive blending), yet
        // cost a quarter of the screen's pixels.
        if (a <= 0.0f)
            continue;
        // Only the quarter's lit part, where it lies on the screen.
        const float* s = credit_texels[q];
        if (s[1] <= s[0] || s[3] <= s[2])
            continue;
        const float x[2] = {s[0] / float(CREDIT_WIDTH), s[1] / float(CREDIT_WIDTH)};
        const float y[2] = {s[2] / float(CREDIT_HEIGHT), s[3] / float(CREDIT_HEIGHT)};
        glColor4f(1.0f, 1.0f, 1.0f, CREDIT_ALPHA * a);
        glBegin(GL_QUADS);
        glTexCoord2f(s[0], s[2]);
        glVertex2f(x[0], y[0]);
        glTexCoord2f(s[1], s[2]);
        glVertex2f(x[1], y[0]);
        glTexCoord2f(s[1], s[3]);
        glVertex2f(x[1], y[1]);
        glTexCoord2f(s[0], s[3]);
        glVertex2f(x[0], y[1]);
        glEnd();
    }
    nearest.reset();
    glBindTexture(credits_texture->target, 0);
    glDisable(credits_texture->target);

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}
