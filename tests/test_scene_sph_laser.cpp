#include "scenes/scene_sph_laser.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/images.h"
#include "support/loaded_scene.h"
#include "support/scene_capture.h"
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
        sph_laser_beat_count = sph_laser_lead_count = 0;
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

TEST(SphLaserBeat, beats_1_2_3_and_5_throw_the_camera_back_and_beat_4_does_not)
{
    EventScene s;
    // {time, the camera's last throw after it}
    const int32_t beats[][2] = {{1000, 1000}, {2000, 2000}, {3000, 3000}, {4000, 3000},
                                {5000, 5000}, {6000, 5000}, {7000, 7000}};
    for (const auto& b : beats) {
        s.send(BEAT, b[0]);
        EXPECT_EQ(b[1], s.scene.beat_time) << "beat at " << b[0];
    }
    EXPECT_EQ(7, sph_laser_beat_count);
}

TEST(SphLaserCurves, the_eye_glides_from_36_to_11_in_500_ms_and_the_block_fades_in_from_203803_to_205303)
{
    EXPECT_FLOAT_EQ(36.0f, sph_laser_eye_distance(0));
    EXPECT_NEAR(36.0f - 25.0f * std::sqrt(0.5f), sph_laser_eye_distance(250), 1e-4f) << "half way: 45 degrees";
    EXPECT_FLOAT_EQ(11.0f, sph_laser_eye_distance(500));
    EXPECT_FLOAT_EQ(11.0f, sph_laser_eye_distance(60000));
    const float logo[][2] = {{196521, 0.0f}, {203803, 0.0f}, {204553, 0.5f}, {205303, 1.0f}, {224000, 1.0f}};
    for (const auto& r : logo)
        EXPECT_NEAR(r[1], sph_laser_logo_alpha(int32_t(r[0])), 1e-4f) << r[0];
}

TEST(SphLaserLead, a_lead_flashes_the_spheres_100_ms_and_the_36th_and_every_phrase_start_300_ms_and_brighter)
{
    EXPECT_FLOAT_EQ(0.05f, EventScene().alpha_at(10000)) << "the spheres' standing alpha";
    // {leads before, ms after the lead, sphere alpha}: +0.1 over 100 ms up to
    // the 36th lead, which lasts 300 ms at +0.25, as every flash from then on
    // adds; leads 71, 103, 135 and 169 start a phrase with a long flash too.
    const float rows[][3] = {{0, 0, 0.15f},  {0, 50, 0.10f},    {0, 100, 0.05f},  {34, 50, 0.10f},  {34, 100, 0.05f},
                             {35, 0, 0.30f}, {35, 150, 0.175f}, {35, 300, 0.05f}, {36, 50, 0.175f}, {70, 150, 0.175f}};
    for (const auto& r : rows) {
        EventScene s;
        sph_laser_lead_count = int(r[0]);
        s.send(LEAD, 20000);
        EXPECT_NEAR(r[2], s.alpha_at(20000 + int32_t(r[1])), 1e-6f) << r[0] << " " << r[1];
        EXPECT_EQ(r[2] == 0.05f, s.scene.effects.empty()) << "an ended flash leaves the list";
    }
}

TEST(SphLaserRing, a_ring_is_one_screen_height_and_at_full_grey_half_a_second_after_its_snare)
{
    // {ms after the snare, size in screen heights, grey}
    const float rows[][3] = {{0, 2.0f, 0.85f},   {500, 1.0f, 0.85f}, {830, 0.34f, 0.85f},
                             {900, 0.2f, 0.5f},  {1000, 0.0f, 0.0f}, {5000, 0.0f, 0.0f}};
    for (const auto& r : rows) {
        EXPECT_NEAR(r[1], sph_laser_ring_size(int32_t(r[0])), 1e-5f) << r[0];
        EXPECT_NEAR(r[2], sph_laser_ring_grey(int32_t(r[0])), 1e-5f) << r[0];
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

class SphLaser : public LoadedScene<cSceneSphLaser>
{
protected:
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
        return read_window(4);
    }
    // Mean of r, g and b over a square of side 2 * half around (x, y).
    static void mean_rgb(const std::vector<uint8_t>& p, int width, int x, int y, int half, double rgb[3])
    {
        rgb[0] = rgb[1] = rgb[2] = 0;
        for (int j = y - half; j < y + half; ++j)
            for (int i = x - half; i < x + half; ++i)
                for (int c = 0; c < 3; ++c)
                    rgb[c] += p[(std::size_t(j) * width + i) * 4 + c] / (4.0 * half * half);
    }
};

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
    const demo_event snare = {SNARE, 200000};
    scene->handle_event(&snare);
    clock.now = 200500;
    std::vector<uint8_t> p;
    {
        OffscreenTarget rings(w, h);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        scene->draw_rings();
        p = rings.read();
    }
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

TEST_F(SphLaser, a_beat_glides_the_picture_the_orange_block_shows_from_205303_ms_and_exit_turns_the_light_off)
{
    REQUIRE_GL_CONTEXT();
    scene->init();
    sph_laser_beat_count = 0;
    const demo_event beat = {BEAT, 198000};
    scene->handle_event(&beat);
    const std::vector<uint8_t> at_beat = frame_at(198000), later = frame_at(198500), still = frame_at(198510);
    scene->beat_time = 0; // the eye stands in at 11
    double before[3], after[3];
    mean_rgb(frame_at(203700), 1024, 512, 384, 12, before);
    mean_rgb(frame_at(205400), 1024, 512, 384, 12, after);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, scene->sphere_texture->id);
    scene->exit();
    EXPECT_GT(frame_difference(at_beat, later), 4.0 * frame_difference(later, still))
        << "the glide, not the nest's own turn, moves the picture";
    EXPECT_GT(after[0], 200.0);
    EXPECT_GT(after[0], after[2] + 100.0) << "orange";
    EXPECT_GT(after[0] - before[0] + after[1] - before[1], 60.0) << "and not before 203803";
    // Beyond the state every scene's exit gives back: the light and its
    // attenuation, the sphere texture's target off and unbound.
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(0, bound);
    GLfloat attenuation = -1.0f;
    glGetLightfv(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, &attenuation);
    EXPECT_EQ(0.0f, attenuation);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST(SphLaserShow, frames_at_a_beat_after_it_and_with_the_block_change_and_log_no_error)
{
    const SceneCapture run = capture_scene_frames({198270, 198770, 206000}, 2.0, 600);
    SKIP_WITHOUT_X_SERVER(run);
    ASSERT_TRUE(capture_is_clean(run, 3, 3, {{0, 1}, {1, 2}}));
}

} // namespace
