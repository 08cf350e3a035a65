// The scene interface: the abstract base of the show's scenes and of the grey
// fallback scene. Scenes are created with new by cDemo::init, handed to the
// scene manager (which owns and deletes them) and live until the exit
// handler. Each holds a pointer to the manager's clock and reads it directly.
#pragma once

#include "timeline/clock.h"
#include "timeline/event_queue.h"

class cScene
{
public:
    explicit cScene(cClock* clock);
    virtual ~cScene();

    // Loads meshes, textures and shaders once, during the loading phase;
    // returns at once when loaded is already set.
    virtual void load() = 0;
    // The scene becomes current: sets up its GL state and starting values.
    virtual void init() = 0;
    // The scene stops being current: restores the default GL state.
    virtual void exit() = 0;
    // Renders one frame.
    virtual void draw() = 0;
    // A musical cue (codes 16 to 29) while the scene is current.
    virtual void handle_event(const demo_event* e) = 0;
    // Advances animation, every frame after the due events.
    virtual void update() = 0;
    // Puts back what the scene keeps over the whole run (counts, cue times,
    // first-frame times, particles, anything a constructor or load() set and
    // a stretch changes), as it was when loading ended, so that a tool can
    // replay the run from show time 0 without loading again. Called while
    // the scene is not current. The show itself never calls it. A scene
    // that keeps nothing between frames has nothing to put back.
    virtual void rewind_run() {}

    // Camera defaults; each scene sets up its own projection and view.
    float eye[3];
    float centre[3];
    float up[3];
    float fov;    // degrees, vertical
    float znear;  // near plane distance
    float zfar;   // far plane distance
    float aspect; // width / height
    cClock* clock; // the scene manager's clock, not owned
    bool loaded;
};

// The manager's fallback for a switch to an index with no scene, and the
// stand-in at indices whose scene class is not written yet: draws a grey
// frame and reports every cue it receives.
class cSceneDummy : public cScene
{
public:
    explicit cSceneDummy(cClock* clock) : cScene(clock) {}

    void load() override {}
    void init() override {}
    void exit() override {}
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override {}
};
