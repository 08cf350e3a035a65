// Average of the images on units 0 and 1.
// No parameters.
#pragma once

#include "shaders/cShader_CG.h"

class cShdPostLin : public cShader_CG
{
public:
    cShdPostLin(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
        : cShader_CG(context, vertex_profile, fragment_profile)
    {
        load_from_files("cg_post_lin_vert.cg", "cg_post_lin_frag.cg");
    }

    void init_parameters() override {}
    void apply_parameters() override {}
    void release_parameters() override {}
};
