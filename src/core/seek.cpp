#include "seek.h"

#include "demo.h"
#include "gl_ext.h"
#include "shaders/cShaderContainer_CG.h"
#include "platform/platform.h"
#include "scenes/scene_arcs.h"
#include "scenes/scene_particle_speaker.h"
#include "scenes/scene_town.h"
#include "scenes/scene_woman_box.h"
#include "timeline/scene_manager.h"

#include <cstring>

namespace {

// --- what the frames need ---------------------------------------------------------

bool is_switch(int32_t code)
{
    return code >= EVENT_SCENE_FIRST && code <= EVENT_SCENE_LAST;
}

// An event the predicate matches falls due in the next frame's update.
bool due_before_next(int32_t next_time, bool (*match)(int32_t code))
{
    const cEventQueue* queue = get_scene_manager()->queue;
    if (!queue)
        return false;
    for (std::size_t i = queue->cursor; i < queue->events.size() && queue->events[i].time < next_time; ++i)
        if (match(queue->events[i].code))
            return true;
    return false;
}

template <class T>
const T& current_as()
{
    return *static_cast<const T*>(get_scene_manager()->current);
}

bool last_of_stretch(const seek_state& s)
{
    return s.last_of_stretch;
}

bool just_before_kept(const seek_state& s)
{
    return s.frame->frames_to_kept == 1;
}

bool arcs_first_time_untaken(const seek_state&)
{
    return !current_as<cSceneArcs>().first_drawn;
}

bool particle_speaker_first_draw_untaken(const seek_state&)
{
    return !current_as<cSceneParticleSpeaker>().first_drawn();
}

void town_latch_first_frame(cScene& scene, int32_t time)
{
    static_cast<cSceneTown&>(scene).latch_first_frame(time);
}

// The level rises from the level of the frame before: every frame steps it,
// drawn or not.
void town_step_flash(cScene& scene, int32_t time)
{
    static_cast<cSceneTown&>(scene).step_flash(time);
}

bool womanbox_logo_unstarted(const seek_state&)
{
    return !womanbox_logo_started;
}

} // namespace

// --- the table --------------------------------------------------------------------

// Everything a scene's draw leaves for later frames. Scene indices as in
// create_scene. A draw that is not listed carries nothing: its picture
// follows from the show time, the events and the scene's update alone.
const draw_carried_entry DRAW_CARRIED_STATE[] = {
    {SEEK_ANY_SCENE, "gl state", "the GL state a draw leaves (clear colour, blend function, lights, bound "
                                 "shader) that the next scene's first frames find: the last frame of "
                                 "every stretch is drawn",
     last_of_stretch, 0, nullptr},
    {SEEK_ANY_SCENE, "frame before", "values one frame behind: the clear colour the next frame clears with (the "
                                     "town's sky of the frame before) and whatever else a draw leaves for the "
                                     "next one",
     just_before_kept, 0, nullptr},
    {0, "intro flicker", "one crt_rand() a frame for the bands' flicker", nullptr, 1, nullptr},
    {1, "particles flicker", "one crt_rand() a frame for the points' alpha", nullptr, 1, nullptr},
    {3, "particle speaker path", "the first drawn frame of the run starts the camera flight",
     particle_speaker_first_draw_untaken, 0, nullptr},
    {3, "particle speaker flicker", "one crt_rand() a frame for the walls' flicker", nullptr, 1, nullptr},
    {4, "town first frame", "the first frame of the run: the sky's start and the switch it ends at", nullptr, 0,
     town_latch_first_frame},
    {4, "town flash", "the flash level rises from the level of the frame before", nullptr, 0, town_step_flash},
    {6, "arcs first time", "the first drawn frame's time, from which the colours turn", arcs_first_time_untaken,
     0, nullptr},
    {8, "woman box logo", "the logo's start, taken at the first drawn frame of the run",
     womanbox_logo_unstarted, 0, nullptr},
    // Not listed: the diamond reads the quit time at its first drawn frame,
    // but the queue gives the same quit from any moment before it.
    // The greetings draw scene 12 into their screens: what scene 12's draw
    // carries (nothing) is theirs too.
};
const int DRAW_CARRIED_STATE_COUNT = int(sizeof DRAW_CARRIED_STATE / sizeof DRAW_CARRIED_STATE[0]);

namespace {

bool g_disabled[sizeof DRAW_CARRIED_STATE / sizeof DRAW_CARRIED_STATE[0]] = {};
int g_drawn = 0;
int g_skipped = 0;

} // namespace

// The clock reads the counter through a double and truncates to whole
// milliseconds; a counter in the middle of a millisecond reads exactly.
const int64_t HALF_MS_COUNTS = 500;

