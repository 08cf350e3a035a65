#include "core/display.h"
#include "core/resource_path.h"
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

struct texel_colour
{
    int r, g, b, a;
};

// Draws a texture 1:1 into a framebuffer object of its own size and reads
// the texels back as RGBA, bottom row first.
std::vector<unsigned char> draw_texels(const cTexture& texture, int width, int height)
{
    OffscreenTarget target(width, height);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glEnable(texture.target);
    glBindTexture(texture.target, texture.id);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const float s = texture.target == GL_TEXTURE_RECTANGLE_ARB ? float(width) : 1.0f;
    const float t = texture.target == GL_TEXTURE_RECTANGLE_ARB ? float(height) : 1.0f;
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glTexCoord2f(s, 0);
    glVertex2f(1, 0);
    glTexCoord2f(s, t);
    glVertex2f(1, 1);
    glTexCoord2f(0, t);
    glVertex2f(0, 1);
    glEnd();
    glBindTexture(texture.target, 0);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();

    glPopAttrib();
    return target.read();
}

texel_colour texel(const std::vector<unsigned char>& pixels, int width, int x, int y)
{
    const unsigned char* p = &pixels[(size_t(y) * width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// The image library's own decode of a file as RGBA, bottom row first.
bool decode_rgba(const std::string& path, std::vector<unsigned char>& pixels, int* width, int* height)
{
    pixels = load_image(path, 4, width, height);
    return !pixels.empty();
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

GLint tex_parameter(const cTexture& t, GLenum name)
{
    GLint value = 0;
    glBindTexture(t.target, t.id);
    glGetTexParameteriv(t.target, name, &value);
    return value;
}

GLint level_parameter(const cTexture& t, int level, GLenum name)
{
    GLint value = 0;
    glBindTexture(t.target, t.id);
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

TEST(TextureTarget, is_1d_for_one_row_2d_for_powers_of_two_and_rectangle_otherwise)
{
    EXPECT_EQ(GLenum(GL_TEXTURE_1D), choose_texture_target(256, 1));
    EXPECT_EQ(GLenum(GL_TEXTURE_1D), choose_texture_target(300, 1));
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), choose_texture_target(512, 256));
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), choose_texture_target(0, 0));
    EXPECT_EQ(GLenum(GL_TEXTURE_RECTANGLE_ARB), choose_texture_target(640, 480));
    EXPECT_EQ(GLenum(GL_TEXTURE_RECTANGLE_ARB), choose_texture_target(1024, 768));
}

TEST_F(Textures, a_256x1_image_is_1d_rgb_without_mipmaps_or_a_1d_chain_with_them)
{
    auto plain = get("line.png", false);
    EXPECT_EQ(GLenum(GL_TEXTURE_1D), plain->target);
    EXPECT_EQ(GL_RGB, level_parameter(*plain, 0, GL_TEXTURE_INTERNAL_FORMAT));
    EXPECT_EQ(GL_LINEAR, tex_parameter(*plain, GL_TEXTURE_MIN_FILTER));

    auto chain = get("line_mip.png", true);
    EXPECT_EQ(GLenum(GL_TEXTURE_1D), chain->target);
    EXPECT_EQ(GL_LINEAR_MIPMAP_LINEAR, tex_parameter(*chain, GL_TEXTURE_MIN_FILTER));
    EXPECT_EQ(128, level_parameter(*chain, 1, GL_TEXTURE_WIDTH));
    EXPECT_EQ(1, level_parameter(*chain, 8, GL_TEXTURE_WIDTH));
}

TEST_F(Textures, a_512x256_image_is_2d_and_mipmapped_on_request)
{
    auto chain = get("wide_mip.png", true);
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), chain->target);
    EXPECT_EQ(GL_LINEAR_MIPMAP_LINEAR, tex_parameter(*chain, GL_TEXTURE_MIN_FILTER));
    EXPECT_EQ(256, level_parameter(*chain, 1, GL_TEXTURE_WIDTH));
    auto plain = get("wide.png", false);
    EXPECT_EQ(GL_LINEAR, tex_parameter(*plain, GL_TEXTURE_MIN_FILTER));
    EXPECT_EQ(GL_RGBA, level_parameter(*plain, 0, GL_TEXTURE_INTERNAL_FORMAT));
}

TEST_F(Textures, a_640x480_image_is_a_rectangle_without_mipmaps_even_when_asked)
{
    auto t = get("screen.png", true);
    EXPECT_EQ(GLenum(GL_TEXTURE_RECTANGLE_ARB), t->target);
    EXPECT_EQ(GL_LINEAR, tex_parameter(*t, GL_TEXTURE_MIN_FILTER));
    std::vector<unsigned char> pixels = draw_texels(*t, 640, 480);
    texel_colour p = texel(pixels, 640, 300, 200);
    EXPECT_EQ(300 % 256, p.r);
    EXPECT_EQ(200, p.g);
    EXPECT_EQ(7, p.b);
}

TEST_F(Textures, rgb_rows_of_odd_width_upload_unskewed)
{
    auto t = get("odd.png", false);
    std::vector<unsigned char> pixels = draw_texels(*t, 17, 5);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 17; x++) {
            texel_colour p = texel(pixels, 17, x, y);
            ASSERT_EQ(x, p.r) << x << "," << y;
            ASSERT_EQ(y, p.g) << x << "," << y;
        }
}

