#include "scenes/scene_town.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/scene_capture.h"
#include "support/show_runner.h"
#include "textures/texture_manager.h"
#include "timeline/scene_manager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

const int WIDTH = 1024, HEIGHT = 768;
const int32_t FADEIN = 19, BWAB1 = 20, BWAB2 = 21;

// The two skies as the 8-bit figures they are made from.
const float COLD[3] = {59 / 255.0f, 101 / 255.0f, 141 / 255.0f};
const float WARM[3] = {200 / 255.0f, 101 / 255.0f, 16 / 255.0f};

// --- figures ------------------------------------------------------------------------

TEST(TownFigures, sky_is_cold_at_the_first_frame_half_way_at_half_time_and_warm_from_the_switch_on)
{
    struct Case
    {
        int32_t d, span;
        float mix;
    };
    const Case cases[] = {
        {0, 10000, 0.0f},   {5000, 10000, 0.5f},  {10000, 10000, 1.0f}, {25000, 10000, 1.0f},
        {2500, 10000, 0.15625f}, // smoothstep(0.25)
        {5000, -106087, 0.0f},   // no switch ahead: T5 is -1
        {5000, 0, 0.0f},         // a switch due at the first frame itself
    };
    for (const Case& c : cases)
        EXPECT_NEAR(c.mix, town_sky_mix(c.d, c.span), 1e-6f) << c.d << " of " << c.span;
}

TEST(TownFigures, flash_rests_at_0_02_peaks_at_0_145_after_85_ms_and_is_back_after_500_ms)
{
    EXPECT_FLOAT_EQ(0.02f, town_flash_level(0, 0.0f));
    EXPECT_FLOAT_EQ(0.145f, town_flash_level(85, 0.1f));
    EXPECT_NEAR(0.0825f, town_flash_level(42 + 1, 0.0f), 0.005f) << "about half way up";
    EXPECT_NEAR(0.0825f, town_flash_level(85 + 207, 0.0f), 0.002f) << "about half way down";
    EXPECT_FLOAT_EQ(0.02f, town_flash_level(500, 0.145f));
    EXPECT_FLOAT_EQ(0.02f, town_flash_level(60000, 0.145f));
    // During the rise the level never falls: a new bwab while bright keeps it.
    EXPECT_FLOAT_EQ(0.13f, town_flash_level(10, 0.13f));
}

TEST(TownFigures, eye_moves_on_every_fourth_bwab_and_stays_after_the_sixteenth)
{
    const struct
    {
        int32_t count;
        float x, y, z;
    } cases[] = {{0, 0, 0, 0},     {3, 0, 0, 0},       {4, 125, 0, 100},   {7, 125, 0, 100},   {8, -50, 5, 0},
                 {11, -50, 5, 0},  {12, 10, -10, 10},  {15, 10, -10, 10},  {16, 100, 10, -200}, {400, 100, 10, -200}};
    for (const auto& c : cases) {
        float o[3] = {-1, -1, -1};
        town_eye_offset(c.count, o);
        EXPECT_FLOAT_EQ(c.x, o[0]) << c.count;
        EXPECT_FLOAT_EQ(c.y, o[1]) << c.count;
        EXPECT_FLOAT_EQ(c.z, o[2]) << c.count;
    }
}

TEST(TownFigures, a_credit_quarter_fades_in_over_2000_ms_and_an_empty_slot_never_shows)
{
    EXPECT_FLOAT_EQ(0.0f, town_credit_weight(109000, 109565));
    EXPECT_FLOAT_EQ(0.5f, town_credit_weight(110565, 109565));
    EXPECT_FLOAT_EQ(1.0f, town_credit_weight(111565, 109565));
    EXPECT_FLOAT_EQ(0.0f, town_credit_weight(300000, TOWN_NEVER));
    EXPECT_FLOAT_EQ(0.0f, town_credit_weight(-5000, TOWN_NEVER)) << "no overflow before the show";
}

// --- events -------------------------------------------------------------------------

TEST(TownEvents, fadeins_fill_four_slots_after_the_first_two_seconds_and_a_fifth_is_ignored)
{
    cClock clock;
    cSceneTown scene(&clock);
    const demo_event early = {FADEIN, 100500};
    clock.now = 100600;
    scene.handle_event(&early);
    EXPECT_EQ(0, scene.fadein_count) << "before the first frame";

    scene.first_frame = 100000;
    clock.now = 101999;
    scene.handle_event(&early);
    EXPECT_EQ(0, scene.fadein_count) << "1999 ms after the first frame";

    const int32_t times[5] = {103480, 110440, 117400, 124300, 131000};
    for (int k = 0; k < 5; ++k) {
        const demo_event e = {FADEIN, times[k]};
        clock.now = times[k] + 5;
        scene.handle_event(&e);
    }
    EXPECT_EQ(4, scene.fadein_count);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(times[k], scene.fadein_times[k]) << "the event's own time, slot " << k;

    const demo_event beat = {16, 131500};
    scene.handle_event(&beat);
    EXPECT_EQ(4, scene.fadein_count);
    EXPECT_EQ(0, scene.bwab_count) << "other cues change nothing";
}

