#include "scenes/scene_town.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "support/gl_context.h"
#include "support/gl_state.h"
#include "support/loaded_scene.h"
#include "support/scene_capture.h"
#include "support/show_runner.h"
#include "textures/texture_manager.h"
#include "timeline/scene_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

const int WIDTH = 1024;
const int32_t FADEIN = 19, BWAB1 = 20, BWAB2 = 21;

// The two skies as the 8-bit figures they are made from.
const float COLD[3] = {59 / 255.0f, 101 / 255.0f, 141 / 255.0f};
const float WARM[3] = {200 / 255.0f, 101 / 255.0f, 16 / 255.0f};

// --- figures ------------------------------------------------------------------------

// The sky's course in the show is checked through the drawn frames below.
TEST(TownFigures, sky_mix_is_a_smoothstep_and_a_switch_due_at_the_first_frame_leaves_it_cold)
{
    EXPECT_NEAR(0.15625f, town_sky_mix(2500, 10000), 1e-6f) << "smoothstep(0.25)";
    EXPECT_NEAR(0.0f, town_sky_mix(5000, 0), 1e-6f);
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

TEST(TownFigures, credit_bounds_frame_each_quarters_lit_texels_with_a_texel_to_spare_and_mark_a_dark_quarter_empty)
{
    std::vector<uint8_t> rgba(1024 * 768 * 4, 0);
    for (size_t i = 3; i < rgba.size(); i += 4)
        rgba[i] = 255; // opaque black: alpha alone is no light
    auto light = [&](int s, int t) { rgba[(size_t(t) * 1024 + size_t(s)) * 4 + 1] = 1; };
    light(100, 500); // upper left
    light(0, 0);     // lower left, in the corner
    for (int t = 10; t < 20; ++t)
        light(600, t), light(609, t); // lower right
    float b[TOWN_CREDIT_QUARTERS][4];
    town_credit_bounds(rgba.data(), b);
    const float expected[TOWN_CREDIT_QUARTERS][4] = {
        {99, 102, 499, 502}, {512, 512, 384, 384}, {0, 2, 0, 2}, {599, 611, 9, 21}};
    for (int q = 0; q < TOWN_CREDIT_QUARTERS; ++q)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(expected[q][k], b[q][k]) << "quarter " << q << ", value " << k;
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
        EXPECT_TRUE(o[0] == c.x && o[1] == c.y && o[2] == c.z) << c.count << ": " << o[0] << ", " << o[1] << ", " << o[2];
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

TEST(TownEvents, fadeins_fill_four_slots_after_the_first_two_seconds_and_bwabs_count_with_their_handling_time)
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
    for (int32_t t : times) {
        const demo_event e = {FADEIN, t};
        clock.now = t + 5;
        scene.handle_event(&e);
    }
    EXPECT_EQ(4, scene.fadein_count) << "a fifth is ignored";
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(times[k], scene.fadein_times[k]) << "the event's own time, slot " << k;
    const demo_event beat = {16, 131500};
    scene.handle_event(&beat);
    EXPECT_EQ(4, scene.fadein_count);
    EXPECT_EQ(0, scene.bwab_count) << "other cues change nothing";

    const demo_event bwabs[2] = {{BWAB1, 106087}, {BWAB2, 107826}};
    for (int k = 0; k < 2; ++k) {
        clock.now = bwabs[k].time + 13;
        scene.handle_event(&bwabs[k]);
        EXPECT_EQ(k + 1, scene.bwab_count);
        EXPECT_EQ(bwabs[k].time + 13, scene.bwab_time) << "the time of handling";
    }
}

// --- with the show's data -------------------------------------------------------------

class Town : public LoadedScene<cSceneTown>
{
protected:
    static void SetUpTestSuite()
    {
        LoadedScene::SetUpTestSuite();
        // The manager's queue, which the scene looks ahead in for scene 5.
        saved_queue = get_scene_manager()->queue;
        get_scene_manager()->queue = &queue;
    }
    static void TearDownTestSuite()
    {
        get_scene_manager()->queue = saved_queue;
        LoadedScene::TearDownTestSuite();
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
        return read_window(4);
    }

    static cEventQueue queue;
    static cEventQueue* saved_queue;
};
cEventQueue Town::queue;
cEventQueue* Town::saved_queue = nullptr;

void expect_sky(const float expected[3], const float sky[4], const char* what)
{
    for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(expected[a], sky[a], 1e-5f) << what << ", channel " << a;
}

TEST_F(Town, load_keeps_the_blocks_materials_and_takes_the_credits_as_a_rectangle_texture_once)
{
    REQUIRE_GL_CONTEXT();
    cMeshObj* town = dynamic_cast<cMeshObj*>(scene->town);
    ASSERT_TRUE(town && scene->credits_texture);
    EXPECT_TRUE(town->flags & MESH_GROUPS);
    EXPECT_GE(town->materials.size(), 2u);
    EXPECT_EQ(GLenum(GL_TEXTURE_RECTANGLE_ARB), scene->credits_texture->target);
    scene->load();
    EXPECT_EQ(town, scene->town);
}

// The walls are one pane each standing for two (the vertex program
// multiplies a vertex's alpha by its s coordinate); every other part stands
// for one. A part without it would vanish, walls standing for one would
// read half as bright.
TEST_F(Town, the_blocks_walls_stand_for_two_faces_and_every_other_part_for_one)
{
    REQUIRE_GL_CONTEXT();
    const cMeshObj* town = dynamic_cast<cMeshObj*>(scene->town);
    ASSERT_TRUE(town && (town->flags & MESH_TEXCOORDS));
    std::map<std::string, int> wrong;
    int walls = 0;
    for (std::size_t g = 0; g + 1 < town->groups.size(); ++g) {
        const std::string& name = town->materials[g].name;
        const float faces = name == "town_facades" ? 2.0f : 1.0f;
        for (uint32_t k = town->groups[g]; k < town->groups[g + 1]; ++k) {
            walls += faces == 2.0f;
            if (town->texcoords[2 * std::size_t(town->indices[k])] != faces)
                ++wrong[name];
        }
    }
    EXPECT_GT(walls, 0);
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " parts, the first " << wrong.begin()->first;
}

TEST_F(Town, sky_runs_from_cold_to_warm_until_the_switch_to_scene_5_and_stays_cold_without_one)
{
    REQUIRE_GL_CONTEXT();
    fresh_run(106100, 116100);
    const float even[3] = {(COLD[0] + WARM[0]) / 2, (COLD[1] + WARM[1]) / 2, (COLD[2] + WARM[2]) / 2};
    const struct
    {
        int32_t e;
        const float* sky;
    } table[] = {{106100, COLD}, {111100, even}, {116100, WARM}, {130000, WARM}};
    float sky[4];
    for (const auto& row : table) {
        draw_at(row.e, sky);
        expect_sky(row.sky, sky, "switch 10 s after the first frame");
        EXPECT_FLOAT_EQ(1.0f, sky[3]);
    }
    // The end time is looked up once: a later queue does not move it.
    queue.events[1].time = 200000;
    draw_at(111100, sky);
    expect_sky(even, sky, "5000 ms, second look");

    fresh_run(106100, -1);
    for (int32_t e : {106100, 116100, 200000}) {
        draw_at(e, sky);
        expect_sky(COLD, sky, "no switch");
    }
    EXPECT_EQ(-1, scene->sky_end);
    fresh_run(106100, 116100);
    get_scene_manager()->queue = nullptr;
    draw_at(106100, sky);
    draw_at(116100, sky);
    get_scene_manager()->queue = &queue;
    expect_sky(COLD, sky, "no script");
    EXPECT_EQ(GL_NO_ERROR, glGetError());
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
    // Screen quarters in fade-in order: upper left, upper right, lower left,
    // lower right (rows counted from the bottom).
    for (int q = 0; q < 4; ++q) {
        for (int32_t& t : scene->fadein_times)
            t = TOWN_NEVER;
        scene->fadein_times[q] = e - 2000; // fully faded in
        const std::vector<uint8_t> shown = frame_at(e);
        double change[4] = {0, 0, 0, 0};
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const std::size_t x = i / 4 % WIDTH, y = i / 4 / WIDTH;
            if (i % 4 != 3)
                change[(y < 384 ? 2 : 0) + (x < 512 ? 0 : 1)] += std::abs(int(shown[i]) - int(none[i]));
        }
        EXPECT_GT(change[q], 512.0 * 384.0 * 3.0 * 2.0) << "quarter " << q << " shows its credits";
        for (int k = 0; k < 4; ++k)
            if (k != q) {
                EXPECT_LT(change[k] * 20.0, change[q]) << "quarter " << q << " leaves quarter " << k << " alone";
            }
    }
    // Drawn in their lit parts alone, the quarters give the same frame.
    for (int32_t& t : scene->fadein_times)
        t = e - 1000;
    const std::vector<uint8_t> parts = frame_at(e);
    float found[TOWN_CREDIT_QUARTERS][4];
    std::copy(&scene->credit_texels[0][0], &scene->credit_texels[0][0] + 16, &found[0][0]);
    EXPECT_LT(found[0][1] - found[0][0], 500.0f) << "the upper left quarter is drawn in part";
    const float whole[TOWN_CREDIT_QUARTERS][4] = {
        {0, 512, 384, 768}, {512, 1024, 384, 768}, {0, 512, 0, 384}, {512, 1024, 0, 384}};
    std::copy(&whole[0][0], &whole[0][0] + 16, &scene->credit_texels[0][0]);
    EXPECT_EQ(parts, frame_at(e));
    std::copy(&found[0][0], &found[0][0] + 16, &scene->credit_texels[0][0]);
    for (int32_t& t : scene->fadein_times)
        t = TOWN_NEVER;
}

