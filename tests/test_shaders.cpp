// The shader runtime, the shader container and the sixteen shaders of the
// show: binding by name, parameters, error reports, and what each program
// draws into a framebuffer object of the test.
#include <gtest/gtest.h>

#include "core/gl_ext.h"
#include "core/resource_path.h"
#include "platform/cg_runtime.h"
#include "shaders/cShaderContainer_CG.h"
#include "shaders/cShdBlurTex.h"
#include "shaders/cShdBroadcast.h"
#include "shaders/cShdColDodge.h"
#include "shaders/cShdDtex.h"
#include "shaders/cShdFog2L.h"
#include "shaders/cShdLevels.h"
#include "shaders/cShdLightmap.h"
#include "shaders/cShdMorphBake.h"
#include "shaders/cShdNotex.h"
#include "shaders/cShdParticleDistort.h"
#include "shaders/cShdPerPixel.h"
#include "shaders/cShdPostAdd.h"
#include "shaders/cShdPostColDodge.h"
#include "shaders/cShdPostLin.h"
#include "shaders/cShdSpecOnly.h"
#include "shaders/cShdVolLight.h"
#include "support/gl_context.h"
#include "support/images.h"
#include "support/show_runner.h"

#include <array>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

void use_shader_sources()
{
    static bool done = false;
    if (!done)
        get_resource_path()->push_searchpath(source_dir() + "/src/shaders");
    done = true;
}

std::string write_temp_file(const std::string& name, const std::string& text)
{
    std::string path = make_temp_dir() + "/" + name;
    std::ofstream(path) << text;
    return path;
}

// Quiet init: the profile lines are checked in their own test.
void init_quietly(cShaderContainer_CG& container)
{
    testing::internal::CaptureStdout();
    container.init();
    testing::internal::GetCapturedStdout();
}

GLint bound_pipeline()
{
    GLint pipeline = 0;
    glGetIntegerv(GL_PROGRAM_PIPELINE_BINDING, &pipeline);
    return pipeline;
}

// The GL program on a stage of the bound pipeline (0 with none bound).
GLint stage_program(GLenum stage)
{
    GLint pipeline = bound_pipeline(), program = 0;
    if (pipeline)
        glGetProgramPipelineiv(GLuint(pipeline), stage, &program);
    return program;
}

cShader_CG* shader(cShaderContainer_CG& container, const std::string& name)
{
    return static_cast<cShader_CG*>(container.shaders.at(name));
}

std::vector<float> uniform_values(CGprogram program, const char* name)
{
    GLuint id = cgGLGetProgramID(program);
    std::vector<float> v(4, -1.0f);
    glGetUniformfv(id, glGetUniformLocation(id, name), v.data());
    return v;
}

// A nearest-filtered texture of w x h texels, rows bottom first, bound on unit.
GLuint make_texture(GLenum target, int unit, int w, int h, const std::vector<unsigned char>& texels)
{
    GLuint texture = 0;
    glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glGenTextures(1, &texture);
    glBindTexture(target, texture);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(target, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glActiveTextureARB(GL_TEXTURE0_ARB);
    return texture;
}

// Texels of one colour each, left to right.
std::vector<unsigned char> row_of(const std::vector<rgba>& colours)
{
    std::vector<unsigned char> texels;
    for (const rgba& c : colours)
        texels.insert(texels.end(), {(unsigned char)c[0], (unsigned char)c[1], (unsigned char)c[2], (unsigned char)c[3]});
    return texels;
}

// The screen quad over the whole target at depth z, normal n, with texture
// coordinates 0..s, 0..t on units 0 and 1.
void draw_quad(float z, float nx, float ny, float nz, float s = 1, float t = 1)
{
    const float corner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    glNormal3f(nx, ny, nz);
    glBegin(GL_QUADS);
    for (const auto& c : corner) {
        glMultiTexCoord2fARB(GL_TEXTURE0_ARB, c[0] * s, c[1] * t);
        glMultiTexCoord2fARB(GL_TEXTURE1_ARB, c[0] * s, c[1] * t);
        glVertex3f(c[0] * 2 - 1, c[1] * 2 - 1, z);
    }
    glEnd();
}

bool near(const rgba& a, const rgba& b, int tolerance = 2)
{
    for (int i = 0; i < 3; ++i)
        if (std::abs(a[i] - b[i]) > tolerance)
            return false;
    return true;
}

int brightness(const rgba& p)
{
    return p[0] + p[1] + p[2];
}

std::string str(const rgba& p)
{
    char text[64];
    std::snprintf(text, sizeof(text), "(%d, %d, %d, %d)", p[0], p[1], p[2], p[3]);
    return text;
}

class Shaders : public testing::Test
{
protected:
    void SetUp() override
    {
        REQUIRE_GL_CONTEXT();
        use_shader_sources();
        testing::FLAGS_gtest_death_test_style = "threadsafe";
    }
};

} // namespace

