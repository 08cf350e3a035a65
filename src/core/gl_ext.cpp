#include "gl_ext.h"

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
