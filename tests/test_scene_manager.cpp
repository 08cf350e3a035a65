// The scene manager: event dispatch, the scene lifecycle, the loading phase
// and the fallback scene.
#include "timeline/scene_manager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/diagnostics.h"
#include "core/display.h"
#include "core/gl_ext.h"
#include "platform/platform.h"
#include "support/gl_context.h"
#include "support/images.h"

namespace {

typedef std::vector<std::string> Log;

// Writes every call it receives into a shared log as "<name> <call>".
class cRecordingScene : public cScene
{
public:
    cRecordingScene(cClock* clock, const std::string& name, Log* log) : cScene(clock), name_(name), log_(log) {}
    ~cRecordingScene() override { record("delete"); }

    void load() override { record("load"); }
    void init() override { record("init"); }
    void exit() override { record("exit"); }
    void draw() override { record("draw"); }
    void handle_event(const demo_event* e) override { record("event " + std::to_string(e->code)); }
    void update() override { record("update"); }

private:
    void record(const std::string& call) { log_->push_back(name_ + " " + call); }
    std::string name_;
    Log* log_;
};

class SceneManager : public testing::Test
{
protected:
    void SetUp() override
    {
        manager_.queue = new cEventQueue;
        manager_.clock.start = 1000; // any origin: only differences count
        manager_.clock.now = manager_.clock.prev = 1000;
    }
    void TearDown() override { platform_use_real_counter(); }

    void add_scenes(int count)
    {
        for (int i = 0; i < count; ++i)
            manager_.add_scene(new cRecordingScene(&manager_.clock, "s" + std::to_string(i), &log_));
    }
    void script(const std::vector<demo_event>& events) { manager_.queue->events = events; }
    // One frame's dispatch at show time t (the clock set by hand); returns
    // what it wrote to standard error.
    std::string dispatch_at(int32_t t)
    {
        manager_.clock.prev = manager_.clock.now;
        manager_.clock.now = manager_.clock.start + t;
        testing::internal::CaptureStderr();
        manager_.process_demo_events();
        return testing::internal::GetCapturedStderr();
    }

    Log log_; // outlives the manager, whose destructor still records
    cSceneManager manager_;
};

} // namespace

// --- when events fall due ---------------------------------------------------------

TEST_F(SceneManager, an_event_at_the_current_show_time_waits_for_the_next_frame)
{
    add_scenes(1);
    script({{0, 500}});
    dispatch_at(500);
    EXPECT_TRUE(log_.empty());
    EXPECT_EQ(nullptr, manager_.current);
    dispatch_at(501);
    EXPECT_EQ(Log({"s0 init"}), log_);
    EXPECT_EQ(manager_.scenes[0], manager_.current);
}

TEST_F(SceneManager, events_of_one_frame_are_handled_in_queue_order)
{
    add_scenes(2);
    script({{0, 10}, {16, 20}, {1, 30}, {17, 30}, {18, 40}});
    dispatch_at(35);
    EXPECT_EQ(Log({"s0 init", "s0 event 16", "s0 exit", "s1 init", "s1 event 17"}), log_);
    log_.clear();
    dispatch_at(41);
    EXPECT_EQ(Log({"s1 event 18"}), log_);
}

TEST_F(SceneManager, a_long_frame_fires_every_event_of_the_gap_in_order)
{
    add_scenes(3);
    script({{0, 100}, {1, 2000}, {16, 2500}, {2, 4000}, {0, 6000}, {17, 9000}});
    platform_use_virtual_counter(0);
    manager_.clock.read_frequency();
    manager_.clock.tick();
    manager_.clock.start = manager_.clock.now;
    platform_advance_virtual_counter(10 * 1000000); // a ten-second stall
    testing::internal::CaptureStderr();
    manager_.update();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(Log({"s0 init", "s0 exit", "s1 init", "s1 event 16", "s1 exit", "s2 init", "s2 exit", "s0 init",
                   "s0 event 17", "s0 update"}),
              log_);
}

