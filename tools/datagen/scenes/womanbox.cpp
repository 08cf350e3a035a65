// The woman box scene's greebled box, the group's flat logo and the box's
// sphere map, in models/womanbox/.
//
// The scene turns the box about y (one turn in 18 s) and views it from ten
// eyes looking at the origin, 118 degrees high: eight about 90 units away
// at y = 80 (x -40..40, z = -41), and three nearer ones at y = 40 (57 to 65
// units away) and one from below at y = -40. It draws it additively without
// depth test or culling (colour (1, 0.7, 0.7) at alpha 0.3 times the
// sphere map), blurs the half-size picture and shows it in negative. So:
// - the box is 104 x 40 x 104 units with greebles standing at most 11 units
//   off its faces: its top stays 9 units below the eyes at y = 40 and its
//   bottom above the one at y = -40, and from 90 units it fills about half
//   of the frame's height;
// - every surface adds light, so the box reads by how many layers overlap:
//   a grid of raised panels of different heights with a few towers, pipes
//   on clamps, vent slats and ribs along the edges give each face its own
//   pattern of overlaps, which the negative turns into dark detail on
//   white. The blur of the half-size picture smears anything much under
//   8 units at 90 units' distance, so every greeble is built from that size;
// - normals come from the primitives (flat faces, round pipes): the sphere
//   map colours each facet by its direction, so the colours shift as it
//   turns.
//
// The logo is drawn in a 0..1 screen space under glOrtho, moved to
// (1.2 - 0.41 s, 0.3) and scaled by 4, with the blend function
// (1 - destination colour, 0) and a depth test: it inverts what lies under
// it, once even where its strokes overlap, as long as it is flat (z = 0).
// It is laid out a quarter of its screen size, the word "MIRVOK" 0.16
// screen heights tall over a bar, with x shrunk by 768/1024 so the 4:3 frame
// shows its letters in their true proportions (about 0.7 screen widths).
#include "generator.h"
#include "toolkit/font.h"
#include "toolkit/image.h"
#include "toolkit/mesh.h"

#include <cmath>

using namespace toolkit;

