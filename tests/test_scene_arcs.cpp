#include "scenes/scene_arcs.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/scene_capture.h"
#include "textures/texture_manager.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const int32_t BEAT = 16;
// The scene's first frame in the show: the "s06" switch of the script.
const int32_t SCENE_START = 179129;

class SceneArcs : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!gl_test_context())
            return;
        use_show_environment();
        scene = new cSceneArcs(&clock);
        scene->load();
    }
    static void TearDownTestSuite()
    {
        delete scene;
        scene = nullptr;
    }
    void SetUp() override
    {
        if (!scene)
            return;
        scene->phase = 0;
        scene->kick = 0;
        scene->beat_count = 0;
        scene->beat_time = 0;
    }

    // One frame of frame_ms at show time e: the clock moves, then update.
    static void step(int32_t e, int32_t frame_ms)
    {
        clock.start = 0;
        clock.prev = e - frame_ms;
        clock.now = e;
        scene->update();
    }

    static cClock clock;
    static cSceneArcs* scene;
};
cClock SceneArcs::clock;
cSceneArcs* SceneArcs::scene = nullptr;

TEST_F(SceneArcs, load_takes_the_arc_without_materials_and_the_repeated_diagram_without_mipmaps)
{
    REQUIRE_GL_CONTEXT();
    ASSERT_TRUE(scene->loaded);
    cMeshObj* arc = dynamic_cast<cMeshObj*>(scene->arc);
    ASSERT_NE(nullptr, arc);
    EXPECT_TRUE(arc->materials.empty());
    ASSERT_NE(nullptr, scene->diagram_texture);
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), scene->diagram_texture->target) << "a repeating picture needs power-of-two sides";
    glBindTexture(GL_TEXTURE_2D, scene->diagram_texture->id);
    GLint wrap = 0, min_filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(GL_REPEAT, wrap);
    EXPECT_EQ(GL_LINEAR, min_filter);
    EXPECT_EQ(1u, get_shader_container()->shaders.count("spec_shader"));
    iMesh* before = scene->arc;
    scene->load();
    EXPECT_EQ(before, scene->arc);
}

TEST_F(SceneArcs, a_kick_of_100_over_20_ms_frames_decays_by_truncation_to_nothing)
{
    REQUIRE_GL_CONTEXT();
    scene->kick = 100;
    // 100, 95, 90 (90.25), 85 (85.5), 80 (80.75), 76 (76.0 - 0.0), 72 (72.2) ...
    const int32_t growth[] = {120, 115, 110, 105, 100, 96, 92};
    int32_t e = 200000;
    for (int32_t expected : growth) {
        const int32_t before = scene->phase;
        e += 20;
        step(e, 20);
        EXPECT_EQ(expected, scene->phase - before) << "frame at " << e;
    }
    int frames = 0;
    while (scene->kick != 0 && frames < 1000) {
        e += 20;
        step(e, 20);
        ++frames;
    }
    EXPECT_EQ(0, scene->kick);
    EXPECT_LT(frames, 100) << "the truncation ends the kick";
    const int32_t before = scene->phase;
    step(e + 20, 20);
    EXPECT_EQ(20, scene->phase - before) << "without a kick the phase follows the frame time";
}

TEST_F(SceneArcs, the_tumbling_angles_follow_the_phase)
{
    REQUIRE_GL_CONTEXT();
    scene->phase = 2980;
    step(100000, 20); // phase 3000
    EXPECT_FLOAT_EQ(120.0f, scene->angles[0][0]);
    EXPECT_FLOAT_EQ(-120.0f, scene->angles[0][1]);
    EXPECT_FLOAT_EQ(200.0f, scene->angles[1][0]);
    EXPECT_FLOAT_EQ(-100.0f, scene->angles[3][2]);
    EXPECT_FLOAT_EQ(150.0f, scene->angles[6][2]);
    EXPECT_NEAR(-111.111f, scene->angles[7][0], 1e-3);
    EXPECT_NEAR(166.667f, scene->angles[7][1], 1e-3);
}

TEST_F(SceneArcs, only_the_second_fourth_and_later_even_beats_kick)
{
    REQUIRE_GL_CONTEXT();
    struct
    {
        int32_t time;
        int32_t kick_after;
    } const beats[] = {{180000, 0}, {180470, 100}, {180940, 0}, {181410, 100}, {181880, 0}, {182350, 100}};
    for (const auto& b : beats) {
        scene->kick = 0;
        const demo_event ev = {BEAT, b.time};
        scene->handle_event(&ev);
        EXPECT_EQ(b.kick_after, scene->kick) << "beat at " << b.time;
        EXPECT_EQ(b.time, scene->beat_time);
    }
    EXPECT_EQ(6, scene->beat_count);

    // Every other cue leaves the beat state alone.
    for (int32_t code = EVENT_CUE_FIRST; code <= EVENT_CUE_LAST; ++code) {
        if (code == BEAT)
            continue;
        const demo_event ev = {code, 190000};
        scene->handle_event(&ev);
    }
    EXPECT_EQ(6, scene->beat_count);
    EXPECT_EQ(182350, scene->beat_time);
    EXPECT_EQ(100, scene->kick);
}

