#include "scenes/scene_placeholder.h"

#include "core/gl_ext.h"
#include "rendertargets/render_target.h"
#include "support/gl_context.h"
#include "support/placeholder_digits.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const int WIDTH = 1024, HEIGHT = 768;

// Draws the scene into a target of its own and reads it back (RGBA, bottom up).
std::vector<uint8_t> draw_into_target(cScene& scene)
{
    cRenderTarget_fbo target(WIDTH, HEIGHT, true);
    target.create();
    target.begin();
    glClearColor(1.0f, 0.0f, 1.0f, 1.0f); // magenta: shows anything left undrawn
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene.draw();
    std::vector<uint8_t> pixels(std::size_t(WIDTH) * HEIGHT * 4);
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    target.end();
    return pixels;
}

const uint8_t* pixel(const std::vector<uint8_t>& p, int x, int y)
{
    return &p[(std::size_t(y) * WIDTH + x) * 4];
}

TEST(ScenePlaceholder, frame_is_dark_with_the_scene_number_in_both_digits)
{
    REQUIRE_GL_CONTEXT();
    cClock clock;
    clock.start = 0;
    clock.now = 60000;
    for (int index : {0, 1, 7, 10, 12}) {
        cScenePlaceholder scene(index, &clock);
        const std::vector<uint8_t> p = draw_into_target(scene);
        EXPECT_EQ(index, read_placeholder_number(p, WIDTH, HEIGHT, 4)) << index;
        // Dark everywhere off the digits, the corners included.
        EXPECT_LT(pixel(p, 0, 0)[0], 40) << index;
        EXPECT_LT(pixel(p, WIDTH - 1, HEIGHT - 1)[0], 40) << index;
        EXPECT_LT(pixel(p, WIDTH / 2, HEIGHT / 2)[0], 40) << index; // between the digits
    }
}

TEST(ScenePlaceholder, border_flashes_on_a_cue_and_is_dark_again_after_it_fades)
{
    REQUIRE_GL_CONTEXT();
    cClock clock;
    clock.start = 0;
    clock.now = 10000;
    cScenePlaceholder scene(3, &clock);
    const demo_event cue = {16, 10000};
    scene.handle_event(&cue);
    EXPECT_GT(pixel(draw_into_target(scene), 2, HEIGHT / 2)[0], 200) << "at the cue";
    clock.now = 10150;
    const int halfway = pixel(draw_into_target(scene), 2, HEIGHT / 2)[0];
    EXPECT_GT(halfway, 60);
    EXPECT_LT(halfway, 200);
    clock.now = 10300;
    EXPECT_LT(pixel(draw_into_target(scene), 2, HEIGHT / 2)[0], 40) << "once the flash is over";
}

TEST(ScenePlaceholder, draw_gives_back_matrices_enables_and_colour)
{
    REQUIRE_GL_CONTEXT();
    cClock clock;
    cScenePlaceholder scene(5, &clock);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, 3.0f);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);

    draw_into_target(scene);

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(GL_MODELVIEW, mode);
    float m[16], colour[4];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(1.0f, m[12]);
    EXPECT_FLOAT_EQ(3.0f, m[14]);
    EXPECT_FLOAT_EQ(0.5f, colour[1]);
    glDisable(GL_LIGHTING);
    glLoadIdentity();
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

} // namespace