// --- the runtime ------------------------------------------------------------------

namespace {
int g_callbacks = 0;
void count_callback()
{
    ++g_callbacks;
}
} // namespace

TEST_F(Shaders, runtime_errors_reach_the_callback_and_reset_when_read)
{
    cgSetErrorCallback(count_callback);
    g_callbacks = 0;
    cgGLSetParameter1f(nullptr, 1.0f);
    EXPECT_EQ(1, g_callbacks);
    EXPECT_EQ(CG_INVALID_PARAM_HANDLE_ERROR, cgGetError());
    EXPECT_EQ(CG_NO_ERROR, cgGetError());

    CGcontext context = cgCreateContext();
    cgCreateProgramFromFile(context, CG_SOURCE, "/nonexistent/x.cg", CG_PROFILE_ARBVP1, nullptr, nullptr);
    EXPECT_EQ(CG_FILE_READ_ERROR, cgGetError());
    ASSERT_NE(nullptr, cgGetLastListing(context));
    EXPECT_NE(std::string::npos, std::string(cgGetLastListing(context)).find("/nonexistent/x.cg"));
    cgCreateProgramFromFile(context, CG_SOURCE, "/nonexistent/x.cg", CG_PROFILE_VP40, nullptr, nullptr);
    EXPECT_EQ(CG_INVALID_PROFILE_ERROR, cgGetError());

    // A compile error carries the driver's listing under the file's name.
    std::string path = write_temp_file("broken_frag.cg", "#version 120\nvoid main() { gl_FragColor = oops; }\n");
    EXPECT_EQ(nullptr, cgCreateProgramFromFile(context, CG_SOURCE, path.c_str(), CG_PROFILE_ARBFP1, nullptr, nullptr));
    EXPECT_EQ(CG_COMPILER_ERROR, cgGetError());
    std::string listing = cgGetLastListing(context);
    EXPECT_EQ(0u, listing.find(path + ":\n")) << listing;
    EXPECT_NE(std::string::npos, listing.find("oops")) << listing;

    cgDestroyContext(context);
    cgDestroyContext(context); // a dead handle is an error, not a crash
    EXPECT_EQ(CG_INVALID_CONTEXT_HANDLE_ERROR, cgGetError());
    EXPECT_EQ(nullptr, cgGetLastListing(context));
    EXPECT_EQ(5, g_callbacks);
    cgSetErrorCallback(nullptr);
}

TEST_F(Shaders, runtime_parameters_are_active_float_uniforms_only)
{
    cgSetErrorCallback(count_callback);
    g_callbacks = 0;
    CGcontext context = cgCreateContext();
    std::string path = get_resource_path()->get_fullpath("cg_pdist_vert.cg");
    CGprogram program = cgCreateProgramFromFile(context, CG_SOURCE, path.c_str(), CG_PROFILE_ARBVP1, nullptr, nullptr);
    ASSERT_NE(nullptr, program);
    EXPECT_EQ(nullptr, cgGetNamedParameter(program, "no_such_uniform"));
    EXPECT_EQ(0, g_callbacks); // absence is not an error

    CGparameter center = cgGetNamedParameter(program, "radial_center");
    ASSERT_NE(nullptr, center);
    EXPECT_EQ(center, cgGetNamedParameter(program, "radial_center"));
    const float two[2] = {4, 5};
    cgGLSetParameter2fv(center, two); // fewer components: the rest are 0
    EXPECT_EQ((std::vector<float>{4, 5, 0, -1}), uniform_values(program, "radial_center"));
    EXPECT_EQ(0, g_callbacks);

    cgDestroyProgram(program);
    EXPECT_EQ(0u, cgGLGetProgramID(program));
    cgDestroyContext(context);
    cgSetErrorCallback(nullptr);
}

