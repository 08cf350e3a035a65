#include "toolkit/image.h"

#include "generator.h"
#include "toolkit/font.h"
#include "toolkit/image_files.h"

#include <algorithm>
#include <cstdio>

namespace toolkit {

Rgba mix(Rgba a, Rgba b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Rgba operator*(Rgba c, float s)
{
    return {c.r * s, c.g * s, c.b * s, c.a * s};
}

float smoothstep(float edge0, float edge1, float x)
{
    float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

uint32_t Rng::next()
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

float Rng::uniform(float lo, float hi)
{
    return lo + (hi - lo) * float(next() >> 8) * (1.0f / 16777216.0f);
}

// --- noise -------------------------------------------------------------------

static float lattice(int x, int y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return float(h >> 8) * (1.0f / 16777216.0f);
}

static int wrap(int i, int period)
{
    return ((i % period) + period) % period;
}

float value_noise(float x, float y, int period, uint32_t seed)
{
    period = std::max(period, 1);
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    float tx = x - fx, ty = y - fy;
    // Quintic fade: no creases at the cell edges.
    tx = tx * tx * tx * (tx * (tx * 6 - 15) + 10);
    ty = ty * ty * ty * (ty * (ty * 6 - 15) + 10);
    int x0 = wrap(ix, period), x1 = wrap(ix + 1, period), y0 = wrap(iy, period), y1 = wrap(iy + 1, period);
    float a = lattice(x0, y0, seed), b = lattice(x1, y0, seed), c = lattice(x0, y1, seed), d = lattice(x1, y1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fbm(float x, float y, int octaves, int period, uint32_t seed)
{
    float sum = 0, amplitude = 1, total = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += value_noise(x, y, period, seed + uint32_t(o) * 101u) * amplitude;
        total += amplitude;
        x *= 2;
        y *= 2;
        period *= 2;
        amplitude *= 0.5f;
    }
    return total > 0 ? sum / total : 0.0f;
}

// --- canvas ------------------------------------------------------------------

Canvas::Canvas(int width, int height, Rgba fill) : w(width), h(height), pixels(size_t(width) * size_t(height), fill)
{
}

void Canvas::put(int x, int y, Rgba c, float coverage, Blend blend)
{
    if (x < 0 || y < 0 || x >= w || y >= h || coverage <= 0)
        return;
    Rgba& p = at(x, y);
    float k = c.a * std::min(coverage, 1.0f);
    if (blend == Blend::add) {
        p.r += c.r * k;
        p.g += c.g * k;
        p.b += c.b * k;
        p.a = std::min(1.0f, p.a + k);
    } else {
        p = {p.r + (c.r - p.r) * k, p.g + (c.g - p.g) * k, p.b + (c.b - p.b) * k, p.a + (1 - p.a) * k};
    }
}

void Canvas::linear_gradient(Vec2 from, Vec2 to, Rgba a, Rgba b)
{
    Vec2 d = to - from;
    float len2 = std::max(d.x * d.x + d.y * d.y, 1e-12f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float t = ((float(x) + 0.5f - from.x) * d.x + (float(y) + 0.5f - from.y) * d.y) / len2;
            at(x, y) = mix(a, b, std::clamp(t, 0.0f, 1.0f));
        }
}

void Canvas::radial_gradient(Vec2 centre, float radius, Rgba inner, Rgba outer)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float d = std::hypot(float(x) + 0.5f - centre.x, float(y) + 0.5f - centre.y);
            at(x, y) = mix(inner, outer, std::clamp(d / radius, 0.0f, 1.0f));
        }
}

void Canvas::glow(Vec2 centre, float radius, Rgba colour, float falloff, Blend blend)
{
    int x0 = std::max(0, int(centre.x - radius)), x1 = std::min(w - 1, int(centre.x + radius) + 1);
    int y0 = std::max(0, int(centre.y - radius)), y1 = std::min(h - 1, int(centre.y + radius) + 1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float dx = (float(x) + 0.5f - centre.x) / radius, dy = (float(y) + 0.5f - centre.y) / radius;
            float q = 1.0f - (dx * dx + dy * dy);
            if (q > 0)
                put(x, y, colour, std::pow(q, falloff), blend);
        }
}

void Canvas::fill_rect(int x, int y, int width, int height, Rgba colour, Blend blend)
{
    for (int yy = std::max(y, 0); yy < std::min(y + height, h); ++yy)
        for (int xx = std::max(x, 0); xx < std::min(x + width, w); ++xx)
            put(xx, yy, colour, 1, blend);
}

// Coverage of a band of the given width around distance 0, one pixel of
// anti-aliasing.
static float band(float distance, float width)
{
    return std::clamp(width * 0.5f - std::fabs(distance) + 0.5f, 0.0f, 1.0f);
}

void Canvas::grid(float spacing, float line_width, Rgba colour, Vec2 offset, Blend blend)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            auto nearest = [&](float p, float o) {
                float m = std::fmod(p - o, spacing);
                if (m < 0)
                    m += spacing;
                return std::min(m, spacing - m);
            };
            // Pixel centres at +0.5: a line at 0 covers pixel columns 0 .. width-1.
            float cx = band(nearest(float(x) + 0.5f, offset.x + line_width * 0.5f), line_width);
            float cy = band(nearest(float(y) + 0.5f, offset.y + line_width * 0.5f), line_width);
            put(x, y, colour, std::max(cx, cy), blend);
        }
}

