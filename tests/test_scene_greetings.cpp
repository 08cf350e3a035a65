#include "scenes/scene_greetings.h"

#include "core/gl_ext.h"
#include "core/screen.h"
#include "mesh_files/mesh.h"
#include "rendertargets/render_target.h"
#include "scenes/camera_path.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/loaded_scene.h"
#include "support/scene_capture.h"
#include "support/show_runner.h"
#include "textures/texture_manager.h"
#include "timeline/scene_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const int32_t SINUS_IN = 28;

TEST(GreetingsFade, at_950_ms_the_view_is_at_its_peak_with_fog_from_487_to_3900_and_black_at_0_and_from_1900)
{
    const float t = greetings_parameter(950);
    EXPECT_FLOAT_EQ(0.5f, t);
    const float g = greetings_fade_level(t);
    EXPECT_NEAR(0.95f, g, 1e-5f);
    float start = 0, end = 0;
    greetings_fog_range(g, &start, &end);
    EXPECT_NEAR(487.3f, start, 0.1f);
    EXPECT_NEAR(3899.7f, end, 0.2f);
    EXPECT_NEAR(0.0051f, 1.0f - greetings_fade_factor(g), 0.0001f);

    // From 1900 ms on and at the start the view is black.
    for (int32_t ms : {0, 1900, 2500, 100000}) {
        const float g = greetings_fade_level(greetings_parameter(ms));
        EXPECT_FLOAT_EQ(0.0f, g) << ms;
        float start = -1, end = -1;
        greetings_fog_range(g, &start, &end);
        EXPECT_FLOAT_EQ(0.0f, start) << ms;
        EXPECT_FLOAT_EQ(1.0f, end) << ms;
        EXPECT_FLOAT_EQ(1.0f, 1.0f - greetings_fade_factor(g)) << ms;
    }
    EXPECT_FLOAT_EQ(0.0f, greetings_parameter(-400)) << "before the event";
    EXPECT_FLOAT_EQ(1.0f, greetings_parameter(1900));
}

TEST(GreetingsEvents, each_sinus_in_moves_to_the_next_path_and_logo_and_the_sixth_returns_to_path_0)
{
    cClock clock;
    cSceneGreetings scene(&clock);
    EXPECT_EQ(-1, scene.greeting_count) << "no logo before the first event";
    EXPECT_EQ(-1, scene.greeting_time);
    const int expected_path[8] = {1, 2, 3, 4, 5, 0, 1, 2};
    for (int k = 0; k < 8; ++k) {
        const demo_event e = {SINUS_IN, 133913 + 3478 * k};
        clock.now = e.time + 7;
        scene.handle_event(&e);
        EXPECT_EQ(expected_path[k], scene.screen_index) << k;
        EXPECT_EQ(k, scene.greeting_count) << k;
        EXPECT_EQ(e.time, scene.greeting_time) << "the event's own time";
    }
    const demo_event beat = {16, 170000};
    scene.handle_event(&beat);
    EXPECT_EQ(2, scene.screen_index) << "other cues are ignored";
    EXPECT_EQ(7, scene.greeting_count);
}

// Stands in for the tangled scene at index 12: fills its target green and
// counts its frames.
class GreenScene : public cSceneDummy
{
public:
    using cSceneDummy::cSceneDummy;
    void draw() override
    {
        ++draws;
        glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
        for (GLenum cap : {GL_TEXTURE_2D, GL_LIGHTING, GL_BLEND, GL_DEPTH_TEST})
            glDisable(cap);
        glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
        push_screen_matrices();
        draw_unit_square();
        pop_screen_matrices();
        glPopAttrib();
    }
    int draws = 0;
};

class Greetings : public LoadedScene<cSceneGreetings>
{
protected:
    static void SetUpTestSuite()
    {
        LoadedScene::SetUpTestSuite();
        if (!scene)
            return;
        cSceneManager* manager = get_scene_manager();
        while (manager->scenes.size() < GREETINGS_PICTURE_SCENE)
            manager->add_scene(new cSceneDummy(&clock));
        green = new GreenScene(&clock);
        manager->add_scene(green); // the manager owns it
    }

    // Picture pixels (RGBA, bottom up) after draw_tv_picture at t.
    static std::vector<uint8_t> picture_at(float t)
    {
        cRenderTarget_fbo picture(256, 192, false);
        picture.create();
        scene->draw_tv_picture(picture, t);
        return read_target(picture);
    }

    static GreenScene* green;
};
GreenScene* Greetings::green = nullptr;

TEST_F(Greetings, load_fills_the_room_six_screens_and_paths_thirteen_logos_and_the_tv_shader)
{
    REQUIRE_GL_CONTEXT();
    EXPECT_NE(nullptr, scene->main);
    EXPECT_NE(nullptr, scene->tube);
    for (int i = 0; i < GREETINGS_SCREENS; ++i) {
        EXPECT_NE(nullptr, scene->screens[i]) << i;
        EXPECT_GE(scene->paths[i].get_keys().size(), 2u) << GREETINGS_PATH_FILES[i];
    }
    for (int i = 0; i < GREETINGS_LOGOS; ++i) {
        ASSERT_NE(nullptr, scene->logos[i]) << i;
        EXPECT_EQ(GLenum(GL_TEXTURE_2D), scene->logos[i]->target) << GREETINGS_LOGO_FILES[i] << ": 0..1 addressing";
    }
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), scene->tube_texture->target);
    EXPECT_EQ(1u, get_shader_container()->shaders.count("tv_shader"));
}

