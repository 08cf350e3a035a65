#include "camera_path.h"

#include <cmath>
#include <cstdint>
#include <fstream>

#include "platform/platform.h"

// The largest parameter evaluated: just below 1, so the last segment's index
// never reaches the key count.
static const float CAMERA_T_MAX = 0.9999881f;

// One vector of a key: mark, x, mark, y, mark, z, mark. The marks are any
// single non-whitespace characters and are not checked. The result is in
// world axes (x, z, -y).
static bool read_vector(std::istream& in, float out[3])
{
    char mark;
    float x, y, z;
    if (!(in >> mark >> x >> mark >> y >> mark >> z >> mark))
        return false;
    out[0] = x;
    out[1] = z;
    out[2] = -y;
    return true;
}

void cCameraPath::read_keys(std::istream& in)
{
    for (;;) {
        cCameraKey key;
        // A truncated or malformed key ends the file; the keys before it stay.
        if (!read_vector(in, key.position) || !read_vector(in, key.target) || !read_vector(in, key.up))
            return;
        keys.push_back(key);
    }
}

bool cCameraPath::load(std::string full_path)
{
    // A directory opens as a stream on Linux and reads as empty: it is a file
    // that cannot be opened.
    if (!platform_file_readable(full_path))
        return false;
    std::ifstream in(full_path.c_str());
    if (!in.is_open())
        return false;
    read_keys(in);
    return true;
}

void cCameraPath::evaluate(float t, float (cCameraKey::*member)[3], float out[3]) const
{
    out[0] = out[1] = out[2] = 0.0f;
    const size_t n = keys.size();
    if (n == 0)
        return;

    // "Not above 0" also catches a NaN parameter, which would otherwise make
    // the segment index undefined.
    if (!(t > 0.0f))
        t = 0.0f;
    if (t > CAMERA_T_MAX)
        t = CAMERA_T_MAX;

    const float f = static_cast<float>(n) * t;
    size_t i = static_cast<size_t>(f);
    const float w = f - std::floor(f);
    if (i > n - 1)
        i = n - 1;

    const float* a = keys[i].*member;
    if (i >= n - 1) {
        out[0] = a[0];
        out[1] = a[1];
        out[2] = a[2];
        return;
    }
    const float* b = keys[i + 1].*member;
    for (int c = 0; c < 3; ++c)
        out[c] = a[c] + (b[c] - a[c]) * w;
}

void cCameraPath::get_position(float t, float out[3]) const
{
    evaluate(t, &cCameraKey::position, out);
}

void cCameraPath::get_target(float t, float out[3]) const
{
    evaluate(t, &cCameraKey::target, out);
}

void cCameraPath::get_up(float t, float out[3]) const
{
    evaluate(t, &cCameraKey::up, out);
}
