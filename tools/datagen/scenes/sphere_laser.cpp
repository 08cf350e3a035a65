// The sphere laser scene's nest of shells and its two pictures, in
// models/sphere_laser/.
//
// The scene draws ten copies of one mesh about the origin, each turned
// differently and all slowly turning, additively (alpha 0.05, up to about
// 0.35 in a flash) with depth test but no depth writes and no culling, and
// sphere-mapped: the texture's texel for a point comes from its eye-space
// normal, not from the mesh's own coordinates. The eye stands 11 units from
// the centre and is thrown back to 36 on the beats, 135 degrees high. So:
// - a closed sphere would look the same however it is turned: the mesh is
//   open, five concentric shells cut into bands (latitude bands on two,
//   meridian gores on the others), so the ten turned copies cross into a
//   lattice of light;
// - the outer shells (radius 16, 24 and 34) surround the eye at 11 and fill
//   the view; the inner ones (6 and 9) are the ball seen through them. From
//   36 the shell of radius 34, two units away, still fills the frame with
//   thin gores, so the rings (which the colour dodge shows only where the
//   nest is not black) stay visible while the camera is thrown back;
// - the intro's cube block (about 6 units across once scaled by 4) turns
//   inside the innermost shell;
// - the normals point outward from the centre (smooth), as the sphere map
//   needs them;
// - the outer shells' bands are narrow (a fifth to an eighth of their
//   period): around the eye, every copy of them covers the whole view, so
//   their lit fraction is what the software renderer pays per pixel ten
//   times over; thinner, they still cross into the lattice;
// - the bands are one row of quads high and the gores one column wide, and
//   a quad spans 15 degrees along a band or gore: the software renderer
//   pays for every triangle of the ten copies (most likely for the blocks
//   of pixels an edge between two triangles splits, shaded twice), so
//   fewer, fuller triangles cost far less for the same lattice (the sphere
//   map's coordinates, taken at the corners, bend the streaks a little
//   differently; the outlines are polygons of 24 sides).
// The scene's colour-dodge blend lights the ring layer only where the nest
// is not black, so the sphere map holds a faint blue haze between its bright
// streaks. The ring is white on black; the scene draws it as large as twice
// the screen height, shrinking to the centre.
#include "generator.h"
#include "toolkit/image.h"
#include "toolkit/mesh.h"

#include <cmath>

using namespace toolkit;

