// JPEG encoding of the data tool's pictures (libjpeg, fixed settings, so the
// same pixels give the same bytes).
#pragma once

#include <cstdint>
#include <vector>

#include "toolkit/png_writer.h"

namespace jpeg_writer {

// The JPEG file of an RGB image (an RGBA image's alpha is dropped); quality
// 0..100.
std::vector<uint8_t> encode(const png_writer::Image& image, int quality = 92);

} // namespace jpeg_writer
