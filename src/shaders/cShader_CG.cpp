#include "shaders/cShader_CG.h"

#include "core/resource_path.h"

#include <cstdlib>
#include <iostream>

cShader_CG::cShader_CG(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
    : context(context), vertex_profile(vertex_profile), fragment_profile(fragment_profile),
      vertex_program(nullptr), fragment_program(nullptr)
{
}

cShader_CG::~cShader_CG()
{
    // The container destroys its context before its shaders, and the context
    // takes every program made in it along: destroying them again here would
    // pass dead handles to the runtime.
    if (!context || !*context)
        return;
    if (vertex_program)
        cgDestroyProgram(vertex_program);
    if (fragment_program)
        cgDestroyProgram(fragment_program);
    vertex_program = fragment_program = nullptr;
}

bool cShader_CG::load_from_files(std::string vertex_file, std::string fragment_file)
{
    cResourcePath* paths = get_resource_path();
    // A file the search paths do not find goes on as named, so the runtime's
    // report names it.
    std::string vertex_path = paths->get_fullpath(vertex_file);
    std::string fragment_path = paths->get_fullpath(fragment_file);
    if (vertex_path.empty())
        vertex_path = vertex_file;
    if (fragment_path.empty())
        fragment_path = fragment_file;

    // Both are created before either is tested: the runtime reports the
    // first failure through the error callback, which ends the process.
    vertex_program = cgCreateProgramFromFile(*context, CG_SOURCE, vertex_path.c_str(), vertex_profile, nullptr, nullptr);
    fragment_program =
        cgCreateProgramFromFile(*context, CG_SOURCE, fragment_path.c_str(), fragment_profile, nullptr, nullptr);

    if (!vertex_program || !fragment_program) {
        const std::string& failed = vertex_program ? fragment_file : vertex_file;
        std::cerr << "## ERROR: cShader_CG::load_from_files() failed on " << failed << std::endl;
        exit(-1); // a failure: never the normal end's status 0
    }
    cgGLLoadProgram(vertex_program);
    cgGLLoadProgram(fragment_program);
    init_parameters();
    return true;
}

void cShader_CG::bind()
{
    if (vertex_program) {
        cgGLBindProgram(vertex_program);
        if (fragment_program)
            cgGLBindProgram(fragment_program);
    }
    apply_parameters();
}
