// Per-pixel lighting by light 0, modulated by the texture on unit 0.
// No parameters.
#pragma once

#include "shaders/cShader_CG.h"

class cShdDtex : public cShader_CG
{
public:
    cShdDtex(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
        : cShader_CG(context, vertex_profile, fragment_profile)
    {
        load_from_files("../src/shaders/cg_Dtex_vert.cg", "../src/shaders/cg_Dtex_frag.cg");
    }

    void init_parameters() override {}
    void apply_parameters() override {}
    void release_parameters() override {}
};
