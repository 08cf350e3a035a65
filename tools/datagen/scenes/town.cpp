// The town (models/town): one block of a town, "crazytown.bzobj", and the
// credits picture "credits.png".
//
// What the scene's code asks of them:
// - The block is drawn 4 x 4, moved by 120 units in x and z each time, so it
//   covers x and z 0..120 and tiles: its streets run along its edges, half a
//   street on each side (local 0..10 and 110..120), and everything that
//   crosses a seam lines up with the neighbour's half.
// - It is drawn with the depth test off, additively (source alpha, one),
//   with colour material tracking the sky's colour at an alpha of 0.02 that
//   rises to 0.145 in a flash, through linear fog from 200 to 400 units in
//   the sky's colour, lit by one light sitting up, right and ahead of the
//   eye. So nothing hides anything: every face adds a little of its lit
//   colour, the town reads where faces and lines pile up: walls, a band at
//   every second floor, lit edges round every tier, masts and beacons,
//   street lines and lamps. The mesh keeps its materials (one per kind of part), but they
//   set no colour and bind no texture (see uncoloured()).
// - Nothing is textured: a vertex's s texture coordinate is how many faces
//   it stands for, which the scene's vertex program multiplies its alpha by
//   (t is 0). The walls stand for two, everything else for one.
// - The eye drifts near (260, 20, 460), down to about 1 unit over 28 s, and
//   jumps by (125, 0, 100), (-50, 5, 0), (10, -10, 10) and (100, 10, -200);
//   it looks at (200, 100, 50) with a 90-degree view. The ground lies at
//   y = -15, under the lowest eye (-10), and the towers reach up to about
//   y = 110 so the skyline stands against the upper half of the frame.
// - "credits.png" is a 1024 x 768 rectangle texture addressed in texels:
//   each quarter of the picture is drawn over the same quarter of the
//   screen, texel for pixel, added at a third of its brightness. So the text
//   is white and heavy on black, kept inside its own quarter with a margin.
#include "generator.h"
#include "toolkit/image.h"
#include "toolkit/mesh.h"
#include "toolkit/type.h"
#include "toolkit/type_effects.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace toolkit;

