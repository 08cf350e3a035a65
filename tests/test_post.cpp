#include "post/post.h"

#include "core/gl_ext.h"
#include "core/resource_path.h"
#include "rendertargets/rendertarget_manager.h"
#include "shaders/cShaderContainer_CG.h"
#include "support/gl_context.h"
#include "support/gl_state.h"
#include "support/images.h"
#include "support/scene_capture.h"
#include "support/show_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Fills the rectangle (x, y, w, h) of target with grey level v, the rest
// with black unless keep is set.
void paint(cRenderTarget_fbo& target, int x, int y, int w, int h, float v, bool keep = false)
{
    target.begin();
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
    glClearColor(0, 0, 0, 1);
    if (!keep)
        glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, w, h);
    glClearColor(v, v, v, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
    target.end();
}

void created(std::initializer_list<cRenderTarget_fbo*> targets)
{
    for (cRenderTarget_fbo* t : targets)
        t->create();
}

int red_at(const std::vector<unsigned char>& p, const cRenderTarget_fbo& t, int x, int y)
{
    return p[(y * t.width + x) * 4];
}

// Mean red of the quadrant (qx, qy), 0 or 1 each, 1 = right or top.
double quadrant_mean(const std::vector<unsigned char>& p, const cRenderTarget_fbo& t, int qx, int qy)
{
    const int w = t.width / 2, h = t.height / 2;
    double sum = 0;
    for (int y = qy * h; y < (qy + 1) * h; ++y)
        for (int x = qx * w; x < (qx + 1) * w; ++x)
            sum += red_at(p, t, x, y);
    return sum / (w * h);
}

class Post : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!gl_test_context())
            return;
        get_resource_path()->push_searchpath(source_dir() + "/src/shaders");
        testing::internal::CaptureStdout();
        get_shader_container()->init();
        testing::internal::GetCapturedStdout();
        glow.init();
        blend_pass.init();
        blur_pass.init();
    }
    static void TearDownTestSuite()
    {
        testing::internal::CaptureStdout();
        destroy_rendertarget_manager();
        testing::internal::GetCapturedStdout();
    }

    void SetUp() override
    {
        REQUIRE_GL_CONTEXT();
        // A fresh pool per test, so counts start from the nine.
        testing::internal::CaptureStdout();
        destroy_rendertarget_manager();
        manager = get_rendertarget_manager();
        testing::internal::GetCapturedStdout();
        while (glGetError() != GL_NO_ERROR) {
        }
        get_shader_container()->unbind();
    }

    void TearDown() override
    {
        get_shader_container()->unbind();
        EXPECT_EQ(GL_NO_ERROR, glGetError());
    }

    static cPostGlow glow;
    static cPostBlend blend_pass;
    static cPostBlur blur_pass;
    cRenderTargetManager* manager = nullptr;
};

cPostGlow Post::glow;
cPostBlend Post::blend_pass;
cPostBlur Post::blur_pass;

} // namespace

