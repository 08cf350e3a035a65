#include "scenes/scene_diamond.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "platform/platform.h"
#include "rendertargets/render_target.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/loaded_scene.h"
#include "support/scene_capture.h"
#include "support/scene_cues.h"
#include "support/show_runner.h"
#include "timeline/scene_manager.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

namespace {

const int32_t TECHNOFX = 22, TECHNOFX2 = 23, MELODY = 24, LEAD = 25;
const int WIDTH = 1024, HEIGHT = 768;

// --- effects and levels (no GL) ------------------------------------------------------

typedef CuedScene<cSceneDiamond> Levels;

TEST(DiamondEffects, flares_and_melodies_add_up_and_fade_over_their_lifetimes)
{
    Levels s;
    s.cue(TECHNOFX, 303000);
    s.cue(TECHNOFX, 303500);
    s.at(304000);
    // 0.2 + 0.5 s(1 - 1000/1700) + 0.5 s(1 - 500/1700), worked out by hand.
    EXPECT_NEAR(0.78020f, s.scene.flare_level, 1e-4f);
    EXPECT_FLOAT_EQ(0.0f, s.scene.melody_level);

    Levels t;
    t.cue(TECHNOFX2, 306000);
    t.cue(MELODY, 306000);
    t.at(306000);
    EXPECT_FLOAT_EQ(0.7f, t.scene.flare_level);
    EXPECT_FLOAT_EQ(0.6f, t.scene.melody_level);
    t.at(307000);
    EXPECT_NEAR(0.34080f, t.scene.melody_level, 1e-4f) << "0.6 s(1 - 1000/2200), worked out by hand";
    t.at(307700);
    EXPECT_FLOAT_EQ(0.2f, t.scene.flare_level) << "the flare is spent after 1700 ms";
    EXPECT_GT(t.scene.melody_level, 0.0f) << "the melody lasts 2200 ms";
}

TEST(DiamondEffects, only_technofx_technofx2_and_melody_enter_the_list_and_go_once_older_than_1700_or_2200_ms)
{
    Levels all;
    for (int32_t code = EVENT_CUE_FIRST; code <= EVENT_CUE_LAST; ++code)
        all.cue(code, 10000 + code);
    std::vector<int32_t> codes;
    for (const demo_event& e : all.scene.effects)
        codes.push_back(e.code);
    EXPECT_EQ((std::vector<int32_t>{TECHNOFX, TECHNOFX2, MELODY}), codes) << "lead does not enter";
    EXPECT_EQ(10000 + TECHNOFX, all.scene.effects.front().time) << "the event's own time is kept";

    Levels s;
    s.cue(TECHNOFX, 310000);
    s.cue(MELODY, 310000);
    // 1700 ms old is not yet older than the flare's lifetime.
    const std::pair<int32_t, size_t> table[] = {{311700, 2}, {311701, 1}, {312200, 1}, {312201, 0}};
    for (const auto& row : table) {
        s.at(row.first);
        ASSERT_EQ(row.second, s.scene.effects.size()) << row.first;
        if (row.second == 1) {
            EXPECT_EQ(MELODY, s.scene.effects.front().code);
        }
    }
    EXPECT_FLOAT_EQ(1700.0f, diamond_effect_lifetime(LEAD));
    EXPECT_FLOAT_EQ(2147483648.0f, diamond_effect_lifetime(16));
}

// --- with the show's data --------------------------------------------------------------

class SceneDiamond : public LoadedScene<cSceneDiamond>
{
protected:
    static void SetUpTestSuite()
    {
        if (!gl_test_context())
            return;
        use_show_environment();
        // The pool exists before the scene first becomes current, as in the
        // show (making its targets resets the context's lighting model).
        get_rendertarget_manager();
        // The generator's state at program start, as the show's load finds
        // it when no scene before it drew a number.
        crt_srand(1);
        LoadedScene::SetUpTestSuite();
        picture = new cRenderTarget_fbo(WIDTH, HEIGHT, false);
        picture->create();
    }
    static void TearDownTestSuite()
    {
        LoadedScene::TearDownTestSuite();
        delete picture;
        picture = nullptr;
    }

    // The script's queue as the scene manager holds it, with these events;
    // a new run unless told otherwise (the scene reads the quit time again).
    static void use_queue(const std::vector<demo_event>& events, bool new_run = true)
    {
        cSceneManager* manager = get_scene_manager();
        delete manager->queue;
        manager->queue = new cEventQueue();
        manager->queue->events = events;
        manager->queue->sort();
        if (new_run)
            scene->quit_time_read = false;
    }

