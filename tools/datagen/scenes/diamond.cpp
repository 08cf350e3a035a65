// The diamond scene's sixteen pieces, in models/diamond/.
//
// The scene looks from (800, 500, 800) at the origin, 90 degrees high (the
// centre is 1237 units away, so the view is about 2470 units high there),
// turns the whole group slowly about y and each piece about an axis of its
// own through the origin, at 20 degrees a second. So the pieces are built in
// place around the origin, and as they turn each sweeps a sphere about it:
// the whole cut reaches about 770 units out, some 60% of the view's height
// across, and never nears the eye or the near plane (10). Every 18 s of show
// time the pieces' own turns come round to 0 and the stone is whole again.
// The pieces keep their materials and are lit per pixel by one light at the
// eye, drawn additively without depth, both faces lit: the light's diffuse
// is a dim grey (brighter on a "melody"), its specular a green-yellow flare.
// So the facets are flat (one normal each: a facet facing the eye catches
// the whole flare at once), their diffuse a cool blue-white, bright enough
// that the dim resting light (0.15) still shows every facet, and their
// specular white with a broad highlight that catches the flare; the cut
// faces inside a piece are darker and duller, so the pieces read as shards
// of one stone.
//
// The stone is a round brilliant: an octagonal table, 8 star facets, 8 bezel
// kites and 16 upper girdle facets on the crown, a 16-sided girdle, 8
// pavilion mains and 16 lower girdle facets down to the culet. It is split
// into eight 45-degree sectors by vertical planes through the bezel and
// pavilion kites' centre lines and at mid-girdle into crown and pavilion:
// pieces 0..7 are the crown sectors, 8..15 the pavilion sectors below them,
// each moved a little out from the centre.
#include "generator.h"
#include "toolkit/mesh.h"

#include <cmath>
#include <cstdio>
#include <vector>

using namespace toolkit;

