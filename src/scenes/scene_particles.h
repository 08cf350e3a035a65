// cSceneParticles, scene 1: over a bright grid picture framed by two thin
// scrolling bands of dots, a cloud of up to 40000 particles rises from a
// strip on the ground towards two attractors. The cloud is drawn four times,
// a quarter turn apart about x, as dark points that darken what lies under
// them, and turns slowly about a tilted axis. Each "beat" darkens the
// points for 300 ms and puts a white flash over the picture for 400 ms.
//
// Created by the demo object, owned by the scene manager. It loads three
// images from the always-searched folders and uses no mesh, shader or
// render target; the particle pool lives as long as the scene and is never
// reset, so a later stretch goes on with the same cloud.
#pragma once

#include "particles/particle_renderer.h"
#include "particles/particle_system.h"
#include "timeline/scene.h"

#include <cstdint>

class cTexture;

// The pool and its emitter's settings.
const uint32_t PARTICLES_COUNT = 40000;
const float PARTICLES_EMIT_PER_CALL = 100.0f;
// One integration step per frame, whatever the frame's real length.
const float PARTICLES_STEP_SECONDS = 0.05f;

class cSceneParticles : public cScene
{
public:
    explicit cSceneParticles(cClock* clock);
    ~cSceneParticles() override;
    cSceneParticles(const cSceneParticles&) = delete;
    cSceneParticles& operator=(const cSceneParticles&) = delete;

    void load() override;
    void init() override;
    void exit() override;
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override;
    void rewind_run() override;

    // The body of update: step, emit, pull towards the attractors.
    void step_particles();
    // Every particle dead, as load() leaves the system.
    void reset_particles();
    // The grid, the two dot bands and the beat flash, in screen space.
    void draw_background();
    // The cloud, four times; expects the camera's modelview current.
    void draw_particles();

    CParticleSystem particles;
    CParticleEmitterPlane emitter;
    CPSRendererPointSpr renderer;
    CSmoothPoints smooth_points; // draws the cloud as smooth points
    cTexture* particle_texture; // "particle2.png": loaded, never drawn
    cTexture* grid_texture;     // "qdr_pts_grid.jpg": 1024x768, texel coordinates
    cTexture* dots_texture;     // "white_spot.png": repeated
    int32_t beat_time;          // show time (ms) of the last "beat"
};

// The points' darkness at a beat: 1 at the beat, falling to 0 at 300 ms
// after it (and 0 from then on), for an event age in milliseconds.
float particles_beat_darkness(int32_t age_ms);
// The renderer's alpha: 0.1, plus a * 0.4 for the beat darkness a, plus up
// to 0.01 of flicker from r (0 .. 32767, one crt_rand() a frame).
float particles_point_alpha(float darkness, int r);
// The white flash's alpha: 0.75 at a beat, gone 400 ms later.
float particles_flash_alpha(int32_t age_ms);
