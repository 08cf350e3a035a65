// Heap allocations of the real frame loop. The program replaces the global
// operator new with one that counts the calls the show's own code makes on
// the thread that runs the frames, then runs the show's start-up, loading
// phase and frames on the virtual counter (as bin/capture does) through the
// first stretch of every scene of the script. The frame that hands a scene
// its switch may allocate (the switch runs init); every later frame,
// including those that hand the scene its cues, must allocate nothing.
// Skipped only without a display: with one, a start-up that gets no GL
// context ends the program with 255 and so fails it.
#include "core/demo.h"
#include "core/display.h"
#include "platform/platform.h"
#include "support/gl_context.h"
#include "support/show_runner.h"
#include "timeline/event_queue.h"
#include "timeline/scene_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <execinfo.h>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

thread_local bool t_counting = false;
long g_allocations = 0;
const void* g_program_base = nullptr;

// Whether the caller of operator new, looking past the C++ runtime's own
// functions (std::string and the containers' out-of-line parts), is this
// program, which holds the show's code. The GL driver allocates too
// (llvmpipe compiles programs with LLVM as state combinations first meet
// it): not the frame loop's allocations.
bool called_from_program()
{
    void* frames[12];
    const int n = backtrace(frames, 12);
    for (int i = 2; i < n; ++i) {
        Dl_info info;
        if (!dladdr(frames[i], &info))
            return false;
        if (!std::strstr(info.dli_fname, "libstdc++"))
            return info.dli_fbase == g_program_base;
    }
    return false;
}

} // namespace

void* operator new(std::size_t size)
{
    if (t_counting) {
        t_counting = false;
        g_allocations += called_from_program();
        t_counting = true;
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

// The compiler sees free() take what operator new returned and warns; here
// that pairing is the point.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}

namespace {

// The first stretch of one scene and the show times of its counted frames:
// two after the switch, and for each cue code of the stretch the frame that
// hands over its first occurrence and one 50 ms later.
struct stretch
{
    int scene;
    int32_t first;
    std::vector<int32_t> counted;
};

std::vector<stretch> first_stretches(const std::vector<demo_event>& events)
{
    std::vector<stretch> result;
    std::vector<bool> seen(EVENT_SCENE_LAST + 1, false);
    for (std::size_t i = 0; i < events.size(); ++i) {
        const int32_t code = events[i].code;
        if (code < EVENT_SCENE_FIRST || code > EVENT_SCENE_LAST || seen[code])
            continue;
        seen[code] = true;
        stretch s{code, events[i].time, {events[i].time + 40, events[i].time + 80}};
        std::vector<int32_t> codes;
        std::size_t j = i + 1;
        for (; j < events.size() && events[j].code > EVENT_SCENE_LAST && events[j].code != EVENT_QUIT; ++j) {
            if (events[j].code < EVENT_CUE_FIRST || events[j].code > EVENT_CUE_LAST ||
                std::count(codes.begin(), codes.end(), events[j].code))
                continue;
            codes.push_back(events[j].code);
            s.counted.push_back(events[j].time + 1);
            s.counted.push_back(events[j].time + 51);
        }
        const int32_t end = j < events.size() ? events[j].time : s.first;
        std::sort(s.counted.begin(), s.counted.end());
        s.counted.erase(std::unique(s.counted.begin(), s.counted.end()), s.counted.end());
        while (!s.counted.empty() && s.counted.back() >= end)
            s.counted.pop_back();
        result.push_back(s);
    }
    return result;
}

bool g_loading = true;

// Each presented frame of the loading phase takes a tenth of a second.
void on_present()
{
    if (g_loading)
        platform_advance_virtual_counter(100000);
}

// Moves the virtual counter on to show time t, in the middle of its
// millisecond.
void set_show_time(int32_t t)
{
    const int64_t target = (int64_t(get_scene_manager()->clock.start) + t) * 1000 + 500;
    if (target > platform_counter())
        platform_advance_virtual_counter(target - platform_counter());
}

} // namespace

TEST(FrameAllocations, frames_after_a_scenes_first_allocate_nothing_through_its_cues)
{
    if (!gl_display_given())
        GTEST_SKIP() << "no display";
    cEventQueue* queue = cEventQueue_factory::loadFile(build_dir() + "/data/script/markers.txt");
    ASSERT_TRUE(queue) << "the release folder has no script";
    const std::vector<stretch> stretches = first_stretches(queue->events);
    delete queue;
    ASSERT_EQ(std::size_t(SCENE_COUNT), stretches.size());

    // The show's start-up fails the program (exit) where it gets no context.
    ASSERT_EQ(0, chdir((build_dir() + "/bin").c_str()));
    platform_use_virtual_counter(0);
    display_set_present_hook(on_present);
    testing::internal::CaptureStdout();
    demo_startup();
    cDemo demo;
    demo.init();
    g_loading = false;
    platform_advance_virtual_counter((1500 - platform_counter() % 1000) % 1000);
    demo.start();

    Dl_info self;
    ASSERT_TRUE(dladdr(reinterpret_cast<void*>(&called_from_program), &self));
    g_program_base = self.dli_fbase;
    void* warm[1];
    backtrace(warm, 1); // its first call loads the unwinder

    // Between the drawn frames, update-only frames 50 ms apart age the
    // scenes' remembered cues as the show's frames would.
    int32_t last = 0;
    auto run_frame_at = [&](int32_t t) {
        for (int32_t g = last + 50; g < t; g += 50) {
            set_show_time(g);
            demo.update_frame();
        }
        set_show_time(t);
        demo.run_frame();
        last = t;
    };
    std::string allocating;
    int counted = 0;
    for (const stretch& s : stretches) {
        run_frame_at(s.first + 1);
        for (int32_t t : s.counted) {
            g_allocations = 0;
            t_counting = true;
            run_frame_at(t);
            t_counting = false;
            ++counted;
            if (g_allocations)
                allocating += "scene " + std::to_string(s.scene) + " at " + std::to_string(t) + " ms: " +
                              std::to_string(g_allocations) + " allocations\n";
        }
    }
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ("", allocating) << "in " << counted << " frames";
    EXPECT_EQ(std::string::npos, log.find("## ERROR")) << log;
}
