#include "scenes/scene_common.h"

#include "core/display.h"
#include "core/gl_ext.h"
#include "core/resource_path.h"
#include "mesh_files/bzobj_writer.h"
#include "mesh_files/mesh.h"
#include "platform/platform.h"
#include "scenes/camera_path.h"
#include "scenes/overlay.h"
#include "shaders/cShdNotex.h"
#include "support/gl_context.h"
#include "support/gl_state.h"
#include "support/images.h"
#include "support/show_runner.h"
#include "textures/texture_manager.h"
#include "timeline/scene.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

TEST(SceneTime, clock_differences_ramp_smoothstep_and_clamps)
{
    cClock c;
    c.start = 1000;
    c.prev = 66230;
    c.now = 66250;
    EXPECT_EQ(65250, scene_time(&c));
    EXPECT_EQ(250, event_age(&c, 65000));
    EXPECT_EQ(-750, event_age(&c, 66000)); // an event still ahead
    EXPECT_EQ(20, frame_time(&c));

    EXPECT_FLOAT_EQ(0.0f, ramp01(-50, 300));
    EXPECT_FLOAT_EQ(0.0f, ramp01(0, 300));
    EXPECT_FLOAT_EQ(0.5f, ramp01(150, 300));
    EXPECT_FLOAT_EQ(1.0f, ramp01(300, 300));
    EXPECT_FLOAT_EQ(1.0f, ramp01(100000, 300));
    EXPECT_FLOAT_EQ(1.0f, ramp01(5, 0)); // no length: already over, never a division by zero

    EXPECT_FLOAT_EQ(0.0f, smoothstep(0.0f));
    EXPECT_FLOAT_EQ(1.0f, smoothstep(1.0f));
    EXPECT_FLOAT_EQ(0.5f, smoothstep(0.5f));
    EXPECT_FLOAT_EQ(0.15625f, smoothstep(0.25f));
    EXPECT_FLOAT_EQ(1.0f - smoothstep(0.25f), smoothstep(0.75f));

    EXPECT_FLOAT_EQ(0.0f, clamp01(-0.5f));
    EXPECT_FLOAT_EQ(0.3f, clamp01(0.3f));
    EXPECT_FLOAT_EQ(1.0f, clamp01(7.0f));
    EXPECT_FLOAT_EQ(3.0f, clampf(5.0f, -2.0f, 3.0f));
    EXPECT_FLOAT_EQ(-2.0f, clampf(-9.0f, -2.0f, 3.0f));
}

TEST(SceneLight, colour_lights_diffuse_and_specular_ambients_go_black_and_position_is_placed_by_the_modelview)
{
    REQUIRE_GL_CONTEXT();
    const float grey[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, grey);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, grey);

    cSceneLight light;
    const float colour[4] = {0.2f, 0.4f, 0.6f, 0.8f};
    std::copy(colour, colour + 4, light.colour);
    light.apply_colour();

    float diffuse[4], specular[4], ambient[4], model_ambient[4];
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glGetLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, model_ambient);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(std::make_pair(colour[i], colour[i]), std::make_pair(diffuse[i], specular[i])) << i;
        EXPECT_EQ(std::make_pair(0.0f, 0.0f), std::make_pair(ambient[i], model_ambient[i])) << i;
    }

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(10.0f, 0.0f, -5.0f);
    cSceneLight placed;
    const float at[4] = {1.0f, 2.0f, 3.0f, 1.0f};
    std::copy(at, at + 4, placed.position);
    placed.apply_position();
    glPopMatrix();

    float eye[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, eye);
    EXPECT_FLOAT_EQ(11.0f, eye[0]);
    EXPECT_FLOAT_EQ(2.0f, eye[1]);
    EXPECT_FLOAT_EQ(-2.0f, eye[2]);
    EXPECT_FLOAT_EQ(1.0f, eye[3]);
}

// One triangle with one material group.
cMeshObj_data one_triangle()
{
    cMeshObj_data mesh;
    mesh.flags = MESH_NORMALS | MESH_GROUPS;
    mesh.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    mesh.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    mesh.indices = {0, 1, 2};
    mesh.groups = {0, 3};
    mesh.materials.push_back(cMaterial_GL("plain"));
    return mesh;
}

class SceneLoad : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!gl_test_context())
            return;
        init_image_library();
        dir = make_temp_dir();
        std::string error;
        ASSERT_TRUE(bobj_write_file(one_triangle(), dir + "/scl_kept.bzobj", &error)) << error;
        ASSERT_TRUE(bobj_write_file(one_triangle(), dir + "/scl_plain.bzobj", &error)) << error;
        ASSERT_TRUE(save_image(dir + "/scl_tex.png", coordinate_picture(4, 4), 4, 4, 3));
        std::ofstream(dir + "/scl_cam.pth") << "(0,0,0) (1,0,0) (0,0,1)\n(5,0,0) (1,0,0) (0,0,1)\n";
        get_resource_path()->push_searchpath(source_dir() + "/src/shaders");
        testing::internal::CaptureStdout();
        get_shader_container()->init();
        testing::internal::GetCapturedStdout();
    }

    static std::string dir;
};
std::string SceneLoad::dir;

