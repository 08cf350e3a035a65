#include "shaders/cShdParticleDistort.h"

#include <iostream>

cShdParticleDistort::cShdParticleDistort(CGcontext* context, const CGprofile& vertex_profile,
                                         const CGprofile& fragment_profile)
    : cShader_CG(context, vertex_profile, fragment_profile), cur_t_param(nullptr), radial_center_param(nullptr),
      cur_t(0), radial_center{0, 0, 0}
{
    load_from_files("../src/cg_pdist_vert.cg", "../src/cg_pdist_frag.cg");
}

void cShdParticleDistort::init_parameters()
{
    cur_t_param = cgGetNamedParameter(vertex_program, "cur_t");
    if (!cur_t_param)
        std::cerr << "## ERROR: unable to get shader-parameters in " << __FILE__ << ", line " << __LINE__
                  << std::endl;
    radial_center_param = cgGetNamedParameter(vertex_program, "radial_center");
    if (!radial_center_param)
        std::cerr << "## ERROR: unable to get shader-parameters in " << __FILE__ << ", line " << __LINE__
                  << std::endl;
}

void cShdParticleDistort::set_parameters(float a, float b, float c, float d)
{
    cur_t = a;
    radial_center[0] = b;
    radial_center[1] = c;
    radial_center[2] = d;
}

void cShdParticleDistort::apply_parameters()
{
    cgGLSetParameter1f(cur_t_param, cur_t);
    cgGLSetParameter3fv(radial_center_param, radial_center);
}
