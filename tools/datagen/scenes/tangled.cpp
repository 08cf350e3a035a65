// The tangled scene's knot and its texture, in models/tangled/.
//
// The scene draws the knot additively without depth test from the eye
// (22, -5, -0.5) towards the origin, 130 degrees high, after turning it
// 20 degrees about (0.2, 0, 1), about y with show time, and moving it by
// (-10, 0, 0) first. So the knot is built around (10, 0, 0): moved, it turns
// about its own centre, 22.6 units from the eye, reaching about 16.5 units
// out across and 24 up and down, so it fills much of the very wide view
// without reaching the eye.
// Its materials are cleared by the scene; texture coordinates run along
// each strand from 0 to 1 (the texture is clamped) and around it from 0 to 1.
#include "generator.h"
#include "toolkit/image.h"
#include "toolkit/mesh.h"

#include <cmath>

using namespace toolkit;

namespace {

const std::string DIR = "models/tangled/";
const char* const TWIRL_TEXTURE = "glowing_twirl_4.jpg";
// Twirls along a strand: the texture's u from 0 to 1 holds this many.
const int TWIRLS = 48;

float curve_length(const std::vector<Vec3>& curve)
{
    float sum = 0;
    for (size_t k = 0; k < curve.size(); ++k)
        sum += length(curve[(k + 1) % curve.size()] - curve[k]);
    return sum;
}

Mesh knot()
{
    struct Strand
    {
        int p, q;
        float major, minor, radius;
        Mat4 orientation;
    };
    const Strand strands[] = {
        {3, 7, 10.5f, 4.5f, 1.0f, Mat4()},
        {2, 5, 9.0f, 6.5f, 0.8f, Mat4::rotate_x(70.0f) * Mat4::rotate_y(20.0f)},
        {5, 3, 11.5f, 3.5f, 0.7f, Mat4::rotate_z(55.0f) * Mat4::rotate_x(-30.0f)},
        {3, 4, 8.0f, 5.0f, 0.6f, Mat4::rotate_x(-50.0f) * Mat4::rotate_z(-35.0f)},
    };
    // Taller than wide: the eye is 22.6 units from the centre, so the knot
    // keeps within about 16.5 units of it in x and z (a strand turning past
    // the eye stays 6 units off), but reaches further in y, where the
    // 130-degree view has room.
    const Mat4 stretch = Mat4::scale(Vec3{1.0f, 1.5f, 1.0f});
    Mesh mesh;
    mesh.use_material(material_clamped_map("tangled_twirl", TWIRL_TEXTURE));
    // 240 rings of 8 sides a strand (7,680 quads in all): drawn additively
    // and unlit, the tubes look the same as with 4.5 times the triangles,
    // and the greetings draw the knot for their screens every frame too.
    // Fewer rings show as kinks on the strand that passes nearest the eye.
    for (const Strand& s : strands) {
        std::vector<Vec3> curve = torus_knot_curve(s.p, s.q, s.major, s.minor, 240);
        Mesh tube_mesh = tube(curve, true, s.radius, 8, 1.0f / curve_length(curve));
        mesh.append(tube_mesh, Mat4::translate({10.0f, 0, 0}) * stretch * s.orientation);
    }
    return mesh;
}

// Glowing helical twirls on a deep blue: along u TWIRLS bright bands that
// wind twice around the tube (periodic in v), a white-hot core in a cyan
// glow, with a fainter amber band between them.
Canvas twirl_texture()
{
    Canvas c(1024, 256);
    c.shade([](float u, float v) {
        float phase = float(TWIRLS) * u + 2.0f * v;
        float f = phase - std::floor(phase);          // 0..1 within one twirl
        float d = std::fabs(f - 0.5f) * 2.0f;         // 0 at the band's centre
        float core = std::exp(-std::pow(d / 0.12f, 2.0f));
        float glow = std::exp(-std::pow(d / 0.45f, 2.0f));
        float g2 = std::fabs(std::fabs(f - 0.5f) - 0.5f) * 2.0f; // 0 between bands
        float amber = std::exp(-std::pow(g2 / 0.15f, 2.0f)) * 0.35f;
        return rgba(0.02f + 0.12f * glow + 0.55f * core + 0.6f * amber,
                    0.03f + 0.24f * glow + 0.55f * core + 0.3f * amber,
                    0.08f + 0.42f * glow + 0.5f * core + 0.05f * amber);
    });
    return c;
}

} // namespace

bool generate_tangled(DataContext& data)
{
    return knot().write(data, DIR + "tangled.bzobj") &&
           write_jpeg(data, DIR + TWIRL_TEXTURE, twirl_texture(), Addressing::unit_coordinates);
}
