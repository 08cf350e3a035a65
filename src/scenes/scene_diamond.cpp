#include "scene_diamond.h"

#include "core/display.h"
#include "core/gl_ext.h"
#include "core/screen.h"
#include "mesh_files/mesh.h"
#include "platform/platform.h"
#include "shaders/cShdPerPixel.h"
#include "timeline/scene_manager.h"

#include <GL/glu.h>

const char* const DIAMOND_PIECE_FILES[DIAMOND_PIECES] = {
    "diamond00.bzobj", "diamond01.bzobj", "diamond02.bzobj", "diamond03.bzobj",
    "diamond04.bzobj", "diamond05.bzobj", "diamond06.bzobj", "diamond07.bzobj",
    "diamond08.bzobj", "diamond09.bzobj", "diamond10.bzobj", "diamond11.bzobj",
    "diamond12.bzobj", "diamond13.bzobj", "diamond14.bzobj", "diamond15.bzobj",
};

namespace {

const char* const DIAMOND_DIRECTORY = "../data/models/diamond/";

const int32_t CUE_TECHNOFX = 22;
const int32_t CUE_TECHNOFX2 = 23;
const int32_t CUE_MELODY = 24;
const int32_t CUE_LEAD = 25;

const double FOV = 90.0, ZNEAR = 10.0, ZFAR = 5000.0;

// The specular flare colour, electric green-yellow; scaled by flare_level.
const float FLARE_COLOUR[4] = {120.0f / 255.0f, 1.0f, 0.1f, 1.0f};
const float FLARE_AT_REST = 0.2f;
const float FLARE_PER_EVENT = 0.5f;
const float MELODY_PER_EVENT = 0.6f;
const float DIFFUSE_AT_REST = 0.15f; // the light's grey without any melody
// The reciprocals of the two effect lengths, 1700 and 2200 ms.
const float FLARE_DECAY_PER_MS = 0.00058823527f;
const float MELODY_DECAY_PER_MS = 0.00045454546f;

const float GROUP_DEGREES_PER_MS = 0.002f; // one turn in 180 s
const float PIECE_DEGREES_PER_MS = 0.02f;  // one turn in 18 s

// The darkening: full picture until 5000 ms before the quit, black from
// 1000 ms before it.
const int32_t FADE_BLACK_BEFORE_MS = 1000;
const float FADE_PER_MS = 0.00025f;

bool is_flare(int32_t code)
{
    return code == CUE_TECHNOFX || code == CUE_TECHNOFX2 || code == CUE_LEAD;
}

// 1 at the event, falling linearly at per_ms to 0, then smoothed.
float decayed(int32_t age_ms, float per_ms)
{
    return clamp01(smoothstep(clamp01(1.0f - float(age_ms) * per_ms)));
}

} // namespace

float diamond_effect_lifetime(int32_t code)
{
    if (is_flare(code))
        return 1700.0f;
    if (code == CUE_MELODY)
        return 2200.0f;
    return 2147483648.0f;
}

float diamond_fade_factor(int32_t quit_ms, int32_t e)
{
    // In 64 bits: a quit time of -1 against a late show time stays exact.
    const int64_t left = int64_t(quit_ms) - int64_t(e) - FADE_BLACK_BEFORE_MS;
    return clamp01(float(left) * FADE_PER_MS);
}

cSceneDiamond::cSceneDiamond(cClock* clock)
    : cScene(clock), pieces{}, melody_level(0.0f), flare_level(0.0f), quit_time(EVENT_NONE), quit_time_read(false)
{
    effects.reserve(REMEMBERED_CUES_RESERVED);
}

cSceneDiamond::~cSceneDiamond()
{
    for (iMesh*& piece : pieces) {
        if (piece)
            delete piece;
        piece = nullptr;
    }
}

void cSceneDiamond::load()
{
    cSceneLoadList list;
    list.directory(DIAMOND_DIRECTORY);
    for (int i = 0; i < DIAMOND_PIECES; ++i)
        list.mesh(DIAMOND_PIECE_FILES[i], &pieces[i]);
    // Three draws per piece, in piece order: the generator is never seeded,
    // so the axes depend only on how many numbers the run drew before.
    list.pass([this] {
        axes.clear();
        for (int i = 0; i < DIAMOND_PIECES; ++i) {
            const float r1 = float(crt_rand()) * (1.0f / float(CRT_RAND_MAX));
            const float r2 = float(crt_rand()) * (1.0f / float(CRT_RAND_MAX));
            const float r3 = float(crt_rand()) * (1.0f / float(CRT_RAND_MAX));
            axes.push_back({r3, r2, r1});
        }
    });
    list.shader<cShdPerPixel>("pp_shd");
    list.pass([this] { glow.init(); });
    scene_load(*this, list);
}

