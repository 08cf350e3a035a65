#include "scenes/scene_greetings.h"

#include "core/display.h"
#include "core/screen.h"
#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "rendertargets/rendertarget_manager.h"
#include "scenes/scene_common.h"
#include "shaders/cShaderContainer_CG.h"
#include "shaders/cShdBroadcast.h"
#include "textures/texture_manager.h"
#include "timeline/scene_manager.h"

#include <GL/glu.h>
#include <cmath>

const char* const GREETINGS_LOGO_FILES[GREETINGS_LOGOS] = {
    "grts_logo01.png", "grts_logo02.png", "grts_logo03.png", "grts_logo04.png", "grts_logo05.png",
    "grts_logo06.png", "grts_logo07.png", "grts_logo08.png", "grts_logo09.png", "grts_logo10.png",
    "grts_logo11.png", "grts_logo12.png", "grts_logo13.png",
};

// "grts_cam07.pth" to "grts_cam09.pth" exist in the show's list of names but
// are never loaded: one path per screen.
const char* const GREETINGS_PATH_FILES[GREETINGS_SCREENS] = {
    "grts_cam01.pth", "grts_cam02.pth", "grts_cam03.pth", "grts_cam04.pth", "grts_cam05.pth", "grts_cam06.pth",
};

namespace {

const int32_t CUE_SINUS_IN = 28;

const char* const SCREEN_FILES[GREETINGS_SCREENS] = {
    "screen01.bzobj", "screen02.bzobj", "screen03.bzobj", "screen04.bzobj", "screen05.bzobj", "screen06.bzobj",
};

const float PER_MS = 0.00052631577f; // 1 / 1900: one greeting
const float PI = 3.14159265358979f;

} // namespace

float greetings_parameter(int32_t since_greeting_ms)
{
    return clamp01(float(since_greeting_ms) * PER_MS);
}

float greetings_fade_level(float t)
{
    return clamp01((std::sin(2.0f * PI * t - 0.5f * PI) + 1.0f) * 0.5f - 0.05f);
}

void greetings_fog_range(float g, float* start, float* end)
{
    *start = std::sqrt(g) * 500.0f;
    *end = std::sqrt(g) * 4000.0f + 1.0f;
}

float greetings_fade_factor(float g)
{
    return std::pow(g, 0.1f);
}

// --- lifecycle ------------------------------------------------------------------

cSceneGreetings::cSceneGreetings(cClock* clock)
    : cScene(clock), main(nullptr), tube(nullptr), screens{}, main_texture(nullptr), tube_texture(nullptr),
      logos{}, greeting_time(-1), screen_index(0), greeting_count(-1)
{
}

cSceneGreetings::~cSceneGreetings()
{
    for (iMesh* screen : screens)
        delete screen;
    delete tube;
    delete main;
    for (cTexture* logo : logos)
        delete logo;
    delete main_texture;
    delete tube_texture;
}

void cSceneGreetings::load()
{
    cSceneLoadList list;
    list.directory("../data/models/greetings/")
        .directory("../data/textures/greetings/")
        .mesh("main.bzobj", &main)
        .mesh("tube01.bzobj", &tube, true);
    for (int i = 0; i < GREETINGS_SCREENS; ++i)
        list.mesh(SCREEN_FILES[i], &screens[i], true).path(GREETINGS_PATH_FILES[i], &paths[i]);
    for (int i = 0; i < GREETINGS_LOGOS; ++i)
        list.texture(GREETINGS_LOGO_FILES[i], &logos[i], true, GL_CLAMP);
    list.texture("main01.jpg", &main_texture, true, GL_CLAMP)
        .texture("tube01.jpg", &tube_texture, true, GL_CLAMP)
        .shader<cShdBroadcast>("tv_shader")
        .pass([this] { glow.init(); });
    scene_load(*this, list);
}

void cSceneGreetings::init()
{
    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    glFogfv(GL_FOG_COLOR, black);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    // The picture target's size in texels: a quarter of the window.
    const cDisplay* display = get_display();
    get_shader_container()->set_parameters("tv_shader", float(display->width) * 0.25f,
                                           float(display->height) * 0.25f);
}

void cSceneGreetings::exit()
{
    glDisable(GL_FOG);
}

void cSceneGreetings::handle_event(const demo_event* e)
{
    if (e->code != CUE_SINUS_IN)
        return;
    greeting_time = e->time;
    screen_index = (screen_index + 1) % GREETINGS_SCREENS;
    greeting_count += 1;
}

void cSceneGreetings::rewind_run()
{
    greeting_time = -1;
    screen_index = 0;
    greeting_count = -1;
}

// --- drawing --------------------------------------------------------------------

