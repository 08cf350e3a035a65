#include "scene_intro.h"

#include "core/display.h"
#include "core/gl_ext.h"
#include "core/screen.h"
#include "mesh_files/mesh.h"
#include "platform/platform.h"
#include "shaders/cShdNotex.h"

#include <GL/glu.h>
#include <string>

namespace {

const char* const INTRO_DIRECTORY = "../data/models/mirvok_intro";
const int BLINK_COUNT = 6;

// Projection: 85 degrees, near 0.5, far 100.
const double FOV = 85.0, ZNEAR = 0.5, ZFAR = 100.0;
// The logo's moving parts turn 0.05 degrees per millisecond (50 a second).
const float TURN_DEGREES_PER_MS = 0.05f;
const float PARTS_X = -6.0f; // where the arrow and the cubes stand
const float LOGO_CUBES_ORANGE[4] = {1.0f, 174.0f / 255.0f, 0.0f, 1.0f};
// The bands' orange; the alpha flickers in [0.09, 0.12] with one rand() a
// frame (0.03 / 32767 per step).
const float BAND_RGB[3] = {1.0f, 165.0f / 255.0f, 0.05f};
const float BAND_ALPHA = 0.09f, BAND_FLICKER_PER_RAND = 9.1555529e-07f;
// The band texture holds half of the bands' light (see draw_bands).
const float BAND_TEXTURE_ALPHA_SCALE = 2.0f;
// Four columns of bands 101.9 units apart; in each, seven layers whose
// translations accumulate (x per millisecond, z).
const int BAND_COLUMNS = 4;
const float BAND_COLUMN_STEP = 101.9f;
const float BAND_STEPS[7][2] = {{0.005f, 0.0f},          {0.001f, -4.0f}, {-0.00125f, -4.0f},
                                {1.0f / 300.0f, -4.0f},  {-0.005f, -4.0f}, {0.0025f, -4.0f},
                                {1.0f / 600.0f, -4.0f}};
// The blink textures scroll one texture width per second, scaled 1.5 in s.
const float BLINK_SCROLL_PER_MS = 0.001f, BLINK_TEXTURE_SCALE = 1.5f;
const int HALO_EXTRA_BLURS = 4; // after the first blur from the mask

void set_light_colour(cSceneLight& light, float level)
{
    light.colour[0] = light.colour[1] = light.colour[2] = level;
    light.colour[3] = 1.0f;
    light.apply_colour();
}

float show_ms(const cClock* clock)
{
    return static_cast<float>(scene_time(clock));
}

} // namespace

cLitAtVertices::cLitAtVertices()
{
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT);
    if (glBindProgramPipeline) {
        glGetIntegerv(GL_PROGRAM_PIPELINE_BINDING, &pipeline);
        glBindProgramPipeline(0);
    }
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SINGLE_COLOR);
    glDisable(GL_FOG);
    glDisable(GL_COLOR_MATERIAL);
    // Whichever unit a material left active, none may texture the faces.
    GLint active = GL_TEXTURE0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    for (GLenum unit : {GL_TEXTURE0, GL_TEXTURE1, GL_TEXTURE2, GL_TEXTURE3}) {
        glActiveTextureARB(unit);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_RECTANGLE_ARB);
    }
    glActiveTextureARB(GLenum(active));
}

cLitAtVertices::~cLitAtVertices()
{
    glPopAttrib();
    if (glBindProgramPipeline)
        glBindProgramPipeline(GLuint(pipeline));
}

void intro_camera(int32_t e, float eye[3], float centre[3])
{
    const float t = static_cast<float>(e);
    eye[0] = 4.0f - t * 0.00045454545f; // e / 2200
    eye[1] = -2.1f;
    eye[2] = 12.0f;
    centre[0] = 4.75f - t * 0.00010780509f; // e / 9276
    centre[1] = 0.0f;
    centre[2] = -4.7f;
}

cSceneIntro::cSceneIntro(cClock* clock)
    : cScene(clock), backplate_horiz(nullptr), backplate_vert(nullptr), backplate_horiz_black(nullptr),
      logo_arrow(nullptr), logo_cubes(nullptr), logo_static(nullptr)
{
}

