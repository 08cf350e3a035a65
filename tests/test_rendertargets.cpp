#include "rendertargets/render_target.h"
#include "rendertargets/rendertarget_manager.h"

#include "core/gl_ext.h"
#include "support/gl_context.h"
#include "support/gl_state.h"

#include <gtest/gtest.h>

#include <array>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

// Window size of the test context (cDisplay's fixed 1024 x 768).
const uint32_t W = 1024;
const uint32_t H = 768;

GLint bound_framebuffer() { return gl_integer(GL_FRAMEBUFFER_BINDING_EXT); }

std::array<GLint, 4> viewport()
{
    std::array<GLint, 4> v;
    glGetIntegerv(GL_VIEWPORT, v.data());
    return v;
}

// Drains GL errors so a test starts clean and can assert on its own.
void clear_gl_errors()
{
    while (glGetError() != GL_NO_ERROR) {
    }
}

const char* const k_half_depth_warning = "# performance-warning: allocated rendertarget runtime: RTT_HALF with depth\n";
const char* const k_quater_warning = "# performance-warning: allocated rendertarget runtime: RTT_QUATER\n";

// A fresh manager per test, its construction output kept; finish() returns
// the statistics it prints when destroyed.
class RenderTargetPool : public testing::Test
{
protected:
    void SetUp() override
    {
        REQUIRE_GL_CONTEXT();
        testing::internal::CaptureStdout();
        pool.reset(new cRenderTargetManager());
        construction = testing::internal::GetCapturedStdout();
    }
    std::string finish()
    {
        testing::internal::CaptureStdout();
        pool.reset();
        return testing::internal::GetCapturedStdout();
    }
    // count targets of one class borrowed at once.
    std::vector<cTmpRenderTarget> borrow(int count, RTT_SIZE size, bool depth = false)
    {
        std::vector<cTmpRenderTarget> loans;
        for (int i = 0; i < count; ++i)
            loans.push_back(pool->get_tmp_rt(size, depth));
        return loans;
    }

    std::unique_ptr<cRenderTargetManager> pool;
    std::string construction;
};

std::string statistics(int made, int max)
{
    return "# rrt-manager: number of tmp-rt allocated: " + std::to_string(made) +
           "\n# rtt-manager: maximum concurrently allocated RTs: " + std::to_string(max) + "\n";
}

} // namespace

TEST(RenderTarget, create_leaves_nothing_bound_and_end_inside_another_target_returns_to_the_window)
{
    REQUIRE_GL_CONTEXT();
    clear_gl_errors();
    testing::internal::CaptureStderr();
    cRenderTarget_fbo target(64, 32, true);
    target.create();
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_EQ(0, bound_framebuffer());
    EXPECT_EQ(0, gl_integer(GL_TEXTURE_BINDING_RECTANGLE_ARB));
    EXPECT_EQ(GL_NO_ERROR, glGetError());

    cRenderTarget_fbo outer(200, 100, false);
    cRenderTarget_fbo inner(50, 40, false);
    outer.create();
    inner.create();
    outer.begin();
    inner.begin();
    inner.end();
    EXPECT_EQ(200, viewport()[2]);
    EXPECT_EQ(100, viewport()[3]);
    EXPECT_EQ(0, bound_framebuffer());
    outer.end();
    EXPECT_EQ(static_cast<GLint>(W), viewport()[2]);
}

TEST(RenderTarget, begin_and_end_restore_viewport_and_draw_buffer_and_extent_is_its_size)
{
    REQUIRE_GL_CONTEXT();
    cRenderTarget_fbo target(400, 300, false);
    target.create();
    float w = 0, h = 0;
    target.get_tex_extent(&w, &h); // texels, whatever the window
    EXPECT_EQ(400.0f, w);
    EXPECT_EQ(300.0f, h);
    glViewport(10, 20, 300, 200);
    const GLint draw_buffer_before = gl_integer(GL_DRAW_BUFFER);

    target.begin();
    EXPECT_EQ((std::array<GLint, 4>{0, 0, 400, 300}), viewport());
    EXPECT_NE(0, bound_framebuffer());
    EXPECT_EQ(GL_COLOR_ATTACHMENT0_EXT, gl_integer(GL_DRAW_BUFFER));
    target.end();

    EXPECT_EQ((std::array<GLint, 4>{10, 20, 300, 200}), viewport());
    EXPECT_EQ(draw_buffer_before, gl_integer(GL_DRAW_BUFFER));
    EXPECT_EQ(0, bound_framebuffer());
    glViewport(0, 0, W, H);
}

