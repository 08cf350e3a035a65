// The wild speaker's ball and corridor, in models/wildspeaker.
//
// What the scene's code asks of them:
// - The ball is drawn at a quarter of its size around the origin, seen from
//   25 to 60 world units (100 to 240 mesh units) with a 60-degree view and
//   a near plane of 5 world units: its radius here is 34 (8.5 in the world).
//   Its shell is lit per pixel by a light at the eye through "notex_shader"
//   and keeps its materials, so they give its colours.
// - Each of the thirty lights turns the speaker, its light plate and its beam
//   by the angles of scenes/wild_speaker_lights.h (the table the scene uses),
//   which carry +y onto the light's axis. So those three meshes are built
//   along +y, and the shell has a socket around every light's axis (29: two
//   lights share one). The speaker is drawn unlit, in white, double-sided,
//   with its own material: its picture ("wildspeaker_speaker_face.png")
//   carries all its shading. Its bezel reaches over the socket's edge.
// - Light plates and beams are added (source alpha, one) with
//   "vollight_shader": the shader's strength falls with texture coordinate t
//   (0 at the light, 1 at the far end), so the plate runs t from its centre
//   to its rim and the beam from the speaker to its end.
// - "wildspeaker_internal_additive" (material kept, drawn unlit in a dim
//   blue, added) and "wildspeaker_inner_sphere" (materials cleared, added in
//   the melody's glow) lie inside the shell; they show through four open
//   slits of the shell, between the rings of sockets, and the shell's dark
//   inside is behind them.
// - The corridor segment is drawn four times in a row, 700 apart along the
//   world's x, after a turn of -90 degrees about z: its length runs along +y
//   here, from 0 to 700, and its cross-section lies in x and z. The segment's
//   light (light 1, cold white, no fall-off) sits at its origin, so a lamp
//   ring is built there. The row covers the world's x from -2500 to at least
//   300; the ball hangs at the origin and the eyes come no more than 75
//   units off the corridor's axis, but in the shot that tumbles the corridor
//   and the ball together about the ball the eye comes up to 220 units off
//   the tumbled axis. The walls stand 245 from the axis (the ribs' inner
//   faces 235), so the eye never leaves the corridor for its outside, which
//   would hide the ball. A "lead" pulls the fog's end in to 300 and leaves
//   only the ball out of the white, so the score cues the lead only in the
//   last shot, where the eye is close to the ball. It is drawn with "fog_shader" and its materials (white
//   panels, grey ribs, dark seams, unlit lamps), fogging to white from 150
//   units. The shader lights the corridor at its vertices (on the software
//   renderer, lighting every pixel took about half of the corridor's time),
//   so the panels' and ribs' faces towards the axis are grids fine enough
//   for the light's sheen to fall across them smoothly.
#include "generator.h"
#include "toolkit/image.h"
#include "toolkit/mesh.h"

#include "scenes/wild_speaker_lights.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using namespace toolkit;

