#include "mesh_files/mesh.h"

#include "core/screen.h"
#include "platform/platform.h"
#include "shaders/cShaderContainer_CG.h"

#include <gtest/gtest.h>

#include "support/gl_context.h"
#include "support/gl_state.h"
#include "support/images.h"

namespace {

const int WIDTH = 64, HEIGHT = 32;

// Queries the show itself never makes.
GLboolean is_buffer(GLuint id)
{
    auto fn = reinterpret_cast<PFNGLISBUFFERARBPROC>(platform_gl_get_proc("glIsBufferARB"));
    return fn(id);
}

// A colour target of WIDTH x HEIGHT cleared to opaque black, bound while
// the object lives, with a unit-square 2D view.
class Offscreen : public OffscreenTarget
{
public:
    Offscreen() : OffscreenTarget(WIDTH, HEIGHT)
    {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        for (GLenum cap : {GL_DEPTH_TEST, GL_BLEND, GL_CULL_FACE})
            glDisable(cap);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        push_screen_matrices();
    }
    ~Offscreen()
    {
        pop_screen_matrices();
        glPopAttrib();
    }
};

const rgba RED = {255, 0, 0, 255}, GREEN = {0, 255, 0, 255}, BLUE = {0, 0, 255, 255};

// Two quads side by side (left: vertices 0-3, right: 4-7), and eight
// degenerate triangles before them, so that group 0 holds 30 indices (the
// degenerate ones and the left quad) and group 1 the right quad's 6.
void fill_two_halves(cMeshObj& mesh)
{
    mesh.positions = {0, 0, 0, 0.5f, 0, 0, 0.5f, 1, 0, 0, 1, 0, 0.5f, 0, 0, 1, 0, 0, 1, 1, 0, 0.5f, 1, 0};
    for (int i = 0; i < 8; i++)
        mesh.indices.insert(mesh.indices.end(), {0, 0, 0});
    mesh.indices.insert(mesh.indices.end(), {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7});
    mesh.groups = {0, 30, 36};
    mesh.flags = MESH_GROUPS;
    mesh.materials.emplace_back("red");
    mesh.materials.emplace_back("blue");
    const float red[4] = {1, 0, 0, 1}, blue[4] = {0, 0, 1, 1};
    std::copy(red, red + 4, mesh.materials[0].diffuse);
    std::copy(blue, blue + 4, mesh.materials[1].diffuse);
    // illum 0: the diffuse colour shows as emission, unlit.
}

class Mesh : public testing::Test
{
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        REQUIRE_GL_CONTEXT();
    }
};

} // namespace

TEST_F(Mesh, per_group_draws_use_each_groups_count_and_byte_offset_with_its_material_and_leave_no_array_bound)
{
    cMeshObj mesh;
    fill_two_halves(mesh);
    mesh.flags |= MESH_NORMALS | MESH_TEXCOORDS;
    mesh.normals.assign(mesh.positions.size(), 0.0f);
    mesh.texcoords.assign(16, 0.0f);
    mesh.upload();
    Offscreen target;
    glEnable(GL_LIGHTING);
    mesh.draw();
    EXPECT_EQ(RED, target.pixel(10, 16));
    EXPECT_EQ(BLUE, target.pixel(50, 16));
    EXPECT_EQ(GL_NO_ERROR, glGetError());
    // A material with textures enables units 2, 0 and 1; the draw turns
    // them off again.
    for (std::unique_ptr<cTexture>* slot : {&mesh.materials[0].ambient_tex, &mesh.materials[0].diffuse_tex,
                                             &mesh.materials[0].specular_tex})
        slot->reset(new cTexture(GL_TEXTURE_2D, 0));
    mesh.draw();
    for (GLenum unit : {GL_TEXTURE2, GL_TEXTURE1, GL_TEXTURE0}) {
        glActiveTextureARB(unit);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "unit " << unit - GL_TEXTURE0;
    }
    // Only the arrays it found enabled, and no buffer bound.
    for (GLenum array : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_TEXTURE_COORD_ARRAY})
        EXPECT_FALSE(glIsEnabled(array)) << array;
    for (GLenum binding : {GL_ARRAY_BUFFER_BINDING_ARB, GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB}) {
        GLint bound = -1;
        glGetIntegerv(binding, &bound);
        EXPECT_EQ(0, bound) << binding;
    }
}