    // A frame as the show draws it (the glow puts it on the window), read
    // back from the window's back buffer.
    static std::vector<uint8_t> draw_frame(int32_t e)
    {
        clock.start = 0;
        clock.prev = e - 16;
        clock.now = e;
        scene->update();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene->draw();
        return read_window(4);
    }

    // The fade step alone over a grey picture; the grey left at the centre.
    static int faded_grey(int32_t e)
    {
        clock.start = 0;
        clock.now = e;
        picture->begin();
        glClearColor(200.0f / 255.0f, 200.0f / 255.0f, 200.0f / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        scene->draw_end_fade();
        picture->end();
        return read_target(*picture)[(HEIGHT / 2 * WIDTH + WIDTH / 2) * 4 + 1];
    }

    static cRenderTarget_fbo* picture;
};
cRenderTarget_fbo* SceneDiamond::picture = nullptr;

// Sum of one channel (0 red, 1 green, 2 blue) over an RGBA frame.
double channel_sum(const std::vector<uint8_t>& p, int channel)
{
    double sum = 0;
    for (std::size_t i = std::size_t(channel); i < p.size(); i += 4)
        sum += p[i];
    return sum;
}

TEST_F(SceneDiamond, load_takes_sixteen_pieces_and_pp_shd_and_draws_three_runtime_numbers_per_piece_once)
{
    REQUIRE_GL_CONTEXT();
    ASSERT_TRUE(scene->loaded);
    for (int i = 0; i < DIAMOND_PIECES; ++i) {
        cMeshObj* piece = dynamic_cast<cMeshObj*>(scene->pieces[i]);
        ASSERT_NE(nullptr, piece) << DIAMOND_PIECE_FILES[i];
        EXPECT_FALSE(piece->materials.empty()) << DIAMOND_PIECE_FILES[i];
        EXPECT_TRUE(piece->flags & MESH_GROUPS) << DIAMOND_PIECE_FILES[i];
    }
    EXPECT_EQ(1u, get_shader_container()->shaders.count("pp_shd"));
    // The C runtime's first numbers from state 1: 41, 18467, 6334, 26500,
    // 19169, 15724. Piece 0 draws r1 = 41, r2 = 18467, r3 = 6334 and turns
    // about (r3, r2, r1) / 32767.
    ASSERT_EQ(std::size_t(DIAMOND_PIECES), scene->axes.size());
    const float k = 1.0f / 32767.0f;
    const std::array<float, 3> first = {6334 * k, 18467 * k, 41 * k};
    const std::array<float, 3> second = {15724 * k, 19169 * k, 26500 * k};
    for (int c = 0; c < 3; ++c) {
        EXPECT_FLOAT_EQ(first[c], scene->axes[0][c]) << c;
        EXPECT_FLOAT_EQ(second[c], scene->axes[1][c]) << c;
    }
    iMesh* piece0 = scene->pieces[0];
    const std::vector<std::array<float, 3>> axes = scene->axes;
    scene->load();
    EXPECT_EQ(piece0, scene->pieces[0]);
    EXPECT_EQ(axes, scene->axes) << "a second load draws no more axes";
    // Another run of the same build: the same generator state, the same axes.
    crt_srand(1);
    cSceneDiamond again(&clock);
    again.load();
    EXPECT_EQ(scene->axes, again.axes);
}

TEST_F(SceneDiamond, each_stretch_holds_one_full_size_pool_target_and_exit_gives_it_back)
{
    REQUIRE_GL_CONTEXT();
    cRenderTargetManager* pool = get_rendertarget_manager();
    const uint32_t lent = pool->get_outstanding();
    const uint32_t pooled = pool->pooled_count();
    use_queue({{EVENT_QUIT, 323478}});
    for (int stretch = 0; stretch < 2; ++stretch) {
        scene->init();
        ASSERT_FALSE(scene->frame_target.empty());
        EXPECT_EQ(RTT_FULL, scene->frame_target.size_class());
        EXPECT_EQ(uint32_t(WIDTH), scene->frame_target->width);
        EXPECT_EQ(lent + 1, pool->get_outstanding());
        GLint two_side = 0;
        glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &two_side);
        EXPECT_EQ(1, two_side);
        cRenderTarget_fbo* held = scene->frame_target.get();
        draw_frame(306000);
        draw_frame(306100);
        EXPECT_EQ(held, scene->frame_target.get()) << "the same target every frame";
        EXPECT_EQ(lent + 1, pool->get_outstanding()) << "the glow gives its own targets back";
        scene->exit();
        EXPECT_TRUE(scene->frame_target.empty());
        EXPECT_EQ(lent, pool->get_outstanding()) << "stretch " << stretch;
        EXPECT_EQ(pooled, pool->pooled_count()) << "no target made at run time";

        // The defaults an exit leaves are checked for every scene elsewhere;
        // these two are this scene's own to give back.
        glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &two_side);
        EXPECT_EQ(0, two_side);
        EXPECT_TRUE(glIsEnabled(GL_MULTISAMPLE));
    }
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(SceneDiamond, a_technofx_lights_the_pieces_green_yellow_and_a_melody_brighter_all_over)
{
    REQUIRE_GL_CONTEXT();
    use_queue({{EVENT_QUIT, 323478}});
    scene->init();
    // The frame at 306000 with only this cue (none: 0) on the list.
    auto frame_with = [](int32_t code) {
        scene->effects.clear();
        const demo_event cue = {code, 306000};
        if (code)
            scene->handle_event(&cue);
        return draw_frame(306000);
    };
    const std::vector<uint8_t> rest = frame_with(0), flared = frame_with(TECHNOFX), bright = frame_with(MELODY);
    scene->effects.clear();
    scene->exit();

    // At rest: pieces on black, not one colour.
    EXPECT_GT(channel_sum(rest, 2), 0.0);
    EXPECT_EQ(0, rest[0] + rest[1] + rest[2]) << "the corner stays black";
    // The flare adds mostly green, then red, hardly any blue.
    const double dr = channel_sum(flared, 0) - channel_sum(rest, 0);
    const double dg = channel_sum(flared, 1) - channel_sum(rest, 1);
    const double db = channel_sum(flared, 2) - channel_sum(rest, 2);
    EXPECT_GT(dg, 0.5 * channel_sum(rest, 1)) << "a flare is bright";
    EXPECT_GT(dg, 1.5 * dr);
    EXPECT_GT(dr, db);
    // The melody raises the diffuse light: every channel brighter.
    for (int c = 0; c < 3; ++c)
        EXPECT_GT(channel_sum(bright, c), 1.5 * channel_sum(rest, c)) << c;
}

TEST_F(SceneDiamond, darkening_multiplies_the_picture_and_reaches_black_before_the_quit)
{
    REQUIRE_GL_CONTEXT();
    use_queue({{EVENT_QUIT, 300000}});
    // With the quit at 300000: whole until 295000, half at 297000, black from 299000.
    EXPECT_EQ(200, faded_grey(295000));
    EXPECT_NEAR(150, faded_grey(296000), 1);
    EXPECT_NEAR(100, faded_grey(297000), 1);
    EXPECT_EQ(0, faded_grey(299000));
    EXPECT_EQ(300000, scene->quit_time);
    // Read once for the run: a later change of the queue does not move it.
    use_queue({{EVENT_QUIT, 400000}}, false);
    EXPECT_EQ(0, faded_grey(299500));
    EXPECT_EQ(300000, scene->quit_time);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(SceneDiamond, without_a_quit_still_to_come_the_scene_is_black)
{
    REQUIRE_GL_CONTEXT();
    // The quit already handed out: find() looks from the cursor on.
    use_queue({{11, 302608}, {EVENT_QUIT, 303000}});
    get_scene_manager()->queue->cursor = 2;
    EXPECT_EQ(0, faded_grey(302700));
    EXPECT_EQ(EVENT_NONE, scene->quit_time);

    // No script at all reads the same.
    cSceneManager* manager = get_scene_manager();
    delete manager->queue;
    manager->queue = nullptr;
    scene->quit_time_read = false;
    scene->init();
    const std::vector<uint8_t> frame = draw_frame(306000);
    scene->exit();
    EXPECT_EQ(0.0, channel_sum(frame, 0) + channel_sum(frame, 1) + channel_sum(frame, 2));
}

TEST(SceneDiamondShow, frames_flare_turn_and_darken_to_black_at_the_quit_without_errors)
{
    // A technofx flare (303.261), a melody with technofx2 (306.087), the rest
    // before the last seconds, and 1 s before the quit (323.478): black.
    const SceneCapture run = capture_scene_frames({303300, 306200, 319500, 322480}, 1.0, 400);
    SKIP_WITHOUT_X_SERVER(run);
    ASSERT_TRUE(capture_is_clean(run, 4, 3, {{0, 1}, {1, 2}}));
    ASSERT_EQ(1024u * 768u * 3u, run.frames[3].size());
    EXPECT_TRUE(frame_is_uniform(run.frames[3]));
    EXPECT_EQ(0, run.frames[3][0] + run.frames[3][1] + run.frames[3][2]);
}

} // namespace
