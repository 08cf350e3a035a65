// cSceneWildSpeaker, scene 9 ("s09"): a ball studded with thirty small
// loudspeakers hangs in a white, fog-filled corridor. On every "beat" and
// "snare" the light beams and light plates of some speakers flash and fade
// within 300 ms (additive, volumetric-light shaded); a "melody" makes the
// ball's inner sphere glow for 800 ms, a "lead" pulls the corridor's fog in
// and lets it relax over two seconds. Six camera shots follow each other at
// fixed show times. The frame is cleared to white, drawn into a full-size
// pooled target and finished by the glow pass.
//
// The scene owns its seven meshes. Its exit frees the GPU buffers of five of
// them; a later activation uploads them again before it draws. The light
// records, the melody list and the counters persist across activations.
#pragma once

#include "post/post.h"
#include "scenes/scene_common.h"
#include "scenes/wild_speaker_lights.h"
#include "timeline/scene.h"

#include <cstdint>
#include <vector>

class iMesh;

// The shots, chosen by show time.
enum wild_speaker_shot
{
    WS_SHOT_ORBIT,
    WS_SHOT_MOVING_CORRIDOR,
    WS_SHOT_ORBIT_BEATS, // the orbit again, its phase moved on by the beats
    WS_SHOT_MOVING_ALL,
    WS_SHOT_MOVING_SPEAKER,
    WS_SHOT_FINAL,
};

// The shot that show time e (ms) selects.
wild_speaker_shot wild_speaker_shot_at(int32_t e);
// The corridor's fog end (world units) ms after the last "lead": 300 at the
// lead, back to 1500 two seconds later. Before any lead the age is the show
// time itself, far past two seconds.
float wild_speaker_fog_end(int32_t since_lead_ms);
// How strongly a beam shows at a light level (0 at the light's event, 1
// once its duration has passed or for a light never lit): 1 down to 0.
float wild_speaker_beam_strength(float level);

class cSceneWildSpeaker : public cScene
{
public:
    // One lit light, or one "melody": the event's code and time (ms of show
    // time) and how long it lasts (ms).
    struct light_record
    {
        int32_t code;
        int32_t time;
        int32_t duration;
    };

    explicit cSceneWildSpeaker(cClock* clock);
    ~cSceneWildSpeaker() override;
    cSceneWildSpeaker(const cSceneWildSpeaker&) = delete;
    cSceneWildSpeaker& operator=(const cSceneWildSpeaker&) = delete;

    void load() override;
    void init() override;
    void exit() override;
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override;
    void rewind_run() override;

    // Turns the modelview from the ball's frame into light i's: its +y is the
    // light's axis.
    void place_light(int i);
    void draw_corridor();
    void draw_speaker_ball();
    void draw_beams();

    // Each shot sets the projection and camera, then draws. p: the orbit's
    // phase offset, seconds.
    void shot_orbit(float p);
    void shot_moving_speaker();
    void shot_moving_all();
    void shot_moving_corridor();
    void shot_final();

    const int light_count; // 30

    // Meshes, null until load.
    iMesh* sphere;
    iMesh* internal_additive;
    iMesh* inner_sphere; // materials cleared: drawn in the scene's glow colour
    iMesh* speaker;
    iMesh* beam;
    iMesh* lightplates;
    iMesh* corridor;

    cSceneLight light; // at (0, 0, 0, 1), white

    light_record lights[WILD_SPEAKER_LIGHT_COUNT]; // (-1, -1, 0) until lit
    // Per light, 0 at its event rising to 1 when its duration has passed;
    // recomputed every update.
    float light_level[WILD_SPEAKER_LIGHT_COUNT];
    std::vector<light_record> melody_events; // each removed once older than its duration
    float melody_glow;                       // alpha of the inner sphere, 0.65 per fresh melody
    int32_t lead_time;                       // show time (ms) of the last "lead"
    int beat_count;
    float segment_x[4]; // corridor segments' offsets along the corridor, 0 .. 2800

    // Which lights the next "beat" and "snare" light; they cycle for the
    // whole run.
    int beat_cycle;
    int snare_cycle;

    cPostGlow glow;

private:
    // Each shot's opening: projection, modelview identity, the light.
    void begin_shot();
    // Lighting on, the light white, the ball under a pushed matrix.
    void draw_lit_ball();
};