TEST_F(SceneManager, update_ticks_the_clock_then_dispatches_then_updates_the_current_scene)
{
    add_scenes(1);
    script({{0, 50}});
    platform_use_virtual_counter(0);
    manager_.clock.read_frequency();
    manager_.clock.tick();
    manager_.clock.start = manager_.clock.now;
    manager_.update();
    EXPECT_TRUE(log_.empty()); // nothing current, nothing due at 0 ms
    platform_advance_virtual_counter(60 * 1000);
    manager_.update();
    EXPECT_EQ(60, manager_.clock.show_time());
    EXPECT_EQ(60, manager_.clock.now - manager_.clock.prev);
    EXPECT_EQ(Log({"s0 init", "s0 update"}), log_);
}

// --- switches ---------------------------------------------------------------------

TEST_F(SceneManager, switch_calls_exit_of_the_old_scene_then_init_of_the_new)
{
    add_scenes(13);
    script({{3, 10}, {12, 20}});
    dispatch_at(25);
    EXPECT_EQ(Log({"s3 init", "s3 exit", "s12 init"}), log_);
    EXPECT_EQ(manager_.scenes[12], manager_.current);
}

TEST_F(SceneManager, switch_to_same_scene_calls_exit_then_init)
{
    add_scenes(1);
    script({{0, 10}, {0, 20}});
    dispatch_at(30);
    EXPECT_EQ(Log({"s0 init", "s0 exit", "s0 init"}), log_);
}

TEST_F(SceneManager, switch_to_an_unregistered_index_makes_the_grey_scene_current_without_init)
{
    add_scenes(2);
    script({{1, 10}, {5, 20}, {16, 30}, {7, 40}});
    std::string err = dispatch_at(25);
    EXPECT_EQ(Log({"s1 init", "s1 exit"}), log_);
    EXPECT_EQ("## ERROR: tried to switch to scene5, but it's not added. In cSceneManager::process_demo_events\n",
              err);
    ASSERT_NE(nullptr, manager_.dummy);
    EXPECT_EQ(manager_.dummy, manager_.current);
    EXPECT_EQ(&manager_.clock, manager_.dummy->clock);

    // The fallback reports cues, and a second bad switch reuses it.
    cSceneDummy* first = manager_.dummy;
    err = dispatch_at(45);
    EXPECT_EQ("dummy-scene recieved event: 16\n"
              "## ERROR: tried to switch to scene7, but it's not added. In cSceneManager::process_demo_events\n",
              err);
    EXPECT_EQ(first, manager_.dummy);
}

// --- cues and other codes -----------------------------------------------------------

TEST_F(SceneManager, cues_reach_only_the_current_scene_and_are_dropped_before_the_first_switch)
{
    add_scenes(2);
    script({{16, 10}, {1, 20}, {28, 30}, {29, 31}});
    std::string err = dispatch_at(40);
    EXPECT_EQ(Log({"s1 init", "s1 event 28", "s1 event 29"}), log_);
    EXPECT_EQ("", err);
}

TEST_F(SceneManager, codes_without_a_handler_print_unhandled_and_are_dropped)
{
    add_scenes(1);
    script({{0, 5}, {13, 10}, {14, 11}, {15, 12}, {31, 13}});
    std::string err = dispatch_at(20);
    EXPECT_EQ("unhandled demo_event: 13\nunhandled demo_event: 14\nunhandled demo_event: 15\n"
              "unhandled demo_event: 31\n",
              err);
    EXPECT_EQ(Log({"s0 init"}), log_);
}

TEST_F(SceneManager, an_unreadable_script_behaves_as_an_empty_one)
{
    delete manager_.queue;
    manager_.queue = nullptr;
    add_scenes(1);
    EXPECT_EQ("", dispatch_at(100000));
    EXPECT_EQ(nullptr, manager_.current);
}