namespace {

const std::string DIR = "models/sphere_laser/";

struct Shell
{
    float radius;
    bool meridians; // gores between meridians, else bands between latitudes
    int bands;      // lit bands around (gores) or from pole to pole (latitudes)
    float duty;     // lit fraction of each band period
    int segments;   // quads from pole to pole (gores) or around (latitudes)
};

const Shell SHELLS[] = {
    {6.0f, true, 6, 0.25f, 12},    {9.0f, false, 7, 0.3f, 24},    {16.0f, true, 9, 0.2f, 12},
    {24.0f, false, 11, 0.16f, 24}, {34.0f, true, 14, 0.12f, 12},
};

// One lit patch of a sphere of the given radius between polar angles
// theta0..theta1 (0 at +y) and azimuths phi0..phi1, as a grid of quads with
// normals from the centre.
Mesh sphere_patch(float radius, float theta0, float theta1, float phi0, float phi1, int rows, int columns)
{
    Mesh mesh;
    for (int i = 0; i <= rows; ++i) {
        const float theta = theta0 + (theta1 - theta0) * float(i) / float(rows);
        for (int j = 0; j <= columns; ++j) {
            const float phi = phi0 + (phi1 - phi0) * float(j) / float(columns);
            const Vec3 n = {std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
            mesh.add_vertex(n * radius, n, {float(j) / float(columns), float(i) / float(rows)});
        }
    }
    const uint32_t stride = uint32_t(columns + 1);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const uint32_t a = uint32_t(i) * stride + uint32_t(j);
            // Counter-clockwise seen from outside.
            mesh.add_quad(a, a + stride, a + stride + 1, a + 1);
        }
    return mesh;
}

Mesh shell(const Shell& s)
{
    Mesh mesh;
    const float band = (s.meridians ? 2.0f * PI : PI) / float(s.bands);
    for (int k = 0; k < s.bands; ++k) {
        const float from = band * float(k), to = from + band * s.duty;
        if (s.meridians)
            mesh.append(sphere_patch(s.radius, 0.02f, PI - 0.02f, from, to, s.segments, 1));
        else
            mesh.append(sphere_patch(s.radius, from + band * 0.5f * (1 - s.duty), to + band * 0.5f * (1 - s.duty), 0,
                                     2.0f * PI, 1, s.segments));
    }
    return mesh;
}

Mesh nest()
{
    Mesh mesh;
    for (const Shell& s : SHELLS)
        mesh.append(shell(s));
    return mesh;
}

// Laser streaks on black: straight beams at every angle across the sphere
// map's disc, each a white-hot core in a coloured glow, over a faint blue
// haze that fades towards the disc's rim. 256 texels across, the beams a
// texel or two wide: the nest is drawn into a half-size target, where the
// shells spread the disc so that finer beams would blur away, and the
// software renderer samples the smaller picture faster (the shells' pass
// about a tenth quicker than with 512).
Canvas coca_picture()
{
    const int size = 256;
    Canvas c(size, size);
    c.radial_gradient({size * 0.5f, size * 0.5f}, size * 0.5f, rgba(0.03f, 0.05f, 0.12f), rgba(0.01f, 0.015f, 0.035f));
    const Rgba colours[] = {rgba(0.2f, 0.9f, 1.0f), rgba(1.0f, 0.25f, 0.8f), rgba(0.7f, 1.0f, 0.2f),
                            rgba(1.0f, 0.6f, 0.15f), rgba(0.5f, 0.5f, 1.0f)};
    Rng rng(0x5eed07u);
    for (int k = 0; k < 46; ++k) {
        const float angle = rng.uniform(0, PI);
        const float offset = rng.uniform(-0.42f, 0.42f) * float(size);
        const Vec2 dir = {std::cos(angle), std::sin(angle)}, across = {-dir.y, dir.x};
        const Vec2 mid = Vec2{size * 0.5f, size * 0.5f} + across * offset;
        const Vec2 a = mid - dir * float(size), b = mid + dir * float(size);
        const Rgba colour = colours[rng.next() % 5];
        const float width = rng.uniform(0.6f, 1.5f);
        c.line(a, b, width * 6.0f, colour * 0.18f, Blend::add);
        c.line(a, b, width * 2.0f, colour * 0.7f, Blend::add);
        c.line(a, b, width * 0.7f, rgba(1, 1, 1) * 0.9f, Blend::add);
    }
    return c;
}

// A bright ring on black: a thin white-hot line at 0.42 of the size with a
// soft cyan glow either side and a fainter echo inside.
Canvas ring_picture()
{
    const int size = 256;
    Canvas c(size, size);
    c.shade([](float u, float v) {
        const float r = std::hypot(u - 0.5f, v - 0.5f);
        const float core = std::exp(-std::pow((r - 0.42f) / 0.008f, 2.0f));
        const float glow = std::exp(-std::pow((r - 0.42f) / 0.035f, 2.0f));
        const float echo = std::exp(-std::pow((r - 0.36f) / 0.006f, 2.0f)) * 0.45f;
        return rgba(core + 0.35f * glow + echo, core + 0.75f * glow + echo, core + 0.95f * glow + echo);
    });
    return c;
}

} // namespace

bool generate_sphere_laser(DataContext& data)
{
    return nest().write(data, DIR + "sphere_laser.bzobj") &&
           write_jpeg(data, DIR + "Coca.jpg", coca_picture(), Addressing::unit_coordinates) &&
           write_jpeg(data, DIR + "ring.jpg", ring_picture(), Addressing::unit_coordinates);
}
