#include "toolkit/type_effects.h"

#include <algorithm>
#include <cmath>

namespace toolkit {

bool Coverage::bounds(int* x0, int* y0, int* x1, int* y1, float threshold) const
{
    *x0 = w;
    *y0 = h;
    *x1 = -1;
    *y1 = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (v[size_t(y) * size_t(w) + size_t(x)] > threshold) {
                *x0 = std::min(*x0, x);
                *y0 = std::min(*y0, y);
                *x1 = std::max(*x1, x);
                *y1 = std::max(*y1, y);
            }
    return *x1 >= 0;
}

void set_text(Coverage& mask, const Typeface& face, const std::string& text, Vec2 origin, float size, float spacing)
{
    // White over transparent black: the canvas's alpha is the coverage,
    // overlapping glyphs combined as 1 - (1 - a)(1 - b).
    Canvas layer(mask.w, mask.h, rgba(0, 0, 0, 0));
    face.draw(layer, text, origin, size, rgba(1, 1, 1, 1), Blend::over, spacing);
    for (int y = 0; y < mask.h; ++y)
        for (int x = 0; x < mask.w; ++x) {
            float& m = mask.v[size_t(y) * size_t(mask.w) + size_t(x)];
            m = std::max(m, layer.at(x, y).a);
        }
}

float set_text_centred(Coverage& mask, const Typeface& face, const std::string& text, float centre_x, float baseline,
                       float size, float spacing)
{
    // The last letter's spacing is not part of the text's width.
    const float width = face.width(text, size, spacing) - spacing;
    set_text(mask, face, text, {std::round(centre_x - width * 0.5f), baseline}, size, spacing);
    return width;
}

Coverage dilate(const Coverage& mask, float radius)
{
    Coverage out(mask.w, mask.h);
    const int r = int(std::ceil(radius));
    std::vector<std::pair<int, int>> disc;
    std::vector<float> weight;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const float d = std::sqrt(float(dx * dx + dy * dy));
            if (d <= radius + 0.5f) {
                disc.push_back({dx, dy});
                weight.push_back(std::min(1.0f, radius + 0.5f - d)); // soft rim
            }
        }
    for (int y = 0; y < mask.h; ++y)
        for (int x = 0; x < mask.w; ++x) {
            float best = 0;
            for (size_t k = 0; k < disc.size(); ++k)
                best = std::max(best, mask.at(x + disc[k].first, y + disc[k].second) * weight[k]);
            out.v[size_t(y) * size_t(mask.w) + size_t(x)] = best;
        }
    return out;
}

namespace {

// One box blur along x (dx = 1) or y (dx = 0), edges reading as 0.
Coverage box_pass(const Coverage& in, int radius, bool along_x)
{
    Coverage out(in.w, in.h);
    const float norm = 1.0f / float(2 * radius + 1);
    const int lines = along_x ? in.h : in.w;
    const int length = along_x ? in.w : in.h;
    for (int l = 0; l < lines; ++l) {
        auto get = [&](int i) { return along_x ? in.at(i, l) : in.at(l, i); };
        double sum = 0;
        for (int i = -radius; i <= radius; ++i)
            sum += get(i);
        for (int i = 0; i < length; ++i) {
            const size_t at = along_x ? size_t(l) * size_t(in.w) + size_t(i) : size_t(i) * size_t(in.w) + size_t(l);
            out.v[at] = float(sum) * norm;
            sum += get(i + radius + 1) - get(i - radius);
        }
    }
    return out;
}

} // namespace

Coverage blur(const Coverage& mask, int radius)
{
    if (radius <= 0)
        return mask;
    Coverage c = mask;
    for (int pass = 0; pass < 3; ++pass)
        c = box_pass(box_pass(c, radius, true), radius, false);
    return c;
}

Coverage subtract(const Coverage& a, const Coverage& b)
{
    Coverage out(a.w, a.h);
    for (size_t i = 0; i < out.v.size() && i < b.v.size(); ++i)
        out.v[i] = std::clamp(a.v[i] - b.v[i], 0.0f, 1.0f);
    return out;
}

Coverage shifted(const Coverage& mask, int dx, int dy)
{
    Coverage out(mask.w, mask.h);
    for (int y = 0; y < mask.h; ++y)
        for (int x = 0; x < mask.w; ++x)
            out.v[size_t(y) * size_t(mask.w) + size_t(x)] = mask.at(x - dx, y - dy);
    return out;
}

void paint(Canvas& canvas, const Coverage& mask, Rgba colour, float strength, Blend blend)
{
    paint(canvas, mask, [colour](int, int) { return colour; }, strength, blend);
}

void paint(Canvas& canvas, const Coverage& mask, const std::function<Rgba(int x, int y)>& colour, float strength,
           Blend blend)
{
    const int w = std::min(canvas.width(), mask.w), h = std::min(canvas.height(), mask.h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float m = mask.v[size_t(y) * size_t(mask.w) + size_t(x)] * strength;
            if (m > 0)
                canvas.put(x, y, colour(x, y), m, blend);
        }
}

} // namespace toolkit
