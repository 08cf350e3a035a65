// cSceneParticleSpeaker, scene 3 ("s03"): a loudspeaker pumping on every
// beat inside a circular silo of six wall segments. Each "beat" pushes the
// membrane out (a morph), fires a burst of blue point particles from a ring
// around the speaker towards two attractors above it, and flashes a zoomed
// patch of an overlay picture over the frame; each "snare" switches to the
// next of fourteen recorded camera flights. The world turns slowly about the
// vertical axis and the frame ends with the glow pass.
//
// The scene owns its meshes, texture handles, the morph, the emitter and the
// particle pool; the GL textures and shaders stay with their managers.
// Particles, the path index and the beat state persist across activations.
#pragma once

#include "particles/particle_renderer.h"
#include "particles/particle_system.h"
#include "post/post.h"
#include "scenes/camera_path.h"
#include "timeline/clock.h"
#include "timeline/scene.h"

#include <cstdint>

class iMesh;
class cMeshMorph;
class cTexture;

const int PS_PATH_COUNT = 14;

// The camera paths by index; "ps_camINTRO.pth" is flown only until the first
// "snare", index 13 is loaded but never flown.
extern const char* const PS_PATH_FILES[PS_PATH_COUNT];
// Flight time of each path, milliseconds of show time, by index.
extern const int32_t PS_FLIGHT_MS[PS_PATH_COUNT];

// Particles one emitter call may revive at a beat age (ms): 1500 in the frame
// of a beat, falling with a smoothstep to 0 at 25 ms and after.
float ps_emit_limit(int32_t beat_age_ms);
// The speaker's morph weight: 1 at a beat, 0 from 100 ms on.
float ps_morph_weight(int32_t beat_age_ms);
// Alpha of the particles: 0.5 at a beat, back to 1 from 250 ms on.
float ps_particle_alpha(int32_t beat_age_ms);
// Grey of the overlay flash: 0.5 for the first 100 ms, 0 from 200 ms on.
float ps_overlay_grey(int32_t beat_age_ms);
// The path that follows index on a "snare": 1, 2, ..., 12, then 1 again.
int ps_next_path(int index);
// The camera path parameter: time since the path began over its flight
// time (not clamped here; the path clamps it).
float ps_path_parameter(int path_index, int32_t since_path_start_ms);

class cSceneParticleSpeaker : public cScene
{
public:
    explicit cSceneParticleSpeaker(cClock* clock);
    ~cSceneParticleSpeaker() override;

    void load() override;
    void init() override;
    void exit() override;
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override;
    void rewind_run() override;

    // One particle step of dt seconds: the beat's emission, the system's own
    // integration, then the attractors' pull on every living particle.
    void step_particles(float dt);
    // Every particle dead, as load() leaves the system.
    void reset_particles();
    void draw_silo();
    void draw_particles();
    void draw_beat_overlay();

    // Meshes, null until load.
    iMesh* silo_wall;
    iMesh* silo_doors;
    iMesh* silo_doors_morph; // loaded and kept, not drawn
    iMesh* silo_plate;
    iMesh* silo_speaker;
    iMesh* silo_speaker_morph;
    iMesh* silo_speaker_stiverter;
    cMeshMorph* speaker_morph; // silo_speaker towards silo_speaker_morph

    cTexture* particle_texture;
    cTexture* overlay_texture;

    CParticleSystem particles;
    CPSRendererPointSpr renderer;
    CSmoothPoints smooth_points; // draws the particles as smooth points
    CParticleEmitter* emitter; // a CParticleEmitterCircle

    // The scene's own clock, for the particle time step only (it reads the
    // same counter as the show clock).
    cClock own_clock;

    cCameraPath paths[PS_PATH_COUNT];
    int path_index;     // 0 .. 12
    int32_t path_start; // show time (ms) at which the current path began

    int32_t beat_time;       // show time (ms) of the last "beat"
    float overlay_offset[2]; // texture offset of the flash patch, each 0 .. 0.66
    // Set to -10 by a "beat" and never advanced (4 at construction): the
    // third attractor, given its strength when the phase is 0, stays off.
    int beat_phase;
    float third_attractor_strength; // 0 until the phase reaches 0

    cPostGlow glow;

    // Whether the run's first frame has been drawn (and set path_start).
    bool first_drawn() const { return first_draw_done; }

private:
    bool first_draw_done; // the first frame of the run sets path_start
};
