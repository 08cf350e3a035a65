#include "toolkit/image_files.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <png.h>

namespace image_files {

namespace {

void append_bytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void no_flush(png_structp) {}

} // namespace

std::vector<uint8_t> encode_png(const std::vector<uint8_t>& pixels, int width, int height, int channels)
{
    std::vector<uint8_t> out;
    if (width < 1 || height < 1 || (channels != 3 && channels != 4) ||
        pixels.size() < std::size_t(width) * std::size_t(height) * std::size_t(channels))
        return out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return out;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, append_bytes, no_flush);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Fixed settings: the bytes depend on the pixels alone.
    png_set_compression_level(png, 6);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    const std::size_t row_bytes = std::size_t(width) * std::size_t(channels);
    for (int y = 0; y < height; ++y)
        rows[std::size_t(y)] = const_cast<png_bytep>(&pixels[std::size_t(y) * row_bytes]);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> encode_jpeg(const std::vector<uint8_t>& pixels, int width, int height, int channels,
                                 int quality)
{
    if (width < 1 || height < 1 || (channels != 3 && channels != 4) ||
        pixels.size() < std::size_t(width) * std::size_t(height) * std::size_t(channels))
        return {};
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);

    unsigned char* out = nullptr;
    unsigned long out_size = 0;
    jpeg_mem_dest(&cinfo, &out, &out_size);

    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    std::vector<uint8_t> row(std::size_t(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint8_t* src = &pixels[std::size_t(cinfo.next_scanline) * std::size_t(width) * std::size_t(channels)];
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                row[std::size_t(x) * 3 + std::size_t(c)] = src[std::size_t(x) * std::size_t(channels) + std::size_t(c)];
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> bytes(out, out + out_size);
    jpeg_destroy_compress(&cinfo);
    free(out);
    return bytes;
}

} // namespace image_files
