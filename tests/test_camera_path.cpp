#include "scenes/camera_path.h"

#include "core/resource_path.h"
#include "support/show_runner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

namespace {

// Writes text to a fresh file and returns its path.
std::string write_path_file(const std::string& name, const std::string& text)
{
    static std::string dir = make_temp_dir();
    std::string path = dir + "/" + name;
    std::ofstream(path) << text;
    return path;
}

cCameraPath path_from(const std::string& text)
{
    cCameraPath path;
    EXPECT_TRUE(path.load(write_path_file("path.pth", text)));
    return path;
}

struct Vec { float x, y, z; };

typedef void (cCameraPath::*getter)(float, float*) const;

Vec at(const cCameraPath& p, getter get, float t)
{
    Vec v{-1, -1, -1};
    (p.*get)(t, &v.x);
    return v;
}
Vec position(const cCameraPath& p, float t) { return at(p, &cCameraPath::get_position, t); }
Vec target(const cCameraPath& p, float t) { return at(p, &cCameraPath::get_target, t); }
Vec up(const cCameraPath& p, float t) { return at(p, &cCameraPath::get_up, t); }

void expect_vec(Vec expected, Vec actual, const char* what)
{
    EXPECT_FLOAT_EQ(expected.x, actual.x) << what;
    EXPECT_FLOAT_EQ(expected.y, actual.y) << what;
    EXPECT_FLOAT_EQ(expected.z, actual.z) << what;
}

// Key A: file position (1, 2, 3), target (4, 5, 6), up (0, 0, 1).
// Key B: file position (11, 12, 13), target (-4, -5, -6), up (0, 1, 0).
const char* const k_key_a = "(1, 2, 3) (4, 5, 6) (0, 0, 1)\n";
const char* const k_key_b = "(11, 12, 13) (-4, -5, -6) (0, 1, 0)\n";

} // namespace

// --- reading ---------------------------------------------------------------------

TEST(CameraPathLoad, converts_file_axes_to_world_axes_for_all_three_vectors)
{
    cCameraPath p = path_from(k_key_a);
    ASSERT_EQ(1u, p.get_keys().size());
    expect_vec({1, 3, -2}, position(p, 0.5f), "position");
    expect_vec({4, 6, -5}, target(p, 0.5f), "target");
    expect_vec({0, 1, 0}, up(p, 0.5f), "up");
    for (float t : {-2.0f, 0.0f, 0.9999881f, 1.0f, 7.3f})
        expect_vec({1, 3, -2}, position(p, t), "one key everywhere");
}

TEST(CameraPathLoad, marks_and_layout_do_not_matter)
{
    cCameraPath parentheses = path_from(std::string(k_key_a) + k_key_b);
    const std::string variants[] = {
        "[1; 2; 3] [4; 5; 6] [0; 0; 1] [11; 12; 13] [-4; -5; -6] [0; 1; 0]",
        "(1, 2, 3) (4, 5, 6) (0, 0, 1) (11, 12, 13) (-4, -5, -6) (0, 1, 0)",
        "(1,\n2,\t3)\n\n(4, 5,\n6)\n(0, 0, 1)(11,12,13)(-4,-5,-6)(0,1,0)\n",
        "<1.0e0|2|3>{4|5|6}x0y0z1w a11b12c13d k-4m-5n-6p q0r1s0t",
    };
    for (const std::string& text : variants) {
        cCameraPath p = path_from(text);
        ASSERT_EQ(2u, p.get_keys().size()) << text;
        for (float t : {0.0f, 0.25f, 0.9f})
            for (getter get : {&cCameraPath::get_position, &cCameraPath::get_target, &cCameraPath::get_up})
                expect_vec(at(parentheses, get, t), at(p, get, t), text.c_str());
    }
}

TEST(CameraPathLoad, only_complete_keys_before_a_truncation_or_a_word_are_kept)
{
    const std::string two = std::string(k_key_a) + k_key_b;
    const struct { std::string text; std::size_t keys; } cases[] = {
        {two + "(1, 2, 3) (4, 5", 2},
        {two + "(1, 2, 3) (4, 5, 6) (0, 0, 1", 2},
        {two + "(", 2},
        {two + "  \n", 2},
        {std::string(k_key_a) + "(1, two, 3) (4, 5, 6) (0, 0, 1)\n" + k_key_b, 1}, // a word ends the load
        {"", 0},
        {"hello", 0},
        {"(1, 2, 3)", 0}, // no complete key: empty, but loaded
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.keys, path_from(c.text).get_keys().size()) << c.text;
}

