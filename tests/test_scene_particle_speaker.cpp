#include "scenes/scene_particle_speaker.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "rendertargets/render_target.h"
#include "scenes/camera_path.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/scene_capture.h"
#include "support/show_runner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>
#include <vector>

namespace {

const int32_t BEAT = 16, SNARE = 17;

// A scene whose particle pool and emitter are set up as its load sets them,
// without GL (the renderer's buffer is not needed to step particles).
struct SteppedScene
{
    SteppedScene()
    {
        clock.start = 0;
        const float gravity[3] = {0.0f, 10.0f, 0.0f};
        scene.particles.init(10000, 200.0f, 0.0f, 3.0f, gravity, 10.0f);
        CParticleEmitterCircle* circle = new CParticleEmitterCircle();
        const float centre[3] = {0.0f, 85.0f, 0.0f};
        circle->set_position(centre);
        circle->set_radius(165.0f);
        scene.emitter = circle;
    }
    uint32_t alive() const
    {
        uint32_t n = 0;
        for (uint32_t i = 0; i < scene.particles.size(); ++i)
            n += scene.particles.is_alive(i) ? 1 : 0;
        return n;
    }
    void beat_at(int32_t t)
    {
        clock.now = t;
        const demo_event e = {BEAT, t};
        scene.handle_event(&e);
    }

