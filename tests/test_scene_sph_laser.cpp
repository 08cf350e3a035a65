#include "scenes/scene_sph_laser.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "rendertargets/render_target.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/scene_capture.h"
#include "support/show_runner.h"
#include "textures/texture_manager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

const int32_t BEAT = 16, SNARE = 17, LEAD = 25;

// A scene without GL for the event and flash rules: handle_event and update
// touch no GL state.
struct EventScene
{
    EventScene()
    {
        clock.start = 0;
        sph_laser_beat_count = 0;
        sph_laser_lead_count = 0;
    }
    void send(int32_t code, int32_t t)
    {
        clock.now = t;
        const demo_event e = {code, t};
        scene.handle_event(&e);
    }
    float alpha_at(int32_t t)
    {
        clock.now = t;
        scene.update();
        return scene.sphere_alpha;
    }

    cClock clock;
    cSceneSphLaser scene{&clock};
};

// --- beats, leads, rings and the block: the rules ------------------------------------

TEST(SphLaserBeat, beats_1_2_3_and_5_throw_the_camera_back_and_beat_4_does_not)
{
    EventScene s;
    const struct
    {
        int32_t time;
        bool moves;
    } beats[] = {{1000, true}, {2000, true}, {3000, true}, {4000, false}, {5000, true}, {6000, false}, {7000, true}};
    int32_t expected = 0;
    for (const auto& b : beats) {
        s.send(BEAT, b.time);
        if (b.moves)
            expected = b.time;
        EXPECT_EQ(expected, s.scene.beat_time) << "beat at " << b.time;
    }
    EXPECT_EQ(7, sph_laser_beat_count);
}

TEST(SphLaserBeat, the_eye_stands_at_36_at_an_accepted_beat_and_glides_in_to_11_by_500_ms)
{
    EXPECT_FLOAT_EQ(36.0f, sph_laser_eye_distance(0));
    EXPECT_NEAR(36.0f - 25.0f * std::sqrt(0.5f), sph_laser_eye_distance(250), 1e-4f) << "half way: 45 degrees";
    EXPECT_FLOAT_EQ(11.0f, sph_laser_eye_distance(500));
    EXPECT_FLOAT_EQ(11.0f, sph_laser_eye_distance(60000));
}

TEST(SphLaserLead, spheres_stand_at_005_and_a_fresh_lead_among_the_first_36_raises_them_to_015)
{
    EventScene s;
    EXPECT_FLOAT_EQ(0.05f, s.alpha_at(10000));
    s.send(LEAD, 10000);
    EXPECT_FLOAT_EQ(0.15f, s.alpha_at(10000));
    EXPECT_NEAR(0.10f, s.alpha_at(10050), 1e-6f);
    EXPECT_FLOAT_EQ(0.05f, s.alpha_at(10100));
    EXPECT_TRUE(s.scene.effects.empty()) << "an ended flash leaves the list";
}

TEST(SphLaserLead, the_36th_lead_lasts_300_ms_and_every_flash_from_then_on_adds_up_to_025)
{
    EventScene s;
    sph_laser_lead_count = 34;
    s.send(LEAD, 20000); // the 35th: 100 ms at 0.1
    EXPECT_NEAR(0.10f, s.alpha_at(20050), 1e-6f);
    EXPECT_FLOAT_EQ(0.05f, s.alpha_at(20100));

    s.send(LEAD, 21000); // the 36th
    ASSERT_EQ(36, sph_laser_lead_count);
    EXPECT_FLOAT_EQ(0.30f, s.alpha_at(21000));
    EXPECT_NEAR(0.175f, s.alpha_at(21150), 1e-6f) << "half way through 300 ms";
    EXPECT_EQ(1u, s.scene.effects.size());
    EXPECT_FLOAT_EQ(0.05f, s.alpha_at(21300));
    EXPECT_TRUE(s.scene.effects.empty());

    s.send(LEAD, 22000); // the 37th: 100 ms again, at 0.25
    EXPECT_NEAR(0.175f, s.alpha_at(22050), 1e-6f);
    // Leads 71, 103, 135 and 169 start a phrase with a long flash too.
    sph_laser_lead_count = 70;
    s.send(LEAD, 23000);
    EXPECT_NEAR(0.175f, s.alpha_at(23150), 1e-6f);
}

