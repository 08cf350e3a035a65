// cSceneTangled, scene 12: one textured knot turning slowly about the
// vertical axis in a very wide view, drawn additively without depth test so
// it glows where its strands overlap. It reacts to no event and holds no
// offscreen target. The greetings scene also calls its draw() every frame
// as the picture on its screens, without init or exit, so draw() sets up
// everything it relies on and its angle depends on the show time alone.
//
// Created by the demo object, owned by the scene manager. The knot mesh
// and the texture handle are loaded once (models/tangled/) and deleted by
// the destructor.
#pragma once

#include "scenes/scene_common.h"
#include "timeline/scene.h"

class iMesh;
class cTexture;

class cSceneTangled : public cScene
{
public:
    explicit cSceneTangled(cClock* clock);
    ~cSceneTangled() override;
    cSceneTangled(const cSceneTangled&) = delete;
    cSceneTangled& operator=(const cSceneTangled&) = delete;

    void load() override;
    void init() override;
    void exit() override;
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override;

    iMesh* knot; // "tangled.bzobj", materials cleared
    cSceneLight light;
    cTexture* knot_texture; // "glowing_twirl_4.jpg"
};

// The knot's turn about y at show time e (milliseconds): 0.025 degrees per
// millisecond, one turn in 14.4 s.
float tangled_angle(int32_t e);