namespace {

const std::string DIR = "models/diamond/";
const int SECTORS = 8;

// Proportions of a round brilliant, in units of the girdle radius R.
const float R = 680.0f;
const float TABLE_RADIUS = 0.57f * R;
const float CROWN_HEIGHT = 0.324f * R;    // girdle top to table
const float PAVILION_DEPTH = 0.862f * R;  // girdle bottom to culet
const float GIRDLE_THICKNESS = 0.06f * R; // split in half by the cut between crown and pavilion
const float STAR_REACH = 0.5f;            // star points halfway from the table to the girdle
const float LOWER_GIRDLE_REACH = 0.8f;    // lower girdle facets reach 80% of the way to the culet
// How far each piece is moved from the stone's centre: out along its
// sector's middle, and up (crown) or down (pavilion).
const float SPREAD_OUT = 0.12f * R;
const float SPREAD_UP = 0.08f * R;

cMaterial facet_material()
{
    return material_colour("diamond_facet", {0.4f, 0.52f, 0.66f}, {1.0f, 1.0f, 1.0f}, 14.0f);
}

cMaterial cleave_material()
{
    return material_colour("diamond_cleave", {0.18f, 0.22f, 0.34f}, {0.5f, 0.5f, 0.5f}, 10.0f);
}

// A point at angle degrees about y (0 at +x, towards -z as it grows),
// radius r out, height y.
Vec3 at(float degrees, float r, float y)
{
    const float a = degrees * PI / 180.0f;
    return {r * std::cos(a), y, -r * std::sin(a)};
}

// One flat facet: a convex polygon with its own vertices and its face
// normal, wound counter-clockwise seen from outside (away from inside).
void add_facet(Mesh& mesh, std::vector<Vec3> polygon, Vec3 inside)
{
    Vec3 n = {0, 0, 0}, centre = {0, 0, 0};
    for (size_t i = 0; i < polygon.size(); ++i) {
        const Vec3 a = polygon[i], b = polygon[(i + 1) % polygon.size()];
        n += Vec3{(a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y)};
        centre += a;
    }
    centre = centre * (1.0f / float(polygon.size()));
    if (dot(n, centre - inside) < 0.0f) {
        n = -n;
        std::vector<Vec3> reversed(polygon.rbegin(), polygon.rend());
        polygon.swap(reversed);
    }
    n = normalize(n);
    std::vector<uint32_t> index;
    for (const Vec3& p : polygon)
        index.push_back(mesh.add_vertex(p, n, {0, 0}));
    for (size_t i = 1; i + 1 < index.size(); ++i)
        mesh.add_triangle(index[0], index[i], index[i + 1]);
}

float crown_slope()
{
    return CROWN_HEIGHT / (R - TABLE_RADIUS);
}

float pavilion_slope()
{
    return PAVILION_DEPTH / R;
}

// The crown sector from angle a0 to a0 + 45 (the bezel kites' centre lines),
// from mid-girdle (y = 0) up to the table.
Mesh crown_sector(float a0)
{
    const float a1 = a0 + 45.0f, mid = a0 + 22.5f;
    const float girdle = GIRDLE_THICKNESS * 0.5f, table = girdle + CROWN_HEIGHT;
    // The star point lies on both bezel planes, STAR_REACH of the way down
    // from the table along the kites' centre lines.
    const float star_along = TABLE_RADIUS + STAR_REACH * (R - TABLE_RADIUS);
    const float star_y = girdle + (R - star_along) * crown_slope();
    const Vec3 s = at(mid, star_along / std::cos(22.5f * PI / 180.0f), star_y);
    const Vec3 t0 = at(a0, TABLE_RADIUS, table), t1 = at(a1, TABLE_RADIUS, table);
    const Vec3 g0 = at(a0, R, girdle), gm = at(mid, R, girdle), g1 = at(a1, R, girdle);
    const Vec3 b0 = at(a0, R, 0), bm = at(mid, R, 0), b1 = at(a1, R, 0);
    const Vec3 top = {0, table, 0}, base = {0, 0, 0};
    const Vec3 inside = (top + base + t0 + t1 + g0 + g1 + gm) * (1.0f / 7.0f);

    Mesh mesh;
    mesh.use_material(facet_material());
    add_facet(mesh, {top, t0, t1}, inside);      // table
    add_facet(mesh, {t0, t1, s}, inside);        // star
    add_facet(mesh, {t0, s, g0}, inside);        // half of bezel kite a0
    add_facet(mesh, {t1, g1, s}, inside);        // half of bezel kite a1
    add_facet(mesh, {s, g0, gm}, inside);        // upper girdle facets
    add_facet(mesh, {s, gm, g1}, inside);
    add_facet(mesh, {b0, bm, gm, g0}, inside);   // girdle
    add_facet(mesh, {bm, b1, g1, gm}, inside);
    mesh.use_material(cleave_material());
    add_facet(mesh, {base, b0, bm, b1}, inside); // the cut at mid-girdle
    add_facet(mesh, {base, b0, g0, t0, top}, inside);
    add_facet(mesh, {base, b1, g1, t1, top}, inside);
    return mesh;
}

// The pavilion sector from angle a0 to a0 + 45 (the pavilion mains' centre
// lines), from mid-girdle down to the culet.
Mesh pavilion_sector(float a0)
{
    const float a1 = a0 + 45.0f, mid = a0 + 22.5f;
    const float girdle = -GIRDLE_THICKNESS * 0.5f, culet_y = girdle - PAVILION_DEPTH;
    // The lower girdle point lies on both mains' planes.
    const float low_along = (1.0f - LOWER_GIRDLE_REACH) * R;
    const float low_y = girdle - (R - low_along) * pavilion_slope();
    const Vec3 l = at(mid, low_along / std::cos(22.5f * PI / 180.0f), low_y);
    const Vec3 g0 = at(a0, R, girdle), gm = at(mid, R, girdle), g1 = at(a1, R, girdle);
    const Vec3 b0 = at(a0, R, 0), bm = at(mid, R, 0), b1 = at(a1, R, 0);
    const Vec3 culet = {0, culet_y, 0}, base = {0, 0, 0};
    const Vec3 inside = (culet + base + g0 + g1 + gm + l) * (1.0f / 6.0f);

    Mesh mesh;
    mesh.use_material(facet_material());
    add_facet(mesh, {culet, g0, l}, inside);     // half of pavilion main a0
    add_facet(mesh, {culet, l, g1}, inside);     // half of pavilion main a1
    add_facet(mesh, {l, g0, gm}, inside);        // lower girdle facets
    add_facet(mesh, {l, gm, g1}, inside);
    add_facet(mesh, {b0, bm, gm, g0}, inside);   // girdle
    add_facet(mesh, {bm, b1, g1, gm}, inside);
    mesh.use_material(cleave_material());
    add_facet(mesh, {base, b0, bm, b1}, inside); // the cut at mid-girdle
    add_facet(mesh, {base, b0, g0, culet}, inside);
    add_facet(mesh, {base, b1, g1, culet}, inside);
    return mesh;
}

// Piece index: 0..7 crown, 8..15 pavilion, sector index * 45 degrees on.
Mesh piece(int index)
{
    const int sector = index % SECTORS;
    const bool crown = index < SECTORS;
    const float a0 = 45.0f * float(sector);
    Mesh shape = crown ? crown_sector(a0) : pavilion_sector(a0);
    const Vec3 out = at(a0 + 22.5f, SPREAD_OUT, crown ? SPREAD_UP : -SPREAD_UP);
    Mesh placed;
    placed.append(shape, Mat4::translate(out));
    return placed;
}

} // namespace

bool generate_diamond(DataContext& data)
{
    for (int i = 0; i < 2 * SECTORS; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "diamond%02d.bzobj", i);
        if (!piece(i).write(data, DIR + name))
            return false;
    }
    return true;
}
