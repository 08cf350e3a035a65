#include "gl_ext.h"

#include <initializer_list>

#define MVK_GL_ENTRY(group, name, type) type mvk_##name = nullptr;
#include "gl_entry_points.inc"
#undef MVK_GL_ENTRY

namespace {
const gl_entry_point k_entry_points[] = {
#define MVK_GL_ENTRY(group, name, type) {group, #name, reinterpret_cast<void**>(&mvk_##name)},
#include "gl_entry_points.inc"
#undef MVK_GL_ENTRY
};
}

const gl_entry_point* gl_entry_points(int* count)
{
    *count = int(sizeof(k_entry_points) / sizeof(k_entry_points[0]));
    return k_entry_points;
}

GLuint gl_linked_program(GLenum stage, const char* source)
{
    GLuint id = glCreateShaderProgramv(stage, 1, &source);
    GLint linked = GL_FALSE;
    if (id)
        glGetProgramiv(id, GL_LINK_STATUS, &linked);
    if (!linked && id) {
        glDeleteProgram(id);
        id = 0;
    }
    return id;
}

cProgramPipeline::~cProgramPipeline()
{
    if (pipeline)
        glDeleteProgramPipelines(1, &pipeline);
    for (GLuint program : {vertex, fragment})
        if (program)
            glDeleteProgram(program);
}

bool cProgramPipeline::make(const char* vertex_source, const char* fragment_source)
{
    if (pipeline)
        return true;
    vertex = gl_linked_program(GL_VERTEX_SHADER, vertex_source);
    fragment = gl_linked_program(GL_FRAGMENT_SHADER, fragment_source);
    if (!vertex || !fragment) {
        for (GLuint* program : {&vertex, &fragment})
            if (*program) {
                glDeleteProgram(*program);
                *program = 0;
            }
        return false;
    }
    glGenProgramPipelines(1, &pipeline);
    glUseProgramStages(pipeline, GL_VERTEX_SHADER_BIT, vertex);
    glUseProgramStages(pipeline, GL_FRAGMENT_SHADER_BIT, fragment);
    return true;
}
