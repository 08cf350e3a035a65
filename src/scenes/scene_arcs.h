// cSceneArcs, scene 6: the arcs. Not written yet: it stands in as the
// numbered placeholder, so the show plays end to end meanwhile.
#pragma once

#include "scenes/scene_placeholder.h"

class cSceneArcs : public cScenePlaceholder
{
public:
    explicit cSceneArcs(cClock* clock) : cScenePlaceholder(6, clock) {}
};