TEST_F(Greetings, each_flight_ends_in_front_of_its_screen_looking_at_its_middle)
{
    REQUIRE_GL_CONTEXT();
    for (int k = 0; k < GREETINGS_SCREENS; ++k) {
        const cMeshObj* screen = dynamic_cast<cMeshObj*>(scene->screens[k]);
        ASSERT_TRUE(screen);
        float c[3] = {0, 0, 0};
        const size_t n = screen->positions.size() / 3;
        for (size_t i = 0; i < n; ++i)
            for (int a = 0; a < 3; ++a)
                c[a] += screen->positions[3 * i + a] / float(n);
        const cCameraPath& path = scene->paths[k];
        float eye[3], target[3];
        path.get_position(1.0f, eye);
        path.get_target(1.0f, target);
        EXPECT_LT(std::hypot(target[0] - c[0], target[1] - c[1], target[2] - c[2]), 30.0f) << k;
        const float d = std::hypot(eye[0] - c[0], eye[1] - c[1], eye[2] - c[2]);
        EXPECT_GT(d, 250.0f) << k;
        EXPECT_LT(d, 450.0f) << k << ": the screen fills much of the view";
        // The room side of the screen: where its normals point.
        const float* nrm = &screen->normals[0];
        EXPECT_GT(nrm[0] * (eye[0] - c[0]) + nrm[1] * (eye[1] - c[1]) + nrm[2] * (eye[2] - c[2]), 0.0f) << k;
        float start[3];
        path.get_position(0.0f, start);
        EXPECT_GT(std::hypot(start[0] - eye[0], start[1] - eye[1], start[2] - eye[2]), 500.0f) << k << " flies";
    }
}

TEST_F(Greetings, logo_slides_right_to_left_during_a_greeting_and_screens_show_scene_12_without_logo_before_the_first)
{
    REQUIRE_GL_CONTEXT();
    scene->greeting_count = 0;
    // Columns where the logo changes the green picture.
    auto logo_columns = [](const std::vector<uint8_t>& p, int* first, int* last) {
        *first = 256;
        *last = -1;
        for (int y = 0; y < 192; ++y)
            for (int x = 0; x < 256; ++x) {
                const uint8_t* px = &p[(size_t(y) * 256 + x) * 4];
                if (px[0] > 60 || px[2] > 60) {
                    *first = std::min(*first, x);
                    *last = std::max(*last, x);
                }
            }
    };
    int first_mid, last_mid, first_late, last_late;
    logo_columns(picture_at(0.5f), &first_mid, &last_mid);
    logo_columns(picture_at(0.9f), &first_late, &last_late);
    ASSERT_LE(first_mid, last_mid) << "the logo shows in the middle of a greeting";
    EXPECT_LT(first_mid, 128);
    EXPECT_GT(last_mid, 128);
    EXPECT_LT(first_late, first_mid) << "later it has moved left";
    scene->greeting_count = GREETINGS_LOGOS; // after a thirteenth: no logo
    logo_columns(picture_at(0.5f), &first_mid, &last_mid);
    EXPECT_EQ(-1, last_mid);
    scene->greeting_count = -1;

    ASSERT_NE(get_scene_manager()->current, static_cast<cScene*>(green));
    scene->greeting_count = -1;
    const int before = green->draws;
    const std::vector<uint8_t> p = picture_at(0.5f);
    EXPECT_EQ(before + 1, green->draws);
    for (size_t i = 0; i < p.size(); i += 4)
        ASSERT_EQ((std::vector<uint8_t>{0, 255, 0}), std::vector<uint8_t>(&p[i], &p[i + 3])) << i / 4;
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(Greetings, fade_is_black_at_the_ends_of_a_greeting_and_almost_clear_at_its_peak)
{
    REQUIRE_GL_CONTEXT();
    cRenderTarget_fbo target(64, 64, false);
    target.create();
    auto after_fade = [&](float g) {
        target.begin();
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        scene->draw_fade(greetings_fade_factor(g));
        target.end();
        return int(read_target(target)[(32 * 64 + 32) * 4]);
    };
    EXPECT_EQ(0, after_fade(0.0f));
    EXPECT_GE(after_fade(0.95f), 252);
    GLboolean mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_TRUE(mask) << "the depth write mask is given back";
}

// The second greeting starts a bar (1739 ms) after the first, from black.
TEST(GreetingsShow, first_greeting_fades_in_flies_to_a_screen_and_the_next_starts_from_black_without_errors)
{
    const SceneCapture run = capture_scene_frames({134388, 134863, 135338, 135692}, 2.0, 300);
    SKIP_WITHOUT_X_SERVER(run);
    ASSERT_TRUE(capture_is_clean(run, 4, 3, {{0, 1}, {1, 2}}));
    EXPECT_LT(*std::max_element(run.frames[3].begin(), run.frames[3].end()), 8) << "black as the next greeting starts";
}

} // namespace
