#include "shaders/cShdBroadcast.h"

#include <iostream>

cShdBroadcast::cShdBroadcast(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
    : cShader_CG(context, vertex_profile, fragment_profile), tex_dims_param(nullptr), tex_dims{0, 0}
{
    load_from_files("cg_broadcast_vert.cg", "cg_broadcast_frag.cg");
}

void cShdBroadcast::init_parameters()
{
    tex_dims_param = cgGetNamedParameter(fragment_program, "tex_dims");
    if (!tex_dims_param) // the class name is the message's own, kept as users know it
        std::cerr << "## ERROR: unable to get parameters in cShdOsBump::init_parameters()" << std::endl;
}

void cShdBroadcast::set_parameters(float a, float b, float, float)
{
    tex_dims[0] = a;
    tex_dims[1] = b;
}

void cShdBroadcast::apply_parameters()
{
    cgGLSetParameter2fv(tex_dims_param, tex_dims);
}