// The defaults an exit leaves are checked for every scene elsewhere; face
// culling, which init turns off, is this scene's own to give back.
TEST_F(Town, init_sets_additive_unlit_free_drawing_and_exit_turns_culling_back_on)
{
    REQUIRE_GL_CONTEXT();
    clock.now = 107000;
    scene->init();
    EXPECT_EQ(107000, scene->bwab_time);
    EXPECT_EQ(1, gl_integer(GL_LIGHT_MODEL_TWO_SIDE));
    EXPECT_EQ(GL_SRC_ALPHA, gl_integer(GL_BLEND_SRC));
    EXPECT_EQ(GL_ONE, gl_integer(GL_BLEND_DST));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    frame_at(107100);
    scene->exit();
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

// --- in the show ------------------------------------------------------------------------

TEST(TownShow, captured_frames_of_the_stretch_show_a_changing_picture_and_log_no_error)
{
    // The first frame, after the first credit has faded in, and late in the
    // stretch under the warm sky with all four credits.
    const SceneCapture run = capture_scene_frames({107000, 112000, 133500}, 1.0, 400);
    SKIP_WITHOUT_X_SERVER(run);
    ASSERT_TRUE(capture_is_clean(run, 3, 3, {{0, 1}, {1, 2}}));
}

} // namespace