namespace {

const std::string DIR = "models/wildspeaker/";
const char* const SPEAKER_FACE = "wildspeaker_speaker_face.png";

// The ball, in mesh units.
const float BALL_RADIUS = 34.0f;
const float SHELL_THICKNESS = 2.0f;
const float SOCKET_DEGREES = 10.0f; // angular radius of a socket
const float SOCKET_DEPTH = 1.5f;    // the socket's floor lies this far below the shell
// Open slits of the shell, latitude bands in degrees, clear of the sockets.
const float SLITS[4][2] = {{14.0f, 18.0f}, {74.0f, 78.0f}, {-18.0f, -14.0f}, {-78.0f, -74.0f}};
// The ball is small on screen (about 400 pixels across at its closest), and
// the software renderer pays far more for each of its triangles than for
// the few pixels one covers: the tessellations below are the coarsest that
// keep its outline and its sockets' rims smooth there.
const int SHELL_SLICES = 72;       // 5 degrees
const float SHELL_STEP_DEG = 2.0f; // latitude step; the slits' edges lie on it
const int INSIDE_SLICES = 36;      // the dark inside, seen only through the slits
const float INSIDE_STEP_DEG = 4.0f;
const int SPEAKER_SLICES = 24;
const float INNER_SPHERE_RADIUS = 29.0f;

// The beam: from the speaker's face out along the axis.
const float BEAM_LENGTH = 420.0f;
const float BEAM_END_RADIUS = 46.0f;

// The corridor segment.
const float SEGMENT_LENGTH = 700.0f;
const float CORRIDOR_APOTHEM = 245.0f; // axis to the panels' faces
const float CELL_LENGTH = 100.0f;     // panels and ribs along the segment
const float SEAM = 4.0f;              // open gap between panels
const float PANEL_THICKNESS = 2.0f;
const float RIB_DEPTH = 10.0f;
const float RIB_THICKNESS = 8.0f;
// Quads of the panels' faces towards the axis (along x across), and of the
// ribs' across: the lighting is taken at their corners.
const int PANEL_GRID_ALONG = 3, PANEL_GRID_ACROSS = 3;
const int RIB_GRID_ACROSS = 4;

const float DEG = PI / 180.0f;

// The turn that light row i gives: +y onto the light's axis.
Mat4 light_turn(int i)
{
    const cWildSpeakerLightAngles& row = WILD_SPEAKER_LIGHT_ANGLES[i];
    return Mat4::rotate_y(row.c) * Mat4::rotate_z(-row.b) * Mat4::rotate_x(row.a);
}

// The distinct socket axes (rows 27 and 28 share one).
std::vector<Vec3> socket_axes()
{
    std::vector<Vec3> axes;
    for (int i = 0; i < WILD_SPEAKER_LIGHT_COUNT; ++i) {
        const Vec3 d = normalize(light_turn(i).vector({0, 1, 0}));
        bool known = false;
        for (const Vec3& a : axes)
            known = known || dot(a, d) > 0.99999f;
        if (!known)
            axes.push_back(d);
    }
    return axes;
}

Vec3 from_angles(float latitude_deg, float longitude_deg)
{
    const float la = latitude_deg * DEG, lo = longitude_deg * DEG;
    return {std::cos(la) * std::cos(lo), std::sin(la), -std::cos(la) * std::sin(lo)};
}

// --- the ball -------------------------------------------------------------------

// The shell's radius in direction d: the full radius, sunk by the socket's
// depth within a socket, with a steep wall at its edge.
float shell_radius(Vec3 d, const std::vector<Vec3>& axes)
{
    float nearest = 180.0f;
    for (const Vec3& a : axes)
        nearest = std::min(nearest, std::acos(std::clamp(dot(a, d), -1.0f, 1.0f)) / DEG);
    const float wall = smoothstep(SOCKET_DEGREES - 1.5f, SOCKET_DEGREES, nearest);
    return BALL_RADIUS - SOCKET_DEPTH * (1.0f - wall);
}

// Latitude band [lat0, lat1] of a sphere at radius(d), facing out (or in).
void spherical_band(Mesh& mesh, float lat0, float lat1, int slices, const std::function<float(Vec3)>& radius,
                    bool inward, float step_deg = SHELL_STEP_DEG)
{
    const int stacks = std::max(1, int(std::lround((lat1 - lat0) / step_deg)));
    const uint32_t first = uint32_t(mesh.vertex_count());
    for (int j = 0; j <= stacks; ++j)
        for (int i = 0; i <= slices; ++i) {
            const float lat = lat0 + (lat1 - lat0) * float(j) / float(stacks);
            const Vec3 d = from_angles(lat, 360.0f * float(i) / float(slices));
            mesh.add_vertex(d * radius(d), inward ? -d : d, {float(i) / float(slices), (lat + 90.0f) / 180.0f});
        }
    const auto at = [&](int i, int j) { return first + uint32_t(j * (slices + 1) + i); };
    for (int j = 0; j < stacks; ++j)
        for (int i = 0; i < slices; ++i) {
            if (inward)
                mesh.add_quad(at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j));
            else
                mesh.add_quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
        }
}

// The wall of a slit's edge at latitude lat, from the shell down to its
// inside, facing along the latitude (up when up).
void slit_wall(Mesh& mesh, float lat, bool up, int slices)
{
    const uint32_t first = uint32_t(mesh.vertex_count());
    for (int i = 0; i <= slices; ++i) {
        const float lon = 360.0f * float(i) / float(slices);
        const Vec3 d = from_angles(lat, lon);
        const Vec3 n = normalize(from_angles(lat + (up ? 90.0f : -90.0f), lon));
        mesh.add_vertex(d * BALL_RADIUS, n, {float(i) / float(slices), 0});
        mesh.add_vertex(d * (BALL_RADIUS - SHELL_THICKNESS), n, {float(i) / float(slices), 1});
    }
    for (int i = 0; i < slices; ++i) {
        const uint32_t a = first + uint32_t(2 * i);
        if (up)
            mesh.add_quad(a, a + 1, a + 3, a + 2);
        else
            mesh.add_quad(a, a + 2, a + 3, a + 1);
    }
}

