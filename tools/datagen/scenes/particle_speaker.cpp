// The particle speaker's silo (models/particleSpeaker): a circular silo of
// radius 360 and height 900 made of six 60-degree wall segments (the scene
// turns each copy by 60 degrees), a door in each segment with its opened
// morph target, a strut of the speaker's mount per segment, the floor plate,
// and the loudspeaker lying on the floor facing up, its membrane under the
// emitter ring (radius 165 at y = 85) with a morph target that pushes it out.
// The silo's materials carry light maps as their diffuse maps; the scene
// multiplies them by its own brightness. Also the particle sprite, the
// overlay picture whose patches flash on the beats, and the fourteen camera
// flights.
#include "generator.h"
#include "toolkit/image.h"
#include "toolkit/mesh.h"
#include "toolkit/path.h"

#include <cmath>
#include <functional>
#include <string>
#include <vector>

using namespace toolkit;

namespace {

const std::string MODELS = "models/particleSpeaker/";

const float SILO_RADIUS = 360.0f;
const float SILO_HEIGHT = 900.0f;
const float SEGMENT_DEGREES = 60.0f;
// Heights of the rings and the wall's light strips, fractions of the height.
const float RING_HEIGHTS[3] = {0.3f, 0.55f, 0.8f};

// The speaker: housing rim radius and height, membrane from the rim down to
// the dust cap.
const float SPEAKER_RIM = 170.0f;
const float SPEAKER_HEIGHT = 70.0f;
const float MEMBRANE_PUSH = 34.0f; // how far the morph pushes the membrane's middle up

Vec3 around_y(float degrees, float radius, float y)
{
    const float a = degrees * PI / 180.0f;
    return {std::cos(a) * radius, y, -std::sin(a) * radius};
}

// A grid of (nu + 1) x (nv + 1) vertices at point(u, v), u and v in 0..1,
// with quads facing the side of normal(u, v); texture coordinates (u, v)
// unless uv is given.
void add_patch(Mesh& mesh, int nu, int nv, const std::function<Vec3(float, float)>& point,
               const std::function<Vec3(float, float)>& normal,
               const std::function<Vec2(Vec3)>& uv = nullptr)
{
    const uint32_t first = uint32_t(mesh.vertex_count());
    for (int j = 0; j <= nv; ++j)
        for (int i = 0; i <= nu; ++i) {
            const float u = float(i) / float(nu), v = float(j) / float(nv);
            const Vec3 p = point(u, v);
            mesh.add_vertex(p, normal(u, v), uv ? uv(p) : Vec2{u, v});
        }
    const auto at = [&](int i, int j) { return first + uint32_t(j * (nu + 1) + i); };
    for (int j = 0; j < nv; ++j)
        for (int i = 0; i < nu; ++i) {
            const float u = (float(i) + 0.5f) / float(nu), v = (float(j) + 0.5f) / float(nv);
            const Vec3 pu = point(float(i + 1) / float(nu), v) - point(float(i) / float(nu), v);
            const Vec3 pv = point(u, float(j + 1) / float(nv)) - point(u, float(j) / float(nv));
            if (dot(cross(pu, pv), normal(u, v)) >= 0)
                mesh.add_quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
            else
                mesh.add_quad(at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j));
        }
}

// A box from its centre, size and turn about y (degrees).
Mesh placed_box(Vec3 size, Vec3 centre, float degrees)
{
    Mesh b = box(size);
    b.transform(Mat4::translate(centre) * Mat4::rotate_y(degrees));
    return b;
}

// --- light maps ---------------------------------------------------------------

// The wall: dark panels with seams, a warm glow rising from the floor where
// the speaker lights it, cold light strips at three heights.
Canvas wall_light_map()
{
    Canvas c(256, 256);
    c.shade([](float u, float v) {
        const float floor_glow = std::exp(-v * 4.0f);
        const float base = 0.30f + 0.25f * fbm(u * 8, v * 8, 4, 8, 11);
        return rgba(base * 0.75f + floor_glow * 0.9f, base * 0.85f + floor_glow * 0.55f,
                    base + floor_glow * 0.35f);
    });
    c.grid(32, 2, rgba(0.05f, 0.06f, 0.08f));
    for (float v : RING_HEIGHTS) {
        const float y = (1 - v) * 256;
        c.fill_rect(0, int(y) - 3, 256, 6, rgba(0.6f, 0.85f, 1.0f));
        c.line({0, y}, {256, y}, 22, rgba(0.25f, 0.5f, 1.0f, 0.35f), Blend::add);
    }
    return c;
}

