#include "core/display.h"
#include "core/resource_path.h"
#include "core/screen.h"
#include "textures/texture_manager.h"

#include <IL/il.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <vector>

#include "support/gl_context.h"
#include "support/images.h"
#include "support/show_runner.h"

namespace {

// Draws a texture 1:1 into a framebuffer object of its own size and reads
// the texels back as RGBA, bottom row first.
std::vector<unsigned char> draw_texels(const cTexture& texture, int width, int height)
{
    OffscreenTarget target(width, height);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    for (GLenum cap : {GL_BLEND, GL_LIGHTING, GL_DEPTH_TEST, GL_ALPHA_TEST, GL_CULL_FACE, GL_TEXTURE_1D, GL_TEXTURE_2D,
                       GL_TEXTURE_RECTANGLE_ARB})
        glDisable(cap);
    push_screen_matrices();
    glEnable(texture.target);
    glBindTexture(texture.target, texture.id);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    // Rectangle textures take texel coordinates.
    const bool texels = texture.target == GL_TEXTURE_RECTANGLE_ARB;
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    for (int corner : {0, 1, 3, 2}) {
        const int x = corner & 1, y = corner >> 1;
        glTexCoord2f(texels ? x * width : x, texels ? y * height : y);
        glVertex2f(x, y);
    }
    glEnd();
    glBindTexture(texture.target, 0);
    pop_screen_matrices();
    glPopAttrib();
    return target.read();
}

rgba texel(const std::vector<unsigned char>& pixels, int width, int x, int y)
{
    const unsigned char* p = &pixels[(size_t(y) * width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

std::vector<std::string> files_in(const std::string& dir, const std::string& suffix)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Writes a width x height RGB image whose texel (x, y) is (x, y, 7) mod 256.
void write_image(const std::string& path, int width, int height)
{
    ASSERT_TRUE(save_image(path, coordinate_picture(width, height), width, height, 3));
}

// A parameter of the texture (level >= 0: of that mipmap level).
GLint parameter(const cTexture& t, GLenum name, int level = -1)
{
    GLint value = 0;
    glBindTexture(t.target, t.id);
    if (level < 0)
        glGetTexParameteriv(t.target, name, &value);
    else
        glGetTexLevelParameteriv(t.target, level, name, &value);
    return value;
}

class Textures : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!gl_test_context())
            return;
        init_image_library();
        dir_ = make_temp_dir();
        for (const char* name : {"line", "line_mip"})
            write_image(dir_ + "/" + name + ".png", 256, 1);
        for (const char* name : {"wide", "wide_mip"})
            write_image(dir_ + "/" + name + ".png", 512, 256);
        write_image(dir_ + "/screen.png", 640, 480);
        write_image(dir_ + "/odd.png", 17, 5);
        write_image(dir_ + "/shared.png", 64, 64);
        mkdir((dir_ + "/folder.png").c_str(), 0700);
        get_resource_path()->push_searchpath(dir_);
    }
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        REQUIRE_GL_CONTEXT();
    }
    std::unique_ptr<cTexture> get(const std::string& name, bool mipmap, GLint wrap = GL_CLAMP)
    {
        return std::unique_ptr<cTexture>(get_texture_manager()->get_texture(name, mipmap, wrap));
    }
    static std::string dir_;
};
std::string Textures::dir_;

} // namespace

// (The uploads below cover 256 x 1, 512 x 256 and 640 x 480.)
TEST(TextureTarget, is_1d_for_one_row_of_any_width_2d_for_no_size_and_rectangle_for_the_screen)
{
    EXPECT_EQ(GLenum(GL_TEXTURE_1D), choose_texture_target(300, 1));
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), choose_texture_target(0, 0));
    EXPECT_EQ(GLenum(GL_TEXTURE_RECTANGLE_ARB), choose_texture_target(1024, 768));
}

