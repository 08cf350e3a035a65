// cSceneTown, scene 4 ("s04"): the eye drifts slowly over one town block
// repeated 4 x 4, drawn faintly and additively in the colour of the sky
// through linear fog. Over the scene's stretch the sky turns from a cold
// blue to a warm orange, arriving when the script switches to scene 5.
// "bwab1"/"bwab2" flash the town brighter and every fourth one moves the eye
// to another vantage point; each of the first four "fadein" events fades in
// one quarter of the credits picture over the frame. The frame ends with the
// glow pass.
//
// The scene owns the town mesh (which keeps its own materials) and the
// credits texture handle. The first frame's time, the sky's end time, the
// flash level, the event counts and the credit slots live for the whole run:
// init() does not reset them, so a second stretch goes on where the first
// left off.
#pragma once

#include "post/post.h"
#include "scenes/scene_common.h"
#include "scenes/vertex_fog.h"
#include "timeline/scene.h"

#include <cstdint>

class iMesh;
class cTexture;

const int TOWN_CREDIT_QUARTERS = 4;
// A fade-in time that gives a weight of 0 at every show time.
const int32_t TOWN_NEVER = INT32_MAX;

// The sky: cold A at the start, warm B at the switch to scene 5.
extern const float TOWN_SKY_COLD[3];
extern const float TOWN_SKY_WARM[3];

// The sky's mix towards B, d ms after the first frame when the switch to
// scene 5 comes span ms after it: smoothstep of d / span clamped to [0, 1].
// A span of 0 or less (no switch follows) keeps the sky cold.
float town_sky_mix(int32_t d, int32_t span);
// The flash level after a frame g ms after the last bwab, given the level
// of the frame before: rising (never falling) to 0.145 over the first 85 ms,
// then falling back to the resting 0.02 over 415 ms.
float town_flash_level(int32_t g, float previous);
// The cues that flash the town ("bwab1", "bwab2").
const int32_t TOWN_CUE_BWAB1 = 20;
const int32_t TOWN_CUE_BWAB2 = 21;
// The eye's offset for a number of bwab events seen (a step every four).
void town_eye_offset(int32_t bwab_count, float offset[3]);
// The weight of a credit quarter faded in at fadein_time: 0 before, rising
// to 1 over 2000 ms.
float town_credit_weight(int32_t e, int32_t fadein_time);
// The lit part of each credit quarter of the 1024 x 768 RGBA picture (rows
// from t = 0 up, as GL reads a texture back): texels (s0, s1, t0, t1) round
// its texels that are not black, one texel wider each way within the
// quarter, s0 == s1 for a quarter with none. Added, black adds nothing, so
// drawing this part alone gives the frame the whole quarter gives.
void town_credit_bounds(const uint8_t* rgba, float bounds[TOWN_CREDIT_QUARTERS][4]);

class cSceneTown : public cScene
{
public:
    explicit cSceneTown(cClock* clock);
    ~cSceneTown() override;
    cSceneTown(const cSceneTown&) = delete;
    cSceneTown& operator=(const cSceneTown&) = delete;

    void load() override;
    void init() override;
    void exit() override;
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override;
    void rewind_run() override;

    // The block at the 16 places of the grid, 120 units apart in x and z.
    void draw_town_grid();
    // The faded-in credit quarters over the frame, each in its own quarter.
    void draw_credits();
    // Sets credit_texels from the loaded picture (load's last step).
    void find_credit_texels();

    iMesh* town; // "crazytown.bzobj", keeps its materials
    cPostGlow glow;
    cSceneLight light;
    cVertexFog vertex_fog; // the grid's fog, mixed at the vertices
    int32_t bwab_time;  // show time of the last bwab (or of the last init)
    int32_t bwab_count; // bwab events seen, across stretches
    cTexture* credits_texture; // "credits.png", 1024x768 texels
    // The part of each quarter drawn (town_credit_bounds of the texture, at
    // load); the whole quarters before, or for a picture of another size.
    float credit_texels[TOWN_CREDIT_QUARTERS][4];
    int32_t first_frame;       // show time of the first drawn frame; INT32_MAX before it
    int32_t fadein_times[TOWN_CREDIT_QUARTERS]; // TOWN_NEVER until filled
    int32_t fadein_count;                       // the next slot to fill

    // Looked up on the first drawn frame: the time of the next switch to
    // scene 5, -1 when none follows.
    int32_t sky_end;
    float flash; // the flash level of the last frame

    // The two values a frame leaves for the next ones, set at the start of
    // each draw (and by a fast-forward for a frame it does not draw): the
    // first drawn frame's time with the switch the sky ends at, taken once,
    // and the flash level of the frame at show time e.
    void latch_first_frame(int32_t e);
    void step_flash(int32_t e);
};