TEST_F(SceneManager, without_a_current_scene_draw_warns_every_frame)
{
    for (int frame = 0; frame < 2; ++frame) {
        testing::internal::CaptureStderr();
        manager_.draw_current();
        EXPECT_EQ("# warning, no scene selected in cSceneManager::draw_current\n",
                  testing::internal::GetCapturedStderr());
    }
    add_scenes(1);
    script({{0, 1}});
    dispatch_at(2);
    manager_.draw_current();
    EXPECT_EQ("s0 draw", log_.back());
}

// Dispatches a script whose quit is followed by another event of its time.
void dispatch_quit_then_s100()
{
    cSceneManager manager;
    manager.queue = new cEventQueue;
    manager.queue->events = {{30, 100}, {13, 100}};
    manager.clock.now = 200;
    manager.process_demo_events();
    std::cerr << "still running" << std::endl;
}

TEST(SceneManagerExit, quit_ends_the_process_with_code_0_before_later_events_of_its_time)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(dispatch_quit_then_s100(), testing::ExitedWithCode(0),
                testing::Not(testing::HasSubstr("unhandled")));
}

// --- lifecycle ----------------------------------------------------------------------

TEST(SceneManagerLifecycle, destructor_deletes_every_scene_and_the_fallback)
{
    Log log;
    {
        cSceneManager manager;
        manager.add_scene(new cRecordingScene(&manager.clock, "s0", &log));
        manager.add_scene(new cRecordingScene(&manager.clock, "s1", &log));
        manager.queue = new cEventQueue;
        manager.queue->events = {{4, 0}};
        manager.clock.now = 1;
        testing::internal::CaptureStderr();
        manager.process_demo_events();
        testing::internal::GetCapturedStderr();
        ASSERT_NE(nullptr, manager.dummy);
    }
    EXPECT_EQ(Log({"s0 delete", "s1 delete"}), log);
}