TEST(CameraPathLoad, a_second_load_appends_and_a_missing_file_or_a_directory_is_refused_leaving_the_path_as_it_was)
{
    const std::string dir = make_temp_dir() + "/folder.pth";
    ASSERT_EQ(0, mkdir(dir.c_str(), 0700));
    cCameraPath p;
    EXPECT_FALSE(p.load("/nonexistent/mirvok/ps_cam99.pth"));
    EXPECT_FALSE(p.load(dir));
    EXPECT_TRUE(p.get_keys().empty());
    ASSERT_TRUE(p.load(write_path_file("a.pth", k_key_a)));
    ASSERT_TRUE(p.load(write_path_file("b.pth", k_key_b)));
    EXPECT_FALSE(p.load("/nonexistent/mirvok/ps_cam99.pth"));
    EXPECT_FALSE(p.load(dir));
    ASSERT_EQ(2u, p.get_keys().size());
    expect_vec({11, 13, -12}, position(p, 0.9f), "second file's key last");
}

TEST(CameraPathLoad, each_file_that_gives_no_usable_flight_is_warned_about_once_by_name)
{
    const std::string dir = make_temp_dir() + "/folder.pth";
    ASSERT_EQ(0, mkdir(dir.c_str(), 0700));
    const std::string two = std::string(k_key_a) + k_key_b;
    const std::string unread = "cannot read the camera path ", read = "reading the camera path ";
    const struct { std::string path, before, after; } cases[] = {
        {"/nonexistent/mirvok/ps_cam99.pth", unread, ": the path stays empty"},
        {"no_such_cam.pth", unread, ": the path stays empty"}, // load_found: not on any search path
        {dir, unread, ": the path stays empty"},
        {write_path_file("empty.pth", " \n"), "the camera path ", " holds no key: the path stays empty"},
        {write_path_file("cut.pth", two + "(1, 2, 3) (4,"), read, " stopped at line 3: it keeps the 2 keys before it"},
        {write_path_file("nan.pth", std::string(k_key_a) + "(1, 2, 3)\n(nan, 5, 6) (0, 0, 1)\n"), read,
         " stopped at line 3: it keeps the 1 keys before it"},
        {write_path_file("inf.pth", "(inf, 0, 0) (0, 0, 0) (0, 0, 1)"), read,
         " stopped at line 1: it keeps the 0 keys before it"},
        {write_path_file("huge.pth", two + "(1e38, 0, 0) (0, 0, 0) (0, 0, 1)"), "key 3 of the camera path ",
         " holds a coordinate too large to draw with"},
        {write_path_file("good.pth", two), "", ""},
    };
    for (const auto& c : cases) {
        cCameraPath p;
        testing::internal::CaptureStderr();
        p.load_found(c.path);
        EXPECT_EQ(c.before.empty() ? "" : "# warning: " + c.before + "\"" + c.path + "\"" + c.after + " in cCameraPath::load\n",
                  testing::internal::GetCapturedStderr());
    }
}

TEST(CameraPathLoad, reads_a_bare_name_found_through_the_search_paths)
{
    std::string file = write_path_file("grts_cam01.pth", k_key_b);
    cResourcePath* paths = get_resource_path();
    paths->push_searchpath(file.substr(0, file.rfind('/')));
    cCameraPath p;
    EXPECT_TRUE(p.load(paths->get_fullpath("grts_cam01.pth")));
    EXPECT_EQ(1u, p.get_keys().size());
    destroy_resource_path();
}

// --- evaluation --------------------------------------------------------------------

TEST(CameraPathEval, two_keys_interpolate_over_the_first_half_and_hold_the_second)
{
    cCameraPath p = path_from(std::string(k_key_a) + k_key_b);
    expect_vec({1, 3, -2}, position(p, 0.0f), "t = 0");
    expect_vec({6, 8, -7}, position(p, 0.25f), "t = 0.25");
    expect_vec({0, 0.5f, -0.5f}, up(p, 0.25f), "up at t = 0.25");
    expect_vec({0, 0, 0}, target(p, 0.25f), "target at t = 0.25");
    for (float t : {0.5f, 0.75f, 0.99f})
        expect_vec({11, 13, -12}, position(p, t), "held last key");
}

TEST(CameraPathEval, parameters_are_clamped_not_wrapped)
{
    cCameraPath p = path_from(std::string(k_key_a) + k_key_b + "(21, 22, 23) (0, 0, 0) (0, 0, 1)\n");
    const Vec last = position(p, 0.9999881f);
    expect_vec({21, 23, -22}, last, "last key");
    expect_vec(last, position(p, 1.0f), "t = 1");
    expect_vec(last, position(p, 7.3f), "t = 7.3");
    expect_vec({1, 3, -2}, position(p, -2.0f), "t = -2");
    expect_vec({1, 3, -2}, position(p, std::numeric_limits<float>::quiet_NaN()), "t = NaN");
    // Keys at t = i / n: key 1 at 1/3, halfway to key 2 at 1/2.
    expect_vec({11, 13, -12}, position(p, 1.0f / 3.0f + 1e-7f), "key 1");
    expect_vec({16, 18, -17}, position(p, 0.5f), "between keys 1 and 2");
}

TEST(CameraPathEval, an_empty_path_gives_the_zero_vector)
{
    const cCameraPath p;
    expect_vec({0, 0, 0}, position(p, 0.5f), "position");
    expect_vec({0, 0, 0}, up(p, 2.0f), "up");
}