TEST(SphLaserRing, a_ring_is_one_screen_height_and_at_full_grey_half_a_second_after_its_snare)
{
    const struct
    {
        int32_t age;
        float size, grey;
    } rows[] = {
        {0, 2.0f, 0.85f}, {500, 1.0f, 0.85f}, {830, 0.34f, 0.85f}, {900, 0.2f, 0.5f}, {1000, 0.0f, 0.0f}, {5000, 0.0f, 0.0f},
    };
    for (const auto& r : rows) {
        EXPECT_NEAR(r.size, sph_laser_ring_size(r.age), 1e-5f) << r.age;
        EXPECT_NEAR(r.grey, sph_laser_ring_grey(r.age), 1e-5f) << r.age;
    }
}

TEST(SphLaserRing, a_long_run_keeps_only_the_rings_and_flashes_still_showing)
{
    EventScene s;
    // Ten minutes of a snare every 870 ms and four leads a beat.
    for (int32_t t = 1000; t < 600000; t += 870) {
        s.send(SNARE, t);
        for (int k = 0; k < 8; ++k)
            s.send(LEAD, t + 109 * k);
        s.alpha_at(t + 800);
        ASSERT_LE(s.scene.effects.size(), 4u) << "at " << t;
    }
    s.send(SNARE, 700000);
    s.alpha_at(700500);
    ASSERT_EQ(1u, s.scene.effects.size()) << "a ring half way in stays";
    s.alpha_at(701000);
    EXPECT_TRUE(s.scene.effects.empty()) << "an ended ring leaves the list";
}

TEST(SphLaserLogo, the_cube_block_is_invisible_before_203803_ms_and_opaque_from_205303_ms)
{
    EXPECT_FLOAT_EQ(0.0f, sph_laser_logo_alpha(196521));
    EXPECT_FLOAT_EQ(0.0f, sph_laser_logo_alpha(203803));
    EXPECT_NEAR(0.5f, sph_laser_logo_alpha(204553), 1e-4f);
    EXPECT_NEAR(1.0f, sph_laser_logo_alpha(205303), 1e-6f);
    EXPECT_FLOAT_EQ(1.0f, sph_laser_logo_alpha(224000));
}

// --- with GL --------------------------------------------------------------------------

class SphLaser : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!gl_test_context())
            return;
        use_show_environment();
        scene = new cSceneSphLaser(&clock);
        scene->load();
    }
    static void TearDownTestSuite()
    {
        delete scene;
        scene = nullptr;
    }
    void SetUp() override
    {
        clock.start = 0;
        if (scene)
            scene->effects.clear();
    }

    // The whole frame as the show presents it, read from the window.
    static std::vector<uint8_t> frame_at(int32_t e)
    {
        clock.now = e;
        scene->update();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene->draw();
        std::vector<uint8_t> p(1024 * 768 * 4);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, 1024, 768, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
        return p;
    }
    // Mean of r, g and b over a square of side 2 * half around (x, y).
    static void mean_rgb(const std::vector<uint8_t>& p, int width, int x, int y, int half, double rgb[3])
    {
        rgb[0] = rgb[1] = rgb[2] = 0;
        int n = 0;
        for (int j = y - half; j < y + half; ++j)
            for (int i = x - half; i < x + half; ++i, ++n)
                for (int c = 0; c < 3; ++c)
                    rgb[c] += p[(std::size_t(j) * width + i) * 4 + c];
        for (int c = 0; c < 3; ++c)
            rgb[c] /= n;
    }

    static cClock clock;
    static cSceneSphLaser* scene;
};
cClock SphLaser::clock;
cSceneSphLaser* SphLaser::scene = nullptr;

TEST_F(SphLaser, load_takes_the_bare_sphere_the_intro_cube_block_with_its_materials_and_both_maps)
{
    REQUIRE_GL_CONTEXT();
    ASSERT_TRUE(scene->loaded);
    cMeshObj* sphere = dynamic_cast<cMeshObj*>(scene->sphere);
    cMeshObj* cubes = dynamic_cast<cMeshObj*>(scene->logo_cubes);
    ASSERT_NE(nullptr, sphere);
    ASSERT_NE(nullptr, cubes);
    EXPECT_TRUE(sphere->materials.empty());
    EXPECT_TRUE(sphere->flags & MESH_NORMALS) << "the sphere map needs them";
    EXPECT_FALSE(cubes->materials.empty());
    for (cTexture* t : {scene->sphere_texture, scene->ring_texture}) {
        ASSERT_NE(nullptr, t);
        EXPECT_EQ(GLenum(GL_TEXTURE_2D), t->target) << "power-of-two sides";
    }
    for (const char* name : {"lin_blend", "additive", "col_dodge", "levels_shader", "blur_shader"})
        EXPECT_EQ(1u, get_shader_container()->shaders.count(name)) << name;
    iMesh* before = scene->sphere;
    scene->load();
    EXPECT_EQ(before, scene->sphere);
}