TEST_F(Textures, targets_formats_and_mipmap_chains_follow_the_image_size)
{
    const struct
    {
        const char* name;
        bool mipmap;
        GLenum target;
        GLint format, min_filter, level_1_width; // 0: not checked
    } cases[] = {
        {"line.png", false, GL_TEXTURE_1D, GL_RGB, GL_LINEAR, 0},
        {"line_mip.png", true, GL_TEXTURE_1D, 0, GL_LINEAR_MIPMAP_LINEAR, 128},
        {"wide.png", false, GL_TEXTURE_2D, GL_RGBA, GL_LINEAR, 0},
        {"wide_mip.png", true, GL_TEXTURE_2D, GL_RGBA, GL_LINEAR_MIPMAP_LINEAR, 256},
        {"screen.png", true, GL_TEXTURE_RECTANGLE_ARB, GL_RGBA, GL_LINEAR, 0}, // no mipmaps even when asked
    };
    for (const auto& c : cases) {
        auto t = get(c.name, c.mipmap);
        EXPECT_EQ(c.target, t->target) << c.name;
        if (c.format) {
            EXPECT_EQ(c.format, parameter(*t, GL_TEXTURE_INTERNAL_FORMAT, 0)) << c.name;
        }
        EXPECT_EQ(c.min_filter, parameter(*t, GL_TEXTURE_MIN_FILTER)) << c.name;
        if (c.level_1_width) {
            EXPECT_EQ(c.level_1_width, parameter(*t, GL_TEXTURE_WIDTH, 1)) << c.name;
        }
    }
    EXPECT_EQ(1, parameter(*get("line_mip.png", true), GL_TEXTURE_WIDTH, 8)) << "the 1D chain runs down to 1";
}

TEST_F(Textures, rectangles_and_rgb_rows_of_odd_width_upload_unskewed)
{
    const struct { const char* name; int width, height; } cases[] = {{"screen.png", 640, 480}, {"odd.png", 17, 5}};
    for (const auto& c : cases) {
        const std::vector<unsigned char> pixels = draw_texels(*get(c.name, false), c.width, c.height);
        for (int y = 0; y < c.height; y++)
            for (int x = 0; x < c.width; x++)
                ASSERT_EQ((rgba{x % 256, y % 256, 7, 255}), texel(pixels, c.width, x, y)) << c.name << " " << x << ","
                                                                                        << y;
    }
}

TEST_F(Textures, two_requests_upload_once_the_second_flags_have_no_effect_and_a_deleted_handle_leaves_it)
{
    auto first = get("shared.png", false, GL_CLAMP);
    size_t cached = get_texture_manager()->cache.size();
    auto second = get("shared.png", true, GL_REPEAT);
    EXPECT_EQ(first->id, second->id);
    EXPECT_EQ(first->target, second->target);
    EXPECT_EQ(GL_CLAMP, parameter(*second, GL_TEXTURE_WRAP_S));
    EXPECT_EQ(GL_LINEAR, parameter(*second, GL_TEXTURE_MIN_FILTER));
    // A path to an already loaded file is that texture too.
    auto with_folder = get(dir_ + "/shared.png", false);
    EXPECT_EQ(first->id, with_folder->id);
    EXPECT_EQ(cached, get_texture_manager()->cache.size());
    // Deleting a handle leaves the texture usable through the others.
    const GLuint id = first->id;
    first.reset();
    EXPECT_TRUE(glIsTexture(id));
    EXPECT_EQ(63, texel(draw_texels(*second, 64, 64), 64, 63, 5)[0]);
}

TEST_F(Textures, a_name_on_no_search_path_or_that_cannot_be_read_ends_the_program_naming_it)
{
    EXPECT_EXIT(get("missing.png", true), testing::ExitedWithCode(255),
                "^## ERROR: in .*texture_manager.cpp line [0-9]+: file was not found in path: \"missing.png\"\n$");
    EXPECT_EXIT(get("folder.png", true), testing::ExitedWithCode(255),
                "^## ERROR: in .*texture_manager.cpp line [0-9]+: unable to open file /.*/folder.png\n$");
}

TEST_F(Textures, clean_up_deletes_every_texture_and_is_safe_twice)
{
    auto t = get("wide.png", false);
    GLuint id = t->id;
    ASSERT_TRUE(glIsTexture(id));
    destroy_texture_manager();
    EXPECT_FALSE(glIsTexture(id));
    destroy_texture_manager();
    EXPECT_TRUE(get_texture_manager()->cache.empty());
    // The texture lives again on request.
    auto again = get("wide.png", false);
    EXPECT_TRUE(glIsTexture(again->id));
}

// --- public test images ----------------------------------------------------------------

