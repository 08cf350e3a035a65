#include "scenes/scene_arcs.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/gl_state.h"
#include "support/loaded_scene.h"
#include "support/scene_capture.h"
#include "textures/texture_manager.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

const int32_t BEAT = 16;
// The scene's first frame in the show: the "s06" switch of the script.
const int32_t SCENE_START = 179129;

class SceneArcs : public LoadedScene<cSceneArcs>
{
protected:
    void SetUp() override
    {
        if (!scene)
            return;
        scene->phase = scene->kick = scene->beat_count = scene->beat_time = 0;
    }

    // One frame of frame_ms at show time e: the clock moves, then update.
    static void step(int32_t e, int32_t frame_ms)
    {
        clock.start = 0;
        clock.prev = e - frame_ms;
        clock.now = e;
        scene->update();
    }
};

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
    for (; scene->kick != 0 && frames < 1000; ++frames)
        step(e += 20, 20);
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
    // {arc, axis, degrees}
    const float rows[][3] = {{0, 0, 120.0f}, {0, 1, -120.0f}, {1, 0, 200.0f}, {3, 2, -100.0f},
                             {6, 2, 150.0f}, {7, 0, -111.111f}, {7, 1, 166.667f}};
    for (const auto& r : rows)
        EXPECT_NEAR(r[2], scene->angles[int(r[0])][int(r[1])], 1e-3) << r[0] << " " << r[1];
}

TEST_F(SceneArcs, only_the_second_fourth_and_later_even_beats_kick)
{
    REQUIRE_GL_CONTEXT();
    // {time, kick after it}
    const int32_t beats[][2] = {{180000, 0}, {180470, 100}, {180940, 0}, {181410, 100}, {181880, 0}, {182350, 100}};
    for (const auto& b : beats) {
        scene->kick = 0;
        const demo_event ev = {BEAT, b[0]};
        scene->handle_event(&ev);
        EXPECT_EQ(b[1], scene->kick) << "beat at " << b[0];
        EXPECT_EQ(b[0], scene->beat_time);
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
    // {show time, cold weight}; a quarter in f = 0.75 weighs 0.84375
    const float table[][2] = {{179129, 1.0f}, {182000, 1.0f}, {182628, 1.0f}, {182628 + 2499 / 4, 0.84375f},
                              {182628 + 2499 / 2, 0.5f}, {182628 + 2499, 0.0f}, {200000, 0.0f}};
    for (const auto& row : table)
        EXPECT_NEAR(row[1], arcs_cold_weight(int32_t(row[0]), SCENE_START), 1e-3) << "at " << row[0];

    float rgb[3];
    arcs_colour(7, 0.5f, rgb); // pair D halfway between (255, 85, 0) and (122, 169, 221)
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

TEST_F(SceneArcs, the_first_frame_fixes_the_turn_and_drawing_returns_to_the_window_with_its_viewport)
{
    REQUIRE_GL_CONTEXT();
    scene->init();
    step(SCENE_START, 17);
    scene->draw();
    scene->exit();
    EXPECT_EQ(SCENE_START, scene->first_time);

    EXPECT_EQ(1024u, scene->layer().width);
    EXPECT_EQ(768u, scene->layer().height);
    glViewport(10, 20, 300, 200);
    const GLint draw_buffer_before = gl_integer(GL_DRAW_BUFFER);
    scene->init();
    step(185000, 17);
    scene->draw();
    EXPECT_EQ(SCENE_START, scene->first_time) << "a later stretch keeps the first frame's time";

    std::array<GLint, 4> viewport{};
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    EXPECT_EQ(0, gl_integer(GL_FRAMEBUFFER_BINDING_EXT));
    EXPECT_EQ((std::array<GLint, 4>{10, 20, 300, 200}), viewport);
    EXPECT_EQ(draw_buffer_before, gl_integer(GL_DRAW_BUFFER));

    // The layer holds the frame: the arcs and the diagram, not one colour.
    const std::vector<uint8_t> pixels = read_target(scene->layer());
    std::size_t lit = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4)
        lit += pixels[i] + pixels[i + 1] + pixels[i + 2] > 150 ? 1 : 0;
    EXPECT_GT(lit, pixels.size() / 4 / 20) << "bands of light over a good part of the frame";
    EXPECT_LT(lit, pixels.size() / 4) << "and not all of it";
    glViewport(0, 0, 1024, 768);
    scene->exit();
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST(SceneArcsShow, captured_frames_of_the_stretch_show_a_picture_that_moves_and_log_no_error)
{
    // A beat frame of the cold start and a frame of the warm end.
    const SceneCapture run = capture_scene_frames({180500, 186000}, 2.0, 500);
    SKIP_WITHOUT_X_SERVER(run);
    ASSERT_TRUE(capture_is_clean(run, 2, 2, {{0, 1}}));
}

} // namespace
