// The real show following a markers script of the test's own, with a music
// stream made by the test, in a private copy of the release folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "support/ogg_writer.h"
#include "support/show_runner.h"

namespace fs = std::filesystem;

namespace {

const int START_MS = 60000; // start-up and the loading phase
const int EXIT_MS = 30000;

class ShowTimeline : public testing::Test
{
protected:
    void SetUp() override
    {
        root_ = make_private_release({"mirvok"}, {"script", "music"});
        ASSERT_FALSE(root_.empty()) << "build the show first";
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void write_script(const std::string& text) { std::ofstream(root_ / "data/script/markers.txt") << text; }
    void write_music(double seconds)
    {
        ASSERT_TRUE(write_test_tone((root_ / "data/music/kelmora.ogg").string(), 44100, 2, seconds));
    }
    // False only when no X server could be started (the test skips); a show
    // that cannot be started fails the test.
    bool start()
    {
        if (!runner_.start_server())
            return false;
        EXPECT_TRUE(runner_.start_show((root_ / "bin/mirvok").string())) << runner_.err();
        return true;
    }

    fs::path root_;
    ShowRunner runner_;
};

bool contains(const std::string& text, const std::string& what)
{
    return text.find(what) != std::string::npos;
}

} // namespace

TEST_F(ShowTimeline, short_script_plays_and_ends_itself_with_code_0_after_the_loading_phase)
{
    write_music(3.0);
    write_script("#test script\n"
                 "s00    0:00:00,000\n"
                 "beat   0:00:00,200\n"
                 "Beat   0:00:00,300\n"
                 "s13    0:00:00,400\n"
                 "s100   0:00:00,500\n"
                 "s01    0:00:01\n"
                 "s12    0:00:00,600\n"
                 "snare  0:00:00,700\n"
                 "quit   0:00:01,500\n");
    if (!start())
        GTEST_SKIP() << "no X server could be started";
    ShowResult result = runner_.wait_exit(START_MS + EXIT_MS);

    ASSERT_TRUE(result.exited) << result.err;
    EXPECT_EQ(0, result.exit_code) << result.err;

    const std::string& out = result.out;
    size_t loaded = out.find("# fmod loaded stream \"../data/music/kelmora.ogg\" [length: 3000ms]\n");
    size_t playing = out.find("# fmod starting playback...\n");
    size_t ended = out.find("requested exit\n");
    EXPECT_NE(std::string::npos, loaded) << out;
    EXPECT_NE(std::string::npos, playing) << out;
    EXPECT_LT(loaded, playing);
    EXPECT_LT(playing, ended);
    EXPECT_EQ(out.size() - 15, ended) << out;

    const std::string& err = result.err;
    EXPECT_TRUE(contains(err, "# warning, unknown token Beat in cEventQueue_factory::eventtoken_parse\n")) << err;
    EXPECT_TRUE(contains(err, "# warning, unknown token s13 in cEventQueue_factory::eventtoken_parse\n")) << err;
    EXPECT_TRUE(contains(err, "# warning, missing or incomplete time (h:m:s,ms) in line \"s01    0:00:01\" in "
                              "cEventQueue_factory::parse_line\n"))
        << err;
    EXPECT_TRUE(contains(err, "unhandled demo_event: 13\n")) << err;
    // The scenes at indices 0 and 12 take the cues (index 12 exists), so the
    // grey fallback, which reports every cue it gets, never becomes current.
    EXPECT_FALSE(contains(err, "dummy-scene recieved event")) << err;
    EXPECT_FALSE(contains(err, "## ERROR")) << err;
}

TEST_F(ShowTimeline, missing_music_ends_start_up_with_code_1)
{
    write_script("s00 0:0:0,0\nquit 0:0:1,0\n");
    if (!start())
        GTEST_SKIP() << "no X server could be started";
    ShowResult result = runner_.wait_exit(START_MS);
    ASSERT_TRUE(result.exited) << result.err;
    EXPECT_EQ(1, result.exit_code);
    EXPECT_TRUE(contains(result.err, "## ERROR: No such file or directory: \"../data/music/kelmora.ogg\"\n"))
        << result.err;
    // The exit handler is registered after the music opened.
    EXPECT_FALSE(contains(result.out, "requested exit")) << result.out;
}

TEST_F(ShowTimeline, a_script_that_cannot_be_read_ends_start_up_with_code_255_naming_it)
{
    write_music(30.0);
    const fs::path script = root_ / "data/script/markers.txt";
    const char* kinds[] = {"missing", "a directory", "a link to /dev/zero"};
    for (const char* kind : kinds) {
        std::error_code ignored;
        fs::remove_all(script, ignored);
        if (kind == kinds[1])
            fs::create_directory(script);
        if (kind == kinds[2])
            fs::create_symlink("/dev/zero", script);
        if (kind == kinds[0] && !start())
            GTEST_SKIP() << "no X server could be started";
        if (kind != kinds[0]) {
            ASSERT_TRUE(runner_.start_show((root_ / "bin/mirvok").string())) << kind;
        }
        ShowResult result = runner_.wait_exit(START_MS);
        ASSERT_TRUE(result.exited) << kind << "\n" << result.err;
        EXPECT_EQ(255, result.exit_code) << kind;
        EXPECT_TRUE(contains(result.out,
                             "Error reading file \"../data/script/markers.txt in cEventQueue_factory::loadFile\n"))
            << kind << "\n" << result.out;
        EXPECT_TRUE(contains(result.err, "## ERROR: cannot read the markers script \"../data/script/markers.txt\" "
                                         "in cSceneManager::init\n"))
            << kind << "\n" << result.err;
    }
}

TEST_F(ShowTimeline, closed_standard_output_or_error_does_not_keep_the_script_from_ending_the_show)
{
    write_music(3.0);
    write_script("s00 0:0:0,0\nquit 0:0:0,500\n");
    for (int fd : {1, 2}) {
        runner_.close_descriptor(fd);
        if (fd == 1 && !start())
            GTEST_SKIP() << "no X server could be started";
        if (fd == 2) {
            ASSERT_TRUE(runner_.start_show((root_ / "bin/mirvok").string()));
        }
        ShowResult result = runner_.wait_exit(START_MS + EXIT_MS);
        ASSERT_TRUE(result.exited) << "descriptor " << fd << " closed\n" << result.err;
        EXPECT_EQ(0, result.exit_code) << "descriptor " << fd << " closed\n" << result.err;
        // The stream left open still gets its lines, and only its own.
        const std::string& open_one = fd == 1 ? result.err : result.out;
        EXPECT_TRUE((fd == 1 ? result.out : result.err).empty());
        EXPECT_TRUE(contains(open_one, fd == 1 ? "already exists! Skipping..." : "requested exit\n")) << open_one;
    }
}
