#include "scenes/scene_wild_speaker.h"

#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "support/gl_context.h"
#include "support/loaded_scene.h"
#include "support/scene_capture.h"
#include "support/scene_cues.h"
#include "support/show_runner.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

namespace {

const int32_t BEAT = 16, SNARE = 17, MELODY = 24, LEAD = 25;

typedef CuedScene<cSceneWildSpeaker> Cued;

// The lights among first..last whose beams show at full strength.
std::set<int> full_lights(const cSceneWildSpeaker& scene, int first, int last)
{
    std::set<int> lit;
    for (int i = first; i <= last; ++i)
        if (wild_speaker_beam_strength(scene.light_level[i]) == 1.0f)
            lit.insert(i);
    return lit;
}

TEST(SceneWildSpeakerEvents, a_beat_lights_eight_of_the_ten_equator_lights_for_300_ms_and_moves_on_by_one)
{
    Cued s;
    int previous_dark = -1;
    for (int n = 0; n < 12; ++n) {
        const int32_t t = 250000 + 1000 * n;
        s.cue(BEAT, t);
        s.at(t);
        const std::set<int> lit = full_lights(s.scene, 10, 19);
        ASSERT_EQ(8u, lit.size()) << "beat " << n;
        std::vector<int> dark;
        for (int i = 10; i <= 19; ++i)
            if (!lit.count(i))
                dark.push_back(i);
        // The two left dark are five apart (j = 4 and j = 9 are skipped) and
        // move on by one light each beat.
        EXPECT_EQ(5, dark[1] - dark[0]) << "beat " << n;
        if (previous_dark >= 0) {
            EXPECT_EQ(10 + (previous_dark - 10 + 1) % 5, dark[0]) << "beat " << n;
        }
        previous_dark = dark[0];
        s.at(t + 150);
        for (int i : lit) {
            const float q = wild_speaker_beam_strength(s.scene.light_level[i]);
            EXPECT_TRUE(q > 0.0f && q < 1.0f) << "light " << i << " half way: " << q;
        }
        s.at(t + 300);
        for (int i = 0; i < WILD_SPEAKER_LIGHT_COUNT; ++i)
            EXPECT_EQ(0.0f, wild_speaker_beam_strength(s.scene.light_level[i])) << "light " << i << " 300 ms on";
    }
    EXPECT_EQ(12, s.scene.beat_count);
}

TEST(SceneWildSpeakerEvents, a_snare_lights_two_neighbours_in_each_middle_ring_and_some_lights_never_light)
{
    Cued s;
    for (int n = 0; n < 7; ++n) {
        const int32_t t = 250000 + 1000 * n;
        s.cue(SNARE, t);
        s.at(t);
        const int m = n % 5, m1 = (n + 1) % 5;
        EXPECT_EQ(std::set<int>({5 + m, 5 + m1}), full_lights(s.scene, 5, 9)) << "snare " << n;
        EXPECT_EQ(std::set<int>({20 + m, 20 + m1}), full_lights(s.scene, 20, 24)) << "snare " << n;
    }
    // Every kind of cue, many times over: lights 0 to 4 and 25 to 29 are no
    // cue's, so they stay dark at every moment.
    for (int n = 0; n < 40; ++n) {
        const int32_t t = 260000 + 100 * n;
        for (int32_t code : {BEAT, SNARE, MELODY, LEAD})
            s.cue(code, t);
        for (int32_t after : {0, 1, 150, 299}) {
            s.at(t + after);
            for (int i : {0, 1, 2, 3, 4, 25, 26, 27, 28, 29})
                ASSERT_EQ(0.0f, wild_speaker_beam_strength(s.scene.light_level[i])) << "light " << i;
        }
    }
}

TEST(SceneWildSpeakerEvents, melodies_glow_while_younger_than_800_ms_and_are_removed_after)
{
    Cued s;
    s.cue(MELODY, 250000);
    s.at(250000);
    EXPECT_FLOAT_EQ(0.65f, s.scene.melody_glow);
    s.cue(MELODY, 250400);
    s.at(250400);
    EXPECT_FLOAT_EQ(0.65f * 0.5f + 0.65f, s.scene.melody_glow);
    s.at(250800);
    EXPECT_EQ(2u, s.scene.melody_events.size()) << "800 ms old is not yet too old";
    s.at(250801);
    ASSERT_EQ(1u, s.scene.melody_events.size());
    EXPECT_EQ(250400, s.scene.melody_events[0].time);
    s.at(251201);
    EXPECT_TRUE(s.scene.melody_events.empty());
    EXPECT_EQ(0.0f, s.scene.melody_glow);
}

TEST(SceneWildSpeakerEvents, shots_change_at_their_show_times)
{
    const std::pair<int32_t, wild_speaker_shot> table[] = {
        {245216, WS_SHOT_ORBIT},          {247035, WS_SHOT_ORBIT},
        {247036, WS_SHOT_MOVING_CORRIDOR}, {250000, WS_SHOT_MOVING_CORRIDOR},
        {259123, WS_SHOT_ORBIT_BEATS},    {260000, WS_SHOT_ORBIT_BEATS},
        {260867, WS_SHOT_MOVING_ALL},     {267819, WS_SHOT_MOVING_SPEAKER},
        {271299, WS_SHOT_FINAL},          {274782, WS_SHOT_FINAL},
    };
    for (const auto& row : table)
        EXPECT_EQ(row.second, wild_speaker_shot_at(row.first)) << row.first;
}

// --- with GL ----------------------------------------------------------------------

class SceneWildSpeaker : public LoadedScene<cSceneWildSpeaker>
{
protected:
    // One frame of the scene at show time t, read back from the window: the
    // glow pass puts the scene's picture there.
    static std::vector<uint8_t> draw_frame(int32_t t)
    {
        clock.now = clock.start + t;
        scene->update();
        glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        scene->draw();
        return read_window(4);
    }

