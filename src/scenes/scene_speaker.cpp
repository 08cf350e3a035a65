#include "scenes/scene_speaker.h"

#include "core/display.h"
#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "platform/platform.h"
#include "rendertargets/rendertarget_manager.h"
#include "shaders/cShaderContainer_CG.h"
#include "shaders/cShdDtex.h"
#include "shaders/cShdLightmap.h"
#include "shaders/cShdNotex.h"
#include "shaders/cShdVolLight.h"
#include "textures/texture_manager.h"

#include <GL/glu.h>
#include <algorithm>
#include <iterator>
#include <cstdio>
#include <string>

namespace {

const char* const DATA_DIR = "../data/models/sphere_speaker";

const int32_t CUE_BEAT = 16;
const int32_t CUE_SNARE = 17;
const int32_t CUE_FADEIN = 19;

const int SPEAKER_COUNT = 10;
const int32_t SNARE_TURN_MS = 1500;  // 100 degrees of turn
const int32_t EVENT_MEMORY_MS = 1000; // cues older than this are dropped
const float REST_BRIGHTNESS = 0.05f;
// The room's brightening per triggered speaker, 4 / speaker_count, falling
// by 0.001 per ms (to 0 after 400 ms).
const float TRIGGER_BRIGHTNESS = 0.4f;

const int32_t LIGHT_FADE_MS = 750;
const int32_t CONE_FADE_MS = 300;
const float GLIDE_PER_MS = 0.00027027028f; // 1 / 3700
const float PULL_BACK = 150.0f;
const float EYE_NEAR[3] = {60.0f, 60.0f, 65.0f};

cSpeakerRunState run_state;

std::string numbered(const char* prefix, int i, const char* suffix)
{
    char name[64];
    std::snprintf(name, sizeof name, "%s%02d%s", prefix, i + 1, suffix);
    return name;
}

void flip(int& direction)
{
    direction = direction == 1 ? -1 : 1;
}

} // namespace

cSpeakerRunState& speaker_run_state()
{
    return run_state;
}

float speaker_light_level(int32_t age_ms)
{
    const float k = clamp01(float(age_ms) / float(LIGHT_FADE_MS));
    return 3.0f * (1.0f - smoothstep(k)) + 0.75f;
}

float speaker_cone_strength(int32_t age_ms)
{
    return smoothstep(clamp01(1.0f - float(age_ms) / float(CONE_FADE_MS)));
}

void speaker_eye(int32_t since_fadein_ms, float eye[3])
{
    const float f = std::max(1.0f - float(since_fadein_ms) * GLIDE_PER_MS, 0.0f);
    const float d = PULL_BACK * f;
    eye[0] = EYE_NEAR[0] + d;
    eye[1] = EYE_NEAR[1] - d;
    eye[2] = EYE_NEAR[2] + d;
}

float speaker_turn_degrees(int32_t e)
{
    return 30.0f + float(e + run_state.turn_offset) * float(run_state.turn_direction) / 15.0f;
}

// --- lifecycle ------------------------------------------------------------------

cSceneSpeaker::cSceneSpeaker(cClock* clock)
    : cScene(clock), speaker_count(SPEAKER_COUNT), environment(4, nullptr), body_light(nullptr),
      speakers(SPEAKER_COUNT, nullptr), cones(SPEAKER_COUNT, nullptr), plates(SPEAKER_COUNT, nullptr),
      light_texture(nullptr), environment_lightmap(nullptr), gangbro_lightmap(nullptr), trigger_times{},
      brightness(0.0f), fadein_time(0), buffers_released(false)
{
    recent_events.reserve(REMEMBERED_CUES_RESERVED);
}

cSceneSpeaker::~cSceneSpeaker()
{
    for (iMesh* mesh : all_meshes())
        delete mesh;
    delete light_texture;
    delete environment_lightmap;
    delete gangbro_lightmap;
}

