#include "camera_path.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "core/resource_path.h"
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

// The stream's position, also after a failed read (at the end of the text
// when it ran out).
static std::streamoff position_of(std::istream& in, std::streamoff end)
{
    in.clear();
    std::streamoff at = in.tellg();
    return at < 0 ? end : at;
}

int cCameraPath::read_keys(std::istream& in)
{
    // The text is kept to tell a clean end from a key cut short and to find
    // the line of the token that stopped reading.
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream keys_in(text);
    const std::streamoff end = std::streamoff(text.size());
    for (;;) {
        const std::streamoff key_start = position_of(keys_in, end);
        cCameraKey key;
        // A truncated or malformed key ends the file; the keys before it stay.
        if (!read_vector(keys_in, key.position) || !read_vector(keys_in, key.target) || !read_vector(keys_in, key.up)) {
            const std::streamoff stop = position_of(keys_in, end);
            if (text.find_first_not_of(" \t\r\n\v\f", size_t(key_start)) == std::string::npos)
                return 0;
            return 1 + int(std::count(text.begin(), text.begin() + stop, '\n'));
        }
        keys.push_back(key);
    }
}

// Squares of larger coordinates overflow single precision in the camera set-up
// (the frames turn black); not-a-number and infinity never make a camera.
static bool usable(const float v[3])
{
    for (int c = 0; c < 3; ++c)
        if (!(std::fabs(v[c]) <= 1e18f))
            return false;
    return true;
}

bool cCameraPath::load(std::string full_path)
{
    // A directory opens as a stream on Linux and reads as empty: it is a file
    // that cannot be opened.
    std::ifstream in;
    if (platform_file_readable(full_path))
        in.open(full_path.c_str());
    if (!in.is_open()) {
        std::cerr << "# warning: cannot read the camera path \"" << full_path
                  << "\": the path stays empty in cCameraPath::load" << std::endl;
        return false;
    }
    const std::size_t before = keys.size();
    const int stopped_at = read_keys(in);
    if (stopped_at > 0)
        std::cerr << "# warning: reading the camera path \"" << full_path << "\" stopped at line " << stopped_at
                  << ": it keeps the " << keys.size() - before << " keys before it in cCameraPath::load" << std::endl;
    else if (keys.size() == before)
        std::cerr << "# warning: the camera path \"" << full_path
                  << "\" holds no key: the path stays empty in cCameraPath::load" << std::endl;
    for (std::size_t i = before; i < keys.size(); ++i) {
        if (!usable(keys[i].position) || !usable(keys[i].target) || !usable(keys[i].up)) {
            std::cerr << "# warning: key " << i - before + 1 << " of the camera path \"" << full_path
                      << "\" holds a coordinate too large to draw with in cCameraPath::load" << std::endl;
            break;
        }
    }
    return true;
}

bool cCameraPath::load_found(const std::string& name)
{
    const std::string full_path = get_resource_path()->get_fullpath(name);
    return load(full_path.empty() ? name : full_path);
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