// Ribs and rings: grey metal, brighter at the top edge.
Canvas metal_light_map()
{
    Canvas c(64, 64);
    c.shade([](float u, float v) {
        const float g = 0.45f + 0.35f * v + 0.1f * fbm(u * 4, v * 4, 3, 4, 5);
        return rgba(g * 0.9f, g * 0.92f, g);
    });
    return c;
}

// The door: amber hazard stripes round a dark panel with a lit window.
Canvas door_light_map()
{
    Canvas c(128, 128, rgba(0.25f, 0.24f, 0.22f));
    c.stripes(16, 0.5f, 45, rgba(1.0f, 0.62f, 0.12f));
    c.fill_rect(12, 12, 104, 104, rgba(0.18f, 0.19f, 0.22f));
    c.fill_rect(40, 22, 48, 24, rgba(0.9f, 0.95f, 1.0f));
    c.grid(128, 3, rgba(0.05f, 0.05f, 0.05f));
    return c;
}

// The floor: concentric rings and a radial grid lit from the centre.
Canvas plate_light_map()
{
    Canvas c(256, 256);
    c.shade([](float u, float v) {
        const float x = (u - 0.5f) * 2, y = (v - 0.5f) * 2;
        const float r = std::sqrt(x * x + y * y);
        const float glow = std::exp(-r * 3.0f);
        float ring = std::fabs(std::fmod(r * 10.0f, 1.0f) - 0.5f) < 0.04f ? 0.35f : 0.0f;
        const float a = std::atan2(y, x) * 12.0f / PI;
        if (std::fabs(a - std::round(a)) < 0.03f && r > 0.5f)
            ring = 0.3f;
        const float base = 0.18f + 0.12f * fbm(u * 16, v * 16, 3, 16, 3);
        return rgba(base + glow * 0.5f + ring * 0.5f, base + glow * 0.7f + ring * 0.8f, base + glow + ring);
    });
    return c;
}

// The mount's strut: a bright cold light strip along its length.
Canvas strut_light_map()
{
    Canvas c(64, 64, rgba(0.35f, 0.37f, 0.42f));
    c.fill_rect(0, 26, 64, 12, rgba(0.7f, 0.9f, 1.0f));
    c.line({0, 32}, {64, 32}, 30, rgba(0.2f, 0.5f, 1.0f, 0.5f), Blend::add);
    return c;
}

// --- meshes ---------------------------------------------------------------------

// One 60-degree segment from angle 0 to 60: the wall's inner face, a rib at
// angle 0 and rings at three heights.
Mesh silo_wall()
{
    Mesh m;
    m.use_material(material_clamped_map("silo_wall_panels", "silo_wall_lm.jpg"));
    add_patch(
        m, 12, 12,
        [](float u, float v) { return around_y(u * SEGMENT_DEGREES, SILO_RADIUS, v * SILO_HEIGHT); },
        [](float u, float) { return -around_y(u * SEGMENT_DEGREES, 1.0f, 0.0f); });
    m.use_material(material_clamped_map("silo_wall_metal", "silo_metal_lm.jpg"));
    m.append(placed_box({40, SILO_HEIGHT, 30}, around_y(0, SILO_RADIUS - 12, SILO_HEIGHT * 0.5f), 0));
    for (float y : RING_HEIGHTS)
        for (int k = 0; k < 4; ++k) {
            const float mid = (float(k) + 0.5f) * SEGMENT_DEGREES / 4;
            const float chord = 2 * SILO_RADIUS * std::sin(SEGMENT_DEGREES / 8 * PI / 180.0f);
            m.append(placed_box({14, 10, chord + 2}, around_y(mid, SILO_RADIUS - 8, y * SILO_HEIGHT + 18), mid));
        }
    return m;
}