// --- the container -------------------------------------------------------------------

TEST_F(Shaders, unbind_before_init_reports_the_missing_context_and_init_the_arbvp1_and_arbfp1_profiles)
{
    cShaderContainer_CG container;
    testing::internal::CaptureStderr();
    container.unbind();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(0u, err.find("## ERROR in ")) << err;
    EXPECT_NE(std::string::npos, err.find("cShaderContainer_CG.cpp line ")) << err;
    EXPECT_NE(std::string::npos, err.find(": no current CG-context available!\n")) << err;

    testing::internal::CaptureStdout();
    container.init();
    EXPECT_EQ("Chose cg_profile:\tCG_PROFILE_ARBVP1\nChose fragment_profile: CG_PROFILE_ARBFP1\n",
              testing::internal::GetCapturedStdout());
    EXPECT_EQ(CG_PROFILE_ARBVP1, container.vertex_profile);
    EXPECT_EQ(CG_PROFILE_ARBFP1, container.fragment_profile);
    EXPECT_EQ("null_shader", container.current_shader);
}

TEST_F(Shaders, a_second_registration_warns_and_keeps_the_first_shader)
{
    cShaderContainer_CG container;
    init_quietly(container);
    container.add_shader<cShdNotex>("notex_shader");
    cShader* first = container.shaders["notex_shader"];
    GLuint program = cgGLGetProgramID(shader(container, "notex_shader")->vertex_program);

    testing::internal::CaptureStderr();
    container.add_shader<cShdNotex>("notex_shader");
    EXPECT_EQ("# WARNING: shader \"notex_shader\" already exists! Skipping...\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ(1u, container.shaders.size());
    EXPECT_EQ(first, container.shaders["notex_shader"]);
    EXPECT_EQ(program, cgGLGetProgramID(shader(container, "notex_shader")->vertex_program));

    // Two names for one class: two entries, two compiled copies.
    container.add_shader<cShdLightmap>("lightmap_shader");
    container.add_shader<cShdLightmap>("lm_shader");
    EXPECT_NE(cgGLGetProgramID(shader(container, "lightmap_shader")->vertex_program),
              cgGLGetProgramID(shader(container, "lm_shader")->vertex_program));
}

TEST_F(Shaders, bind_push_and_pop_put_both_programs_on_the_pipeline_and_null_shader_is_fixed_function)
{
    cShaderContainer_CG container;
    init_quietly(container);
    container.add_shader<cShdNotex>("a");
    container.add_shader<cShdLightmap>("b");
    auto id = [&](const char* name, bool fragment = false) {
        return GLint(cgGLGetProgramID(fragment ? shader(container, name)->fragment_program
                                               : shader(container, name)->vertex_program));
    };
    container.push_shader();
    container.bind("a");
    EXPECT_EQ(id("a"), stage_program(GL_VERTEX_SHADER));
    EXPECT_EQ(id("a", true), stage_program(GL_FRAGMENT_SHADER));
    container.push_shader();
    container.bind("b");
    EXPECT_EQ(id("b"), stage_program(GL_VERTEX_SHADER));
    container.pop_shader();
    EXPECT_EQ("a", container.current_shader);
    EXPECT_EQ(id("a"), stage_program(GL_VERTEX_SHADER));
    container.pop_shader();
    EXPECT_EQ("null_shader", container.current_shader);
    EXPECT_EQ(0, bound_pipeline());
    GLint in_use = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &in_use);
    EXPECT_EQ(0, in_use);
    EXPECT_TRUE(container.shader_stack.empty());

    container.bind("b");
    container.bind("null_shader");
    EXPECT_EQ("null_shader", container.current_shader);
    EXPECT_EQ(0, bound_pipeline());
    container.unbind(); // nothing bound: nothing happens
    EXPECT_EQ(0, bound_pipeline());
}

