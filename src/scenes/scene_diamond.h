// cSceneDiamond, scene 11 ("s11"): sixteen pieces of a cut diamond float
// around a common centre, each turning about an axis of its own (drawn from
// the C runtime's generator at load), while the group turns slowly about the
// vertical axis under a camera high above. The pieces are lit per pixel by
// one light at the eye and drawn additively without depth. "technofx" and
// "technofx2" flare the specular colour for 1.7 s, "melody" raises the
// diffuse brightness for 2.2 s. The frame is drawn into a full-size target
// the scene holds while it is current, finished with the glow pass, then
// darkened towards black over the last seconds before the script's quit.
//
// Created by the demo object, owned by the scene manager. The pieces are
// loaded once (models/diamond/) and deleted by the destructor; the target
// is taken from the render target pool by init() and given back by exit()
// (or by the destructor, if the show ends while the scene is current). The
// effect list, the levels and the quit time live for the whole run.
#pragma once

#include "post/post.h"
#include "rendertargets/rendertarget_manager.h"
#include "scenes/scene_common.h"
#include "timeline/scene.h"

#include <array>
#include <cstdint>
#include <vector>

class iMesh;

const int DIAMOND_PIECES = 16;

// "diamond00.bzobj" .. "diamond15.bzobj", by piece.
extern const char* const DIAMOND_PIECE_FILES[DIAMOND_PIECES];

// How long an effect entry lasts (ms): 1700 for "technofx", "technofx2" and
// "lead" (22, 23, 25), 2200 for "melody" (24), 2^31 for any other code.
float diamond_effect_lifetime(int32_t code);
// The darkening factor at show time e for a quit event at quit_ms: 1 until
// 5000 ms before the quit, 0 from 1000 ms before it on, linear between.
float diamond_fade_factor(int32_t quit_ms, int32_t e);

class cSceneDiamond : public cScene
{
public:
    explicit cSceneDiamond(cClock* clock);
    ~cSceneDiamond() override;
    cSceneDiamond(const cSceneDiamond&) = delete;
    cSceneDiamond& operator=(const cSceneDiamond&) = delete;

    void load() override;
    void init() override;
    void exit() override;
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override;
    void rewind_run() override;

    // Removes the entries of effects older than their lifetime.
    void prune_effects();
    // Multiplies the picture on the current framebuffer by the darkening
    // factor; reads the quit time from the script's queue at its first call.
    void draw_end_fade();

    iMesh* pieces[DIAMOND_PIECES];          // materials kept
    std::vector<std::array<float, 3>> axes; // one rotation axis per piece, each component 0..1
    cSceneLight light;
    cPostGlow glow;
    cTmpRenderTarget frame_target;  // RTT_FULL with depth, held from init() to exit()
    std::vector<demo_event> effects; // "technofx", "technofx2" and "melody" still in effect, oldest first
    float melody_level;             // added to the light's diffuse, 0 .. (0.6 per melody)
    float flare_level;              // scales the specular flare colour, 0.2 at rest

    // Show time (ms) of the quit event still to come when the scene first
    // drew, -1 when there was none; read once, kept for the run.
    int32_t quit_time;
    bool quit_time_read;
};
