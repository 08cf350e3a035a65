// The speaker room (models/sphere_speaker/): a tall octagonal hall with a
// glowing body at its centre, ten loudspeakers standing around it on struts,
// a walkway ("gangbro") round the walls with four bridges to a platform under
// the body, railings, and a narrow ledge near the ceiling.
//
// What the scene's code asks of it:
// - The eye is at (60, 60, 65), 106 units from the origin, looking at it
//   with a 90-degree field of view; "fadein" pulls it back to (210, -90, 215),
//   314 units away. The whole model turns about (0, 0.65, 0.35) through the
//   origin by any angle, so the hall is built round the origin and encloses a
//   ball of 330 units: the pulled-back eye stays inside whatever the turn.
// - The room (environment, its railing) and the walkway (gangbro, its
//   railing) are drawn with the light-map shader: primary colour (the scene's
//   brightness, 0.05 at rest and about 1.25 just after an event) times the
//   light map bound on unit 0. Each pair shares one map: the first mesh of a
//   pair must not unbind it, so these meshes carry no material at all (a
//   material's drawing ends by unbinding unit 0, and a diffuse map would
//   replace the light map). Their texture coordinates lay every surface into
//   its own rectangle of the map; the light in the maps is baked here.
// - The speakers are drawn with the untextured per-pixel shader, lit by a
//   light at the eye whose colour runs from 0.75 to 3.75: their materials are
//   dark, so they are dim at rest and flare when triggered.
// - Cones and plates are drawn additively with the volumetric light shader,
//   materials cleared: texture coordinate t runs from 0 at the speaker to 1
//   at the far end of a beam (and from the middle to the rim of a plate).
// - The body is drawn with the light-map shader and "sphere_speaker_light.jpg"
//   at a grey of at most about 0.3: its texture is near white.
#include "generator.h"
#include "toolkit/image.h"
#include "toolkit/lightmap.h"
#include "toolkit/mesh.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace toolkit;

