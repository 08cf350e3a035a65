#include "scenes/scene_vortex.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "rendertargets/rendertarget_manager.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/loaded_scene.h"
#include "support/scene_capture.h"
#include "textures/texture_manager.h"
#include "timeline/scene_manager.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const int32_t MELODY = 24;
const int WIDTH = 1024, HEIGHT = 768;

class SceneVortex : public LoadedScene<cSceneVortex>
{
protected:
    static void SetUpTestSuite()
    {
        // The pool exists before any scene draws, as in the show: making its
        // targets resets context state that init() sets.
        if (gl_test_context())
            get_rendertarget_manager();
        LoadedScene::SetUpTestSuite();
    }
    static void TearDownTestSuite()
    {
        LoadedScene::TearDownTestSuite();
        cSceneManager* manager = get_scene_manager();
        delete manager->queue;
        manager->queue = nullptr;
    }
    void SetUp() override
    {
        if (!scene)
            return;
        scene->view_index = 0;
        scene->melody_kind = -1;
        scene->melody_time = -1;
        script({});
    }

    // The scene manager's queue holds these events, none handed out yet.
    static void script(const std::vector<demo_event>& events)
    {
        cSceneManager* manager = get_scene_manager();
        delete manager->queue;
        manager->queue = new cEventQueue;
        manager->queue->events = events;
    }
    // Hands the next event of the queue to the scene, as the manager does.
    static void hand_out_next()
    {
        const demo_event* e = get_scene_manager()->queue->next_due(INT32_MAX);
        ASSERT_NE(nullptr, e);
        scene->handle_event(e);
    }
    // The weight the scene's draw() uses at show time e.
    static float fade_at(int32_t e)
    {
        return vortex_fade(e, scene->melody_kind, scene->melody_time, get_scene_manager()->queue->find(MELODY));
    }
    // One frame at show time e, read back from the window.
    static std::vector<uint8_t> draw_frame(int32_t e)
    {
        clock.start = 0;
        clock.prev = e - 17;
        clock.now = e;
        scene->draw();
        return read_window(4);
    }
};

TEST_F(SceneVortex, load_takes_the_arm_without_materials_the_stripes_with_theirs_and_a_repeated_texture)
{
    REQUIRE_GL_CONTEXT();
    ASSERT_TRUE(scene->loaded);
    cMeshObj* arm = dynamic_cast<cMeshObj*>(scene->arm);
    cMeshObj* stripes = dynamic_cast<cMeshObj*>(scene->stripes);
    ASSERT_NE(nullptr, arm);
    ASSERT_NE(nullptr, stripes);
    EXPECT_TRUE(arm->materials.empty());
    EXPECT_FALSE(stripes->materials.empty());
    EXPECT_TRUE(stripes->flags & MESH_TEXCOORDS);
    ASSERT_NE(nullptr, scene->stripes_texture);
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), scene->stripes_texture->target);
    glBindTexture(GL_TEXTURE_2D, scene->stripes_texture->id);
    GLint wrap_s = 0, wrap_t = 0, width = 0, height = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap_s);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap_t);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(GL_REPEAT, wrap_s);
    EXPECT_EQ(GL_REPEAT, wrap_t);
    EXPECT_EQ(256, width);
    EXPECT_EQ(32, height);
    EXPECT_EQ(1u, get_shader_container()->shaders.count("spec_shader"));
}