namespace {

const std::string DIR = "models/town/";

const float BLOCK = 120.0f;
const float GROUND = -15.0f;
const float STREET_HALF = 10.0f; // half a street along each edge of the block
const float ALLEY = 4.0f;        // between the lots inside the block
const float FLOOR = 4.0f;        // storey height
const float BAND = 0.45f;        // height of a floor band
// Floors between two bands. A band is a strip a pixel or two high from most
// of the view, which the software renderer pays for by its length, like a
// line: one on every floor cost about a fifth of the town's frame, and one on
// every second still rules the towers into storeys.
const float BAND_EVERY = 2.0f;

const float TRIM = 0.35f; // width of the lit edge lines
// A face adds only a fiftieth of its colour at rest, so the walls read where
// they pile up: each wall adds the light of two glass panes (the skyline
// reads at rest, and in a flash the towers' thick of the frame burns
// white). It is one pane that stands for two: every pane is another layer
// over all the walls in view, which the software renderer pays for by the
// pixel, and a second pane just behind the first would add the same light.
const float WALL_LAYERS = 2.0f;

// --- materials ------------------------------------------------------------------

// Every material sets no colour of its own (illum 3): the scene's colour
// material gives every group the sky's colour and the flash's alpha, which a
// material's ambient or diffuse colour (or the white diffuse a material's
// texture brings) would replace for the groups drawn after it. So the parts
// differ by their geometry alone: walls, floor bands, edges, masts.
cMaterial uncoloured(const std::string& name)
{
    cMaterial m = material_colour(name, {1, 1, 1});
    m.illum = 3;
    return m;
}

cMaterial edge_lines() { return uncoloured("town_edges"); }
cMaterial street_lines() { return uncoloured("town_street_lines"); }
cMaterial beacons() { return uncoloured("town_beacons"); }
cMaterial lamps() { return uncoloured("town_lamps"); }
cMaterial roofs() { return uncoloured("town_roofs"); }
cMaterial facades() { return uncoloured("town_facades"); }
cMaterial floors() { return uncoloured("town_floor_bands"); }

// --- geometry helpers -------------------------------------------------------------

// A box between two corners.
Mesh box_between(Vec3 lo, Vec3 hi)
{
    Mesh m = box(hi - lo);
    m.transform(Mat4::translate((lo + hi) * 0.5f));
    return m;
}

// A lit line between two corners, as two planes crossing on its axis, each
// twice as wide as the box between the corners is across. Drawn additively
// with no depth test, that box would cover its outline twice (a face at the
// front and one at the back, lit alike under two-sided lighting); a plane
// twice as wide covers it once, so the two planes add the same light for
// each face the box shows, for half the triangles (the box's end faces,
// no wider than the line, are left out). Thin and many, the lines cost the
// software renderer per triangle and per block of pixels they touch, not
// per pixel lit.
//
// A tier's corner posts take only the plane facing along z (facing_z): the
// eye looks along -z, within about 30 degrees, so that plane shows the post
// nearly as wide as both did, while the other, seen edge on, was a sliver
// as long as the tower is tall that lit few pixels yet cost as many blocks
// as the wide one. The post stands where the tier's walls pile up anyway.
// (A line along z has no plane facing z and keeps both.)
void line_between(Mesh& m, Vec3 lo, Vec3 hi, bool facing_z = false)
{
    const Vec3 size = hi - lo, c = (lo + hi) * 0.5f;
    const float extent[3] = {size.x, size.y, size.z};
    const int axis = size.x >= size.y && size.x >= size.z ? 0 : (size.y >= size.z ? 1 : 2);
    const Vec3 unit[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const Vec3 along = unit[axis] * (extent[axis] * 0.5f);
    for (int k = 1; k <= 2; ++k) {
        const int normal_axis = (axis + k) % 3, width_axis = (axis + 3 - k) % 3;
        if (facing_z && normal_axis != 2 && axis != 2)
            continue;
        const Vec3 n = unit[normal_axis];
        // cross(along, n) x along points along n: the corners below run
        // counter-clockwise seen from the side the normal points to.
        const Vec3 u = normalize(cross(along, n)) * extent[width_axis];
        const uint32_t first = uint32_t(m.vertex_count());
        m.add_vertex(c - u - along, n, {0, 0});
        m.add_vertex(c + u - along, n, {1, 0});
        m.add_vertex(c + u + along, n, {1, 1});
        m.add_vertex(c - u + along, n, {0, 1});
        m.add_quad(first, first + 1, first + 2, first + 3);
    }
}

// A flat strip on the ground (facing up) from a to b, width wide.
void ground_strip(Mesh& m, Vec2 a, Vec2 b, float width, float lift = 0.05f)
{
    const Vec3 d = normalize(Vec3{b.x - a.x, 0, b.y - a.y});
    const Vec3 side = Vec3{-d.z, 0, d.x} * (width * 0.5f);
    const float y = GROUND + lift;
    const Vec3 p0{a.x, y, a.y}, p1{b.x, y, b.y};
    const Vec3 up{0, 1, 0};
    const uint32_t i0 = m.add_vertex(p0 - side, up, {0, 0});
    const uint32_t i1 = m.add_vertex(p1 - side, up, {1, 0});
    const uint32_t i2 = m.add_vertex(p1 + side, up, {1, 1});
    const uint32_t i3 = m.add_vertex(p0 + side, up, {0, 1});
    // Counter-clockwise seen from above.
    m.add_quad(i0, i3, i2, i1);
}

// One wall from (x0, z0) to (x1, z1) between heights y0 and y1, facing
// outward (to the right of the direction of travel), pushed out by proud
// units.
void wall(Mesh& m, Vec2 a, Vec2 b, float y0, float y1, float proud = 0)
{
    const Vec3 along{b.x - a.x, 0, b.y - a.y};
    const Vec3 n = normalize(Vec3{along.z, 0, -along.x});
    const Vec3 out = n * proud;
    const uint32_t i0 = m.add_vertex(Vec3{a.x, y0, a.y} + out, n, {0, 0});
    const uint32_t i1 = m.add_vertex(Vec3{b.x, y0, b.y} + out, n, {1, 0});
    const uint32_t i2 = m.add_vertex(Vec3{b.x, y1, b.y} + out, n, {1, 1});
    const uint32_t i3 = m.add_vertex(Vec3{a.x, y1, a.y} + out, n, {0, 1});
    m.add_quad(i0, i3, i2, i1);
}

struct Tier
{
    float x0, z0, x1, z1; // footprint
    float y0, y1;         // from and to height
};

// A tier's four walls (facades), its roof, and its edges as lit lines.
void add_tier(Mesh& facade, Mesh& floor_bands, Mesh& roof, Mesh& edges, const Tier& t)
{
    // Corners clockwise seen from above, so each wall faces outward.
    const Vec2 c[4] = {{t.x0, t.z0}, {t.x1, t.z0}, {t.x1, t.z1}, {t.x0, t.z1}};
    for (int k = 0; k < 4; ++k) {
        const Vec2 a = c[k], b = c[(k + 1) % 4];
        // Facing away from the footprint's centre: travel with the centre on the left.
        wall(facade, b, a, t.y0, t.y1);
        // A band a little proud of the wall under every second floor's
        // windows: it doubles the wall's light in a thin line.
        for (float y = t.y0 + FLOOR; y < t.y1 - 1.0f; y += BAND_EVERY * FLOOR)
            wall(floor_bands, b, a, y, y + BAND, 0.05f);
    }
    const Vec3 up{0, 1, 0};
    const uint32_t r0 = roof.add_vertex({t.x0, t.y1, t.z0}, up, {0, 0});
    const uint32_t r1 = roof.add_vertex({t.x1, t.y1, t.z0}, up, {1, 0});
    const uint32_t r2 = roof.add_vertex({t.x1, t.y1, t.z1}, up, {1, 1});
    const uint32_t r3 = roof.add_vertex({t.x0, t.y1, t.z1}, up, {0, 1});
    roof.add_quad(r0, r3, r2, r1);

    const float h = TRIM * 0.5f;
    for (const Vec2& p : c)
        line_between(edges, {p.x - h, t.y0, p.y - h}, {p.x + h, t.y1 + h, p.y + h}, true);
    line_between(edges, {t.x0 - h, t.y1 - h, t.z0 - h}, {t.x1 + h, t.y1 + h, t.z0 + h});
    line_between(edges, {t.x0 - h, t.y1 - h, t.z1 - h}, {t.x1 + h, t.y1 + h, t.z1 + h});
    line_between(edges, {t.x0 - h, t.y1 - h, t.z0 - h}, {t.x0 + h, t.y1 + h, t.z1 + h});
    line_between(edges, {t.x1 - h, t.y1 - h, t.z0 - h}, {t.x1 + h, t.y1 + h, t.z1 + h});
}

struct Parts
{
    Mesh facade, floors, roof, edges, street, beacon, lamp;
};

// A building on the footprint: a main tier of height h, towers stepping back
// once or twice; a roof box or an antenna on top.
void building(Parts& p, Rng& rng, float x0, float z0, float x1, float z1, float h)
{
    Tier t{x0, z0, x1, z1, GROUND, GROUND + h};
    add_tier(p.facade, p.floors, p.roof, p.edges, t);
    int setbacks = h > 70 ? 2 : (h > 40 ? 1 : 0);
    for (int s = 0; s < setbacks; ++s) {
        const float inset = std::min(t.x1 - t.x0, t.z1 - t.z0) * rng.uniform(0.12f, 0.22f);
        const float rise = rng.uniform(8.0f, 18.0f);
        t = {t.x0 + inset, t.z0 + inset, t.x1 - inset, t.z1 - inset, t.y1, t.y1 + rise};
        add_tier(p.facade, p.floors, p.roof, p.edges, t);
    }
    const float cx = (t.x0 + t.x1) * 0.5f, cz = (t.z0 + t.z1) * 0.5f;
    if (h > 50 || rng.uniform() < 0.3f) {
        // Antenna: a mast of lit line with a red beacon on its tip.
        const float mast = rng.uniform(10.0f, 26.0f);
        line_between(p.edges, {cx - 0.25f, t.y1, cz - 0.25f}, {cx + 0.25f, t.y1 + mast, cz + 0.25f});
        line_between(p.edges, {cx - 2.5f, t.y1 + mast * 0.6f, cz - 0.15f},
                     {cx + 2.5f, t.y1 + mast * 0.6f + 0.3f, cz + 0.15f});
        p.beacon.append(box_between({cx - 0.8f, t.y1 + mast, cz - 0.8f}, {cx + 0.8f, t.y1 + mast + 1.6f, cz + 0.8f}));
    } else {
        // A machine room on the roof.
        const float w = (t.x1 - t.x0) * 0.3f, d = (t.z1 - t.z0) * 0.3f;
        add_tier(p.facade, p.floors, p.roof, p.edges, {cx - w * 0.5f, cz - d * 0.5f, cx + w * 0.5f, cz + d * 0.5f, t.y1,
                                             t.y1 + rng.uniform(2.5f, 5.0f)});
    }
}

// The buildings: the inner area (10..110) cut into 3 x 3 lots by alleys,
// each lot one building or split in two or four. Taller towers stand
// towards the block's middle so the tiled grid shows a skyline with gaps.
void buildings(Parts& p)
{
    Rng rng(0x70a11c17u);
    const float inner0 = STREET_HALF, inner1 = BLOCK - STREET_HALF;
    const float lot = (inner1 - inner0 - 2 * ALLEY) / 3.0f;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const float lx = inner0 + float(i) * (lot + ALLEY), lz = inner0 + float(j) * (lot + ALLEY);
            const bool middle = i == 1 && j == 1;
            const float split = rng.uniform();
            auto height = [&](float lo, float hi) {
                const float r = rng.uniform();
                return lo + (hi - lo) * r * r;
            };
            if (middle || split < 0.35f) {
                // One building filling the lot, set in a little: the middle one a tower.
                const float in = rng.uniform(1.0f, 4.0f);
                building(p, rng, lx + in, lz + in, lx + lot - in, lz + lot - in,
                         middle ? rng.uniform(70.0f, 95.0f) : height(14.0f, 60.0f));
            } else if (split < 0.7f) {
                // Two slabs side by side.
                const float cut = lot * rng.uniform(0.4f, 0.6f);
                const bool along_x = rng.uniform() < 0.5f;
                for (int k = 0; k < 2; ++k) {
                    const float a = k == 0 ? 1.0f : cut + 1.5f, b = k == 0 ? cut - 1.5f : lot - 1.0f;
                    if (along_x)
                        building(p, rng, lx + a, lz + 1.0f, lx + b, lz + lot - 1.0f, height(10.0f, 48.0f));
                    else
                        building(p, rng, lx + 1.0f, lz + a, lx + lot - 1.0f, lz + b, height(10.0f, 48.0f));
                }
            } else {
                // Four small houses.
                const float half = lot * 0.5f;
                for (int k = 0; k < 4; ++k) {
                    const float ox = lx + float(k % 2) * half, oz = lz + float(k / 2) * half;
                    building(p, rng, ox + 1.5f, oz + 1.5f, ox + half - 1.5f, oz + half - 1.5f, height(6.0f, 24.0f));
                }
            }
        }
}

// Street lines: a dashed centre line on each seam (local x = 0 and z = 0
// only, so the neighbour's seam is not drawn twice), kerbs on both sides of
// each street, zebra crossings at the corner, and lamps along the kerbs.
void streets(Parts& p)
{
    const float dash = 4.0f, gap = 4.0f;
    for (float s = STREET_HALF + 2.0f; s + dash <= BLOCK - STREET_HALF - 2.0f + 0.01f; s += dash + gap) {
        ground_strip(p.street, {0, s}, {0, s + dash}, 0.5f);
        ground_strip(p.street, {s, 0}, {s + dash, 0}, 0.5f);
    }
    for (float k : {STREET_HALF, BLOCK - STREET_HALF}) {
        ground_strip(p.street, {k, 0}, {k, BLOCK}, 0.35f);
        ground_strip(p.street, {0, k}, {BLOCK, k}, 0.35f);
    }
    // Zebra crossings at the corner (0, 0), across each street just beyond the crossing.
    for (int k = -4; k <= 4; ++k) {
        const float o = float(k) * 2.0f;
        ground_strip(p.street, {o, STREET_HALF + 1.0f}, {o, STREET_HALF + 4.0f}, 1.0f);
        ground_strip(p.street, {STREET_HALF + 1.0f, o}, {STREET_HALF + 4.0f, o}, 1.0f);
    }
    // Lamps: a pole of lit line and a warm head, every 20 units along the
    // inner kerbs.
    for (float s = 20.0f; s < BLOCK - 10.0f; s += 20.0f)
        for (Vec2 at : {Vec2{STREET_HALF - 1.0f, s}, Vec2{s, STREET_HALF - 1.0f}, Vec2{BLOCK - STREET_HALF + 1.0f, s},
                        Vec2{s, BLOCK - STREET_HALF + 1.0f}}) {
            line_between(p.edges, {at.x - 0.15f, GROUND, at.y - 0.15f}, {at.x + 0.15f, GROUND + 7.0f, at.y + 0.15f});
            p.lamp.append(box_between({at.x - 0.6f, GROUND + 7.0f, at.y - 0.6f}, {at.x + 0.6f, GROUND + 7.6f, at.y + 0.6f}));
        }
}

// Every vertex of the part stands for that many faces (see the top).
void stand_for(Mesh& part, float faces)
{
    part.scale_uv({0, 0}, {faces, 0});
}

Mesh crazytown()
{
    Parts p;
    buildings(p);
    streets(p);
    for (Mesh* part : {&p.edges, &p.street, &p.beacon, &p.lamp, &p.roof, &p.floors})
        stand_for(*part, 1.0f);
    stand_for(p.facade, WALL_LAYERS);
    Mesh m;
    m.use_material(edge_lines());
    m.append(p.edges);
    m.use_material(street_lines());
    m.append(p.street);
    m.use_material(beacons());
    m.append(p.beacon);
    m.use_material(lamps());
    m.append(p.lamp);
    m.use_material(roofs());
    m.append(p.roof);
    m.use_material(floors());
    m.append(p.floors);
    m.use_material(facades());
    m.append(p.facade);
    return m;
}

// --- the credits --------------------------------------------------------------------

struct Credit
{
    const char* heading;
    std::vector<std::pair<const char*, const char*>> lines; // name, role or handle
};

// One quarter (512 x 384, top-left at ox, oy): a letter-spaced heading in
// a thin face over a rule, then the names in a heavy one with their
// handles beneath, all centred.
void credit_quarter(Coverage& heavy, Coverage& light, Coverage& rules, const Typeface& head_face,
                    const Typeface& name_face, const Typeface& handle_face, const Credit& credit, int ox, int oy)
{
    const float cx = float(ox) + 256.0f;
    const float w = set_text_centred(light, head_face, credit.heading, cx, float(oy) + 96.0f, 34.0f, 9.0f);
    for (int y = oy + 110; y < oy + 113; ++y)
        for (int x = int(cx - w * 0.5f); x < int(cx + w * 0.5f); ++x)
            rules.v[size_t(y) * size_t(rules.w) + size_t(x)] = 1.0f;
    float baseline = float(oy) + (credit.lines.size() > 1 ? 186.0f : 220.0f);
    for (const auto& line : credit.lines) {
        set_text_centred(heavy, name_face, line.first, cx, baseline, 46.0f);
        set_text_centred(light, handle_face, line.second, cx, baseline + 38.0f, 26.0f, 2.0f);
        baseline += 110.0f;
    }
}

// The group's quarter: the name large, what it presents beneath.
void group_quarter(Coverage& heavy, Coverage& light, const Typeface& logo_face, const Typeface& line_face, int ox,
                   int oy)
{
    const float cx = float(ox) + 256.0f;
    set_text_centred(heavy, logo_face, "mirvok", cx, float(oy) + 210.0f, 130.0f, -2.0f);
    set_text_centred(light, line_face, "PRESENTS  KELMORA", cx, float(oy) + 268.0f, 28.0f, 6.0f);
}

Canvas credits_picture()
{
    const Typeface logo_face("LeagueSpartan-Black.otf");
    const Typeface head_face("Jura-Medium.otf");
    const Typeface name_face("Cantarell-ExtraBold.otf");
    const Typeface handle_face("Jura-Bold.otf");
    const int W = 1024, H = 768;
    Coverage heavy(W, H), light(W, H), rules(W, H);
    // In the file the top rows come first: quarter 0 (top left) is the group.
    group_quarter(heavy, light, logo_face, handle_face, 0, 0);
    credit_quarter(heavy, light, rules, head_face, name_face, handle_face,
                   {"MUSIC", {{"Ilse Varga", "synthesis  /  kelmora"}}}, 512, 0);
    credit_quarter(heavy, light, rules, head_face, name_face, handle_face,
                   {"CODE", {{"Tomas Reinholt", "aka nullcat"}, {"Maren Quist", "aka ptrfox"}}}, 0, 384);
    credit_quarter(heavy, light, rules, head_face, name_face, handle_face,
                   {"GRAPHICS", {{"Anouk Delmas", "aka vektor"}, {"Rafael Ostby", "aka umbra"}}}, 512, 384);

    // Black adds nothing over the town: a faint warm halo round the heavy
    // type, then the type itself in full white, the thin lines a cold white.
    Canvas c(W, H, rgba(0, 0, 0, 1));
    paint(c, blur(dilate(heavy, 2.0f), 6), rgba(1.0f, 0.55f, 0.2f), 0.35f, Blend::add);
    paint(c, blur(light, 4), rgba(0.3f, 0.6f, 1.0f), 0.3f, Blend::add);
    paint(c, heavy, rgba(1, 1, 1));
    paint(c, light, rgba(0.85f, 0.93f, 1.0f));
    paint(c, rules, rgba(1.0f, 0.6f, 0.25f));
    return c;
}

} // namespace

bool generate_town(DataContext& data)
{
    return crazytown().write(data, DIR + "crazytown.bzobj") &&
           write_png(data, DIR + "credits.png", credits_picture(), 3, Addressing::texels);
}
