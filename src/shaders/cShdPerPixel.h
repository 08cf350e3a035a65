// Per-pixel ambient, diffuse and specular lighting by light 0 on the visible face (the diamond pieces).
// No parameters.
#pragma once

#include "shaders/cShader_CG.h"

class cShdPerPixel : public cShader_CG
{
public:
    cShdPerPixel(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
        : cShader_CG(context, vertex_profile, fragment_profile)
    {
        load_from_files("../src/shaders/cg_perpixel_vert.cg", "../src/shaders/cg_perpixel_frag.cg");
    }

    void init_parameters() override {}
    void apply_parameters() override {}
    void release_parameters() override {}
};
