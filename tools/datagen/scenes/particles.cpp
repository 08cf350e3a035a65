// The particles scene's pictures, in textures/ (the scene pushes no folder
// of its own):
// - qdr_pts_grid.jpg: the full-screen background, 1024x768 on a rectangle
//   texture in texels. Bright, so the scene's dark points (which scale what
//   lies under them by 1 - alpha) read as a darker cloud over it.
// - white_spot.png: one tile of the two dot bands. The scene repeats it 80
//   times across the screen and shows the lower 3/4 of its height (texture
//   t from 0 to 0.75), one tile 12.8 pixels square; so the dot sits at
//   v = 0.375 and stays within that part. It is drawn over the bright grid,
//   so a dark rim around the white dot makes the band read.
// - particle2.png: a soft round particle; loaded by the scene, not drawn.
#include "generator.h"
#include "toolkit/image.h"

#include <cmath>
#include <string>

using namespace toolkit;

namespace {

const int GRID_WIDTH = 1024, GRID_HEIGHT = 768;

Canvas grid_picture()
{
    Canvas c(GRID_WIDTH, GRID_HEIGHT);
    // Pale blue-grey paper, a little darker towards the corners.
    c.shade([](float u, float v) {
        float dx = u - 0.5f, dy = v - 0.5f;
        float k = 1.0f - 0.22f * (dx * dx + dy * dy) * 2.0f;
        return rgba(0.80f * k, 0.84f * k, 0.88f * k);
    });
    // Fine grid every 16 pixels, major lines every 64, both a cool blue.
    c.grid(16.0f, 1.0f, rgba(0.45f, 0.55f, 0.68f, 0.35f), {0, 0});
    c.grid(64.0f, 1.5f, rgba(0.25f, 0.36f, 0.52f, 0.6f), {0, 0});
    // The points of the grid: a small cross at every major crossing.
    for (int y = 64; y < GRID_HEIGHT; y += 64)
        for (int x = 64; x < GRID_WIDTH; x += 64) {
            const Vec2 p = {float(x) + 0.75f, float(y) + 0.75f};
            const Rgba ink = rgba(0.12f, 0.2f, 0.32f, 0.85f);
            c.line(p - Vec2{5, 0}, p + Vec2{5, 0}, 2.0f, ink);
            c.line(p - Vec2{0, 5}, p + Vec2{0, 5}, 2.0f, ink);
        }
    // Quadrant axes through the centre and measuring rings around it.
    const Vec2 centre = {512.75f, 384.75f};
    const Rgba axis = rgba(0.1f, 0.18f, 0.3f, 0.8f);
    c.line({0, centre.y}, {float(GRID_WIDTH), centre.y}, 2.5f, axis);
    c.line({centre.x, 0}, {centre.x, float(GRID_HEIGHT)}, 2.5f, axis);
    for (int r = 1; r <= 5; ++r) {
        const float radius = 64.0f * float(r);
        const int steps = 32 * r;
        for (int k = 0; k < steps; k += 2) { // dashed
            float a0 = 2 * PI * float(k) / float(steps), a1 = 2 * PI * float(k + 1) / float(steps);
            c.line(centre + Vec2{std::cos(a0), std::sin(a0)} * radius,
                   centre + Vec2{std::cos(a1), std::sin(a1)} * radius, 1.5f, rgba(0.2f, 0.32f, 0.5f, 0.55f));
        }
    }
    // Tick labels along both axes, and a title block in a corner.
    const Rgba label = rgba(0.15f, 0.24f, 0.38f, 0.9f);
    for (int k = -7; k <= 7; ++k) {
        if (k == 0)
            continue;
        c.text(std::to_string(k * 10), {centre.x + float(k) * 64.0f + 4.0f, centre.y - 6.0f}, 9.0f, 1.3f, label);
    }
    for (int k = -5; k <= 5; ++k) {
        if (k == 0)
            continue;
        c.text(std::to_string(k * 10), {centre.x + 6.0f, centre.y - float(k) * 64.0f - 4.0f}, 9.0f, 1.3f, label);
    }
    c.fill_rect(40, 40, 220, 56, rgba(0.2f, 0.3f, 0.45f, 0.18f));
    c.text("QDR PTS", {52.0f, 70.0f}, 18.0f, 2.4f, rgba(0.1f, 0.16f, 0.28f, 0.95f));
    c.text("MIRVOK 1 40000", {52.0f, 88.0f}, 9.0f, 1.3f, label);
    return c;
}

// A white dot with a dark rim, centred at (0.5, 0.375) of the tile.
Canvas white_spot()
{
    Canvas c(32, 32);
    c.shade([](float u, float v) {
        float d = std::hypot(u - 0.5f, v - 0.375f) / 0.34f; // 1 at the rim's outer edge
        float dot = smoothstep(0.62f, 0.38f, d);
        float rim = smoothstep(1.0f, 0.8f, d);
        float k = 0.08f + 0.92f * dot;
        return rgba(k, k, k, std::fmax(rim * 0.9f, dot));
    });
    return c;
}

// A soft blue-white glow on transparent black.
Canvas particle()
{
    Canvas c(64, 64, rgba(0, 0, 0, 0));
    c.shade([](float u, float v) {
        float d = std::hypot(u - 0.5f, v - 0.5f) * 2.0f;
        float k = std::pow(std::fmax(0.0f, 1.0f - d * d), 2.0f);
        return rgba(0.7f + 0.3f * k, 0.85f + 0.15f * k, 1.0f, k);
    });
    return c;
}

} // namespace

bool generate_particles_pictures(DataContext& data)
{
    return write_jpeg(data, "textures/qdr_pts_grid.jpg", grid_picture(), Addressing::texels) &&
           write_png(data, "textures/white_spot.png", white_spot(), 4, Addressing::unit_coordinates) &&
           write_png(data, "textures/particle2.png", particle(), 4, Addressing::unit_coordinates);
}