void Canvas::stripes(float period, float duty, float angle_degrees, Rgba colour, Blend blend)
{
    float a = angle_degrees * PI / 180.0f;
    // Distance across the bands.
    float nx = -std::sin(a), ny = std::cos(a);
    const float lit = duty * period;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float s = std::fmod((float(x) + 0.5f) * nx + (float(y) + 0.5f) * ny, period);
            if (s < 0)
                s += period;
            // Distance from the centre of the lit part, wrapped.
            float d = std::fabs(s - lit * 0.5f);
            d = std::min(d, period - d);
            put(x, y, colour, band(d, lit) , blend);
        }
}

static float segment_distance(Vec2 p, Vec2 a, Vec2 b)
{
    Vec2 d = b - a;
    float len2 = d.x * d.x + d.y * d.y;
    float t = len2 > 0 ? std::clamp(((p.x - a.x) * d.x + (p.y - a.y) * d.y) / len2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(a.x + d.x * t - p.x, a.y + d.y * t - p.y);
}

void Canvas::line(Vec2 a, Vec2 b, float line_width, Rgba colour, Blend blend)
{
    const float reach = line_width * 0.5f + 1;
    int x0 = std::max(0, int(std::min(a.x, b.x) - reach)), x1 = std::min(w - 1, int(std::max(a.x, b.x) + reach));
    int y0 = std::max(0, int(std::min(a.y, b.y) - reach)), y1 = std::min(h - 1, int(std::max(a.y, b.y) + reach));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            put(x, y, colour, band(segment_distance({float(x) + 0.5f, float(y) + 0.5f}, a, b), line_width), blend);
}

float Canvas::text(const std::string& s, Vec2 origin, float height, float stroke_width, Rgba colour, Blend blend)
{
    const float unit = height / FONT_CAP_HEIGHT;
    // One pass per pixel over all segments, so crossing strokes are not
    // covered twice.
    std::vector<StrokeSegment> segs = font_segments(s);
    for (StrokeSegment& seg : segs) {
        seg.a = {origin.x + seg.a.x * unit, origin.y - seg.a.y * unit};
        seg.b = {origin.x + seg.b.x * unit, origin.y - seg.b.y * unit};
    }
    const float reach = stroke_width * 0.5f + 1;
    int x0 = std::max(0, int(origin.x - reach)), x1 = std::min(w - 1, int(origin.x + font_width(s) * unit + reach));
    int y0 = std::max(0, int(origin.y - height - 2 * unit - reach)), y1 = std::min(h - 1, int(origin.y + unit + reach));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float d = 1e9f;
            for (const StrokeSegment& seg : segs)
                d = std::min(d, segment_distance({float(x) + 0.5f, float(y) + 0.5f}, seg.a, seg.b));
            put(x, y, colour, band(d, stroke_width), blend);
        }
    return origin.x + FONT_ADVANCE * unit * float(s.size());
}