TEST_F(Post, blur_in_place_or_into_another_target_blurs_without_turning_or_mirroring_and_returns_its_temporary)
{
    cTmpRenderTarget t = manager->get_tmp_rt(RTT_QUATER, false);
    const int w = t->width, h = t->height; // 256 x 192
    // A bright block in the top-right corner, wider than high.
    paint(*t, w - 80, h - 40, 80, 40, 1.0f);
    const uint32_t outstanding = manager->get_outstanding();
    const uint32_t pooled = manager->pooled_count();

    testing::internal::CaptureStdout();
    blur_pass.blur(*t, *t);
    EXPECT_EQ("", testing::internal::GetCapturedStdout()) << "no target made";
    EXPECT_EQ(outstanding, manager->get_outstanding());
    EXPECT_EQ(pooled, manager->pooled_count());

    std::vector<unsigned char> p = read_target(*t);
    EXPECT_GT(quadrant_mean(p, *t, 1, 1), 60.0);
    for (int q : {0, 1, 2}) // the other three quadrants stay black
        EXPECT_EQ(0.0, quadrant_mean(p, *t, q & 1, q >> 1)) << q;
    EXPECT_GT(red_at(p, *t, w - 10, h - 10), 240) << "inside the block";
    // Across both edges of the block the step is softened.
    for (int edge : {red_at(p, *t, w - 81, h - 10), red_at(p, *t, w - 10, h - 41)}) {
        EXPECT_GT(edge, 20);
        EXPECT_LT(edge, 200);
    }
    EXPECT_EQ(0, red_at(p, *t, w - 100, h - 10)) << "bounded kernel";

    // Into another target, the source stays as it was: the block's middle
    // (50, 25) of 512 x 384 lands at (25, 12) of 256 x 192.
    cTmpRenderTarget src = manager->get_tmp_rt(RTT_HALF, false);
    paint(*src, 0, 0, 100, 50, 1.0f); // bottom-left
    blur_pass.blur(*src, *t);
    std::vector<unsigned char> s = read_target(*src);
    p = read_target(*t);
    EXPECT_EQ(255, red_at(s, *src, 99, 49));
    EXPECT_EQ(0, red_at(s, *src, 100, 49));
    EXPECT_GT(red_at(p, *t, 25, 12), 200);
    EXPECT_EQ(0.0, quadrant_mean(p, *t, 1, 1));
}

// The targets clamp their reads to a transparent black border (GL_CLAMP), so
// a blur of white darkens along the edges and most in the corners: the same
// levels whether the blur reads through the border or emulates it (see the
// blur's shader), down to the pair reads' own weighting at the edge.
TEST_F(Post, blur_of_white_darkens_towards_the_edges_as_the_targets_border_does)
{
    cTmpRenderTarget t = manager->get_tmp_rt(RTT_QUATER, false);
    const int w = t->width, h = t->height;
    paint(*t, 0, 0, w, h, 1.0f);
    blur_pass.blur(*t, *t);
    std::vector<unsigned char> p = read_target(*t);
    // Levels read off the border's own path (GL_CLAMP on the target).
    EXPECT_NEAR(113, red_at(p, *t, 0, 0), 1) << "corner";
    EXPECT_NEAR(113, red_at(p, *t, w - 1, h - 1), 1) << "opposite corner";
    EXPECT_NEAR(163, red_at(p, *t, 0, h / 2), 1) << "left edge";
    EXPECT_NEAR(177, red_at(p, *t, w / 2, h - 1), 1) << "top edge";
    EXPECT_NEAR(213, red_at(p, *t, 1, h / 2), 1) << "a texel in";
    EXPECT_NEAR(240, red_at(p, *t, 3, h / 2), 1) << "three texels in";
    EXPECT_EQ(255, red_at(p, *t, w / 2, h / 2)) << "the middle";
}

TEST_F(Post, levels_keeps_white_drops_mid_grey_upright_and_color_dodge_draws_into_the_current_target)
{
    cRenderTarget_fbo src(64, 48, false), dst(32, 24, false);
    created({&src, &dst});
    paint(src, 48, 36, 16, 12, 1.0f);       // white, top right
    paint(src, 0, 0, 16, 12, 0.5f, true);   // mid grey, bottom left

    cPostLevels levels;
    levels.levels(src, dst);
    std::vector<unsigned char> p = read_target(dst);
    EXPECT_EQ(255, red_at(p, dst, 28, 21));
    EXPECT_EQ(0, red_at(p, dst, 3, 3));
    EXPECT_EQ(0, red_at(p, dst, 3, 21));

    cRenderTarget_fbo a(16, 8, false), b(16, 8, false), out(16, 8, false);
    created({&a, &b, &out});
    paint(a, 0, 0, 16, 8, 0.25f);
    paint(b, 8, 0, 8, 8, 0.5f); // right half
    cPostColorDodge dodge;
    glActiveTextureARB(GL_TEXTURE1);
    out.begin();
    dodge.color_dodge(a, b);
    out.end();
    EXPECT_EQ(GL_TEXTURE0, GlState::now().active_unit);
    p = read_target(out);
    EXPECT_NEAR(64, red_at(p, out, 2, 4), 2) << "dodged by black: unchanged";
    EXPECT_NEAR(128, red_at(p, out, 13, 4), 3) << "0.25 / (1 - 0.5)";
}

