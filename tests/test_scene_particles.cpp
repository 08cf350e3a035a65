#include "scenes/scene_particles.h"

#include "core/gl_ext.h"
#include "platform/platform.h"
#include "rendertargets/render_target.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/scene_capture.h"
#include "support/show_runner.h"
#include "textures/texture_manager.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

const int WIDTH = 1024, HEIGHT = 768;

uint32_t living(const CParticleSystem& s)
{
    uint32_t n = 0;
    for (uint32_t i = 0; i < s.size(); ++i)
        n += s.is_alive(i) ? 1u : 0u;
    return n;
}

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
        if (!gl_test_context())
            return;
        use_show_environment();
        target = new cRenderTarget_fbo(WIDTH, HEIGHT, true);
        target->create();
    }
    static void TearDownTestSuite()
    {
        delete target;
        target = nullptr;
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
        target->begin();
        glClearColor(clear, clear, clear, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_step();
        std::vector<uint8_t> pixels(std::size_t(WIDTH) * HEIGHT * 4);
        glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        target->end();
        return pixels;
    }

    static cRenderTarget_fbo* target;
};
cRenderTarget_fbo* SceneParticles::target = nullptr;

TEST(SceneParticlesBeat, points_are_about_half_dark_and_the_flash_three_quarters_at_a_beat)
{
    // The first frame after a beat, 0 to 17 ms later, with any flicker.
    for (int32_t age : {0, 17}) {
        for (int r : {0, CRT_RAND_MAX}) {
            EXPECT_NEAR(0.5f, particles_point_alpha(particles_beat_darkness(age), r), 0.03f) << age << " " << r;
        }
        EXPECT_NEAR(0.75f, particles_flash_alpha(age), 0.04f) << age;
    }
}

TEST(SceneParticlesBeat, at_150_ms_points_are_at_0_3_and_the_flash_has_lost_three_eighths)
{
    for (int r : {0, CRT_RAND_MAX})
        EXPECT_NEAR(0.3f, particles_point_alpha(particles_beat_darkness(150), r), 0.011f) << r;
    // The flash falls linearly over 400 ms: (1 - 150 / 400) x 0.75.
    EXPECT_NEAR(0.46875f, particles_flash_alpha(150), 1e-5f);
}

TEST(SceneParticlesBeat, from_300_ms_the_points_are_back_to_0_1_and_from_400_ms_there_is_no_flash)
{
    for (int32_t age : {300, 301, 399, 400, 22608, 1000000})
        EXPECT_EQ(0.0f, particles_beat_darkness(age)) << age;
    EXPECT_NEAR(0.1f, particles_point_alpha(0.0f, 0), 1e-7f);
    EXPECT_NEAR(0.11f, particles_point_alpha(0.0f, CRT_RAND_MAX), 1e-5f);
    for (int32_t age : {400, 401, 22608, 1000000})
        EXPECT_EQ(0.0f, particles_flash_alpha(age)) << age;
    EXPECT_GT(particles_flash_alpha(301), 0.0f);
}

TEST_F(SceneParticles, a_show_time_past_300_ms_before_any_beat_draws_the_background_without_a_flash)
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

    const demo_event beat = {16, clock.now};
    scene->handle_event(&beat);
    const std::vector<uint8_t> flashed = render([&] { scene->draw_background(); }, 0.0f);
    EXPECT_GT(mean_red(flashed), mean_red(before_any) + 20.0);
    // The grid picture fills the screen, bright, in both.
    EXPECT_GT(mean_red(before_any), 120.0);
}

TEST_F(SceneParticles, only_beats_are_recorded)
{
    cClock clock;
    cSceneParticles scene(&clock);
    for (int32_t code = EVENT_CUE_FIRST; code <= EVENT_CUE_LAST; ++code) {
        const demo_event e = {code, 1000 + code};
        scene.handle_event(&e);
    }
    EXPECT_EQ(1000 + 16, scene.beat_time);
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

    // One more frame moves particle 0 by its velocity times 0.05 s.
    const std::vector<float> p0(a->particles.position.begin(), a->particles.position.begin() + 3);
    const std::vector<float> v0(a->particles.velocity.begin(), a->particles.velocity.begin() + 3);
    a->update();
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(p0[c] + v0[c] * 0.05f, a->particles.position[c], 1e-4f) << c;
}

TEST_F(SceneParticles, emission_revives_100_a_frame_and_stops_at_40000_living_particles)
{
    REQUIRE_GL_CONTEXT();
    cClock clock;
    std::unique_ptr<cSceneParticles> scene = make_scene(&clock);
    ASSERT_EQ(40000u, scene->particles.size());
    EXPECT_EQ(0u, living(scene->particles));
    scene->update();
    EXPECT_EQ(100u, living(scene->particles));
    // Newly emitted particles start on the 0.2 x 20 strip of the ground.
    EXPECT_LE(scene->particles.position[0], 0.2f);
    EXPECT_LE(scene->particles.position[2], 20.0f);
    for (int i = 1; i < 400; ++i)
        scene->update();
    EXPECT_EQ(40000u, living(scene->particles));

    // Nobody is revived any more: the first particle goes on from where it was.
    const float y = scene->particles.position[1];
    const float vy = scene->particles.velocity[1];
    scene->update();
    EXPECT_EQ(40000u, living(scene->particles));
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

TEST_F(SceneParticles, load_takes_the_three_pictures_and_a_second_load_keeps_the_pool)
{
    REQUIRE_GL_CONTEXT();
    cClock clock;
    std::unique_ptr<cSceneParticles> scene = make_scene(&clock);
    ASSERT_TRUE(scene->loaded);
    ASSERT_TRUE(scene->particle_texture && scene->grid_texture && scene->dots_texture);
    EXPECT_EQ(GLenum(GL_TEXTURE_RECTANGLE_ARB), scene->grid_texture->target) << "1024x768: texel coordinates";
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), scene->dots_texture->target) << "repeated: power of two";
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), scene->particle_texture->target);
    EXPECT_EQ(40000u, scene->renderer.get_capacity());
    scene->update();
    scene->load();
    EXPECT_EQ(40000u, scene->particles.size());
    EXPECT_EQ(100u, living(scene->particles));
}

TEST(SceneParticlesShow, captured_frames_at_two_show_times_show_a_picture_that_moves_and_log_no_error)
{
    const SceneCapture run = capture_scene_frames({25000, 30000}, 4.0, 240);
    if (!run.exited && run.log.empty())
        GTEST_SKIP() << "no Xvfb for the capture";
    ASSERT_TRUE(capture_is_clean(run, 2, 2));
    EXPECT_GT(frame_difference(run.frames[0], run.frames[1]), 1.0);
}

} // namespace
