// GL access for the whole show.
//
// Every source file that calls GL includes this header instead of the system
// GL headers. It declares one global pointer per entry point beyond GL 1.1
// (filled once by init_extensions() with the context current, valid for the
// life of that context, which is the life of the process) and routes the GL
// name to it, so code calls glBindBufferARB(...) as usual and reaches the
// fetched pointer. Fetching every such entry point through SDL matters on the
// SDL 1.2 compatibility layer: only a fetched glBindFramebufferEXT maps
// framebuffer 0 onto the window.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#define MVK_GL_ENTRY(group, name, type) extern type mvk_##name;
#include "gl_entry_points.inc"
#undef MVK_GL_ENTRY

#include "gl_entry_names.h"

// One row per fetched entry point, in fetch order.
struct gl_entry_point
{
    int group;
    const char* name;
    void** slot; // the pointer the name is routed to
};

// The table of all entry points; count receives its length.
const gl_entry_point* gl_entry_points(int* count);

// A separable program of one stage made from GLSL source, or 0 (and nothing
// left behind) where the driver does not compile and link it.
GLuint gl_linked_program(GLenum stage, const char* source);

// A program pipeline of a separable vertex and a separable fragment program.
// make() builds it from GLSL sources (once; later calls keep it) and returns
// false, with nothing left behind, where the driver refuses either program.
// The destructor deletes what was made.
struct cProgramPipeline
{
    GLuint vertex = 0;
    GLuint fragment = 0;
    GLuint pipeline = 0;

    cProgramPipeline() = default;
    ~cProgramPipeline();
    bool make(const char* vertex_source, const char* fragment_source);

    cProgramPipeline(const cProgramPipeline&) = delete;
    cProgramPipeline& operator=(const cProgramPipeline&) = delete;
};