namespace {

const std::string DIR = "models/sphere_speaker/";

// The hall: an octagon whose sides' middles lie at the apothem, from the
// floor to the ceiling.
const float APOTHEM = 380.0f;
const float FLOOR_Y = -335.0f;
const float CEILING_Y = 345.0f;
const float LEDGE_Y = 200.0f;     // top of the ledge near the ceiling
const float LEDGE_DEPTH = 30.0f;
const float WALK_Y = -110.0f;     // top of the walkway, bridges and platform
const float WALK_INNER = 300.0f;  // apothem of the walkway's inner edge
const float WALK_THICK = 8.0f;
const float PLATFORM_APOTHEM = 95.0f;
const float BRIDGE_WIDTH = 50.0f;
const float RAIL_HEIGHT = 30.0f;
const float POST_SPACING = 40.0f;

// The speakers: ten around the body, in two rings of five (30 degrees above
// and below the body's equator, the lower ring turned by 36 degrees).
const int SPEAKERS = 10;
const float BODY_RADIUS = 24.0f;
const float SPEAKER_BACK = 40.0f; // distance of a housing's back from the centre
const float SPEAKER_RIM = 17.0f;
const float SPEAKER_DEPTH = 14.0f;
const float MEMBRANE_PUSH = 5.0f; // the morph target's membrane, pushed out
const float BEAM_LENGTH = 280.0f;
const float BEAM_END_RADIUS = 75.0f;

const char* const ENVIRONMENT_MAP = "sphere_speaker_environmentlightingmap2.jpg";
const char* const GANGBRO_MAP = "gangbro_lightingmap.jpg";
const char* const LIGHT_TEXTURE = "sphere_speaker_light.jpg";

float radians(float degrees)
{
    return degrees * PI / 180.0f;
}

// Corner k of the octagon of the given apothem at height y; corners sit
// between the sides, whose middles are at 0, 45, ... degrees.
Vec3 octagon_corner(int k, float apothem, float y)
{
    const float r = apothem / std::cos(radians(22.5f));
    const float a = radians(22.5f + 45.0f * float(k));
    return {r * std::cos(a), y, r * std::sin(a)};
}

Vec3 speaker_direction(int i)
{
    const bool upper = i < 5;
    const float azimuth = radians(72.0f * float(i % 5) + (upper ? 0.0f : 36.0f));
    const float elevation = radians(upper ? 30.0f : -30.0f);
    return {std::cos(elevation) * std::cos(azimuth), std::sin(elevation), std::cos(elevation) * std::sin(azimuth)};
}

// Turns local +y onto dir (right-handed), then moves by offset.
Mat4 facing(Vec3 dir, Vec3 offset)
{
    const Vec3 y = normalize(dir);
    const Vec3 x = normalize(cross(y, std::fabs(y.y) < 0.9f ? Vec3{0, 1, 0} : Vec3{1, 0, 0}));
    const Vec3 z = cross(x, y);
    Mat4 m;
    const Vec3 columns[3] = {x, y, z};
    for (int c = 0; c < 3; ++c) {
        m.m[0][c] = columns[c].x;
        m.m[1][c] = columns[c].y;
        m.m[2][c] = columns[c].z;
    }
    m.m[0][3] = offset.x;
    m.m[1][3] = offset.y;
    m.m[2][3] = offset.z;
    return m;
}

// The polygon turned so that its front faces the point inside.
std::vector<Vec3> towards(std::vector<Vec3> corners, Vec3 inside)
{
    Vec3 n, centre;
    for (size_t i = 0; i < corners.size(); ++i) {
        const Vec3 a = corners[i], b = corners[(i + 1) % corners.size()];
        n += Vec3{(a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y)};
        centre += a * (1.0f / float(corners.size()));
    }
    if (dot(n, inside - centre) < 0)
        return {corners.rbegin(), corners.rend()};
    return corners;
}

// --- surfaces -----------------------------------------------------------------

// 1 on a line of the given width at every multiple of spacing, 0 between,
// softened over a texel.
float seam(float x, float spacing, float width, float texel)
{
    const float d = std::fabs(x / spacing - std::round(x / spacing)) * spacing;
    return 1.0f - smoothstep(width * 0.5f, width * 0.5f + texel, d);
}

// Panels: horizontal surfaces in a square grid, walls in panels along the
// arc; each panel a shade of its own, dark seams between.
Vec3 panel_albedo(Vec3 p, Vec3 n, float texel)
{
    float u, v, su, sv;
    if (std::fabs(n.y) > 0.7f) {
        u = p.x;
        v = p.z;
        su = sv = 64.0f;
    } else {
        u = std::atan2(p.z, p.x) * APOTHEM;
        v = p.y;
        su = 52.0f;
        sv = 85.0f;
    }
    const uint32_t cell = uint32_t(int(std::floor(u / su)) * 7349 + int(std::floor(v / sv)) * 1931 + 100000);
    const float shade = 0.62f + 0.18f * float((cell * 2654435761u) >> 24) / 255.0f;
    const float s = std::max(seam(u, su, 1.5f, texel), seam(v, sv, 1.5f, texel));
    const float g = shade * (1.0f - 0.45f * s);
    return {g * 0.92f, g * 0.96f, g};
}

Vec3 metal_albedo(Vec3, Vec3, float)
{
    return {0.55f, 0.57f, 0.62f};
}

// Cold rings and spokes on the floor, glowing in the dark round the shadow
// of the platform.
Vec3 floor_emission(Vec3 p, Vec3 n, float texel)
{
    if (n.y < 0.7f || p.y > FLOOR_Y + 1.0f)
        return {};
    const float r = std::hypot(p.x, p.z);
    const float ring = seam(r, 64.0f, 2.5f, texel);
    const float spoke = r > 96.0f ? seam(std::atan2(p.z, p.x) * r, r * 2 * PI / 16.0f, 2.0f, texel) : 0.0f;
    const float k = 0.35f * std::max(ring, spoke * 0.7f);
    return {0.2f * k, 0.6f * k, 1.0f * k};
}

// Amber light strips: the wall bands and the walkway's inner edge.
Vec3 strip_emission(Vec3, Vec3, float)
{
    return {0.8f, 0.45f, 0.14f};
}

// --- the room and the walkway -----------------------------------------------------

// Posts and two rails from a to b (points on the walking surface).
void railing(LightmapScene& scene, int mesh, Vec3 a, Vec3 b, int surface)
{
    const Vec3 up{0, 1, 0};
    const float len = length(b - a);
    const int posts = std::max(1, int(std::round(len / POST_SPACING)));
    const Vec3 along = normalize(b - a);
    for (int k = 0; k <= posts; ++k) {
        const Vec3 p = lerp(a, b, float(k) / float(posts));
        scene.add_bar(mesh, p, p + up * RAIL_HEIGHT, along, 3.0f, 3.0f, false, surface);
    }
    scene.add_bar(mesh, a + up * (RAIL_HEIGHT + 1.5f), b + up * (RAIL_HEIGHT + 1.5f), up, 3.0f, 4.0f, true, surface);
    scene.add_bar(mesh, a + up * (RAIL_HEIGHT * 0.5f), b + up * (RAIL_HEIGHT * 0.5f), up, 2.0f, 2.0f, false,
                  surface);
}

// A slab along one octagon side between two apothems, top at y.
void ring_slab(LightmapScene& scene, int mesh, int side, float inner, float outer, float top, float thickness,
               int surface, int edge_surface)
{
    const Vec3 o0 = octagon_corner(side, outer, 0), o1 = octagon_corner(side + 1, outer, 0);
    const Vec3 i0 = octagon_corner(side, inner, 0), i1 = octagon_corner(side + 1, inner, 0);
    const Vec3 up{0, top, 0}, down{0, top - thickness, 0};
    scene.add_polygon(mesh, towards({o0 + up, o1 + up, i1 + up, i0 + up}, {0, top + 100, 0}), surface);
    scene.add_polygon(mesh, towards({o0 + down, o1 + down, i1 + down, i0 + down}, {0, top - 100, 0}), surface);
    scene.add_polygon(mesh, towards({i0 + down, i1 + down, i1 + up, i0 + up}, {0, top, 0}), edge_surface);
}

struct RoomMeshes
{
    LightmapScene scene;
    int environment, environment_railing, gangbro, gangbro_railing;
    int environment_atlas, gangbro_atlas;
};

void build_room(RoomMeshes& room)
{
    LightmapScene& s = room.scene;
    room.environment_atlas = s.add_atlas(512, 512);
    room.gangbro_atlas = s.add_atlas(512, 512);
    room.environment = s.add_mesh(room.environment_atlas);
    room.environment_railing = s.add_mesh(room.environment_atlas);
    room.gangbro = s.add_mesh(room.gangbro_atlas);
    room.gangbro_railing = s.add_mesh(room.gangbro_atlas);
    const int panels = s.add_surface({panel_albedo, nullptr});
    const int metal = s.add_surface({metal_albedo, nullptr});
    const int strip = s.add_surface({metal_albedo, strip_emission});
    const int floor = s.add_surface({panel_albedo, floor_emission});
    const Vec3 centre{0, 0, 0};

    // Pilasters in the corners, amber bands along the walls and the ledge
    // come before the walls behind them, so the walls' pixels they cover
    // fail the depth test instead of being shaded and then covered.
    for (int k = 0; k < 8; ++k) {
        const Vec3 corner = octagon_corner(k, APOTHEM - 12.0f, 0);
        s.add_bar(room.environment, corner + Vec3{0, FLOOR_Y, 0}, corner + Vec3{0, CEILING_Y, 0},
                  normalize(Vec3{corner.x, 0, corner.z}), 30.0f, 30.0f, false, metal);
        for (float y : {-250.0f, 110.0f}) {
            const Vec3 p0 = octagon_corner(k, APOTHEM - 4.0f, y), p1 = octagon_corner(k + 1, APOTHEM - 4.0f, y);
            s.add_bar(room.environment, p0, p1, {0, 1, 0}, 6.0f, 8.0f, false, strip);
        }
        // The ledge near the ceiling and its railing.
        ring_slab(s, room.environment, k, APOTHEM - LEDGE_DEPTH, APOTHEM, LEDGE_Y, 6.0f, metal, metal);
        railing(s, room.environment_railing, octagon_corner(k, APOTHEM - LEDGE_DEPTH + 2.0f, LEDGE_Y),
                octagon_corner(k + 1, APOTHEM - LEDGE_DEPTH + 2.0f, LEDGE_Y), metal);
    }
    // Walls, floor and ceiling, seen from inside.
    std::vector<Vec3> floor_outline, ceiling_outline;
    for (int k = 0; k < 8; ++k) {
        const Vec3 a = octagon_corner(k, APOTHEM, FLOOR_Y), b = octagon_corner(k + 1, APOTHEM, FLOOR_Y);
        const Vec3 h{0, CEILING_Y - FLOOR_Y, 0};
        s.add_polygon(room.environment, towards({a, b, b + h, a + h}, centre), panels);
        floor_outline.push_back(a);
        ceiling_outline.push_back(a + h);
    }
    s.add_polygon(room.environment, towards(floor_outline, centre), floor);
    s.add_polygon(room.environment, towards(ceiling_outline, centre), panels);

    // The walkway round the walls, its inner edge a light strip, and the
    // platform under the body. Side k runs from corner k to corner k + 1,
    // its middle at 45 (k + 1) degrees; bridges come in at the middles
    // facing 0, 90, 180 and 270 degrees, and the railings leave a gap there.
    const float gap = BRIDGE_WIDTH * 0.5f;
    std::vector<Vec3> platform_top, platform_bottom;
    for (int k = 0; k < 8; ++k) {
        ring_slab(s, room.gangbro, k, WALK_INNER, APOTHEM, WALK_Y, WALK_THICK, panels, strip);
        const Vec3 p0 = octagon_corner(k, PLATFORM_APOTHEM, WALK_Y), p1 = octagon_corner(k + 1, PLATFORM_APOTHEM, WALK_Y);
        const Vec3 thick{0, -WALK_THICK, 0};
        // The platform's edge faces outwards, towards a point beyond it.
        s.add_polygon(room.gangbro, towards({p0 + thick, p1 + thick, p1, p0}, p0 + p1), metal);
        platform_top.push_back(p0);
        platform_bottom.push_back(p0 + thick);
        const bool bridge = (45 * (k + 1)) % 90 == 0;
        for (float apothem : {WALK_INNER + 3.0f, PLATFORM_APOTHEM - 3.0f}) {
            const Vec3 a = octagon_corner(k, apothem, WALK_Y), b = octagon_corner(k + 1, apothem, WALK_Y);
            if (bridge) {
                const Vec3 mid = (a + b) * 0.5f, dir = normalize(b - a);
                railing(s, room.gangbro_railing, a, mid - dir * gap, metal);
                railing(s, room.gangbro_railing, mid + dir * gap, b, metal);
            } else {
                railing(s, room.gangbro_railing, a, b, metal);
            }
        }
    }
    s.add_polygon(room.gangbro, towards(platform_top, {0, WALK_Y + 100, 0}), panels);
    s.add_polygon(room.gangbro, towards(platform_bottom, {0, WALK_Y - 100, 0}), panels);
    // Bridges from the platform to the walkway, railings on both sides.
    for (int k = 0; k < 4; ++k) {
        const float a = radians(90.0f * float(k));
        const Vec3 dir{std::cos(a), 0, std::sin(a)}, side{-std::sin(a), 0, std::cos(a)};
        const Vec3 from = dir * PLATFORM_APOTHEM + Vec3{0, WALK_Y - WALK_THICK * 0.5f, 0};
        const Vec3 to = dir * WALK_INNER + Vec3{0, WALK_Y - WALK_THICK * 0.5f, 0};
        s.add_bar(room.gangbro, from, to, side, BRIDGE_WIDTH, WALK_THICK, false, panels);
        for (float sign : {-1.0f, 1.0f}) {
            const Vec3 off = side * (sign * (gap - 2.0f)) + Vec3{0, WALK_THICK * 0.5f, 0};
            railing(s, room.gangbro_railing, from + off, to + off, metal);
        }
    }
    // The platform's column down to the floor.
    s.add_bar(room.gangbro, {0, WALK_Y - WALK_THICK, 0}, {0, FLOOR_Y, 0}, {1, 0, 0}, 36.0f, 36.0f, false, metal);
}

BakeSettings room_lighting()
{
    BakeSettings b;
    // The glowing body, warm, and the ten speakers, cold, at their membranes.
    // The speakers sit within 60 units of the body, so the body's shadows
    // stand for theirs: their light is a fill without shadow rays.
    b.lights.push_back({{0, 0, 0}, {0.62f, 0.45f, 0.27f}, 400.0f});
    for (int i = 0; i < SPEAKERS; ++i)
        b.lights.push_back(
            {speaker_direction(i) * (SPEAKER_BACK + SPEAKER_DEPTH + 4.0f), {0.035f, 0.05f, 0.09f}, 220.0f, false});
    b.ambient = {0.03f, 0.032f, 0.04f};
    b.occlusion_rays = 8;
    b.occlusion_distance = 60.0f;
    return b;
}

// --- the speakers, the body and the beams -------------------------------------------

// One loudspeaker facing +y: a can-shaped housing from y = 0 to its rim, a
// membrane cone down to the dust cap (raised by push in its middle; the same
// vertices for every push), a glowing ring on the rim, and the strut back to
// the body's surface.
Mesh speaker_local(float push)
{
    const int slices = 32;
    Mesh m;
    m.use_material(material_colour("speaker_housing", {0.22f, 0.23f, 0.26f}, {0.7f, 0.7f, 0.75f}, 30));
    m.append(lathe({{0.01f, 0}, {10, 0}, {SPEAKER_RIM, SPEAKER_DEPTH * 0.6f}, {SPEAKER_RIM, SPEAKER_DEPTH}}, slices));
    m.append(lathe({{SPEAKER_RIM, SPEAKER_DEPTH}, {SPEAKER_RIM - 3, SPEAKER_DEPTH}}, slices));
    m.append(cylinder(2.2f, 2.2f, SPEAKER_BACK - BODY_RADIUS + 2, 10, false),
             Mat4::translate({0, -(SPEAKER_BACK - BODY_RADIUS + 1), 0}));
    m.use_material(material_colour("speaker_cone", {0.13f, 0.14f, 0.18f}, {0.4f, 0.45f, 0.55f}, 20));
    std::vector<Vec2> cone;
    const int steps = 8;
    for (int k = 0; k <= steps; ++k) {
        const float s = float(k) / float(steps); // 0 at the surround, 1 at the dust cap
        const float radius = (SPEAKER_RIM - 3) * (1 - s) + 4.5f * s;
        const float surround = k == 1 ? 1.5f : 0.0f;
        cone.push_back({radius, SPEAKER_DEPTH - 8.0f * s + surround + push * std::sin(s * PI * 0.5f)});
    }
    m.append(lathe(cone, slices));
    m.use_material(material_colour("speaker_cap", {0.5f, 0.52f, 0.56f}, {1, 1, 1}, 60));
    std::vector<Vec2> cap;
    for (int k = 0; k <= 4; ++k) {
        const float a = float(k) / 4.0f * PI * 0.5f;
        cap.push_back({4.5f * std::cos(a) + 0.01f, SPEAKER_DEPTH - 8.0f + push + 2.5f * std::sin(a)});
    }
    m.append(lathe(cap, slices));
    m.use_material(material_unlit("speaker_ring", {0.15f, 0.45f, 0.8f}));
    m.append(lathe({{SPEAKER_RIM + 0.6f, SPEAKER_DEPTH * 0.75f}, {SPEAKER_RIM + 0.6f, SPEAKER_DEPTH * 0.9f}}, slices));
    return m;
}

Mesh speaker(int i, float push)
{
    Mesh m;
    m.append(speaker_local(push), facing(speaker_direction(i), speaker_direction(i) * SPEAKER_BACK));
    return m;
}

// The beam: an open cone from the membrane outwards, t along it.
Mesh light_cone(int i)
{
    const int slices = 24, rows = 4;
    const float start = SPEAKER_BACK + SPEAKER_DEPTH - 2.0f;
    Mesh m;
    for (int j = 0; j <= rows; ++j)
        for (int k = 0; k <= slices; ++k) {
            const float t = float(j) / float(rows), a = 2 * PI * float(k) / float(slices);
            const float r = 12.0f + (BEAM_END_RADIUS - 12.0f) * t;
            const Vec3 out{std::cos(a), 0, -std::sin(a)};
            const float slope = (BEAM_END_RADIUS - 12.0f) / BEAM_LENGTH;
            m.add_vertex(out * r + Vec3{0, start + BEAM_LENGTH * t, 0}, normalize(out + Vec3{0, -slope, 0}),
                         {float(k) / float(slices), t});
        }
    for (int j = 0; j < rows; ++j)
        for (int k = 0; k < slices; ++k) {
            const uint32_t a = uint32_t(j * (slices + 1) + k), b = a + uint32_t(slices + 1);
            m.add_quad(a, a + 1, b + 1, b);
        }
    Mesh placed;
    placed.append(m, facing(speaker_direction(i), {0, 0, 0}));
    return placed;
}

// The plate: a disc over the membrane facing out, t from its middle (0) to
// its rim (1).
Mesh light_plate(int i)
{
    const int slices = 24, rings = 3;
    const float radius = 16.0f, y = SPEAKER_BACK + SPEAKER_DEPTH + 1.0f;
    Mesh m;
    m.add_vertex({0, y, 0}, {0, 1, 0}, {0.5f, 0});
    for (int j = 1; j <= rings; ++j)
        for (int k = 0; k <= slices; ++k) {
            const float t = float(j) / float(rings), a = 2 * PI * float(k) / float(slices);
            m.add_vertex({std::cos(a) * radius * t, y, -std::sin(a) * radius * t}, {0, 1, 0},
                         {float(k) / float(slices), t});
        }
    for (int k = 0; k < slices; ++k)
        m.add_triangle(0, uint32_t(1 + k), uint32_t(2 + k));
    for (int j = 1; j < rings; ++j)
        for (int k = 0; k < slices; ++k) {
            const uint32_t a = uint32_t(1 + (j - 1) * (slices + 1) + k), b = a + uint32_t(slices + 1);
            m.add_quad(a, b, b + 1, a + 1);
        }
    Mesh placed;
    placed.append(m, facing(speaker_direction(i), {0, 0, 0}));
    return placed;
}

Mesh body_light()
{
    return sphere(BODY_RADIUS, 32, 16);
}

// The body's skin: near-white warm light with brighter bands of latitude and
// longitude and hot spots where they cross.
Canvas body_light_texture()
{
    Canvas c(256, 256);
    c.shade([](float u, float v) {
        const float lon = std::fabs(std::fmod(u * 16.0f, 1.0f) - 0.5f) * 2.0f; // 1 on a band
        const float lat = std::fabs(std::fmod(v * 8.0f, 1.0f) - 0.5f) * 2.0f;
        const float band = std::max(std::pow(lon, 12.0f), std::pow(lat, 12.0f));
        const float spot = std::pow(lon * lat, 8.0f);
        const float k = 0.78f + 0.22f * band + 0.2f * spot;
        return rgba(k, k * 0.9f, k * 0.75f);
    });
    return c;
}

std::string numbered(const char* prefix, int i, const char* suffix)
{
    char name[96];
    std::snprintf(name, sizeof name, "%s%02d%s", prefix, i + 1, suffix);
    return name;
}

} // namespace

