// Primary colour plus the specular highlight of light 0 alone (arcs, vortex arms; drawn additively).
// No parameters.
#pragma once

#include "shaders/cShader_CG.h"

class cShdSpecOnly : public cShader_CG
{
public:
    cShdSpecOnly(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
        : cShader_CG(context, vertex_profile, fragment_profile)
    {
        load_from_files("../src/shaders/cg_spec_only_vert.cg", "../src/shaders/cg_spec_only_frag.cg");
    }

    void init_parameters() override {}
    void apply_parameters() override {}
    void release_parameters() override {}
};
