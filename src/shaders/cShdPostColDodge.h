// Colour dodge of the image on unit 0 by the image on unit 1.
// No parameters.
#pragma once

#include "shaders/cShader_CG.h"

class cShdPostColDodge : public cShader_CG
{
public:
    cShdPostColDodge(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
        : cShader_CG(context, vertex_profile, fragment_profile)
    {
        load_from_files("cg_post_col_dodge_vert.cg", "cg_post_col_dodge_frag.cg");
    }

    void init_parameters() override {}
    void apply_parameters() override {}
    void release_parameters() override {}
};
