// A test suite around one scene loaded from the show's data in the GL test
// context: made and loaded once for the suite, deleted at its end. Without
// a context scene stays null (the tests skip with REQUIRE_GL_CONTEXT).
#pragma once

#include "support/gl_context.h"
#include "timeline/clock.h"

#include <gtest/gtest.h>

template <class Scene>
class LoadedScene : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!gl_test_context())
            return;
        use_show_environment();
        scene = new Scene(&clock);
        scene->load();
    }
    static void TearDownTestSuite()
    {
        delete scene;
        scene = nullptr;
    }

    static cClock clock;
    static Scene* scene;
};
template <class Scene>
cClock LoadedScene<Scene>::clock;
template <class Scene>
Scene* LoadedScene<Scene>::scene = nullptr;