cSceneIntro::~cSceneIntro()
{
    for (iMesh** mesh : {&backplate_horiz, &backplate_vert, &backplate_horiz_black, &logo_arrow, &logo_cubes,
                         &logo_static}) {
        if (*mesh)
            delete *mesh;
        *mesh = nullptr;
    }
    for (iMesh*& blink : blinks) {
        if (blink)
            delete blink;
        blink = nullptr;
    }
    blinks.clear();
    halo_target.reset();
}

void cSceneIntro::load()
{
    if (loaded)
        return;
    // The loading sequence fills the six blink slots in order.
    blinks.assign(BLINK_COUNT, nullptr);
    cSceneLoadList list;
    list.directory(INTRO_DIRECTORY)
        .mesh("logo_arrow.bzobj", &logo_arrow)
        .mesh("logo_cubes.bzobj", &logo_cubes)
        .mesh("logo_static.bzobj", &logo_static)
        .mesh("backplate_horiz.bzobj", &backplate_horiz)
        .mesh("backplate_horiz_black.bzobj", &backplate_horiz_black)
        .mesh("backplate_vert.bzobj", &backplate_vert);
    for (int j = 0; j < BLINK_COUNT; ++j)
        list.mesh("blink0" + std::to_string(j + 1) + ".bzobj", &blinks[j]);
    list.shader<cShdNotex>("notex_shader").pass([this] { blur.init(); });
    scene_load(*this, list);
}

void cSceneIntro::init()
{
    set_light_colour(light, 1.2f);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_NORMALIZE);
    halo_target = get_rendertarget_manager()->get_tmp_rt(RTT_QUATER, true);
    glEnable(GL_MULTISAMPLE);
}

void cSceneIntro::exit()
{
    get_shader_container()->unbind();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_NORMALIZE);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_COLOR_MATERIAL);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    halo_target.reset();
}

void cSceneIntro::handle_event(const demo_event*) {}

void cSceneIntro::update() {}

void cSceneIntro::draw()
{
    const cDisplay* display = get_display();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FOV, double(display->width) / double(display->height), ZNEAR, ZFAR);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // The light sits at the eye: its position is set under the identity.
    set_light_colour(light, 1.2f);
    light.apply_position();
    glEnable(GL_LIGHT0);

    float eye[3], centre[3];
    intro_camera(scene_time(clock), eye, centre);
    gluLookAt(eye[0], eye[1], eye[2], centre[0], centre[1], centre[2], 0.0, 1.0, 0.0);

    draw_halo_mask();
    // The backdrop is drawn in a single-sampled full-size target and copied
    // to the window texel for pixel: each of its full-screen layers costs one
    // sample a pixel instead of four. Only the edges of its plates and strips
    // lose the window's smoothing (under a third of a level of 255 on average
    // over a frame); the logo, drawn over it in the window, keeps it.
    cTmpRenderTarget backdrop = get_rendertarget_manager()->get_tmp_rt(RTT_FULL, true);
    backdrop->begin();
    // Black, as the window was cleared (the mask's white is still set).
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_backdrop();
    backdrop->end();
    copy_darkened_by_halo(*backdrop);
    backdrop.reset();
    draw_logo();

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

void cSceneIntro::draw_arrow()
{
    glPushMatrix();
    glTranslatef(PARTS_X, 0.0f, 0.0f);
    glRotatef(TURN_DEGREES_PER_MS * show_ms(clock), 0.0f, 0.0f, 1.0f);
    logo_arrow->draw();
    glPopMatrix();
}

// Lights the cubes brighter than the rest, then leaves the light at 1.0
// (the next draw() sets 1.2 again).
void cSceneIntro::draw_cubes()
{
    set_light_colour(light, 1.4f);
    glPushMatrix();
    glTranslatef(PARTS_X, 0.0f, 0.0f);
    glRotatef(TURN_DEGREES_PER_MS * show_ms(clock), 0.0f, 1.0f, 0.0f);
    logo_cubes->draw();
    glPopMatrix();
    set_light_colour(light, 1.0f);
}

// The logo's silhouette, black on white at full size, blurred five times
// into the quarter-size halo target.
void cSceneIntro::draw_halo_mask()
{
    cTmpRenderTarget mask = get_rendertarget_manager()->get_tmp_rt(RTT_FULL, true);
    mask->begin();
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    get_shader_container()->unbind();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    GLboolean depth_mask = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    glDepthMask(GL_FALSE);

    // Lighting is off: the silhouettes come out flat black.
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    logo_static->draw();
    draw_arrow();
    draw_cubes();
    mask->end();

    blur.blur(*mask, *halo_target);
    for (int i = 0; i < HALO_EXTRA_BLURS; ++i)
        blur.blur(*halo_target, *halo_target);

    glDepthMask(depth_mask);
    glPopAttrib();
    mask.reset();
}

