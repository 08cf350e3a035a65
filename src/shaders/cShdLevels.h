// The glow's bright-pass: a levels curve over a rectangle texture on unit 0.
// No parameters.
#pragma once

#include "shaders/cShader_CG.h"

class cShdLevels : public cShader_CG
{
public:
    cShdLevels(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
        : cShader_CG(context, vertex_profile, fragment_profile)
    {
        load_from_files("cg_levels_vert.cg", "cg_levels_frag.cg");
    }

    void init_parameters() override {}
    void apply_parameters() override {}
    void release_parameters() override {}
};
