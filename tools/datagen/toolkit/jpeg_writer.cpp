#include "toolkit/jpeg_writer.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace jpeg_writer {

std::vector<uint8_t> encode(const png_writer::Image& image, int quality)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);

    unsigned char* out = nullptr;
    unsigned long out_size = 0;
    jpeg_mem_dest(&cinfo, &out, &out_size);

    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    const int ch = image.channels();
    const std::vector<uint8_t>& px = image.pixels();
    std::vector<uint8_t> row(size_t(image.width()) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint8_t* src = &px[size_t(cinfo.next_scanline) * size_t(image.width()) * size_t(ch)];
        for (int x = 0; x < image.width(); ++x)
            for (int c = 0; c < 3; ++c)
                row[size_t(x) * 3 + size_t(c)] = src[size_t(x) * size_t(ch) + size_t(c)];
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> bytes(out, out + out_size);
    jpeg_destroy_compress(&cinfo);
    free(out);
    return bytes;
}

} // namespace jpeg_writer