void cSceneGreetings::draw()
{
    const float t = greetings_parameter(event_age(clock, greeting_time));
    cRenderTargetManager* targets = get_rendertarget_manager();
    cTmpRenderTarget frame = targets->get_tmp_rt(RTT_FULL, true);
    cTmpRenderTarget picture = targets->get_tmp_rt(RTT_QUATER, false);

    draw_tv_picture(*picture, t);
    get_shader_container()->unbind();

    const cDisplay* display = get_display();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(75.0, double(display->width) / double(display->height), 10.0, 100000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // Faded in from black and out again; at g = 0 the fog covers everything.
    const float g = greetings_fade_level(t);
    float fog_start = 0.0f, fog_end = 1.0f;
    greetings_fog_range(g, &fog_start, &fog_end);
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, fog_start);
    glFogf(GL_FOG_END, fog_end);

    // A path whose file was missing holds no key: it is not flown.
    const cCameraPath& path = paths[screen_index];
    if (!path.get_keys().empty()) {
        float eye_at[3], look_at[3], up_at[3];
        path.get_position(t, eye_at);
        path.get_target(t, look_at);
        path.get_up(t, up_at);
        gluLookAt(eye_at[0], eye_at[1], eye_at[2], look_at[0], look_at[1], look_at[2], up_at[0], up_at[1],
                  up_at[2]);
    }

    frame->begin();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glDisable(GL_LIGHTING);

    glPushMatrix();
    glTranslatef(0.0f, 2000.0f, 0.0f);
    glColor4f(0.8f, 0.8f, 0.8f, 1.0f);
    glBindTexture(tube_texture->target, tube_texture->id);
    glEnable(tube_texture->target);
    tube->draw();
    glPopMatrix();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    main->draw();

    draw_screens(*picture);

    frame->end();
    glBindTexture(tube_texture->target, 0);
    glDisable(tube_texture->target);
    glDisable(GL_FOG);

    glow.glow(*frame);
    draw_fade(greetings_fade_factor(g));
    picture.reset();
    frame.reset();
}

void cSceneGreetings::draw_tv_picture(cRenderTarget_fbo& picture, float t)
{
    glPushAttrib(0xFFFFF);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    GLint blend_src = GL_ONE, blend_dst = GL_ZERO;
    glGetIntegerv(GL_BLEND_SRC, &blend_src);
    glGetIntegerv(GL_BLEND_DST, &blend_dst);
    glDisable(GL_FOG);

    picture.begin();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    get_shader_container()->unbind();

    // Scene 12 draws itself, with its own projection and camera, without
    // being the current scene.
    cSceneManager* manager = get_scene_manager();
    if (int(manager->scenes.size()) > GREETINGS_PICTURE_SCENE)
        manager->scenes[GREETINGS_PICTURE_SCENE]->draw();

    // The logo slides by one width over the greeting, over a magnified,
    // half-transparent ghost of itself. No logo before the first greeting
    // or after the thirteenth.
    if (greeting_count >= 0 && greeting_count < GREETINGS_LOGOS) {
        const cTexture* logo = logos[greeting_count];
        // Unlit whatever scene 12 left: the logo's own colours, at the
        // quad's alpha (the attribute pop restores lighting).
        glDisable(GL_LIGHTING);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBindTexture(logo->target, logo->id);
        glEnable(logo->target);
        push_screen_matrices();

        const float u = t - 0.5f;
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glTranslatef(u, 0.0f, 0.0f);
        glTranslatef(0.0f, 0.5f, 0.0f);
        glScalef(0.5f, 0.5f, 0.0f);
        glTranslatef(0.0f, -0.5f, 0.0f);
        glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
        draw_unit_square_textured();
        glLoadIdentity();
        glTranslatef(u, 0.0f, 0.0f);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        draw_unit_square_textured();
        glPopMatrix();
        pop_screen_matrices();
        glBindTexture(logo->target, 0);
        glDisable(logo->target);
    }
    picture.end();

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    glBlendFunc(GLenum(blend_src), GLenum(blend_dst));
}

void cSceneGreetings::draw_screens(cRenderTarget_fbo& picture)
{
    cShaderContainer_CG* shaders = get_shader_container();
    shaders->push_shader();
    shaders->bind("tv_shader");
    picture.bind();
    picture.enable();
    for (iMesh* screen : screens)
        screen->draw();
    picture.unbind();
    picture.disable();
    shaders->pop_shader();
}

void cSceneGreetings::draw_fade(float f)
{
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    GLboolean depth_mask = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    glDepthMask(GL_FALSE);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    // The blend function stays set: the next frame's steps set their own.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    push_screen_matrices();
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f - f);
    draw_unit_square();
    pop_screen_matrices();
    glDepthMask(depth_mask);
    glPopAttrib();
}
