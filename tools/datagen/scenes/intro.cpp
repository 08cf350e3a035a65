// The intro's meshes and their textures, in models/mirvok_intro/.
//
// Designed for the intro's camera: the eye drifts from (4, -2.1, 12) to
// (-6, -2.1, 12) over 22 s looking towards z = -4.7, 85 degrees high, near
// 0.5, far 100. The logo stands in the plane z = 0: the emblem (the turning
// arrow and block of cubes, placed at x = -6 by the scene, inside a static
// ring) and the word "MIRVOK" to its right, so both ends of the drift frame
// all of it. Behind it: three dark plates (drawn at x = 36, 0, -36 with y
// doubled) at z = -32, the orange band layers (seven copies 4 units apart
// from z = -4, columns 101.9 units apart, scrolling in x), the dark band
// and six blink strips whose repeated textures scroll.
#include "generator.h"
#include "toolkit/image.h"
#include "toolkit/mesh.h"

#include <cmath>

using namespace toolkit;

namespace {

const std::string DIR = "models/mirvok_intro/";

// Texture files named by the materials (bare names, unique in the data tree).
const char* const BAND_TEXTURE = "intro_band_glow.png";
const char* const DARK_BAND_TEXTURE = "intro_dark_band.png";
const char* const BLINK_TEXTURE = "intro_blink_dashes.png";

// One column of bands: the scene repeats it every 101.9 units in x, so it
// spans exactly that width and the columns join without a seam or overlap.
const float BAND_COLUMN_WIDTH = 101.9f;

// The largest cell of the plates' faces (the scene doubles their height).
const float PLATE_CELL = 4.0f;

// The emblem's centre, where the scene places the arrow and the cubes.
const float EMBLEM_X = -6.0f;

// --- logo --------------------------------------------------------------------

cMaterial logo_white()
{
    return material_colour("logo_white", {0.82f, 0.84f, 0.88f}, {0.7f, 0.7f, 0.7f}, 40.0f);
}

// The word, an underline and the ring around the emblem.
Mesh logo_static()
{
    Mesh mesh;
    mesh.use_material(logo_white());
    const float height = 2.4f, stroke = 0.42f, depth = 0.6f;
    const float left = -2.4f, baseline = -1.0f;
    Mesh word = text("MIRVOK", height, stroke, depth);
    mesh.append(word, Mat4::translate({left, baseline, -depth * 0.5f}));
    const float width = word.bounds().size().x;
    // The underline starts under the ring's right edge and ends with the word.
    Mesh rule = box({width + 0.6f, 0.16f, 0.3f});
    mesh.append(rule, Mat4::translate({left - 0.6f + (width + 0.6f) * 0.5f, baseline - 0.75f, 0.0f}));
    // The ring in the xy plane, with four ticks pointing inwards.
    mesh.append(torus(3.05f, 0.17f, 72, 10), Mat4::translate({EMBLEM_X, 0, 0}) * Mat4::rotate_x(90.0f));
    for (int k = 0; k < 4; ++k) {
        Mat4 place = Mat4::translate({EMBLEM_X, 0, 0}) * Mat4::rotate_z(45.0f + 90.0f * float(k)) *
                     Mat4::translate({2.7f, 0, 0});
        mesh.append(box({0.5f, 0.12f, 0.2f}), place);
    }
    return mesh;
}

// A pointer from r = 1.3 to its tip at r = 2.85 along +x, with a short
// counterweight bar on the other side; in the xy plane around the pivot.
Mesh logo_arrow()
{
    Mesh mesh;
    mesh.use_material(material_colour("logo_amber", {1.0f, 0.58f, 0.12f}, {0.8f, 0.7f, 0.5f}, 30.0f));
    const float depth = 0.34f;
    const std::vector<Vec2> pointer = {{1.3f, -0.14f}, {2.2f, -0.14f}, {2.2f, -0.45f}, {2.85f, 0.0f},
                                       {2.2f, 0.45f},  {2.2f, 0.14f},  {1.3f, 0.14f}};
    mesh.append(extrude(pointer, depth), Mat4::translate({0, 0, -depth * 0.5f}));
    const std::vector<Vec2> tail = {{-2.3f, -0.1f}, {-1.3f, -0.1f}, {-1.3f, 0.1f}, {-2.3f, 0.1f}};
    mesh.append(extrude(tail, depth), Mat4::translate({0, 0, -depth * 0.5f}));
    return mesh;
}

// A 3 x 3 x 3 block of cubes without the centre cross (twenty cubes), about
// the pivot. The scene tints it orange with colour material.
Mesh logo_cubes()
{
    Mesh mesh;
    mesh.use_material(material_colour("logo_cube", {1.0f, 0.68f, 0.0f}, {0.9f, 0.8f, 0.6f}, 50.0f));
    const float size = 0.42f, step = 0.52f;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) {
                if ((i == 1) + (j == 1) + (k == 1) >= 2)
                    continue;
                Vec3 at = {float(i - 1) * step, float(j - 1) * step, float(k - 1) * step};
                mesh.append(box({size, size, size}), Mat4::translate(at));
            }
    return mesh;
}

