// The markers script reader on arbitrary bytes: the 512-byte line rule,
// tokens and time fields. Every event it keeps must carry a code a token can
// produce, and the queue must come out sorted with its cursor at the start.
#include "timeline/event_queue.h"

#include <iostream>
#include <memory>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::cerr.setstate(std::ios::failbit); // the warnings are expected
    std::unique_ptr<cEventQueue> queue(cEventQueue_factory::read(in, "fuzz.txt"));
    std::cerr.clear();
    if (!queue || queue->cursor != 0)
        __builtin_trap();
    for (size_t i = 0; i < queue->events.size(); ++i) {
        const demo_event& e = queue->events[i];
        const bool known = (e.code >= EVENT_SCENE_FIRST && e.code <= EVENT_S100) ||
                           (e.code >= EVENT_CUE_FIRST && e.code <= 28) || e.code == EVENT_QUIT;
        if (!known || e.time < 0 || (i > 0 && queue->events[i - 1].time > e.time))
            __builtin_trap();
    }
    // Handing everything out ends.
    size_t handed = 0;
    while (queue->next_due(INT32_MAX))
        ++handed;
    if (handed != queue->events.size() && queue->events.back().time != INT32_MAX)
        __builtin_trap();
    return 0;
}
