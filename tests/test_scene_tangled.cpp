#include "scenes/scene_tangled.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/gl_state.h"
#include "support/images.h"
#include "support/loaded_scene.h"
#include "support/scene_capture.h"
#include "textures/texture_manager.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const int WIDTH = 1024, HEIGHT = 768;

std::size_t lit_pixels(const std::vector<uint8_t>& p)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < p.size(); i += 4)
        n += (p[i] + p[i + 1] + p[i + 2]) > 30 ? 1 : 0;
    return n;
}

class SceneTangled : public LoadedScene<cSceneTangled>
{
protected:
    // Draws the scene into the test's own target (cleared to magenta first:
    // the scene clears it itself) and reads it back.
    static std::vector<uint8_t> draw_frame()
    {
        OffscreenTarget target(WIDTH, HEIGHT, true);
        glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        scene->draw();
        return target.read();
    }
};

TEST_F(SceneTangled, load_takes_the_knot_without_its_materials_and_the_mipmapped_twirl)
{
    REQUIRE_GL_CONTEXT();
    ASSERT_TRUE(scene->loaded);
    cMeshObj* knot = dynamic_cast<cMeshObj*>(scene->knot);
    ASSERT_NE(nullptr, knot);
    EXPECT_TRUE(knot->materials.empty());
    EXPECT_FALSE(knot->flags & MESH_GROUPS);
    EXPECT_TRUE(knot->flags & MESH_TEXCOORDS);
    ASSERT_NE(nullptr, scene->knot_texture);
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), scene->knot_texture->target);
    EXPECT_EQ(1u, get_shader_container()->shaders.count("pp_shd"));
    iMesh* before = scene->knot;
    scene->load();
    EXPECT_EQ(before, scene->knot);
}

TEST_F(SceneTangled, turns_one_degree_every_40_ms_ignoring_every_event_and_the_knot_fills_part_of_the_frame)
{
    REQUIRE_GL_CONTEXT();
    EXPECT_FLOAT_EQ(0.0f, tangled_angle(0));
    EXPECT_FLOAT_EQ(1.0f, tangled_angle(40));
    EXPECT_FLOAT_EQ(360.0f, tangled_angle(14400));
    clock.start = 0;
    clock.now = 240000;
    const std::vector<uint8_t> a = draw_frame();
    const std::size_t lit = lit_pixels(a);
    EXPECT_GT(lit, std::size_t(WIDTH * HEIGHT / 10)) << "the knot is large in the wide view";
    EXPECT_LT(lit, std::size_t(WIDTH * HEIGHT * 9 / 10)) << "and the black behind it shows";
    clock.now = 243000;
    const std::vector<uint8_t> b = draw_frame();
    EXPECT_NE(a, b) << "75 degrees later";
    for (int32_t code = EVENT_CUE_FIRST; code <= EVENT_CUE_LAST; ++code) {
        const demo_event e = {code, 242900};
        scene->handle_event(&e);
        scene->update();
    }
    EXPECT_EQ(b, draw_frame()) << "every event is ignored";
}

TEST_F(SceneTangled, drawn_from_another_scene_it_turns_exactly_as_when_current)
{
    REQUIRE_GL_CONTEXT();
    // As the current scene: init, then a frame at the show time.
    clock.start = 1000;
    clock.prev = 142950;
    clock.now = 143000;
    scene->init();
    const std::vector<uint8_t> current = draw_frame();
    scene->exit();

    // From the greetings scene: no init, another frame time, and the state
    // another scene leaves behind.
    clock.prev = 142900;
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glEnable(GL_FOG);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.9f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.2f, 0.4f, 0.6f, 0.5f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(3.0f, 1.0f, -2.0f);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    EXPECT_EQ(current, draw_frame());

    glAlphaFunc(GL_ALWAYS, 0.0f);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    scene->exit();
}

TEST_F(SceneTangled, exit_gives_back_the_texture_units_and_the_default_depth_and_blend_state)
{
    REQUIRE_GL_CONTEXT();
    clock.now = 240000;
    scene->init();
    GLint two_side = 0;
    glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &two_side);
    EXPECT_EQ(1, two_side);
    draw_frame();
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_TEXTURE_GEN_S);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_GEN_T);
    glDepthMask(GL_FALSE);
    scene->exit();

    EXPECT_TRUE(scene_exit_state_is_default());
    const GlState after = GlState::now();
    for (int u = 0; u < 2; ++u)
        EXPECT_EQ(0, after.bound_2d[u]) << "unit " << u;
    EXPECT_EQ((std::vector<GLboolean>{0, 0, 0, 0}), std::vector<GLboolean>(after.enables.begin(), after.enables.begin() + 4))
        << "no texturing enabled on units 0 and 1";
    GLint env = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(GL_MODULATE, env);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST(SceneTangledShow, captured_frames_at_two_show_times_show_a_picture_that_moves_and_log_no_error)
{
    const SceneCapture run = capture_scene_frames({239500, 243000}, 1.0, 400);
    SKIP_WITHOUT_X_SERVER(run);
    ASSERT_TRUE(capture_is_clean(run, 2, 2, {{0, 1}}));
}

} // namespace
