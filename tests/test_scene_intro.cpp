#include "scenes/scene_intro.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "rendertargets/rendertarget_manager.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/gl_state.h"
#include "support/loaded_scene.h"
#include "support/images.h"
#include "support/scene_capture.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace {

typedef std::array<float, 16> matrix;

// Stands in for a mesh: records the matrices and the light it is drawn with.
class RecordingMesh : public iMesh
{
public:
    void load(const char*) override {}
    void upload() override {}
    void draw() override
    {
        matrix m, t;
        glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
        glGetFloatv(GL_TEXTURE_MATRIX, t.data());
        float diffuse[4];
        glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        float alpha_scale = 0;
        glGetTexEnvfv(GL_TEXTURE_ENV, GL_ALPHA_SCALE, &alpha_scale);
        alpha_scales.push_back(alpha_scale);
        modelviews.push_back(m);
        texture_matrices.push_back(t);
        light_levels.push_back(diffuse[0]);
    }

    std::vector<matrix> modelviews, texture_matrices;
    std::vector<float> light_levels, alpha_scales;
};

const float DEG = 3.14159265f / 180.0f;

// The show's intro scene with recording meshes in every slot instead of its
// files (the scene deletes them).
struct RecordedIntro
{
    explicit RecordedIntro(cClock* clock) : scene(clock)
    {
        for (iMesh** slot : {&scene.backplate_horiz, &scene.backplate_vert, &scene.backplate_horiz_black,
                             &scene.logo_arrow, &scene.logo_cubes, &scene.logo_static})
            *slot = record(new RecordingMesh);
        for (int j = 0; j < 6; ++j)
            scene.blinks.push_back(record(new RecordingMesh));
    }
    RecordingMesh* record(RecordingMesh* m)
    {
        meshes.push_back(m);
        return m;
    }
    RecordingMesh* mesh(iMesh* m) { return static_cast<RecordingMesh*>(m); }

    cSceneIntro scene;
    std::vector<RecordingMesh*> meshes; // owned by the scene
};

// The show's own scene, loaded once (which registers its shaders).
class SceneIntro : public LoadedScene<cSceneIntro>
{
};

TEST(SceneIntroCamera, drifts_from_x_4_to_the_logo_parts_x_of_minus_6_over_22_seconds)
{
    // {e, eye x y z, centre x y z}
    const float rows[][7] = {{0, 4.0f, -2.1f, 12.0f, 4.75f, 0.0f, -4.7f},
                             {22000, -6.0f, -2.1f, 12.0f, 4.75f - 22000.0f / 9276.0f, 0.0f, -4.7f}};
    for (const auto& r : rows) {
        float eye_centre[6];
        intro_camera(int32_t(r[0]), eye_centre, eye_centre + 3);
        for (int k = 0; k < 6; ++k)
            EXPECT_NEAR(r[k + 1], eye_centre[k], 1e-4f) << r[0] << ": " << k;
    }
}

TEST_F(SceneIntro, load_fills_every_mesh_and_the_six_blinks_in_order_and_a_second_load_does_nothing)
{
    REQUIRE_GL_CONTEXT();
    ASSERT_TRUE(scene->loaded);
    for (iMesh* m : {scene->logo_arrow, scene->logo_cubes, scene->logo_static,
                     scene->backplate_horiz, scene->backplate_horiz_black, scene->backplate_vert})
        EXPECT_NE(nullptr, m);
    ASSERT_EQ(6u, scene->blinks.size());
    for (iMesh* m : scene->blinks)
        EXPECT_NE(nullptr, m);
    for (const char* name : {"notex_shader", "blur_shader"})
        EXPECT_EQ(1u, get_shader_container()->shaders.count(name)) << name;

    iMesh* arrow = scene->logo_arrow;
    scene->load();
    EXPECT_EQ(arrow, scene->logo_arrow);
    EXPECT_EQ(6u, scene->blinks.size());
}

