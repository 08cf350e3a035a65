#include "platform/platform.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <malloc.h>
#include <unistd.h>

TEST(CrtRand, follows_the_original_runtime_from_its_first_values_on)
{
    crt_srand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected)
        EXPECT_EQ(value, crt_rand());
    // Far into the sequence: the state wraps at 32 bits and only 15 bits come out.
    for (int i = 5; i < 99999; ++i)
        crt_rand();
    EXPECT_EQ(1629, crt_rand());
}

TEST(KeepHeap, serves_large_blocks_from_the_heap_and_keeps_them_when_freed)
{
    platform_keep_heap();
    void* (*volatile allocate)(size_t) = std::malloc; // a call the compiler keeps
    const size_t mapped = mallinfo2().hblkhd;
    void* block = allocate(16 << 20);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(mapped, mallinfo2().hblkhd) << "mapped on its own";
    const size_t heap = mallinfo2().arena;
    std::free(block);
    EXPECT_EQ(heap, mallinfo2().arena) << "the heap's top was given back";
}

TEST(PathCanonicalize, keeps_forward_slash_paths_and_leading_dotdot)
{
    EXPECT_EQ("../data", platform_path_canonicalize("../data"));
    EXPECT_EQ("../data/", platform_path_canonicalize("../data/"));
    EXPECT_EQ("../../x", platform_path_canonicalize("../../x"));
    EXPECT_EQ("../src/shaders", platform_path_canonicalize("../src/shaders"));
}

TEST(PathCanonicalize, folds_dot_and_name_dotdot)
{
    EXPECT_EQ("a/c", platform_path_canonicalize("a/./b/../c"));
    EXPECT_EQ("../c", platform_path_canonicalize("a/../../c"));
    EXPECT_EQ("/c", platform_path_canonicalize("/../c"));
    EXPECT_EQ("a/b", platform_path_canonicalize("a//b"));
    EXPECT_EQ("a/b", platform_path_canonicalize("a\\b"));
    EXPECT_EQ(".", platform_path_canonicalize("."));
    EXPECT_EQ("./", platform_path_canonicalize("./"));
}

TEST(PathCanonicalize, refuses_a_path_longer_than_path_max)
{
    platform_set_last_error(0);
    EXPECT_EQ("", platform_path_canonicalize(std::string(PATH_MAX + 10, 'a')));
    EXPECT_NE(0, platform_last_error());
    EXPECT_FALSE(platform_file_exists(std::string(PATH_MAX + 10, 'a')));
}

TEST(PathStrip, keeps_text_after_the_last_separator)
{
    EXPECT_EQ("foo.jpg", platform_strip_path("textures/foo.jpg"));
    EXPECT_EQ("foo.jpg", platform_strip_path("a\\b/c\\foo.jpg"));
    EXPECT_EQ("foo.jpg", platform_strip_path("foo.jpg"));
    EXPECT_EQ("", platform_strip_path("dir/"));
}

TEST(FullPath, is_absolute_against_the_working_directory)
{
    char cwd[PATH_MAX];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof(cwd)));
    EXPECT_EQ(std::string(cwd) + "/x.txt", platform_full_path("x.txt"));
    EXPECT_EQ("/etc/hosts", platform_full_path("/etc/./hosts"));
}

TEST(Counter, virtual_counter_moves_only_when_advanced_or_slept)
{
    platform_use_virtual_counter(5000000);
    EXPECT_TRUE(platform_counter_is_virtual());
    EXPECT_EQ(5000000, platform_counter());
    platform_sleep(100);
    EXPECT_EQ(5100000, platform_counter());
    platform_advance_virtual_counter(1000);
    EXPECT_EQ(5101000, platform_counter());
    platform_use_real_counter();
    EXPECT_FALSE(platform_counter_is_virtual());
    // The real counter starts at program start: well inside 32-bit milliseconds.
    EXPECT_LT(platform_counter() / platform_counter_frequency(), 3600);
}

namespace {
std::string g_dialog_text;
void record_dialog(const std::string& text, const std::string& caption)
{
    g_dialog_text = caption + "|" + text;
}
} // namespace

TEST(MessageBox, writes_caption_and_text_to_stderr_and_calls_the_dialog)
{
    platform_set_dialog_hook(record_dialog);
    testing::internal::CaptureStderr();
    platform_message_box("line one\nline two", "caption");
    std::string err = testing::internal::GetCapturedStderr();
    platform_set_dialog_hook(nullptr);
    EXPECT_EQ("caption: line one\nline two\n", err);
    EXPECT_EQ("caption|line one\nline two", g_dialog_text);
}