// The shell: grey metal with 29 sockets, open at four slits, dark inside.
Mesh ball_shell()
{
    const std::vector<Vec3> axes = socket_axes();
    Mesh shell;
    shell.use_material(material_colour("wildspeaker_shell", {0.42f, 0.44f, 0.5f}, {0.45f, 0.45f, 0.5f}, 90.0f));
    // Solid bands: the complement of the slits.
    std::vector<std::pair<float, float>> solid = {{-90.0f, -78.0f}, {-74.0f, -18.0f}, {-14.0f, 14.0f},
                                                  {18.0f, 74.0f},   {78.0f, 90.0f}};
    const auto radius = [&](Vec3 d) { return shell_radius(d, axes); };
    for (const auto& band : solid)
        spherical_band(shell, band.first, band.second, SHELL_SLICES, radius, false);
    shell.smooth_normals(40.0f);

    Mesh inside;
    inside.use_material(material_colour("wildspeaker_shell_inside", {0.1f, 0.11f, 0.15f}, {0.2f, 0.2f, 0.25f}, 8.0f));
    spherical_band(
        inside, -90.0f, 90.0f, INSIDE_SLICES, [](Vec3) { return BALL_RADIUS - SHELL_THICKNESS; }, true,
        INSIDE_STEP_DEG);
    for (const auto& s : SLITS) {
        slit_wall(inside, s[0], true, SHELL_SLICES);
        slit_wall(inside, s[1], false, SHELL_SLICES);
    }
    shell.append(inside);
    return shell;
}

// Glowing rings under the slits, three great circles and a rod from the
// core to every socket: the ball's innards, added in a dim blue.
Mesh internal_additive()
{
    Mesh mesh;
    mesh.use_material(material_unlit("wildspeaker_innards", {0.6f, 0.65f, 0.9f}));
    const float r = BALL_RADIUS - SHELL_THICKNESS - 1.2f;
    for (const auto& s : SLITS) {
        const float lat = 0.5f * (s[0] + s[1]) * DEG;
        mesh.append(torus(r * std::cos(lat), 0.8f, 48, 8), Mat4::translate({0, r * std::sin(lat), 0}));
    }
    const Mat4 circles[3] = {Mat4(), Mat4::rotate_x(90.0f), Mat4::rotate_z(90.0f) * Mat4::rotate_x(45.0f)};
    for (const Mat4& m : circles)
        mesh.append(torus(INNER_SPHERE_RADIUS + 1.5f, 0.35f, 48, 6), m);
    for (int i = 0; i < WILD_SPEAKER_LIGHT_COUNT; ++i) {
        if (i == 28)
            continue; // the socket of row 27
        mesh.append(cylinder(0.3f, 0.3f, BALL_RADIUS - INNER_SPHERE_RADIUS - 2.0f, 8, false),
                    light_turn(i) * Mat4::translate({0, INNER_SPHERE_RADIUS, 0}));
    }
    return mesh;
}

Mesh inner_sphere()
{
    Mesh mesh;
    mesh.use_material(material_colour("wildspeaker_core", {0.3f, 0.3f, 0.4f}));
    mesh.append(sphere(INNER_SPHERE_RADIUS, 32, 16));
    return mesh;
}

// --- the speaker ----------------------------------------------------------------

// The speaker's profile (radius, height above the centre) from the socket's
// floor over the bezel into the cone and up the dust cap to the axis, with
// where each part begins along it (0..1), for the face picture.
struct SpeakerProfile
{
    std::vector<Vec2> points;
    float bezel_from, surround_from, cone_from, cap_from;
};

float socket_edge_radius() { return BALL_RADIUS * std::sin(SOCKET_DEGREES * DEG); }
float socket_edge_height() { return BALL_RADIUS * std::cos(SOCKET_DEGREES * DEG); }