TEST_F(Post, glow_borrows_two_quarter_targets_at_once_and_blend_modes_pick_their_shaders)
{
    cTmpRenderTarget src = manager->get_tmp_rt(RTT_FULL, true);
    paint(*src, 0, 0, 200, 100, 1.0f);
    // The pool holds three quarter targets without depth: with one lent out,
    // the glow's two fit.
    cTmpRenderTarget held = manager->get_tmp_rt(RTT_QUATER, false);
    testing::internal::CaptureStdout();
    glow.glow(*src);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ(2u, manager->get_outstanding());
    EXPECT_EQ(9u, manager->pooled_count() + manager->get_outstanding());
    // With two lent out, the glow's second one has to be made.
    cTmpRenderTarget held2 = manager->get_tmp_rt(RTT_QUATER, false);
    testing::internal::CaptureStdout();
    glow.glow(*src);
    EXPECT_EQ("# performance-warning: allocated rendertarget runtime: RTT_QUATER\n",
              testing::internal::GetCapturedStdout());

    cRenderTarget_fbo a(8, 4, false), b(8, 4, false), dst(8, 4, false);
    created({&a, &b, &dst});
    paint(a, 0, 0, 8, 4, 0.25f);
    paint(b, 0, 0, 4, 4, 0.5f); // left half
    struct
    {
        int mode;
        int left, right;
    } cases[] = {{POST_BLEND_LINEAR, 96, 32}, {POST_BLEND_ADDITIVE, 191, 64}, {POST_BLEND_COLOR_DODGE, 128, 64}};
    for (const auto& c : cases) {
        blend_pass.blend(c.mode, a, b, dst);
        std::vector<unsigned char> p = read_target(dst);
        EXPECT_NEAR(c.left, red_at(p, dst, 1, 1), 3) << "mode " << c.mode;
        EXPECT_NEAR(c.right, red_at(p, dst, 6, 1), 3) << "mode " << c.mode;
        EXPECT_EQ("null_shader", get_shader_container()->current_shader);
    }

    get_shader_container()->bind("additive");
    blend_pass.blend(0, a, b, dst);
    EXPECT_EQ("additive", get_shader_container()->current_shader);
    std::vector<unsigned char> p = read_target(dst);
    EXPECT_NEAR(191, red_at(p, dst, 1, 1), 3) << "drawn with the shader bound before";
}

