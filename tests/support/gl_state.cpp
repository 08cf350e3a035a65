#include "support/gl_state.h"

#include "platform/platform.h"
#include "shaders/cShaderContainer_CG.h"

GlState GlState::now()
{
    GlState s;
    s.shader = get_shader_container()->current_shader;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &s.active_unit);
    for (GLenum unit : {GL_TEXTURE1, GL_TEXTURE0}) {
        glActiveTextureARB(unit);
        s.enables.push_back(glIsEnabled(GL_TEXTURE_RECTANGLE_ARB));
        s.enables.push_back(glIsEnabled(GL_TEXTURE_2D));
        const int i = unit == GL_TEXTURE0 ? 0 : 1;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.bound_2d[i]);
        glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE_ARB, &s.bound_rectangle[i]);
        if (i == 0)
            glGetIntegerv(GL_SAMPLER_BINDING, &s.sampler);
    }
    glGetFloatv(GL_TEXTURE_MATRIX, s.texture_matrix); // of unit 0
    glActiveTextureARB(GLenum(s.active_unit));
    for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_BLEND, GL_CULL_FACE, GL_ALPHA_TEST, GL_MULTISAMPLE})
        s.enables.push_back(glIsEnabled(cap));
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview);
    glGetFloatv(GL_CURRENT_COLOR, s.colour);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &s.depth_mask);
    glGetIntegerv(GL_MATRIX_MODE, &s.matrix_mode);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &s.framebuffer);
    glGetIntegerv(GL_VIEWPORT, s.viewport);
    glGetIntegerv(GL_BLEND_SRC, &s.blend_src);
    glGetIntegerv(GL_BLEND_DST, &s.blend_dst);
    return s;
}

void GlState::expect_same(const GlState& after, const std::string& what, bool bindings) const
{
    EXPECT_EQ(shader, after.shader) << what;
    EXPECT_EQ(enables, after.enables) << what;
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(projection[i], after.projection[i]) << what << " projection " << i;
        EXPECT_EQ(modelview[i], after.modelview[i]) << what << " modelview " << i;
        EXPECT_EQ(texture_matrix[i], after.texture_matrix[i]) << what << " texture matrix " << i;
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(colour[i], after.colour[i]) << what << " colour " << i;
        EXPECT_EQ(viewport[i], after.viewport[i]) << what << " viewport " << i;
    }
    for (int i = 0; bindings && i < 2; ++i) {
        EXPECT_EQ(bound_2d[i], after.bound_2d[i]) << what << " 2D texture on unit " << i;
        EXPECT_EQ(bound_rectangle[i], after.bound_rectangle[i]) << what << " rectangle texture on unit " << i;
    }
    EXPECT_EQ(depth_mask, after.depth_mask) << what;
    EXPECT_EQ(matrix_mode, after.matrix_mode) << what;
    EXPECT_EQ(framebuffer, after.framebuffer) << what;
    EXPECT_EQ(blend_src, after.blend_src) << what << " blend source factor";
    EXPECT_EQ(blend_dst, after.blend_dst) << what << " blend destination factor";
    EXPECT_EQ(active_unit, after.active_unit) << what << " active texture unit";
    EXPECT_EQ(sampler, after.sampler) << what << " sampler object on unit 0";
}

testing::AssertionResult scene_exit_state_is_default()
{
    std::vector<std::string> wrong;
    auto need = [&](bool ok, const char* what) {
        if (!ok)
            wrong.push_back(what);
    };
    GLboolean depth_mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    need(depth_mask == GL_TRUE, "depth writes on");
    need(glIsEnabled(GL_DEPTH_TEST), "depth test on");
    GLint src = 0, dst = 0, unit = 0, framebuffer = -1, program = -1;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    need(src == GL_SRC_ALPHA && dst == GL_ONE_MINUS_SRC_ALPHA, "blend SRC_ALPHA / ONE_MINUS_SRC_ALPHA");
    need(!glIsEnabled(GL_COLOR_MATERIAL), "colour material off");
    need(!glIsEnabled(GL_FOG), "fog off");
    const std::string shader = get_shader_container()->current_shader;
    need(shader.empty() || shader == "null_shader", "no shader bound");
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    GLint pipeline = -1;
    glGetIntegerv(GL_PROGRAM_PIPELINE_BINDING, &pipeline);
    need(program == 0 && pipeline == 0, "no GL program or pipeline bound");
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &unit);
    need(unit == GL_TEXTURE0, "texture unit 0 active");
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
    need(framebuffer == 0, "the window's framebuffer bound");
    for (GLenum u : {GL_TEXTURE2, GL_TEXTURE1, GL_TEXTURE0}) {
        glActiveTextureARB(u);
        need(!glIsEnabled(GL_TEXTURE_2D) && !glIsEnabled(GL_TEXTURE_RECTANGLE_ARB),
             u == GL_TEXTURE0 ? "no texture target on unit 0" : u == GL_TEXTURE1 ? "no texture target on unit 1" : "no texture target on unit 2");
        if (u == GL_TEXTURE2)
            continue;
        for (GLenum coord : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q})
            need(!glIsEnabled(coord), u == GL_TEXTURE0 ? "texgen off on unit 0" : "texgen off on unit 1");
        GLfloat m[16];
        glGetFloatv(GL_TEXTURE_MATRIX, m);
        bool identity = true;
        for (int i = 0; i < 16; ++i)
            identity = identity && m[i] == (i % 5 == 0 ? 1.0f : 0.0f);
        need(identity, u == GL_TEXTURE0 ? "texture matrix identity on unit 0" : "texture matrix identity on unit 1");
    }
    glActiveTextureARB(GLenum(unit));
    if (wrong.empty())
        return testing::AssertionSuccess();
    testing::AssertionResult failure = testing::AssertionFailure() << "not as the next scene expects:";
    for (const std::string& w : wrong)
        failure << " " << w << ";";
    return failure;
}

GLint gl_integer(GLenum name)
{
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

GLint buffer_size(GLuint id)
{
    auto fn = reinterpret_cast<PFNGLGETBUFFERPARAMETERIVARBPROC>(platform_gl_get_proc("glGetBufferParameterivARB"));
    GLint size = -1;
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, id);
    fn(GL_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &size);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    return size;
}
