// The vortex scene's arm, stripes tube and stripes texture, in models/vortex/.
//
// The scene draws the arm 24 times, materials cleared, additively without
// depth, with a shader that adds a green-yellow specular highlight of a
// light at the eye to the ring's colour (alpha 0.2): for ring r and angle a
// = 0, 45, ... 315 degrees it turns the arm about the pivot (0, 40, 0) of
// its own coordinates by 1/15 degree per millisecond (minus 6 degrees per
// ring), then places it turned by a about the z axis. So the arm is built
// from its root at (0, 40, 0), where it turns; it winds out around the
// centre and rises 80 units out of the xy plane as a slanted blade, so the
// 24 copies make a wheeling funnel that reads both face-on (eyes such as
// (15, 0, 175)) and nearly edge-on (eyes up to 300 units out along y and
// x, where a flat arm would vanish), with a field of view of 90 degrees:
// the arm reaches about 130 units from the centre.
//
// The stripes tube is drawn around everything: the scene scales it by
// (4, 4, 3) after turning it about (0, 0.5, 0.5), with lighting off, the
// stripes texture bound by the scene (repeated) and its coordinates
// scrolled along v by 3 lengths a second. So the tube runs along z with a
// radius of 110 (330 to 440 units once scaled, whatever the turn, so every
// eye stays inside it) and is 500 long; u goes around it (ten repeats of the
// texture's width), v along it (thirty repeats), so the stripes are rings
// that scroll along the tube. It keeps its material, a plain unlit one that
// binds no texture, so the scene's own texture shows.
//
// "stripes_mirvok_whitetrans_256x32.png" is 256 x 32 (powers of two, as a
// repeated, mipmapped texture needs): white stripes on transparency with
// the group's name between them. The scene draws it at grey 0.2, added.
#include "generator.h"
#include "toolkit/image.h"
#include "toolkit/mesh.h"
#include "toolkit/type.h"

#include <algorithm>
#include <cmath>

using namespace toolkit;