void cSceneDiamond::init()
{
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glEnable(GL_LIGHTING);
    // Black light and light model ambient, the light's colour as diffuse and specular.
    light.apply_colour();
    glDisable(GL_MULTISAMPLE);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    frame_target = get_rendertarget_manager()->get_tmp_rt(RTT_FULL, true);
}

void cSceneDiamond::exit()
{
    get_shader_container()->unbind();
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glDepthMask(GL_TRUE);
    frame_target.reset();
    // draw() leaves the depth test and multisampling off and additive
    // blending set: give the next scene the show's defaults back.
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_MULTISAMPLE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void cSceneDiamond::handle_event(const demo_event* e)
{
    if (e->code == CUE_TECHNOFX || e->code == CUE_TECHNOFX2 || e->code == CUE_MELODY)
        effects.push_back(*e);
}

void cSceneDiamond::prune_effects()
{
    const int32_t e = scene_time(clock);
    for (auto it = effects.begin(); it != effects.end();) {
        if (float(e - it->time) > diamond_effect_lifetime(it->code))
            it = effects.erase(it);
        else
            ++it;
    }
}

void cSceneDiamond::update()
{
    melody_level = 0.0f;
    flare_level = FLARE_AT_REST;
    prune_effects();
    const int32_t e = scene_time(clock);
    // Overlapping events add up without a limit.
    for (const demo_event& effect : effects) {
        if (is_flare(effect.code))
            flare_level += FLARE_PER_EVENT * decayed(e - effect.time, FLARE_DECAY_PER_MS);
        else if (effect.code == CUE_MELODY)
            melody_level += MELODY_PER_EVENT * decayed(e - effect.time, MELODY_DECAY_PER_MS);
    }
}

void cSceneDiamond::rewind_run()
{
    effects.clear();
    melody_level = flare_level = 0.0f;
    quit_time = EVENT_NONE;
    quit_time_read = false;
}

// Leaves additive blending on and the depth test, depth writes, culling
// and alpha test off: the scene's whole frame is drawn this way.
void cSceneDiamond::draw()
{
    const int32_t e = scene_time(clock);
    // Held from init(); a draw without init() (the show never does that)
    // takes it here rather than draw into nothing.
    if (frame_target.empty())
        frame_target = get_rendertarget_manager()->get_tmp_rt(RTT_FULL, true);
    frame_target->begin();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    get_shader_container()->bind("pp_shd");

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_LIGHTING);

    const cDisplay* display = get_display();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FOV, double(display->width) / double(display->height), ZNEAR, ZFAR);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // The light at the eye: grey diffuse and specular, raised by melodies,
    // then the specular replaced by the flare colour.
    light.apply_position();
    glEnable(light.light);
    const float m = melody_level + DIFFUSE_AT_REST;
    const float grey[4] = {m, m, m, 1.0f};
    glLightfv(light.light, GL_DIFFUSE, grey);
    glLightfv(light.light, GL_SPECULAR, grey);
    const float flare[4] = {flare_level * FLARE_COLOUR[0], flare_level * FLARE_COLOUR[1],
                            flare_level * FLARE_COLOUR[2], flare_level * FLARE_COLOUR[3]};
    glLightfv(light.light, GL_SPECULAR, flare);

    gluLookAt(800.0, 500.0, 800.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glRotatef(float(e) * GROUP_DEGREES_PER_MS, 0.0f, 1.0f, 0.0f);
    for (int i = 0; i < DIAMOND_PIECES; ++i) {
        glPushMatrix();
        // An axis of three zero draws names no direction: that piece does
        // not turn on its own (it still turns with the group).
        const std::array<float, 3>& axis = axes[size_t(i)];
        if (axis[0] != 0.0f || axis[1] != 0.0f || axis[2] != 0.0f)
            glRotatef(float(e) * PIECE_DEGREES_PER_MS, axis[0], axis[1], axis[2]);
        pieces[i]->draw();
        glPopMatrix();
    }

    frame_target->end();
    glow.glow(*frame_target);
    draw_end_fade();
}

void cSceneDiamond::draw_end_fade()
{
    get_shader_container()->unbind();
    if (!quit_time_read) {
        const cEventQueue* queue = get_scene_manager()->queue;
        quit_time = queue ? queue->find(EVENT_QUIT).time : EVENT_NONE;
        quit_time_read = true;
    }
    const float f = diamond_fade_factor(quit_time, scene_time(clock));

    // The colour buffer bit keeps the blend function and the current bit
    // the colour: both are this step's own.
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    push_screen_matrices();
    // The picture times f: destination colour times the quad's colour.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    glColor4f(f, f, f, 1.0f);
    draw_unit_square();
    pop_screen_matrices();
    glPopAttrib();
}
