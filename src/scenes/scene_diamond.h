// cSceneDiamond, scene 11: the diamond. Not written yet: it stands in as the
// numbered placeholder, so the show plays end to end meanwhile.
#pragma once

#include "scenes/scene_placeholder.h"

class cSceneDiamond : public cScenePlaceholder
{
public:
    explicit cSceneDiamond(cClock* clock) : cScenePlaceholder(11, clock) {}
};
