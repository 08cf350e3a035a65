// Text in real typefaces: glyphs rendered with FreeType from the font files
// of Debian's font packages (scripts/setup installs them) and laid onto a
// Canvas with their anti-aliased coverage. The same font file and FreeType
// release give the same pixels on every run.
//
// A Typeface opens its file once and keeps it until it is destroyed. A font
// that is not installed gives a Typeface whose ok() is false, after one
// "## ERROR" line naming the file; drawing with it draws nothing.
#pragma once

#include "toolkit/image.h"
#include "toolkit/math.h"

#include <string>

struct FT_FaceRec_;

namespace toolkit {

// The full path of an installed font file found by its file name (such as
// "NimbusSans-Bold.otf") under /usr/share/fonts, or "" when there is none.
std::string find_font(const std::string& file_name);

class Typeface
{
public:
    explicit Typeface(const std::string& file_name);
    ~Typeface();
    Typeface(const Typeface&) = delete;
    Typeface& operator=(const Typeface&) = delete;

    bool ok() const { return face != nullptr; }
    const std::string& file() const { return file_name; }

    // Draws UTF-8 text with the left end of its baseline at origin (pixels,
    // y down as in the file); size is the em height in pixels. Extra spacing
    // (pixels) goes between letters. Returns the x after the text.
    float draw(Canvas& canvas, const std::string& text, Vec2 origin, float size, Rgba colour,
               Blend blend = Blend::over, float spacing = 0) const;
    // The advance width of text at size (pixels), as draw() lays it out.
    float width(const std::string& text, float size, float spacing = 0) const;
    // The height of a capital letter "H" above the baseline at size (pixels).
    float cap_height(float size) const;

private:
    // Lays the glyphs of text out from origin, drawing them onto canvas when
    // one is given; returns the pen's x after the last glyph.
    float lay_out(const std::string& text, float size, float spacing, Canvas* canvas, Vec2 origin, Rgba colour,
                  Blend blend) const;

    std::string file_name;
    ::FT_FaceRec_* face = nullptr;
};

} // namespace toolkit
