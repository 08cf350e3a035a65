// The greetings room's screens: the picture (a rectangle texture on unit 0,
// addressed with 0..1 coordinates scaled by tex_dims) with a broadcast look,
// faded by the fixed-function linear fog.
#pragma once

#include "shaders/cShader_CG.h"

class cShdBroadcast : public cShader_CG
{
public:
    cShdBroadcast(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile);

    using cShader_CG::set_parameters;
    void init_parameters() override;
    // tex_dims = (a, b), the picture's size in texels; c and d are ignored.
    void set_parameters(float a, float b, float c, float d) override;
    void apply_parameters() override;
    void release_parameters() override {}

    CGparameter tex_dims_param; // fragment program's "tex_dims"
    float tex_dims[2];          // texels
};
