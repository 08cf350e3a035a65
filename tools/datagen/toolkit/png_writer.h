// A small RGB/RGBA raster with the drawing the data tool's pictures need
// (rectangles, lines, a 3x5 pixel font), and its PNG encoding (zlib, no
// interlace, filter type 0). Images of every generator go through here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace png_writer {

struct Color
{
    uint8_t r, g, b, a;
};

class Image
{
public:
    // channels: 3 (RGB) or 4 (RGBA). Starts filled with background.
    Image(int width, int height, int channels, Color background);

    int width() const { return w; }
    int height() const { return h; }
    int channels() const { return ch; }
    const std::vector<uint8_t>& pixels() const { return data; }

    // (x, y) from the top-left corner; everything is clipped to the image.
    void set(int x, int y, Color c);
    // Mixes c over the pixel by c.a (the stored alpha, if any, is kept).
    void blend(int x, int y, Color c);
    void fill_rect(int x, int y, int w, int h, Color c);
    void vline(int x, int y0, int y1, Color c);
    void hline(int x0, int x1, int y, Color c);
    // Lower-case letters, digits and " :_.-()#/" in 3x5 cells times scale, one
    // cell of spacing. Returns the x after the text.
    int text(int x, int y, const std::string& s, Color c, int scale = 1);

private:
    int w, h, ch;
    std::vector<uint8_t> data;
};

// The PNG file of an image (8 bits per channel).
std::vector<uint8_t> encode(const Image& image);

} // namespace png_writer
