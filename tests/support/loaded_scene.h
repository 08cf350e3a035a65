// A test fixture for one scene class: a single scene, loaded once for the
// whole suite as the show loads it (null without a GL context), on the
// suite's clock; and the window read back as the show presents a frame.
#pragma once

#include "core/gl_ext.h"
#include "support/gl_context.h"
#include "timeline/clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

template <class SceneClass>
class LoadedScene : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!gl_test_context())
            return;
        use_show_environment();
        scene = new SceneClass(&clock);
        scene->load();
    }
    static void TearDownTestSuite()
    {
        delete scene;
        scene = nullptr;
    }

    static cClock clock;
    static SceneClass* scene;
};
template <class SceneClass>
cClock LoadedScene<SceneClass>::clock;
template <class SceneClass>
SceneClass* LoadedScene<SceneClass>::scene = nullptr;

// The window's back buffer, 1024x768 RGBA rows from the bottom up.
inline std::vector<uint8_t> read_window_frame()
{
    std::vector<uint8_t> p(1024u * 768u * 4u);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 1024, 768, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    return p;
}
