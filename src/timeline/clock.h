// The show clock: integer milliseconds read from the platform counter.
// Embedded in the scene manager; scenes hold a pointer to it and read the
// fields directly. Only differences are meaningful: show time is now - start,
// frame time now - prev.
#pragma once

#include <cstdint>

struct cClock
{
    int32_t start = 0; // ms, the value of now at the show's time origin
    int32_t now = 0;   // ms, read at the start of the current frame
    int32_t prev = 0;  // ms, the value now had one tick earlier
    int64_t frequency = 0; // counter counts per second

    // Reads the counter's frequency (before the first tick).
    void read_frequency();
    // prev <- now; now <- counter / frequency * 1000, in double precision,
    // truncated toward zero.
    void tick();
    // Milliseconds since the show's time origin.
    int32_t show_time() const { return now - start; }
};
