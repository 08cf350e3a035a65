// The rehearsal's show time, read from the music. The show time of a frame
// is the show time of the last jump (or resume) plus the music played since
// then, plus the real time since the music's position last moved, up to one
// audio device period: the position moves in whole periods, and frames that
// fall between two of them still move on. So after every jump, pause and
// resume the music's position and the show time agree within one period,
// and they cannot drift apart over a long stretch. Where the music has
// ended (or there is none) the real time alone moves the show on.
#pragma once

#include "timeline/sound_module.h"

#include <cstdint>

// One audio device period in microseconds (MUSIC_DEVICE_FRAMES frames).
const int64_t DEVICE_PERIOD_US = int64_t(MUSIC_DEVICE_FRAMES) * 1000000 / MUSIC_RATE;

class cRehearsalClock
{
public:
    explicit cRehearsalClock(cSoundModule_fmod& music) : music(music) {}

    // Moves the music to show_ms and makes it the show time now (now_us: a
    // monotonic reading in microseconds). Paused or not stays as it was.
    void jump(int32_t show_ms, int64_t now_us);
    // Holds the show time (and the music) where they are, or lets both go on
    // from there.
    void set_paused(bool paused, int64_t now_us);
    bool paused() const { return is_paused; }
    // The show time for a frame starting at now_us.
    int32_t show_time(int64_t now_us);

private:
    // Makes show_ms the show time at the music's present position.
    void anchor(int32_t show_ms, int64_t now_us);
    bool music_over();

    cSoundModule_fmod& music;
    bool is_paused = false;
    int32_t anchor_show = 0;  // show time at the anchor
    int anchor_music = 0;     // the music's position at the anchor
    int last_music = 0;       // the position last seen
    int64_t moved_at_us = 0;  // when last_music was first seen
    int32_t held = 0;         // the show time last given (the paused time)
};