TEST(SceneArcsCurves, cold_until_182628_then_warm_over_the_span_before_181628)
{
    // First frame at the script's switch: the turn lasts 181628 - 179129 = 2499 ms.
    struct
    {
        int32_t e;
        float cold;
    } const table[] = {
        {179129, 1.0f}, {182000, 1.0f}, {182628, 1.0f},
        {182628 + 2499 / 4, 0.84375f}, // f = 0.75
        {182628 + 2499 / 2, 0.5f},     // f = 0.5
        {182628 + 2499, 0.0f},         {200000, 0.0f},
    };
    for (const auto& row : table)
        EXPECT_NEAR(row.cold, arcs_cold_weight(row.e, SCENE_START), 1e-3) << "at " << row.e;

    float rgb[3];
    arcs_colour(0, 1.0f, rgb);
    EXPECT_NEAR(59.0f / 255.0f, rgb[0], 1e-6);
    EXPECT_NEAR(101.0f / 255.0f, rgb[1], 1e-6);
    EXPECT_NEAR(141.0f / 255.0f, rgb[2], 1e-6);
    arcs_colour(3, 0.0f, rgb); // pair B, warm
    EXPECT_NEAR(1.0f, rgb[0], 1e-6);
    EXPECT_NEAR(203.0f / 255.0f, rgb[1], 1e-6);
    EXPECT_NEAR(7.0f / 255.0f, rgb[2], 1e-6);
    arcs_colour(7, 0.5f, rgb); // pair D halfway
    EXPECT_NEAR((122.0f + 255.0f) / 510.0f, rgb[0], 1e-6);
    EXPECT_NEAR((169.0f + 85.0f) / 510.0f, rgb[1], 1e-6);
    EXPECT_NEAR(221.0f / 510.0f, rgb[2], 1e-6);
}

TEST(SceneArcsCurves, a_first_frame_at_or_after_181628_turns_warm_at_once_instead_of_dividing_by_zero)
{
    for (int32_t first : {181628, 181700, 190000}) {
        EXPECT_FLOAT_EQ(1.0f, arcs_cold_weight(182628, first)) << first;
        EXPECT_FLOAT_EQ(0.0f, arcs_cold_weight(182629, first)) << first;
        EXPECT_FLOAT_EQ(1.0f, arcs_cold_weight(181000, first)) << first;
    }
}

TEST(SceneArcsCurves, the_diagram_flashes_to_0_9_on_a_beat_is_at_0_25_after_250_ms_and_dark_before_the_next)
{
    EXPECT_FLOAT_EQ(0.9f, arcs_background_grey(0));
    EXPECT_NEAR(0.575f, arcs_background_grey(125), 1e-6);
    EXPECT_NEAR(0.25f, arcs_background_grey(250), 1e-6);
    EXPECT_NEAR(0.0f, arcs_background_grey(347), 1e-6) << "the ramp goes on down and is clamped at black";
    EXPECT_FLOAT_EQ(0.0f, arcs_background_grey(5000));
    EXPECT_FLOAT_EQ(1.0f, arcs_background_grey(-100)) << "clamped";
}

TEST_F(SceneArcs, the_first_drawn_frame_fixes_the_turn_for_the_rest_of_the_run)
{
    REQUIRE_GL_CONTEXT();
    scene->init();
    step(SCENE_START, 17);
    scene->draw();
    EXPECT_EQ(SCENE_START, scene->first_time);
    scene->exit();
    // A later stretch keeps the first frame's time.
    scene->init();
    step(230000, 17);
    scene->draw();
    EXPECT_EQ(SCENE_START, scene->first_time);
    scene->exit();
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(SceneArcs, the_layer_is_the_window_size_and_drawing_returns_to_the_window_with_its_viewport)
{
    REQUIRE_GL_CONTEXT();
    EXPECT_EQ(1024u, scene->layer().width);
    EXPECT_EQ(768u, scene->layer().height);
    glViewport(10, 20, 300, 200);
    GLint draw_buffer_before = 0;
    glGetIntegerv(GL_DRAW_BUFFER, &draw_buffer_before);
    scene->init();
    step(185000, 17);
    scene->draw();

    GLint fbo = -1, viewport[4] = {0, 0, 0, 0}, draw_buffer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &fbo);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_DRAW_BUFFER, &draw_buffer);
    EXPECT_EQ(0, fbo);
    EXPECT_EQ(10, viewport[0]);
    EXPECT_EQ(20, viewport[1]);
    EXPECT_EQ(300, viewport[2]);
    EXPECT_EQ(200, viewport[3]);
    EXPECT_EQ(draw_buffer_before, draw_buffer);

    // The layer holds the frame: the arcs and the diagram, not one colour.
    std::vector<uint8_t> pixels(1024u * 768u * 4u);
    scene->layer().begin();
    glReadPixels(0, 0, 1024, 768, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    scene->layer().end();
    std::size_t lit = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4)
        lit += pixels[i] + pixels[i + 1] + pixels[i + 2] > 150 ? 1 : 0;
    EXPECT_GT(lit, pixels.size() / 4 / 20) << "bands of light over a good part of the frame";
    EXPECT_LT(lit, pixels.size() / 4) << "and not all of it";
    glViewport(0, 0, 1024, 768);

    scene->exit();
    GLboolean depth_mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    EXPECT_TRUE(depth_mask);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint src = 0, dst = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(GL_SRC_ALPHA, src);
    EXPECT_EQ(GL_ONE_MINUS_SRC_ALPHA, dst);
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_EQ("null_shader", get_shader_container()->current_shader);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST(SceneArcsShow, captured_frames_of_the_stretch_show_a_picture_that_moves_and_log_no_error)
{
    // A beat frame of the cold start and a frame of the warm end.
    const SceneCapture run = capture_scene_frames({180500, 186000}, 2.0, 500);
    if (!run.exited && run.log.empty())
        GTEST_SKIP() << "no Xvfb for the capture";
    ASSERT_TRUE(capture_is_clean(run, 2, 2));
    EXPECT_GT(frame_difference(run.frames[0], run.frames[1]), 2.0);
}

} // namespace
