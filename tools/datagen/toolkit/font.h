// The toolkit's stroke font, our own: capitals, digits and a few signs as
// polylines on a 4 x 6 grid (x right, y up from the baseline). Meshes
// extrude its strokes into bars; images draw them as anti-aliased lines.
// Lower-case letters are drawn as capitals.
#pragma once

#include "toolkit/math.h"

#include <string>
#include <vector>

namespace toolkit {

const float FONT_CAP_HEIGHT = 6.0f; // grid units
const float FONT_ADVANCE = 6.0f;    // grid units from one letter to the next

struct StrokeSegment
{
    Vec2 a, b;
};

// The strokes of s in grid units, from x = 0 on the baseline; characters
// without a glyph leave a gap. Each polyline is cut into segments.
std::vector<StrokeSegment> font_segments(const std::string& s);
// The polylines of one character (empty for a space or an unknown sign).
const std::vector<std::vector<Vec2>>& font_glyph(char c);
// Width of s in grid units (the last letter's advance excluded).
float font_width(const std::string& s);

} // namespace toolkit
