// Which show times the capture runs and which of them it keeps. The show is
// always replayed from show time 0 on one grid of frames, so a given show
// time is reached through the same frames whatever range is asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct capture_frame
{
    int32_t time; // ms of show time
    bool keep;    // written to the outputs
};

// The frames of a range: every grid frame (k * 1000 / rate ms) up to to_ms,
// kept from from_ms on.
std::vector<capture_frame> schedule_range(double rate, int32_t from_ms, int32_t to_ms);
// The grid up to the last listed time with the listed times put in: grid
// frames closer than MIN_FRAME_GAP_MS to a listed time make way for it.
// Listed times are kept; they must be sorted and MIN_FRAME_GAP_MS apart.
std::vector<capture_frame> schedule_times(double rate, const std::vector<int32_t>& times);

// The frame loop sleeps 5 ms after a frame shorter than this, which moves
// the clock on; frames are never closer together than this.
const int32_t MIN_FRAME_GAP_MS = 10;

// Seconds ("65", "65.25"), milliseconds ("65250ms") or minutes:seconds
// ("1:05.25") to ms; false when text is none of these.
bool parse_show_time(const std::string& text, int32_t* ms);
// "m:ss.mmm".
std::string format_show_time(int32_t ms);
