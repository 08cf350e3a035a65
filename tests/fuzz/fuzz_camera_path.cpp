// Fuzz target for the camera path reader: any bytes as a ".pth" file. The
// reader must end on every input (no endless loop on bad tokens) and the
// evaluators must stay within the keys read, at any parameter.
#include "scenes/camera_path.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    cCameraPath path;
    path.read_keys(in);

    const float parameters[] = {-2.0f, 0.0f, 0.25f, 0.5f, 0.9999881f, 1.0f, 7.3f,
                                std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()};
    for (float t : parameters) {
        float position[3], target[3], up[3];
        path.get_position(t, position);
        path.get_target(t, target);
        path.get_up(t, up);
    }

    // Key 0 comes back unchanged at t = 0, the last key at t = 1 (unless the
    // file held NaNs or values whose difference overflows, and while the
    // clamp 0.9999881 still reaches the last segment: up to 84033 keys).
    const auto& keys = path.get_keys();
    if (!keys.empty()) {
        float first[3], last[3];
        path.get_position(0.0f, first);
        path.get_position(1.0f, last);
        for (int c = 0; c < 3; ++c) {
            if (first[c] != keys.front().position[c] && !std::isnan(first[c]))
                std::abort();
            if (keys.size() > 1 && keys.size() <= 84033 && last[c] != keys.back().position[c] && !std::isnan(last[c]))
                std::abort();
        }
    }
    return 0;
}
