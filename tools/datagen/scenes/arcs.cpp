// The arcs scene's arc and its diagram, in models/colorArc/.
//
// The scene draws eight copies of the arc, materials cleared, tumbling about
// the origin (each turned about x, y and z by its own multiple of a phase
// that grows about one unit per millisecond), additively and without depth
// test, with a shader that adds only the specular highlight of a light at
// the eye (shininess 10) to the arc's colour. The eye is at (0, 0, 50)
// looking at the origin, 140 degrees high: at the origin the view is about
// 275 units high, so an arc about the centre small enough to stay in front
// of the eye would be a small knot in the middle of the frame. Instead the
// arc is larger than the eye's distance: a ribbed band three quarters of a
// circle round, 66 to 77 units from the centre, lying in the xy plane. The
// eye sits inside the sphere the copies tumble on, so each copy crosses the
// frame as a long curved band, sweeping past within about 16 units of the
// eye (the near plane is 0.1) and passing behind it. It is one sheet (the
// shader lights both faces), its ribs run along it so their highlights are
// lines that slide along the band as it turns, and it is cut into short
// segments so the interpolated normals carry the highlight smoothly. No
// finer than that: eight copies of the band sweep past the eye, and on the
// software renderer each triangle costs more than the pixels it covers.
//
// Behind the arcs the scene draws "diagram_overlays.jpg" over the whole
// frame, repeated, showing one eighth of its width at a time and scrolling
// it sideways; its grey level (0.9 at a beat, 0.25 at 250 ms, then dark) goes
// through the glow, whose bright-pass starts at 0.55, so only lines near
// white glow on the beat. The picture is 4096 x 512 (powers of two), drawn
// at screen proportions (5440 x 512, one 680-pixel panel per screen) and
// squeezed to 4096 so that the screen's 4:3 stretch gives its letters and
// circles back their shape; it repeats seamlessly across its sides.
#include "generator.h"
#include "toolkit/image.h"
#include "toolkit/mesh.h"
#include "toolkit/type.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace toolkit;