// --- backdrop ------------------------------------------------------------------

// A tall dark panel facing +z at z = -32 with raised ribs; the scene draws it
// three times with y doubled, so its 40 units of height become 80.
Mesh backplate_vert()
{
    Mesh mesh;
    const float z = -32.0f;
    // Every face a grid of cells PLATE_CELL across: the scene lights the
    // plates at the vertices, and their dim sheen then falls across each face
    // as it would lit per pixel.
    const auto part = [](Vec3 size) { return box_in_cells(size, PLATE_CELL); };
    // The ribs and rails first, the panel behind them last: the depth test
    // then turns away the panel's pixels they cover before the renderer
    // shades them.
    mesh.use_material(material_colour("plate_rib", {0.15f, 0.155f, 0.18f}, {0.12f, 0.12f, 0.13f}, 20.0f));
    Rng rng(0x1a7e0u);
    for (int r = 0; r < 14; ++r) {
        float y = -18.0f + float(r) * 2.8f;
        float w = rng.uniform(8.0f, 26.0f);
        float x = rng.uniform(-13.0f + w * 0.5f, 13.0f - w * 0.5f + 0.01f);
        mesh.append(part({w, rng.uniform(0.25f, 0.9f), 0.5f}), Mat4::translate({x, y, z + 0.4f}));
    }
    // Two vertical rails along the edges.
    for (float x : {-14.2f, 14.2f})
        mesh.append(part({0.8f, 40.0f, 0.8f}), Mat4::translate({x, 0, z + 0.5f}));
    mesh.use_material(material_colour("plate_dark", {0.07f, 0.075f, 0.095f}, {0.05f, 0.05f, 0.06f}, 12.0f));
    mesh.append(part({30.0f, 40.0f, 0.5f}), Mat4::translate({0, 0, z}));
    return mesh;
}

// A flat quad in the plane z from (x0, y0) to (x1, y1), facing +z, with
// texture coordinates (u0, v0) to (u1, v1).
void add_flat_quad(Mesh& mesh, float x0, float y0, float x1, float y1, float z, float u0, float u1, float v0 = 0,
                   float v1 = 1)
{
    const Vec3 n = {0, 0, 1};
    uint32_t a = mesh.add_vertex({x0, y0, z}, n, {u0, v0});
    uint32_t b = mesh.add_vertex({x1, y0, z}, n, {u1, v0});
    uint32_t c = mesh.add_vertex({x1, y1, z}, n, {u1, v1});
    uint32_t d = mesh.add_vertex({x0, y1, z}, n, {u0, v1});
    mesh.add_quad(a, b, c, d);
}

