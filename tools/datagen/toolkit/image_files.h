// The data tool's picture files: 8-bit rows (top row first) encoded as PNG
// through libpng or as JPEG through libjpeg. Settings are fixed and no time
// stamp is written, so the same pixels give the same bytes on every run.
// Pictures are drawn on a toolkit::Canvas (toolkit/image.h); these take its
// bytes, or a frame read back from GL as the capture tool does.
#pragma once

#include <cstdint>
#include <vector>

namespace image_files {

// channels: 3 (RGB) or 4 (RGBA); pixels holds width * height * channels
// bytes. Empty when libpng fails.
std::vector<uint8_t> encode_png(const std::vector<uint8_t>& pixels, int width, int height, int channels);
// RGB or RGBA rows (alpha dropped); quality 0..100.
std::vector<uint8_t> encode_jpeg(const std::vector<uint8_t>& pixels, int width, int height, int channels,
                                 int quality = 92);

} // namespace image_files