// The door in the middle of a segment, at the floor: a frame and two leaves,
// shifted apart by open (0 closed .. 1 open).
Mesh silo_doors(float open)
{
    Mesh m;
    const float mid = SEGMENT_DEGREES * 0.5f;
    const float r = SILO_RADIUS - 6;
    m.use_material(material_clamped_map("silo_door_frame", "silo_metal_lm.jpg"));
    m.append(placed_box({12, 16, 190}, around_y(mid, r, 228), mid));
    m.append(placed_box({12, 236, 16}, around_y(mid, r, 118) + around_y(mid - 90, 95, 0), mid));
    m.append(placed_box({12, 236, 16}, around_y(mid, r, 118) + around_y(mid + 90, 95, 0), mid));
    m.use_material(material_clamped_map("silo_door_leaf", "silo_door_lm.jpg"));
    for (int side : {-1, 1}) {
        const float shift = 43 + open * 70;
        m.append(placed_box({6, 220, 86}, around_y(mid, r + 2, 110) + around_y(mid + side * 90.0f, shift, 0), mid));
    }
    return m;
}

// The floor: a disc of the silo's radius, light map mapped from above.
Mesh silo_plate()
{
    Mesh m;
    m.use_material(material_clamped_map("silo_floor", "silo_plate_lm.jpg"));
    add_patch(
        m, 48, 8,
        [](float u, float v) { return around_y(u * 360.0f, (0.02f + 0.98f * v) * SILO_RADIUS, 0); },
        [](float, float) { return Vec3{0, 1, 0}; },
        [](Vec3 p) { return Vec2{p.x / (2 * SILO_RADIUS) + 0.5f, p.z / (2 * SILO_RADIUS) + 0.5f}; });
    return m;
}

// One strut of the speaker's mount, along angle 0 from the housing to the
// wall, rising from y 30 to 130.
Mesh silo_speaker_stiverter()
{
    Mesh m;
    m.use_material(material_clamped_map("silo_strut", "silo_strut_lm.jpg"));
    const float inner = SPEAKER_RIM + 4, outer = SILO_RADIUS - 14;
    const float len = outer - inner;
    const float rise = 100.0f;
    const float tilt = std::atan2(rise, len) * 180.0f / PI;
    Mesh beam = box({std::sqrt(len * len + rise * rise), 14, 22});
    beam.transform(Mat4::translate({(inner + outer) * 0.5f, 30 + rise * 0.5f, 0}) * Mat4::rotate_z(tilt));
    m.append(beam);
    m.append(placed_box({30, 40, 40}, {outer - 8, 130, 0}, 0));
    m.append(placed_box({24, 30, 34}, {inner + 6, 30, 0}, 0));
    return m;
}

// The loudspeaker on the floor, facing up: a housing turned on a lathe, the
// membrane (a cone from the rim's surround to the dust cap) raised in its
// middle by push. The same profile counts for every push, so base and morph
// target have the same vertices in the same order.
Mesh silo_speaker(float push)
{
    Mesh m;
    const int slices = 48;
    m.use_material(material_colour("silo_speaker_housing", {0.30f, 0.32f, 0.36f}, {0.8f, 0.8f, 0.9f}, 40));
    m.append(lathe({{SPEAKER_RIM + 10, 0}, {SPEAKER_RIM + 10, 20}, {SPEAKER_RIM + 4, SPEAKER_HEIGHT - 6},
                    {SPEAKER_RIM + 4, SPEAKER_HEIGHT}},
                   slices));
    // The rim's top face, inward to the surround.
    m.append(lathe({{SPEAKER_RIM + 4, SPEAKER_HEIGHT}, {SPEAKER_RIM - 6, SPEAKER_HEIGHT + 2}}, slices));
    // Surround and cone: the profile runs inwards and down (faces up).
    m.use_material(material_colour("silo_speaker_cone", {0.12f, 0.16f, 0.24f}, {0.5f, 0.6f, 0.8f}, 20));
    std::vector<Vec2> cone;
    const int steps = 10;
    for (int k = 0; k <= steps; ++k) {
        const float s = float(k) / float(steps);            // 0 at the surround, 1 at the dust cap
        const float radius = (SPEAKER_RIM - 6) * (1 - s) + 46 * s;
        const float lift = push * std::sin(s * PI * 0.5f);   // the middle moves most
        const float surround = k == 1 ? 8.0f : 0.0f;         // the rolled edge
        cone.push_back({radius, SPEAKER_HEIGHT + 2 - 42 * s + surround + lift});
    }
    m.append(lathe(cone, slices));
    m.use_material(material_colour("silo_speaker_cap", {0.55f, 0.6f, 0.7f}, {1, 1, 1}, 60));
    std::vector<Vec2> cap;
    for (int k = 0; k <= 6; ++k) {
        const float a = float(k) / 6.0f * PI * 0.5f;
        cap.push_back({46 * std::cos(a) + 0.01f, SPEAKER_HEIGHT + 2 - 42 + push + 22 * std::sin(a)});
    }
    m.append(lathe(cap, slices));
    return m;
}