// Leaves blending on with GL_SRC_ALPHA / GL_ONE, lighting and the depth
// test off and the texture matrix at identity, for the halo's copy and draw_logo
// to set what they need.
void cSceneIntro::draw_backdrop()
{
    cShaderContainer_CG* shaders = get_shader_container();
    const float e = show_ms(clock);

    glDisable(GL_COLOR_MATERIAL);
    shaders->unbind();
    shaders->bind("notex_shader");
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);

    {
        const cLitAtVertices at_vertices;
        draw_plates();
    }

    glDisable(GL_LIGHTING);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    shaders->unbind();

    draw_bands(e);

    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_LIGHTING);
    glColor4f(1.0f, 1.0f, 1.0f, 0.2f);
    backplate_horiz_black->draw();

    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    const int n = static_cast<int>(blinks.size());
    for (int j = 0; j < n; ++j) {
        // The first half scrolls towards +x, the rest towards -x.
        const float direction = j < n / 2 ? 1.0f : -1.0f;
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glScalef(BLINK_TEXTURE_SCALE, 1.0f, 1.0f);
        glTranslatef(direction * BLINK_SCROLL_PER_MS * e, 0.0f, 0.0f);
        glMatrixMode(GL_MODELVIEW);
        blinks[j]->draw();
    }
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDepthMask(GL_TRUE);
}

// Three plates at x = 36, 0 and -36, twice as high as modelled.
void cSceneIntro::draw_plates()
{
    glPushMatrix();
    glScalef(1.0f, 2.0f, 1.0f);
    glTranslatef(36.0f, 0.0f, 0.0f);
    backplate_vert->draw();
    glTranslatef(-36.0f, 0.0f, 0.0f);
    backplate_vert->draw();
    glTranslatef(-36.0f, 0.0f, 0.0f);
    backplate_vert->draw();
    glPopMatrix();
}

// The 28 additive band layers, in the orange whose alpha flickers.
//
// A band's core is twice as bright as a texel can hold, so its texture holds
// half of its light and the texture stage doubles the alpha: the blend adds
// colour x texel x 2 alpha, the whole band in one layer of pixels.
void cSceneIntro::draw_bands(float e)
{
    const float alpha = BAND_ALPHA + static_cast<float>(crt_rand()) * BAND_FLICKER_PER_RAND;
    glColor4f(BAND_RGB[0], BAND_RGB[1], BAND_RGB[2], alpha);
    glPushAttrib(GL_TEXTURE_BIT);
    glActiveTextureARB(GL_TEXTURE0);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_MODULATE);
    glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, BAND_TEXTURE_ALPHA_SCALE);
    for (int i = 0; i < BAND_COLUMNS; ++i) {
        glPushMatrix();
        glTranslatef(-BAND_COLUMN_STEP * static_cast<float>(i), 0.0f, -4.0f);
        for (const float* step : BAND_STEPS) {
            glTranslatef(step[0] * e, 0.0f, step[1]);
            backplate_horiz->draw();
        }
        glPopMatrix();
    }
    glPopAttrib();
}

// Copies the backdrop to the window multiplied by the blurred mask:
// unchanged where the mask is white, darkened under the silhouette. The
// multiply rides on the copy instead of being a full-screen pass of its own
// (each pixel rounds once instead of twice, a level at most). Leaves no
// shader bound, the colour white and the blend function at source alpha /
// one minus source alpha.
void cSceneIntro::copy_darkened_by_halo(cRenderTarget_fbo& backdrop)
{
    get_shader_container()->unbind();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    copy_exact_modulated(backdrop, *halo_target);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

// Leaves "notex_shader" bound, lighting and the depth test on.
void cSceneIntro::draw_logo()
{
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);

    get_shader_container()->bind("notex_shader");
    logo_static->draw();

    glEnable(GL_COLOR_MATERIAL);
    glColor4fv(LOGO_CUBES_ORANGE);
    draw_cubes();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_COLOR_MATERIAL);

    draw_arrow();
}
