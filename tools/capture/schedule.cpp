#include "schedule.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

int32_t grid_time(double rate, int64_t k)
{
    // A hair over the exact value, so 3 frames a second give 333, 666, 1000.
    return int32_t(std::floor(double(k) * 1000.0 / rate + 1e-6));
}

} // namespace

std::vector<capture_frame> schedule_range(double rate, int32_t from_ms, int32_t to_ms)
{
    std::vector<capture_frame> frames;
    for (int64_t k = 0;; ++k) {
        int32_t t = grid_time(rate, k);
        if (t > to_ms)
            break;
        frames.push_back({t, t >= from_ms});
    }
    return frames;
}

std::vector<capture_frame> schedule_times(double rate, const std::vector<int32_t>& times)
{
    std::vector<capture_frame> frames;
    std::size_t next = 0;
    for (int64_t k = 0; next < times.size(); ++k) {
        const int32_t t = grid_time(rate, k);
        while (next < times.size() && times[next] < t)
            frames.push_back({times[next++], true});
        if (next == times.size())
            break;
        // A grid frame stays only where it leaves room on both sides.
        const bool clear_before = frames.empty() || t - frames.back().time >= MIN_FRAME_GAP_MS;
        const bool clear_after = times[next] - t >= MIN_FRAME_GAP_MS;
        if (clear_before && clear_after)
            frames.push_back({t, false});
    }
    return frames;
}

bool parse_show_time(const std::string& text, int32_t* ms)
{
    std::string rest = text;
    double scale = 1000.0; // seconds unless told otherwise
    if (rest.size() > 2 && rest.compare(rest.size() - 2, 2, "ms") == 0) {
        rest.resize(rest.size() - 2);
        scale = 1.0;
    }
    double minutes = 0.0;
    const std::size_t colon = rest.find(':');
    if (colon != std::string::npos) {
        if (scale == 1.0)
            return false;
        const std::string m = rest.substr(0, colon);
        char* end = nullptr;
        minutes = std::strtod(m.c_str(), &end);
        if (m.empty() || *end || !(minutes >= 0))
            return false;
        rest = rest.substr(colon + 1);
    }
    char* end = nullptr;
    const double value = std::strtod(rest.c_str(), &end);
    if (rest.empty() || *end || !(value >= 0))
        return false;
    const double total = minutes * 60000.0 + value * scale;
    if (total > 2147483647.0)
        return false;
    *ms = int32_t(std::lround(total));
    return true;
}

std::string format_show_time(int32_t ms)
{
    char buf[32];
    const char* sign = ms < 0 ? "-" : "";
    int64_t t = ms < 0 ? -int64_t(ms) : ms;
    std::snprintf(buf, sizeof buf, "%s%d:%02d.%03d", sign, int(t / 60000), int(t / 1000 % 60), int(t % 1000));
    return buf;
}
