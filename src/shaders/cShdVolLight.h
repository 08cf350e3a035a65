// Soft volumetric beam for the light cones and plates, drawn additively.
// No parameters.
#pragma once

#include "shaders/cShader_CG.h"

class cShdVolLight : public cShader_CG
{
public:
    cShdVolLight(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
        : cShader_CG(context, vertex_profile, fragment_profile)
    {
        load_from_files("../src/shaders/vollight_vp.cg", "../src/shaders/vollight_fp.cg");
    }

    void init_parameters() override {}
    void apply_parameters() override {}
    void release_parameters() override {}
};
