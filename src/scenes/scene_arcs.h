// cSceneArcs, scene 6 ("s06"): eight copies of one arc, in four colour
// pairs, tumble about the centre of a very wide view, drawn additively with
// the specular-only shader over a scrolling diagram whose grey level flashes
// on every beat. Every second beat of the run kicks the tumbling forward,
// and over the scene the arcs turn from cold blues to warm reds and oranges.
// The frame is drawn into the scene's own window-sized layer (its cOverlay
// base, created with the scene, so the GL context must be current at
// construction) and finished by the glow pass.
//
// Created by the demo object, owned by the scene manager. The arc mesh and
// the texture handle are loaded once ("../data/models/colorArc/") and
// deleted by the destructor; the layer lives as long as the scene. The
// tumbling phase, the kick, the beat count and the first drawn frame's time
// belong to the scene object, which lives for the whole run: a second
// stretch of the scene carries on from them.
#pragma once

#include "post/post.h"
#include "scenes/overlay.h"
#include "scenes/scene_common.h"
#include "timeline/scene.h"

#include <cstdint>

class iMesh;
class cTexture;

const int ARCS_COUNT = 8;

// Show time (ms) from which the arcs leave their cold colours.
const int32_t ARCS_WARM_FROM = 182628;
// With the turn's reference 181628 ms: the warm turn lasts 181628 minus the
// first frame's time.
const int32_t ARCS_WARM_REFERENCE = 181628;

// The kick after one frame: kick x 0.95, truncated toward zero.
int32_t arcs_decay_kick(int32_t kick);
// Weight of the cold colours (1 cold, 0 warm) at show time e for a scene
// that first drew at first_time: smoothstep of
// clamp(1 - (e - 182628) / (181628 - first_time), 0, 1). A first frame at or
// after 181628 ms would make that span zero or negative; the span is then
// taken as 1 ms, so the arcs stay cold until 182628 ms and are warm from the
// next millisecond on.
float arcs_cold_weight(int32_t e, int32_t first_time);
// Grey level of the diagram at a beat's age (ms):
// clamp(0.25 + 0.65 (1 - 0.004 age), 0, 1): 0.9 at the beat, 0.25 at 250 ms,
// black from about 346 ms until the next beat (435 ms apart in the drop).
float arcs_background_grey(int32_t beat_age_ms);
// The colour (RGB, 0..1) of arc i (0..7) for a cold weight k.
void arcs_colour(int i, float k, float rgb[3]);

class cSceneArcs : public cScene, private cOverlay
{
public:
    explicit cSceneArcs(cClock* clock);
    ~cSceneArcs() override;
    cSceneArcs(const cSceneArcs&) = delete;
    cSceneArcs& operator=(const cSceneArcs&) = delete;

    void load() override;
    void init() override;
    void exit() override;
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override;
    void rewind_run() override;

    // The diagram over the whole layer, its grey set by the last beat's age,
    // scrolled with the phase. Restores the matrices, depth mask and enables.
    void draw_background();

    // The scene's layer: the window-sized target of its cOverlay base.
    cRenderTarget_fbo& layer() { return target; }

    cSceneLight light;
    cPostGlow glow;
    iMesh* arc;                 // "colorArc.bzobj", materials cleared
    cTexture* diagram_texture;  // "diagram_overlays.jpg", repeated, no mipmaps
    float angles[ARCS_COUNT][3]; // degrees about x, y, z per arc, set by update()
    int32_t phase;      // tumbling phase: milliseconds of frame time plus kicks
    int32_t kick;       // extra phase per frame, 100 after an even beat, decaying
    int32_t beat_time;  // show time (ms) of the last "beat"
    int32_t beat_count; // beats received over the whole run
    int32_t first_time; // show time (ms) of the scene's first drawn frame
    bool first_drawn;   // whether first_time is taken
};
