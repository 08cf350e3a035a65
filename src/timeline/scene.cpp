#include "scene.h"

#include "core/gl_ext.h"

#include <iostream>

cScene::cScene(cClock* clock_)
    : eye{1.0f, 1.0f, 1.0f}, centre{0.0f, 0.0f, 0.0f}, up{0.0f, 0.0f, 1.0f}, fov(65.0f), znear(0.1f),
      zfar(500.0f), aspect(1.3333334f), clock(clock_), loaded(false)
{
}

cScene::~cScene() = default;

void cSceneDummy::draw()
{
    // Leaves the grey clear colour set: the frame loop's next clear uses it too.
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void cSceneDummy::handle_event(const demo_event* e)
{
    std::cerr << "dummy-scene recieved event: " << e->code << std::endl;
}
