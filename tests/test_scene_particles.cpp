#include "scenes/scene_particles.h"

#include "core/gl_ext.h"
#include "platform/platform.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/images.h"
#include "support/particles.h"
#include "support/scene_capture.h"
#include "textures/texture_manager.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

const int WIDTH = 1024, HEIGHT = 768;

// Mean of the red channel of an RGBA frame.
double mean_red(const std::vector<uint8_t>& p)
{
    double sum = 0;
    for (std::size_t i = 0; i < p.size(); i += 4)
        sum += p[i];
    return sum / double(p.size() / 4);
}

class SceneParticles : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (gl_test_context())
            use_show_environment();
    }

    // A loaded scene whose emitter draws the same numbers in every test.
    std::unique_ptr<cSceneParticles> make_scene(cClock* clock)
    {
        crt_srand(1);
        std::unique_ptr<cSceneParticles> scene(new cSceneParticles(clock));
        scene->load();
        return scene;
    }

    // Runs draw_step into the test's own target over a clear colour and
    // reads it back (RGBA, bottom row first).
    template <class F>
    std::vector<uint8_t> render(F draw_step, float clear)
    {
        OffscreenTarget target(WIDTH, HEIGHT, true);
        glClearColor(clear, clear, clear, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_step();
        return target.read();
    }
};

TEST(SceneParticlesBeat, points_go_from_half_dark_to_0_1_by_300_ms_and_the_flash_from_0_75_to_nothing_by_400_ms)
{
    // {age, point alpha at both ends of the flicker, flash, their tolerances}:
    // the first frame after a beat is 0 to 17 ms late; the flash falls
    // linearly over 400 ms, (1 - 150 / 400) x 0.75 at 150.
    const float rows[][6] = {{0, 0.5f, 0.5f, 0.75f, 0.03f, 0.04f},       {17, 0.5f, 0.5f, 0.75f, 0.03f, 0.04f},
                             {150, 0.3f, 0.3f, 0.46875f, 0.011f, 1e-5f}, {300, 0.1f, 0.11f, 0.1875f, 1e-5f, 1e-5f},
                             {400, 0.1f, 0.11f, 0.0f, 1e-5f, 0.0f},      {1000000, 0.1f, 0.11f, 0.0f, 1e-5f, 0.0f}};
    for (const auto& r : rows) {
        const float darkness = particles_beat_darkness(int32_t(r[0]));
        EXPECT_NEAR(r[1], particles_point_alpha(darkness, 0), r[4]) << r[0];
        EXPECT_NEAR(r[2], particles_point_alpha(darkness, CRT_RAND_MAX), r[4]) << r[0];
        EXPECT_NEAR(r[3], particles_flash_alpha(int32_t(r[0])), r[5]) << r[0];
    }
}

TEST_F(SceneParticles, a_show_time_past_300_ms_before_any_beat_draws_the_background_without_a_flash_and_a_beat_with_one)
{
    REQUIRE_GL_CONTEXT();
    cClock clock;
    clock.start = 0;
    clock.now = 22608; // the scene's first frame in the show, beat_time still 0
    std::unique_ptr<cSceneParticles> scene = make_scene(&clock);
    ASSERT_EQ(0, scene->beat_time);
    const std::vector<uint8_t> before_any = render([&] { scene->draw_background(); }, 0.0f);
    scene->beat_time = clock.now - 5000; // a beat long past: the same picture
    EXPECT_EQ(before_any, render([&] { scene->draw_background(); }, 0.0f));

    for (int32_t code = EVENT_CUE_FIRST; code <= EVENT_CUE_LAST; ++code) {
        const demo_event e = {code, clock.now - 16 + code};
        scene->handle_event(&e);
    }
    EXPECT_EQ(clock.now, scene->beat_time) << "only the beat (16) is recorded";
    const std::vector<uint8_t> flashed = render([&] { scene->draw_background(); }, 0.0f);
    EXPECT_GT(mean_red(flashed), mean_red(before_any) + 20.0);
    // The grid picture fills the screen, bright, in both.
    EXPECT_GT(mean_red(before_any), 120.0);
}