class ImageFiles : public Textures
{
protected:
    // Every file of dir: valid ones must match the image library's decode
    // texel for texel; the others must give error lines, and nothing else
    // may happen. Returns the numbers of valid and failing files.
    void check_directory(const std::string& dir, const std::string& suffix, const std::vector<std::string>& corrupt,
                         int* valid_count, int* corrupt_count)
    {
        get_resource_path()->push_searchpath(dir);
        *valid_count = *corrupt_count = 0;
        for (const std::string& name : files_in(dir, suffix)) {
            bool expect_corrupt = std::find(corrupt.begin(), corrupt.end(), name) != corrupt.end();
            testing::internal::CaptureStderr();
            std::unique_ptr<cTexture> t(get_texture_manager()->get_texture(name, false, GL_CLAMP));
            std::string err = testing::internal::GetCapturedStderr();
            if (expect_corrupt) {
                EXPECT_NE(std::string::npos, err.find("## ERROR: OpenIL Error")) << name << ": " << err;
                (*corrupt_count)++;
                continue;
            }
            EXPECT_EQ("", err) << name;
            int width = 0, height = 0;
            const std::vector<unsigned char> expected = load_image(dir + "/" + name, 4, &width, &height);
            ASSERT_FALSE(expected.empty()) << name;
            std::vector<unsigned char> got = draw_texels(*t, width, height);
            int mismatches = 0;
            for (size_t i = 0; i < got.size(); i++) {
                int want = expected[i];
                if (t->target == GL_TEXTURE_1D && i % 4 == 3)
                    want = 255; // one-dimensional textures carry no alpha
                if (std::abs(int(got[i]) - want) > 1)
                    mismatches++;
            }
            EXPECT_EQ(0, mismatches) << name << " (" << width << "x" << height << ")";
            (*valid_count)++;
        }
    }
    std::unique_ptr<cTexture> texture_of(const std::string& name, int* width, int* height)
    {
        std::unique_ptr<cTexture> t = get(name, false);
        *width = parameter(*t, GL_TEXTURE_WIDTH, 0);
        *height = t->target == GL_TEXTURE_1D ? 1 : parameter(*t, GL_TEXTURE_HEIGHT, 0);
        return t;
    }
    // Texel (x, y) counted from the top row, as image viewers count.
    rgba pixel(const std::string& name, int x, int y)
    {
        int width = 0, height = 0;
        auto t = texture_of(name, &width, &height);
        return texel(draw_texels(*t, width, height), width, x, height - 1 - y);
    }
};

TEST_F(ImageFiles, every_valid_pngsuite_file_matches_and_every_corrupt_one_reports)
{
    if (shared_testdata_dir().empty())
        GTEST_SKIP() << "no shared test data";
    std::string dir = shared_testdata_dir() + "/png/pngsuite";
    std::vector<std::string> corrupt;
    for (const std::string& name : files_in(dir, ".png"))
        if (name[0] == 'x')
            corrupt.push_back(name);
    int valid = 0, failing = 0;
    check_directory(dir, ".png", corrupt, &valid, &failing);
    EXPECT_EQ(161, valid);
    EXPECT_EQ(14, failing);
    RecordProperty("valid", valid);
}

TEST_F(ImageFiles, known_pngsuite_pixels_decode_to_their_colours)
{
    if (shared_testdata_dir().empty())
        GTEST_SKIP() << "no shared test data";
    get_resource_path()->push_searchpath(shared_testdata_dir() + "/png/pngsuite");
    struct known { const char* name; int x, y, rgb[3]; } cases[] = {
        {"basn3p08.png", 5, 7, 119, 58, 0},   // 8-bit palette
        {"s03n3p01.png", 1, 1, 255, 119, 0},  // 1-bit palette, 3x3
        {"basn0g16.png", 10, 3, 96, 96, 96},  // 16-bit grey
        {"basn0g01.png", 3, 0, 255, 255, 255}, // 1-bit grey
        {"basn2c16.png", 0, 31, 255, 0, 0},   // 16-bit RGB
        {"basn2c16.png", 31, 0, 0, 255, 0},
    };
    for (const known& k : cases) {
        const rgba p = pixel(k.name, k.x, k.y);
        for (int i = 0; i < 3; i++)
            EXPECT_NEAR(k.rgb[i], p[i], 1) << k.name;
        EXPECT_EQ(255, p[3]) << k.name;
    }
    // Interlaced files hold the same pictures as their plain twins.
    for (const char* pair : {"2c08", "0g16", "3p04", "6a16", "4a08"}) {
        int w1, h1, w2, h2;
        auto plain = texture_of(std::string("basn") + pair + ".png", &w1, &h1);
        auto interlaced = texture_of(std::string("basi") + pair + ".png", &w2, &h2);
        EXPECT_EQ(draw_texels(*plain, w1, h1), draw_texels(*interlaced, w2, h2)) << pair;
    }
}

