// The real show on its own Xvfb server: how it ends and what it prints.
#include <gtest/gtest.h>

#include <string>

#include "support/show_runner.h"

namespace {

const int k_start_ms = 60000; // start-up, loading phase and the first frames
const int k_exit_ms = 30000;

class RealShow : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!runner_.start_server())
            GTEST_SKIP() << "no X server could be started";
        ASSERT_TRUE(runner_.start_show()) << runner_.err();
        if (!runner_.wait_for_window(k_start_ms)) {
            ShowResult r = runner_.wait_exit(1000);
            FAIL() << "no window; exited " << r.exited << " code " << r.exit_code << "\nout:\n" << r.out
                   << "\nerr:\n" << r.err;
        }
    }

    void expect_clean_exit(const ShowResult& result)
    {
        EXPECT_TRUE(result.exited) << result.err;
        EXPECT_EQ(0, result.exit_code) << result.err;
        // Written last, after the managers were destroyed.
        ASSERT_GE(result.out.size(), 15u);
        EXPECT_EQ("requested exit\n", result.out.substr(result.out.size() - 15)) << result.out;
    }

    ShowRunner runner_;
};

} // namespace

TEST_F(RealShow, q_ends_the_show_with_code_0)
{
    ASSERT_TRUE(runner_.send_key("q"));
    expect_clean_exit(runner_.wait_exit(k_exit_ms));
}

TEST_F(RealShow, escape_ends_the_show_with_code_0)
{
    ASSERT_TRUE(runner_.send_key("Escape"));
    expect_clean_exit(runner_.wait_exit(k_exit_ms));
}

TEST_F(RealShow, closing_the_window_ends_the_show_with_code_0)
{
    ASSERT_TRUE(runner_.send_close());
    expect_clean_exit(runner_.wait_exit(k_exit_ms));
}

TEST_F(RealShow, one_space_press_prints_exactly_one_beat_line)
{
    // Keys are read only once the loading phase is over: a press and its
    // release queued during it meet in one poll and leave no beat.
    ASSERT_TRUE(runner_.wait_for_out("# fmod starting playback...", k_start_ms)) << runner_.err();
    // Held until the beat line shows, however long a frame takes.
    ASSERT_TRUE(runner_.key_down("space"));
    ASSERT_TRUE(runner_.wait_for_err("beat ", k_start_ms)) << runner_.err();
    ASSERT_TRUE(runner_.key_up("space"));
    ASSERT_TRUE(runner_.send_key("q"));
    ShowResult result = runner_.wait_exit(k_exit_ms);
    expect_clean_exit(result);
    EXPECT_EQ(1u, count_of(result.err, "beat ")) << result.err;
    EXPECT_EQ(std::string::npos, result.err.find("## ERROR")) << result.err;
}

TEST_F(RealShow, start_up_reports_profiles_then_the_stream_then_playback_in_order)
{
    ASSERT_TRUE(runner_.wait_for_out("# fmod starting playback...", k_start_ms)) << runner_.out() << runner_.err();
    ASSERT_TRUE(runner_.send_key("q"));
    ShowResult result = runner_.wait_exit(k_exit_ms);
    expect_clean_exit(result);
    const char* in_order[] = {
        "Chose cg_profile:\tCG_PROFILE_ARBVP1\n",
        "Chose fragment_profile: CG_PROFILE_ARBFP1\n",
        "# fmod loaded stream \"../data/music/kelmora.ogg\" [length: ",
        "# fmod starting playback...\n",
        "requested exit\n",
    };
    size_t at = 0;
    for (const char* line : in_order) {
        size_t found = result.out.find(line, at);
        ASSERT_NE(std::string::npos, found) << "missing or out of order: " << line << "\n" << result.out;
        at = found + 1;
    }
    EXPECT_EQ(std::string::npos, result.err.find("## ERROR")) << result.err;
}
