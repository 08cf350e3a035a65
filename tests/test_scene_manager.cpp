// The scene manager: event dispatch, the scene lifecycle, the loading phase
// and the fallback scene.
#include "timeline/scene_manager.h"
#include "core/warm_up.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/diagnostics.h"
#include "core/display.h"
#include "core/gl_ext.h"
#include "platform/platform.h"
#include "support/gl_context.h"
#include "support/gl_state.h"
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
    // Leaves blending on and takes a random number, as scenes do.
    void draw() override { record("draw"); glEnable(GL_BLEND); crt_rand(); }
    void rewind_run() override { record("rewind"); }
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
    // The clock on the virtual counter, its origin at the counter's 0.
    void start_virtual_clock()
    {
        platform_use_virtual_counter(0);
        manager_.clock.read_frequency();
        manager_.clock.tick();
        manager_.clock.start = manager_.clock.now;
    }
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

TEST_F(SceneManager, dispatch_follows_the_queue_and_the_frame_times)
{
    struct step
    {
        int32_t t;
        Log log; // calls of this frame's dispatch
        std::string err;
    };
    struct dispatch_case
    {
        const char* what;
        int scenes;
        std::vector<demo_event> events;
        std::vector<step> steps;
        int current; // the scene current after the last step
    };
    const dispatch_case cases[] = {
        {"an event at the current time waits for the next frame", 1, {{0, 500}},
         {{500, {}, ""}, {501, {"s0 init"}, ""}}, 0},
        {"one frame's events in queue order", 2, {{0, 10}, {16, 20}, {1, 30}, {17, 30}, {18, 40}},
         {{35, {"s0 init", "s0 event 16", "s0 exit", "s1 init", "s1 event 17"}, ""}, {41, {"s1 event 18"}, ""}}, 1},
        {"switch: exit of the old, then init of the new", 13, {{3, 10}, {12, 20}},
         {{25, {"s3 init", "s3 exit", "s12 init"}, ""}}, 12},
        {"switch to the same scene", 1, {{0, 10}, {0, 20}}, {{30, {"s0 init", "s0 exit", "s0 init"}, ""}}, 0},
        {"cues reach only the current scene", 2, {{16, 10}, {1, 20}, {28, 30}, {29, 31}},
         {{40, {"s1 init", "s1 event 28", "s1 event 29"}, ""}}, 1},
        {"codes without a handler", 1, {{0, 5}, {13, 10}, {14, 11}, {15, 12}, {31, 13}},
         {{20, {"s0 init"},
           "unhandled demo_event: 13\nunhandled demo_event: 14\nunhandled demo_event: 15\n"
           "unhandled demo_event: 31\n"}},
         0},
    };
    for (const dispatch_case& c : cases) {
        Log log; // outlives the manager, whose destructor still records
        cSceneManager manager;
        manager.queue = new cEventQueue;
        manager.queue->events = c.events;
        for (int i = 0; i < c.scenes; ++i)
            manager.add_scene(new cRecordingScene(&manager.clock, "s" + std::to_string(i), &log));
        for (const step& s : c.steps) {
            log.clear();
            manager.clock.prev = manager.clock.now;
            manager.clock.now = s.t;
            testing::internal::CaptureStderr();
            manager.process_demo_events();
            EXPECT_EQ(s.err, testing::internal::GetCapturedStderr()) << c.what;
            EXPECT_EQ(s.log, log) << c.what << " at " << s.t;
        }
        EXPECT_EQ(manager.scenes[c.current], manager.current) << c.what;
    }
}

TEST_F(SceneManager, a_long_frame_fires_every_event_of_the_gap_in_order)
{
    add_scenes(3);
    script({{0, 100}, {1, 2000}, {16, 2500}, {2, 4000}, {0, 6000}, {17, 9000}});
    start_virtual_clock();
    platform_advance_virtual_counter(10 * 1000000); // a ten-second stall
    testing::internal::CaptureStderr();
    manager_.update();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(Log({"s0 init", "s0 exit", "s1 init", "s1 event 16", "s1 exit", "s2 init", "s2 exit", "s0 init",
                   "s0 event 17", "s0 update"}),
              log_);
}