// The glow's picture, worked out by hand for a 0.6 grey (153) frame with a
// white 128-pixel square in its middle. Levels: the grey becomes
// ((0.6 - 0.55) / 0.4)^1.5 = 0.044 (11), the square stays 1; the blur keeps
// a flat field flat (its weights sum to 1). Dodge: far from the square
// 0.6 / (1 - 11/255) = 0.627 (160); the square 1 / (1 - glow) >= 1, white; just
// outside it the blurred edge is about half white, 0.6 / 0.5 > 1, white. The
// three blurs of sigma 2.5 quarter-size texels blur an edge by about
// 2.5 * sqrt(3) * 4 = 17 pixels: 20 pixels out the glow is about
// 0.12 + 0.044 (0.6 / 0.84 = 0.71, 182), and past the blurs' reach (15
// texels, 60 pixels) 160 again. Every pixel is grey: the window's blue does
// not show.
TEST_F(Post, glow_lights_a_white_square_with_a_halo_and_lifts_grey_as_levels_and_dodge_give_it)
{
    cTmpRenderTarget src = manager->get_tmp_rt(RTT_FULL, true);
    ASSERT_EQ(1024u, src->width);
    ASSERT_EQ(768u, src->height);
    paint(*src, 0, 0, 1024, 768, 0.6f);
    paint(*src, 448, 320, 128, 128, 1.0f, true);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    glow.glow(*src);
    const std::vector<uint8_t> p = read_window(4);

    std::size_t coloured = 0, darkened = 0;
    for (std::size_t i = 0; i < p.size(); i += 4) {
        coloured += p[i] != p[i + 1] || p[i] != p[i + 2] ? 1 : 0;
        darkened += p[i] < 153 ? 1 : 0;
    }
    EXPECT_EQ(0u, coloured) << "pixels not grey";
    EXPECT_EQ(0u, darkened) << "pixels below the image's own grey";
    auto at = [&](int x, int y) { return int(p[(std::size_t(y) * 1024 + std::size_t(x)) * 4]); };
    for (int x : {100, 300, 700, 900})
        EXPECT_NEAR(160, at(x, 120), 1) << "far from the square, x " << x;
    EXPECT_NEAR(160, at(512, 640), 1) << "above the square";
    EXPECT_EQ(255, at(512, 384)) << "the square";
    EXPECT_EQ(255, at(577, 384)) << "just right of the square";
    EXPECT_EQ(255, at(512, 318)) << "just below the square";
    // The halo: brightest at the square, falling off outwards to the far grey.
    for (int x = 578; x < 700; ++x)
        EXPECT_LE(at(x, 384), at(x - 1, 384)) << x;
    EXPECT_GT(at(596, 384), 170) << "halo 20 pixels out, about 182";
    EXPECT_LT(at(596, 384), 250);
    EXPECT_NEAR(160, at(640, 384), 1) << "past the blurs' reach";
}

TEST_F(Post, every_pass_gives_back_shader_enables_colour_depth_mask_and_matrices)
{
    cTmpRenderTarget full = manager->get_tmp_rt(RTT_FULL, true);
    cTmpRenderTarget quarter = manager->get_tmp_rt(RTT_QUATER, false);
    cTmpRenderTarget other = manager->get_tmp_rt(RTT_QUATER, false);
    cPostLevels levels;
    cPostColorDodge dodge;
    testing::internal::CaptureStdout(); // the glow needs a fourth quarter target here

    struct Setting
    {
        const char* shader;
        bool on;
        GLboolean depth_mask;
    };
    for (Setting setting : {Setting{"null_shader", true, GL_FALSE}, Setting{"lin_blend", false, GL_TRUE}}) {
        get_shader_container()->bind(setting.shader);
        glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_DEPTH_BUFFER_BIT);
        for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_BLEND, GL_CULL_FACE})
            setting.on ? glEnable(cap) : glDisable(cap);
        glDepthMask(setting.depth_mask);
        glColor4f(0.3f, 0.4f, 0.5f, 0.6f);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glFrustum(-1, 1, -1, 1, 1, 10);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glTranslatef(1, 2, 3);
        glActiveTextureARB(GL_TEXTURE0);

        // The passes leave their targets' textures bound (and disabled):
        // every user of a texture binds its own, so bindings are not compared.
        const GlState before = GlState::now();
        // The two-image quad leaves depth writes on, so the frame after a
        // glow or blend can clear its depth buffer.
        GlState quad2_before = before;
        quad2_before.depth_mask = GL_TRUE;
        levels.levels(*full, *quarter);
        GlState::now().expect_same(before, "levels", false);
        blur_pass.blur(*quarter, *quarter);
        GlState::now().expect_same(before, "blur", false);
        dodge.color_dodge(*full, *quarter);
        GlState::now().expect_same(quad2_before, "color_dodge", false);
        full->bind(); // read texel for texel, then linear again for the passes that stretch it
        GLint filter = 0;
        glGetTexParameteriv(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, &filter);
        EXPECT_EQ(GL_LINEAR, filter);
        glow.glow(*full);
        GlState::now().expect_same(quad2_before, "glow", false);
        for (int mode : {0, 1, 2, 3}) {
            blend_pass.blend(mode, *quarter, *other, *full);
            GlState::now().expect_same(quad2_before, "blend " + std::to_string(mode), false);
        }
        if (setting.shader == std::string("null_shader")) { // the copy draws with no shader bound
            copy_exact(*quarter);
            GlState::now().expect_same(quad2_before, "copy_exact", false);
            copy_exact_modulated(*full, *quarter);
            GlState::now().expect_same(quad2_before, "copy_exact_modulated", false);
        }

        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glPopAttrib();
    }
    testing::internal::GetCapturedStdout();
}

