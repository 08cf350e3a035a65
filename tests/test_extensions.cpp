#include "core/extensions.h"
#include "core/gl_ext.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Every extension the loader asks about; tests remove some.
const char* const k_all[] = {
    "GL_ARB_vertex_buffer_object", "GL_ARB_multitexture",     "GL_ARB_texture_compression",
    "GL_ARB_vertex_program",       "GL_ARB_fragment_program", "GL_EXT_framebuffer_object",
    "GL_ARB_draw_buffers",         "GL_ARB_point_parameters", "GL_EXT_point_parameters",
    "GL_SGIS_texture_lod",         "GL_SGIS_generate_mipmap", "GL_ARB_texture_env_add",
    "GL_EXT_texture_lod_bias",     "GL_ARB_texture_float",    "GL_ARB_texture_rectangle",
    "GL_EXT_texture_rectangle",    "GL_ARB_multisample",      "GL_ARB_texture_non_power_of_two",
};

std::string extensions_without(std::set<std::string> missing)
{
    std::string s;
    for (const char* e : k_all)
        if (!missing.count(e))
            s += std::string(e) + " ";
    return s;
}

std::vector<std::string> g_fetched;
std::set<std::string> g_unavailable;

void* recording_lookup(const char* name)
{
    g_fetched.push_back(name);
    static int dummy;
    return g_unavailable.count(name) ? nullptr : &dummy;
}

void ignore_dialog(const std::string&, const std::string&) {}

void run_loader(const std::string& extensions)
{
    g_fetched.clear();
    init_extensions_from(extensions.c_str(), recording_lookup);
}

// Runs the loader on a fake driver; returns standard error.
std::string load(const std::string& extensions)
{
    testing::internal::CaptureStderr();
    run_loader(extensions);
    return testing::internal::GetCapturedStderr();
}

size_t fetched_from_group(int group)
{
    int count = 0;
    const gl_entry_point* entries = gl_entry_points(&count);
    size_t n = 0;
    for (const std::string& name : g_fetched)
        for (int i = 0; i < count; ++i)
            if (entries[i].group == group && name == entries[i].name)
                ++n;
    return n;
}

class ExtensionLoader : public testing::Test
{
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        platform_set_dialog_hook(ignore_dialog);
        g_unavailable.clear();
    }
    void TearDown() override { platform_set_dialog_hook(nullptr); }
};

} // namespace

TEST(HasExtension, matches_whole_words_only)
{
    const char* s = "GL_ARB_multitexture_extra GL_EXT_a GL_ARB_shadow";
    EXPECT_FALSE(has_extension(s, "GL_ARB_multitexture"));
    EXPECT_TRUE(has_extension(s, "GL_EXT_a"));
    EXPECT_FALSE(has_extension(s, "GL_EXT"));
    EXPECT_TRUE(has_extension(s, "GL_ARB_shadow"));        // last word, no trailing space
    EXPECT_TRUE(has_extension("GL_ARB_shadow", "GL_ARB_shadow")); // the only word
    EXPECT_FALSE(has_extension("", "GL_ARB_shadow"));
    EXPECT_FALSE(has_extension(nullptr, "GL_ARB_shadow"));
    EXPECT_FALSE(has_extension(s, ""));
    EXPECT_TRUE(has_extension("  GL_X   GL_Y  ", "GL_Y")); // runs of spaces
}

TEST_F(ExtensionLoader, a_complete_driver_fetches_every_group_and_unfetchable_entry_points_are_reported)
{
    EXPECT_EQ("", load(extensions_without({})));
    EXPECT_EQ(8u, fetched_from_group(1));
    EXPECT_EQ(36u, fetched_from_group(2));
    EXPECT_EQ(7u, fetched_from_group(3));
    EXPECT_EQ(60u, fetched_from_group(6));
    EXPECT_EQ(18u, fetched_from_group(7));
    EXPECT_EQ(2u, fetched_from_group(8));
    EXPECT_EQ(1u, fetched_from_group(9));
    ASSERT_GE(g_fetched.size(), 132u);
    EXPECT_EQ("glBindBufferARB", g_fetched.front());
    EXPECT_EQ("glMultiTexCoord1dARB", g_fetched[12]);
    EXPECT_EQ("glMultiTexCoord4svARB", g_fetched[43]);

    g_unavailable = {"glMapBufferARB", "glDrawRangeElements"};
    std::string err = load(extensions_without({}));
    EXPECT_EQ("glMapBufferARB not initialized\nglDrawRangeElements not initialized\n", err);
    EXPECT_EQ(nullptr, mvk_glMapBufferARB);
}