TEST(RenderTarget, destructor_deletes_its_texture_and_an_incomplete_framebuffer_is_reported_with_its_size)
{
    REQUIRE_GL_CONTEXT();
    for (bool depth : {false, true}) {
        GLuint texture = 0;
        {
            cRenderTarget_fbo target(16, 16, depth);
            target.create();
            texture = target.get_texture_id();
            ASSERT_TRUE(glIsTexture(texture));
        }
        EXPECT_FALSE(glIsTexture(texture)) << "depth " << depth;
    }

    testing::internal::CaptureStderr();
    {
        cRenderTarget_fbo empty(0, 0, false);
        empty.create();
    }
    std::string err = testing::internal::GetCapturedStderr();
    clear_gl_errors();
    EXPECT_EQ(0u, err.find("## ERROR: cRenderTarget_fbo::create: framebuffer 0x0 is incomplete")) << err;
    EXPECT_EQ(0, bound_framebuffer());
}

TEST_F(RenderTargetPool, targets_have_the_window_size_divided_by_their_class)
{
    testing::internal::CaptureStdout();
    for (auto c : {std::make_pair(RTT_FULL, true), std::make_pair(RTT_HALF, false), std::make_pair(RTT_QUATER, true)}) {
        cTmpRenderTarget t = pool->get_tmp_rt(c.first, c.second); // pooled ones: no warning
        EXPECT_EQ(W / c.first, t->width) << c.first;
        EXPECT_EQ(H / c.first, t->height) << c.first;
        EXPECT_EQ(c.second, t->has_depth()) << c.first;
    }
    {
        cTmpRenderTarget twice = pool->get_tmp_rt(RTT_DOUBLE, false);
        EXPECT_EQ(2 * W, twice->width);
        EXPECT_EQ(2 * H, twice->height);
    }
    EXPECT_EQ("# performance-warning: allocated rendertarget runtime: RTT_DOUBLE\n",
              testing::internal::GetCapturedStdout());
    EXPECT_EQ(statistics(10, 9), finish());
}

TEST_F(RenderTargetPool, a_third_half_target_with_depth_and_a_fourth_quater_target_at_once_are_new_and_warned_about)
{
    testing::internal::CaptureStdout();
    std::vector<cTmpRenderTarget> loans = borrow(2, RTT_HALF, true);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    testing::internal::CaptureStdout();
    loans.push_back(pool->get_tmp_rt(RTT_HALF, true));
    EXPECT_EQ(k_half_depth_warning, testing::internal::GetCapturedStdout());
    EXPECT_EQ(W / 2, loans[2]->width);
    EXPECT_EQ(3u, pool->get_outstanding());
    loans.clear();

    testing::internal::CaptureStdout();
    borrow(3, RTT_QUATER);
    {
        std::vector<cTmpRenderTarget> loans = borrow(3, RTT_QUATER);
        EXPECT_EQ("", testing::internal::GetCapturedStdout());
        testing::internal::CaptureStdout();
        loans.push_back(pool->get_tmp_rt(RTT_QUATER, false));
        EXPECT_EQ(k_quater_warning, testing::internal::GetCapturedStdout());
    }
    EXPECT_EQ(0u, pool->get_outstanding());
    // The run-time target stays pooled: the fourth request is served now.
    testing::internal::CaptureStdout();
    borrow(4, RTT_QUATER);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ(statistics(11, 9), finish());
}