void seek_align_counter()
{
    platform_advance_virtual_counter((1000 + HALF_MS_COUNTS - platform_counter() % 1000) % 1000);
}

void seek_set_show_time(int32_t t)
{
    const int64_t target = (int64_t(get_scene_manager()->clock.start) + t) * 1000 + HALF_MS_COUNTS;
    const int64_t now = platform_counter();
    if (target > now)
        platform_advance_virtual_counter(target - now);
}

int seek_current_scene()
{
    const cSceneManager* manager = get_scene_manager();
    for (std::size_t i = 0; i < manager->scenes.size(); ++i)
        if (manager->scenes[i] == manager->current)
            return int(i);
    return -1;
}

bool fast_forward_frame(cDemo& demo, const seek_frame& frame)
{
    cSceneManager* manager = get_scene_manager();
    demo.update_frame();
    const seek_state state{&frame, seek_current_scene(),
                           due_before_next(frame.next_time, is_switch)};

    bool draw = false;
    int randoms = 0;
    if (manager->current) {
        for (int i = 0; i < DRAW_CARRIED_STATE_COUNT; ++i) {
            const draw_carried_entry& entry = DRAW_CARRIED_STATE[i];
            if (g_disabled[i] || (entry.scene != SEEK_ANY_SCENE && entry.scene != state.scene))
                continue;
            draw = draw || (entry.must_draw && entry.must_draw(state));
            randoms += entry.randoms_per_draw;
        }
    }
    if (draw) {
        // What the draw leaves is state, never pixels (no scene reads back
        // what an earlier frame drew), so every pass of it may write to one
        // pixel only: the calls and the state are the same, the driver skips
        // the shading.
        glPushAttrib(GL_SCISSOR_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 1, 1);
        demo.draw_frame();
        glPopAttrib();
        ++g_drawn;
        return true;
    }
    for (int i = 0; i < randoms; ++i)
        crt_rand();
    for (int i = 0; i < DRAW_CARRIED_STATE_COUNT; ++i) {
        const draw_carried_entry& entry = DRAW_CARRIED_STATE[i];
        if (entry.carry && !g_disabled[i] && entry.scene == state.scene)
            entry.carry(*manager->current, manager->clock.show_time());
    }
    ++g_skipped;
    return false;
}

bool seek_disable_entry(const char* name)
{
    for (int i = 0; i < DRAW_CARRIED_STATE_COUNT; ++i)
        if (std::strcmp(DRAW_CARRIED_STATE[i].name, name) == 0) {
            g_disabled[i] = true;
            return true;
        }
    return false;
}

int seek_frames_drawn()
{
    return g_drawn;
}

int seek_frames_skipped()
{
    return g_skipped;
}

// --- replaying the run from show time 0 ---------------------------------------

namespace {

const GLenum MATRIX_MODES[] = {GL_PROJECTION, GL_MODELVIEW, GL_TEXTURE};

struct run_start_mark
{
    bool taken = false;
    uint32_t random_state = 0;
    GLfloat matrices[3][16] = {};
    GLint matrix_mode = GL_MODELVIEW;
};
run_start_mark g_mark;

void save_matrices()
{
    glGetIntegerv(GL_MATRIX_MODE, &g_mark.matrix_mode);
    const GLenum queries[] = {GL_PROJECTION_MATRIX, GL_MODELVIEW_MATRIX, GL_TEXTURE_MATRIX};
    for (int i = 0; i < 3; ++i)
        glGetFloatv(queries[i], g_mark.matrices[i]);
}

void restore_matrices()
{
    for (int i = 0; i < 3; ++i) {
        glMatrixMode(MATRIX_MODES[i]);
        glLoadMatrixf(g_mark.matrices[i]);
    }
    glMatrixMode(GLenum(g_mark.matrix_mode));
}

} // namespace

void seek_mark_run_start()
{
    g_mark.taken = true;
    g_mark.random_state = crt_rand_state();
    save_matrices();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
}

void seek_release_mark()
{
    if (!g_mark.taken)
        return;
    g_mark.taken = false;
    glPopClientAttrib();
    glPopAttrib();
}

void seek_restart_run()
{
    if (!g_mark.taken)
        return;
    cSceneManager* manager = get_scene_manager();
    if (manager->current)
        manager->current->exit();
    manager->current = nullptr;
    for (cScene* scene : manager->scenes)
        scene->rewind_run();
    if (manager->queue)
        manager->queue->cursor = 0;

    get_shader_container()->unbind();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glPopClientAttrib();
    glPopAttrib();
    restore_matrices();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    crt_srand(g_mark.random_state);

    manager->clock.tick();
    manager->clock.start = manager->clock.prev = manager->clock.now;
}