TEST_F(ExtensionLoader, optional_extensions_warn_and_their_groups_are_skipped_or_still_fetched)
{
    const struct
    {
        std::set<std::string> missing;
        std::string warnings;
        int group;            // a group whose fetched count is checked, 0: none
        size_t fetched;
    } cases[] = {
        // Rectangle textures fall back to the EXT name.
        {{"GL_EXT_texture_rectangle"}, "", 0, 0},
        {{"GL_ARB_texture_rectangle"}, "# WARNING: GL_ARB_texture_rectangle not supported\n", 0, 0},
        {{"GL_ARB_texture_rectangle", "GL_EXT_texture_rectangle"},
         "# WARNING: GL_ARB_texture_rectangle not supported\n# WARNING: GL_EXT_texture_rectangle not supported\n", 0, 0},
        // Point parameters warn but are always fetched.
        {{"GL_ARB_point_parameters"}, "# WARNING: GL_ARB_point_parameters not supported\n", 8, 2},
        {{"GL_ARB_point_parameters", "GL_EXT_point_parameters"},
         "# WARNING: GL_ARB_point_parameters not supported\n# WARNING: GL_EXT_point_parameters not supported\n", 8, 2},
        {{"GL_ARB_texture_compression"}, "# WARNING: GL_ARB_texture_compression not supported\n", 3, 0},
        {{"GL_ARB_draw_buffers"}, "# WARNING: GL_ARB_draw_buffers not supported\n", 7, 18},
        {{"GL_EXT_texture_lod_bias", "GL_ARB_texture_non_power_of_two"},
         "# WARNING: EXT_texture_lod_bias not supported\n# WARNING: GL_ARB_texture_non_power_of_two not supported!\n",
         0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.warnings, load(extensions_without(c.missing))) << *c.missing.begin();
        if (c.group) {
            EXPECT_EQ(c.fetched, fetched_from_group(c.group)) << *c.missing.begin();
        }
    }
}

TEST_F(ExtensionLoader, missing_required_extensions_end_the_show_with_their_codes)
{
    EXPECT_EXIT(run_loader(extensions_without({"GL_ARB_vertex_buffer_object"})), testing::ExitedWithCode(255),
                "# WARNING: GL_ARB_vertex_buffer_object not supported\n"
                "missing gl-extension: GL_ARB_vertex_buffer_object is missing\n\\(you probably need newer hardware\\)");
    EXPECT_EXIT(run_loader(extensions_without({"GL_ARB_multitexture"})), testing::ExitedWithCode(255),
                "^# WARNING: GL_ARB_multitexture not supported\n$");
    // A longer word that starts with the name does not count as the extension.
    EXPECT_EXIT(run_loader(extensions_without({"GL_ARB_multitexture"}) + " GL_ARB_multitexture_x"),
                testing::ExitedWithCode(255), "GL_ARB_multitexture not supported");
    EXPECT_EXIT(run_loader(extensions_without({"GL_ARB_vertex_program"})), testing::ExitedWithCode(255),
                "^mvk::qdr - missing gl-extension: GL_ARB_vertex_program is missing\n");
    EXPECT_EXIT(run_loader(extensions_without({"GL_ARB_fragment_program"})), testing::ExitedWithCode(255),
                "^## ERROR: GL_ARB_fragment_program not supported\nmvk::qdr - missing gl-extension: "
                "GL_ARB_fragment_program is missing");
    EXPECT_EXIT(run_loader(extensions_without({"GL_EXT_framebuffer_object"})), testing::ExitedWithCode(255),
                "# WARNING: GL_EXT_framebuffer_object not supported\nmvk::qdr - missing gl-extension: "
                "GL_EXT_framebuffer_object is missing\n\\(you probably just need a driver-update...\\)");
}