TEST_F(Shaders, unknown_names_an_empty_stack_and_unwanted_parameters_warn_and_change_nothing)
{
    cShaderContainer_CG container;
    init_quietly(container);
    container.add_shader<cShdNotex>("a");
    container.add_shader<cShdSpecOnly>("spec_shader");

    testing::internal::CaptureStderr();
    container.bind("nope");
    EXPECT_EQ("#WARNING in cShaderContainer_CG::bind: trying to bind unknown shader: \"nope\"\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ("null_shader", container.current_shader);
    EXPECT_EQ(0, bound_pipeline()); // fixed function stays in force

    container.bind("a");
    testing::internal::CaptureStderr();
    container.bind("nope");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ("a", container.current_shader);
    EXPECT_EQ(GLint(cgGLGetProgramID(shader(container, "a")->fragment_program)), stage_program(GL_FRAGMENT_SHADER));

    testing::internal::CaptureStderr();
    container.set_parameters("nope", 1);
    container.pop_shader();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("#WARNING in cShaderContainer_CG::set_parameters")) << err;
    EXPECT_NE(std::string::npos, err.find("#WARNING in cShaderContainer_CG::pop_shader")) << err;
    EXPECT_EQ("a", container.current_shader);

    // A shader without parameters warns when given some.
    testing::internal::CaptureStderr();
    container.set_parameters("spec_shader", 1);
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(0u, err.find("# WARNING in ")) << err;
    EXPECT_NE(std::string::npos, err.find("cShader.h line ")) << err;
    EXPECT_NE(std::string::npos, err.find(", set_parameters() not implemented for this shader!\n")) << err;
}

TEST_F(Shaders, parameters_reach_their_uniforms_only_at_the_next_bind)
{
    cShaderContainer_CG container;
    init_quietly(container);
    container.add_shader<cShdMorphBake>("morph_shader");
    CGprogram program = shader(container, "morph_shader")->vertex_program;

    container.set_parameters("morph_shader", 0.25f);
    EXPECT_EQ(0.0f, uniform_values(program, "cur_t")[0]);
    container.bind("morph_shader");
    EXPECT_EQ(0.25f, uniform_values(program, "cur_t")[0]);
    container.set_parameters("morph_shader", 0.75f);
    EXPECT_EQ(0.25f, uniform_values(program, "cur_t")[0]);
    container.bind("morph_shader"); // re-binding the current shader uploads again
    EXPECT_EQ(0.75f, uniform_values(program, "cur_t")[0]);
    container.unbind();
}

TEST_F(Shaders, teardown_destroys_every_program_and_leaves_fixed_function)
{
    GLuint vertex = 0;
    {
        cShaderContainer_CG container;
        init_quietly(container);
        container.add_shader<cShdNotex>("a");
        container.bind("a");
        vertex = cgGLGetProgramID(shader(container, "a")->vertex_program);
        EXPECT_TRUE(glIsProgram(vertex));
    }
    EXPECT_FALSE(glIsProgram(vertex));
    EXPECT_EQ(0, bound_pipeline());

    get_shader_container();
    destroy_shader_container();
    destroy_shader_container(); // safe twice
}

