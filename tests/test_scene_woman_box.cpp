#include "scenes/scene_woman_box.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/images.h"
#include "support/loaded_scene.h"
#include "support/scene_capture.h"
#include "textures/texture_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

const int32_t SNARE = 17;

TEST(WomanBoxViews, each_snare_moves_to_the_next_eye_the_tenth_wraps_and_other_cues_are_ignored)
{
    cClock clock;
    cSceneWomanBox scene(&clock);
    EXPECT_EQ(0, scene.view_index);
    const int expected[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1};
    for (int i = 0; i < 11; ++i) {
        for (int32_t code = EVENT_CUE_FIRST; code <= EVENT_CUE_LAST; ++code)
            if (code != SNARE) {
                const demo_event other = {code, 1000 * i};
                scene.handle_event(&other);
            }
        const demo_event snare = {SNARE, 1000 * i + 500};
        scene.handle_event(&snare);
        EXPECT_EQ(expected[i], scene.view_index) << "snare " << i + 1;
    }
}

class WomanBox : public LoadedScene<cSceneWomanBox>
{
protected:
    // The whole frame as the show presents it, read from the window.
    static std::vector<uint8_t> frame_at(int32_t e)
    {
        clock.start = 0;
        clock.now = e;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene->draw();
        return read_window(4);
    }
    // How many pixels are not white: the box in the negative.
    static std::size_t shaded_pixels(const std::vector<uint8_t>& p)
    {
        std::size_t n = 0;
        for (std::size_t i = 0; i < p.size(); i += 4)
            n += (p[i] + p[i + 1] + p[i + 2]) < 3 * 230 ? 1 : 0;
        return n;
    }
};

TEST_F(WomanBox, load_takes_both_meshes_without_materials_and_the_sphere_map)
{
    REQUIRE_GL_CONTEXT();
    ASSERT_TRUE(scene->loaded);
    for (iMesh* mesh : {scene->box, scene->logo}) {
        cMeshObj* obj = dynamic_cast<cMeshObj*>(mesh);
        ASSERT_NE(nullptr, obj);
        EXPECT_TRUE(obj->materials.empty());
        EXPECT_FALSE(obj->flags & MESH_GROUPS);
    }
    ASSERT_NE(nullptr, scene->box_texture);
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), scene->box_texture->target) << "sphere-mapped: power-of-two sides";
    EXPECT_EQ(1u, get_shader_container()->shaders.count("blur_shader"));
    // The logo is flat, for the depth test that keeps its strokes from
    // inverting a pixel twice, and lies in a 0..1 space shrunk by 4.
    const cMeshObj* logo = dynamic_cast<cMeshObj*>(scene->logo);
    for (std::size_t i = 0; i < logo->positions.size(); i += 3) {
        EXPECT_EQ(0.0f, logo->positions[i + 2]);
        EXPECT_GE(logo->positions[i], 0.0f);
        EXPECT_LE(logo->positions[i], 0.25f);
    }
}

TEST_F(WomanBox, invert_frame_turns_a_colour_into_its_complement)
{
    REQUIRE_GL_CONTEXT();
    OffscreenTarget target(64, 48, true);
    glClearColor(0.2f, 0.6f, 0.8f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    scene->invert_frame();
    const rgba px = target.pixel(32, 24);
    EXPECT_NEAR(255 - 51, px[0], 1);
    EXPECT_NEAR(255 - 153, px[1], 1);
    EXPECT_NEAR(255 - 204, px[2], 1);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(WomanBox, the_logo_slides_in_from_the_right_inverting_white_to_black_where_it_lies)
{
    REQUIRE_GL_CONTEXT();
    const int w = 256, h = 192;
    womanbox_logo_started = false;
    // Black columns of the logo on a white frame, as fractions of the width.
    auto logo_span = [&](int32_t e, float* first, float* last) {
        clock.start = 0;
        clock.now = e;
        OffscreenTarget target(w, h, true);
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearColor(0, 0, 0, 0);
        glDisable(GL_CULL_FACE);
        scene->draw_logo();
        const std::vector<uint8_t> p = target.read();
        glEnable(GL_CULL_FACE);
        int lo = w, hi = -1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (p[(std::size_t(y) * w + x) * 4] < 64) {
                    lo = std::min(lo, x);
                    hi = std::max(hi, x);
                }
        *first = float(lo) / float(w);
        *last = float(hi + 1) / float(w);
    };
    float first = 0, last = 0;
    logo_span(230000, &first, &last); // the first call takes the start
    EXPECT_GE(first, 1.0f) << "off screen at the right";
    logo_span(231000, &first, &last); // it crosses 0.41 screen widths a second from 1.2
    EXPECT_NEAR(0.79f, first, 0.02f);
    EXPECT_FLOAT_EQ(1.0f, last);
    logo_span(232500, &first, &last);
    EXPECT_NEAR(0.175f, first, 0.02f);
    EXPECT_GT(last - first, 0.5f) << "the word spans most of the screen";
    EXPECT_LT(last, 1.0f);
    logo_span(236000, &first, &last);
    EXPECT_GE(first, 1.0f) << "gone at the left";
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(WomanBox, a_second_activation_draws_the_box_again_and_exit_turns_two_sided_lighting_off)
{
    REQUIRE_GL_CONTEXT();
    womanbox_logo_started = true;
    womanbox_logo_t0 = 0.0f; // the logo is long gone
    scene->init();
    const std::vector<uint8_t> first = frame_at(226000);
    scene->exit();
    const cMeshObj* box = dynamic_cast<cMeshObj*>(scene->box);
    for (const cVertexBuffer& b : box->buffers)
        EXPECT_EQ(0u, b.id) << "exit frees the buffers";

    scene->init();
    for (const cVertexBuffer& b : box->buffers)
        EXPECT_NE(0u, b.id);
    const std::vector<uint8_t> second = frame_at(226000);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1); // as the scene before may have left it
    scene->exit();
    // Beyond what every scene's exit gives back: one-sided lighting.
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    GLint two_side = -1;
    glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &two_side);
    EXPECT_EQ(0, two_side);
    EXPECT_GT(shaded_pixels(first), std::size_t(1024 * 768 / 50)) << "the box shows in the negative";
    EXPECT_LT(shaded_pixels(first), std::size_t(1024 * 768 / 2));
    EXPECT_EQ(first, second);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST(WomanBoxShow, frames_from_two_eyes_and_with_the_logo_change_and_log_no_error)
{
    const SceneCapture run = capture_scene_frames({224500, 225500, 226000, 229500}, 2.0, 600);
    SKIP_WITHOUT_X_SERVER(run);
    ASSERT_TRUE(capture_is_clean(run, 4, 4, {{0, 1}, {2, 3}}));
}

} // namespace