// Below this fraction of the way across from either edge, a band's glow is
// under 55 of 255 (29 at 0.2, 3 at 0.09), which the bands' alpha (at most
// 0.12) brings to under 7 of red a layer, fading to nothing towards the
// edge: a segment leaves those strips out. Each band layer covers much of
// the frame, 28 times over, and the renderer pays per pixel drawn, lit or
// not: the strips between 0.09 and 0.26 are over a third of the bands'
// pixels. Leaving out those up to 0.2 changed the intro's frames by 0.25 to
// 0.35 of 255 on average, and those from 0.2 to 0.26 by 0.5 more, with the
// bands' soft edges still soft.
const float BAND_DARK_EDGE = 0.26f;
// Each band's core glows twice: the glow across the band again, squeezed
// into this fraction of its height in the middle (in the texture, not as a
// second layer of pixels).
const float BAND_CORE_HEIGHT = 0.4f;

// A segment of a band from x0 to x1, the glow texture across its height,
// without the texture's dark edges.
void band_segment(Mesh& mesh, float x0, float x1, float y, float height)
{
    const float e = BAND_DARK_EDGE;
    add_flat_quad(mesh, x0, y - height * (0.5f - e), x1, y + height * (0.5f - e), 0, 0, 1, e, 1 - e);
}

// One column of horizontal bands: glowing segments of several lengths on a
// few rows, across exactly BAND_COLUMN_WIDTH in x (the scene draws it 28
// times, in orange, additively). Each segment shows the glow texture along
// its whole length, whose ends fade, so segments end softly.
Mesh backplate_horiz()
{
    Mesh mesh;
    mesh.use_material(material_clamped_map("band_glow", BAND_TEXTURE));
    struct Row
    {
        float y, height;
    };
    const Row rows[] = {{-13.0f, 3.0f}, {-8.5f, 1.2f}, {-6.0f, 2.4f}, {4.0f, 1.0f},
                        {6.5f, 2.8f},   {10.5f, 1.4f}, {14.5f, 3.4f}, {19.0f, 1.8f}};
    Rng rng(0xba9d5u);
    const float half = BAND_COLUMN_WIDTH * 0.5f;
    for (const Row& row : rows) {
        float x = -half;
        while (x < half - 1.0f) {
            float len = rng.uniform(6.0f, 30.0f);
            float end = std::fmin(x + len, half);
            band_segment(mesh, x, end, row.y, row.height);
            x = end + rng.uniform(2.0f, 12.0f);
        }
    }
    return mesh;
}

// The dark band behind the word: a wide strip the scene blends over the
// backdrop at 20 %, soft at top and bottom (the texture's alpha).
Mesh backplate_horiz_black()
{
    Mesh mesh;
    mesh.use_material(material_clamped_map("band_dark", DARK_BAND_TEXTURE));
    add_flat_quad(mesh, -70.0f, -4.2f, 70.0f, 4.0f, -2.0f, 0, 1);
    return mesh;
}

// Blink strip j: a thin strip above (j < 3) or below the logo, its repeated
// dash texture running along x, one repetition every `period` units.
Mesh blink(int j)
{
    struct Strip
    {
        float x0, x1, y, height, period;
    };
    const Strip strips[6] = {
        {-30.0f, 26.0f, 4.3f, 0.14f, 2.0f},  {-22.0f, 34.0f, 4.75f, 0.08f, 1.2f}, {-36.0f, 14.0f, 5.15f, 0.2f, 3.2f},
        {-28.0f, 30.0f, -4.3f, 0.14f, 2.4f}, {-40.0f, 20.0f, -4.7f, 0.08f, 1.4f}, {-18.0f, 38.0f, -5.1f, 0.2f, 3.0f},
    };
    const Strip& s = strips[j];
    Mesh mesh;
    mesh.use_material(material_repeated_map("blink_dashes", BLINK_TEXTURE));
    add_flat_quad(mesh, s.x0, s.y - s.height * 0.5f, s.x1, s.y + s.height * 0.5f, -1.5f, s.x0 / s.period,
                  s.x1 / s.period);
    return mesh;
}

// --- textures -------------------------------------------------------------------