// --- pictures -------------------------------------------------------------------

Canvas particle_sprite()
{
    Canvas c(64, 64, rgba(0, 0, 0, 0));
    c.shade([](float u, float v) {
        const float x = (u - 0.5f) * 2, y = (v - 0.5f) * 2;
        const float d = std::sqrt(x * x + y * y);
        const float a = std::pow(std::max(0.0f, 1 - d), 2.0f);
        return rgba(1, 1, 1, a);
    });
    return c;
}

// A technical sheet: grids, rings, bars and labels in cold blue and white,
// so that any zoomed 0.3 x 0.3 patch holds something bright.
Canvas speaker_overlay()
{
    const int n = 512;
    Canvas c(n, n, rgba(0.02f, 0.05f, 0.12f));
    c.grid(32, 1.5f, rgba(0.15f, 0.35f, 0.7f));
    c.grid(128, 3, rgba(0.3f, 0.6f, 1.0f));
    Rng rng(2718);
    for (int k = 0; k < 14; ++k) {
        const Vec2 centre{rng.uniform(40, 472), rng.uniform(40, 472)};
        const float radius = rng.uniform(20, 90);
        for (int ring = 0; ring < 3; ++ring) {
            const float r = radius * (1.0f - 0.28f * float(ring));
            const int segs = 48;
            for (int s = 0; s < segs; s += 2) {
                const float a0 = 2 * PI * float(s) / segs, a1 = 2 * PI * float(s + 1) / segs;
                c.line({centre.x + r * std::cos(a0), centre.y + r * std::sin(a0)},
                       {centre.x + r * std::cos(a1), centre.y + r * std::sin(a1)}, 2.5f, rgba(0.7f, 0.9f, 1.0f));
            }
        }
        c.glow(centre, radius * 0.6f, rgba(0.3f, 0.6f, 1.0f, 0.8f));
    }
    for (int k = 0; k < 24; ++k) {
        const int x = int(rng.uniform(0, 480)), y = int(rng.uniform(0, 500));
        c.fill_rect(x, y, int(rng.uniform(16, 90)), 6, rgba(0.9f, 0.95f, 1.0f));
    }
    const char* labels[] = {"KELMORA", "138 BPM", "SILO 06", "MIRVOK", "PHASE", "LOW CUT", "SUB 40HZ", "RING 165"};
    for (int k = 0; k < 16; ++k)
        c.text(labels[k % 8], {rng.uniform(0, 400), rng.uniform(30, 500)}, rng.uniform(12, 26), 2.5f,
               rgba(1.0f, 1.0f, 1.0f));
    // A darker rim: offsets past the right edge read the clamped border.
    c.shade([&](float u, float v) {
        const float edge = std::min(std::min(u, 1 - u), std::min(v, 1 - v));
        const Rgba p = c.at(int(u * n), int((1 - v) * n));
        return p * (0.4f + 0.6f * smoothstep(0.0f, 0.08f, edge));
    });
    return c;
}

// --- camera flights -------------------------------------------------------------

struct Flight
{
    const char* file;
    CameraFlight flight;
};

