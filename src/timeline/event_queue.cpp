#include "event_queue.h"

#include "platform/platform.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

namespace {

// The line buffer of the reader: 511 characters and the terminating zero.
const std::streamsize LINE_BUFFER_SIZE = 512;

const char* const LINE_SEPARATORS = " \t\n\r";
const char* const TIME_SEPARATORS = ",:";

struct token_code
{
    const char* token;
    int32_t code;
};

// Compared in this order, whole word, case-sensitive.
const token_code CUE_TOKENS[] = {
    {"beat", 16},      {"snare", 17},  {"rumble", 18}, {"fadein", 19}, {"bwab1", 20},
    {"bwab2", 21},     {"technofx", 22}, {"technofx2", 23}, {"melody", 24}, {"lead", 25},
    {"hihatc", 26},    {"hihato", 27}, {"sinus_in", 28},
};

const token_code LATE_TOKENS[] = {
    {"s00", 0},   {"s01", 1},   {"s02", 2},  {"s03", 3},  {"s04", 4},
    {"s05", 5},   {"s06", 6},   {"s07", 7},  {"s08", 8},  {"s09", 9},
    {"s10", 10},  {"s11", 11},  {"s12", 12}, {"s100", EVENT_S100}, {"quit", EVENT_QUIT},
};

int32_t lookup(const token_code* table, std::size_t count, const char* token)
{
    for (std::size_t i = 0; i < count; ++i)
        if (std::strcmp(table[i].token, token) == 0)
            return table[i].code;
    return EVENT_NONE;
}

// The line as it was read, without its line end, for messages.
std::string printable_line(const char* line)
{
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// The token as it may be shown on a terminal: bytes outside printable ASCII
// (escape sequences of a damaged file, UTF-8) as \xNN.
std::string printable_token(const char* token)
{
    static const char HEX[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(token); *c; ++c) {
        if (*c >= 0x20 && *c < 0x7f) {
            text += char(*c);
        } else {
            text += "\\x";
            text += HEX[*c >> 4];
            text += HEX[*c & 15];
        }
    }
    return text;
}

// The byte order mark some editors write at the start of a UTF-8 file.
const char UTF8_BOM[] = "\xef\xbb\xbf";

} // namespace

// --- cEventQueue ----------------------------------------------------------------

const demo_event* cEventQueue::next_due(int t)
{
    if (cursor >= events.size() || events[cursor].time >= t)
        return nullptr;
    return &events[cursor++];
}

demo_event cEventQueue::find(int code) const
{
    for (std::size_t i = cursor; i < events.size(); ++i)
        if (events[i].code == code)
            return events[i];
    return NO_EVENT;
}

void cEventQueue::sort()
{
    std::sort(events.begin(), events.end(),
              [](const demo_event& a, const demo_event& b) { return a.time < b.time; });
    cursor = 0;
}

// --- cEventQueue_factory ---------------------------------------------------------

cEventQueue* cEventQueue_factory::loadFile(std::string path)
{
    std::ifstream in;
    // A directory opens as a stream on Linux and then reads nothing: treat it
    // as unreadable, like a missing file.
    if (platform_file_readable(path))
        in.open(path.c_str());
    if (!in.is_open() || in.fail()) {
        std::cout << "Error reading file \"" << path << " in cEventQueue_factory::loadFile" << std::endl;
        return nullptr;
    }
    return read(in, path);
}

cEventQueue* cEventQueue_factory::read(std::istream& in, const std::string& path)
{
    cEventQueue* queue = new cEventQueue;
    char line[LINE_BUFFER_SIZE];
    // getline sets the failed state for a line that does not fit the buffer,
    // which ends reading there; a last line without a newline only sets eof.
    int number = 1;
    for (; in.getline(line, LINE_BUFFER_SIZE, '\n'); ++number) {
        const std::size_t mark = sizeof(UTF8_BOM) - 1;
        const bool bom = number == 1 && std::strncmp(line, UTF8_BOM, mark) == 0;
        demo_event e = parse_line(bom ? line + mark : line);
        if (e.code != EVENT_NONE)
            queue->events.push_back(e);
    }
    if (in.fail() && !in.bad() && in.gcount() == LINE_BUFFER_SIZE - 1)
        std::cerr << "# warning, line " << number << " of \"" << path << "\" is longer than "
                  << LINE_BUFFER_SIZE - 1 << " characters: it and the rest of the script are not read in "
                  << "cEventQueue_factory::loadFile" << std::endl;
    queue->sort();
    return queue;
}

demo_event cEventQueue_factory::parse_line(char* line)
{
    if (!line || line[0] == '\0')
        return NO_EVENT;
    std::string original = printable_line(line);

    char* state = nullptr;
    char* token = strtok_r(line, LINE_SEPARATORS, &state);
    if (!token)
        return NO_EVENT;
    int32_t code = eventtoken_parse(token);
    if (code == EVENT_NONE || code == EVENT_NUMBER)
        return NO_EVENT;

    char* time_text = strtok_r(nullptr, LINE_SEPARATORS, &state);
    bool ok = false;
    int32_t time = time_text ? parse_time(time_text, &ok) : 0;
    if (!ok) {
        std::cerr << "# warning, missing or incomplete time (h:m:s,ms) in line \"" << original
                  << "\" in cEventQueue_factory::parse_line" << std::endl;
        return NO_EVENT;
    }
    return demo_event{code, time};
}

const char* cEventQueue_factory::event_token(int32_t code)
{
    for (const token_code& t : CUE_TOKENS)
        if (t.code == code)
            return t.token;
    for (const token_code& t : LATE_TOKENS)
        if (t.code == code)
            return t.token;
    return nullptr;
}

int32_t cEventQueue_factory::eventtoken_parse(const char* token)
{
    int32_t code = lookup(CUE_TOKENS, sizeof(CUE_TOKENS) / sizeof(CUE_TOKENS[0]), token);
    if (code != EVENT_NONE)
        return code;
    if (std::isdigit(static_cast<unsigned char>(token[0])))
        return EVENT_NUMBER;
    code = lookup(LATE_TOKENS, sizeof(LATE_TOKENS) / sizeof(LATE_TOKENS[0]), token);
    if (code != EVENT_NONE)
        return code;
    if (token[0] != '#')
        std::cerr << "# warning, unknown token " << printable_token(token) << " in "
                  << "cEventQueue_factory::eventtoken_parse" << std::endl;
    return EVENT_NONE;
}

int32_t cEventQueue_factory::parse_time(char* text, bool* ok)
{
    // Hours, minutes, seconds, milliseconds. Each field must start with a
    // digit (no sign: a negative field would put the event before the music,
    // where it would fire in the first frame) and fit 32 bits; anything after
    // the fourth field is ignored.
    static const int64_t FIELD_MS[4] = {3600000, 60000, 1000, 1};
    if (ok)
        *ok = false;
    if (!text)
        return 0;
    char* state = nullptr;
    int64_t total = 0;
    char* field = strtok_r(text, TIME_SEPARATORS, &state);
    for (int i = 0; i < 4; ++i) {
        if (!field)
            return 0;
        if (!std::isdigit(static_cast<unsigned char>(field[0])))
            return 0;
        char* end = nullptr;
        long value = std::strtol(field, &end, 10);
        if (end == field || value < INT32_MIN || value > INT32_MAX)
            return 0;
        total += int64_t(value) * FIELD_MS[i];
        field = strtok_r(nullptr, TIME_SEPARATORS, &state);
    }
    if (total < INT32_MIN || total > INT32_MAX)
        return 0;
    if (ok)
        *ok = true;
    return int32_t(total);
}
