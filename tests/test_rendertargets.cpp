#include "rendertargets/render_target.h"
#include "rendertargets/rendertarget_manager.h"

#include "core/gl_ext.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>

namespace {

// Window size of the test context (cDisplay's fixed 1024 x 768).
const uint32_t W = 1024;
const uint32_t H = 768;

GLint bound_framebuffer()
{
    GLint fb = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &fb);
    return fb;
}

// Drains GL errors so a test starts clean and can assert on its own.
void clear_gl_errors()
{
    while (glGetError() != GL_NO_ERROR) {
    }
}

const char* const k_half_depth_warning = "# performance-warning: allocated rendertarget runtime: RTT_HALF with depth\n";
const char* const k_quater_warning = "# performance-warning: allocated rendertarget runtime: RTT_QUATER\n";

// A manager whose construction output is swallowed, for tests about later
// requests; the statistics at destruction are returned by finish().
struct Pool
{
    std::unique_ptr<cRenderTargetManager> manager;
    Pool()
    {
        testing::internal::CaptureStdout();
        manager.reset(new cRenderTargetManager());
        testing::internal::GetCapturedStdout();
    }
    std::string finish()
    {
        testing::internal::CaptureStdout();
        manager.reset();
        return testing::internal::GetCapturedStdout();
    }
};

std::string statistics(int made, int max)
{
    return "# rrt-manager: number of tmp-rt allocated: " + std::to_string(made) +
           "\n# rtt-manager: maximum concurrently allocated RTs: " + std::to_string(max) + "\n";
}

} // namespace

// --- a single target -----------------------------------------------------------

TEST(RenderTarget, reports_its_size_as_texture_extent_whatever_the_window)
{
    REQUIRE_GL_CONTEXT();
    cRenderTarget_fbo target(400, 300, false);
    target.create();
    float w = 0, h = 0;
    target.get_tex_extent(&w, &h);
    EXPECT_EQ(400.0f, w);
    EXPECT_EQ(300.0f, h);
}

TEST(RenderTarget, create_leaves_nothing_bound_and_draws_into_its_own_texture)
{
    REQUIRE_GL_CONTEXT();
    clear_gl_errors();
    testing::internal::CaptureStderr();
    cRenderTarget_fbo target(64, 32, true);
    target.create();
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_EQ(0, bound_framebuffer());
    GLint texture = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE_ARB, &texture);
    EXPECT_EQ(0, texture);

    target.begin();
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    unsigned char pixel[4] = {0, 0, 0, 0};
    glReadPixels(63, 31, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    target.end();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(255, pixel[0]);
    EXPECT_EQ(0, pixel[1]);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST(RenderTarget, begin_and_end_restore_viewport_and_draw_buffer)
{
    REQUIRE_GL_CONTEXT();
    cRenderTarget_fbo target(400, 300, false);
    target.create();
    glViewport(10, 20, 300, 200);
    GLint draw_buffer_before = 0;
    glGetIntegerv(GL_DRAW_BUFFER, &draw_buffer_before);

    target.begin();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(0, viewport[0]);
    EXPECT_EQ(0, viewport[1]);
    EXPECT_EQ(400, viewport[2]);
    EXPECT_EQ(300, viewport[3]);
    EXPECT_NE(0, bound_framebuffer());
    GLint draw_buffer = 0;
    glGetIntegerv(GL_DRAW_BUFFER, &draw_buffer);
    EXPECT_EQ(GL_COLOR_ATTACHMENT0_EXT, draw_buffer);
    target.end();

    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(10, viewport[0]);
    EXPECT_EQ(20, viewport[1]);
    EXPECT_EQ(300, viewport[2]);
    EXPECT_EQ(200, viewport[3]);
    glGetIntegerv(GL_DRAW_BUFFER, &draw_buffer);
    EXPECT_EQ(draw_buffer_before, draw_buffer);
    EXPECT_EQ(0, bound_framebuffer());
    glViewport(0, 0, W, H);
}

TEST(RenderTarget, end_inside_another_target_returns_to_the_window_with_the_outer_viewport)
{
    REQUIRE_GL_CONTEXT();
    cRenderTarget_fbo outer(200, 100, false);
    cRenderTarget_fbo inner(50, 40, false);
    outer.create();
    inner.create();
    outer.begin();
    inner.begin();
    inner.end();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(200, viewport[2]);
    EXPECT_EQ(100, viewport[3]);
    EXPECT_EQ(0, bound_framebuffer());
    outer.end();
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(static_cast<GLint>(W), viewport[2]);
}

TEST(RenderTarget, destructor_deletes_its_texture_with_or_without_depth)
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
}