std::vector<iMesh*> cSceneSpeaker::all_meshes() const
{
    std::vector<iMesh*> all(environment);
    all.push_back(body_light);
    all.insert(all.end(), speakers.begin(), speakers.end());
    all.insert(all.end(), cones.begin(), cones.end());
    all.insert(all.end(), plates.begin(), plates.end());
    return all;
}

void cSceneSpeaker::load()
{
    cSceneLoadList list;
    list.directory(DATA_DIR)
        .mesh("sphere_speaker_environment.bzobj", &environment[0])
        .mesh("sphere_speaker_environment_railing.bzobj", &environment[1])
        .mesh("sphere_speaker_gangbro.bzobj", &environment[2])
        .mesh("sphere_speaker_gangbro_railing.bzobj", &environment[3])
        .mesh("sphere_speaker_body_light.bzobj", &body_light);
    for (int i = 0; i < speaker_count; ++i)
        list.mesh(numbered("sphere_speaker_", i, ".bzobj"), &speakers[size_t(i)]);
    // The "_morph" speakers stand in the scene's name list but are not loaded.
    for (int i = 0; i < speaker_count; ++i)
        list.mesh(numbered("sphere_speaker_lightcone", i, ".bzobj"), &cones[size_t(i)], true);
    for (int i = 0; i < speaker_count; ++i)
        list.mesh(numbered("sphere_speaker_lightplate", i, ".bzobj"), &plates[size_t(i)], true);
    list.texture("sphere_speaker_light.jpg", &light_texture, true, GL_CLAMP)
        .texture("sphere_speaker_environmentlightingmap2.jpg", &environment_lightmap, true, GL_CLAMP)
        .texture("gangbro_lightingmap.jpg", &gangbro_lightmap, true, GL_CLAMP)
        .shader<cShdNotex>("notex_shader")
        .shader<cShdDtex>("dtex_shader") // registered, never bound
        .shader<cShdLightmap>("lightmap_shader")
        .shader<cShdVolLight>("vollight_shader")
        .pass([this] { glow.init(); });
    scene_load(*this, list);
}

void cSceneSpeaker::init()
{
    light.apply_colour();
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    // A second stretch of the scene: the last exit freed the buffers, and
    // drawing from buffer name 0 would read client memory at address 0.
    if (buffers_released) {
        for (iMesh* mesh : all_meshes())
            if (cMeshObj* obj = dynamic_cast<cMeshObj*>(mesh))
                obj->restore_buffers();
        buffers_released = false;
    }
}