TEST(TownEvents, bwab1_and_bwab2_count_and_remember_the_time_of_handling)
{
    cClock clock;
    cSceneTown scene(&clock);
    clock.now = 106100;
    const demo_event a = {BWAB1, 106087};
    scene.handle_event(&a);
    EXPECT_EQ(1, scene.bwab_count);
    EXPECT_EQ(106100, scene.bwab_time);
    clock.now = 107840;
    const demo_event b = {BWAB2, 107826};
    scene.handle_event(&b);
    EXPECT_EQ(2, scene.bwab_count);
    EXPECT_EQ(107840, scene.bwab_time);
}

// --- with the show's data -------------------------------------------------------------

class Town : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!gl_test_context())
            return;
        use_show_environment();
        scene = new cSceneTown(&clock);
        scene->load();
        // The manager's queue, which the scene looks ahead in for scene 5.
        cSceneManager* manager = get_scene_manager();
        saved_queue = manager->queue;
        manager->queue = &queue;
    }
    static void TearDownTestSuite()
    {
        get_scene_manager()->queue = saved_queue;
        delete scene;
        scene = nullptr;
    }

    // The scene as it stands on its first frame of a fresh run at start_ms,
    // with a switch to scene 5 at switch_ms (none when negative).
    static void fresh_run(int32_t start_ms, int32_t switch_ms)
    {
        queue.events.clear();
        queue.events.push_back({4, start_ms - 1});
        if (switch_ms >= 0)
            queue.events.push_back({5, switch_ms});
        queue.events.push_back({30, 400000});
        queue.cursor = 1;
        scene->first_frame = INT32_MAX;
        scene->flash = 0.0f;
        scene->bwab_count = 0;
        scene->fadein_count = 0;
        for (int32_t& t : scene->fadein_times)
            t = TOWN_NEVER;
        clock.start = 0;
        clock.now = clock.prev = start_ms;
        scene->init();
        scene->bwab_time = start_ms - 60000; // resting flash
    }

    // One frame at show time e; the clear colour it leaves is the sky.
    static void draw_at(int32_t e, float sky[4])
    {
        clock.prev = clock.now;
        clock.now = e;
        scene->draw();
        glGetFloatv(GL_COLOR_CLEAR_VALUE, sky);
    }

    // The window's picture after a frame at e (RGBA, bottom row first).
    static std::vector<uint8_t> frame_at(int32_t e)
    {
        float sky[4];
        draw_at(e, sky);
        std::vector<uint8_t> pixels(std::size_t(WIDTH) * HEIGHT * 4);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    static cClock clock;
    static cSceneTown* scene;
    static cEventQueue queue;
    static cEventQueue* saved_queue;
};
cClock Town::clock;
cSceneTown* Town::scene = nullptr;
cEventQueue Town::queue;
cEventQueue* Town::saved_queue = nullptr;

void expect_sky(const float expected[3], const float sky[4], const char* what)
{
    for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(expected[a], sky[a], 1e-5f) << what << ", channel " << a;
}

TEST_F(Town, load_keeps_the_blocks_materials_and_takes_the_credits_as_a_rectangle_texture)
{
    REQUIRE_GL_CONTEXT();
    ASSERT_TRUE(scene->loaded);
    cMeshObj* town = dynamic_cast<cMeshObj*>(scene->town);
    ASSERT_NE(nullptr, town);
    EXPECT_TRUE(town->flags & MESH_GROUPS);
    EXPECT_GE(town->materials.size(), 2u);
    ASSERT_NE(nullptr, scene->credits_texture);
    EXPECT_EQ(GLenum(GL_TEXTURE_RECTANGLE_ARB), scene->credits_texture->target);
    iMesh* before = scene->town;
    scene->load();
    EXPECT_EQ(before, scene->town);
}