TEST_F(SceneParticles, points_darken_the_picture_more_at_a_beat_than_300_ms_after_it)
{
    REQUIRE_GL_CONTEXT();
    cClock clock;
    clock.start = 0;
    clock.now = 30000;
    std::unique_ptr<cSceneParticles> scene = make_scene(&clock);
    for (int i = 0; i < 60; ++i)
        scene->update();
    auto cloud = [&] {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(120.0, double(WIDTH) / HEIGHT, 1.0, 5000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(50, 20, 50, 0, 0, 0, 0, 1, 0);
        scene->draw_particles();
    };
    scene->beat_time = 30000 - 300;
    const double after = 255.0 - mean_red(render(cloud, 1.0f));
    scene->beat_time = 30000;
    const double at_beat = 255.0 - mean_red(render(cloud, 1.0f));
    scene->beat_time = 30000 - 300;
    const double after2 = 255.0 - mean_red(render(cloud, 1.0f));
    EXPECT_GT(after, 0.05) << "the points darken the white beneath them";
    // Alpha about 0.5 against 0.1. The dense core is black either way, so
    // the whole frame darkens by less than the five times of the alpha.
    EXPECT_GT(at_beat, after * 1.3);
    EXPECT_NEAR(after, after2, after * 0.1) << "300 ms after the beat, whenever drawn";
}

TEST_F(SceneParticles, the_cloud_moves_by_a_fixed_step_per_frame_whatever_the_frame_time)
{
    REQUIRE_GL_CONTEXT();
    cClock fast, slow;
    std::unique_ptr<cSceneParticles> a = make_scene(&fast);
    std::unique_ptr<cSceneParticles> b = make_scene(&slow);
    for (int i = 0; i < 30; ++i) {
        fast.prev = fast.now;
        fast.now += 10; // 100 frames a second
        slow.prev = slow.now;
        slow.now += 40; // 25 frames a second
        a->update();
        b->update();
    }
    EXPECT_EQ(a->particles.position, b->particles.position);
    EXPECT_EQ(a->particles.velocity, b->particles.velocity);
}

TEST_F(SceneParticles, load_takes_the_three_pictures_and_emission_revives_100_a_frame_up_to_40000_living_particles)
{
    REQUIRE_GL_CONTEXT();
    cClock clock;
    std::unique_ptr<cSceneParticles> scene = make_scene(&clock);
    ASSERT_EQ(40000u, scene->particles.size());
    EXPECT_EQ(0u, living(scene->particles).size());
    ASSERT_TRUE(scene->loaded && scene->particle_texture && scene->grid_texture && scene->dots_texture);
    EXPECT_EQ(GLenum(GL_TEXTURE_RECTANGLE_ARB), scene->grid_texture->target) << "1024x768: texel coordinates";
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), scene->dots_texture->target) << "repeated: power of two";
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), scene->particle_texture->target);
    EXPECT_EQ(40000u, scene->renderer.get_capacity());
    scene->update();
    scene->load(); // a second load keeps the pool
    EXPECT_EQ(40000u, scene->particles.size());
    EXPECT_EQ(100u, living(scene->particles).size());
    // Newly emitted particles start on the 0.2 x 20 strip of the ground.
    EXPECT_LE(scene->particles.position[0], 0.2f);
    EXPECT_LE(scene->particles.position[2], 20.0f);
    for (int i = 1; i < 400; ++i)
        scene->update();
    EXPECT_EQ(40000u, living(scene->particles).size());

    // Nobody is revived any more: the first particle goes on from where it
    // was, by its velocity times the fixed 0.05 s step.
    const float y = scene->particles.position[1];
    const float vy = scene->particles.velocity[1];
    scene->update();
    EXPECT_EQ(40000u, living(scene->particles).size());
    EXPECT_NEAR(y + vy * 0.05f, scene->particles.position[1], 1e-3f);
}

TEST_F(SceneParticles, a_particle_exactly_on_an_attractor_keeps_a_finite_velocity)
{
    REQUIRE_GL_CONTEXT();
    cClock clock;
    std::unique_ptr<cSceneParticles> scene = make_scene(&clock);
    scene->update(); // particle 0 is alive
    ASSERT_TRUE(scene->particles.is_alive(0));
    float* p = &scene->particles.position[0];
    float* v = &scene->particles.velocity[0];
    p[0] = 0.0f;
    p[1] = 55.0f;
    p[2] = 0.0f;
    v[0] = v[1] = v[2] = 0.0f;
    scene->update();
    // Still on the first attractor (it did not move this step); only the
    // second one, (19, 0, -10) with strength 2, pulls it.
    const float d[3] = {19.0f, -55.0f, -10.0f};
    const float d2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    for (int c = 0; c < 3; ++c) {
        EXPECT_TRUE(std::isfinite(v[c])) << c;
        EXPECT_NEAR(2.0f * d[c] / d2, v[c], 1e-6f) << c;
    }
}

TEST(SceneParticlesShow, captured_frames_at_two_show_times_show_a_picture_that_moves_and_log_no_error)
{
    const SceneCapture run = capture_scene_frames({25000, 30000}, 4.0, 240);
    SKIP_WITHOUT_X_SERVER(run);
    ASSERT_TRUE(capture_is_clean(run, 2, 2, {{0, 1}}, 1.0));
}

} // namespace