void cSceneSpeaker::exit()
{
    for (iMesh* mesh : all_meshes())
        if (cMeshObj* obj = dynamic_cast<cMeshObj*>(mesh))
            obj->release_buffers();
    buffers_released = true;
    get_shader_container()->unbind();
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void cSceneSpeaker::handle_event(const demo_event* e)
{
    cSpeakerRunState& run = speaker_run_state();
    if (e->code == CUE_BEAT) {
        ++run.beat_count;
    } else if (e->code == CUE_FADEIN) {
        fadein_time = e->time;
        flip(run.turn_direction);
    } else if (e->code == CUE_SNARE) {
        run.turn_offset += SNARE_TURN_MS;
        flip(run.turn_direction);
    }
    recent_events.push_back(*e);
    // Three different speakers, drawn from the show's generator.
    const int a = crt_rand() % speaker_count;
    int b = crt_rand() % speaker_count;
    while (b == a)
        b = crt_rand() % speaker_count;
    int c = crt_rand() % speaker_count;
    while (c == a || c == b)
        c = crt_rand() % speaker_count;
    trigger_times[a] = trigger_times[b] = trigger_times[c] = e->time;
}

void cSceneSpeaker::update()
{
    const float e = float(scene_time(clock));
    // In place: the frame loop allocates nothing.
    recent_events.erase(std::remove_if(recent_events.begin(), recent_events.end(),
                                       [e](const demo_event& event) {
                                           return e > float(event.time) + float(EVENT_MEMORY_MS);
                                       }),
                        recent_events.end());

    brightness = REST_BRIGHTNESS;
    for (int i = 0; i < speaker_count; ++i)
        brightness += std::max(0.0f, TRIGGER_BRIGHTNESS - 0.001f * float(event_age(clock, trigger_times[i])));
}

void cSceneSpeaker::rewind_run()
{
    speaker_run_state() = cSpeakerRunState();
    std::fill(std::begin(trigger_times), std::end(trigger_times), 0);
    recent_events.clear();
    brightness = 0.0f;
    fadein_time = 0;
}

float cSceneSpeaker::light_level(int i) const
{
    return speaker_light_level(event_age(clock, trigger_times[i]));
}

// --- drawing --------------------------------------------------------------------

void cSceneSpeaker::draw()
{
    const int32_t e = scene_time(clock);
    cTmpRenderTarget frame = get_rendertarget_manager()->get_tmp_rt(RTT_FULL, true);
    frame->begin();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    const cDisplay* display = get_display();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90.0, double(display->width) / double(display->height), 10.0, 5000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // The light sits at the eye: its position is written under the identity
    // (twice, as the show always has).
    light.apply_position();
    light.apply_position();
    glEnable(GL_LIGHT0);

    float eye_at[3];
    speaker_eye(e - fadein_time, eye_at);
    gluLookAt(eye_at[0], eye_at[1], eye_at[2], 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glRotatef(speaker_turn_degrees(e), 0.0f, 0.65f, 0.35f);

    draw_room();
    draw_speakers();
    draw_cones();

    frame->end();
    glow.glow(*frame);
    frame.reset();
}

void cSceneSpeaker::draw_room()
{
    get_shader_container()->bind("lightmap_shader");
    glColor4f(brightness, brightness, brightness, 1.0f);
    const cTexture* maps[2] = {environment_lightmap, gangbro_lightmap};
    for (int pair = 0; pair < 2; ++pair) {
        glEnable(maps[pair]->target);
        glBindTexture(maps[pair]->target, maps[pair]->id);
        environment[size_t(2 * pair)]->draw();
        environment[size_t(2 * pair + 1)]->draw();
        glBindTexture(maps[pair]->target, 0);
        glDisable(maps[pair]->target);
    }
}

void cSceneSpeaker::draw_speakers()
{
    cShaderContainer_CG* shaders = get_shader_container();
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    shaders->bind("lightmap_shader");
    const float body = 0.05f + 0.15f * brightness;
    glColor4f(body, body, body, 1.0f);
    glEnable(light_texture->target);
    glBindTexture(light_texture->target, light_texture->id);
    body_light->draw();
    glDisable(light_texture->target);
    glBindTexture(light_texture->target, 0);

    // The light (at the eye) takes each speaker's colour in turn; the
    // last speaker's colour stays set until the next frame.
    shaders->bind("notex_shader");
    for (int i = 0; i < speaker_count; ++i) {
        const float c = light_level(i);
        const float colour[4] = {c, c, c, light.colour[3]};
        glLightfv(light.light, GL_DIFFUSE, colour);
        glLightfv(light.light, GL_SPECULAR, colour);
        speakers[size_t(i)]->draw();
    }
    glPopAttrib();
}

void cSceneSpeaker::draw_cones()
{
    get_shader_container()->bind("vollight_shader");
    if (recent_events.empty())
        return;
    glPushAttrib(GL_ENABLE_BIT);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_FALSE);
    for (int i = 0; i < speaker_count; ++i) {
        const float q = speaker_cone_strength(event_age(clock, trigger_times[i]));
        if (q <= 0.0f)
            continue;
        glColor4f(q * q, 1.1f * q * q, q, 0.05f);
        cones[size_t(i)]->draw();
        plates[size_t(i)]->draw();
    }
    glDepthMask(GL_TRUE);
    glPopAttrib();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}