    cClock clock;
    cSceneParticleSpeaker scene{&clock};
};

// --- the beat ----------------------------------------------------------------------

TEST(ParticleSpeakerBeat, burst_is_1500_at_the_beat_972_ten_ms_later_and_none_from_25_ms)
{
    EXPECT_FLOAT_EQ(1500.0f, ps_emit_limit(0));
    EXPECT_NEAR(972.0f, ps_emit_limit(10), 0.01f);
    EXPECT_FLOAT_EQ(0.0f, ps_emit_limit(25));
    EXPECT_FLOAT_EQ(0.0f, ps_emit_limit(400));

    SteppedScene at_beat;
    at_beat.beat_at(80000);
    at_beat.scene.step_particles(0.0f);
    EXPECT_EQ(1500u, at_beat.alive());

    SteppedScene later;
    later.beat_at(80000);
    later.clock.now = 80010;
    later.scene.step_particles(0.0f);
    EXPECT_EQ(972u, later.alive());
}

TEST(ParticleSpeakerBeat, from_25_ms_after_a_beat_only_particle_0_is_revived)
{
    SteppedScene s;
    s.beat_at(80000);
    s.clock.now = 80025;
    s.scene.step_particles(0.0f);
    EXPECT_EQ(1u, s.alive());
    EXPECT_TRUE(s.scene.particles.is_alive(0));
}

TEST(ParticleSpeakerBeat, membrane_weight_is_1_at_a_beat_half_after_50_ms_and_0_from_100_ms)
{
    EXPECT_FLOAT_EQ(1.0f, ps_morph_weight(0));
    EXPECT_FLOAT_EQ(0.5f, ps_morph_weight(50));
    EXPECT_FLOAT_EQ(0.0f, ps_morph_weight(100));
    EXPECT_FLOAT_EQ(0.0f, ps_morph_weight(5000));
}

TEST(ParticleSpeakerBeat, particles_are_half_transparent_at_a_beat_and_the_flash_is_gone_after_200_ms)
{
    EXPECT_FLOAT_EQ(0.5f, ps_particle_alpha(0));
    EXPECT_FLOAT_EQ(1.0f, ps_particle_alpha(250));
    EXPECT_FLOAT_EQ(0.5f, ps_overlay_grey(0));
    EXPECT_FLOAT_EQ(0.5f, ps_overlay_grey(100));
    EXPECT_FLOAT_EQ(0.25f, ps_overlay_grey(150));
    EXPECT_FLOAT_EQ(0.0f, ps_overlay_grey(200));
}

TEST(ParticleSpeakerBeat, beat_stores_the_show_time_of_handling_and_an_overlay_offset_within_0_66)
{
    SteppedScene s;
    for (int k = 0; k < 200; ++k) {
        s.clock.now = 70000 + 435 * k;
        const demo_event e = {BEAT, 69990 + 435 * k}; // handled a frame after it fell due
        s.scene.handle_event(&e);
        EXPECT_EQ(70000 + 435 * k, s.scene.beat_time);
        for (float o : s.scene.overlay_offset) {
            EXPECT_GE(o, 0.0f);
            EXPECT_LE(o, 0.66f);
        }
    }
}

TEST(ParticleSpeakerBeat, beat_phase_is_not_advanced_so_the_third_attractor_never_pulls)
{
    SteppedScene s;
    s.beat_at(80000);
    EXPECT_EQ(-10, s.scene.beat_phase);
    for (int frame = 0; frame < 30; ++frame) {
        s.clock.now += 16;
        s.scene.update();
    }
    EXPECT_EQ(-10, s.scene.beat_phase);
    EXPECT_FLOAT_EQ(0.0f, s.scene.third_attractor_strength);
}

// --- attractors ----------------------------------------------------------------------

TEST(ParticleSpeakerAttractors, pull_once_per_frame_by_root_distance_to_the_high_one_and_distance_to_the_middle)
{
    SteppedScene s;
    s.clock.now = 90000; // long after the last beat: no emission
    s.scene.particles.set_alive(0);
    float* p = &s.scene.particles.position[0];
    p[0] = 0.0f;
    p[1] = 100.0f;
    p[2] = 0.0f;
    s.scene.step_particles(0.0f);
    const double d1 = std::sqrt(50.0 * 50.0 + 200.0 * 200.0);
    const double k1 = 10.0 / std::sqrt(d1) / d1;
    const float* v = &s.scene.particles.velocity[0];
    EXPECT_NEAR(50.0 * k1, v[0], 1e-5);
    EXPECT_NEAR(200.0 * k1 + 5.0 / 100.0, v[1], 1e-5);
    EXPECT_NEAR(0.0, v[2], 1e-6);
    EXPECT_EQ(1u, s.alive()) << "a pull does not emit";
}

TEST(ParticleSpeakerAttractors, particle_sitting_on_an_attractor_keeps_a_finite_velocity)
{
    SteppedScene s;
    s.clock.now = 90000;
    s.scene.particles.set_alive(0);
    float* p = &s.scene.particles.position[0];
    p[0] = 0.0f;
    p[1] = 200.0f;
    p[2] = 0.0f;
    s.scene.step_particles(0.0f);
    for (int c = 0; c < 3; ++c)
        EXPECT_TRUE(std::isfinite(s.scene.particles.velocity[c])) << c;
}

// --- paths ---------------------------------------------------------------------------

TEST(ParticleSpeakerPaths, thirteen_snares_after_the_start_bring_the_path_back_to_1_not_0)
{
    cClock clock;
    cSceneParticleSpeaker scene(&clock);
    EXPECT_EQ(0, scene.path_index);
    for (int k = 1; k <= 13; ++k) {
        clock.now = 60000 + 870 * k;
        const demo_event e = {SNARE, clock.now - 5};
        scene.handle_event(&e);
        EXPECT_EQ(k <= 12 ? k : 1, scene.path_index) << k;
        EXPECT_EQ(clock.now, scene.path_start);
    }
}

TEST(ParticleSpeakerPaths, path_2_reaches_t_1_1500_ms_after_its_snare)
{
    cClock clock;
    cSceneParticleSpeaker scene(&clock);
    scene.path_index = 1;
    clock.now = 60000;
    const demo_event e = {SNARE, 59995};
    scene.handle_event(&e);
    ASSERT_EQ(2, scene.path_index);
    EXPECT_FLOAT_EQ(0.5f, ps_path_parameter(scene.path_index, 60750 - scene.path_start));
    EXPECT_FLOAT_EQ(1.0f, ps_path_parameter(scene.path_index, 61500 - scene.path_start));
    EXPECT_STREQ("ps_cam03.pth", PS_PATH_FILES[2]);
    EXPECT_EQ(3000, PS_FLIGHT_MS[0]);
    EXPECT_EQ(2000, PS_FLIGHT_MS[13]);
}

// --- with the show's data --------------------------------------------------------------

class ParticleSpeaker : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!gl_test_context())
            return;
        use_show_environment();
        scene = new cSceneParticleSpeaker(&clock);
        scene->load();
    }
    static void TearDownTestSuite()
    {
        delete scene;
        scene = nullptr;
    }

    static cClock clock;
    static cSceneParticleSpeaker* scene;
};
cClock ParticleSpeaker::clock;
cSceneParticleSpeaker* ParticleSpeaker::scene = nullptr;

TEST_F(ParticleSpeaker, load_fills_every_mesh_texture_path_and_shader_and_a_second_load_does_nothing)
{
    REQUIRE_GL_CONTEXT();
    for (iMesh* m : {scene->silo_wall, scene->silo_doors, scene->silo_doors_morph, scene->silo_plate,
                     scene->silo_speaker, scene->silo_speaker_morph, scene->silo_speaker_stiverter})
        EXPECT_NE(nullptr, m);
    ASSERT_NE(nullptr, scene->speaker_morph);
    EXPECT_EQ(scene->silo_speaker, scene->speaker_morph->base);
    ASSERT_NE(nullptr, scene->overlay_texture);
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), scene->overlay_texture->target) << "addressed 0..1, so power-of-two sides";
    for (const char* name : {"lm_shader", "pdist_shader", "morph_shader"})
        EXPECT_EQ(1u, get_shader_container()->shaders.count(name)) << name;
    EXPECT_EQ(10000u, scene->particles.size());
    EXPECT_EQ(10000u, scene->renderer.get_capacity());
    iMesh* wall = scene->silo_wall;
    scene->load();
    EXPECT_EQ(wall, scene->silo_wall);
}