namespace {

const std::string DIR = "models/vortex/";
const float PI = 3.14159265f;

// --- the arm -------------------------------------------------------------------

const float ARM_PIVOT = 40.0f;
const int ARM_SEGMENTS = 64;
const int ARM_ACROSS = 4;

// The arm's spine at s in 0..1: from the pivot out to 130 units from the
// centre while winding 100 degrees around it and rising 80 units.
Vec3 arm_spine(float s)
{
    const float r = ARM_PIVOT + 90.0f * s;
    const float a = (90.0f + 100.0f * s) * PI / 180.0f;
    return {r * std::cos(a), r * std::sin(a), 80.0f * s * std::sqrt(s)};
}

Mesh arm()
{
    Mesh mesh;
    mesh.use_material(material_colour("vortex_arm", {1, 1, 1}));
    // A blade along the spine, widest at the root, standing at 50 degrees
    // out of the xy plane there and twisting on to 120 degrees at the tip:
    // the face-on eyes see it slanted, the eyes near the plane see its face,
    // and its highlight slides along it as it wheels.
    const uint32_t row = ARM_ACROSS + 1;
    for (int i = 0; i <= ARM_SEGMENTS; ++i) {
        const float s = float(i) / float(ARM_SEGMENTS);
        const Vec3 p = arm_spine(s);
        const Vec3 tangent = normalize(arm_spine(std::min(1.0f, s + 0.01f)) - arm_spine(std::max(0.0f, s - 0.01f)));
        const Vec3 side0 = normalize(cross(Vec3{0, 0, 1}, tangent));
        const Vec3 up0 = cross(tangent, side0);
        const float twist = (50.0f + 70.0f * s) * PI / 180.0f;
        const Vec3 side = side0 * std::cos(twist) + up0 * std::sin(twist);
        const Vec3 up = cross(tangent, side);
        const float width = 20.0f * std::pow(1.0f - s, 0.8f) + 2.0f;
        for (int j = 0; j <= ARM_ACROSS; ++j) {
            const float w = float(j) / float(ARM_ACROSS) * 2.0f - 1.0f;
            // A shallow convex profile across the blade: normals lean out at the edges.
            const float bulge = 0.12f * width * (1.0f - w * w);
            const Vec3 normal = normalize(up + side * (0.45f * w));
            mesh.add_vertex(p + side * (0.5f * width * w) + up * bulge, normal, {s, (w + 1) * 0.5f});
        }
    }
    for (int i = 0; i < ARM_SEGMENTS; ++i)
        for (int j = 0; j < ARM_ACROSS; ++j) {
            const uint32_t a = uint32_t(i) * row + uint32_t(j);
            mesh.add_quad(a, a + 1, a + row + 1, a + row);
        }
    // A thin spine along the blade's edge catches light when it is edge-on.
    std::vector<Vec3> spine;
    for (int i = 0; i <= 32; ++i)
        spine.push_back(arm_spine(float(i) / 32.0f));
    mesh.append(tube(spine, false, 0.9f, 4));
    return mesh;
}

// --- the stripes tube ------------------------------------------------------------

const float TUBE_RADIUS = 110.0f, TUBE_LENGTH = 500.0f;
const int TUBE_SIDES = 64, TUBE_RINGS = 20;
const float TUBE_U_REPEATS = 10.0f, TUBE_V_REPEATS = 30.0f;

Mesh stripes_tube()
{
    Mesh mesh;
    mesh.use_material(material_unlit("vortex_stripes", {1, 1, 1}));
    const uint32_t row = TUBE_SIDES + 1;
    for (int i = 0; i <= TUBE_RINGS; ++i) {
        const float t = float(i) / float(TUBE_RINGS);
        const float z = (t - 0.5f) * TUBE_LENGTH;
        for (int j = 0; j <= TUBE_SIDES; ++j) {
            const float a = 2.0f * PI * float(j) / float(TUBE_SIDES);
            const Vec3 out = {std::cos(a), std::sin(a), 0};
            // Normals point inwards, at the eyes inside.
            mesh.add_vertex(out * TUBE_RADIUS + Vec3{0, 0, z}, -out,
                            {TUBE_U_REPEATS * (1.0f - float(j) / float(TUBE_SIDES)), TUBE_V_REPEATS * t});
        }
    }
    for (int i = 0; i < TUBE_RINGS; ++i)
        for (int j = 0; j < TUBE_SIDES; ++j) {
            const uint32_t a = uint32_t(i) * row + uint32_t(j);
            mesh.add_quad(a, a + row, a + row + 1, a + 1); // facing the inside
        }
    return mesh;
}

// --- the stripes texture ---------------------------------------------------------

// White on transparency: a solid stripe along the top and bottom edges
// (they meet the next repeat's as one ring), thin hairlines, and "mirvok"
// in the middle band flanked by dashes, all repeating across the width.
Canvas stripes_texture()
{
    Canvas c(256, 32, rgba(1, 1, 1, 0));
    const Rgba white = rgba(1, 1, 1, 1);
    c.fill_rect(0, 0, 256, 3, white);
    c.fill_rect(0, 29, 256, 3, white);
    c.fill_rect(0, 6, 256, 1, rgba(1, 1, 1, 0.55f));
    c.fill_rect(0, 25, 256, 1, rgba(1, 1, 1, 0.55f));
    Typeface face("Jura-Medium.otf");
    const float size = 17.0f;
    const float text_width = face.width("mirvok", size, 1.0f);
    const float x = 128.0f - text_width * 0.5f;
    face.draw(c, "mirvok", {x, 21.0f}, size, white, Blend::over, 1.0f);
    // Dashes from the text's ends to the picture's sides, so the band joins
    // the next repeat.
    for (int k = 0; k < 12; ++k) {
        const int left = int(x) - 10 - k * 9;
        const int right = int(x + text_width) + 4 + k * 9;
        if (left >= 0)
            c.fill_rect(left, 14, 6, 3, rgba(1, 1, 1, 0.8f));
        if (right + 6 <= 256)
            c.fill_rect(right, 14, 6, 3, rgba(1, 1, 1, 0.8f));
    }
    return c;
}

} // namespace

bool generate_vortex(DataContext& data)
{
    return arm().write(data, DIR + "vortexArm.bzobj") && stripes_tube().write(data, DIR + "stripes_smooth.bzobj") &&
           write_png(data, DIR + "stripes_mirvok_whitetrans_256x32.png", stripes_texture(), 4,
                     Addressing::unit_coordinates);
}
