// cSceneTown, scene 4: the town. Not written yet: it stands in as the
// numbered placeholder, so the show plays end to end meanwhile.
#pragma once

#include "scenes/scene_placeholder.h"

class cSceneTown : public cScenePlaceholder
{
public:
    explicit cSceneTown(cClock* clock) : cScenePlaceholder(4, clock) {}
};