SpeakerProfile speaker_profile()
{
    const float re = socket_edge_radius(), he = socket_edge_height();
    const float floor = BALL_RADIUS - SOCKET_DEPTH;
    const float bezel_out = re + 1.3f, bezel_in = re - 0.9f, top = he + 0.7f;
    // The bezel's outer foot sinks just under the shell so no gap shows.
    const float foot = std::sqrt(BALL_RADIUS * BALL_RADIUS - bezel_out * bezel_out) - 0.25f;
    std::vector<Vec2> p = {
        {re - 0.3f, floor - 0.2f}, // the frame in the socket
        {re - 0.3f, he - 0.3f},
        {bezel_out, foot},          // bezel: out over the socket's edge
        {bezel_out - 0.4f, top},    // its top
        {bezel_in, top},
        {bezel_in - 0.6f, top - 0.5f}, // surround: a rolled rubber edge
        {bezel_in - 1.3f, top - 0.4f},
        {1.8f, he - 1.4f},             // cone down to the voice coil
        {1.5f, he - 1.1f},             // dust cap
        {0.9f, he - 0.55f},
        {0.0f, he - 0.4f},
    };
    std::vector<float> along(p.size(), 0.0f);
    for (size_t k = 1; k < p.size(); ++k)
        along[k] = along[k - 1] + length(Vec3{p[k].x - p[k - 1].x, p[k].y - p[k - 1].y, 0});
    const float total = along.back();
    return {p, along[2] / total, along[4] / total, along[6] / total, along[7] / total};
}

Mesh speaker()
{
    const SpeakerProfile profile = speaker_profile();
    Mesh mesh;
    mesh.use_material(material_clamped_map("wildspeaker_speaker", SPEAKER_FACE));
    mesh.append(lathe(profile.points, SPEAKER_SLICES));
    return mesh;
}

// The speaker's face along its profile (v, bottom to top of the picture)
// and around it (u): a dark frame, a chrome bezel with six screws, a black
// rubber surround with a highlight, a dark cone with fine rings, a silver
// dust cap. Light falls from one side (u = 0.125), baked in.
Canvas speaker_face()
{
    const SpeakerProfile p = speaker_profile();
    Canvas c(256, 256);
    c.shade([&](float u, float v) {
        const float side = 0.5f + 0.5f * std::cos(2.0f * PI * (u - 0.125f)); // 1 facing the light
        if (v < p.bezel_from)
            return rgba(0.08f, 0.08f, 0.09f);
        if (v < p.surround_from) {
            const float t = (v - p.bezel_from) / (p.surround_from - p.bezel_from);
            const float g = 0.45f + 0.35f * side + 0.2f * std::sin(t * PI);
            const float screw = std::fabs(std::fmod(u * 6.0f + 0.5f, 1.0f) - 0.5f) < 0.03f && t > 0.55f ? 0.25f : 1;
            return rgba(g * 0.92f * screw, g * 0.95f * screw, g * screw);
        }
        if (v < p.cone_from) {
            const float t = (v - p.surround_from) / (p.cone_from - p.surround_from);
            const float g = 0.05f + 0.18f * side * std::pow(std::sin(t * PI), 4.0f);
            return rgba(g, g, g * 1.1f);
        }
        if (v < p.cap_from) {
            const float t = (v - p.cone_from) / (p.cap_from - p.cone_from);
            const float ring = 0.5f + 0.5f * std::cos(t * 2.0f * PI * 9.0f);
            const float g = 0.1f + 0.05f * ring + 0.08f * side * (1.0f - t);
            return rgba(g, g * 1.02f, g * 1.12f);
        }
        const float t = (v - p.cap_from) / (1.0f - p.cap_from);
        const float g = 0.35f + 0.45f * side * (1.0f - t) + 0.2f * t;
        return rgba(g * 0.95f, g * 0.97f, g);
    });
    return c;
}

// A disc over the speaker's face, t from its centre (0) to its rim (1).
Mesh light_plate()
{
    const float h = socket_edge_height() + 0.9f;
    return lathe({{0.0f, h}, {socket_edge_radius() + 1.0f, h}}, 32);
}

// A long cone from the speaker's face, t from the face (0) to its end (1).
Mesh light_beam()
{
    const float h = socket_edge_height() + 0.9f;
    std::vector<Vec2> profile;
    const int rings = 6;
    for (int k = 0; k <= rings; ++k) {
        const float t = float(k) / float(rings);
        profile.push_back({socket_edge_radius() - 1.0f + t * (BEAM_END_RADIUS - socket_edge_radius()),
                           h + t * BEAM_LENGTH});
    }
    return lathe(profile, 32);
}

