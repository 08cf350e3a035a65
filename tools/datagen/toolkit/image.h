// The toolkit's pictures: a floating-point RGBA canvas with gradients,
// tileable value noise and fbm, grids, stripes, soft glows, anti-aliased
// lines, stroke-font text and small pixel-font labels, written as PNG (RGB or
// RGBA) or JPEG. It is the one picture type of the data tool and the capture
// tool; toolkit/image_files.h encodes its bytes.
//
// The written size decides the show's texture target: power-of-two sides
// give a 2D texture addressed with 0..1 coordinates (the only kind that may
// repeat, be sphere-mapped or be used by a mesh's material); other sizes give
// a rectangle texture addressed in texels. The writers refuse a size that
// does not fit the addressing asked for.
#pragma once

#include "toolkit/math.h"

#include <cstdint>
#include <string>
#include <vector>

class DataContext;

namespace toolkit {

struct Rgba
{
    float r = 0, g = 0, b = 0, a = 1; // 0..1, values above 1 are clipped when written
};

inline Rgba rgba(float r, float g, float b, float a = 1) { return {r, g, b, a}; }
// A colour given in 8-bit steps (0..255), as pictures drawn in bytes name them.
inline Rgba rgb8(int r, int g, int b, int a = 255) { return {float(r) / 255, float(g) / 255, float(b) / 255, float(a) / 255}; }
Rgba mix(Rgba a, Rgba b, float t);
Rgba operator*(Rgba c, float s);
float smoothstep(float edge0, float edge1, float x);

// A seeded random number generator (xorshift32): the same seed gives the
// same numbers on every machine.
class Rng
{
public:
    explicit Rng(uint32_t seed) : state(seed ? seed : 0x9e3779b9u) {}
    uint32_t next();
    float uniform(float lo = 0, float hi = 1); // [lo, hi)

private:
    uint32_t state;
};

// Value noise in 0..1 on a lattice of one cell per unit, repeating every
// period cells in x and y (so a texture of period cells tiles).
float value_noise(float x, float y, int period, uint32_t seed);
// Octaves of value noise, each twice the frequency and half the amplitude of
// the one before, in 0..1; repeats every period (of the first octave).
float fbm(float x, float y, int octaves, int period, uint32_t seed);

enum class Blend
{
    over, // mixed by the colour's alpha and the coverage
    add,  // colour times alpha times coverage added
};

enum class Addressing
{
    unit_coordinates, // power-of-two sides: a 2D texture, 0..1, may repeat
    texels,           // any other size: a rectangle texture in texels
};

class Canvas
{
public:
    Canvas(int width, int height, Rgba fill = {0, 0, 0, 1});

    int width() const { return w; }
    int height() const { return h; }
    // (x, y) in pixels from the top-left, as in the file.
    Rgba& at(int x, int y) { return pixels[size_t(y) * size_t(w) + size_t(x)]; }
    const Rgba& at(int x, int y) const { return pixels[size_t(y) * size_t(w) + size_t(x)]; }
    void put(int x, int y, Rgba c, float coverage = 1, Blend blend = Blend::over);

    // Every pixel set to f(u, v), the texture coordinates of its centre as
    // the show samples them (u right, v up from the bottom row, 0..1).
    template <class F>
    void shade(F f)
    {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                at(x, y) = f((float(x) + 0.5f) / float(w), 1.0f - (float(y) + 0.5f) / float(h));
    }

    // From colour a at pixel point from to colour b at point to (pixels).
    void linear_gradient(Vec2 from, Vec2 to, Rgba a, Rgba b);
    // Colour inner at centre to outer at radius and beyond.
    void radial_gradient(Vec2 centre, float radius, Rgba inner, Rgba outer);
    // A soft dot: colour fading as (1 - (d / radius)^2)^falloff to 0 at radius.
    void glow(Vec2 centre, float radius, Rgba colour, float falloff = 2, Blend blend = Blend::add);
    void fill_rect(int x, int y, int width, int height, Rgba colour, Blend blend = Blend::over);
    // Lines of line_width pixels every spacing pixels, from offset.
    void grid(float spacing, float line_width, Rgba colour, Vec2 offset = {0, 0}, Blend blend = Blend::over);
    // Parallel bands period pixels apart, duty (0..1) of each lit, at angle
    // degrees from the x axis; anti-aliased edges.
    void stripes(float period, float duty, float angle_degrees, Rgba colour, Blend blend = Blend::over);
    // An anti-aliased segment with round ends.
    void line(Vec2 a, Vec2 b, float line_width, Rgba colour, Blend blend = Blend::over);
    // Stroke-font text; origin is the left end of the baseline (pixels),
    // height the capital height. Returns the x after the text.
    float text(const std::string& s, Vec2 origin, float height, float stroke_width, Rgba colour,
               Blend blend = Blend::over);

    // Labels in a 3x5 pixel font (letters, digits and " :_.-()#/"), each
    // cell scale pixels square with one cell of spacing; (x, y) is the
    // top-left corner. Returns the x after the text.
    int pixel_text(int x, int y, const std::string& s, Rgba colour, int scale = 1);

    // 8-bit rows, top row first, of 3 (RGB) or 4 (RGBA) channels; values
    // are clipped to 0..1 and rounded.
    std::vector<uint8_t> to_bytes(int channels) const;

private:
    int w, h;
    std::vector<Rgba> pixels;
};

bool is_power_of_two(int n);
// Whether a width x height image lands on the texture kind the addressing
// needs (and is not a 1D texture).
bool fits_addressing(int width, int height, Addressing addressing);

// Write relative_path in the data tree; false (with a message) when the size
// does not fit the addressing or the file cannot be written.
bool write_png(DataContext& data, const std::string& relative_path, const Canvas& canvas, int channels,
               Addressing addressing);
bool write_jpeg(DataContext& data, const std::string& relative_path, const Canvas& canvas, Addressing addressing,
                int quality = 92);

} // namespace toolkit