TEST(SceneManagerLifecycle, start_sets_the_time_origin_and_reports_playback)
{
    platform_use_virtual_counter(0);
    cSceneManager manager;
    manager.clock.read_frequency();
    manager.clock.tick();
    manager.clock.start = manager.clock.now;
    platform_advance_virtual_counter(7 * 1000000);
    testing::internal::CaptureStdout();
    manager.start();
    EXPECT_EQ("# fmod starting playback...\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(7000, manager.clock.now);
    EXPECT_EQ(0, manager.clock.show_time());
    platform_use_real_counter();
}

TEST(SceneBase, constructor_gives_the_camera_defaults_and_the_clock)
{
    cClock clock;
    cSceneDummy scene(&clock);
    EXPECT_EQ(1.0f, scene.eye[0]);
    EXPECT_EQ(0.0f, scene.centre[2]);
    EXPECT_EQ(1.0f, scene.up[2]);
    EXPECT_EQ(65.0f, scene.fov);
    EXPECT_FLOAT_EQ(0.1f, scene.znear);
    EXPECT_EQ(500.0f, scene.zfar);
    EXPECT_FLOAT_EQ(4.0f / 3.0f, scene.aspect);
    EXPECT_EQ(&clock, scene.clock);
    EXPECT_FALSE(scene.loaded);
}

// --- with a GL context ----------------------------------------------------------------

// Each presented frame of the loading phase takes a quarter of a second of
// the virtual counter: a slow display, so the fade is only a few frames.
void advance_one_refresh()
{
    platform_advance_virtual_counter(250000);
}

TEST(SceneManagerGl, loading_phase_loads_every_scene_in_order_and_lasts_five_seconds_of_its_clock)
{
    REQUIRE_GL_CONTEXT();
    use_release_data();
    Log log;
    cSceneManager manager;
    for (int i = 0; i < 3; ++i)
        manager.add_scene(new cRecordingScene(&manager.clock, "s" + std::to_string(i), &log));
    platform_use_virtual_counter(0);
    display_set_present_hook(advance_one_refresh);
    manager.clock.read_frequency();
    manager.clock.tick();
    manager.clock.start = manager.clock.prev = manager.clock.now;
    GLint viewport_before[4];
    glGetIntegerv(GL_VIEWPORT, viewport_before);

    manager.load_scenes();
    display_set_present_hook(nullptr);
    platform_use_real_counter();

    EXPECT_EQ(Log({"s0 load", "s1 load", "s2 load"}), log);
    // Held until five seconds have passed, overshooting by less than one
    // hold step (a sleep, or a frame of the fade).
    EXPECT_GE(manager.clock.now - manager.clock.start, LOADING_MIN_MS);
    EXPECT_LT(manager.clock.now - manager.clock.start, LOADING_MIN_MS + int32_t(LOADING_HOLD_SLEEP_MS));
    GLint viewport_after[4];
    glGetIntegerv(GL_VIEWPORT, viewport_after);
    EXPECT_EQ(std::vector<GLint>(viewport_before, viewport_before + 4),
              std::vector<GLint>(viewport_after, viewport_after + 4));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(check_gl_error("loading phase"));
}

TEST(SceneManagerGl, grey_scene_clears_to_mid_grey)
{
    REQUIRE_GL_CONTEXT();
    OffscreenTarget target(8, 8);
    ASSERT_TRUE(target.complete());
    cClock clock;
    cSceneDummy scene(&clock);
    scene.draw();
    const rgba pixel = target.pixel(4, 4);
    EXPECT_NEAR(128, pixel[0], 1);
    EXPECT_NEAR(128, pixel[1], 1);
    EXPECT_NEAR(128, pixel[2], 1);
    EXPECT_EQ(255, pixel[3]);
}

// --- scripts that can only play wrong ------------------------------------------------

TEST_F(SceneManager, a_script_without_switch_or_quit_or_with_a_late_quit_is_warned_about_once)
{
    const std::string no_switch =
        "# warning, the script has no scene switch (s00 to s12): no scene will be drawn in cSceneManager::init\n";
    const std::string no_quit = "# warning, the script has no quit event: the show ends when the music ends, at "
                                "3000 ms in cSceneManager::init\n";
    struct script_case
    {
        const char* what;
        std::vector<demo_event> events;
        std::string warnings;
        int32_t music_end_ms;
    };
    const script_case cases[] = {
        {"complete", {{0, 0}, {16, 100}, {30, 2000}}, "", -1},
        {"empty", {}, no_switch + no_quit, 3000},
        {"cues only", {{16, 100}, {30, 2000}}, no_switch, -1},
        {"no quit", {{0, 0}, {16, 100}}, no_quit, 3000},
        {"quit after the music",
         {{0, 0}, {30, 4000}, {30, 5000}},
         "# warning, the music ends at 3000 ms, before the script's quit at 4000 ms: silence from there in "
         "cSceneManager::init\n",
         -1},
    };
    for (const script_case& c : cases) {
        script(c.events);
        testing::internal::CaptureStderr();
        manager_.check_script(3000);
        EXPECT_EQ(c.warnings, testing::internal::GetCapturedStderr()) << c.what;
        EXPECT_EQ(c.music_end_ms, manager_.music_end_ms) << c.what;
    }
    // An unreadable script is an empty one.
    delete manager_.queue;
    manager_.queue = nullptr;
    testing::internal::CaptureStderr();
    manager_.check_script(3000);
    EXPECT_EQ(no_switch + no_quit, testing::internal::GetCapturedStderr());
}

// A script without quit, dispatched just before and just after its music ends.
void dispatch_around_the_music_end()
{
    cSceneManager manager;
    manager.queue = new cEventQueue;
    manager.queue->events = {{16, 100}};
    manager.check_script(3000);
    manager.clock.now = 3000; // the music's last millisecond is still due
    manager.process_demo_events();
    std::cerr << "still playing at 3000" << std::endl;
    manager.clock.now = 3001;
    manager.process_demo_events();
    std::cerr << "still playing at 3001" << std::endl;
}

TEST(SceneManagerExit, without_a_quit_event_the_show_ends_with_code_0_when_the_music_ends)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(dispatch_around_the_music_end(), testing::ExitedWithCode(0),
                "cSceneManager::init\nstill playing at 3000\n$");
}