// --- the corridor ------------------------------------------------------------------

// A box of size (radial, along, across) centred at radial distance r and
// height y on the octagon's face k (its normal turned 45 k degrees about y).
Mat4 on_face(int k, float r, float y)
{
    return Mat4::rotate_y(45.0f * float(k)) * Mat4::translate({r, y, 0});
}

// A box of size (radial, along, across) for on_face without its face
// towards the axis. That face lies against the layer inside it, so it is
// never seen, yet the renderer would depth-test every pixel of it.
Mesh box_without_inner_face(Vec3 size)
{
    const Mesh full = box(size);
    const std::vector<Mesh::Vertex>& vertices = full.get_vertices();
    const std::vector<uint32_t>& triangles = full.get_triangles();
    std::vector<uint32_t> index(vertices.size(), UINT32_MAX);
    Mesh mesh;
    for (size_t t = 0; t + 2 < triangles.size(); t += 3) {
        if (vertices[triangles[t]].normal.x < -0.5f)
            continue;
        uint32_t corner[3];
        for (int j = 0; j < 3; ++j) {
            const uint32_t v = triangles[t + size_t(j)];
            if (index[v] == UINT32_MAX)
                index[v] = mesh.add_vertex(vertices[v].position, vertices[v].normal, vertices[v].uv);
            corner[j] = index[v];
        }
        mesh.add_triangle(corner[0], corner[1], corner[2]);
    }
    return mesh;
}

// A box of size (radial, along, across) for on_face whose face towards the
// axis is a grid of along x across quads, without its face away from the
// axis (it lies against the layer behind it and is never seen). Each side
// is split where the grid's edge beside it is, so their corners meet and no
// pixel shows through between them.
Mesh box_with_grid_face(Vec3 size, int along, int across)
{
    return box_in_steps(size, 1, along, across, {1, 0, 0});
}