TEST(RenderTarget, an_incomplete_framebuffer_is_reported_with_its_size)
{
    REQUIRE_GL_CONTEXT();
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

// --- the pool --------------------------------------------------------------------

TEST(RenderTargetPool, a_run_that_never_borrows_reports_9_and_9)
{
    REQUIRE_GL_CONTEXT();
    testing::internal::CaptureStdout();
    cRenderTargetManager* manager = new cRenderTargetManager();
    std::string construction = testing::internal::GetCapturedStdout();
    EXPECT_EQ("", construction) << "pre-allocation must not warn";
    EXPECT_EQ(0u, manager->get_outstanding());
    EXPECT_EQ(9u, manager->get_max_outstanding());
    testing::internal::CaptureStdout();
    delete manager;
    EXPECT_EQ(statistics(9, 9), testing::internal::GetCapturedStdout());
}

TEST(RenderTargetPool, targets_have_the_window_size_divided_by_their_class)
{
    REQUIRE_GL_CONTEXT();
    Pool pool;
    {
        cTmpRenderTarget full = pool.manager->get_tmp_rt(RTT_FULL, true);
        cTmpRenderTarget half = pool.manager->get_tmp_rt(RTT_HALF, false);
        cTmpRenderTarget quater = pool.manager->get_tmp_rt(RTT_QUATER, true);
        EXPECT_EQ(W, full->width);
        EXPECT_EQ(H, full->height);
        EXPECT_EQ(W / 2, half->width);
        EXPECT_EQ(H / 2, half->height);
        EXPECT_EQ(W / 4, quater->width);
        EXPECT_EQ(H / 4, quater->height);
        EXPECT_TRUE(full->has_depth());
        EXPECT_FALSE(half->has_depth());
    }
    testing::internal::CaptureStdout();
    {
        cTmpRenderTarget twice = pool.manager->get_tmp_rt(RTT_DOUBLE, false);
        EXPECT_EQ(2 * W, twice->width);
        EXPECT_EQ(2 * H, twice->height);
    }
    EXPECT_EQ("# performance-warning: allocated rendertarget runtime: RTT_DOUBLE\n",
              testing::internal::GetCapturedStdout());
    EXPECT_EQ(statistics(10, 9), pool.finish());
}

TEST(RenderTargetPool, a_third_half_target_with_depth_is_new_and_warned_about)
{
    REQUIRE_GL_CONTEXT();
    Pool pool;
    testing::internal::CaptureStdout();
    cTmpRenderTarget a = pool.manager->get_tmp_rt(RTT_HALF, true);
    cTmpRenderTarget b = pool.manager->get_tmp_rt(RTT_HALF, true);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    testing::internal::CaptureStdout();
    cTmpRenderTarget c = pool.manager->get_tmp_rt(RTT_HALF, true);
    EXPECT_EQ(k_half_depth_warning, testing::internal::GetCapturedStdout());
    EXPECT_EQ(W / 2, c->width);
    EXPECT_EQ(3u, pool.manager->get_outstanding());
    a.reset();
    b.reset();
    c.reset();
    EXPECT_EQ(statistics(10, 9), pool.finish());
}

TEST(RenderTargetPool, only_a_fourth_quater_target_at_once_is_warned_about)
{
    REQUIRE_GL_CONTEXT();
    Pool pool;
    testing::internal::CaptureStdout();
    {
        cTmpRenderTarget a = pool.manager->get_tmp_rt(RTT_QUATER, false);
        cTmpRenderTarget b = pool.manager->get_tmp_rt(RTT_QUATER, false);
        cTmpRenderTarget c = pool.manager->get_tmp_rt(RTT_QUATER, false);
    }
    {
        cTmpRenderTarget a = pool.manager->get_tmp_rt(RTT_QUATER, false);
        cTmpRenderTarget b = pool.manager->get_tmp_rt(RTT_QUATER, false);
        cTmpRenderTarget c = pool.manager->get_tmp_rt(RTT_QUATER, false);
        EXPECT_EQ("", testing::internal::GetCapturedStdout());
        testing::internal::CaptureStdout();
        cTmpRenderTarget d = pool.manager->get_tmp_rt(RTT_QUATER, false);
        EXPECT_EQ(k_quater_warning, testing::internal::GetCapturedStdout());
    }
    EXPECT_EQ(0u, pool.manager->get_outstanding());
    // The run-time target stays pooled: the fourth request is served now.
    testing::internal::CaptureStdout();
    {
        cTmpRenderTarget a = pool.manager->get_tmp_rt(RTT_QUATER, false);
        cTmpRenderTarget b = pool.manager->get_tmp_rt(RTT_QUATER, false);
        cTmpRenderTarget c = pool.manager->get_tmp_rt(RTT_QUATER, false);
        cTmpRenderTarget d = pool.manager->get_tmp_rt(RTT_QUATER, false);
    }
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ(statistics(10, 9), pool.finish());
}

TEST(RenderTargetPool, given_back_targets_are_reused_in_the_order_they_came_back)
{
    REQUIRE_GL_CONTEXT();
    Pool pool;
    cRenderTarget_fbo* first = nullptr;
    {
        cTmpRenderTarget a = pool.manager->get_tmp_rt(RTT_QUATER, false);
        first = a.get();
    }
    cTmpRenderTarget b = pool.manager->get_tmp_rt(RTT_QUATER, false);
    cTmpRenderTarget c = pool.manager->get_tmp_rt(RTT_QUATER, false);
    EXPECT_NE(first, b.get());
    EXPECT_NE(first, c.get());
    cTmpRenderTarget d = pool.manager->get_tmp_rt(RTT_QUATER, false);
    EXPECT_EQ(first, d.get());
    b.reset();
    c.reset();
    d.reset();
    EXPECT_EQ(statistics(9, 9), pool.finish());
}

TEST(RenderTargetPool, moving_a_handle_moves_the_loan)
{
    REQUIRE_GL_CONTEXT();
    Pool pool;
    cTmpRenderTarget a = pool.manager->get_tmp_rt(RTT_HALF, false);
    cRenderTarget_fbo* target = a.get();
    {
        cTmpRenderTarget b(std::move(a));
        EXPECT_TRUE(a.empty());
        EXPECT_EQ(target, b.get());
        a.reset(); // an empty handle gives nothing back
        EXPECT_EQ(1u, pool.manager->get_outstanding());
    }
    EXPECT_EQ(0u, pool.manager->get_outstanding());

    cTmpRenderTarget c = pool.manager->get_tmp_rt(RTT_HALF, false);
    cTmpRenderTarget d = pool.manager->get_tmp_rt(RTT_HALF, false);
    EXPECT_EQ(2u, pool.manager->get_outstanding());
    c = std::move(d); // gives back c's target first
    EXPECT_EQ(1u, pool.manager->get_outstanding());
    EXPECT_TRUE(d.empty());
    c.reset();
    EXPECT_EQ(0u, pool.manager->get_outstanding());
    EXPECT_EQ(statistics(9, 9), pool.finish());
}

TEST(RenderTargetPool, classes_without_a_size_are_refused_with_an_empty_handle)
{
    REQUIRE_GL_CONTEXT();
    Pool pool;
    for (int32_t size : {0, -2, -4}) {
        testing::internal::CaptureStderr();
        cTmpRenderTarget none = pool.manager->get_tmp_rt(static_cast<RTT_SIZE>(size), false);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(none.empty());
        EXPECT_EQ(0u, err.find("## ERROR: cRenderTargetManager::get_tmp_rt: size class " + std::to_string(size)))
            << err;
        EXPECT_EQ(0u, pool.manager->get_outstanding());
    }
    EXPECT_EQ(statistics(9, 9), pool.finish());
}

TEST(RenderTargetPool, size_names_cover_the_table_and_nothing_else)
{
    EXPECT_EQ("RTT_DOUBLE", size_name(-1));
    EXPECT_EQ("RTT_NONE", size_name(0));
    EXPECT_EQ("RTT_FULL", size_name(1));
    EXPECT_EQ("RTT_HALF", size_name(2));
    EXPECT_EQ("RTT_QUATER", size_name(4));
    EXPECT_EQ("OOOPS", size_name(3));
    EXPECT_EQ("OOOPS", size_name(-2));
}

TEST(RenderTargetPool, the_global_manager_is_made_once_and_remade_after_destruction)
{
    REQUIRE_GL_CONTEXT();
    testing::internal::CaptureStdout();
    cRenderTargetManager* first = get_rendertarget_manager();
    EXPECT_EQ(first, get_rendertarget_manager());
    destroy_rendertarget_manager();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(statistics(9, 9), out);
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

TEST(RenderTargetPool, a_handle_given_back_after_its_manager_was_destroyed_is_caught)
{
    REQUIRE_GL_CONTEXT();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (bool remake : {false, true})
        EXPECT_DEATH(give_back_after_destroy(remake),
                     "## ERROR: cTmpRenderTarget::reset: a RTT_HALF target is given back after its render target "
                     "manager was destroyed\n")
            << (remake ? "with a new manager made" : "without a manager");
}
