// cSceneSpeaker, scene 2 ("s02"): a hall with a walkway ("gangbro") and
// railings, lit by baked light maps, holding ten loudspeakers round a
// glowing body. Every cue the scene receives triggers three speakers chosen
// at random: each lights up (its light colour jumps to 3.75 and falls back to
// 0.75 over 750 ms) and, while cues are recent, throws a volumetric light
// cone and a light plate that fade over 300 ms; each trigger also brightens
// the room for 400 ms. The model turns about a tilted axis; "snare" and
// "fadein" reverse the turn and "snare" also jumps it forward; "fadein"
// throws the eye back, from where it glides in over 3.7 s.
//
// The scene owns its meshes and texture handles; the GL textures and the
// shaders stay with their managers. Leaving the scene frees its meshes'
// vertex buffers; coming back uploads them again from the arrays they keep.
// The beat count, turn offset and turn direction live for the whole run.
#pragma once

#include "post/post.h"
#include "scenes/scene_common.h"
#include "timeline/clock.h"
#include "timeline/scene.h"

#include <cstdint>
#include <vector>

class iMesh;
class cTexture;

// The values that outlive the scene object's activations: they start at the
// program's start and are changed only by the scene's cues.
struct cSpeakerRunState
{
    int beat_count = 0;       // "beat" cues seen
    int32_t turn_offset = 0;  // milliseconds added to show time for the turn; +1500 per "snare"
    int turn_direction = 1;   // +1 or -1, reversed by "snare" and "fadein"
};
cSpeakerRunState& speaker_run_state();

// A triggered speaker's light colour at an age (ms) of its trigger: 3.75 at
// the trigger, falling with a smoothstep to 0.75 from 750 ms on.
float speaker_light_level(int32_t age_ms);
// Strength q of its cone and plate: 1 at the trigger, 0 from 300 ms on.
float speaker_cone_strength(int32_t age_ms);
// The eye at an age (ms) of the last "fadein": (210, -90, 215) at it,
// gliding in to (60, 60, 65) from 3.7 s on. Before it (negative age) the eye
// keeps moving out along the same line: the glide has no upper bound.
void speaker_eye(int32_t since_fadein_ms, float eye[3]);
// The model's turn (degrees about (0, 0.65, 0.35)) at show time e.
float speaker_turn_degrees(int32_t e);

class cSceneSpeaker : public cScene
{
public:
    explicit cSceneSpeaker(cClock* clock);
    ~cSceneSpeaker() override;

    void load() override;
    void init() override;
    void exit() override;
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override;
    void rewind_run() override;

    void draw_room();
    void draw_speakers();
    void draw_cones();

    // Light colour of speaker i in this frame.
    float light_level(int i) const;

    int speaker_count; // 10

    // Meshes, null until load: the room ("sphere_speaker_environment",
    // "..._environment_railing", "sphere_speaker_gangbro",
    // "..._gangbro_railing", in this order), the body, and per speaker its
    // mesh, cone and plate (materials of the last two cleared).
    std::vector<iMesh*> environment;
    iMesh* body_light;
    std::vector<iMesh*> speakers;
    std::vector<iMesh*> cones;
    std::vector<iMesh*> plates;

    cTexture* light_texture;
    cTexture* environment_lightmap;
    cTexture* gangbro_lightmap;

    cSceneLight light; // at (0, 0, 0) under the identity: the eye

    int32_t trigger_times[10];             // show time (ms) each speaker was last triggered
    std::vector<demo_event> recent_events; // cues of the last second
    float brightness;                      // the room's grey: 0.05 at rest, + 0.4 per fresh trigger
    int32_t fadein_time;                   // event time (ms) of the last "fadein"

    cPostGlow glow;

private:
    std::vector<iMesh*> all_meshes() const;
    bool buffers_released; // exit freed the buffers; the next init uploads again
};
