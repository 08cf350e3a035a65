// The loading screen: where the progress bar lands and the GL state it
// leaves behind.
#include "core/loading_screen.h"

#include <gtest/gtest.h>

#include "core/display.h"
#include "core/gl_ext.h"
#include "support/gl_context.h"
#include "support/images.h"


TEST(LoadingBar, grows_from_nothing_to_372_pixels_leaning_right)
{
    float empty[8], full[8];
    loading_bar_corners(0.0f, empty);
    loading_bar_corners(1.0f, full);
    EXPECT_FLOAT_EQ(330.0f / 1024.0f, empty[0]);
    EXPECT_FLOAT_EQ(empty[0], empty[2]); // no width at 0
    EXPECT_FLOAT_EQ(466.0f / 768.0f, full[1]);
    EXPECT_FLOAT_EQ(702.0f / 1024.0f, full[2]);
    EXPECT_FLOAT_EQ(732.0f / 1024.0f, full[4]);
    EXPECT_FLOAT_EQ(495.0f / 768.0f, full[5]);
    EXPECT_FLOAT_EQ(360.0f / 1024.0f, full[6]);
}

TEST(LoadingScreenGl, bar_is_drawn_light_grey_over_the_picture_up_to_its_progress)
{
    REQUIRE_GL_CONTEXT();
    use_release_data();
    OffscreenTarget target(get_display()->width, get_display()->height, true);
    ASSERT_TRUE(target.complete());
    int bar_mid, bar_end, beyond, background, title;
    {
        cLoadingScreen screen;
        screen.draw(0.5f);
        bar_mid = target.pixel(450, 480)[0];   // within the first half of the bar
        bar_end = target.pixel(600, 480)[0];   // beyond 330 + 186 + lean: the picture's dark slot
        background = target.pixel(100, 100)[0];
        title = target.pixel(180, 650)[0];     // a stroke of the title, upright
        screen.draw(1.0f);
        beyond = target.pixel(690, 480)[0];
    }
    EXPECT_NEAR(204, bar_mid, 1);
    EXPECT_LT(bar_end, 30);
    EXPECT_LT(background, 30);
    EXPECT_GT(title, 200);
    EXPECT_NEAR(204, beyond, 1);
}

TEST(LoadingScreenGl, destructor_restores_viewport_clear_colour_and_enables)
{
    REQUIRE_GL_CONTEXT();
    use_release_data();
    glViewport(10, 20, 300, 200);
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    {
        cLoadingScreen screen;
        screen.draw(0.3f);
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    }
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(10, viewport[0]);
    EXPECT_EQ(20, viewport[1]);
    EXPECT_EQ(300, viewport[2]);
    EXPECT_EQ(200, viewport[3]);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(0.25f, clear[0]);
    EXPECT_FLOAT_EQ(0.75f, clear[2]);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    glDisable(GL_LIGHTING);
    glViewport(0, 0, get_display()->width, get_display()->height);
}
