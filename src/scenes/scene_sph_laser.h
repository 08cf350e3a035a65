// cSceneSphLaser, scene 7: the sphere laser. Not written yet: it stands in as the
// numbered placeholder, so the show plays end to end meanwhile.
#pragma once

#include "scenes/scene_placeholder.h"

class cSceneSphLaser : public cScenePlaceholder
{
public:
    explicit cSceneSphLaser(cClock* clock) : cScenePlaceholder(7, clock) {}
};
