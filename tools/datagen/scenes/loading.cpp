// The loading picture "loading.jpg": the show's title over a dark technical
// grid, with a dark slot where the loading bar grows, so the bar's light grey
// reads clearly at every length. 1024x768, drawn on a rectangle texture in
// texels by the show.
#include "generator.h"
#include "toolkit/image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using Color = toolkit::Rgba;
using toolkit::rgb8;

const int WIDTH = 1024;
const int HEIGHT = 768;

// The bar's slot in picture pixels from the bottom-left: it grows from x 330
// to 732 between y 466 and 495, leaning right by 30 pixels.
const float BAR_LEFT = 330.0f, BAR_LENGTH = 372.0f, BAR_LEAN = 30.0f;
const float BAR_BOTTOM = 466.0f, BAR_TOP = 495.0f;

struct Point
{
    float x, y;
};

// Stroke letters on a 4 x 6 grid, y down; each stroke is a polyline.
struct Glyph
{
    char c;
    std::vector<std::vector<Point>> strokes;
};

const std::vector<Glyph>& glyphs()
{
    static const std::vector<Glyph> table = {
        {'A', {{{0, 6}, {2, 0}, {4, 6}}, {{1, 4}, {3, 4}}}},
        {'D', {{{0, 0}, {0, 6}, {3, 6}, {4, 5}, {4, 1}, {3, 0}, {0, 0}}}},
        {'E', {{{4, 0}, {0, 0}, {0, 6}, {4, 6}}, {{0, 3}, {3, 3}}}},
        {'G', {{{4, 1}, {3, 0}, {1, 0}, {0, 1}, {0, 5}, {1, 6}, {3, 6}, {4, 5}, {4, 3}, {2, 3}}}},
        {'I', {{{2, 0}, {2, 6}}, {{1, 0}, {3, 0}}, {{1, 6}, {3, 6}}}},
        {'K', {{{0, 0}, {0, 6}}, {{4, 0}, {0, 4}}, {{1.4f, 2.6f}, {4, 6}}}},
        {'L', {{{0, 0}, {0, 6}, {4, 6}}}},
        {'M', {{{0, 6}, {0, 0}, {2, 3}, {4, 0}, {4, 6}}}},
        {'N', {{{0, 6}, {0, 0}, {4, 6}, {4, 0}}}},
        {'O', {{{1, 0}, {3, 0}, {4, 1}, {4, 5}, {3, 6}, {1, 6}, {0, 5}, {0, 1}, {1, 0}}}},
        {'R', {{{0, 6}, {0, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {0, 3}}, {{2, 3}, {4, 6}}}},
        {'V', {{{0, 0}, {2, 6}, {4, 0}}}},
    };
    return table;
}

float segment_distance(Point p, Point a, Point b)
{
    float dx = b.x - a.x, dy = b.y - a.y;
    float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0f, 1.0f) : 0.0f;
    float ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
    return std::sqrt(ex * ex + ey * ey);
}

// Distance (pixels) from every pixel to the nearest stroke of text set at
// (x, y) (top-left, y down) with letters scale pixels per grid unit.
void stroke_distances(std::vector<float>& field, const char* text, float x, float y, float scale, float spacing)
{
    std::vector<std::pair<Point, Point>> segments;
    for (const char* c = text; *c; ++c, x += spacing * scale) {
        for (const Glyph& g : glyphs()) {
            if (g.c != *c)
                continue;
            for (const std::vector<Point>& stroke : g.strokes)
                for (size_t i = 1; i < stroke.size(); ++i)
                    segments.push_back({{x + stroke[i - 1].x * scale, y + stroke[i - 1].y * scale},
                                        {x + stroke[i].x * scale, y + stroke[i].y * scale}});
        }
    }
    for (int py = 0; py < HEIGHT; ++py)
        for (int px = 0; px < WIDTH; ++px) {
            float& d = field[size_t(py) * WIDTH + size_t(px)];
            for (const auto& s : segments)
                d = std::min(d, segment_distance({px + 0.5f, py + 0.5f}, s.first, s.second));
        }
}

