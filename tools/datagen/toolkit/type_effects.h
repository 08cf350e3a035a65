// Treatments for set type, built on a coverage mask: the text's anti-aliased
// coverage (0..1 per pixel) laid out once with a Typeface, then widened
// (outlines), blurred (glows, soft shadows) and painted onto a Canvas in a
// flat colour or a colour that varies over the picture (gradients). Every
// step is plain arithmetic in a fixed order, so the same fonts give the same
// pixels on every run.
#pragma once

#include "toolkit/image.h"
#include "toolkit/type.h"

#include <functional>
#include <string>
#include <vector>

namespace toolkit {

struct Coverage
{
    Coverage(int width, int height) : w(width), h(height), v(size_t(width) * size_t(height), 0.0f) {}
    int w, h;
    std::vector<float> v; // row by row from the top, 0..1

    float at(int x, int y) const
    {
        return x < 0 || y < 0 || x >= w || y >= h ? 0.0f : v[size_t(y) * size_t(w) + size_t(x)];
    }
    // The smallest rectangle holding every pixel above threshold; false
    // when there is none.
    bool bounds(int* x0, int* y0, int* x1, int* y1, float threshold = 0.02f) const;
};

// The coverage of text set like Typeface::draw (origin: left end of the
// baseline, pixels from the top-left); text already there is kept (union).
void set_text(Coverage& mask, const Typeface& face, const std::string& text, Vec2 origin, float size,
              float spacing = 0);
// text centred horizontally on centre_x; returns its width.
float set_text_centred(Coverage& mask, const Typeface& face, const std::string& text, float centre_x,
                       float baseline, float size, float spacing = 0);

// Every pixel the largest coverage within radius (pixels) of it: the text
// grown by radius, for outlines (grown minus the original) and heavy strokes.
Coverage dilate(const Coverage& mask, float radius);
// Three box blurs of the given radius: close to a Gaussian, for glows.
Coverage blur(const Coverage& mask, int radius);
// a minus b, clamped to 0..1 (an outline: dilate(m, r) minus m).
Coverage subtract(const Coverage& a, const Coverage& b);
// mask moved by (dx, dy) whole pixels.
Coverage shifted(const Coverage& mask, int dx, int dy);

// Paints the mask onto the canvas (same size) in colour, scaled by strength.
void paint(Canvas& canvas, const Coverage& mask, Rgba colour, float strength = 1, Blend blend = Blend::over);
// The same with the colour chosen per pixel (x, y from the top-left).
void paint(Canvas& canvas, const Coverage& mask, const std::function<Rgba(int x, int y)>& colour,
           float strength = 1, Blend blend = Blend::over);

} // namespace toolkit
