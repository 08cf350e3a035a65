// cSceneWildSpeaker, scene 9: the wild speaker. Not written yet: it stands in as the
// numbered placeholder, so the show plays end to end meanwhile.
#pragma once

#include "scenes/scene_placeholder.h"

class cSceneWildSpeaker : public cScenePlaceholder
{
public:
    explicit cSceneWildSpeaker(cClock* clock) : cScenePlaceholder(9, clock) {}
};
