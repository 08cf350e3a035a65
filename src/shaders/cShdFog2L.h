// Lit by light 1 (the corridor light) at the vertices, then two fog layers
// towards the fog colour per pixel.
// No parameters.
#pragma once

#include "shaders/cShader_CG.h"

class cShdFog2L : public cShader_CG
{
public:
    cShdFog2L(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
        : cShader_CG(context, vertex_profile, fragment_profile)
    {
        load_from_files("../src/shaders/cg_fog2L_vert.cg", "../src/shaders/cg_fog2L_frag.cg");
    }

    void init_parameters() override {}
    void apply_parameters() override {}
    void release_parameters() override {}
};