// Eyes inside the silo (radius 360, the emitter ring at y 85, the burst
// rising to y 200 .. 300), looking at the speaker, the walls or the burst.
std::vector<Flight> flights()
{
    return {
        // The show's first look: down the shaft onto the speaker.
        {"ps_camINTRO.pth", {{{40, 780, 30}, {80, 560, 60}, {150, 380, 90}}, {{0, 40, 0}, {0, 50, 0}, {0, 90, 0}}}},
        {"ps_cam02.pth", {{{240, 240, 110}, {210, 230, -80}, {120, 250, -220}}, {{0, 120, 0}, {0, 140, 0}, {0, 160, 0}}}},
        {"ps_cam03.pth", {{{-240, 420, 0}, {-200, 330, 140}}, {{0, 100, 0}, {0, 80, 0}}}},
        {"ps_cam01.pth", {{{0, 200, 250}, {120, 240, 200}}, {{0, 250, 0}, {0, 220, 0}}}},
        {"ps_cam04.pth", {{{40, 150, -130}, {60, 170, 40}}, {{-300, 300, 100}, {-280, 350, -100}}}},
        {"ps_cam06.pth", {{{-80, 190, -250}, {80, 200, -270}}, {{0, 60, 0}, {0, 70, 0}}}},
        {"ps_cam07.pth", {{{10, 560, 10}, {20, 520, -40}}, {{0, 0, 150}, {20, 0, 180}}}},
        {"ps_cam11.pth", {{{270, 180, 0}, {180, 260, 180}}, {{-100, 220, 0}, {0, 260, -100}}}},
        {"ps_cam09.pth", {{{-180, 180, 140}, {-120, 170, 200}}, {{50, 280, -50}, {0, 300, 0}}}},
        {"ps_cam10.pth", {{{120, 330, -180}, {-60, 320, -250}}, {{0, 60, 0}, {0, 80, 0}}}},
        {"ps_cam13.pth", {{{-280, 200, -60}, {-150, 220, 200}, {100, 300, 250}}, {{0, 150, 0}, {0, 200, 0}, {0, 250, 0}}}},
        {"ps_cam14.pth", {{{60, 250, 60}, {-60, 310, 70}}, {{300, 100, 300}, {-300, 150, 300}}}},
        {"ps_cam15.pth", {{{0, 650, 260}, {0, 320, 270}, {120, 190, 240}}, {{0, 100, 0}, {0, 120, 0}, {0, 140, 0}}}},
        {"ps_cam16.pth", {{{-250, 280, 150}, {0, 380, 280}, {250, 280, 150}}, {{0, 180, 0}, {0, 200, 0}, {0, 180, 0}}}},
    };
}

const int KEYS_PER_FLIGHT = 32;

} // namespace

bool generate_particle_speaker(DataContext& data)
{
    bool ok = write_jpeg(data, MODELS + "silo_wall_lm.jpg", wall_light_map(), Addressing::unit_coordinates) &&
              write_jpeg(data, MODELS + "silo_metal_lm.jpg", metal_light_map(), Addressing::unit_coordinates) &&
              write_jpeg(data, MODELS + "silo_door_lm.jpg", door_light_map(), Addressing::unit_coordinates) &&
              write_jpeg(data, MODELS + "silo_plate_lm.jpg", plate_light_map(), Addressing::unit_coordinates) &&
              write_jpeg(data, MODELS + "silo_strut_lm.jpg", strut_light_map(), Addressing::unit_coordinates);
    ok = ok && silo_wall().write(data, MODELS + "silo_wall.bzobj") &&
         silo_speaker(0).write(data, MODELS + "silo_speaker.bzobj") &&
         silo_speaker(MEMBRANE_PUSH).write(data, MODELS + "silo_speaker_morph.bzobj") &&
         silo_doors(0).write(data, MODELS + "silo_doors.bzobj") &&
         silo_doors(1).write(data, MODELS + "silo_doors_morph.bzobj") &&
         silo_plate().write(data, MODELS + "silo_plate.bzobj") &&
         silo_speaker_stiverter().write(data, MODELS + "silo_speaker_stiverter.bzobj");
    ok = ok && write_png(data, MODELS + "particle.png", particle_sprite(), 4, Addressing::unit_coordinates) &&
         write_jpeg(data, MODELS + "speaker_overlay.jpg", speaker_overlay(), Addressing::unit_coordinates);
    for (const Flight& f : flights())
        ok = ok && write_path(data, MODELS + f.file, sample_flight(f.flight, KEYS_PER_FLIGHT));
    return ok;
}