static uint8_t to_byte(float v)
{
    return uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

std::vector<uint8_t> Canvas::to_bytes(int channels) const
{
    std::vector<uint8_t> out(size_t(w) * size_t(h) * size_t(channels));
    size_t i = 0;
    for (const Rgba& p : pixels) {
        out[i++] = to_byte(p.r);
        out[i++] = to_byte(p.g);
        out[i++] = to_byte(p.b);
        if (channels == 4)
            out[i++] = to_byte(p.a);
    }
    return out;
}

namespace {

// Five rows of three bits (bit 2 is the left column) per glyph.
struct PixelGlyph
{
    char c;
    uint8_t rows[5];
};

const PixelGlyph PIXEL_FONT[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 7, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 1, 1}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'a', {2, 5, 7, 5, 5}}, {'b', {6, 5, 6, 5, 6}},
    {'c', {3, 4, 4, 4, 3}}, {'d', {6, 5, 5, 5, 6}}, {'e', {7, 4, 6, 4, 7}}, {'f', {7, 4, 6, 4, 4}},
    {'g', {3, 4, 5, 5, 3}}, {'h', {5, 5, 7, 5, 5}}, {'i', {7, 2, 2, 2, 7}}, {'j', {1, 1, 1, 5, 2}},
    {'k', {5, 5, 6, 5, 5}}, {'l', {4, 4, 4, 4, 7}}, {'m', {5, 7, 7, 5, 5}}, {'n', {6, 5, 5, 5, 5}},
    {'o', {2, 5, 5, 5, 2}}, {'p', {6, 5, 6, 4, 4}}, {'q', {2, 5, 5, 6, 3}}, {'r', {6, 5, 6, 5, 5}},
    {'s', {3, 4, 2, 1, 6}}, {'t', {7, 2, 2, 2, 2}}, {'u', {5, 5, 5, 5, 7}}, {'v', {5, 5, 5, 5, 2}},
    {'w', {5, 5, 7, 7, 5}}, {'x', {5, 5, 2, 5, 5}}, {'y', {5, 5, 2, 2, 2}}, {'z', {7, 1, 2, 4, 7}},
    {':', {0, 2, 0, 2, 0}}, {'_', {0, 0, 0, 0, 7}}, {'.', {0, 0, 0, 0, 2}}, {'-', {0, 0, 7, 0, 0}},
    {'(', {2, 4, 4, 4, 2}}, {')', {2, 1, 1, 1, 2}}, {'#', {5, 7, 5, 7, 5}}, {'/', {1, 1, 2, 4, 4}},
};

const PixelGlyph* find_pixel_glyph(char c)
{
    if (c >= 'A' && c <= 'Z')
        c = char(c - 'A' + 'a');
    for (const PixelGlyph& g : PIXEL_FONT)
        if (g.c == c)
            return &g;
    return nullptr; // drawn as a space
}

} // namespace

int Canvas::pixel_text(int x, int y, const std::string& s, Rgba colour, int scale)
{
    for (char c : s) {
        if (const PixelGlyph* g = find_pixel_glyph(c))
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 3; ++col)
                    if (g->rows[row] & (4 >> col))
                        fill_rect(x + col * scale, y + row * scale, scale, scale, colour);
        x += 4 * scale;
    }
    return x;
}

// --- files -------------------------------------------------------------------

bool is_power_of_two(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

bool fits_addressing(int width, int height, Addressing addressing)
{
    if (width < 1 || height < 2)
        return false; // height 1 would be a 1D texture
    bool pot = is_power_of_two(width) && is_power_of_two(height);
    return addressing == Addressing::unit_coordinates ? pot : !pot;
}

static bool check_size(const std::string& path, const Canvas& canvas, Addressing addressing)
{
    if (fits_addressing(canvas.width(), canvas.height(), addressing))
        return true;
    std::fprintf(stderr, "## ERROR: datagen: %s is %dx%d, which is not a %s texture\n", path.c_str(), canvas.width(),
                 canvas.height(), addressing == Addressing::unit_coordinates ? "power-of-two" : "rectangle");
    return false;
}

// An encoder that failed gives no bytes: that is an error, not an empty file.
static bool write_encoded(DataContext& data, const std::string& path, const std::vector<uint8_t>& bytes)
{
    if (bytes.empty()) {
        std::fprintf(stderr, "## ERROR: datagen: cannot encode %s\n", path.c_str());
        return false;
    }
    return data.write_file(path, bytes);
}

bool write_png(DataContext& data, const std::string& relative_path, const Canvas& canvas, int channels,
               Addressing addressing)
{
    if (!check_size(relative_path, canvas, addressing))
        return false;
    return write_encoded(data, relative_path,
                         image_files::encode_png(canvas.to_bytes(channels), canvas.width(), canvas.height(), channels));
}

bool write_jpeg(DataContext& data, const std::string& relative_path, const Canvas& canvas, Addressing addressing,
                int quality)
{
    if (!check_size(relative_path, canvas, addressing))
        return false;
    return write_encoded(data, relative_path,
                         image_files::encode_jpeg(canvas.to_bytes(3), canvas.width(), canvas.height(), 3, quality));
}

} // namespace toolkit