    // Expects the last corridor segment's light where it ends up in eye
    // space when the camera looks from eye to centre, after the moving
    // shots' swing of the corridor (none for the orbit).
    static void expect_segment_light(double ex, double ey, double ez, double cx, int32_t e, bool swing,
                                     const char* what)
    {
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        gluLookAt(ex, ey, ez, cx, 0.0, 0.0, 0.0, 1.0, 0.0);
        if (swing) {
            const double s1 = 0.001 * e;
            glTranslated(75.0 + 100.0 * std::sin(s1), 15.0 * std::cos(s1), 25.0 * std::cos(s1));
        }
        glTranslatef(-2500.0f, 0.0f, 0.0f);
        glRotatef(0.035f * float(e), 1.0f, 0.0f, 0.0f);
        glTranslatef(2100.0f, 0.0f, 0.0f); // the fourth segment, no lead near
        float m[16], got[4];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        glPopMatrix();
        glGetLightfv(GL_LIGHT1, GL_POSITION, got);
        for (int r = 0; r < 3; ++r)
            EXPECT_NEAR(m[12 + r], got[r], 0.05f) << what << " component " << r;
    }
};

TEST_F(SceneWildSpeaker, the_camera_at_250000_is_the_moving_corridor_shot_and_at_260000_the_orbit_moved_by_the_beats)
{
    REQUIRE_GL_CONTEXT();
    scene->init();
    clock.start = 0;
    // Far from any lead: the segments stand still at 700 k.
    scene->lead_time = 0;

    draw_frame(250000);
    const double s1 = 250.0;
    expect_segment_light(200.0, 25.0 * std::sin(s1), 25.0 * (std::sin(0.6 * s1) + std::cos(0.8 * s1)), 0.0, 250000,
                         true, "moving corridor at 250000");

    const int beats = scene->beat_count + 3;
    for (int32_t t : {259200, 259400, 259600}) {
        const demo_event beat = {BEAT, t};
        scene->handle_event(&beat);
    }
    ASSERT_EQ(beats, scene->beat_count);
    draw_frame(260000);
    const double tau = 260.0 + 4.0 * beats;
    expect_segment_light(25.0, 25.0 * std::sin(tau), 25.0 * (std::sin(1.3 * tau) + std::cos(2.2 * tau)), -25.0,
                         260000, false, "orbit at 260000");
    scene->exit();
}

// The fog (from 150) ends at 300 at a lead and follows a smoothstep back to
// 1500 two seconds on.
TEST_F(SceneWildSpeaker, a_lead_pulls_the_fog_end_to_300_and_it_is_back_at_1500_two_seconds_later)
{
    REQUIRE_GL_CONTEXT();
    scene->init();
    clock.start = 0;
    const demo_event lead = {LEAD, 262000};
    scene->handle_event(&lead);
    const float table[][2] = {{0, 300}, {1000, 900}, {2000, 1500}, {9000, 1500}};
    for (const auto& row : table) {
        float end = 0.0f, start = 0.0f;
        draw_frame(262000 + int32_t(row[0]));
        glGetFloatv(GL_FOG_END, &end);
        glGetFloatv(GL_FOG_START, &start);
        EXPECT_FLOAT_EQ(row[1], end) << row[0] << " ms after the lead";
        EXPECT_FLOAT_EQ(150.0f, start);
    }
    scene->exit();
}

// The defaults an exit leaves are checked for every scene elsewhere; what is
// this scene's own: the buffers freed and kept, its white clear colour.
TEST_F(SceneWildSpeaker, exit_frees_five_meshes_buffers_and_a_second_activation_draws_again)
{
    REQUIRE_GL_CONTEXT();
    clock.start = 0;
    scene->init();
    const std::vector<uint8_t> first = draw_frame(252000);
    scene->exit();
    for (iMesh* mesh : {scene->sphere, scene->internal_additive, scene->speaker, scene->beam, scene->lightplates})
        for (const cVertexBuffer& b : dynamic_cast<cMeshObj*>(mesh)->buffers)
            EXPECT_EQ(0u, b.id);
    for (iMesh* mesh : {scene->inner_sphere, scene->corridor})
        EXPECT_NE(0u, dynamic_cast<cMeshObj*>(mesh)->buffers[0].id);
    float clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(0.0f, clear[0]) << "the white clear colour is the scene's own";
    while (glGetError() != GL_NO_ERROR) {
    }
    scene->init();
    EXPECT_EQ(first, draw_frame(252000)) << "the ball is drawn again as the first time";
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    scene->exit();
}

// Möller-Trumbore: the distance along the unit ray from the origin to the
// triangle, or -1. Degenerate triangles (the shell's poles) are no surface;
// a ray along a shared edge counts for both triangles.
float ray_hit(const float* d, const float* a, const float* b, const float* c)
{
    auto cross = [](const float* x, const float* y, float* out) {
        out[0] = x[1] * y[2] - x[2] * y[1];
        out[1] = x[2] * y[0] - x[0] * y[2];
        out[2] = x[0] * y[1] - x[1] * y[0];
    };
    auto dot = [](const float* x, const float* y) { return x[0] * y[0] + x[1] * y[1] + x[2] * y[2]; };
    float e1[3], e2[3], n[3], p[3], q[3], t[3];
    for (int k = 0; k < 3; ++k) {
        e1[k] = b[k] - a[k];
        e2[k] = c[k] - a[k];
        t[k] = -a[k];
    }
    cross(e1, e2, n);
    cross(d, e2, p);
    cross(t, e1, q);
    const float det = dot(e1, p);
    if (dot(n, n) < 1e-10f || std::fabs(det) < 1e-9f)
        return -1.0f;
    const float u = dot(t, p) / det, v = dot(d, q) / det, slack = 1e-4f;
    if (u < -slack || v < -slack || u + v > 1.0f + slack)
        return -1.0f;
    return dot(e2, q) / det;
}

// How far out along d the mesh's outermost surface lies.
float outermost_hit(const cMeshObj_data& mesh, const float* d)
{
    float best = -1.0f;
    for (std::size_t k = 0; k + 2 < mesh.indices.size(); k += 3) {
        const float* a = &mesh.positions[3 * std::size_t(mesh.indices[k])];
        const float* b = &mesh.positions[3 * std::size_t(mesh.indices[k + 1])];
        const float* c = &mesh.positions[3 * std::size_t(mesh.indices[k + 2])];
        best = std::max(best, ray_hit(d, a, b, c));
    }
    return best;
}

// The thirty light placement rows (a, b, c) in degrees, written out here on
// their own: the scene and the data tool share one table, so only this copy
// notices an edited row.
const float k_placement_rows[30][3] = {
    {0, -32.382f, 180}, {0, -32.382f, 108}, {0, -32.382f, 36}, {0, -32.382f, -36}, {0, -32.382f, -108},
    {0, -58.382f, 0}, {0, -58.382f, 72}, {0, -58.382f, 144}, {0, -58.382f, -144}, {0, -58.382f, -72},
    {-83.142f, -89.546f, 65.143f}, {-47.142f, -89.546f, 65.143f}, {-11.142f, -89.546f, 65.143f},
    {24.142f, -89.546f, 65.143f}, {60.142f, -89.546f, 65.143f}, {96.858f, -89.546f, 65.143f},
    {132.858f, -89.546f, 65.143f}, {168.858f, -89.546f, 65.143f}, {-155.142f, -89.546f, 65.143f},
    {-119.142f, -89.546f, 65.143f}, {0, -122.382f, 36}, {180, -57.618f, -72}, {-180, -57.618f, 0},
    {180, -57.618f, 72}, {0, -122.382f, -36}, {0, -148.382f, 0}, {0, -148.382f, 72}, {-180, -31.618f, 36},
    {-180, -31.618f, 36}, {0, -148.382f, -72}};

TEST_F(SceneWildSpeaker, every_light_is_turned_by_its_placement_row_and_points_into_a_socket_of_the_generated_ball)
{
    REQUIRE_GL_CONTEXT();
    const cMeshObj* loaded = dynamic_cast<cMeshObj*>(scene->sphere);
    ASSERT_NE(nullptr, loaded) << "the data tool's ball";
    const cMeshObj_data& ball = *loaded;
    float outer = 0.0f;
    for (std::size_t k = 0; k + 2 < ball.positions.size(); k += 3)
        outer = std::max(outer, std::sqrt(ball.positions[k] * ball.positions[k] +
                                          ball.positions[k + 1] * ball.positions[k + 1] +
                                          ball.positions[k + 2] * ball.positions[k + 2]));

    // Away from every socket (the poles lie 30 degrees from the nearest) the
    // shell is whole.
    const float up[3] = {0.0f, 1.0f, 0.0f}, down[3] = {0.0f, -1.0f, 0.0f};
    EXPECT_NEAR(outer, outermost_hit(ball, up), 0.05f * outer);
    EXPECT_NEAR(outer, outermost_hit(ball, down), 0.05f * outer);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    ASSERT_EQ(30, scene->light_count);
    for (int i = 0; i < scene->light_count; ++i) {
        // c about y, then -b about z, then a about x.
        const float* row = k_placement_rows[i];
        float want[16], m[16];
        glLoadIdentity();
        glRotatef(row[2], 0, 1, 0);
        glRotatef(-row[1], 0, 0, 1);
        glRotatef(row[0], 1, 0, 0);
        glGetFloatv(GL_MODELVIEW_MATRIX, want);
        glLoadIdentity();
        scene->place_light(i);
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        for (int k = 0; k < 16; ++k)
            EXPECT_NEAR(want[k], m[k], 1e-6f) << "light " << i << " element " << k;
        const float axis[3] = {m[4], m[5], m[6]}; // where the speaker's +y goes
        const float r = outermost_hit(ball, axis);
        ASSERT_GT(r, 0.0f) << "light " << i << " meets the shell";
        EXPECT_LT(r, outer - 0.025f * outer) << "light " << i << " points into a sunk socket";
        // A socket, not a pinhole: a little off the axis it is sunk as deep.
        for (int k = 0; k < 3; ++k) {
            float off[3] = {axis[0], axis[1], axis[2]};
            off[k] += 0.05f;
            const float n = std::sqrt(off[0] * off[0] + off[1] * off[1] + off[2] * off[2]);
            for (float& x : off)
                x /= n;
            EXPECT_NEAR(r, outermost_hit(ball, off), 0.01f * outer) << "light " << i;
        }
    }
    glPopMatrix();
}

// The shot that tumbles the corridor with the ball (R after T) swings it
// about the ball: the eye, 200 units out, must stay inside the generated
// corridor, whose outside would hide the ball.
TEST_F(SceneWildSpeaker, the_tumbling_shot_keeps_the_eye_inside_the_generated_corridor)
{
    REQUIRE_GL_CONTEXT();
    const cMeshObj* loaded = dynamic_cast<cMeshObj*>(scene->corridor);
    ASSERT_NE(nullptr, loaded) << "the data tool's corridor";
    const cMeshObj_data& corridor = *loaded;
    // Turned -90 degrees about z, the mesh's x and z span the cross-section;
    // a flat face comes nearest the axis between its corners, so the edges'
    // midpoints count too.
    const std::vector<float>& p = corridor.positions;
    float inner = 1e9f;
    for (std::size_t k = 0; k + 2 < corridor.indices.size(); k += 3)
        for (int j = 0; j < 3; ++j) {
            const uint32_t a = corridor.indices[k + j], b = corridor.indices[k + (j + 1) % 3];
            inner = std::min(inner, std::hypot(p[3 * a], p[3 * a + 2]));
            inner = std::min(inner, 0.5f * std::hypot(p[3 * a] + p[3 * b], p[3 * a + 2] + p[3 * b + 2]));
        }
    float widest = 0.0f;
    for (int32_t e = 260867; e < 267819; e += 10) {
        const double s1 = 0.001 * e;
        const double eye[3] = {200.0, 25.0 * std::sin(s1), 25.0 * (std::sin(0.6 * s1) + std::cos(0.8 * s1))};
        const double t[3] = {75.0 + 100.0 * std::sin(s1), 15.0 * std::cos(s1), 25.0 * std::cos(s1)};
        // The eye in the corridor's frame: undo R (0.06 e degrees about
        // (0.5, 0.5, 0)), then T; the turns about its own axis keep the
        // distance from it.
        const double a = -0.06 * e * M_PI / 180.0, c = std::cos(a), s = std::sin(a), u = std::sqrt(0.5);
        const double k_dot = u * eye[0] + u * eye[1];
        const double cross[3] = {u * eye[2], -u * eye[2], u * eye[1] - u * eye[0]}; // (u, u, 0) x eye
        double local[3];
        for (int i = 0; i < 3; ++i)
            local[i] = eye[i] * c + cross[i] * s + (i < 2 ? u : 0.0) * k_dot * (1 - c) - t[i];
        widest = std::max(widest, float(std::hypot(local[1], local[2])));
    }
    EXPECT_GT(widest, 200.0f);
    EXPECT_GT(inner, widest + 5.0f) << "the near plane (5) must not cut a wall";
}

TEST(SceneWildSpeakerShow, captured_frames_of_the_stretch_are_pictures_that_change_and_log_no_error)
{
    const SceneCapture run = capture_scene_frames({246000, 253000, 266000, 273000}, 1.0, 500);
    SKIP_WITHOUT_X_SERVER(run);
    ASSERT_TRUE(capture_is_clean(run, 4, 4, {{0, 1}, {1, 2}, {2, 3}}));
}

} // namespace