TEST_F(SceneLoad, load_pushes_the_directory_fills_every_member_in_order_and_sets_loaded)
{
    REQUIRE_GL_CONTEXT();
    cSceneDummy scene(nullptr);
    iMesh* kept = new cMeshObj; // an earlier mesh in the slot is replaced
    iMesh* plain = nullptr;
    cTexture* texture = nullptr;
    cCameraPath path;
    int pass_calls = 0;
    bool shader_there_for_pass = false;
    cSceneLoadList list;
    list.directory(dir)
        .mesh("scl_kept.bzobj", &kept)
        .mesh("scl_plain.bzobj", &plain, true)
        .texture("scl_tex.png", &texture, true, GL_REPEAT)
        .path("scl_cam.pth", &path)
        .shader<cShdNotex>("scl_notex")
        .pass([&] {
            ++pass_calls;
            shader_there_for_pass = get_shader_container()->shaders.count("scl_notex") == 1;
        });
    const std::size_t paths_before = get_resource_path()->paths.size();

    ASSERT_TRUE(scene_load(scene, list));

    EXPECT_TRUE(scene.loaded);
    ASSERT_EQ(paths_before + 1, get_resource_path()->paths.size());
    EXPECT_EQ(dir + "/", get_resource_path()->paths.back());
    cMeshObj* kept_obj = dynamic_cast<cMeshObj*>(kept);
    cMeshObj* plain_obj = dynamic_cast<cMeshObj*>(plain);
    ASSERT_TRUE(kept_obj && plain_obj);
    EXPECT_EQ(3u * 3u, kept_obj->positions.size());
    // Both uploaded at once: three positions of 12 bytes in the buffer.
    EXPECT_EQ(36, buffer_size(kept_obj->get_buffer(0)->id));
    EXPECT_EQ(36, buffer_size(plain_obj->get_buffer(0)->id));
    // Only the mesh asked for loses its materials and draws as one batch.
    EXPECT_EQ(1u, kept_obj->materials.size());
    EXPECT_TRUE(kept_obj->flags & MESH_GROUPS);
    EXPECT_TRUE(plain_obj->materials.empty());
    EXPECT_FALSE(plain_obj->flags & MESH_GROUPS);
    ASSERT_NE(nullptr, texture);
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), texture->target);
    EXPECT_NE(0u, texture->id);
    EXPECT_EQ(2u, path.get_keys().size());
    EXPECT_EQ(1, pass_calls);
    EXPECT_TRUE(shader_there_for_pass) << "shaders are registered before the passes";

    delete kept;
    delete plain;
    delete texture;
}

TEST_F(SceneLoad, a_missing_camera_path_stays_empty_loading_goes_on_and_a_second_load_touches_nothing)
{
    REQUIRE_GL_CONTEXT();
    cSceneDummy scene(nullptr);
    cCameraPath path;
    int pass_calls = 0;
    cSceneLoadList list;
    list.path("scl_no_such_cam.pth", &path).pass([&] { ++pass_calls; });
    const std::size_t paths_before = get_resource_path()->paths.size();

    EXPECT_TRUE(scene_load(scene, list));

    EXPECT_TRUE(path.get_keys().empty());
    EXPECT_EQ(1, pass_calls);
    EXPECT_TRUE(scene.loaded);
    EXPECT_EQ(paths_before, get_resource_path()->paths.size()) << "no directory named, none pushed";

    // A second load of the loaded scene touches nothing.
    iMesh* mesh = nullptr;
    cSceneLoadList again;
    again.directory(dir).mesh("scl_kept.bzobj", &mesh).pass([&] { ++pass_calls; });
    EXPECT_FALSE(scene_load(scene, again));
    EXPECT_EQ(paths_before, get_resource_path()->paths.size());
    EXPECT_EQ(nullptr, mesh);
    EXPECT_EQ(1, pass_calls);
}

TEST(Overlay, layer_is_the_window_size_times_the_scale_truncated_and_exists_at_once)
{
    REQUIRE_GL_CONTEXT();
    cOverlay full(1.0f);
    EXPECT_EQ(1024u, full.target.width);
    EXPECT_EQ(768u, full.target.height);
    EXPECT_FALSE(full.target.has_depth());
    EXPECT_NE(0u, full.target.get_texture_id());

    cOverlay part(0.3f); // 307.2 x 230.4 pixels
    EXPECT_EQ(307u, part.target.width);
    EXPECT_EQ(230u, part.target.height);
}

} // namespace
