#include "particles/particle_renderer.h"
#include "particles/particle_system.h"

#include "core/gl_ext.h"
#include "platform/platform.h"
#include "support/gl_context.h"
#include "support/images.h"
#include "support/particles.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

const float k_no_gravity[3] = {0.0f, 0.0f, 0.0f};

void set_particle(CParticleSystem& s, uint32_t i, float x, float y, float z)
{
    s.position[3 * i] = x;
    s.position[3 * i + 1] = y;
    s.position[3 * i + 2] = z;
}

std::vector<uint32_t> range(uint32_t from, uint32_t to)
{
    std::vector<uint32_t> out;
    for (uint32_t i = from; i < to; ++i)
        out.push_back(i);
    return out;
}

// The first n values a freshly seeded generator gives, as the table holds them.
std::vector<float> table_prefix(uint32_t n)
{
    crt_srand(1);
    std::vector<float> out;
    for (uint32_t i = 0; i < n; ++i)
        out.push_back(static_cast<float>(crt_rand()) * (1.0f / 32767.0f));
    return out;
}

} // namespace

// --- system --------------------------------------------------------------------

TEST(ParticleSystem, update_moves_living_particles_with_the_old_velocity_then_damps_and_accelerates)
{
    CParticleSystem s;
    const float gravity[3] = {0.0f, 10.0f, -20.0f};
    s.init(2, 1.0f, 0.5f, 5.0f, gravity, 1.0f);
    EXPECT_TRUE(living(s).empty()) << "made dead";
    s.set_alive(1);
    s.velocity = {0, 0, 0, 1.0f, 2.0f, 4.0f};
    s.update(0.5f);
    EXPECT_EQ((std::vector<float>{0, 0, 0, 0.5f, 1.0f, 2.0f}), s.position);
    // Halved by the damping, then gravity (0, 10, -20) for half a second.
    EXPECT_EQ((std::vector<float>{0, 0, 0, 0.5f, 6.0f, -8.0f}), s.velocity);
    EXPECT_FLOAT_EQ(4.5f, s.life[1]);
    EXPECT_EQ(5.0f, s.life[0]) << "a dead particle does not age";
}

TEST(ParticleSystem, a_particle_dies_once_its_life_falls_below_zero_and_then_stays_where_it_was)
{
    CParticleSystem s;
    s.init(1, 1.0f, 0.0f, 0.5f, k_no_gravity, 1.0f);
    s.set_alive(0);
    s.velocity[0] = 3.0f;
    s.update(0.25f);
    s.update(0.25f);
    EXPECT_EQ(0.0f, s.life[0]);
    EXPECT_TRUE(s.is_alive(0)) << "a life of exactly zero lasts one more update";
    const std::vector<float> position = s.position, velocity = s.velocity;
    s.update(0.25f);
    EXPECT_FALSE(s.is_alive(0));
    s.update(0.5f);
    EXPECT_EQ(position, s.position);
    EXPECT_EQ(velocity, s.velocity);

    CParticleSystem endless;
    endless.init(1, 1.0f, 0.0f, FLT_MAX, k_no_gravity, 10.0f);
    endless.set_alive(0);
    for (int frame = 0; frame < 100000; ++frame)
        endless.update(0.05f);
    EXPECT_TRUE(endless.is_alive(0)) << "the largest float life never runs out";
}

TEST(ParticleSystem, blocks_of_living_particles_step_exactly_like_single_ones)
{
    const float gravity[3] = {0.5f, -9.81f, 0.25f};
    CParticleSystem many;
    many.init(70, 1.0f, 0.1f, 1.0f, gravity, 1.0f);
    for (uint32_t i = 0; i < 70; ++i) {
        if (i != 65)
            many.set_alive(i);
        many.life[i] = 0.3f + 0.01f * i;
        for (int c = 0; c < 3; ++c) {
            many.position[3 * i + c] = 0.37f * i - c;
            many.velocity[3 * i + c] = 1.3f * c - 0.11f * i;
        }
    }
    many.life[40] = 0.01f; // dies in the second block at the first step
    const CParticleSystem start = many;
    for (int step = 0; step < 3; ++step)
        many.update(0.05f);

    for (uint32_t i = 0; i < 70; ++i) {
        CParticleSystem one;
        one.init(1, 1.0f, 0.1f, 1.0f, gravity, 1.0f);
        if (start.is_alive(i))
            one.set_alive(0);
        one.life[0] = start.life[i];
        auto slice = [i](const std::vector<float>& v) { return std::vector<float>(&v[3 * i], &v[3 * i + 3]); };
        one.position = slice(start.position);
        one.velocity = slice(start.velocity);
        for (int step = 0; step < 3; ++step)
            one.update(0.05f);
        ASSERT_EQ(one.is_alive(0), many.is_alive(i)) << i;
        ASSERT_EQ(one.life[0], many.life[i]) << i;
        ASSERT_EQ(one.position, slice(many.position)) << i;
        ASSERT_EQ(one.velocity, slice(many.velocity)) << i;
    }
    EXPECT_FALSE(many.is_alive(40));
}

