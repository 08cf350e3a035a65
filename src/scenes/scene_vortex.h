// cSceneVortex, scene 10: the vortex. Not written yet: it stands in as the
// numbered placeholder, so the show plays end to end meanwhile.
#pragma once

#include "scenes/scene_placeholder.h"

class cSceneVortex : public cScenePlaceholder
{
public:
    explicit cSceneVortex(cClock* clock) : cScenePlaceholder(10, clock) {}
};
