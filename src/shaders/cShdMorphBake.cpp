#include "shaders/cShdMorphBake.h"

#include <iostream>

cShdMorphBake::cShdMorphBake(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
    : cShader_CG(context, vertex_profile, fragment_profile), cur_t_param(nullptr), cur_t(0)
{
    load_from_files("../src/cg_morphBake_vert.cg", "../src/cg_morphBake_frag.cg");
}

void cShdMorphBake::init_parameters()
{
    cur_t_param = cgGetNamedParameter(vertex_program, "cur_t");
    if (!cur_t_param)
        std::cerr << "## ERROR: unable to get shader-parameters in " << __FILE__ << ", line " << __LINE__
                  << std::endl;
}

void cShdMorphBake::set_parameters(float a, float, float, float)
{
    cur_t = a;
}

void cShdMorphBake::apply_parameters()
{
    cgGLSetParameter1f(cur_t_param, cur_t);
}