TEST(ParticleSystem, alive_bits_are_independent_and_packing_keeps_index_order_and_stops_at_the_capacity)
{
    CParticleSystem s;
    s.init(100, 1.0f, 0.0f, 1.0f, k_no_gravity, 1.0f);
    std::vector<uint32_t> alive_ones;
    for (uint32_t i = 0; i < 100; ++i) {
        set_particle(s, i, float(i), 2.0f * i, -float(i));
        s.set_alive(i);
        if (i < 64 || i % 3 == 0)
            alive_ones.push_back(i);
        else
            s.set_dead(i); // neighbours in the same word stay alive
    }
    ASSERT_EQ(alive_ones, living(s));
    for (uint32_t capacity : {0u, 1u, 40u, 64u, 70u, 100u}) {
        std::vector<float> out(3 * 100 + 3, -1.0f);
        const uint32_t written = pack_living_positions(s, out.data(), capacity);
        const uint32_t expected = std::min<uint32_t>(capacity, alive_ones.size());
        ASSERT_EQ(expected, written) << "capacity " << capacity;
        for (uint32_t n = 0; n < written; ++n)
            ASSERT_EQ(float(alive_ones[n]), out[3 * n]) << "capacity " << capacity << " slot " << n;
        EXPECT_EQ(-1.0f, out[3 * capacity]) << "nothing past the capacity";
    }
}

// --- emitters ------------------------------------------------------------------

TEST(ParticleEmitter, each_emit_revives_up_to_emit_per_call_of_the_lowest_numbered_dead_particles)
{
    // holes: all alive but 3, 5 and 7 before, and one emit instead of two.
    struct Case { float limit; bool holes; std::vector<uint32_t> alive_after_two_emits; };
    std::vector<uint32_t> all = range(0, 10), but_7 = range(0, 10);
    but_7.erase(but_7.begin() + 7);
    for (const Case& c : std::vector<Case>{
             {4.0f, false, range(0, 8)}, // none alive: 4 then 4 more, with full life
             {2.5f, false, range(0, 6)}, // a fractional limit rounds up
             {2.0f, true, but_7},        // 3, 5 and 7 dead: 3 and 5 revived first, then 7
             {100.0f, false, all},       // a full pool is left alone
             {0.0f, false, {0}},         // zero or less: only particle 0 is examined
             {-3.0f, false, {0}},
         }) {
        CParticleSystem s;
        s.init(10, c.limit, 0.0f, 2.0f, k_no_gravity, 1.0f);
        for (uint32_t i = 0; c.holes && i < 10; ++i)
            if (i != 3 && i != 5 && i != 7)
                s.set_alive(i);
        CParticleEmitterCircle emitter;
        emitter.emit(s);
        if (!c.holes)
            emitter.emit(s);
        EXPECT_EQ(c.alive_after_two_emits, living(s)) << "limit " << c.limit;
        EXPECT_EQ(2.0f, s.life[0]);
    }
}

