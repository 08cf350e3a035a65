#include "rehearsal_clock.h"

#include <algorithm>

void cRehearsalClock::anchor(int32_t show_ms, int64_t now_us)
{
    anchor_show = held = show_ms;
    anchor_music = last_music = music.get_time();
    moved_at_us = now_us;
}

void cRehearsalClock::jump(int32_t show_ms, int64_t now_us)
{
    music.skip(show_ms);
    anchor(show_ms, now_us);
}

void cRehearsalClock::set_paused(bool paused, int64_t now_us)
{
    if (paused == is_paused)
        return;
    if (paused) {
        // Held where the music stopped, not where the frames between two of
        // its periods had got to.
        music.pause(true);
        held = anchor_show + (music.get_time() - anchor_music);
    } else {
        // The music may have moved on by a period after the time was held:
        // the held time goes on from wherever the music now is.
        anchor(held, now_us);
        music.pause(false);
    }
    is_paused = paused;
}

bool cRehearsalClock::music_over()
{
    return !music.stream || (music.decoded_to_end() && music.buffered_ms() == 0);
}

int32_t cRehearsalClock::show_time(int64_t now_us)
{
    if (is_paused)
        return held;
    const int position = music.get_time();
    if (position != last_music) {
        last_music = position;
        moved_at_us = now_us;
    }
    int64_t since_us = now_us - moved_at_us;
    if (!music_over())
        since_us = std::min(since_us, DEVICE_PERIOD_US);
    held = std::max(held, int32_t(anchor_show + (position - anchor_music) + since_us / 1000));
    return held;
}
