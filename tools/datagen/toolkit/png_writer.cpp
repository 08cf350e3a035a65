#include "toolkit/png_writer.h"

#include <zlib.h>

namespace png_writer {

Image::Image(int width, int height, int channels, Color background)
    : w(width), h(height), ch(channels), data((size_t)width * height * channels)
{
    fill_rect(0, 0, w, h, background);
}

void Image::set(int x, int y, Color c)
{
    if (x < 0 || y < 0 || x >= w || y >= h)
        return;
    uint8_t* p = &data[((size_t)y * w + x) * ch];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    if (ch == 4)
        p[3] = c.a;
}

void Image::blend(int x, int y, Color c)
{
    if (x < 0 || y < 0 || x >= w || y >= h)
        return;
    uint8_t* p = &data[((size_t)y * w + x) * ch];
    const uint8_t src[3] = {c.r, c.g, c.b};
    for (int k = 0; k < 3; ++k)
        p[k] = (uint8_t)((src[k] * c.a + p[k] * (255 - c.a) + 127) / 255);
}

void Image::fill_rect(int x, int y, int rw, int rh, Color c)
{
    for (int yy = y; yy < y + rh; ++yy)
        for (int xx = x; xx < x + rw; ++xx)
            set(xx, yy, c);
}

void Image::vline(int x, int y0, int y1, Color c)
{
    for (int y = y0; y <= y1; ++y)
        set(x, y, c);
}

void Image::hline(int x0, int x1, int y, Color c)
{
    for (int x = x0; x <= x1; ++x)
        set(x, y, c);
}

namespace {

// Five rows of three bits (bit 2 is the left column) per glyph.
struct Glyph
{
    char c;
    uint8_t rows[5];
};

const Glyph FONT[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 7, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 1, 1}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'a', {2, 5, 7, 5, 5}}, {'b', {6, 5, 6, 5, 6}},
    {'c', {3, 4, 4, 4, 3}}, {'d', {6, 5, 5, 5, 6}}, {'e', {7, 4, 6, 4, 7}}, {'f', {7, 4, 6, 4, 4}},
    {'g', {3, 4, 5, 5, 3}}, {'h', {5, 5, 7, 5, 5}}, {'i', {7, 2, 2, 2, 7}}, {'j', {1, 1, 1, 5, 2}},
    {'k', {5, 5, 6, 5, 5}}, {'l', {4, 4, 4, 4, 7}}, {'m', {5, 7, 7, 5, 5}}, {'n', {6, 5, 5, 5, 5}},
    {'o', {2, 5, 5, 5, 2}}, {'p', {6, 5, 6, 4, 4}}, {'q', {2, 5, 5, 6, 3}}, {'r', {6, 5, 6, 5, 5}},
    {'s', {3, 4, 2, 1, 6}}, {'t', {7, 2, 2, 2, 2}}, {'u', {5, 5, 5, 5, 7}}, {'v', {5, 5, 5, 5, 2}},
    {'w', {5, 5, 7, 7, 5}}, {'x', {5, 5, 2, 5, 5}}, {'y', {5, 5, 2, 2, 2}}, {'z', {7, 1, 2, 4, 7}},
    {':', {0, 2, 0, 2, 0}}, {'_', {0, 0, 0, 0, 7}}, {'.', {0, 0, 0, 0, 2}}, {'-', {0, 0, 7, 0, 0}},
    {'(', {2, 4, 4, 4, 2}}, {')', {2, 1, 1, 1, 2}}, {'#', {5, 7, 5, 7, 5}}, {'/', {1, 1, 2, 4, 4}},
};

const Glyph* find_glyph(char c)
{
    if (c >= 'A' && c <= 'Z')
        c = (char)(c - 'A' + 'a');
    for (const Glyph& g : FONT)
        if (g.c == c)
            return &g;
    return nullptr; // drawn as a space
}

void put_u32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back((uint8_t)(v >> s));
}

void put_chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& body)
{
    put_u32(out, (uint32_t)body.size());
    size_t type_at = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, &out[type_at], (uInt)(4 + body.size()));
    put_u32(out, (uint32_t)crc);
}

} // namespace

int Image::text(int x, int y, const std::string& s, Color c, int scale)
{
    for (char ch_ : s) {
        if (const Glyph* g = find_glyph(ch_))
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 3; ++col)
                    if (g->rows[row] & (4 >> col))
                        fill_rect(x + col * scale, y + row * scale, scale, scale, c);
        x += 4 * scale;
    }
    return x;
}

std::vector<uint8_t> encode(const Image& image)
{
    static const uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> out(SIGNATURE, SIGNATURE + 8);

    std::vector<uint8_t> ihdr;
    put_u32(ihdr, (uint32_t)image.width());
    put_u32(ihdr, (uint32_t)image.height());
    ihdr.push_back(8);                                  // bits per channel
    ihdr.push_back(image.channels() == 4 ? 6 : 2);      // RGBA or RGB
    ihdr.push_back(0);                                  // deflate
    ihdr.push_back(0);                                  // adaptive filtering
    ihdr.push_back(0);                                  // no interlace
    put_chunk(out, "IHDR", ihdr);

    // Each scanline is prefixed with its filter type, 0 (none).
    size_t row_bytes = (size_t)image.width() * image.channels();
    std::vector<uint8_t> raw;
    raw.reserve((row_bytes + 1) * image.height());
    for (int y = 0; y < image.height(); ++y) {
        raw.push_back(0);
        const uint8_t* row = &image.pixels()[y * row_bytes];
        raw.insert(raw.end(), row, row + row_bytes);
    }
    uLongf packed_size = compressBound((uLong)raw.size());
    std::vector<uint8_t> packed(packed_size);
    compress2(packed.data(), &packed_size, raw.data(), (uLong)raw.size(), 6);
    packed.resize(packed_size);
    put_chunk(out, "IDAT", packed);
    put_chunk(out, "IEND", {});
    return out;
}

} // namespace png_writer