TEST(ParticleEmitter, tables_are_identical_in_two_runs_and_start_at_entry_1)
{
    const std::vector<float> expected = table_prefix(4);
    crt_srand(1);
    CParticleEmitterPlane first;
    crt_srand(1);
    CParticleEmitterCircle second;
    EXPECT_EQ(18467.0f / 32767.0f, expected[1]);
    for (CParticleEmitter* emitter : {static_cast<CParticleEmitter*>(&first), static_cast<CParticleEmitter*>(&second)})
        for (int entry : {1, 2})
            EXPECT_FLOAT_EQ(expected[entry], emitter->draw_random());
    for (uint32_t i = 3; i < EMITTER_RANDOM_COUNT; ++i) {
        float a = first.draw_random();
        float b = second.draw_random();
        ASSERT_EQ(a, b) << "draw " << i;
        ASSERT_GE(a, 0.0f);
        ASSERT_LE(a, 1.0f);
    }
    // The 100000th draw reads entry 0; the table then starts over.
    EXPECT_EQ(expected[0], first.draw_random());
    EXPECT_EQ(expected[1], first.draw_random());
}

// The first two particles of each emitter from its formulas, with the table
// entries d[0] .. d[4] (t[1] .. t[5], then t[6] .. t[10]) drawn in order.
TEST(ParticleEmitter, circle_and_plane_make_their_first_particles_from_the_drawn_entries_in_order)
{
    const std::vector<float> t = table_prefix(11);
    const float centre[3] = {1.0f, 2.0f, 3.0f}, u[3] = {0.2f, 0.0f, 0.0f}, v[3] = {0.0f, 0.0f, 20.0f};
    auto expect_particle = [](const CParticleSystem& s, uint32_t i, std::array<float, 3> position,
                              std::array<float, 3> velocity) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(position[c], s.position[3 * i + c], 1e-4f) << "particle " << i << " axis " << c;
            EXPECT_FLOAT_EQ(velocity[c], s.velocity[3 * i + c]) << "particle " << i << " axis " << c;
        }
    };
    CParticleSystem s;
    s.init(2, 2.0f, 0.0f, 1.0f, k_no_gravity, 1.0f);
    crt_srand(1);
    CParticleEmitterCircle circle;
    circle.set_radius(165.0f);
    circle.set_position(centre);
    circle.emit(s);
    for (uint32_t i = 0; i < 2; ++i) {
        const float* d = &t[5 * i + 1];
        const double r = d[0] * 165.0, a = d[1] * 6.28318530718;
        expect_particle(s, i, {float(1.0 + std::cos(a) * r), 2.0f, float(3.0 + std::sin(a) * r)},
                        {d[4] * 50.0f, d[3] * 500.0f, d[2] * 50.0f});
    }

    s = CParticleSystem();
    s.init(2, 2.0f, 0.0f, 1.0f, k_no_gravity, 1.0f);
    crt_srand(1);
    CParticleEmitterPlane plane;
    plane.set_axes(u, v);
    plane.set_position(centre);
    plane.emit(s);
    for (uint32_t i = 0; i < 2; ++i) {
        const float* d = &t[5 * i + 1];
        expect_particle(s, i, {1.0f + d[0] * 0.2f, 2.0f, 3.0f + d[1] * 20.0f}, {d[4], d[3] * 10.0f, d[2]});
    }
}

// --- rendering -------------------------------------------------------------------

namespace {

const int k_side = 64;

// Draws into a cleared 64 x 64 target of its own with a pixel-exact
// orthographic projection; restores the matrices and enables it set.
class ParticleRendering : public testing::Test
{
protected:
    void SetUp() override
    {
        REQUIRE_GL_CONTEXT();
        target.reset(new OffscreenTarget(k_side, k_side, true));
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0, k_side, 0, k_side, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glPushAttrib(GL_ENABLE_BIT);
        glDisable(GL_BLEND);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        // llvmpipe gives smoothed points their coverage as alpha and rounds
        // them: square points keep the colour and size checks exact.
        glDisable(GL_POINT_SMOOTH);
    }
    void TearDown() override
    {
        if (!target)
            return;
        glPopAttrib();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        target.reset();
        glColor4f(1, 1, 1, 1);
    }
    // A system of living particles at the given pixel centres.
    static void place(CParticleSystem& s, float point_size, std::initializer_list<std::array<float, 2>> xy)
    {
        s.init(uint32_t(xy.size()), 1.0f, 0.0f, 1.0f, k_no_gravity, point_size);
        uint32_t i = 0;
        for (const auto& p : xy) {
            set_particle(s, i, p[0], p[1], 0.0f);
            s.set_alive(i++);
        }
    }
    std::vector<uint8_t> read() const { return target->read(); }
    static const uint8_t* at(const std::vector<uint8_t>& p, int x, int y) { return &p[(y * k_side + x) * 4]; }
    static int lit_count(const std::vector<uint8_t>& p)
    {
        int n = 0;
        for (size_t i = 0; i < p.size(); i += 4)
            n += p[i] || p[i + 1] || p[i + 2];
        return n;
    }