TEST_F(SceneIntro, arrow_turns_50_degrees_about_z_and_cubes_about_y_after_one_second_at_x_minus_6)
{
    REQUIRE_GL_CONTEXT();
    cClock clock;
    clock.start = 5000;
    clock.now = 6000;
    RecordedIntro intro(&clock);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    intro.scene.draw_arrow();
    intro.scene.draw_cubes();

    const float c = std::cos(50.0f * DEG), s = std::sin(50.0f * DEG);
    // Column-major {index, value}: about z x turns towards y; about y x turns away from z.
    const struct
    {
        iMesh* mesh;
        float entries[5][2];
    } turns[] = {{intro.scene.logo_arrow, {{0, c}, {1, s}, {4, -s}, {10, 1.0f}, {12, -6.0f}}},
                 {intro.scene.logo_cubes, {{0, c}, {2, -s}, {8, s}, {5, 1.0f}, {12, -6.0f}}}};
    for (const auto& turn : turns) {
        ASSERT_EQ(1u, intro.mesh(turn.mesh)->modelviews.size());
        for (const auto& entry : turn.entries)
            EXPECT_NEAR(entry[1], intro.mesh(turn.mesh)->modelviews[0][int(entry[0])], 1e-5f) << entry[0];
    }

    // The cubes are lit at 1.4; the light is left at 1.0 and both matrices popped.
    EXPECT_FLOAT_EQ(1.4f, intro.mesh(intro.scene.logo_cubes)->light_levels[0]);
    float diffuse[4];
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    EXPECT_FLOAT_EQ(1.0f, diffuse[0]);
    matrix m;
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    EXPECT_FLOAT_EQ(1.0f, m[0]);
    EXPECT_FLOAT_EQ(0.0f, m[12]);
}

TEST_F(SceneIntro, blinks_scroll_their_texture_both_ways_and_the_bands_alone_are_drawn_with_their_alpha_doubled)
{
    REQUIRE_GL_CONTEXT();
    cClock clock;
    clock.start = 0;
    clock.now = 1000;
    RecordedIntro intro(&clock);
    intro.scene.draw_backdrop();
    for (int j = 0; j < 6; ++j) {
        RecordingMesh* blink = intro.mesh(intro.scene.blinks[j]);
        ASSERT_EQ(1u, blink->texture_matrices.size()) << j;
        const matrix& t = blink->texture_matrices[0];
        // scale 1.5 in s, then one texture width per second of scroll
        EXPECT_FLOAT_EQ(1.5f, t[0]) << j;
        EXPECT_FLOAT_EQ(j < 3 ? 1.5f : -1.5f, t[12]) << j;
    }
    // The texture matrix is given back as identity, modelview current.
    matrix t;
    glMatrixMode(GL_TEXTURE);
    glGetFloatv(GL_TEXTURE_MATRIX, t.data());
    glMatrixMode(GL_MODELVIEW);
    EXPECT_FLOAT_EQ(1.0f, t[0]);
    EXPECT_FLOAT_EQ(0.0f, t[12]);
    // Four columns of seven bands, the three plates and the dark band, once each.
    EXPECT_EQ(28u, intro.mesh(intro.scene.backplate_horiz)->modelviews.size());
    EXPECT_EQ(3u, intro.mesh(intro.scene.backplate_vert)->modelviews.size());
    EXPECT_EQ(1u, intro.mesh(intro.scene.backplate_horiz_black)->modelviews.size());
    // The band texture holds half the bands' light: they are drawn with their
    // alpha doubled, and what is drawn after them with it as it is.
    EXPECT_EQ(std::vector<float>(28, 2.0f), intro.mesh(intro.scene.backplate_horiz)->alpha_scales);
    EXPECT_EQ(std::vector<float>{1.0f}, intro.mesh(intro.scene.backplate_horiz_black)->alpha_scales);
    EXPECT_EQ(1.0f, intro.mesh(intro.scene.blinks[0])->alpha_scales.at(0));
    get_shader_container()->unbind();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_DEPTH_TEST);
}

