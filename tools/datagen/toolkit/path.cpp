#include "toolkit/path.h"

#include "generator.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

namespace toolkit {

Vec3 catmull_rom(const std::vector<Vec3>& p, float u)
{
    assert(!p.empty() && "a curve needs a point");
    const int n = int(p.size());
    if (n == 1)
        return p[0];
    u = std::clamp(u, 0.0f, float(n - 1));
    int i = std::min(int(u), n - 2);
    float t = u - float(i);
    auto point = [&](int k) {
        if (k < 0)
            return p[0] * 2 - p[1];
        if (k >= n)
            return p[size_t(n - 1)] * 2 - p[size_t(n - 2)];
        return p[size_t(k)];
    };
    Vec3 p0 = point(i - 1), p1 = point(i), p2 = point(i + 1), p3 = point(i + 2);
    float t2 = t * t, t3 = t2 * t;
    return (p1 * 2 + (p2 - p0) * t + (p0 * 2 - p1 * 5 + p2 * 4 - p3) * t2 + (p1 * 3 - p0 - p2 * 3 + p3) * t3) * 0.5f;
}

// The eye curve's parameter (0..1) at the fraction s of its length.
static float parameter_at_length(const std::vector<Vec3>& eye, float s)
{
    const int steps = 64 * std::max<int>(1, int(eye.size()) - 1);
    const float span = float(std::max<int>(0, int(eye.size()) - 1));
    std::vector<float> length(size_t(steps) + 1, 0.0f);
    Vec3 prev = catmull_rom(eye, 0);
    for (int k = 1; k <= steps; ++k) {
        Vec3 p = catmull_rom(eye, span * float(k) / float(steps));
        length[size_t(k)] = length[size_t(k - 1)] + toolkit::length(p - prev);
        prev = p;
    }
    if (length.back() <= 0)
        return s;
    float goal = s * length.back();
    size_t k = size_t(std::lower_bound(length.begin(), length.end(), goal) - length.begin());
    if (k == 0)
        return 0;
    k = std::min(k, length.size() - 1);
    float step = length[k] - length[k - 1];
    float f = step > 0 ? (goal - length[k - 1]) / step : 0.0f;
    return (float(k - 1) + f) / float(steps);
}

CameraKey flight_at(const CameraFlight& flight, float s, bool even_speed)
{
    s = std::clamp(s, 0.0f, 1.0f);
    float w = even_speed ? parameter_at_length(flight.eye, s) : s;
    CameraKey key;
    key.position = catmull_rom(flight.eye, w * float(flight.eye.size() - 1));
    key.target = catmull_rom(flight.target, w * float(flight.target.size() - 1));
    key.up = flight.up;
    return key;
}

std::vector<CameraKey> sample_flight(const CameraFlight& flight, int count, bool even_speed)
{
    assert(count >= 2 && !flight.eye.empty() && !flight.target.empty() && "a flight needs points and two keys");
    std::vector<CameraKey> keys;
    for (int i = 0; i < count; ++i)
        keys.push_back(flight_at(flight, float(i) / float(count - 1), even_speed));
    return keys;
}

// A world vector in the file's axes: the reader turns (x, y, z) into
// (x, z, -y), so world (x, y, z) is written as (x, -z, y).
static void put_vector(std::string& out, Vec3 v)
{
    char text[96];
    std::snprintf(text, sizeof text, "(%.9g, %.9g, %.9g)", double(v.x), double(-v.z), double(v.y));
    out += text;
}

std::string path_text(const std::vector<CameraKey>& keys)
{
    std::string out;
    for (const CameraKey& k : keys) {
        put_vector(out, k.position);
        out += ' ';
        put_vector(out, k.target);
        out += ' ';
        put_vector(out, k.up);
        out += '\n';
    }
    return out;
}

bool write_path(DataContext& data, const std::string& relative_path, const std::vector<CameraKey>& keys)
{
    return data.write_text(relative_path, path_text(keys));
}

} // namespace toolkit