    std::unique_ptr<OffscreenTarget> target;
};

} // namespace

TEST_F(ParticleRendering, render_points_packs_and_draws_only_living_particles_of_at_most_4_pixels)
{
    CParticleSystem s;
    place(s, 2.5f, {{5.5f, 5.5f}, {20.5f, 10.5f}, {30.5f, 30.5f}, {40.5f, 50.5f}, {60.5f, 60.5f}}); // 1-pixel points
    for (uint32_t i : {0u, 2u, 4u})
        s.set_dead(i);
    CPSRendererPointSpr renderer;
    renderer.init_buffer(5);
    glColor4f(1, 1, 1, 1);
    renderer.render_points(s, false);
    EXPECT_EQ(2u, renderer.get_drawn());
    std::vector<uint8_t> p = read();
    EXPECT_EQ(2, lit_count(p));
    EXPECT_EQ(255, at(p, 20, 10)[0]);
    EXPECT_EQ(255, at(p, 40, 50)[0]);
    EXPECT_EQ(GL_NO_ERROR, glGetError());

    CParticleSystem large;
    place(large, 10.0f, {{32.0f, 32.0f}});
    glClear(GL_COLOR_BUFFER_BIT);
    renderer.render_points(large, false);
    EXPECT_EQ(16, lit_count(read())) << "point size 10 draws 4 x 4 pixels";
}

TEST_F(ParticleRendering, draws_at_most_the_buffers_capacity_and_reuse_draws_the_last_fill)
{
    CParticleSystem s;
    place(s, 2.5f, {{4.5f, 4.5f}, {10.5f, 4.5f}, {16.5f, 4.5f}, {22.5f, 4.5f}, {28.5f, 4.5f}, {34.5f, 4.5f}});
    CPSRendererPointSpr renderer;
    renderer.init_buffer(3);
    for (bool reuse : {false, true}) {
        glClear(GL_COLOR_BUFFER_BIT);
        renderer.render_points(s, reuse); // reuse: the system is not read again
        EXPECT_EQ(3u, renderer.get_drawn());
        EXPECT_EQ(3, lit_count(read()));
        for (uint32_t i = 0; i < s.size(); ++i)
            s.set_dead(i);
    }
    renderer.render_points(s, false);
    EXPECT_EQ(0u, renderer.get_drawn()) << "none living";
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(ParticleRendering, a_buffer_that_cannot_be_mapped_draws_nothing_and_says_so_once)
{
    CParticleSystem s;
    place(s, 2.5f, {{4.5f, 4.5f}});
    CPSRendererPointSpr renderer; // init_buffer never called
    testing::internal::CaptureStderr();
    renderer.render_points(s, false);
    renderer.render_points(s, false);
    std::string err = testing::internal::GetCapturedStderr();
    while (glGetError() != GL_NO_ERROR) {
    }
    EXPECT_EQ(0u, renderer.get_drawn());
    EXPECT_EQ(0, lit_count(read()));
    EXPECT_EQ(0u, err.find("## ERROR: CPSRendererPointSpr::render_points: vertex buffer 0 could not be mapped"))
        << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line only: " << err;
}

TEST_F(ParticleRendering, points_carry_the_renderers_alpha_and_the_colour_and_depth_state_are_restored)
{
    CParticleSystem s;
    place(s, 2.5f, {{8.5f, 8.5f}});
    CPSRendererPointSpr renderer;
    renderer.init_buffer(1);
    renderer.set_alpha(0.5f);
    glColor4f(0.2f, 0.5f, 1.0f, 1.0f);
    renderer.render_points(s, false);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ((std::vector<GLfloat>{0.2f, 0.5f, 1.0f, 1.0f}), std::vector<GLfloat>(colour, colour + 4));
    const std::vector<uint8_t> pixels = read();
    const uint8_t* p = at(pixels, 8, 8);
    EXPECT_NEAR(51, p[0], 1);
    EXPECT_NEAR(128, p[1], 1);
    EXPECT_EQ(255, p[2]);
    EXPECT_NEAR(128, p[3], 1);
    // Depth writes and test as they were, either way.
    for (GLboolean mask : {GL_FALSE, GL_TRUE}) {
        glDepthMask(mask);
        glEnable(GL_DEPTH_TEST);
        renderer.render_points(s, false);
        GLboolean after = !mask;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &after);
        EXPECT_EQ(mask, after);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    }
    glDisable(GL_DEPTH_TEST);
}

