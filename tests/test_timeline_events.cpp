// The markers script reader and the event queue.
#include "timeline/event_queue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/show_runner.h"

namespace {

// parse_line on a copy of text, with what it wrote to standard error.
demo_event parse(const std::string& text, std::string* err = nullptr)
{
    std::vector<char> line(text.begin(), text.end());
    line.push_back('\0');
    testing::internal::CaptureStderr();
    demo_event e = cEventQueue_factory::parse_line(line.data());
    std::string written = testing::internal::GetCapturedStderr();
    if (err)
        *err = written;
    return e;
}

int32_t time_of(const std::string& text)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    bool ok = false;
    int32_t ms = cEventQueue_factory::parse_time(buffer.data(), &ok);
    EXPECT_TRUE(ok) << text;
    return ms;
}

class ScriptFile : public testing::Test
{
protected:
    void SetUp() override { dir_ = make_temp_dir(); }
    void TearDown() override
    {
        std::remove(path().c_str());
        std::remove(dir_.c_str());
    }
    std::string path() const { return dir_ + "/markers.txt"; }
    void write(const std::string& content)
    {
        std::ofstream out(path(), std::ios::binary);
        out << content;
    }
    std::unique_ptr<cEventQueue> load(std::string* err = nullptr)
    {
        testing::internal::CaptureStderr();
        std::unique_ptr<cEventQueue> queue(cEventQueue_factory::loadFile(path()));
        std::string written = testing::internal::GetCapturedStderr();
        if (err)
            *err = written;
        return queue;
    }

    std::string dir_;
};

const char* const UNKNOWN_TOKEN_SUFFIX = " in cEventQueue_factory::eventtoken_parse\n";

} // namespace

TEST(EventTokens, known_words_give_their_codes_unknown_ones_warn_and_give_minus_one_comments_are_silent)
{
    const struct
    {
        const char* word;
        int code;
    } cases[] = {
        {"beat", 16},   {"snare", 17},     {"rumble", 18}, {"fadein", 19}, {"bwab1", 20},  {"bwab2", 21},
        {"technofx", 22}, {"technofx2", 23}, {"melody", 24}, {"lead", 25},   {"hihatc", 26}, {"hihato", 27},
        {"sinus_in", 28}, {"s00", 0},       {"s07", 7},     {"s12", 12},    {"s100", 13},   {"quit", 30},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.code, cEventQueue_factory::eventtoken_parse(c.word)) << c.word;

    for (const char* word : {"Beat", "s13", "s7", "QUIT", "beats"}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(-1, cEventQueue_factory::eventtoken_parse(word)) << word;
        EXPECT_EQ(std::string("# warning, unknown token ") + word + UNKNOWN_TOKEN_SUFFIX,
                  testing::internal::GetCapturedStderr());
    }
    // Bytes of a damaged file reach the terminal as text, not as commands.
    testing::internal::CaptureStderr();
    EXPECT_EQ(-1, cEventQueue_factory::eventtoken_parse("\x1b[2J\x7f\xc3\xa9"));
    EXPECT_EQ(std::string("# warning, unknown token \\x1b[2J\\x7f\\xc3\\xa9") + UNKNOWN_TOKEN_SUFFIX,
              testing::internal::GetCapturedStderr());
    testing::internal::CaptureStderr();
    EXPECT_EQ(-1, cEventQueue_factory::eventtoken_parse("#"));
    EXPECT_EQ(-1, cEventQueue_factory::eventtoken_parse("#intro"));
    EXPECT_EQ(15, cEventQueue_factory::eventtoken_parse("12"));
    EXPECT_EQ(15, cEventQueue_factory::eventtoken_parse("0beat"));
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
}

TEST(EventTimes, separators_are_interchangeable_fields_unlimited_and_short_or_over_32_bit_times_rejected)
{
    EXPECT_EQ(65250, time_of("0:01:05,250"));
    EXPECT_EQ(65250, time_of("0:1:5:250"));
    EXPECT_EQ(65250, time_of("0,1,5,250"));
    EXPECT_EQ(75 * 60000 + 90 * 1000 + 1500, time_of("0:75:90,1500"));
    EXPECT_EQ(2 * 3600000 + 3 * 60000 + 4 * 1000 + 5, time_of("2:3:4,5"));

    for (const char* text : {"", "1", "0:1", "0:1:5", "0:1:5,", "a:b:c,d", ",,,", "1000:0:0,0" /* 3.6e9 ms */}) {
        std::vector<char> buffer(text, text + std::string(text).size() + 1);
        bool ok = true;
        cEventQueue_factory::parse_time(buffer.data(), &ok);
        EXPECT_FALSE(ok) << text;
    }
}