TEST_F(Mesh, after_clear_materials_one_batch_draws_everything_with_the_callers_state)
{
    cMeshObj mesh;
    fill_two_halves(mesh);
    mesh.clear_materials();
    EXPECT_FALSE(mesh.flags & MESH_GROUPS);
    EXPECT_TRUE(mesh.materials.empty());
    mesh.upload();
    Offscreen target;
    glDisable(GL_LIGHTING);
    glColor3f(0, 1, 0);
    mesh.draw();
    EXPECT_EQ(GREEN, target.pixel(10, 16));
    EXPECT_EQ(GREEN, target.pixel(50, 16));
}

TEST_F(Mesh, groups_past_the_indices_or_the_materials_never_read_past_them)
{
    cMeshObj mesh;
    fill_two_halves(mesh);
    mesh.groups = {0, 30, 36, 600, 36};
    mesh.materials.pop_back(); // group 1 has no material
    mesh.upload();
    Offscreen target;
    glEnable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    mesh.draw();
    EXPECT_EQ(RED, target.pixel(10, 16));
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(Mesh, empty_arrays_upload_zero_bytes_and_whole_elements_only)
{
    cMeshObj mesh;
    mesh.positions = {1, 2, 3, 4, 5, 6, 7}; // two whole vertices and a stray float
    mesh.upload();
    EXPECT_EQ(GL_NO_ERROR, glGetError());
    EXPECT_EQ(24, buffer_size(mesh.get_buffer(0)->id));
    for (int i : {1, 2})
        EXPECT_EQ(0, buffer_size(mesh.get_buffer(i)->id)) << i;
}

TEST_F(Mesh, release_buffers_then_destruction_deletes_each_buffer_once)
{
    GLuint released[4];
    {
        cMeshObj mesh;
        for (int i = 0; i < 4; i++)
            released[i] = mesh.get_buffer(i)->id;
        mesh.release_buffers();
        for (int i = 0; i < 4; i++) {
            EXPECT_EQ(0u, mesh.get_buffer(i)->id);
            EXPECT_FALSE(is_buffer(released[i]));
        }
        mesh.release_buffers(); // safe twice
    }
    // New buffers may reuse the released names; destroying the mesh above
    // must not have deleted them.
    GLuint fresh[4];
    glGenBuffersARB(4, fresh);
    for (GLuint id : fresh) {
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, id);
        glBufferDataARB(GL_ARRAY_BUFFER_ARB, 4, nullptr, GL_STATIC_DRAW_ARB);
    }
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    cMeshObj().release_buffers();
    for (GLuint id : fresh)
        EXPECT_TRUE(is_buffer(id)) << id;
    glDeleteBuffersARB(4, fresh);
}

// A quad on the left quarter morphed towards its copy on the right quarter:
// the weight and the target's positions reach the morph program.
TEST_F(Mesh, a_morph_draws_the_base_moved_towards_the_targets_positions_by_its_weight)
{
    use_show_environment();
    cMeshObj base, target;
    base.positions = {0, 0, 0, 0.25f, 0, 0, 0.25f, 1, 0, 0, 1, 0};
    target.positions = {0.75f, 0, 0, 1, 0, 0, 1, 1, 0, 0.75f, 1, 0};
    base.indices = target.indices = {0, 1, 2, 0, 2, 3};
    base.upload();
    target.upload();
    cMeshMorph morph(&base, &target);
    morph.init();
    Offscreen out;
    const float white[4] = {1, 1, 1, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, white); // lit or not, white
    const struct { float weight; int lit, dark; } cases[] = {{0.0f, 8, 56}, {0.5f, 32, 8}, {1.0f, 56, 32}};
    for (const auto& c : cases) {
        glClear(GL_COLOR_BUFFER_BIT);
        morph.draw(c.weight);
        get_shader_container()->unbind();
        EXPECT_EQ((rgba{255, 255, 255, 255}), out.pixel(c.lit, 16)) << "weight " << c.weight;
        EXPECT_EQ((rgba{0, 0, 0, 255}), out.pixel(c.dark, 16)) << "weight " << c.weight;
    }
    glClientActiveTextureARB(GL_TEXTURE3_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
}

TEST_F(Mesh, buffer_index_4_ends_the_program_with_unknown_vbo)
{
    EXPECT_EXIT(cMeshObj().get_buffer(4), testing::ExitedWithCode(255),
                "^# ERROR in .*mesh.cpp line [0-9]+: Unknown vbo. Exiting...\n$");
}