TEST_F(ImageFiles, jpeg_samples_match_and_broken_ones_report)
{
    if (shared_testdata_dir().empty())
        GTEST_SKIP() << "no shared test data";
    const std::string base = shared_testdata_dir() + "/jpeg/";
    const struct { const char* dir; std::vector<std::string> corrupt; } dirs[] = {
        {"libjpeg-turbo", {"monkey12.jpg"}},
        {"jpeg-decoder/mozilla", {"jpg-size-6x6.jpg"}},
        {"jpeg-decoder/crashtest", {"empty.jpg", "missing-sof.jpg", "missing-sos.jpg"}},
        // The image library fails on every cut file, also where libjpeg
        // itself only warns of a premature end.
        {"truncated", {"testorig_trunc400.jpg", "testorig_trunc3000.jpg", "testprog_trunc2800.jpg"}},
        {"jpeg-decoder", {}},
    };
    int valid = 0, failing = 0;
    for (const auto& d : dirs) {
        int v = 0, f = 0;
        check_directory(base + d.dir, ".jpg", d.corrupt, &v, &f);
        valid += v;
        failing += f;
    }
    EXPECT_EQ(10, valid);
    EXPECT_EQ(8, failing);
    RecordProperty("jpeg_valid", valid);
    RecordProperty("jpeg_failing", failing);
    std::cout << "# JPEG: " << valid << " decoded, " << failing << " reported" << std::endl;
}

TEST_F(ImageFiles, jpeg_decodes_agree_with_the_reference_pictures)
{
    if (shared_testdata_dir().empty())
        GTEST_SKIP() << "no shared test data";
    std::string dir = shared_testdata_dir() + "/jpeg/jpeg-decoder/mozilla";
    get_resource_path()->push_searchpath(dir);
    // (The image library hands Adobe CMYK files over as RGBA bytes: their
    // colours cannot be right, and nothing marks them.)
    for (const char* name : {"jpg-progressive", "jpg-gray", "jpg-size-17x17"}) {
        int width = 0, height = 0;
        auto t = texture_of(std::string(name) + ".jpg", &width, &height);
        std::vector<unsigned char> got = draw_texels(*t, width, height);
        int rw = 0, rh = 0;
        const std::vector<unsigned char> reference = load_image(dir + "/" + name + ".png", 4, &rw, &rh);
        ASSERT_EQ(rw, width) << name;
        ASSERT_EQ(rh, height) << name;
        double difference = 0;
        for (size_t i = 0; i < got.size(); i++)
            if (i % 4 != 3)
                difference += std::abs(int(got[i]) - int(reference[i]));
        // Decoders differ in their inverse DCT and upsampling by a few levels.
        EXPECT_LT(difference / (width * height * 3), 4.0) << name;
    }
}

TEST_F(Textures, damaged_pngs_are_reported_by_file_name_and_never_hang_the_loading)
{
    // whole.png: signature, IHDR at 8, chunks up to the image data, IEND last.
    const std::string whole = dir_ + "/whole.png";
    write_image(whole, 64, 64);
    std::ifstream in(whole, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 60u);
    struct damage
    {
        const char* name;
        std::string content;
        const char* line_start; // every error line starts so and ends naming the file
    };
    std::string flipped = bytes;
    flipped[bytes.size() - 20] = char(flipped[bytes.size() - 20] ^ 0x5A); // image data, chunks intact
    const damage cases[] = {
        // Cut inside IHDR and just before IEND: the image library would read
        // on without end at the first.
        {"cut_header.png", bytes.substr(0, 20), "## ERROR: in "},
        {"cut_half.png", bytes.substr(0, bytes.size() / 2), "## ERROR: in "},
        {"cut_end.png", bytes.substr(0, bytes.size() - 6), "## ERROR: in "},
        {"flipped.png", flipped, "## ERROR: OpenIL Error "},
    };
    for (const damage& d : cases) {
        const std::string path = dir_ + "/" + d.name;
        std::ofstream(path, std::ios::binary) << d.content;
        testing::internal::CaptureStderr();
        std::unique_ptr<cTexture> texture = get(d.name, false);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(nullptr, texture) << d.name;
        ASSERT_EQ(0u, err.find(d.line_start)) << d.name << ": " << err;
        std::istringstream lines(err);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind(d.line_start, 0) == 0) {
                EXPECT_NE(std::string::npos, line.find(path)) << line;
            }
        }
    }
}
