// A test fixture for one scene class: a single scene, loaded once for the
// whole suite as the show loads it (null without a GL context), on the
// suite's clock.
#pragma once

#include "support/gl_context.h"
#include "timeline/clock.h"

#include <gtest/gtest.h>

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
