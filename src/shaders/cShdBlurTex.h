// Blur along the first axis of a rectangle texture on unit 0 (the pass turns the image between draws).
// No parameters.
#pragma once

#include "shaders/cShader_CG.h"

class cShdBlurTex : public cShader_CG
{
public:
    cShdBlurTex(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
        : cShader_CG(context, vertex_profile, fragment_profile)
    {
        load_from_files("cg_blurtex_vert.cg", "cg_blurtex_frag.cg");
    }

    void init_parameters() override {}
    void apply_parameters() override {}
    void release_parameters() override {}
};
