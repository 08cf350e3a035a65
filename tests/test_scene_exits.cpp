// Every scene of the show's table is of the class its index names and leaves
// the GL state the next scene starts from when it exits: each is loaded, made
// current at the start of its first stretch of the script, drawn for two
// frames inside that stretch on the virtual counter, and exited.
#include "core/demo.h"
#include "platform/platform.h"
#include "scenes/scene_arcs.h"
#include "scenes/scene_diamond.h"
#include "scenes/scene_greetings.h"
#include "scenes/scene_intro.h"
#include "scenes/scene_particle_speaker.h"
#include "scenes/scene_particles.h"
#include "scenes/scene_speaker.h"
#include "scenes/scene_sph_laser.h"
#include "scenes/scene_tangled.h"
#include "scenes/scene_town.h"
#include "scenes/scene_vortex.h"
#include "scenes/scene_wild_speaker.h"
#include "scenes/scene_woman_box.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/gl_state.h"
#include "support/show_runner.h"
#include "timeline/event_queue.h"
#include "timeline/scene.h"

#include <gtest/gtest.h>

#include <memory>
#include <typeinfo>

namespace {

struct Stretch
{
    int32_t first = -1, end = -1; // ms of show time, [first, end)
    std::vector<demo_event> cues;
};

// The first stretch of scene index in the release folder's script.
Stretch first_stretch(int index)
{
    Stretch s;
    std::unique_ptr<cEventQueue> queue(cEventQueue_factory::loadFile(build_dir() + "/data/script/markers.txt"));
    if (!queue)
        return s;
    for (const demo_event& e : queue->events) {
        const bool is_switch = e.code >= EVENT_SCENE_FIRST && e.code <= EVENT_SCENE_LAST;
        if (s.first >= 0 && (is_switch || e.code == EVENT_QUIT)) {
            s.end = e.time;
            break;
        }
        if (s.first >= 0 && e.code >= EVENT_CUE_FIRST && e.code <= EVENT_CUE_LAST)
            s.cues.push_back(e);
        if (is_switch && e.code == index)
            s.first = e.time;
    }
    return s;
}

// What the frame before a scene's init leaves: the state a scene's exit gives back.
void set_default_state()
{
    get_shader_container()->unbind();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_FOG);
    glDisable(GL_LIGHTING);
    glEnable(GL_CULL_FACE);
    glEnable(GL_ALPHA_TEST);
    for (GLenum unit : {GL_TEXTURE2, GL_TEXTURE1, GL_TEXTURE0}) {
        glActiveTextureARB(unit);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_RECTANGLE_ARB);
        for (GLenum coord : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q})
            glDisable(coord);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
    }
    glMatrixMode(GL_MODELVIEW);
    while (glGetError() != GL_NO_ERROR) {
    }
}

// The class each index of the show's table makes, and what the scene leaves
// on, started from lighting off and culling and the alpha test on (the alpha
// test passes everything: the show's function is GL_ALWAYS). Most scenes'
// init turns lighting on for the whole stretch and leaves it so; the woman
// box and the wild speaker give back culling, lighting and the alpha test in
// their exit.
struct Leaves
{
    const std::type_info& type;
    bool lighting, cull_face, alpha_test;
};
const Leaves k_leaves[SCENE_COUNT] = {
    {typeid(cSceneIntro), true, true, false}, // its closing logo is lit
    {typeid(cSceneParticles), false, true, false},
    {typeid(cSceneSpeaker), true, true, false},
    {typeid(cSceneParticleSpeaker), false, true, false}, // its frame draws unlit
    {typeid(cSceneTown), true, true, false},             // its exit turns culling back on
    {typeid(cSceneGreetings), false, true, false},
    {typeid(cSceneArcs), true, false, false},
    {typeid(cSceneSphLaser), true, true, true}, // touches neither culling nor the alpha test outside its pushes
    {typeid(cSceneWomanBox), true, true, true},
    {typeid(cSceneWildSpeaker), true, true, true},
    {typeid(cSceneVortex), true, false, false},
    {typeid(cSceneDiamond), true, false, false},
    {typeid(cSceneTangled), false, false, false},
};

class SceneExit : public testing::TestWithParam<int>
{
};

TEST_P(SceneExit, is_the_class_its_index_names_and_leaves_the_state_the_next_scene_starts_from)
{
    REQUIRE_GL_CONTEXT();
    use_show_environment();
    const int index = GetParam();
    const Stretch stretch = first_stretch(index);
    ASSERT_GE(stretch.first, 0) << "scene " << index << " has no stretch in the script";
    ASSERT_GT(stretch.end, stretch.first);

    cClock clock;
    std::unique_ptr<cScene> scene(create_scene(index, &clock));
    ASSERT_NE(nullptr, scene);
    const Leaves& leaves = k_leaves[index];
    ASSERT_TRUE(typeid(*scene) == leaves.type) << "scene " << index << " is a " << typeid(*scene).name();
    testing::internal::CaptureStdout(); // load reports what it reads
    scene->load();
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(scene->loaded);

    // The show's clock as at the scene's switch event, then two frames a
    // sixtieth of a second apart in the middle of its stretch, with the cues
    // before them handed over as the show hands them.
    const int64_t counts_per_ms = platform_counter_frequency() / 1000;
    platform_use_virtual_counter(int64_t(stretch.first) * counts_per_ms);
    clock.start = 0;
    clock.prev = clock.now = stretch.first;
    set_default_state();
    scene->init();
    const int32_t middle = stretch.first + (stretch.end - stretch.first) / 2;
    std::size_t next_cue = 0;
    for (int32_t t : {middle, middle + 16}) {
        platform_use_virtual_counter(int64_t(t) * counts_per_ms);
        clock.prev = clock.now;
        clock.now = t;
        for (; next_cue < stretch.cues.size() && stretch.cues[next_cue].time < t; ++next_cue)
            scene->handle_event(&stretch.cues[next_cue]);
        scene->update();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene->draw();
    }
    scene->exit();
    platform_use_real_counter();

    EXPECT_TRUE(scene_exit_state_is_default()) << "scene " << index;
    EXPECT_EQ(leaves.lighting, bool(glIsEnabled(GL_LIGHTING))) << "lighting after scene " << index;
    EXPECT_EQ(leaves.cull_face, bool(glIsEnabled(GL_CULL_FACE))) << "culling after scene " << index;
    EXPECT_EQ(leaves.alpha_test, bool(glIsEnabled(GL_ALPHA_TEST))) << "alpha test after scene " << index;
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError()) << "scene " << index;
}

// Every index of the show's table.
INSTANTIATE_TEST_SUITE_P(EveryScene, SceneExit, testing::Range(0, SCENE_COUNT));

} // namespace