TEST_F(ParticleSpeaker, camera_flights_stay_inside_the_silo_clear_of_the_mount_and_move)
{
    REQUIRE_GL_CONTEXT();
    for (int i = 0; i < PS_PATH_COUNT; ++i) {
        const std::vector<cCameraKey>& keys = scene->paths[i].get_keys();
        ASSERT_GE(keys.size(), 8u) << PS_PATH_FILES[i];
        for (const cCameraKey& k : keys) {
            const float r = std::hypot(k.position[0], k.position[2]);
            EXPECT_LT(r, 330.0f) << PS_PATH_FILES[i] << ": inside the wall";
            EXPECT_GT(k.position[1], 10.0f) << PS_PATH_FILES[i] << ": above the floor";
            EXPECT_LT(k.position[1], 880.0f) << PS_PATH_FILES[i] << ": under the top";
            // The mount's struts sweep radius 170 .. 360 below y 150 as the world turns.
            if (r > 165.0f) {
                EXPECT_GT(k.position[1], 150.0f) << PS_PATH_FILES[i] << ": over the struts";
            }
            EXPECT_NEAR(1.0f, k.up[1], 1e-4f) << "y stays up";
        }
        const float* a = keys.front().position;
        const float* b = keys.back().position;
        EXPECT_GT(std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]), 50.0f) << PS_PATH_FILES[i] << " flies";
    }
}

TEST_F(ParticleSpeaker, morph_target_moves_only_the_membrane_and_only_upwards)
{
    REQUIRE_GL_CONTEXT();
    const cMeshObj* base = dynamic_cast<cMeshObj*>(scene->silo_speaker);
    const cMeshObj* pushed = dynamic_cast<cMeshObj*>(scene->silo_speaker_morph);
    ASSERT_TRUE(base && pushed);
    ASSERT_EQ(base->positions.size(), pushed->positions.size());
    size_t moved = 0;
    float highest = 0.0f;
    for (size_t i = 0; i < base->positions.size(); i += 3) {
        EXPECT_FLOAT_EQ(base->positions[i], pushed->positions[i]);
        EXPECT_FLOAT_EQ(base->positions[i + 2], pushed->positions[i + 2]);
        const float dy = pushed->positions[i + 1] - base->positions[i + 1];
        EXPECT_GE(dy, 0.0f);
        moved += dy > 0.0f ? 1 : 0;
        highest = std::max(highest, pushed->positions[i + 1]);
    }
    EXPECT_GT(moved, 0u);
    EXPECT_LT(moved, base->positions.size() / 3) << "the housing stays";
    EXPECT_LT(highest, 200.0f) << "the membrane stays under the burst's attractors";
}

TEST_F(ParticleSpeaker, overlay_flash_lights_the_frame_at_a_beat_and_is_gone_200_ms_later)
{
    REQUIRE_GL_CONTEXT();
    cRenderTarget_fbo target(256, 192, false);
    target.create();
    auto lit = [&](int32_t age) {
        clock.start = 0;
        clock.now = 80000 + age;
        scene->beat_time = 80000;
        scene->overlay_offset[0] = 0.3f;
        scene->overlay_offset[1] = 0.3f;
        target.begin();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_LIGHTING); // as the scene's frame has it
        scene->draw_beat_overlay();
        std::vector<uint8_t> p(256 * 192 * 4);
        glReadPixels(0, 0, 256, 192, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
        target.end();
        double sum = 0;
        for (size_t i = 0; i < p.size(); i += 4)
            sum += p[i] + p[i + 1] + p[i + 2];
        return sum / (256.0 * 192.0);
    };
    EXPECT_GT(lit(0), 10.0);
    EXPECT_EQ(0.0, lit(200));
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST(ParticleSpeakerShow, frames_at_a_beat_after_it_and_on_a_later_path_show_a_changing_picture_without_errors)
{
    const SceneCapture run = capture_scene_frames({80010, 80060, 80210, 84000}, 2.0, 240);
    if (!run.exited && run.log.empty())
        GTEST_SKIP() << "no Xvfb for the capture";
    ASSERT_TRUE(capture_is_clean(run, 4, 4));
    EXPECT_GT(frame_difference(run.frames[0], run.frames[2]), 2.0) << "the flash fades";
    EXPECT_GT(frame_difference(run.frames[2], run.frames[3]), 2.0) << "another path";
}

} // namespace
