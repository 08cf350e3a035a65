// The markers script and its demo events. cEventQueue_factory reads the
// script once at start-up into a cEventQueue: the events sorted by time with a
// forward-only cursor. The scene manager owns the queue (it deletes it in its
// destructor) and asks it every frame for the events that have fallen due;
// scenes may look ahead in it with find(). Pointers handed out by next_due()
// stay valid for the queue's life: the event list never changes after loading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

// Event codes. 0 to 12 switch to the scene of that index, 13 comes from "s100"
// and has no handler, 16 to 28 are musical cues, 30 ends the show.
const int32_t EVENT_NONE = -1;
const int32_t EVENT_SCENE_FIRST = 0;
const int32_t EVENT_SCENE_LAST = 12;
const int32_t EVENT_S100 = 13;
const int32_t EVENT_NUMBER = 15; // a first word starting with a digit: line ignored
const int32_t EVENT_CUE_FIRST = 16;
const int32_t EVENT_CUE_LAST = 29; // 29 is produced by no token, but is still a cue
const int32_t EVENT_QUIT = 30;

struct demo_event
{
    int32_t code; // EVENT_* above; -1 with time -1 stands for no event
    int32_t time; // milliseconds from the show's time origin (start of the music)
};

inline bool operator==(const demo_event& a, const demo_event& b)
{
    return a.code == b.code && a.time == b.time;
}

const demo_event NO_EVENT = {EVENT_NONE, EVENT_NONE};

class cEventQueue
{
public:
    // The event under the cursor if its time is strictly before t (the cursor
    // then moves one on), else null.
    const demo_event* next_due(int t);
    // A copy of the first event at or after the cursor with this code, or
    // NO_EVENT. The cursor does not move.
    demo_event find(int code) const;
    // Sorts by time, smaller first (not stable) and puts the cursor on the
    // first event.
    void sort();

    std::vector<demo_event> events;
    // Index of the first event not yet handed out; only moves forward.
    // (An index rather than an iterator, so appending never leaves it dangling.)
    std::size_t cursor = 0;
};

class cEventQueue_factory
{
public:
    // Reads the script at path (relative to the working directory). Returns a
    // new queue owned by the caller, or null (with a line on standard output)
    // when the file cannot be opened (a directory cannot). A line longer than
    // 511 characters stops reading with a warning naming its number; the
    // events before it are kept.
    static cEventQueue* loadFile(std::string path);
    // The reading step of loadFile on an open stream; path only names the
    // script in the warning.
    static cEventQueue* read(std::istream& in, const std::string& path);
    // The event of one script line, NO_EVENT when the line yields none. The
    // line is tokenised in place. A line whose time token is missing or has
    // fewer than four numbers is rejected with a warning naming the line.
    static demo_event parse_line(char* line);
    // The code of a first word, or -1 (with a warning for an unknown word that
    // is not a comment).
    static int32_t eventtoken_parse(const char* token);
    // The script word of a code ("beat", "s05", "quit"), null for a code no
    // word yields.
    static const char* event_token(int32_t code);
    // Milliseconds of "h:m:s,ms" (',' and ':' are interchangeable, no upper
    // limits on the fields). The text is tokenised in place. *ok (when given)
    // is false, and the result 0, when the text holds fewer than four numbers,
    // a field does not start with a digit (a sign: "0:-1:5,0"), or the sum
    // does not fit 32 bits.
    static int32_t parse_time(char* text, bool* ok = nullptr);
};