// The glow across a band, v from 0 to 1: a soft body and a bright core.
float band_profile(float v)
{
    float body = std::pow(std::sin(PI * v), 3.0f);
    float core = std::exp(-std::pow((v - 0.5f) / 0.06f, 2.0f));
    return 0.55f * body + 0.45f * core;
}

// The band's light, at half strength: across v the profile plus the same
// profile squeezed into the middle BAND_CORE_HEIGHT (without its dark edges,
// as a segment is drawn), which reaches 2 in the middle; along u a soft fade
// at both ends. The scene draws the bands with twice their alpha, so each
// layer adds the whole of it. 128 texels high, so the squeezed core keeps
// its shape.
Canvas band_texture()
{
    Canvas c(128, 128);
    c.shade([](float u, float v) {
        float k = band_profile(v);
        float inner = 0.5f + (v - 0.5f) / BAND_CORE_HEIGHT;
        if (inner >= BAND_DARK_EDGE && inner <= 1.0f - BAND_DARK_EDGE)
            k += band_profile(inner);
        k *= 0.5f * smoothstep(0.0f, 0.12f, u) * smoothstep(1.0f, 0.88f, u);
        return rgba(k, k, k);
    });
    return c;
}

// Near black, opaque in the middle and fading out at top and bottom.
Canvas dark_band_texture()
{
    Canvas c(16, 64);
    c.shade([](float, float v) {
        float a = smoothstep(0.0f, 0.35f, v) * smoothstep(1.0f, 0.65f, v);
        return rgba(0.01f, 0.01f, 0.015f, a);
    });
    return c;
}

// Four dashes of light per repetition, two amber and two white of
// different lengths, with soft ends; black between them.
Canvas blink_texture()
{
    Canvas c(128, 16);
    struct Dash
    {
        float u0, u1;
        Rgba colour;
    };
    const Dash dashes[] = {{0.04f, 0.16f, rgba(1.0f, 0.62f, 0.15f)},
                           {0.24f, 0.28f, rgba(1.0f, 0.95f, 0.85f)},
                           {0.40f, 0.62f, rgba(1.0f, 0.5f, 0.08f)},
                           {0.74f, 0.80f, rgba(0.9f, 0.95f, 1.0f)}};
    c.shade([&](float u, float v) {
        Rgba out = rgba(0, 0, 0);
        float across = smoothstep(0.0f, 0.3f, v) * smoothstep(1.0f, 0.7f, v);
        for (const Dash& d : dashes) {
            float k = smoothstep(d.u0, d.u0 + 0.015f, u) * smoothstep(d.u1, d.u1 - 0.015f, u) * across;
            out.r += d.colour.r * k;
            out.g += d.colour.g * k;
            out.b += d.colour.b * k;
        }
        return out;
    });
    return c;
}

bool write_mesh(DataContext& data, const Mesh& mesh, const std::string& name)
{
    return mesh.write(data, DIR + name);
}

} // namespace

bool generate_intro(DataContext& data)
{
    bool ok = write_mesh(data, logo_arrow(), "logo_arrow.bzobj") &&
              write_mesh(data, logo_cubes(), "logo_cubes.bzobj") &&
              write_mesh(data, logo_static(), "logo_static.bzobj") &&
              write_mesh(data, backplate_horiz(), "backplate_horiz.bzobj") &&
              write_mesh(data, backplate_horiz_black(), "backplate_horiz_black.bzobj") &&
              write_mesh(data, backplate_vert(), "backplate_vert.bzobj");
    for (int j = 0; ok && j < 6; ++j)
        ok = write_mesh(data, blink(j), "blink0" + std::to_string(j + 1) + ".bzobj");
    return ok && write_png(data, DIR + BAND_TEXTURE, band_texture(), 3, Addressing::unit_coordinates) &&
           write_png(data, DIR + DARK_BAND_TEXTURE, dark_band_texture(), 4, Addressing::unit_coordinates) &&
           write_png(data, DIR + BLINK_TEXTURE, blink_texture(), 3, Addressing::unit_coordinates);
}
