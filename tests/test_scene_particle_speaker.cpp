#include "scenes/scene_particle_speaker.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "scenes/camera_path.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/images.h"
#include "support/loaded_scene.h"
#include "support/particles.h"
#include "support/scene_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
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
    std::size_t alive() const { return living(scene.particles).size(); }
    void beat_at(int32_t t)
    {
        clock.now = t;
        const demo_event e = {BEAT, t};
        scene.handle_event(&e);
    }

    cClock clock;
    cSceneParticleSpeaker scene{&clock};
};

TEST(ParticleSpeakerBeat, curves_of_the_burst_the_membrane_the_particles_and_the_flash_after_a_beat)
{
    // {ms after the beat, value} of the burst's limit, the membrane's weight,
    // the particles' alpha and the flash's grey.
    typedef std::vector<std::pair<int32_t, float>> curve;
    for (const auto& p : curve{{0, 1500.0f}, {10, 972.0f}, {25, 0.0f}, {400, 0.0f}})
        EXPECT_NEAR(p.second, ps_emit_limit(p.first), 0.01f) << p.first;
    for (const auto& p : curve{{0, 1.0f}, {50, 0.5f}, {100, 0.0f}, {5000, 0.0f}})
        EXPECT_FLOAT_EQ(p.second, ps_morph_weight(p.first)) << p.first;
    for (const auto& p : curve{{0, 0.5f}, {250, 1.0f}})
        EXPECT_FLOAT_EQ(p.second, ps_particle_alpha(p.first)) << p.first;
    for (const auto& p : curve{{0, 0.5f}, {100, 0.5f}, {150, 0.25f}, {200, 0.0f}})
        EXPECT_FLOAT_EQ(p.second, ps_overlay_grey(p.first)) << p.first;
}

TEST(ParticleSpeakerBeat, a_beat_revives_1500_at_once_972_ten_ms_later_and_from_25_ms_only_particle_0)
{
    for (const auto& row : {std::make_pair(0, 1500u), std::make_pair(10, 972u), std::make_pair(25, 1u)}) {
        SteppedScene s;
        s.beat_at(80000);
        s.clock.now = 80000 + row.first;
        s.scene.step_particles(0.0f);
        EXPECT_EQ(row.second, s.alive()) << row.first;
        EXPECT_TRUE(row.first < 25 || s.scene.particles.is_alive(0));
    }
}

TEST(ParticleSpeakerBeat, beat_stores_the_show_time_of_handling_an_overlay_offset_within_0_66_and_leaves_the_phase)
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
    // The beat phase is never advanced, so the third attractor never pulls.
    EXPECT_EQ(-10, s.scene.beat_phase);
    for (int frame = 0; frame < 30; ++frame) {
        s.clock.now += 16;
        s.scene.update();
    }
    EXPECT_EQ(-10, s.scene.beat_phase);
    EXPECT_FLOAT_EQ(0.0f, s.scene.third_attractor_strength);
}

TEST(ParticleSpeakerAttractors, pull_once_per_frame_by_root_distance_to_the_high_one_and_distance_to_the_middle)
{
    // One living particle at (0, y, 0) long after the last beat (no emission), stepped once.
    auto pulled = [](float y, SteppedScene& s) {
        s.clock.now = 90000;
        s.scene.particles.set_alive(0);
        float* p = &s.scene.particles.position[0];
        p[0] = p[2] = 0.0f;
        p[1] = y;
        s.scene.step_particles(0.0f);
        return &s.scene.particles.velocity[0];
    };
    SteppedScene s;
    const float* v = pulled(100.0f, s);
    const double d1 = std::sqrt(50.0 * 50.0 + 200.0 * 200.0);
    const double k1 = 10.0 / std::sqrt(d1) / d1;
    EXPECT_NEAR(50.0 * k1, v[0], 1e-5);
    EXPECT_NEAR(200.0 * k1 + 5.0 / 100.0, v[1], 1e-5);
    EXPECT_NEAR(0.0, v[2], 1e-6);
    EXPECT_EQ(1u, s.alive()) << "a pull does not emit";

    SteppedScene on_attractor;
    v = pulled(200.0f, on_attractor);
    for (int c = 0; c < 3; ++c)
        EXPECT_TRUE(std::isfinite(v[c])) << "sitting on an attractor: " << c;
}

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
    EXPECT_FLOAT_EQ(0.5f, ps_path_parameter(2, 750)) << "path 2 flies 1500 ms";
    EXPECT_FLOAT_EQ(1.0f, ps_path_parameter(2, 1500));
}

class ParticleSpeaker : public LoadedScene<cSceneParticleSpeaker>
{
};

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

TEST_F(ParticleSpeaker, camera_flights_stay_inside_the_silo_clear_of_the_mount_and_the_morph_moves_only_the_membrane_up)
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
    // The speaker's morph target moves only the membrane, and only upwards.
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
    auto lit = [&](int32_t age) {
        OffscreenTarget target(256, 192);
        clock.start = 0;
        clock.now = 80000 + age;
        scene->beat_time = 80000;
        scene->overlay_offset[0] = 0.3f;
        scene->overlay_offset[1] = 0.3f;
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_LIGHTING); // as the scene's frame has it
        scene->draw_beat_overlay();
        const std::vector<uint8_t> p = target.read();
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
    SKIP_WITHOUT_X_SERVER(run);
    ASSERT_TRUE(capture_is_clean(run, 4, 4, {{0, 2}, {2, 3}}));
}

} // namespace
