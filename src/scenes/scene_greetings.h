// cSceneGreetings, scene 5 ("s05"): a recorded camera flies through a room
// of six television screens. Each "sinus_in" starts one greeting: a 1.9 s
// flight along the next of six paths, faded in from and out to black, while
// every screen shows the tangled scene (scene 12) rendered live into a
// quarter-size target with the greeting's logo sliding across it, through
// the broadcast shader "tv_shader". Thirteen logos are shown in a fixed
// order, one per event; before the first event and after a thirteenth the
// screens show the picture without a logo.
//
// The scene owns its meshes and texture handles; both render targets it
// borrows live for one frame.
#pragma once

#include "post/post.h"
#include "scenes/camera_path.h"
#include "timeline/scene.h"

#include <cstdint>

class iMesh;
class cTexture;
class cRenderTarget_fbo;

const int GREETINGS_SCREENS = 6;
const int GREETINGS_LOGOS = 13;
// The scene manager's index of the scene shown on the screens.
const int GREETINGS_PICTURE_SCENE = 12;

// The logo files in the scene's fixed order, and the paths by screen.
extern const char* const GREETINGS_LOGO_FILES[GREETINGS_LOGOS];
extern const char* const GREETINGS_PATH_FILES[GREETINGS_SCREENS];

// The greeting parameter: ms since the greeting began over 1900, in [0, 1].
float greetings_parameter(int32_t since_greeting_ms);
// The fade level at parameter t: 0 at both ends, 0.95 in the middle.
float greetings_fade_level(float t);
// Linear fog distances for fade level g: start sqrt(g) * 500, end
// sqrt(g) * 4000 + 1.
void greetings_fog_range(float g, float* start, float* end);
// How much of the frame shows through the black quad at fade level g:
// g^0.1 (the quad's alpha is 1 minus this).
float greetings_fade_factor(float g);

class cSceneGreetings : public cScene
{
public:
    explicit cSceneGreetings(cClock* clock);
    ~cSceneGreetings() override;

    void load() override;
    void init() override;
    void exit() override;
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override {}
    void rewind_run() override;

    // Scene 12 and the sliding logo into picture, at greeting parameter t.
    void draw_tv_picture(cRenderTarget_fbo& picture, float t);
    // The six screens showing picture through "tv_shader".
    void draw_screens(cRenderTarget_fbo& picture);
    // Black over the frame with alpha 1 - f.
    void draw_fade(float f);

    iMesh* main;
    iMesh* tube;
    iMesh* screens[GREETINGS_SCREENS];
    cTexture* main_texture;
    cTexture* tube_texture;
    cTexture* logos[GREETINGS_LOGOS];
    cCameraPath paths[GREETINGS_SCREENS];
    cPostGlow glow;

    int32_t greeting_time; // show time (ms) of the last "sinus_in", -1 before the first
    int screen_index;      // the current path, 0 .. 5
    int greeting_count;    // "sinus_in" events received minus one: the logo shown
};
