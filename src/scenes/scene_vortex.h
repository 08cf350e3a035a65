// cSceneVortex, scene 10 ("s10"): three rings of eight arms, orange, green
// and blue, wheel about the z axis around a common centre, seen through a
// slowly turning tube of scrolling light stripes. Ten fixed camera
// positions: each "melody" moves on to the next, and between two melodies
// the picture crossfades from the current view to the next one, starting
// halfway between the two events. Each view is drawn into a half-size
// target, the two are mixed into a full-size one, and the glow pass puts
// the result on the screen.
//
// Created by the demo object, owned by the scene manager. The two meshes
// and the texture handle are loaded once ("../data/models/vortex/") and
// deleted by the destructor. The three targets are borrowed from the pool
// for each frame only. The view index and the last melody persist across
// stretches of the scene.
#pragma once

#include "post/post.h"
#include "rendertargets/render_target.h"
#include "scenes/scene_common.h"
#include "timeline/event_queue.h"
#include "timeline/scene.h"

#include <cstdint>

class iMesh;
class cTexture;

const int VORTEX_VIEWS = 10;
const int VORTEX_RINGS = 3;
const int VORTEX_ARMS_PER_RING = 8;

// The eye of each view, in index order; every view looks at the origin with
// the up vector (0.5, 1, 0).
extern const float VORTEX_CAMERAS[VORTEX_VIEWS][3];

// The crossfade weight towards the next view at show time e (ms): 0 before
// the first melody (melody_kind -1) or when no melody is left (next's code
// -1). Otherwise, with span = next.time - melody_time, h = span / 2 and
// q = (span - h) / 2 in integers, x = 2 (e - melody_time - q) / h - 1
// clamped to [0, 1]: the fade starts about halfway between the melodies and
// is complete at about three quarters. Two melodies under 2 ms apart give
// h = 0: no fade then (x = 0), since the next view comes within a
// millisecond anyway.
float vortex_fade(int32_t e, int32_t melody_kind, int32_t melody_time, const demo_event& next);

class cSceneVortex : public cScene
{
public:
    explicit cSceneVortex(cClock* clock);
    ~cSceneVortex() override;
    cSceneVortex(const cSceneVortex&) = delete;
    cSceneVortex& operator=(const cSceneVortex&) = delete;

    void load() override;
    void init() override;
    void exit() override;
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override;
    void rewind_run() override;

    // One complete view from camera k (0..9) into the current framebuffer:
    // the light at the eye, the camera, the arms and the stripes. Restores
    // the modelview matrix and the shader binding.
    void draw_view(int k);
    void draw_arms();
    void draw_stripes();
    // a times (1 - x) plus b times x, added onto the current framebuffer.
    void crossfade(cRenderTarget_fbo& a, cRenderTarget_fbo& b, float x);

    iMesh* arm;                // "vortexArm.bzobj", materials cleared
    iMesh* stripes;            // "stripes_smooth.bzobj", keeps its material
    cTexture* stripes_texture; // "stripes_mirvok_whitetrans_256x32.png", mipmapped, repeated
    cSceneLight light;
    cPostGlow glow;
    int32_t view_index;          // the current camera, 0..9
    float cameras[VORTEX_VIEWS][3]; // eye positions, filled by load()
    int32_t melody_kind;         // -1 until the first "melody", then its code (24)
    int32_t melody_time;         // show time (ms) of the last "melody", -1 before
};
