#include "toolkit/type.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace toolkit {

namespace {

// One FreeType library for the whole run; the data tool is single-threaded.
FT_Library library()
{
    static FT_Library lib = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (FT_Init_FreeType(&lib) != 0) {
            std::fprintf(stderr, "## ERROR: datagen cannot start FreeType\n");
            lib = nullptr;
        }
    }
    return lib;
}

// Decodes one UTF-8 sequence at text[i], advancing i; malformed bytes come
// back as U+FFFD so a bad string draws a box instead of reading past its end.
uint32_t next_code_point(const std::string& text, size_t& i)
{
    const unsigned char c = (unsigned char)text[i++];
    if (c < 0x80)
        return c;
    int extra = c >= 0xf0 ? 3 : c >= 0xe0 ? 2 : c >= 0xc0 ? 1 : -1;
    if (extra < 0)
        return 0xfffd;
    uint32_t cp = c & (0x3f >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || ((unsigned char)text[i] & 0xc0) != 0x80)
            return 0xfffd;
        cp = (cp << 6) | ((unsigned char)text[i++] & 0x3f);
    }
    return cp;
}

} // namespace

std::string find_font(const std::string& file_name)
{
    std::error_code ec;
    std::vector<std::string> found;
    for (auto it = std::filesystem::recursive_directory_iterator("/usr/share/fonts", ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().filename() == file_name)
            found.push_back(it->path().string());
    }
    if (found.empty())
        return "";
    // Directory order is not fixed; the first path in sorted order is.
    std::sort(found.begin(), found.end());
    return found.front();
}

Typeface::Typeface(const std::string& name) : file_name(name)
{
    FT_Library lib = library();
    const std::string path = find_font(name);
    if (!lib || path.empty()) {
        std::fprintf(stderr, "## ERROR: datagen cannot find the font %s (scripts/setup installs the font packages)\n",
                     name.c_str());
        return;
    }
    FT_Face f = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &f) != 0) {
        std::fprintf(stderr, "## ERROR: datagen cannot read the font %s\n", path.c_str());
        return;
    }
    face = f;
}

Typeface::~Typeface()
{
    if (face)
        FT_Done_Face(face);
    face = nullptr;
}

float Typeface::lay_out(const std::string& text, float size, float spacing, Canvas* canvas, Vec2 origin,
                        Rgba colour, Blend blend) const
{
    if (!face || size <= 0)
        return origin.x;
    // 26.6 fixed point sizes; FT_Set_Char_Size keeps fractional sizes.
    FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(size * 64)), 72, 72);
    const bool kerning = FT_HAS_KERNING(face);
    float pen = origin.x;
    FT_UInt previous = 0;
    for (size_t i = 0; i < text.size();) {
        const FT_UInt glyph = FT_Get_Char_Index(face, next_code_point(text, i));
        if (kerning && previous && glyph) {
            FT_Vector k;
            if (FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &k) == 0)
                pen += float(k.x) / 64.0f;
        }
        previous = glyph;
        if (FT_Load_Glyph(face, glyph, canvas ? FT_LOAD_RENDER : FT_LOAD_DEFAULT) != 0)
            continue;
        const FT_GlyphSlot slot = face->glyph;
        if (canvas && slot->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            const FT_Bitmap& bm = slot->bitmap;
            const int left = int(std::lround(pen)) + slot->bitmap_left;
            const int top = int(std::lround(origin.y)) - slot->bitmap_top;
            for (unsigned int row = 0; row < bm.rows; ++row) {
                const unsigned char* line = bm.buffer + std::ptrdiff_t(row) * bm.pitch;
                for (unsigned int col = 0; col < bm.width; ++col) {
                    if (line[col])
                        canvas->put(left + int(col), top + int(row), colour, line[col] / 255.0f, blend);
                }
            }
        }
        pen += float(slot->advance.x) / 64.0f + spacing;
    }
    return pen;
}

float Typeface::draw(Canvas& canvas, const std::string& text, Vec2 origin, float size, Rgba colour, Blend blend,
                     float spacing) const
{
    return lay_out(text, size, spacing, &canvas, origin, colour, blend);
}

float Typeface::width(const std::string& text, float size, float spacing) const
{
    return lay_out(text, size, spacing, nullptr, {0, 0}, {}, Blend::over);
}

float Typeface::cap_height(float size) const
{
    if (!face || size <= 0)
        return 0;
    FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(size * 64)), 72, 72);
    if (FT_Load_Char(face, 'H', FT_LOAD_DEFAULT) != 0)
        return 0;
    return float(face->glyph->metrics.horiBearingY) / 64.0f;
}

} // namespace toolkit