TEST_F(RenderTargetPool, given_back_targets_are_reused_in_the_order_they_came_back_and_moving_a_handle_moves_the_loan)
{
    cRenderTarget_fbo* first = pool->get_tmp_rt(RTT_QUATER, false).get(); // given back at once
    std::vector<cTmpRenderTarget> loans = borrow(3, RTT_QUATER);
    EXPECT_NE(first, loans[0].get());
    EXPECT_NE(first, loans[1].get());
    EXPECT_EQ(first, loans[2].get());
    loans.clear();

    cTmpRenderTarget a = pool->get_tmp_rt(RTT_HALF, false);
    cRenderTarget_fbo* target = a.get();
    {
        cTmpRenderTarget b(std::move(a));
        EXPECT_TRUE(a.empty());
        EXPECT_EQ(target, b.get());
        a.reset(); // an empty handle gives nothing back
        EXPECT_EQ(1u, pool->get_outstanding());
    }
    EXPECT_EQ(0u, pool->get_outstanding());

    cTmpRenderTarget c = pool->get_tmp_rt(RTT_HALF, false);
    cTmpRenderTarget d = pool->get_tmp_rt(RTT_HALF, false);
    c = std::move(d); // gives back c's target first
    EXPECT_EQ(1u, pool->get_outstanding());
    EXPECT_TRUE(d.empty());
    c.reset();
    EXPECT_EQ(0u, pool->get_outstanding());
    EXPECT_EQ(statistics(9, 9), finish());
}

TEST_F(RenderTargetPool, classes_without_a_size_are_refused_and_a_run_that_never_borrows_reports_9_and_9)
{
    EXPECT_EQ("", construction) << "pre-allocation must not warn";
    EXPECT_EQ(9u, pool->get_max_outstanding());
    for (int32_t size : {0, -2, -4}) {
        testing::internal::CaptureStderr();
        cTmpRenderTarget none = pool->get_tmp_rt(static_cast<RTT_SIZE>(size), false);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(none.empty());
        EXPECT_EQ(0u, err.find("## ERROR: cRenderTargetManager::get_tmp_rt: size class " + std::to_string(size)))
            << err;
        EXPECT_EQ(0u, pool->get_outstanding());
    }
    EXPECT_EQ(statistics(9, 9), finish());
}

TEST(RenderTargetManager, size_names_cover_the_table_and_the_global_manager_is_made_once_and_remade_after_destruction)
{
    REQUIRE_GL_CONTEXT();
    const char* const names[] = {"OOOPS", "RTT_DOUBLE", "RTT_NONE", "RTT_FULL", "RTT_HALF", "OOOPS", "RTT_QUATER"};
    for (int size = -2; size <= 4; ++size)
        EXPECT_EQ(names[size + 2], size_name(size)) << size;

    testing::internal::CaptureStdout();
    cRenderTargetManager* first = get_rendertarget_manager();
    EXPECT_EQ(first, get_rendertarget_manager());
    destroy_rendertarget_manager();
    EXPECT_EQ(statistics(9, 9), testing::internal::GetCapturedStdout());
    destroy_rendertarget_manager(); // safe without a manager
    testing::internal::CaptureStdout();
    EXPECT_NE(nullptr, get_rendertarget_manager());
    destroy_rendertarget_manager();
    testing::internal::GetCapturedStdout();
}

namespace {

// Keeps a loan past destroy_rendertarget_manager (and, with remake, past the
// making of a new manager, which may reuse the old one's address), then
// gives it back.
void give_back_after_destroy(bool remake)
{
    cTmpRenderTarget kept = get_rendertarget_manager()->get_tmp_rt(RTT_HALF, false);
    destroy_rendertarget_manager();
    if (remake)
        get_rendertarget_manager();
    kept.reset();
    std::cerr << "given back into a destroyed manager" << std::endl;
}

} // namespace

TEST(RenderTargetManager, a_handle_given_back_after_its_manager_was_destroyed_is_caught)
{
    REQUIRE_GL_CONTEXT();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (bool remake : {false, true})
        EXPECT_DEATH(give_back_after_destroy(remake),
                     "## ERROR: cTmpRenderTarget::reset: a RTT_HALF target is given back after its render target "
                     "manager was destroyed\n")
            << (remake ? "with a new manager made" : "without a manager");
}
