// What the particle tests ask of a particle system.
#pragma once

#include "particles/particle_system.h"

#include <cstdint>
#include <vector>

// The indices of the living particles, lowest first.
inline std::vector<uint32_t> living(const CParticleSystem& s)
{
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < s.size(); ++i)
        if (s.is_alive(i))
            out.push_back(i);
    return out;
}
