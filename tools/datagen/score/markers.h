// The markers script written from the score: a "#" comment at each section,
// the scene switches, one cue line per cued note, and "quit".
#pragma once

#include "score/score.h"

#include <cstdint>
#include <string>
#include <vector>

namespace markers {

struct Line
{
    int32_t ms;        // time of the line (meaningless for comments)
    std::string token; // "s05", "beat", "quit", or "#..." for a comment
    int note = -1;     // index of the note a cue line comes from, else -1
};

// The lines in script order. A switch lies one millisecond before its
// section's first sound: the show's queue sorts without keeping the order of
// equal times, and the new scene must be current when that sound's cue
// arrives. Cues after the quit are not written: the show never reaches them.
std::vector<Line> script_lines(const score::Score& s);

// "h:mm:ss,mmm", as the show's space-bar aid prints times.
std::string format_time(int32_t ms);

// The text of the script file.
std::string script_text(const std::vector<Line>& lines);

} // namespace markers