Mesh corridor_segment()
{
    const float face_width = 2.0f * CORRIDOR_APOTHEM * std::tan(22.5f * DEG);
    const int cells = int(SEGMENT_LENGTH / CELL_LENGTH);
    Mesh mesh;

    // Nearest the axis first: the panels' pixels behind the lamps and ribs
    // then fail the depth test instead of being lit and then covered.
    const float rib_r = CORRIDOR_APOTHEM - 0.5f * RIB_DEPTH;
    const float rib_width = 2.0f * CORRIDOR_APOTHEM * std::tan(22.5f * DEG) + 1.0f;

    // Lamps, unlit: a ring on the first rib's inner face, and strips along two
    // opposite faces in every cell.
    mesh.use_material(material_unlit("wildspeaker_corridor_lamp", {0.9f, 0.97f, 1.0f}));
    for (int k = 0; k < 8; ++k)
        mesh.append(box({1.0f, RIB_THICKNESS + 2.0f, rib_width - 14.0f}),
                    on_face(k, CORRIDOR_APOTHEM - RIB_DEPTH - 0.5f, 0.0f));
    for (int k : {2, 6})
        for (int j = 0; j < cells; ++j)
            mesh.append(box({1.5f, 0.6f * CELL_LENGTH, 10.0f}),
                        on_face(k, CORRIDOR_APOTHEM - 0.75f, (float(j) + 0.5f) * CELL_LENGTH));

    // Grey ribs standing in from the panels at every cell's start; the first
    // holds the lamp ring of the segment's light.
    mesh.use_material(material_colour("wildspeaker_corridor_rib", {0.45f, 0.47f, 0.52f}, {0.4f, 0.4f, 0.4f}, 24));
    for (int j = 0; j < cells; ++j)
        for (int k = 0; k < 8; ++k)
            mesh.append(box_with_grid_face({RIB_DEPTH, RIB_THICKNESS, rib_width}, 1, RIB_GRID_ACROSS),
                        on_face(k, rib_r, float(j) * CELL_LENGTH));

    // White panels, one per face and cell.
    mesh.use_material(material_colour("wildspeaker_corridor_panel", {0.64f, 0.66f, 0.7f}, {0.2f, 0.2f, 0.2f}, 16));
    const float panel_width = 0.5f * face_width;
    for (int k = 0; k < 8; ++k)
        for (int j = 0; j < cells; ++j)
            for (float across : {-0.5f, 0.5f})
                mesh.append(box_with_grid_face({PANEL_THICKNESS, CELL_LENGTH - SEAM, panel_width - SEAM},
                                               PANEL_GRID_ALONG, PANEL_GRID_ACROSS),
                            on_face(k, CORRIDOR_APOTHEM + 0.5f * PANEL_THICKNESS, (float(j) + 0.5f) * CELL_LENGTH) *
                                Mat4::translate({0, 0, across * panel_width}));

    // The layers behind the panels come last: drawn after them, only the
    // seams (and the outside) pass the depth test and get shaded, instead of
    // the whole wall twice over. Dark backing behind the panels' seams: a
    // strip under the seam down each face's middle, one under each corner's
    // gap (reaching past the face's edge, where it meets its neighbour's) and
    // one under the half seam at the segment's far end, which the next
    // segment's first rib hides except at the row's end. A ray through a seam
    // stays between the panels' sides until it reaches the backing, so it
    // lands within the seam; the strips reach a unit past it either way.
    mesh.use_material(material_colour("wildspeaker_corridor_seam", {0.25f, 0.26f, 0.3f}));
    const float back_r = CORRIDOR_APOTHEM + PANEL_THICKNESS; // its inner face right behind the panels
    const float back_width = 2.0f * back_r * std::tan(22.5f * DEG) + 2.0f;
    const float strip = SEAM + 2.0f;
    const float corner_from = 0.5f * face_width - 0.5f * strip; // across, where the corner strip starts
    const float corner_width = 0.5f * back_width - corner_from;
    for (int k = 0; k < 8; ++k) {
        const Mat4 face = on_face(k, back_r + 1.0f, 0.5f * SEGMENT_LENGTH);
        mesh.append(box({2.0f, SEGMENT_LENGTH, strip}), face);
        for (float side : {-1.0f, 1.0f})
            mesh.append(box({2.0f, SEGMENT_LENGTH, corner_width}),
                        face * Mat4::translate({0, 0, side * (corner_from + 0.5f * corner_width)}));
        mesh.append(box({2.0f, strip, back_width}),
                    on_face(k, back_r + 1.0f, SEGMENT_LENGTH - 0.5f * strip));
    }

    // The hull seen from outside when the corridor tumbles past the eye: no
    // light reaches it (the segment's light is inside), so it is unlit, a
    // pale grey with darker ribs, and fogs to white like the rest.
    const float hull_r = back_r + 3.0f; // against the backing: no dark gap between the layers
    const float hull_width = 2.0f * hull_r * std::tan(22.5f * DEG) + 2.0f;
    mesh.use_material(material_unlit("wildspeaker_corridor_hull", {0.72f, 0.74f, 0.78f}));
    for (int k = 0; k < 8; ++k)
        mesh.append(box_without_inner_face({2.0f, SEGMENT_LENGTH, hull_width}),
                    on_face(k, hull_r, 0.5f * SEGMENT_LENGTH));
    mesh.use_material(material_unlit("wildspeaker_corridor_hull_rib", {0.42f, 0.44f, 0.48f}));
    for (int j = 0; j < cells; ++j)
        for (int k = 0; k < 8; ++k)
            mesh.append(box_without_inner_face({6.0f, RIB_THICKNESS, hull_width + 4.0f}),
                        on_face(k, hull_r + 4.0f, float(j) * CELL_LENGTH));

    return mesh;
}

} // namespace

bool generate_wildspeaker(DataContext& data)
{
    return ball_shell().write(data, DIR + "wildspeaker_sphere.bzobj") &&
           internal_additive().write(data, DIR + "wildspeaker_internal_additive.bzobj") &&
           inner_sphere().write(data, DIR + "wildspeaker_inner_sphere.bzobj") &&
           speaker().write(data, DIR + "wildspeaker_speaker.bzobj") &&
           write_png(data, DIR + SPEAKER_FACE, speaker_face(), 3, Addressing::unit_coordinates) &&
           light_beam().write(data, DIR + "wildspeaker_beam.bzobj") &&
           light_plate().write(data, DIR + "wildspeaker_lightplates.bzobj") &&
           corridor_segment().write(data, DIR + "wildspeaker_corridor.bzobj");
}