float smoothstep(float e0, float e1, float x)
{
    float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

uint8_t to_byte(float v)
{
    return uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

// Inside the bar's slot (top-down pixel coordinates), with margin pixels
// added on every side.
bool in_bar_slot(float px, float py, float margin)
{
    float y_up = float(HEIGHT) - py; // pixels from the bottom
    if (y_up < BAR_BOTTOM - margin || y_up > BAR_TOP + margin)
        return false;
    float lean = (y_up - BAR_BOTTOM) / (BAR_TOP - BAR_BOTTOM) * BAR_LEAN;
    return px >= BAR_LEFT + lean - margin && px <= BAR_LEFT + BAR_LENGTH + lean + margin;
}

} // namespace

bool generate_loading_picture(DataContext& data)
{
    data.progress("loading.jpg: title, grid and bar slot");
    std::vector<float> title(size_t(WIDTH) * HEIGHT, 1e9f);
    stroke_distances(title, "MIRVOK", 512.0f - 2.5f * 7.0f * 17.0f - 2.0f * 17.0f, 66.0f, 17.0f, 7.0f);
    std::vector<float> subtitle(size_t(WIDTH) * HEIGHT, 1e9f);
    stroke_distances(subtitle, "KELMORA", 512.0f - 3.0f * 6.0f * 3.2f - 2.0f * 3.2f, 212.0f, 3.2f, 6.0f);

    toolkit::Canvas image(WIDTH, HEIGHT);
    for (int py = 0; py < HEIGHT; ++py) {
        for (int px = 0; px < WIDTH; ++px) {
            const size_t i = size_t(py) * WIDTH + size_t(px);
            const float fy = float(py) / HEIGHT;
            // Night-blue falling to black, a fine grid and a vignette.
            float r = 0.020f + 0.020f * (1 - fy), g = 0.026f + 0.030f * (1 - fy), b = 0.045f + 0.060f * (1 - fy);
            float grid = (px % 32 == 0 || py % 32 == 0) ? 0.035f : 0.0f;
            if (px % 128 == 0 || py % 128 == 0)
                grid = 0.07f;
            r += grid * 0.4f;
            g += grid * 0.7f;
            b += grid;
            float cx = (px - 512.0f) / 512.0f, cy = (py - 384.0f) / 384.0f;
            // Faint rings of a sweep rising from below the picture.
            float ring_r = std::sqrt((px - 512.0f) * (px - 512.0f) + (py - 1010.0f) * (py - 1010.0f));
            float ring = std::max(0.0f, 1.0f - std::fabs(std::fmod(ring_r, 90.0f) - 45.0f) / 1.2f) * 0.10f;
            r += ring * 0.3f;
            g += ring * 0.6f;
            b += ring;
            float vignette = 1.0f - 0.45f * (cx * cx + cy * cy);
            r *= vignette;
            g *= vignette;
            b *= vignette;

            // The title: an amber core with a wide orange halo.
            float d = title[i];
            float core = smoothstep(8.5f, 6.5f, d);
            float halo = std::exp(-d / 22.0f) * 0.55f;
            r += halo * 1.0f + core * 1.0f;
            g += halo * 0.42f + core * 0.78f;
            b += halo * 0.08f + core * 0.45f;

            // The track name in cold blue.
            float s = smoothstep(2.2f, 1.0f, subtitle[i]);
            r += s * 0.45f;
            g += s * 0.65f;
            b += s * 0.85f;

            // The bar's slot: near black inside an amber rim, so the grey
            // bar stands out however far it has grown.
            if (in_bar_slot(px + 0.5f, py + 0.5f, 0.0f)) {
                r = 0.015f;
                g = 0.015f;
                b = 0.02f;
            } else if (in_bar_slot(px + 0.5f, py + 0.5f, 3.0f)) {
                r = 0.85f;
                g = 0.45f;
                b = 0.10f;
            }
            image.at(px, py) = rgb8(to_byte(r), to_byte(g), to_byte(b));
        }
    }
    // A thin rule under the title and a caption under the bar.
    image.fill_rect(352, 196, 320, 2, rgb8(120, 150, 190));
    image.pixel_text(452, 318, "loading", rgb8(140, 160, 190), 3);
    image.pixel_text(386, 730, "a real-time show for linux", rgb8(90, 105, 130), 2);
    return toolkit::write_jpeg(data, "textures/loading.jpg", image, toolkit::Addressing::texels);
}