TEST_F(ParticleRendering, immediate_render_fades_points_with_their_life)
{
    CParticleSystem s;
    place(s, 1.0f, {{3.5f, 3.5f}, {9.5f, 3.5f}});
    s.life[0] = s.initial_life = 4.0f;
    s.life[1] = 2.0f;
    CParticleSystemRenderer renderer;
    glPointSize(1.0f);
    renderer.render(s);
    std::vector<uint8_t> p = read();
    EXPECT_EQ(255, at(p, 3, 3)[0]);
    EXPECT_NEAR(128, at(p, 9, 3)[0], 1);
}

TEST_F(ParticleRendering, smooth_points_darken_the_pixels_the_drivers_smooth_points_do_and_leave_square_points_alone)
{
    // Points of 4, 3.24 and 2 pixels on a grid, and of 3.33 (10 pixels
    // attenuated at an eye depth of 800), each at its own sub-pixel offset
    // (steps of 1/7 and 1/11 pixel, some on centres), scaling white by
    // 1 - 0.3 coverage as the particles scene does.
    CSmoothPoints smooth_points;
    ASSERT_TRUE(smooth_points.init());
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_ALPHA);
    glClearColor(1, 1, 1, 1);
    glColor4f(1, 1, 1, 1);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, k_side, 0, k_side, -1, 1000);
    glMatrixMode(GL_MODELVIEW);
    for (auto [point_size, depth] : {std::pair{10.0f, 0.0f}, {8.1f, 0.0f}, {5.0f, 0.0f}, {10.0f, 800.0f}}) {
        CParticleSystem s;
        s.init(100, 1.0f, 0.0f, 1.0f, k_no_gravity, point_size);
        for (uint32_t i = 0; i < 100; ++i) {
            set_particle(s, i, 4.0f + 6.0f * float(i % 10) + float(i % 7) / 7.0f,
                         4.0f + 6.0f * float(i / 10) + float(i % 11) / 11.0f, -depth);
            s.set_alive(i);
        }
        CPSRendererPointSpr renderer;
        renderer.init_buffer(s.size());
        renderer.set_alpha(0.3f);
        for (bool smooth : {true, false}) {
            std::vector<uint8_t> frames[2];
            for (int programmed = 0; programmed < 2; ++programmed) {
                smooth ? glEnable(GL_POINT_SMOOTH) : glDisable(GL_POINT_SMOOTH);
                glClear(GL_COLOR_BUFFER_BIT);
                if (programmed)
                    smooth_points.begin();
                renderer.render_points(s, false);
                if (programmed)
                    smooth_points.end();
                frames[programmed] = read();
                GLint program = -1;
                glGetIntegerv(GL_CURRENT_PROGRAM, &program);
                EXPECT_EQ(0, program);
                glGetIntegerv(GL_PROGRAM_PIPELINE_BINDING, &program);
                EXPECT_EQ(0, program);
                EXPECT_EQ(smooth, glIsEnabled(GL_POINT_SMOOTH));
                EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_POINT_SIZE));
            }
            // The same pixels, to within one step of rounding; square
            // points are left to the fixed pipeline, byte for byte.
            int darkened = 0, elsewhere = 0, worst = 0;
            for (size_t i = 0; i < frames[0].size(); ++i) {
                darkened += frames[0][i] < 255;
                elsewhere += (frames[0][i] < 255) != (frames[1][i] < 255);
                worst = std::max(worst, std::abs(int(frames[0][i]) - int(frames[1][i])));
            }
            EXPECT_GT(darkened, 4 * 100 * 3) << point_size;
            EXPECT_EQ(0, elsewhere) << point_size;
            EXPECT_GE(smooth ? 1 : 0, worst) << point_size;
        }
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    glColor4f(1, 1, 1, 1);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}
