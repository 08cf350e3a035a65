// A scene handed cues on its own clock, without GL: for the tests of what
// a scene's event handling and update make of the script's cues.
#pragma once

#include "timeline/scene.h"

#include <cstdint>

template <class Scene>
struct CuedScene
{
    CuedScene() { clock.start = 0; }
    // Hands over cue code at show time t, as the show does before a frame.
    void cue(int32_t code, int32_t t)
    {
        clock.now = t;
        const demo_event e = {code, t};
        scene.handle_event(&e);
    }
    // The frame's update at show time t.
    void at(int32_t t)
    {
        clock.now = t;
        scene.update();
    }

    cClock clock;
    Scene scene{&clock};
};