TEST_F(SphLaser, a_snare_ring_half_a_second_on_runs_through_0_42_of_the_layer_height_and_leaves_the_centre_dark)
{
    REQUIRE_GL_CONTEXT();
    const int w = 512, h = 384;
    cRenderTarget_fbo rings(w, h, false);
    rings.create();
    const demo_event snare = {SNARE, 200000};
    scene->handle_event(&snare);
    clock.now = 200500;
    rings.begin();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    scene->draw_rings();
    std::vector<uint8_t> p(std::size_t(w) * h * 4);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    rings.end();
    // The ring picture has its bright line at 0.42 of its size; the scene
    // draws it one layer height tall (and 0.75 as wide, round on 4:3).
    double on[3], centre[3], beside[3];
    mean_rgb(p, w, w / 2, int(h * 0.5 + 0.42 * h), 2, on);
    mean_rgb(p, w, w / 2, h / 2, 4, centre);
    mean_rgb(p, w, w / 2 + int(0.42 * h), h / 2, 2, beside); // 0.75 of the width is h
    EXPECT_GT(on[0] + on[1] + on[2], 300.0);
    EXPECT_GT(beside[0] + beside[1] + beside[2], 300.0) << "round on the 4:3 frame";
    EXPECT_LT(centre[0] + centre[1] + centre[2], 15.0);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(SphLaser, the_orange_block_shows_at_the_centre_after_205303_ms_and_not_before_203803_ms)
{
    REQUIRE_GL_CONTEXT();
    scene->init();
    scene->beat_time = 0; // the eye stands in at 11
    double before[3], after[3];
    mean_rgb(frame_at(203700), 1024, 512, 384, 12, before);
    mean_rgb(frame_at(205400), 1024, 512, 384, 12, after);
    scene->exit();
    EXPECT_GT(after[0], 200.0);
    EXPECT_GT(after[0], after[2] + 100.0) << "orange";
    EXPECT_GT(after[0] - before[0] + after[1] - before[1], 60.0);
}

TEST_F(SphLaser, a_beat_throws_the_camera_back_and_500_ms_later_the_picture_has_changed)
{
    REQUIRE_GL_CONTEXT();
    scene->init();
    sph_laser_beat_count = 0;
    const demo_event beat = {BEAT, 198000};
    scene->handle_event(&beat);
    const std::vector<uint8_t> at_beat = frame_at(198000);
    const std::vector<uint8_t> later = frame_at(198500);
    const std::vector<uint8_t> still = frame_at(198510);
    scene->exit();
    double near_far = 0, settled = 0;
    for (std::size_t i = 0; i < later.size(); ++i) {
        near_far += std::abs(int(at_beat[i]) - int(later[i]));
        settled += std::abs(int(later[i]) - int(still[i]));
    }
    EXPECT_GT(near_far, 4.0 * settled) << "the glide, not the nest's own turn, moves the picture";
}

TEST_F(SphLaser, exit_leaves_the_show_defaults_and_no_light_or_texture_generation)
{
    REQUIRE_GL_CONTEXT();
    scene->init();
    frame_at(210000);
    scene->exit();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLboolean depth_mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    EXPECT_TRUE(depth_mask);
    GLint src = 0, dst = 0, depth_func = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    glGetIntegerv(GL_DEPTH_FUNC, &depth_func);
    EXPECT_EQ(GL_SRC_ALPHA, src);
    EXPECT_EQ(GL_ONE_MINUS_SRC_ALPHA, dst);
    EXPECT_EQ(GL_LESS, depth_func);
    GLfloat attenuation = -1.0f;
    glGetLightfv(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, &attenuation);
    EXPECT_EQ(0.0f, attenuation);
    EXPECT_EQ("null_shader", get_shader_container()->current_shader);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST(SphLaserShow, frames_at_a_beat_after_it_and_with_the_block_change_and_log_no_error)
{
    const SceneCapture run = capture_scene_frames({198270, 198770, 206000}, 2.0, 600);
    if (!run.exited && run.log.empty())
        GTEST_SKIP() << "no Xvfb for the capture";
    ASSERT_TRUE(capture_is_clean(run, 3, 3));
    EXPECT_GT(frame_difference(run.frames[0], run.frames[1]), 2.0) << "the camera glides in";
    EXPECT_GT(frame_difference(run.frames[1], run.frames[2]), 2.0);
}

} // namespace
