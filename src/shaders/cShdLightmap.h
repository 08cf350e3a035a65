// Primary colour times a baked light map on unit 0, unlit.
// No parameters.
#pragma once

#include "shaders/cShader_CG.h"

class cShdLightmap : public cShader_CG
{
public:
    cShdLightmap(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile)
        : cShader_CG(context, vertex_profile, fragment_profile)
    {
        load_from_files("cg_lightmap_vert.cg", "cg_lightmap_frag.cg");
    }

    void init_parameters() override {}
    void apply_parameters() override {}
    void release_parameters() override {}
};
