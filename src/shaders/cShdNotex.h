// Per-pixel lighting by light 0 with the current material, untextured.
// No parameters.
#pragma once

#include "shaders/cShader_CG.h"

class cShdNotex : public cShader_CG
{
public:
    cShdNotex(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
        : cShader_CG(context, vertex_profile, fragment_profile)
    {
        load_from_files("../src/shaders/cg_notex_vert.cg", "../src/shaders/cg_notex_frag.cg");
    }

    void init_parameters() override {}
    void apply_parameters() override {}
    void release_parameters() override {}
};
