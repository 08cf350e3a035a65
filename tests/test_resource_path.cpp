#include "core/resource_path.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "support/show_runner.h"

namespace {

// A working directory with sub-folders laid out as a release folder:
// <tmp>/bin (working directory), <tmp>/data/a, <tmp>/data/b.
class ResourcePathTest : public testing::Test
{
protected:
    void SetUp() override
    {
        root_ = make_temp_dir();
        ASSERT_FALSE(root_.empty());
        for (const char* dir : {"/bin", "/data", "/data/a", "/data/b"})
            ASSERT_EQ(0, mkdir((root_ + dir).c_str(), 0755));
        char cwd[PATH_MAX];
        ASSERT_NE(nullptr, getcwd(cwd, sizeof(cwd)));
        old_cwd_ = cwd;
        ASSERT_EQ(0, chdir((root_ + "/bin").c_str()));
    }
    void TearDown() override
    {
        ASSERT_EQ(0, chdir(old_cwd_.c_str()));
        std::string cmd = "rm -rf '" + root_ + "'";
        ASSERT_EQ(0, system(cmd.c_str()));
    }
    void touch(const std::string& relative)
    {
        std::ofstream(root_ + "/" + relative) << "x";
    }

    std::string root_;
    std::string old_cwd_;
};

} // namespace

TEST_F(ResourcePathTest, directories_end_with_one_separator)
{
    cResourcePath paths;
    paths.push_searchpath("../data");
    paths.push_searchpath("../data/");
    paths.push_searchpath("../data/models/./town/");
    ASSERT_EQ(3u, paths.paths.size());
    EXPECT_EQ("../data/", paths.paths[0]);
    EXPECT_EQ("../data/", paths.paths[1]);
    EXPECT_EQ("../data/models/town/", paths.paths[2]);
}

TEST_F(ResourcePathTest, search_finds_the_bare_name_in_the_first_directory_that_has_it)
{
    touch("data/a/foo.jpg");
    touch("data/b/foo.jpg");
    touch("data/b/bar.jpg");
    cResourcePath paths;
    paths.push_searchpath("../data/a");
    paths.push_searchpath("../data/b");
    EXPECT_EQ("../data/a/foo.jpg", paths.get_fullpath("foo.jpg"));
    EXPECT_EQ("../data/b/bar.jpg", paths.get_fullpath("bar.jpg"));
    // The directory part of a name that does not open as given is dropped.
    EXPECT_EQ("../data/b/bar.jpg", paths.get_fullpath("textures/bar.jpg"));
    EXPECT_EQ("../data/a/foo.jpg", paths.get_fullpath("..\\x\\foo.jpg"));
}

TEST_F(ResourcePathTest, a_name_that_opens_as_given_wins_as_an_absolute_path)
{
    touch("bin/foo.jpg");
    touch("data/a/foo.jpg");
    cResourcePath paths;
    paths.push_searchpath("../data/a");
    EXPECT_EQ(root_ + "/bin/foo.jpg", paths.get_fullpath("foo.jpg"));
    // A relative path with leading ".." that opens is made absolute too.
    EXPECT_EQ(root_ + "/data/a/foo.jpg", paths.get_fullpath("../data/a/foo.jpg"));
}

TEST_F(ResourcePathTest, a_name_found_nowhere_is_empty_and_silent)
{
    cResourcePath paths;
    paths.push_searchpath("../data/a");
    testing::internal::CaptureStderr();
    EXPECT_EQ("", paths.get_fullpath("missing.jpg"));
    EXPECT_EQ("", paths.get_fullpath(""));
    EXPECT_EQ("", paths.get_fullpath("dir/"));
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
}

TEST_F(ResourcePathTest, a_directory_is_not_a_file_to_open)
{
    cResourcePath paths;
    paths.push_searchpath("..");
    // "data" exists as a directory in the working directory's parent only.
    EXPECT_EQ("../data", paths.get_fullpath("data"));
}

TEST_F(ResourcePathTest, names_longer_than_path_max_are_not_found)
{
    touch("data/a/foo.jpg");
    cResourcePath paths;
    paths.push_searchpath("../data/a");
    std::string long_name = std::string(PATH_MAX + 100, 'x');
    EXPECT_EQ("", paths.get_fullpath(long_name));
    EXPECT_EQ("", paths.get_fullpath(long_name + "/foo"));
    // Its bare name may still be searched when the directory part is long.
    EXPECT_EQ("../data/a/foo.jpg", paths.get_fullpath(std::string(PATH_MAX, 'y') + "/foo.jpg"));
}

TEST_F(ResourcePathTest, an_over_long_search_path_is_reported_and_finds_nothing)
{
    cResourcePath paths;
    testing::internal::CaptureStderr();
    paths.push_searchpath(std::string(PATH_MAX + 10, 'd'));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(0u, err.find("fatal - oops in cResourcePath::push_searchpath on path \"ddd"));
    ASSERT_EQ(1u, paths.paths.size());
    EXPECT_EQ("", paths.get_fullpath("foo.jpg"));
}
