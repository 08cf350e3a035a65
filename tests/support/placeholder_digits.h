// Reads the scene number off a frame drawn by a scene placeholder: each
// segment of both digits is lit where its centre pixel is bright. For the
// placeholder's own tests and the capture tests.
#pragma once

#include "core/demo.h"
#include "scenes/scene_placeholder.h"

#include <cstdint>
#include <memory>
#include <vector>

// Whether the show's scene table still holds the numbered stand-in at index.
inline bool is_placeholder_scene(int index)
{
    cClock clock;
    std::unique_ptr<cScene> scene(create_scene(index, &clock));
    return dynamic_cast<cScenePlaceholder*>(scene.get()) != nullptr;
}

// pixels: width x height, channels per pixel, rows from the bottom up (as GL
// reads them). The number shown, or -1 when a digit is no decimal digit.
inline int read_placeholder_number(const std::vector<uint8_t>& pixels, int width, int height, int channels)
{
    int number = 0;
    for (int p = 0; p < PLACEHOLDER_DIGITS; ++p) {
        uint8_t lit = 0;
        for (int s = 0; s < 7; ++s) {
            float r[4];
            placeholder_segment_rect(p, s, r);
            const int x = int((r[0] + r[2] * 0.5f) * float(width));
            const int y = int((r[1] + r[3] * 0.5f) * float(height));
            const uint8_t* px = &pixels[(std::size_t(y) * width + x) * channels];
            if (px[0] > 128)
                lit |= uint8_t(1 << s);
        }
        int digit = -1;
        for (int d = 0; d <= 9; ++d)
            if (seven_segment_bits(d) == lit)
                digit = d;
        if (digit < 0)
            return -1;
        number = number * 10 + digit;
    }
    return number;
}
