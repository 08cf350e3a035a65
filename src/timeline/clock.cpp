#include "clock.h"

#include "platform/platform.h"

void cClock::read_frequency()
{
    frequency = platform_counter_frequency();
}

void cClock::tick()
{
    prev = now;
    if (frequency <= 0)
        read_frequency();
    now = int32_t(double(platform_counter()) / double(frequency) * 1000.0);
}