bool generate_speaker(DataContext& data)
{
    RoomMeshes room;
    build_room(room);
    if (!room.scene.pack())
        return false;
    bool ok = room.scene.mesh(room.environment).write(data, DIR + "sphere_speaker_environment.bzobj") &&
              room.scene.mesh(room.environment_railing).write(data, DIR + "sphere_speaker_environment_railing.bzobj") &&
              room.scene.mesh(room.gangbro).write(data, DIR + "sphere_speaker_gangbro.bzobj") &&
              room.scene.mesh(room.gangbro_railing).write(data, DIR + "sphere_speaker_gangbro_railing.bzobj");
    data.progress("speaker: baking the light maps");
    const BakeSettings lighting = room_lighting();
    ok = ok &&
         write_jpeg(data, DIR + ENVIRONMENT_MAP, room.scene.bake(room.environment_atlas, lighting),
                    Addressing::unit_coordinates) &&
         write_jpeg(data, DIR + GANGBRO_MAP, room.scene.bake(room.gangbro_atlas, lighting),
                    Addressing::unit_coordinates);
    ok = ok && body_light().write(data, DIR + "sphere_speaker_body_light.bzobj") &&
         write_jpeg(data, DIR + LIGHT_TEXTURE, body_light_texture(), Addressing::unit_coordinates);
    for (int i = 0; i < SPEAKERS && ok; ++i)
        ok = speaker(i, 0).write(data, DIR + numbered("sphere_speaker_", i, ".bzobj")) &&
             speaker(i, MEMBRANE_PUSH).write(data, DIR + numbered("sphere_speaker_", i, "_morph.bzobj")) &&
             light_cone(i).write(data, DIR + numbered("sphere_speaker_lightcone", i, ".bzobj")) &&
             light_plate(i).write(data, DIR + numbered("sphere_speaker_lightplate", i, ".bzobj"));
    return ok;
}
