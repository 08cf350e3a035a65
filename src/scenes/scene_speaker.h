// cSceneSpeaker, scene 2: the speaker room. Not written yet: it stands in as the
// numbered placeholder, so the show plays end to end meanwhile.
#pragma once

#include "scenes/scene_placeholder.h"

class cSceneSpeaker : public cScenePlaceholder
{
public:
    explicit cSceneSpeaker(cClock* clock) : cScenePlaceholder(2, clock) {}
};