namespace {

const std::string DIR = "models/colorArc/";
const float PI = 3.14159265f;

// --- the arc -------------------------------------------------------------------

const float ARC_INNER = 66.0f, ARC_OUTER = 77.0f;
const float ARC_SWEEP_DEGREES = 270.0f;
const int ARC_SEGMENTS = 108; // 2.5 degrees each
const int ARC_ACROSS = 20;    // quads across the band: four a rib
const int ARC_RIBS = 5;
const float RIB_HEIGHT = 0.45f;

// Height of the band's surface above its plane at w (0 inner edge, 1 outer
// edge): ARC_RIBS rounded ribs, and its slope dh/dw.
void rib_profile(float w, float* h, float* slope)
{
    const float x = w * float(ARC_RIBS);
    const float f = x - std::floor(x);
    *h = RIB_HEIGHT * std::sin(PI * f);
    *slope = RIB_HEIGHT * PI * std::cos(PI * f) * float(ARC_RIBS);
}

Mesh arc()
{
    Mesh mesh;
    mesh.use_material(material_colour("color_arc", {1, 1, 1}));
    const float width = ARC_OUTER - ARC_INNER;
    // The sweep is centred on +y, so the arc opens downwards at rest.
    const float start = (90.0f - ARC_SWEEP_DEGREES * 0.5f) * PI / 180.0f;
    const float step = ARC_SWEEP_DEGREES / float(ARC_SEGMENTS) * PI / 180.0f;
    for (int s = 0; s <= ARC_SEGMENTS; ++s) {
        const float a = start + step * float(s);
        const Vec3 radial = {std::cos(a), std::sin(a), 0.0f};
        for (int j = 0; j <= ARC_ACROSS; ++j) {
            const float w = float(j) / float(ARC_ACROSS);
            float h = 0, slope = 0;
            rib_profile(w, &h, &slope);
            const float r = ARC_INNER + width * w;
            // Normal of z = h(r): (-dh/dr along the radius, 1 along z).
            const Vec3 normal = normalize(radial * (-slope / width) + Vec3{0, 0, 1});
            mesh.add_vertex(radial * r + Vec3{0, 0, h}, normal, {float(s) / float(ARC_SEGMENTS), w});
        }
    }
    const uint32_t row = ARC_ACROSS + 1;
    for (int s = 0; s < ARC_SEGMENTS; ++s)
        for (int j = 0; j < ARC_ACROSS; ++j) {
            const uint32_t a = uint32_t(s) * row + uint32_t(j);
            mesh.add_quad(a, a + 1, a + row + 1, a + row);
        }
    return mesh;
}

// --- the diagram ---------------------------------------------------------------

const int DIAGRAM_WIDTH = 4096, DIAGRAM_HEIGHT = 512;
const int DRAW_WIDTH = 5440;           // screen proportions: 4096 x 4/3, rounded to 85-pixel cells
const int PANEL = DRAW_WIDTH / 8;      // one screen's worth
const Rgba PAPER = {0.02f, 0.035f, 0.07f, 1};
const Rgba INK = {0.78f, 0.92f, 1.0f, 1};
const Rgba FAINT = {0.16f, 0.26f, 0.36f, 1};
const Rgba AMBER = {1.0f, 0.62f, 0.2f, 1};

Rgba ink(float a) { return {INK.r, INK.g, INK.b, a}; }

void polyline(Canvas& c, const std::vector<Vec2>& p, float width, Rgba colour)
{
    for (size_t k = 1; k < p.size(); ++k)
        c.line(p[k - 1], p[k], width, colour);
}

void circle(Canvas& c, Vec2 centre, float radius, float width, Rgba colour, float from = 0, float to = 360)
{
    std::vector<Vec2> p;
    const int n = std::max(8, int((to - from) / 3.0f));
    for (int k = 0; k <= n; ++k) {
        const float a = (from + (to - from) * float(k) / float(n)) * PI / 180.0f;
        p.push_back({centre.x + radius * std::cos(a), centre.y - radius * std::sin(a)});
    }
    polyline(c, p, width, colour);
}

// A plot frame with ticks and a curve y = f(t), t in 0..1, f in -1..1.
template <class F>
void plot(Canvas& c, const Typeface& mono, float x, float y, float w, float h, const char* label, Rgba curve, F f)
{
    c.line({x, y + h}, {x + w, y + h}, 2.0f, ink(0.8f));
    c.line({x, y}, {x, y + h}, 2.0f, ink(0.8f));
    c.line({x, y + h * 0.5f}, {x + w, y + h * 0.5f}, 1.0f, ink(0.35f));
    for (int k = 0; k <= 10; ++k) {
        const float tx = x + w * float(k) / 10.0f;
        c.line({tx, y + h}, {tx, y + h + (k % 5 == 0 ? 10.0f : 5.0f)}, 1.5f, ink(0.8f));
    }
    for (int k = 0; k <= 4; ++k) {
        const float ty = y + h * float(k) / 4.0f;
        c.line({x - 8.0f, ty}, {x, ty}, 1.5f, ink(0.8f));
    }
    std::vector<Vec2> p;
    for (int k = 0; k <= 200; ++k) {
        const float t = float(k) / 200.0f;
        p.push_back({x + w * t, y + h * 0.5f - h * 0.45f * f(t)});
    }
    polyline(c, p, 3.0f, curve);
    mono.draw(c, label, {x + 6.0f, y - 8.0f}, 17.0f, ink(0.9f));
}

void panel_arc_dynamics(Canvas& c, float x0, const Typeface& mono, const Typeface& title)
{
    title.draw(c, "FIG. 6  ARC DYNAMICS", {x0 + 40, 70}, 34.0f, INK);
    const Vec2 centre = {x0 + 250, 300};
    circle(c, centre, 150, 2.0f, ink(0.5f));
    circle(c, centre, 110, 6.0f, AMBER, 45, 315);
    circle(c, centre, 80, 3.0f, INK, 45, 315);
    for (int k = 0; k < 36; ++k) {
        const float a = float(k) * 10.0f * PI / 180.0f;
        const float r0 = k % 3 == 0 ? 135.0f : 143.0f;
        c.line({centre.x + r0 * std::cos(a), centre.y - r0 * std::sin(a)},
               {centre.x + 150 * std::cos(a), centre.y - 150 * std::sin(a)}, 1.5f, ink(0.8f));
    }
    c.line({centre.x - 170, centre.y}, {centre.x + 170, centre.y}, 1.0f, ink(0.5f));
    c.line({centre.x, centre.y - 170}, {centre.x, centre.y + 170}, 1.0f, ink(0.5f));
    mono.draw(c, "270\xC2\xB0", {centre.x + 20, centre.y + 40}, 22.0f, AMBER);
    mono.draw(c, "R 30..40", {centre.x + 160, centre.y - 120}, 18.0f, INK);
    mono.draw(c, "KICK 100 \xE2\x86\x92 0", {x0 + 430, 200}, 18.0f, INK);
    mono.draw(c, "DECAY x0.95/FRAME", {x0 + 430, 228}, 18.0f, INK);
    mono.draw(c, "\xCE\x94t = 20 ms", {x0 + 430, 256}, 18.0f, INK);
}

void panel_phase_plots(Canvas& c, float x0, const Typeface& mono, const Typeface& title)
{
    title.draw(c, "PHASE RESPONSE", {x0 + 40, 70}, 30.0f, INK);
    plot(c, mono, x0 + 60, 130, 560, 130, "T0  SIN(0.04p)", INK,
         [](float t) { return std::sin(t * 4.0f * PI); });
    plot(c, mono, x0 + 60, 320, 560, 130, "KICK  100 x 0.95^n", AMBER,
         [](float t) { return 2.0f * std::pow(0.95f, t * 60.0f) - 1.0f; });
}

void panel_spectrum(Canvas& c, float x0, const Typeface& mono, const Typeface& title)
{
    title.draw(c, "SPECTRAL DENSITY", {x0 + 40, 70}, 30.0f, INK);
    const float base = 440;
    for (int k = 0; k < 40; ++k) {
        const float t = float(k) / 40.0f;
        const float h = 300.0f * (0.25f + 0.75f * std::exp(-std::pow((t - 0.3f) / 0.18f, 2.0f))) *
                        (0.75f + 0.25f * std::sin(float(k) * 1.7f));
        const Rgba colour = k % 8 == 3 ? AMBER : ink(0.85f);
        c.fill_rect(int(x0 + 50 + float(k) * 14), int(base - h), 9, int(h), colour);
    }
    c.line({x0 + 40, base + 4}, {x0 + 640, base + 4}, 2.0f, ink(0.9f));
    for (int k = 0; k <= 6; ++k) {
        char label[16];
        std::snprintf(label, sizeof label, "%d", 40 * (1 << k));
        mono.draw(c, label, {x0 + 46 + float(k) * 95, base + 32}, 16.0f, ink(0.8f));
    }
    mono.draw(c, "Hz", {x0 + 610, base + 32}, 16.0f, AMBER);
}

void panel_schematic(Canvas& c, float x0, const Typeface& mono, const Typeface& title)
{
    title.draw(c, "SIGNAL PATH 06", {x0 + 40, 70}, 30.0f, INK);
    const char* const blocks[] = {"OSC", "LVL", "BLUR", "DODGE"};
    for (int k = 0; k < 4; ++k) {
        const float bx = x0 + 50 + float(k) * 150, by = 200;
        c.fill_rect(int(bx), int(by), 100, 3, INK);
        c.fill_rect(int(bx), int(by + 67), 100, 3, INK);
        c.fill_rect(int(bx), int(by), 3, 70, INK);
        c.fill_rect(int(bx + 97), int(by), 3, 70, INK);
        mono.draw(c, blocks[k], {bx + 14, by + 44}, 20.0f, k == 3 ? AMBER : INK);
        if (k < 3) {
            c.line({bx + 100, by + 35}, {bx + 150, by + 35}, 2.5f, INK);
            c.line({bx + 150, by + 35}, {bx + 140, by + 29}, 2.5f, INK);
            c.line({bx + 150, by + 35}, {bx + 140, by + 41}, 2.5f, INK);
        }
    }
    // A feedback loop under the blocks.
    c.line({x0 + 550, 270}, {x0 + 550, 360}, 2.0f, ink(0.7f));
    c.line({x0 + 550, 360}, {x0 + 100, 360}, 2.0f, ink(0.7f));
    c.line({x0 + 100, 360}, {x0 + 100, 270}, 2.0f, ink(0.7f));
    mono.draw(c, "FEEDBACK  -6 dB", {x0 + 240, 392}, 17.0f, ink(0.9f));
    std::vector<Vec2> wave;
    for (int k = 0; k <= 120; ++k)
        wave.push_back({x0 + 60 + float(k) * 4.6f, 450 - 22.0f * std::sin(float(k) * 0.35f) * std::exp(-float(k) / 70)});
    polyline(c, wave, 2.5f, AMBER);
}

void panel_polar(Canvas& c, float x0, const Typeface& mono, const Typeface& title)
{
    title.draw(c, "POLAR PLOT", {x0 + 380, 70}, 30.0f, INK);
    const Vec2 centre = {x0 + 230, 280};
    for (int r = 40; r <= 200; r += 40)
        circle(c, centre, float(r), r == 200 ? 2.5f : 1.2f, ink(r == 200 ? 0.9f : 0.45f));
    for (int k = 0; k < 12; ++k) {
        const float a = float(k) * 30.0f * PI / 180.0f;
        c.line(centre, {centre.x + 200 * std::cos(a), centre.y - 200 * std::sin(a)}, 1.0f, ink(0.4f));
    }
    std::vector<Vec2> rose;
    for (int k = 0; k <= 360; ++k) {
        const float a = float(k) * PI / 180.0f;
        const float r = 180.0f * std::fabs(std::cos(3.0f * a)) * (0.7f + 0.3f * std::cos(a));
        rose.push_back({centre.x + r * std::cos(a), centre.y - r * std::sin(a)});
    }
    polyline(c, rose, 3.0f, AMBER);
    mono.draw(c, "0\xC2\xB0", {centre.x + 208, centre.y + 6}, 16.0f, INK);
    mono.draw(c, "90\xC2\xB0", {centre.x - 14, centre.y - 210}, 16.0f, INK);
    mono.draw(c, "GAIN 3 LOBES", {x0 + 460, 140}, 17.0f, INK);
    mono.draw(c, "CROSSING 8", {x0 + 460, 168}, 17.0f, INK);
}

void panel_coordinates(Canvas& c, float x0, const Typeface& mono, const Typeface& title)
{
    title.draw(c, "TUMBLE AXES", {x0 + 40, 70}, 30.0f, INK);
    const Vec2 o = {x0 + 200, 330};
    c.line(o, {o.x + 220, o.y}, 3.0f, INK);
    c.line(o, {o.x, o.y - 220}, 3.0f, INK);
    c.line(o, {o.x - 130, o.y + 110}, 3.0f, INK);
    mono.draw(c, "X", {o.x + 230, o.y + 8}, 22.0f, AMBER);
    mono.draw(c, "Y", {o.x - 8, o.y - 230}, 22.0f, AMBER);
    mono.draw(c, "Z", {o.x - 155, o.y + 130}, 22.0f, AMBER);
    // An ellipse for each rotation, as a tilted circle seen in perspective.
    for (int k = 0; k < 3; ++k) {
        std::vector<Vec2> e;
        for (int n = 0; n <= 90; ++n) {
            const float a = float(n) * 4.0f * PI / 180.0f;
            const float rx = 90.0f + 30.0f * float(k), ry = 30.0f + 12.0f * float(k);
            const float tilt = 0.3f * float(k) - 0.3f;
            const float px = rx * std::cos(a), py = ry * std::sin(a);
            e.push_back({o.x + px * std::cos(tilt) - py * std::sin(tilt), o.y - 40 - px * std::sin(tilt) - py * std::cos(tilt)});
        }
        polyline(c, e, 1.5f, ink(0.7f));
    }
    const char* const lines[] = {"T1 = (p/15, .04p, -.04p)", "T3 = (.04p, -.04p, -p/30)", "T7 = (-p/27, p/18, p/30)"};
    for (int k = 0; k < 3; ++k)
        mono.draw(c, lines[k], {x0 + 380, 200 + 30.0f * float(k)}, 15.0f, ink(0.9f));
}

void panel_colour_turn(Canvas& c, float x0, const Typeface& mono, const Typeface& title)
{
    title.draw(c, "COLOUR TURN", {x0 + 40, 70}, 30.0f, INK);
    const Rgba cold[4] = {rgba(59 / 255.f, 101 / 255.f, 141 / 255.f), rgba(47 / 255.f, 175 / 255.f, 228 / 255.f),
                          rgba(130 / 255.f, 218 / 255.f, 231 / 255.f), rgba(122 / 255.f, 169 / 255.f, 221 / 255.f)};
    const Rgba warm[4] = {rgba(1, 0, 10 / 255.f), rgba(1, 203 / 255.f, 7 / 255.f), rgba(179 / 255.f, 0, 0),
                          rgba(1, 85 / 255.f, 0)};
    for (int k = 0; k < 4; ++k) {
        const float y = 140 + float(k) * 70;
        for (int n = 0; n < 24; ++n) {
            const float t = float(n) / 23.0f;
            const float s = t * t * (3 - 2 * t);
            c.fill_rect(int(x0 + 60 + float(n) * 20), int(y), 18, 46, mix(cold[k], warm[k], s) * 0.8f);
        }
        char label[8];
        std::snprintf(label, sizeof label, "%c", 'A' + k);
        mono.draw(c, label, {x0 + 560, y + 34}, 22.0f, INK);
    }
    mono.draw(c, "182628 ms", {x0 + 60, 450}, 18.0f, AMBER);
    mono.draw(c, "COLD \xE2\x86\x92 WARM", {x0 + 300, 450}, 18.0f, INK);
}

void panel_waveforms(Canvas& c, float x0, const Typeface& mono, const Typeface& title)
{
    title.draw(c, "BEAT ENVELOPE", {x0 + 40, 70}, 30.0f, INK);
    plot(c, mono, x0 + 60, 130, 560, 120, "GREY  0.9 \xE2\x86\x92 0.25 / 250 ms", INK, [](float t) {
        const float f = t * 4.0f - std::floor(t * 4.0f);
        return std::max(-0.6f, 1.0f - 6.5f * f);
    });
    plot(c, mono, x0 + 60, 320, 560, 120, "SMOOTHSTEP", AMBER, [](float t) {
        return 2.0f * t * t * (3 - 2 * t) - 1.0f;
    });
}

// Width squeezed to new_width with a tent filter, wrapping across the sides
// (the picture repeats).
Canvas squeeze_width(const Canvas& src, int new_width)
{
    Canvas dst(new_width, src.height());
    const float scale = float(src.width()) / float(new_width);
    const int reach = int(std::ceil(scale)) + 1;
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < new_width; ++x) {
            const float centre = (float(x) + 0.5f) * scale - 0.5f;
            Rgba sum = {0, 0, 0, 0};
            float total = 0;
            for (int k = int(std::floor(centre)) - reach; k <= int(std::ceil(centre)) + reach; ++k) {
                const float weight = std::max(0.0f, 1.0f - std::fabs(float(k) - centre) / scale);
                if (weight == 0.0f)
                    continue;
                const Rgba& p = src.at((k % src.width() + src.width()) % src.width(), y);
                sum = {sum.r + p.r * weight, sum.g + p.g * weight, sum.b + p.b * weight, sum.a + p.a * weight};
                total += weight;
            }
            dst.at(x, y) = {sum.r / total, sum.g / total, sum.b / total, 1};
        }
    return dst;
}

