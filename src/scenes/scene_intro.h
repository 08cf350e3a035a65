// cSceneIntro, scene 0: the group's logo (a static part, an arrow turning
// about z and a block of cubes turning about y) in a soft dark halo, in
// front of three lit plates, scrolling orange bands, a dark band and six
// blink strips with scrolling textures. The camera drifts with show time;
// no demo event changes anything.
//
// Created by the demo object, owned by the scene manager. Its meshes are
// loaded once (models/mirvok_intro) and deleted by the destructor; the halo
// target is borrowed from the render target pool from init to exit.
#pragma once

#include "post/post.h"
#include "rendertargets/rendertarget_manager.h"
#include "scenes/scene_common.h"
#include "timeline/scene.h"

#include <vector>

class iMesh;

// While alive, what is drawn is lit at its vertices by the fixed-function
// pipeline, in place of the bound "notex_shader", which lights each pixel
// by the same model: light 0 and the current material, untextured, unfogged,
// seen by a local viewer. For the plates: large flat faces, lit dimly, made
// of grids fine enough for the light to fall smoothly across them, which the
// software renderer shades for a fraction of the per-pixel price. Everything
// it changes comes back at its end, the shader's programs included.
class cLitAtVertices
{
public:
    cLitAtVertices();
    ~cLitAtVertices();
    cLitAtVertices(const cLitAtVertices&) = delete;
    cLitAtVertices& operator=(const cLitAtVertices&) = delete;

private:
    GLint pipeline = 0;
};

class cSceneIntro : public cScene
{
public:
    explicit cSceneIntro(cClock* clock);
    ~cSceneIntro() override;
    cSceneIntro(const cSceneIntro&) = delete;
    cSceneIntro& operator=(const cSceneIntro&) = delete;

    void load() override;
    void init() override;
    void exit() override;
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override;

    // The drawing steps of draw(), in their order.
    void draw_halo_mask();
    void draw_backdrop();
    void copy_darkened_by_halo(cRenderTarget_fbo& backdrop);
    void draw_logo();
    // The moving logo parts at x = -6, each turned by 0.05 degrees per
    // millisecond of show time.
    void draw_arrow();
    void draw_cubes();
    // The backdrop's three plates, in whatever lighting is set.
    void draw_plates();
    // The backdrop's orange bands at show time e (milliseconds).
    void draw_bands(float e);

    iMesh* backplate_horiz;
    iMesh* backplate_vert;
    iMesh* backplate_horiz_black;
    std::vector<iMesh*> blinks; // blink01 .. blink06, in that order
    iMesh* logo_arrow;
    iMesh* logo_cubes;
    iMesh* logo_static;
    // Quarter-size target with depth holding the blurred silhouette; held
    // from init to exit, empty otherwise.
    cTmpRenderTarget halo_target;
    cPostBlur blur;
    cSceneLight light;
};

// The drifting camera at show time e (milliseconds): the eye moves from
// x = 4 to x = -6 over 22 s, the point looked at from x = 4.75 more slowly.
void intro_camera(int32_t e, float eye[3], float centre[3]);
