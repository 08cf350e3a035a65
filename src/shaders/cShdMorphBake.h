// A mesh morphed towards the positions held in its texture coordinate set 3
// by cur_t (0 its own, 1 the target), lit as cShdNotex. The mesh code sets
// cur_t before each bind.
#pragma once

#include "shaders/cShader_CG.h"

class cShdMorphBake : public cShader_CG
{
public:
    cShdMorphBake(CGcontext* context, const CGprofile& vertex_profile, const CGprofile& fragment_profile);

    using cShader_CG::set_parameters;
    void init_parameters() override;
    // cur_t = a.
    void set_parameters(float a, float b, float c, float d) override;
    void apply_parameters() override;
    void release_parameters() override {}

    CGparameter cur_t_param; // vertex program's "cur_t"
    float cur_t;             // morph weight, 0..1
};