Canvas diagram()
{
    Canvas c(DRAW_WIDTH, DIAGRAM_HEIGHT, PAPER);
    // Grids whose cells divide the width, so the picture joins across its sides.
    c.grid(17.0f, 1.0f, FAINT * 0.7f);
    c.grid(85.0f, 1.5f, FAINT);
    Typeface mono("NimbusMonoPS-Regular.otf");
    Typeface title("Jura-Medium.otf");
    Typeface ocr("OCRA.ttf");
    // A running header and footer strip across every panel.
    for (int k = 0; k < 8; ++k) {
        const float x0 = float(k * PANEL);
        char header[64];
        std::snprintf(header, sizeof header, "MIRVOK / KELMORA  SHEET %d-8", k + 1);
        ocr.draw(c, header, {x0 + 24, 28}, 16.0f, ink(0.7f));
        ocr.draw(c, "REV 06  SCALE 1:1", {x0 + 430, 500}, 14.0f, ink(0.6f));
        c.fill_rect(int(x0), 40, PANEL, 2, ink(0.5f));
        c.fill_rect(int(x0), 478, PANEL, 2, ink(0.5f));
        c.fill_rect(int(x0) + PANEL - 2, 40, 2, 440, ink(0.3f));
    }
    void (*const panels[8])(Canvas&, float, const Typeface&, const Typeface&) = {
        panel_arc_dynamics, panel_phase_plots, panel_spectrum,   panel_schematic,
        panel_polar,        panel_coordinates, panel_colour_turn, panel_waveforms};
    for (int k = 0; k < 8; ++k)
        panels[k](c, float(k * PANEL), mono, title);
    return squeeze_width(c, DIAGRAM_WIDTH);
}

} // namespace

bool generate_arcs(DataContext& data)
{
    return arc().write(data, DIR + "colorArc.bzobj") &&
           write_jpeg(data, DIR + "diagram_overlays.jpg", diagram(), Addressing::unit_coordinates);
}
