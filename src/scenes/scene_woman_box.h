// cSceneWomanBox, scene 8: the woman box. Not written yet: it stands in as the
// numbered placeholder, so the show plays end to end meanwhile.
#pragma once

#include "scenes/scene_placeholder.h"

class cSceneWomanBox : public cScenePlaceholder
{
public:
    explicit cSceneWomanBox(cClock* clock) : cScenePlaceholder(8, clock) {}
};
