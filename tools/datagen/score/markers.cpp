#include "score/markers.h"

#include <algorithm>
#include <cstdio>

namespace markers {

std::string format_time(int32_t ms)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d,%03d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return buf;
}

std::vector<Line> script_lines(const score::Score& s)
{
    // Events with a sort rank that keeps a section's comment and switch ahead
    // of anything at the same millisecond, and the quit last.
    struct Event
    {
        int32_t ms;
        int rank;
        size_t order;
        Line line;
    };
    std::vector<Event> events;
    const int32_t quit_ms = score::sample_ms(s.quit);
    for (const score::Section& sec : s.sections) {
        int32_t ms = score::sample_ms(sec.start);
        if (sec.scene >= 0 && ms > 0)
            --ms;
        events.push_back({ms, 0, events.size(), {ms, "# " + sec.name}});
        if (sec.scene >= 0) {
            char token[16];
            std::snprintf(token, sizeof token, "s%02d", sec.scene);
            events.push_back({ms, 0, events.size(), {ms, token}});
        }
    }
    for (size_t i = 0; i < s.notes.size(); ++i) {
        const score::Note& n = s.notes[i];
        const char* token = score::cue_token(n.voice);
        int32_t ms = score::sample_ms(n.start);
        if (n.cue && token && ms < quit_ms)
            events.push_back({ms, 1, events.size(), {ms, token, (int)i}});
    }
    events.push_back({quit_ms, 2, events.size(), {quit_ms, "quit"}});
    std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        if (a.ms != b.ms)
            return a.ms < b.ms;
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return a.order < b.order;
    });
    std::vector<Line> lines;
    for (const Event& e : events)
        lines.push_back(e.line);
    return lines;
}

std::string script_text(const std::vector<Line>& lines)
{
    std::string text = "# kelmora by mirvok: the show's timeline, written from the score by datagen\n";
    for (const Line& l : lines) {
        if (l.token[0] == '#') {
            text += "\n" + l.token + "\n";
            continue;
        }
        std::string token = l.token;
        token.resize(std::max<size_t>(token.size() + 1, 10), ' ');
        text += token + format_time(l.ms) + "\n";
    }
    return text;
}

} // namespace markers