TEST(EventLines, blanks_and_trailing_text_do_not_matter_empty_lines_are_silent_and_bad_times_are_warned_about)
{
    EXPECT_EQ((demo_event{16, 1000}), parse("beat 0:0:1,0"));
    EXPECT_EQ((demo_event{16, 1000}), parse(" \t  beat\t0:0:1,0\r\n"));
    EXPECT_EQ((demo_event{16, 1000}), parse("beat 0:0:1,0 # first"));
    EXPECT_EQ((demo_event{13, 2500}), parse("s100 0:0:2,500"));

    for (const char* line : {"", "   \t ", "\n", "#intro", "# s00 0:0:0,0", "12 beat 0:0:1,0"}) {
        std::string err;
        EXPECT_EQ(NO_EVENT, parse(line, &err)) << line;
        EXPECT_EQ("", err) << line;
    }

    // A negative field would put the event before the music, where it fires
    // in the first frame; "+" is no more a time a person writes.
    for (std::string line : {"beat", "s01 0:15", "quit   0:1:2\n", "beat 0:-1:5,0", "quit -0:0:1,0", "s01 0:0:+5,0",
                             "snare 0:0:5,-1"}) {
        std::string err;
        EXPECT_EQ(NO_EVENT, parse(line, &err)) << line;
        if (line.back() == '\n')
            line.pop_back();
        EXPECT_EQ("# warning, missing or incomplete time (h:m:s,ms) in line \"" + line +
                      "\" in cEventQueue_factory::parse_line\n",
                  err);
    }
}

TEST_F(ScriptFile, script_is_read_sorted_with_unknown_words_warned_crlf_a_last_line_or_an_empty_file_read_a_missing_one_not)
{
    write("#intro\n"
          "s00     0:00:00,000\n"
          "s01     0:00:15,000\n"
          "beat    0:00:01,250\n"
          "Beat    0:00:01,300\n"
          "s13     0:00:01,400\n"
          "snare   0:00:01,500\n"
          "quit    0:04:59,000");
    std::string err;
    std::unique_ptr<cEventQueue> queue = load(&err);
    ASSERT_TRUE(queue);
    std::vector<demo_event> expected = {{0, 0}, {16, 1250}, {17, 1500}, {1, 15000}, {30, 299000}};
    EXPECT_EQ(expected, queue->events);
    EXPECT_EQ(std::string("# warning, unknown token Beat") + UNKNOWN_TOKEN_SUFFIX +
                  "# warning, unknown token s13" + UNKNOWN_TOKEN_SUFFIX,
              err);

    const struct
    {
        const char* content;
        std::vector<demo_event> events;
    } cases[] = {{"", {}},
                 {"beat 0:0:1,0\r\nquit 0:0:2,0", {{16, 1000}, {30, 2000}}},
                 {"\xef\xbb\xbfs00 0:0:0,0\nbeat 0:0:1,0", {{0, 0}, {16, 1000}}}}; // an editor's byte order mark
    for (const auto& c : cases) {
        write(c.content);
        std::unique_ptr<cEventQueue> queue = load();
        ASSERT_TRUE(queue) << c.content;
        EXPECT_EQ(c.events, queue->events) << c.content;
    }

    for (const std::string& file : {path() + ".none", dir_}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(nullptr, cEventQueue_factory::loadFile(file));
        EXPECT_EQ("Error reading file \"" + file + " in cEventQueue_factory::loadFile\n",
                  testing::internal::GetCapturedStdout());
    }
}

TEST(EventQueue, next_due_hands_out_events_strictly_before_t_and_find_looks_ahead_without_moving)
{
    cEventQueue queue;
    queue.events = {{16, 100}, {17, 100}, {30, 200}};
    EXPECT_EQ(nullptr, queue.next_due(100));
    EXPECT_EQ(&queue.events[0], queue.next_due(101));
    EXPECT_EQ(&queue.events[1], queue.next_due(101));
    EXPECT_EQ(nullptr, queue.next_due(200));
    EXPECT_EQ(30, queue.next_due(201)->code);
    EXPECT_EQ(nullptr, queue.next_due(1 << 30));

    queue = cEventQueue();
    queue.events = {{1, 100}, {16, 200}, {1, 300}};
    EXPECT_EQ((demo_event{1, 100}), queue.find(1));
    queue.next_due(101);
    EXPECT_EQ((demo_event{1, 300}), queue.find(1));
    EXPECT_EQ((demo_event{1, 300}), queue.find(1));
    EXPECT_EQ(NO_EVENT, queue.find(5));
    EXPECT_EQ(16, queue.next_due(1000)->code);
}

TEST_F(ScriptFile, an_over_long_line_stops_reading_keeps_earlier_events_and_is_named_in_one_warning)
{
    // 511 blanks still fit the 512-byte buffer; the tails do not.
    const std::string blanks = "beat 0:0:1,0\n" + std::string(511, ' ') + "\n";
    const struct
    {
        std::string content;
        std::vector<demo_event> events;
        int line;
    } cases[] = {
        {blanks + "snare 0:0:2,0\nbeat 0:0:3,0 " + std::string(600, 'x') + "\nquit 0:0:4,0\n", {{16, 1000}, {17, 2000}}, 4},
        {blanks + std::string(100000, 'x') + "\nquit 0:0:4,0\n", {{16, 1000}}, 3},
    };
    for (const auto& c : cases) {
        write(c.content);
        std::string err;
        std::unique_ptr<cEventQueue> queue = load(&err);
        ASSERT_TRUE(queue);
        EXPECT_EQ(c.events, queue->events);
        EXPECT_EQ("# warning, line " + std::to_string(c.line) + " of \"" + path() +
                      "\" is longer than 511 characters: it and the rest of the script are not read in "
                      "cEventQueue_factory::loadFile\n",
                  err);
    }
}