namespace {

const std::string DIR = "models/womanbox/";

// Half the core box's extents: wide and low, so its top stays 14 units
// below the eyes at y = 40 and its bottom above the eye at y = -40.
const Vec3 BOX_HALF = {52.0f, 20.0f, 52.0f};
const int FACE_SPLITS = 4; // depth of the panel subdivision
// The blur of the half-size picture smears anything under about 8 units
// seen from 90: greebles are built from that size up.
const float PANEL_MIN = 10.0f;

// One face's frame: the face plane at local y = offset, its rectangle
// |u| <= half_u, |v| <= half_v (local x and z), and where it goes.
struct Face
{
    float half_u, half_v, offset;
    Mat4 place;
};

// A block of size (su, h, sv) standing on the face plane at (u, v), lifted
// by base.
void add_block(Mesh& mesh, const Face& f, float u, float v, float su, float sv, float h, float base = 0.0f)
{
    mesh.append(box({su, h, sv}), Mat4::translate({u, f.offset + base + h * 0.5f, v}));
}

// Raised panels: the face's rectangle split at random points into smaller
// ones, each a slab inset from its neighbours at a height of its own; some
// carry a smaller block on top, a few stand as towers.
void add_panels(Mesh& mesh, const Face& f, Rng& rng, float u0, float v0, float u1, float v1, int depth)
{
    const float du = u1 - u0, dv = v1 - v0;
    if (depth == 0 || (du < 2.0f * PANEL_MIN && dv < 2.0f * PANEL_MIN) ||
        (depth < FACE_SPLITS && rng.uniform() < 0.2f)) {
        const float tower = rng.uniform();
        const float h = tower < 0.15f ? rng.uniform(5.0f, 8.0f) : rng.uniform(0.8f, 3.0f);
        const float cu = (u0 + u1) * 0.5f, cv = (v0 + v1) * 0.5f;
        add_block(mesh, f, cu, cv, du - 1.5f, dv - 1.5f, h);
        if (tower > 0.55f && du > 8.0f && dv > 8.0f)
            add_block(mesh, f, cu, cv, du * 0.5f, dv * 0.5f, rng.uniform(1.5f, 3.0f), h);
        return;
    }
    const bool along_u = du > dv ? rng.uniform() < 0.8f : rng.uniform() < 0.2f;
    const float t = rng.uniform(0.3f, 0.7f);
    if (along_u) {
        const float cut = u0 + du * t;
        add_panels(mesh, f, rng, u0, v0, cut, v1, depth - 1);
        add_panels(mesh, f, rng, cut, v0, u1, v1, depth - 1);
    } else {
        const float cut = v0 + dv * t;
        add_panels(mesh, f, rng, u0, v0, u1, cut, depth - 1);
        add_panels(mesh, f, rng, u0, cut, u1, v1, depth - 1);
    }
}

// A pipe lying over the panels along u (or v) from one end of the face to
// the other, on clamps.
void add_pipe(Mesh& mesh, const Face& f, Rng& rng, bool along_u)
{
    const float r = rng.uniform(1.5f, 2.5f);
    const float half_along = along_u ? f.half_u : f.half_v, half_across = along_u ? f.half_v : f.half_u;
    const float across = rng.uniform(-half_across + 5.0f, half_across - 5.0f);
    const float lift = 3.2f + r;
    const Mat4 lie = along_u ? Mat4::rotate_z(-90.0f) : Mat4::rotate_x(90.0f);
    const Vec3 start = along_u ? Vec3{-half_along + 1.0f, f.offset + lift, across}
                               : Vec3{across, f.offset + lift, -half_along + 1.0f};
    mesh.append(cylinder(r, r, 2.0f * half_along - 2.0f, 12), Mat4::translate(start) * lie);
    for (float s = -half_along + 6.0f; s < half_along - 4.0f; s += 12.0f) {
        if (along_u)
            add_block(mesh, f, s, across, 2.0f, 2.0f * r + 2.0f, lift);
        else
            add_block(mesh, f, across, s, 2.0f * r + 2.0f, 2.0f, lift);
    }
}

// A vent: a raised frame with a row of tall slats.
void add_vent(Mesh& mesh, const Face& f, Rng& rng)
{
    const float u = rng.uniform(-f.half_u + 10.0f, f.half_u - 10.0f);
    const float v = rng.uniform(-f.half_v + 8.0f, f.half_v - 8.0f);
    const int slats = 4 + int(rng.next() % 4);
    const float pitch = 2.6f, span = float(slats) * pitch;
    add_block(mesh, f, u, v, span + 3.0f, 12.0f, 2.0f);
    for (int k = 0; k < slats; ++k)
        add_block(mesh, f, u - span * 0.5f + pitch * (float(k) + 0.5f), v, 1.0f, 10.0f, 4.5f, 2.0f);
}

Mesh face_greebles(const Face& f, uint32_t seed)
{
    Rng rng(seed);
    Mesh face;
    add_panels(face, f, rng, -f.half_u, -f.half_v, f.half_u, f.half_v, FACE_SPLITS);
    const int pipes = 1 + int(rng.next() % 2);
    for (int k = 0; k < pipes; ++k)
        add_pipe(face, f, rng, (rng.next() & 1) != 0);
    add_vent(face, f, rng);
    Mesh placed;
    placed.append(face, f.place);
    return placed;
}

// Bars of 4 x 4 along the twelve edges, standing out past the faces.
Mesh edge_ribs()
{
    Mesh ribs;
    const float t = 4.0f;
    const Vec3 h = BOX_HALF + Vec3{1.0f, 1.0f, 1.0f};
    for (float a : {-1.0f, 1.0f})
        for (float b : {-1.0f, 1.0f}) {
            ribs.append(box({2.0f * h.x + t, t, t}), Mat4::translate({0, a * h.y, b * h.z}));
            ribs.append(box({t, 2.0f * h.y + t, t}), Mat4::translate({a * h.x, 0, b * h.z}));
            ribs.append(box({t, t, 2.0f * h.z + t}), Mat4::translate({a * h.x, b * h.y, 0}));
        }
    return ribs;
}

Mesh greebled_box()
{
    Mesh mesh;
    mesh.append(box(BOX_HALF * 2.0f));
    // rotate_x(90) takes local y to +z and local z to -y; rotate_z(90) takes
    // local y to -x and local x to +y.
    const Face faces[6] = {
        {BOX_HALF.x, BOX_HALF.z, BOX_HALF.y, Mat4()},
        {BOX_HALF.x, BOX_HALF.z, BOX_HALF.y, Mat4::rotate_x(180.0f)},
        {BOX_HALF.x, BOX_HALF.y, BOX_HALF.z, Mat4::rotate_x(90.0f)},
        {BOX_HALF.x, BOX_HALF.y, BOX_HALF.z, Mat4::rotate_x(-90.0f)},
        {BOX_HALF.y, BOX_HALF.z, BOX_HALF.x, Mat4::rotate_z(90.0f)},
        {BOX_HALF.y, BOX_HALF.z, BOX_HALF.x, Mat4::rotate_z(-90.0f)},
    };
    for (int k = 0; k < 6; ++k)
        mesh.append(face_greebles(faces[k], 0xb0c5u + 977u * uint32_t(k)));
    mesh.append(edge_ribs());
    return mesh;
}

// --- the logo --------------------------------------------------------------------

// Letters of the stroke font as flat bars at z = 0 facing +z: a quad per
// stroke and an octagon at every stroke end, so joints are round enough.
// Units: screen heights; the caller shrinks x for the 4:3 frame.
Mesh flat_text(const std::string& s, float height, float stroke, Vec2 at)
{
    const float unit = height / FONT_CAP_HEIGHT, half = stroke * 0.5f;
    const Vec3 n = {0, 0, 1};
    Mesh mesh;
    auto add_octagon = [&](Vec2 c) {
        const uint32_t centre = mesh.add_vertex({c.x, c.y, 0}, n, {0, 0});
        uint32_t first = 0, prev = 0;
        for (int k = 0; k <= 8; ++k) {
            const float a = (22.5f + 45.0f * float(k % 8)) * PI / 180.0f;
            const float r = half / std::cos(22.5f * PI / 180.0f);
            const uint32_t v = k < 8 ? mesh.add_vertex({c.x + r * std::cos(a), c.y + r * std::sin(a), 0}, n, {0, 0})
                                     : first;
            if (k == 0)
                first = v;
            else
                mesh.add_triangle(centre, prev, v);
            prev = v;
        }
    };
    for (const StrokeSegment& seg : font_segments(s)) {
        const Vec2 a = at + seg.a * unit, b = at + seg.b * unit, d = b - a;
        const float len = std::hypot(d.x, d.y);
        const Vec2 side = len > 0 ? Vec2{-d.y, d.x} * (half / len) : Vec2{0, half};
        const Vec2 p[4] = {a - side, b - side, b + side, a + side};
        uint32_t q[4];
        for (int k = 0; k < 4; ++k)
            q[k] = mesh.add_vertex({p[k].x, p[k].y, 0}, n, {0, 0});
        mesh.add_quad(q[0], q[1], q[2], q[3]);
        add_octagon(a);
        add_octagon(b);
    }
    return mesh;
}

Mesh flat_rect(Vec2 from, Vec2 to)
{
    Mesh mesh;
    const Vec3 n = {0, 0, 1};
    const uint32_t a = mesh.add_vertex({from.x, from.y, 0}, n, {0, 0});
    const uint32_t b = mesh.add_vertex({to.x, from.y, 0}, n, {1, 0});
    const uint32_t c = mesh.add_vertex({to.x, to.y, 0}, n, {1, 1});
    const uint32_t d = mesh.add_vertex({from.x, to.y, 0}, n, {0, 1});
    mesh.add_quad(a, b, c, d);
    return mesh;
}

Mesh logo()
{
    const float cap = 0.16f, stroke = 0.028f;
    const float width = font_width("MIRVOK") * cap / FONT_CAP_HEIGHT + stroke;
    Mesh mesh = flat_text("MIRVOK", cap, stroke, {stroke * 0.5f, 0.05f});
    // A bar under the word with a gap at a third of its length.
    mesh.append(flat_rect({0, 0}, {width * 0.33f, 0.018f}));
    mesh.append(flat_rect({width * 0.36f, 0}, {width, 0.018f}));
    // To the scene's space: a quarter of the screen size, x over the 4:3 frame.
    mesh.transform(Mat4::scale(Vec3{0.25f * 768.0f / 1024.0f, 0.25f, 1.0f}));
    return mesh;
}

// --- the sphere map ---------------------------------------------------------------

// A swirl of light: spiral arms winding into a white-hot centre, amber and
// rose along the arms, deep violet between them, so every direction of the
// box's facets picks up some light.
Canvas solar_vortex_picture()
{
    const int size = 512;
    Canvas c(size, size);
    c.shade([](float u, float v) {
        const float x = u - 0.5f, y = v - 0.5f;
        const float r = std::hypot(x, y) * 2.0f; // 0 at the centre, 1 at the disc's rim
        const float angle = std::atan2(y, x);
        const float arm = 0.5f + 0.5f * std::cos(4.0f * angle + 7.0f * std::log(r + 0.06f));
        const float arms = std::pow(arm, 2.5f);
        const float core = std::exp(-r * r / 0.04f);
        const float fade = 1.0f - smoothstep(0.8f, 1.05f, r);
        const float fine = 0.85f + 0.15f * fbm(u * 8.0f, v * 8.0f, 3, 8, 0x50a1u);
        const Rgba base = rgba(0.25f, 0.08f, 0.35f);
        const Rgba arm_colour = mix(rgba(1.0f, 0.85f, 0.55f), rgba(1.0f, 0.35f, 0.45f), std::fmin(r, 1.0f));
        Rgba out = mix(base, arm_colour, arms) * (fine * (0.35f + 0.65f * fade));
        out = mix(out, rgba(1, 1, 0.95f), core);
        return out;
    });
    return c;
}

} // namespace

bool generate_womanbox(DataContext& data)
{
    return greebled_box().write(data, DIR + "box_grebble.bzobj") && logo().write(data, DIR + "mirvok_logo.bzobj") &&
           write_jpeg(data, DIR + "Solar_Vortex.jpg", solar_vortex_picture(), Addressing::unit_coordinates);
}