TEST_F(Textures, two_requests_upload_once_and_the_second_flags_have_no_effect)
{
    auto first = get("shared.png", false, GL_CLAMP);
    size_t cached = get_texture_manager()->cache.size();
    auto second = get("shared.png", true, GL_REPEAT);
    EXPECT_EQ(first->id, second->id);
    EXPECT_EQ(first->target, second->target);
    EXPECT_EQ(GL_CLAMP, tex_parameter(*second, GL_TEXTURE_WRAP_S));
    EXPECT_EQ(GL_LINEAR, tex_parameter(*second, GL_TEXTURE_MIN_FILTER));
    // A path to an already loaded file is that texture too.
    auto with_folder = get(dir_ + "/shared.png", false);
    EXPECT_EQ(first->id, with_folder->id);
    EXPECT_EQ(cached, get_texture_manager()->cache.size());
}

TEST_F(Textures, deleting_a_handle_leaves_the_texture_usable)
{
    cTexture* first = get_texture_manager()->get_texture("odd.png", false, GL_CLAMP);
    auto second = get("odd.png", false);
    GLuint id = first->id;
    delete first;
    EXPECT_TRUE(glIsTexture(id));
    EXPECT_EQ(16, texel(draw_texels(*second, 17, 5), 17, 16, 4).r);
}

TEST_F(Textures, a_name_on_no_search_path_ends_the_program_naming_it)
{
    EXPECT_EXIT(get_texture_manager()->get_texture("missing.png", true, GL_CLAMP), testing::ExitedWithCode(255),
                "^## ERROR: in .*texture_manager.cpp line [0-9]+: file was not found in path: \"missing.png\"\n$");
}

TEST_F(Textures, a_name_that_cannot_be_read_ends_the_program_naming_the_path)
{
    EXPECT_EXIT(get_texture_manager()->get_texture("folder.png", true, GL_CLAMP), testing::ExitedWithCode(255),
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
            std::vector<unsigned char> expected;
            int width = 0, height = 0;
            ASSERT_TRUE(decode_rgba(dir + "/" + name, expected, &width, &height)) << name;
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
        *width = level_parameter(*t, 0, GL_TEXTURE_WIDTH);
        *height = t->target == GL_TEXTURE_1D ? 1 : level_parameter(*t, 0, GL_TEXTURE_HEIGHT);
        return t;
    }
    // Texel (x, y) counted from the top row, as image viewers count.
    texel_colour pixel(const std::string& name, int x, int y)
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
    struct known
    {
        const char* name;
        int x, y, r, g, b;
    } cases[] = {
        {"basn3p08.png", 5, 7, 119, 58, 0},   // 8-bit palette
        {"s03n3p01.png", 1, 1, 255, 119, 0},  // 1-bit palette, 3x3
        {"basn0g16.png", 10, 3, 96, 96, 96},  // 16-bit grey
        {"basn0g01.png", 3, 0, 255, 255, 255}, // 1-bit grey
        {"basn2c16.png", 0, 31, 255, 0, 0},   // 16-bit RGB
        {"basn2c16.png", 31, 0, 0, 255, 0},
    };
    for (const known& k : cases) {
        texel_colour p = pixel(k.name, k.x, k.y);
        EXPECT_NEAR(k.r, p.r, 1) << k.name;
        EXPECT_NEAR(k.g, p.g, 1) << k.name;
        EXPECT_NEAR(k.b, p.b, 1) << k.name;
        EXPECT_EQ(255, p.a) << k.name;
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
    std::string base = shared_testdata_dir() + "/jpeg";
    int valid = 0, failing = 0, v = 0, f = 0;
    check_directory(base + "/libjpeg-turbo", ".jpg", {"monkey12.jpg"}, &v, &f);
    valid += v;
    failing += f;
    check_directory(base + "/jpeg-decoder/mozilla", ".jpg", {"jpg-size-6x6.jpg"}, &v, &f);
    valid += v;
    failing += f;
    check_directory(base + "/jpeg-decoder/crashtest", ".jpg", {"empty.jpg", "missing-sof.jpg", "missing-sos.jpg"}, &v,
                    &f);
    valid += v;
    failing += f;
    // The image library fails on every cut file, also where libjpeg itself
    // only warns of a premature end.
    check_directory(base + "/truncated", ".jpg",
                    {"testorig_trunc400.jpg", "testorig_trunc3000.jpg", "testprog_trunc2800.jpg"}, &v, &f);
    valid += v;
    failing += f;
    check_directory(base + "/jpeg-decoder", ".jpg", {}, &v, &f);
    valid += v;
    failing += f;
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
        std::vector<unsigned char> reference;
        int rw = 0, rh = 0;
        ASSERT_TRUE(decode_rgba(dir + "/" + name + ".png", reference, &rw, &rh)) << name;
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
            if (line.rfind(d.line_start, 0) == 0)
                EXPECT_NE(std::string::npos, line.find(path)) << line;
        }
    }
}
