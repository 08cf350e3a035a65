// Points pushed radially away from radial_center by an amount driven by
// cur_t. Registered by the particle speaker scene; nothing draws with it yet.
#pragma once

#include "shaders/cShader_CG.h"

class cShdParticleDistort : public cShader_CG
{
public:
    cShdParticleDistort(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile);

    using cShader_CG::set_parameters;
    void init_parameters() override;
    // cur_t = a, radial_center = (b, c, d).
    void set_parameters(float a, float b, float c, float d) override;
    void apply_parameters() override;
    void release_parameters() override {}

    CGparameter cur_t_param;         // vertex program's "cur_t"
    CGparameter radial_center_param; // vertex program's "radial_center"
    float cur_t;                     // displacement drive, 0 leaves the points in place
    float radial_center[3];          // object space
};
