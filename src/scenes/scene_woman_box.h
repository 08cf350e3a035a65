// cSceneWomanBox, scene 8 ("s08"): a box covered in greebles, sphere-mapped
// with a swirl of light, turns about the vertical axis; it is drawn
// additively without depth, blurred and shown in negative. Across the
// negative the group's logo slides from right to left, inverting what lies
// beneath it back to the positive. Each "snare" moves the camera to the next
// of ten fixed eyes. The frame ends with the glow pass.
//
// Created by the demo object, owned by the scene manager. The two meshes and
// the texture handle are loaded once (models/womanbox) and deleted by the
// destructor. exit() frees the meshes' vertex buffers for the rest of the
// show; should the scene become current again, init() makes and fills them
// anew. The two half-size targets are borrowed for one frame. The logo's
// start time is taken at the first drawn frame of the run and kept.
#pragma once

#include "post/post.h"
#include "timeline/scene.h"

#include <cstdint>

class iMesh;
class cTexture;
class cRenderTarget_fbo;

const int WOMANBOX_VIEWS = 10;

// The ten eyes, in index order; all look at the origin with y up.
extern const float WOMANBOX_EYES[WOMANBOX_VIEWS][3];

// Whether the logo's slide has started this run, and its start (seconds of
// show time, at the first draw_logo of the run). Not reset by init: a second
// stretch of the scene goes on from the same start.
extern bool womanbox_logo_started;
extern float womanbox_logo_t0;

// x of the logo's origin (0..1 screen widths) s seconds after its start:
// 1.2 at the start, moving left 0.41 screen widths a second.
float womanbox_logo_x(float s);

class cSceneWomanBox : public cScene
{
public:
    explicit cSceneWomanBox(cClock* clock);
    ~cSceneWomanBox() override;
    cSceneWomanBox(const cSceneWomanBox&) = delete;
    cSceneWomanBox& operator=(const cSceneWomanBox&) = delete;

    void load() override;
    void init() override;
    void exit() override;
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override;
    void rewind_run() override;

    // The drawing steps of draw(), in their order.
    void draw_box();
    // t's picture over the whole current target, with the current blending.
    void show_target(cRenderTarget_fbo& t);
    // Every pixel becomes 1 - its colour. Leaves the blend function
    // (GL_ONE_MINUS_DST_COLOR, GL_ZERO) set.
    void invert_frame();
    // Leaves the blend function (GL_ONE_MINUS_DST_COLOR, GL_ZERO) set.
    void draw_logo();

    iMesh* box;  // "box_grebble.bzobj", materials cleared
    iMesh* logo; // "mirvok_logo.bzobj", materials cleared
    cTexture* box_texture; // "Solar_Vortex.jpg", sphere-mapped
    cPostBlur blur_pass;
    cPostGlow glow;
    float cameras[WOMANBOX_VIEWS][3]; // the eyes, WOMANBOX_EYES
    int32_t view_index;               // 0 .. 9, advanced by "snare"
};
