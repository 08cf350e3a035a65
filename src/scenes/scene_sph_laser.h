// cSceneSphLaser, scene 7 ("s07"): ten copies of one sphere, sphere-mapped
// and blended additively, spin inside each other; every "lead" flashes them
// brighter. An accepted "beat" throws the camera back to 36 units and lets it
// glide in to 11 over half a second. Every "snare" sends a ring shrinking
// from twice the screen height to the centre, drawn in a half-size layer of
// its own and combined with the 3D image by a colour-dodge blend before the
// glow. From show time 203803 ms an orange copy of the intro's cube block
// fades in at the centre.
//
// Created by the demo object, owned by the scene manager. The sphere and the
// cube block (found in the intro's folder) are loaded once and deleted by the
// destructor with the texture handles. The three half-size targets are
// borrowed for one frame. The beat and lead counts live for the whole run,
// outside the scene object.
#pragma once

#include "post/post.h"
#include "scenes/scene_common.h"
#include "timeline/event_queue.h"
#include "timeline/scene.h"

#include <cstdint>
#include <vector>

class iMesh;
class cTexture;

// Every "beat" and "lead" this scene has handled since program start (never
// reset: a second stretch of the scene goes on counting).
extern int sph_laser_beat_count;
extern int sph_laser_lead_count;

// Distance of the eye from the centre, ms after an accepted beat: 36 at the
// beat, easing in along a quarter sine to 11 at 500 ms and after.
float sph_laser_eye_distance(int32_t since_beat_ms);
// A ring's size (screen heights) and grey, ms after its "snare": size 2 at
// the snare shrinking linearly to 0 at 1000 ms; grey 0.85 until 830 ms, then
// down to 0 at 1000 ms.
float sph_laser_ring_size(int32_t age_ms);
float sph_laser_ring_grey(int32_t age_ms);
// Opacity of the cube block at show time e: 0 until 203803 ms, 1 from
// 205303 ms (1500 ms later).
float sph_laser_logo_alpha(int32_t e);

class cSceneSphLaser : public cScene
{
public:
    explicit cSceneSphLaser(cClock* clock);
    ~cSceneSphLaser() override;
    cSceneSphLaser(const cSceneSphLaser&) = delete;
    cSceneSphLaser& operator=(const cSceneSphLaser&) = delete;

    void load() override;
    void init() override;
    void exit() override;
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override;
    void rewind_run() override;

    // The drawing steps of draw(): the sphere nest and the cube block into the
    // 3D layer, the rings into theirs.
    void draw_spheres();
    void draw_logo();
    void draw_rings();

    iMesh* sphere;     // "sphere_laser.bzobj", materials cleared
    iMesh* logo_cubes; // "logo_cubes.bzobj" of the intro's folder, with its materials
    cTexture* sphere_texture; // "Coca.jpg", sphere-mapped
    cTexture* ring_texture;   // "ring.jpg"
    cSceneLight light;

    int32_t beat_time;  // show time (ms) of the last accepted "beat"
    float sphere_alpha; // 0.05 plus the running "lead" flashes
    // "lead" and "snare" events in arrival order. A lead leaves once its
    // flash has ended, a snare once its ring has shrunk to nothing (an ended
    // ring draws nothing), so the list holds only what still shows.
    std::vector<demo_event> effects;

    cPostGlow glow;
    cPostBlend blend;
};