TEST_F(SceneManager, update_ticks_the_clock_then_dispatches_then_updates_the_current_scene_which_draw_needs)
{
    add_scenes(1);
    script({{0, 50}});
    start_virtual_clock();
    manager_.update();
    EXPECT_TRUE(log_.empty()); // nothing current, nothing due at 0 ms
    for (int frame = 0; frame < 2; ++frame) { // without a current scene, draw warns every frame
        testing::internal::CaptureStderr();
        manager_.draw_current();
        EXPECT_EQ("# warning, no scene selected in cSceneManager::draw_current\n", testing::internal::GetCapturedStderr());
    }
    platform_advance_virtual_counter(60 * 1000);
    manager_.update();
    EXPECT_EQ(60, manager_.clock.show_time());
    EXPECT_EQ(60, manager_.clock.now - manager_.clock.prev);
    EXPECT_EQ(Log({"s0 init", "s0 update"}), log_);
    manager_.draw_current();
    EXPECT_EQ("s0 draw", log_.back());
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

TEST_F(SceneManager, start_sets_the_time_origin_and_reports_playback)
{
    start_virtual_clock();
    platform_advance_virtual_counter(7 * 1000000);
    testing::internal::CaptureStdout();
    manager_.start();
    EXPECT_EQ("# fmod starting playback...\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(7000, manager_.clock.now);
    EXPECT_EQ(0, manager_.clock.show_time());
}

// Each presented frame of the loading phase takes a quarter of a second of
// the virtual counter: a slow display, so the fade is only a few frames.
void advance_one_refresh()
{
    platform_advance_virtual_counter(250000);
}

TEST_F(SceneManager, loading_phase_loads_every_scene_in_order_and_lasts_five_seconds_of_its_clock)
{
    REQUIRE_GL_CONTEXT();
    use_release_data();
    add_scenes(3);
    start_virtual_clock();
    manager_.clock.prev = manager_.clock.now;
    display_set_present_hook(advance_one_refresh);
    const GlState before = GlState::now();
    static Log* log = &log_;
    // A warm-up of a second, after the fade, inside the hold.
    manager_.load_scenes([] {
        log->push_back("warm up");
        platform_advance_virtual_counter(1000000);
        return 0;
    });
    display_set_present_hook(nullptr);

    EXPECT_EQ(Log({"s0 load", "s1 load", "s2 load", "warm up"}), log_);
    // Held until five seconds have passed, overshooting by less than one
    // hold step (a sleep, or a frame of the fade).
    const int32_t held = manager_.clock.now - manager_.clock.start;
    EXPECT_GE(held, LOADING_MIN_MS);
    EXPECT_LT(held, LOADING_MIN_MS + int32_t(LOADING_HOLD_SLEEP_MS));
    before.expect_same(GlState::now(), "loading phase", false);
    EXPECT_FALSE(check_gl_error("loading phase"));
}

TEST(SceneManagerGl, warm_up_draws_in_each_stretch_before_the_quit_then_starts_the_run_over)
{
    REQUIRE_GL_CONTEXT();
    static Log log; // the scenes record into it until the manager is gone
    cSceneManager* manager = get_scene_manager();
    manager->queue = new cEventQueue;
    // Switch to s0, a cue, s1 at 1000 for only 50 ms before the quit.
    manager->queue->events = {{0, 0}, {16, 50}, {1, 1000}, {EVENT_QUIT, 1050}, {0, 2000}};
    for (const char* name : {"s0", "s1"})
        manager->add_scene(new cRecordingScene(&manager->clock, name, &log));
    platform_use_virtual_counter(0);
    manager->clock.read_frequency();
    manager->clock.tick();
    manager->clock.start = manager->clock.now - 3000;
    manager->clock.prev = manager->clock.now - 20;
    const cClock clock = manager->clock;
    const uint32_t random_state = crt_rand_state();
    const GlState gl = GlState::now();
    const std::pair<GLint, GLint> stacks = {gl_integer(GL_ATTRIB_STACK_DEPTH), gl_integer(GL_CLIENT_ATTRIB_STACK_DEPTH)};

    // s0 at 100 and 500, s1 half way to the quit.
    // A frame at the quit would end the test program, with code 0: fail it.
    static bool warming = true;
    std::atexit([] { warming ? std::_Exit(1) : void(); });
    EXPECT_EQ(3, warm_up_scenes());
    warming = false;
    EXPECT_EQ(Log({"s0 init", "s0 event 16", "s0 update", "s0 draw", "s0 update", "s0 draw", "s0 exit", "s1 init",
                   "s1 update", "s1 draw", "s1 exit", "s0 rewind", "s1 rewind"}),
              log);
    EXPECT_EQ(nullptr, manager->current);
    EXPECT_EQ(0u, manager->queue->cursor);
    EXPECT_EQ(std::make_tuple(clock.start, clock.now, clock.prev),
              std::make_tuple(manager->clock.start, manager->clock.now, manager->clock.prev));
    EXPECT_EQ(random_state, crt_rand_state());
    gl.expect_same(GlState::now(), "warm-up");
    EXPECT_EQ(stacks, std::make_pair(gl_integer(GL_ATTRIB_STACK_DEPTH), gl_integer(GL_CLIENT_ATTRIB_STACK_DEPTH)));
    EXPECT_FALSE(check_gl_error("warm-up"));
    destroy_scene_manager();
    platform_use_real_counter();
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
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(128, pixel[c], 1) << c;
    EXPECT_EQ(255, pixel[3]);
}

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
    // An unreadable script is an empty one, for the check and the dispatch.
    // (Dispatched before the check, which makes the music's end the show's.)
    delete manager_.queue;
    manager_.queue = nullptr;
    add_scenes(1);
    EXPECT_EQ("", dispatch_at(100000));
    EXPECT_EQ(nullptr, manager_.current);
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

TEST(SceneManagerExit, quit_or_without_it_the_music_end_ends_the_process_with_code_0)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A quit goes before later events of its time.
    EXPECT_EXIT(dispatch_quit_then_s100(), testing::ExitedWithCode(0),
                testing::Not(testing::HasSubstr("unhandled")));
    EXPECT_EXIT(dispatch_around_the_music_end(), testing::ExitedWithCode(0),
                "cSceneManager::init\nstill playing at 3000\n$");
}