TEST_F(Town, sky_runs_from_cold_to_warm_until_the_switch_to_scene_5_10_s_after_the_first_frame)
{
    REQUIRE_GL_CONTEXT();
    fresh_run(106100, 116100);
    float sky[4];
    draw_at(106100, sky);
    expect_sky(COLD, sky, "first frame");
    EXPECT_FLOAT_EQ(1.0f, sky[3]);
    draw_at(111100, sky);
    const float even[3] = {(COLD[0] + WARM[0]) / 2, (COLD[1] + WARM[1]) / 2, (COLD[2] + WARM[2]) / 2};
    expect_sky(even, sky, "5000 ms");
    draw_at(116100, sky);
    expect_sky(WARM, sky, "10000 ms");
    draw_at(130000, sky);
    expect_sky(WARM, sky, "after the switch's time");

    // The end time is looked up once: a later queue does not move it.
    queue.events[1].time = 200000;
    draw_at(111100, sky);
    expect_sky(even, sky, "5000 ms, second look");
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(Town, without_a_switch_to_scene_5_or_without_a_script_the_sky_stays_cold)
{
    REQUIRE_GL_CONTEXT();
    float sky[4];
    fresh_run(106100, -1);
    for (int32_t e : {106100, 116100, 200000}) {
        draw_at(e, sky);
        expect_sky(COLD, sky, "no switch");
    }
    EXPECT_EQ(-1, scene->sky_end);

    cSceneManager* manager = get_scene_manager();
    fresh_run(106100, 116100);
    manager->queue = nullptr;
    draw_at(106100, sky);
    draw_at(116100, sky);
    manager->queue = &queue;
    expect_sky(COLD, sky, "no script");
}

TEST_F(Town, the_fourth_bwab_moves_the_eye_from_the_next_frame_on)
{
    REQUIRE_GL_CONTEXT();
    fresh_run(106100, 133912);
    const int32_t e = 112000;
    frame_at(e);
    for (int k = 0; k < 3; ++k) {
        clock.now = e;
        const demo_event bwab = {k % 2 ? BWAB2 : BWAB1, e - 10};
        scene->handle_event(&bwab);
    }
    scene->bwab_time = e - 60000; // compare at the resting flash
    const std::vector<uint8_t> third = frame_at(e);
    EXPECT_EQ(third, frame_at(e)) << "the same frame twice";
    const demo_event fourth = {BWAB2, e - 10};
    scene->handle_event(&fourth);
    EXPECT_EQ(4, scene->bwab_count);
    scene->bwab_time = e - 60000;
    const std::vector<uint8_t> moved = frame_at(e);
    EXPECT_GT(frame_difference(third, moved), 1.0) << "another vantage point";
}

TEST_F(Town, each_credit_quarter_lands_in_its_own_quarter_of_the_screen)
{
    REQUIRE_GL_CONTEXT();
    fresh_run(106100, 133912);
    const int32_t e = 120000;
    frame_at(e); // the sky of a frame is the next frame's clear colour
    const std::vector<uint8_t> none = frame_at(e);
    // Screen quarters, as the fade-in order shows them: upper left, upper
    // right, lower left, lower right (rows counted from the bottom).
    const int qx[4] = {0, 512, 0, 512}, qy[4] = {384, 384, 0, 0};
    for (int q = 0; q < 4; ++q) {
        for (int32_t& t : scene->fadein_times)
            t = TOWN_NEVER;
        scene->fadein_times[q] = e - 2000; // fully faded in
        const std::vector<uint8_t> shown = frame_at(e);
        double change[4] = {0, 0, 0, 0};
        for (int k = 0; k < 4; ++k)
            for (int y = qy[k]; y < qy[k] + 384; ++y)
                for (int x = qx[k]; x < qx[k] + 512; ++x)
                    for (int c = 0; c < 3; ++c) {
                        const std::size_t i = (std::size_t(y) * WIDTH + std::size_t(x)) * 4 + std::size_t(c);
                        change[k] += std::abs(int(shown[i]) - int(none[i]));
                    }
        for (int k = 0; k < 4; ++k) {
            if (k == q)
                EXPECT_GT(change[k], 512.0 * 384.0 * 3.0 * 2.0) << "quarter " << q << " shows its credits";
            else
                EXPECT_LT(change[k] * 20.0, change[q]) << "quarter " << q << " leaves quarter " << k << " alone";
        }
    }
    for (int32_t& t : scene->fadein_times)
        t = TOWN_NEVER;
}

TEST_F(Town, init_sets_additive_unlit_free_drawing_and_exit_gives_the_defaults_back)
{
    REQUIRE_GL_CONTEXT();
    clock.now = 107000;
    scene->init();
    EXPECT_EQ(107000, scene->bwab_time);
    GLint two_side = 0, src = 0, dst = 0;
    glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &two_side);
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(1, two_side);
    EXPECT_EQ(GL_SRC_ALPHA, src);
    EXPECT_EQ(GL_ONE, dst);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    frame_at(107100);

    scene->exit();
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(GL_SRC_ALPHA, src);
    EXPECT_EQ(GL_ONE_MINUS_SRC_ALPHA, dst);
    GLboolean depth_mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    EXPECT_TRUE(depth_mask);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_EQ("null_shader", get_shader_container()->current_shader);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

// --- in the show ------------------------------------------------------------------------

TEST(TownShow, captured_frames_of_the_stretch_show_a_changing_picture_and_log_no_error)
{
    // The first frame, after the first credit has faded in, and late in the
    // stretch under the warm sky with all four credits.
    const SceneCapture run = capture_scene_frames({107000, 112000, 133500}, 1.0, 400);
    if (!run.exited && run.log.empty())
        GTEST_SKIP() << "no Xvfb for the capture";
    ASSERT_TRUE(capture_is_clean(run, 3, 3));
    EXPECT_GT(frame_difference(run.frames[0], run.frames[1]), 2.0);
    EXPECT_GT(frame_difference(run.frames[1], run.frames[2]), 2.0);
}

} // namespace