TEST_F(SceneVortex, each_melody_moves_on_a_view_fading_in_the_second_before_the_next_and_the_tenth_wraps_to_0)
{
    REQUIRE_GL_CONTEXT();
    std::vector<demo_event> melodies;
    for (int k = 0; k < 10; ++k)
        melodies.push_back({MELODY, 100000 + 4000 * k});
    script(melodies);
    EXPECT_FLOAT_EQ(0.0f, fade_at(99000)) << "before the first melody: view 0 without a fade";
    hand_out_next();
    EXPECT_EQ(1, scene->view_index);
    // {show time, weight of the next view}: melodies at 100000 and 104000
    // fade from 102000 to 103000.
    const float table[][2] = {{100001, 0.0f}, {101000, 0.0f}, {102000, 0.0f}, {102500, 0.5f},
                              {103000, 1.0f}, {103500, 1.0f}, {103999, 1.0f}};
    for (const auto& row : table)
        EXPECT_FLOAT_EQ(row[1], fade_at(int32_t(row[0]))) << "at " << row[0];
    for (int k = 2; k <= 10; ++k) {
        hand_out_next();
        EXPECT_EQ(k % 10, scene->view_index) << "melody " << k;
    }
    EXPECT_FLOAT_EQ(0.0f, fade_at(139000)) << "after the last melody nothing is left to fade to";
    EXPECT_EQ(MELODY, scene->melody_kind);
    for (int32_t code = EVENT_CUE_FIRST; code <= EVENT_CUE_LAST; ++code) {
        if (code == MELODY)
            continue;
        const demo_event e = {code, 400000};
        scene->handle_event(&e);
    }
    EXPECT_EQ(0, scene->view_index) << "other cues are ignored";
    EXPECT_EQ(136000, scene->melody_time);
}

TEST(SceneVortexFade, melodies_under_2_ms_apart_do_not_divide_by_zero)
{
    for (int32_t gap : {0, 1}) {
        const demo_event next = {MELODY, 100000 + gap};
        for (int32_t e : {100000, 100001, 100002})
            EXPECT_FLOAT_EQ(0.0f, vortex_fade(e, MELODY, 100000, next)) << gap << " " << e;
    }
    // 2 ms apart: h = 1, q = 0; full at the second millisecond.
    const demo_event next = {MELODY, 100002};
    EXPECT_FLOAT_EQ(0.0f, vortex_fade(100000, MELODY, 100000, next));
    EXPECT_FLOAT_EQ(1.0f, vortex_fade(100001, MELODY, 100000, next));
}

TEST_F(SceneVortex, before_the_fade_the_frame_is_the_current_view_at_its_end_the_next_and_it_borrows_no_new_targets)
{
    REQUIRE_GL_CONTEXT();
    scene->init();
    // The pictures of views 1 and 2 alone, without a melody to fade to.
    scene->view_index = 1;
    const std::vector<uint8_t> view1 = draw_frame(102000);
    scene->view_index = 2;
    const std::vector<uint8_t> view2 = draw_frame(103000);
    EXPECT_GT(frame_difference(view1, view2), 1.0) << "the two eyes see different pictures";
    scene->view_index = 1;

    script({{MELODY, 100000}, {MELODY, 104000}});
    scene->view_index = 0;
    hand_out_next(); // view 1, the next melody at 104000
    EXPECT_EQ(view1, draw_frame(102000)) << "the fade has not started at 102000";
    EXPECT_EQ(view2, draw_frame(103000)) << "the fade is complete at 103000";
    cRenderTargetManager* targets = get_rendertarget_manager();
    const uint32_t outstanding = targets->get_outstanding(), pooled = targets->pooled_count();
    const std::vector<uint8_t> middle = draw_frame(102500);
    EXPECT_EQ(outstanding, targets->get_outstanding()) << "a frame gives its three targets back";
    EXPECT_EQ(pooled, targets->pooled_count()) << "the pool had the three targets: none made";
    GLint fbo = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &fbo);
    EXPECT_EQ(0, fbo);
    scene->exit();

    std::size_t lit = 0;
    for (std::size_t i = 0; i < middle.size(); i += 4)
        lit += middle[i] + middle[i + 1] + middle[i + 2] > 60 ? 1 : 0;
    EXPECT_GT(lit, middle.size() / 4 / 50) << "arms and stripes show in the crossfade";
}

TEST(SceneVortexShow, captured_frames_at_a_melody_and_in_its_crossfade_show_a_picture_that_moves_and_log_no_error)
{
    const SceneCapture run = capture_scene_frames({274800, 276956}, 1.0, 500);
    SKIP_WITHOUT_X_SERVER(run);
    ASSERT_TRUE(capture_is_clean(run, 2, 2, {{0, 1}}));
}

} // namespace