// The plates, lit at the vertices of their grids, look as "notex_shader"
// lights them per pixel, seen as the camera sees them 11 s in; the shader's
// programs are bound again afterwards.
TEST_F(SceneIntro, the_plates_lit_at_their_vertices_look_as_lit_per_pixel)
{
    REQUIRE_GL_CONTEXT();
    OffscreenTarget target(256, 192, true);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(85.0, 256.0 / 192.0, 0.5, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    for (float& c : scene->light.colour)
        c = 1.2f;
    scene->light.apply_colour();
    scene->light.apply_position();
    float eye[3], centre[3];
    intro_camera(11000, eye, centre);
    gluLookAt(eye[0], eye[1], eye[2], centre[0], centre[1], centre[2], 0.0, 1.0, 0.0);
    for (GLenum cap : {GL_LIGHTING, GL_LIGHT0, GL_NORMALIZE, GL_DEPTH_TEST, GL_CULL_FACE})
        glEnable(cap);
    for (GLenum cap : {GL_BLEND, GL_COLOR_MATERIAL, GL_TEXTURE_2D, GL_ALPHA_TEST})
        glDisable(cap);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_FALSE); // the shader's own viewer is local
    get_shader_container()->bind("notex_shader");
    const GLint programs = gl_integer(GL_PROGRAM_PIPELINE_BINDING);

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene->draw_plates();
    const std::vector<uint8_t> per_pixel = target.read();
    // As a material may leave it: a black texture on unit 0, enabled, and
    // another unit active.
    GLuint black = 0;
    const uint8_t texel[4] = {0, 0, 0, 255};
    glGenTextures(1, &black);
    glBindTexture(GL_TEXTURE_2D, black);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glEnable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    {
        const cLitAtVertices at_vertices;
        scene->draw_plates();
    }
    const std::vector<uint8_t> at_vertices = target.read();
    glActiveTextureARB(GL_TEXTURE0);
    glDeleteTextures(1, &black);
    EXPECT_EQ(programs, gl_integer(GL_PROGRAM_PIPELINE_BINDING));
    EXPECT_EQ(GL_FALSE, gl_integer(GL_LIGHT_MODEL_LOCAL_VIEWER));
    get_shader_container()->unbind();
    glPopAttrib();

    int drawn = 0;
    double difference = 0;
    for (size_t i = 0; i < per_pixel.size(); i += 4) {
        drawn += per_pixel[i] + per_pixel[i + 1] + per_pixel[i + 2] != 0;
        for (size_t c = 0; c < 3; ++c)
            difference += std::abs(int(per_pixel[i + c]) - int(at_vertices[i + c]));
    }
    EXPECT_GT(drawn, 256 * 192 / 2);
    // Levels of 255 per channel, on average over the picture.
    EXPECT_GE(0.15, difference / double(per_pixel.size() / 4 * 3));
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(SceneIntro, a_frame_ignores_every_event_and_gives_back_the_pool_targets_it_borrows)
{
    REQUIRE_GL_CONTEXT();
    cClock clock;
    clock.start = 1000;
    clock.now = 1000 + 22000;
    RecordedIntro before(&clock), after(&clock);
    before.scene.init();
    const uint32_t held = get_rendertarget_manager()->get_outstanding();
    before.scene.draw();
    EXPECT_EQ(held, get_rendertarget_manager()->get_outstanding()) << "the mask goes back within the frame";
    before.scene.exit();
    after.scene.init();
    for (int32_t code = EVENT_CUE_FIRST; code <= EVENT_CUE_LAST; ++code) {
        const demo_event e = {code, 22900};
        after.scene.handle_event(&e);
    }
    after.scene.draw();
    after.scene.exit();
    for (std::size_t i = 0; i < before.meshes.size(); ++i) {
        EXPECT_FALSE(before.meshes[i]->modelviews.empty()) << "mesh " << i << " drawn";
        EXPECT_EQ(before.meshes[i]->modelviews, after.meshes[i]->modelviews) << "mesh " << i;
        EXPECT_EQ(before.meshes[i]->texture_matrices, after.meshes[i]->texture_matrices) << "mesh " << i;
    }
    // The logo's static part: its silhouette into the mask, then the logo.
    EXPECT_EQ(2u, before.mesh(before.scene.logo_static)->modelviews.size());
}

TEST_F(SceneIntro, init_takes_the_halo_target_and_exit_gives_it_back_with_the_default_state)
{
    REQUIRE_GL_CONTEXT();
    cClock clock;
    RecordedIntro intro(&clock);
    cRenderTargetManager* pool = get_rendertarget_manager();
    const uint32_t before = pool->get_outstanding();
    const uint32_t pooled_before = pool->pooled_count();
    glDisable(GL_TEXTURE_2D); // as the scene before leaves it (loading left it on)

    intro.scene.init();
    ASSERT_FALSE(intro.scene.halo_target.empty());
    EXPECT_EQ(RTT_QUATER, intro.scene.halo_target.size_class());
    EXPECT_TRUE(intro.scene.halo_target->has_depth());
    EXPECT_EQ(before + 1, pool->get_outstanding());
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));

    // Leave behind what a frame leaves, then exit.
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_COLOR_MATERIAL);
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    glMatrixMode(GL_TEXTURE);
    glScalef(2.0f, 1.0f, 1.0f);
    intro.scene.exit();

    EXPECT_TRUE(intro.scene.halo_target.empty());
    EXPECT_EQ(before, pool->get_outstanding());
    EXPECT_EQ(pooled_before, pool->pooled_count());
    EXPECT_TRUE(scene_exit_state_is_default());
    EXPECT_FALSE(glIsEnabled(GL_NORMALIZE));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(GL_MODELVIEW, mode);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST(SceneIntroShow, captured_frames_at_two_show_times_show_a_picture_that_moves_and_log_no_error)
{
    const SceneCapture run = capture_scene_frames({500, 11000}, 2.0, 240);
    SKIP_WITHOUT_X_SERVER(run);
    ASSERT_TRUE(capture_is_clean(run, 2, 2, {{0, 1}}));
}

} // namespace