TEST_F(Post, copy_exact_puts_every_texel_on_the_pixel_under_it_keeps_the_targets_filter_and_can_multiply_it)
{
    cTmpRenderTarget quarter = manager->get_tmp_rt(RTT_QUATER, false);
    const int w = int(quarter->width), h = int(quarter->height);
    const std::vector<uint8_t> picture = coordinate_picture(w, h);
    quarter->bind();
    glTexSubImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, 0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, picture.data());
    quarter->unbind(); // so that no attribute pop brings the filter back
    OffscreenTarget out(w, h);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND); // not used by the copy
    copy_exact(*quarter);
    glDisable(GL_BLEND);
    const std::vector<uint8_t> copied = out.read();
    int wrong = 0;
    for (int i = 0; i < w * h; ++i)
        for (int c = 0; c < 3; ++c)
            wrong += copied[4 * i + c] != picture[3 * i + c];
    EXPECT_EQ(0, wrong);
    quarter->bind();
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, &filter);
    EXPECT_EQ(GL_LINEAR, filter);
    quarter->unbind();

    // Multiplied by a smaller image stretched over the viewport: a half-size
    // picture of 200 under a quarter-size one, white on its left half and
    // grey 128 on its right, comes out 200 on the left and 100 on the right.
    cTmpRenderTarget half = manager->get_tmp_rt(RTT_HALF, false), mask = manager->get_tmp_rt(RTT_QUATER, false);
    const int hw = int(half->width), hh = int(half->height);
    half->begin();
    glClearColor(200.0f / 255.0f, 200.0f / 255.0f, 200.0f / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    half->end();
    mask->begin();
    glClearColor(128.0f / 255.0f, 128.0f / 255.0f, 128.0f / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, GLsizei(mask->width / 2), GLsizei(mask->height));
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    mask->end();
    OffscreenTarget modulated(hw, hh);
    copy_exact_modulated(*half, *mask);
    const std::vector<uint8_t> darkened = modulated.read();
    // (Away from the edges, where the targets' clamp mode blends in the border.)
    int off = 0;
    for (int y = 8; y < hh - 8; ++y)
        for (int x : {8, hw / 2 - 8, hw / 2 + 8, hw - 8})
            off += std::abs(int(darkened[4 * (std::size_t(y) * std::size_t(hw) + std::size_t(x))]) -
                            (x < hw / 2 ? 200 : 100)) > 1;
    EXPECT_EQ(0, off);
}

// A broken GL must not pass as skipped tests: with a display named where no
// server answers, a test that needs GL fails; with none named, it skips.
TEST(GlContext, a_display_without_a_context_fails_gl_tests_and_no_display_at_all_skips_them)
{
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string run = std::string(self) + " --gtest_filter=Post.levels_keeps_white* >/dev/null 2>&1";
    EXPECT_NE(0, std::system(("DISPLAY=:4093 " + run).c_str()));
    EXPECT_EQ(0, std::system(("env -u DISPLAY " + run).c_str()));
}