namespace {
std::string g_vertex_file, g_fragment_file;

class cShdFromTestFiles : public cShader_CG
{
public:
    cShdFromTestFiles(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
        : cShader_CG(context, vertex_profile, fragment_profile)
    {
        load_from_files(g_vertex_file, g_fragment_file);
    }
    void init_parameters() override {}
    void apply_parameters() override {}
    void release_parameters() override {}
};

void load_test_files(const std::string& vertex, const std::string& fragment, bool with_callback)
{
    g_vertex_file = vertex;
    g_fragment_file = fragment;
    cShaderContainer_CG* container = new cShaderContainer_CG;
    init_quietly(*container);
    if (!with_callback)
        cgSetErrorCallback(nullptr); // the runtime stays silent: the shader's own report must follow
    container->add_shader<cShdFromTestFiles>("test");
}
} // namespace

TEST_F(Shaders, a_syntax_error_prints_the_report_with_the_listing_and_exits_minus_1)
{
    std::string broken = write_temp_file("broken_vert.cg", "#version 120\nvoid main() { gl_Position = ; }\n");
    EXPECT_EXIT(load_test_files(broken, "cg_levels_frag.cg", true), testing::ExitedWithCode(255),
                "\n-{51}\nThe compile returned an error.\n[^\n]*broken_vert.cg:\n.*error.*\n-{51}\n"
                "last-shader: null_shader\nCg error, exiting...\n$");
    // A file on no search path is named as asked for.
    EXPECT_EXIT(load_test_files("../nowhere/missing_vert.cg", "cg_levels_frag.cg", true), testing::ExitedWithCode(255),
                "\n-{51}\n[^\n]*\ncannot read \"\\.\\./nowhere/missing_vert\\.cg\"\n-{51}\n");
}

TEST_F(Shaders, an_unreported_load_failure_names_the_file_as_passed_and_fails)
{
    // Both fail: only the vertex file is named.
    EXPECT_EXIT(load_test_files("../nowhere/missing_vert.cg", "missing_frag.cg", false),
                testing::ExitedWithCode(255),
                "## ERROR: cShader_CG::load_from_files\\(\\) failed on \\.\\./nowhere/missing_vert\\.cg\n$");
    EXPECT_EXIT(load_test_files("../src/shaders/cg_levels_vert.cg", "missing_frag.cg", false),
                testing::ExitedWithCode(255), "failed on missing_frag\\.cg\n$");
}

// --- the sixteen programs --------------------------------------------------------------

namespace {

cShaderContainer_CG* g_all = nullptr;

// What a program drew, RGBA rows from the bottom up.
struct Frame
{
    int width;
    std::vector<uint8_t> bytes;
    rgba at(int x, int y) const
    {
        const uint8_t* p = &bytes[size_t(y * width + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
};

// Draws with the named shader into a cleared w x h target of its own.
template <class Draw> Frame render(const std::string& name, int w, int h, Draw draw)
{
    OffscreenTarget target(w, h);
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
    g_all->bind(name);
    draw();
    g_all->unbind();
    return {w, target.read()};
}

// The full quad facing the viewer at z -0.5 (normal n), texture coordinates
// 0..s, 0..t on units 0 and 1.
Frame quad(const std::string& name, int w = 16, int h = 16, float s = 1, float t = 1, float nx = 0, float nz = 1)
{
    return render(name, w, h, [&] { draw_quad(-0.5f, nx, 0, nz, s, t); });
}

void light_from(float z, int light = 0)
{
    const float position[4] = {0, 0, z, 0};
    glLightfv(GL_LIGHT0 + light, GL_POSITION, position);
}

void fog_range(float start, float end)
{
    glFogf(GL_FOG_START, start);
    glFogf(GL_FOG_END, end);
}

const rgba k_fog = {51, 102, 153, 255};

class Programs : public Shaders
{
protected:
    static void SetUpTestSuite()
    {
        if (!gl_test_context())
            return;
        use_shader_sources();
        g_all = new cShaderContainer_CG;
        init_quietly(*g_all);
        g_all->add_shader<cShdSpecOnly>("spec_shader");
        g_all->add_shader<cShdPerPixel>("pp_shd");
        g_all->add_shader<cShdBroadcast>("tv_shader");
        g_all->add_shader<cShdNotex>("notex_shader");
        g_all->add_shader<cShdDtex>("dtex_shader");
        g_all->add_shader<cShdLightmap>("lightmap_shader");
        g_all->add_shader<cShdLightmap>("lm_shader");
        g_all->add_shader<cShdVolLight>("vollight_shader");
        g_all->add_shader<cShdFog2L>("fog_shader");
        g_all->add_shader<cShdParticleDistort>("pdist_shader");
        g_all->add_shader<cShdMorphBake>("morph_shader");
        g_all->add_shader<cShdLevels>("levels_shader");
        g_all->add_shader<cShdBlurTex>("blur_shader");
        g_all->add_shader<cShdColDodge>("color_dodge_shader");
        g_all->add_shader<cShdPostLin>("lin_blend");
        g_all->add_shader<cShdPostAdd>("additive");
        g_all->add_shader<cShdPostColDodge>("col_dodge");
    }
    static void TearDownTestSuite()
    {
        delete g_all;
        g_all = nullptr;
    }

    void SetUp() override
    {
        Shaders::SetUp();
        if (IsSkipped())
            return;
        ASSERT_NE(nullptr, g_all);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        for (GLenum mode : {GL_PROJECTION, GL_MODELVIEW}) {
            glMatrixMode(mode);
            glPushMatrix();
            glLoadIdentity();
        }
        for (GLenum cap : {GL_DEPTH_TEST, GL_CULL_FACE, GL_BLEND, GL_FOG})
            glDisable(cap);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glColor4f(1, 1, 1, 1);
        const float fog[4] = {0.2f, 0.4f, 0.6f, 1};
        glFogfv(GL_FOG_COLOR, fog);
    }
    void TearDown() override
    {
        if (!g_all)
            return;
        g_all->unbind();
        for (GLenum mode : {GL_PROJECTION, GL_MODELVIEW}) {
            glMatrixMode(mode);
            glPopMatrix();
        }
        glPopAttrib();
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }

    // The centre pixel of the quad facing the viewer, lit by a directional
    // light from +z (in front) or -z.
    static rgba lit_centre(const std::string& name, bool light_in_front, int light = 0)
    {
        light_from(light_in_front ? 1.0f : -1.0f, light);
        return quad(name).at(8, 8);
    }
};

} // namespace

TEST_F(Programs, lit_shaders_are_brighter_facing_the_light_than_away_from_it)
{
    const float white[4] = {1, 1, 1, 1};
    glLightfv(GL_LIGHT1, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT1, GL_SPECULAR, white);
    glColor4f(0.2f, 0.2f, 0.2f, 1); // dim enough for the specular-only highlight to show
    fog_range(10, 20);
    for (const char* name : {"notex_shader", "pp_shd", "spec_shader", "morph_shader", "fog_shader"}) {
        const int light = std::string(name) == "fog_shader" ? 1 : 0; // the fog shader is lit by light 1
        rgba front = lit_centre(name, true, light), back = lit_centre(name, false, light);
        EXPECT_GT(brightness(front), brightness(back) + 150) << name << " " << str(front) << " " << str(back);
    }
    // The per-pixel shader lights a back face with its reversed normal.
    light_from(1);
    glColor4f(1, 1, 1, 1);
    glFrontFace(GL_CW);
    rgba back_face = quad("pp_shd", 16, 16, 1, 1, 0, -1).at(8, 8);
    EXPECT_GT(brightness(back_face), 400) << str(back_face);
}

TEST_F(Programs, lit_shaders_weaken_a_point_light_with_its_distance_and_not_through_the_face)
{
    glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, 1.0f);
    auto lit_from = [](const char* name, float z) {
        const float position[4] = {0, 0, z, 1};
        glLightfv(GL_LIGHT0, GL_POSITION, position);
        return brightness(quad(name).at(8, 8));
    };
    for (const char* name : {"notex_shader", "pp_shd", "morph_shader"}) {
        // 1 and 3 units in front of the quad: attenuation 1/2 and 1/10.
        EXPECT_GT(lit_from(name, 0.5f), lit_from(name, 2.5f) + 150) << name;
        EXPECT_LT(lit_from(name, -2.5f), 40) << name; // behind it
    }
}

TEST_F(Programs, notex_follows_the_current_colour_under_colour_material)
{
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glColor4f(1, 174 / 255.0f, 0, 1);
    rgba p = lit_centre("notex_shader", true);
    EXPECT_GT(p[0], 220) << str(p);
    EXPECT_LT(p[2], 40) << str(p);
    EXPECT_GT(p[0] - p[1], 40) << str(p);
}

TEST_F(Programs, dtex_and_lightmap_modulate_by_the_texture_on_unit_0)
{
    GLuint texture = make_texture(GL_TEXTURE_2D, 0, 2, 1, row_of({{255, 255, 255, 255}, {0, 0, 0, 255}}));
    light_from(1);
    Frame dtex = quad("dtex_shader");
    EXPECT_GT(brightness(dtex.at(4, 8)), 400) << str(dtex.at(4, 8));
    EXPECT_LT(brightness(dtex.at(12, 8)), 10) << str(dtex.at(12, 8));
    glDeleteTextures(1, &texture);

    // The light map ignores lighting: the colour times the texel.
    texture = make_texture(GL_TEXTURE_2D, 0, 1, 1, row_of({{200, 100, 50, 255}}));
    glColor4f(0.5f, 1, 1, 1);
    for (const char* name : {"lightmap_shader", "lm_shader"}) {
        rgba p = lit_centre(name, false);
        EXPECT_TRUE(near(p, {100, 100, 50, 255})) << name << " " << str(p);
    }
    glDeleteTextures(1, &texture);
}

TEST_F(Programs, vollight_is_a_visible_beam_that_fades_at_the_silhouette_and_along_the_beam)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_LIGHTING);
    glColor4f(1, 1, 1, 0.05f); // the scenes' colour at full strength
    // Far from the eye, so the view direction is -z over the whole quad.
    glMatrixMode(GL_PROJECTION);
    glOrtho(-1, 1, -1, 1, 0, 100);
    glMatrixMode(GL_MODELVIEW);
    auto beam = [](float nx, float nz, int y) { // t runs from 0 (bottom row) to 1 (top)
        return render("vollight_shader", 16, 16, [&] { draw_quad(-50, nx, 0, nz); }).at(8, y);
    };
    EXPECT_GT(beam(0, 1, 0)[0], 200) << str(beam(0, 1, 0));
    EXPECT_LT(beam(1, 0, 0)[0], 10) << str(beam(1, 0, 0));   // seen edge-on: the silhouette
    EXPECT_LT(beam(0, 1, 14)[0], 20) << str(beam(0, 1, 14)); // near the far end
}

TEST_F(Programs, fog2l_reaches_the_fog_colour_at_full_fog_and_hazes_off_axis)
{
    fog_range(0.1f, 0.2f);
    EXPECT_TRUE(near(lit_centre("fog_shader", true, 1), k_fog)) << str(lit_centre("fog_shader", true, 1));

    // The haze pulls the corner towards the fog's blue; the centre keeps the light.
    fog_range(10, 20);
    Frame f = quad("fog_shader");
    rgba centre = f.at(8, 8), corner = f.at(0, 0);
    EXPECT_GT(corner[2] - corner[0], centre[2] - centre[0] + 20) << str(centre) << " " << str(corner);
}

TEST_F(Programs, broadcast_follows_the_picture_and_fades_to_the_fog_colour)
{
    // A 64 x 48 picture, left half black, right half white.
    std::vector<unsigned char> texels(64 * 48 * 4, 255);
    for (int i = 0; i < 64 * 48; ++i)
        if (i % 64 < 32)
            std::fill_n(&texels[size_t(i) * 4], 3, 0);
    GLuint texture = make_texture(GL_TEXTURE_RECTANGLE_ARB, 0, 64, 48, texels);
    g_all->set_parameters("tv_shader", 64, 48);
    fog_range(10, 20);
    Frame clear = quad("tv_shader", 64, 48);
    EXPECT_LT(brightness(clear.at(16, 24)), 80) << str(clear.at(16, 24));
    EXPECT_GT(brightness(clear.at(48, 24)), 400) << str(clear.at(48, 24));

    fog_range(0.1f, 0.2f);
    Frame fogged = quad("tv_shader", 64, 48);
    for (int x : {16, 48})
        EXPECT_TRUE(near(fogged.at(x, 24), k_fog)) << str(fogged.at(x, 24));
    glDeleteTextures(1, &texture);
}

TEST_F(Programs, morph_puts_vertices_at_the_own_mesh_at_0_and_the_target_at_1)
{
    light_from(1);
    auto draw = [](float t) {
        g_all->set_parameters("morph_shader", t);
        Frame f = render("morph_shader", 16, 16, [] {
            // Own quad on the left (x -1..-0.5), target quad on the right (0.5..1).
            const float xs[4] = {-1, -0.5f, -0.5f, -1}, ys[4] = {-1, -1, 1, 1};
            glNormal3f(0, 0, 1);
            glBegin(GL_QUADS);
            for (int i = 0; i < 4; ++i) {
                glMultiTexCoord3fARB(GL_TEXTURE3_ARB, xs[i] + 1.5f, ys[i], -0.5f);
                glVertex3f(xs[i], ys[i], -0.5f);
            }
            glEnd();
        });
        return std::make_pair(brightness(f.at(1, 8)), brightness(f.at(14, 8)));
    };
    auto own = draw(0), morphed = draw(1);
    EXPECT_GT(own.first, 300);
    EXPECT_EQ(0, own.second);
    EXPECT_EQ(0, morphed.first);
    EXPECT_GT(morphed.second, 300);
}

TEST_F(Programs, pdist_pushes_points_away_from_the_radial_center)
{
    auto draw = [](float t, float cx) {
        g_all->set_parameters("pdist_shader", t, cx, 0.05f, 0); // pushed along x only
        Frame f = render("pdist_shader", 20, 20, [] {
            glPointSize(1);
            glBegin(GL_POINTS);
            glVertex3f(0.25f, 0.05f, 0); // pixel (12, 10) of the 20 x 20 target
            glEnd();
        });
        return std::make_pair(brightness(f.at(12, 10)), brightness(f.at(15, 10)));
    };
    EXPECT_GT(draw(0, 0).first, 700);     // in place at cur_t 0
    EXPECT_EQ(0, draw(1, 0).first);       // gone from its place...
    EXPECT_GT(draw(1, 0).second, 700);    // ...x 0.25 -> 0.5 from the centre at x 0
    EXPECT_GT(draw(1, 0.25f).first, 700); // a point on the centre stays
}

TEST_F(Programs, levels_drops_mid_grey_and_keeps_white)
{
    GLuint texture = make_texture(GL_TEXTURE_RECTANGLE_ARB, 0, 3, 1,
                                  row_of({{0, 0, 0, 255}, {128, 128, 128, 255}, {255, 255, 255, 255}}));
    Frame f = quad("levels_shader", 3, 1, 3, 1);
    const rgba expected[3] = {{0, 0, 0, 255}, {0, 0, 0, 255}, {255, 255, 255, 255}};
    for (int x = 0; x < 3; ++x)
        EXPECT_TRUE(near(f.at(x, 0), expected[x])) << x << " " << str(f.at(x, 0));
    glDeleteTextures(1, &texture);
}

TEST_F(Programs, blur_spreads_one_bright_texel_along_the_first_axis_only)
{
    const int size = 32, c = 16;
    std::vector<unsigned char> texels(size * size * 4, 0);
    std::fill_n(&texels[(c * size + c) * 4], 4, 255);
    GLuint texture = make_texture(GL_TEXTURE_RECTANGLE_ARB, 0, size, size, texels);
    // Filtered as the render targets are: the program reads between texels.
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    Frame f = quad("blur_shader", size, size, size, size);
    const float weights[6] = {0.16397f, 0.15136f, 0.11906f, 0.07981f, 0.04559f, 0.02219f};
    for (int d = 0; d <= 5; ++d) {
        EXPECT_NEAR(f.at(c + d, c)[0], 255 * weights[d], 1.5) << d;
        EXPECT_NEAR(f.at(c - d, c)[0], 255 * weights[d], 1.5) << d;
        EXPECT_EQ(0, f.at(c, c + d + 1)[0]) << d;
        EXPECT_EQ(0, f.at(c, c - d - 1)[0]) << d;
    }
    EXPECT_EQ(0, f.at(c + 6, c)[0]); // a bounded kernel
    glDeleteTextures(1, &texture);
}

TEST_F(Programs, two_image_shaders_dodge_average_and_add)
{
    // Per texel: (image on unit 0, image on unit 1).
    GLuint a = make_texture(GL_TEXTURE_RECTANGLE_ARB, 0, 4, 1,
                            row_of({{0, 0, 0, 255}, {0, 0, 0, 255}, {64, 64, 64, 255}, {200, 0, 100, 255}}));
    GLuint b = make_texture(GL_TEXTURE_RECTANGLE_ARB, 1, 4, 1,
                            row_of({{128, 128, 128, 255}, {255, 255, 255, 255}, {128, 128, 128, 255},
                                    {100, 50, 0, 255}}));
    for (const char* name : {"color_dodge_shader", "col_dodge"}) {
        Frame f = quad(name, 4, 1, 4, 1);
        EXPECT_TRUE(near(f.at(0, 0), {0, 0, 0, 255})) << name << " black stays black " << str(f.at(0, 0));
        EXPECT_TRUE(near(f.at(1, 0), {255, 255, 255, 255})) << name << " white blend gives white " << str(f.at(1, 0));
        EXPECT_TRUE(near(f.at(2, 0), {128, 128, 128, 255}, 3)) << name << " 64 / (1 - 0.5) " << str(f.at(2, 0));
    }
    rgba average = quad("lin_blend", 4, 1, 4, 1).at(3, 0);
    EXPECT_TRUE(near(average, {150, 25, 50, 255})) << str(average);
    Frame sum = quad("additive", 4, 1, 4, 1);
    EXPECT_TRUE(near(sum.at(3, 0), {255, 50, 100, 255})) << str(sum.at(3, 0));
    EXPECT_TRUE(near(sum.at(2, 0), {192, 192, 192, 255})) << str(sum.at(2, 0));
    glDeleteTextures(1, &a);
    glDeleteTextures(1, &b);
}
