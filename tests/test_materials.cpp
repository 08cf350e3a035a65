#include "core/display.h"
#include "core/resource_path.h"
#include "mesh_files/material.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sstream>

#include "support/gl_context.h"
#include "support/images.h"
#include "support/show_runner.h"

namespace {

struct parsed
{
    std::vector<cMaterial> materials;
    std::string err;
};

parsed parse(const std::string& text)
{
    cMtlLoader loader;
    std::istringstream in(text);
    testing::internal::CaptureStderr();
    loader.parse(in, "test.mtl");
    parsed p;
    p.err = testing::internal::GetCapturedStderr();
    p.materials = loader.materials;
    return p;
}

GLint wrap_s(const cTexture& texture)
{
    GLint wrap = 0;
    glBindTexture(texture.target, texture.id);
    glGetTexParameteriv(texture.target, GL_TEXTURE_WRAP_S, &wrap);
    return wrap;
}

} // namespace

TEST(MtlParse, newmtl_first_then_blanks_and_comments_give_one_material_and_a_key_before_newmtl_is_an_error)
{
    parsed p = parse("newmtl plain\n\n   \n# a comment\n\t# another\n");
    EXPECT_EQ("", p.err);
    ASSERT_EQ(1u, p.materials.size());
    EXPECT_EQ("plain", p.materials[0].name);
    EXPECT_EQ(1.0f, p.materials[0].alpha);

    p = parse("Kd 1 0 0\nnewmtl late\n");
    EXPECT_TRUE(p.materials.empty());
    EXPECT_NE(std::string::npos, p.err.find("## ERROR in ")) << p.err;
    EXPECT_NE(std::string::npos,
              p.err.find(": no 'newmtl' entry was found previous to line 1. Failed to load .mtl-file!!\n"))
        << p.err;
}

TEST(MtlParse, colour_keys_set_rgb_and_keep_the_alpha_tr_averages_and_a_later_d_overrides_it)
{
    parsed p = parse("newmtl m\nKa 0.1 0.2 0.3\nKd 1 1 1\nKs 0.5 0.5 0.5\nNs 12\nillum 2\nNi 1.45\n");
    const cMaterial& m = p.materials[0];
    EXPECT_FLOAT_EQ(0.2f, m.ambient[1]);
    EXPECT_EQ(0.0f, m.ambient[3]);
    EXPECT_EQ(1.0f, m.diffuse[2]);
    EXPECT_EQ(0.5f, m.specular[0]);
    EXPECT_EQ(12.0f, m.shininess);
    EXPECT_EQ(2, m.illum);
    EXPECT_FLOAT_EQ(1.45f, m.optical_density);

    p = parse("newmtl glass\nTr 0.2 0.4 0.6\n");
    ASSERT_EQ(1u, p.materials.size());
    EXPECT_NEAR(0.4f, p.materials[0].alpha, 1e-6f);
    p = parse("newmtl glass\nTr 0.2 0.4 0.6\nd 1\n");
    EXPECT_EQ(1.0f, p.materials[0].alpha);
}

TEST(MtlParse, map_keys_take_the_file_name_after_their_options)
{
    parsed p = parse("newmtl m\nmap_Kd -o 0.1 diffuse.jpg\nmap_Ka -clamp on ambient.jpg\n"
                     "map_Ks -s 1 2 3 -bm 0.5 shine.png\nbump -imfchan r b.png -bm 1.5\nmap_d mask.png\n");
    EXPECT_EQ("", p.err);
    const cMaterial& m = p.materials[0];
    EXPECT_EQ("diffuse.jpg", m.diffuse_map);
    EXPECT_EQ("ambient.jpg", m.ambient_map);
    EXPECT_EQ("shine.png", m.specular_map);
    EXPECT_EQ("b.png", m.bump_map);
    EXPECT_EQ("mask.png", m.dissolve_map);
}

TEST(MtlParse, keys_missing_their_values_or_unknown_are_skipped_with_warnings)
{
    parsed p = parse("newmtl m\nKa 0.5 0.5\nmap_Kd -o 1\nillum\nd\nnewmtl\nKd 1 1 1\n");
    ASSERT_EQ(1u, p.materials.size());
    const cMaterial& m = p.materials[0];
    EXPECT_EQ(0.0f, m.ambient[0]);
    EXPECT_EQ("", m.diffuse_map);
    EXPECT_EQ(1.0f, m.alpha);
    EXPECT_EQ(1.0f, m.diffuse[0]);
    for (int line : {2, 3, 4, 5, 6})
        EXPECT_NE(std::string::npos, p.err.find("# WARNING: missing value encountered in \"test.mtl\" line " +
                                                std::to_string(line) + ". Skipping...\n"))
            << line << ": " << p.err;

    p = parse("newmtl m\nKe 1 1 1\nd 0.5\n");
    EXPECT_EQ("# WARNING, unknown token \"Ke\"\n"
              "# WARNING: unknown token encountered in \"test.mtl\" line 2. Skipping...\n",
              p.err);
    EXPECT_EQ(0.5f, p.materials[0].alpha);
}

TEST(MtlParse, an_unreadable_file_or_a_directory_is_an_error_line_and_an_empty_list)
{
    const std::string dir = make_temp_dir() + "/folder.mtl";
    ASSERT_EQ(0, mkdir(dir.c_str(), 0700));
    for (const std::string& path : {std::string("/nonexistent/x.mtl"), dir}) {
        cMtlLoader loader;
        loader.materials.emplace_back("stale");
        testing::internal::CaptureStderr();
        loader.load(path);
        EXPECT_EQ("## ERROR: Couldn't open " + path + "\n", testing::internal::GetCapturedStderr());
        EXPECT_TRUE(loader.materials.empty()) << path;
    }
}

TEST(MtlParse, public_sample_files_load_their_materials)
{
    if (shared_testdata_dir().empty())
        GTEST_SKIP() << "no shared test data";
    std::string obj = shared_testdata_dir() + "/obj/";
    cMtlLoader loader;
    testing::internal::CaptureStderr();
    loader.load(obj + "pywavefront/fixtures/simple_parsetest.mtl");
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(2u, loader.materials.size());
    EXPECT_EQ("kd.png", loader.materials[0].diffuse_map);
    EXPECT_NE(std::string::npos, err.find("unknown token \"map_Ns\"")) << err;

    testing::internal::CaptureStderr();
    loader.load(obj + "tinyobjloader/texture-options-issue-85.mtl");
    testing::internal::GetCapturedStderr();
    ASSERT_FALSE(loader.materials.empty());
    for (const cMaterial& m : loader.materials)
        EXPECT_TRUE(m.diffuse_map.empty() || m.diffuse_map[0] != '-') << m.name << ": " << m.diffuse_map;
}

TEST(MaterialCopies, copies_keep_colours_but_not_emission_or_textures_and_assignment_keeps_the_name_and_copies_handles)
{
    cMaterial_GL a("a");
    a.diffuse[0] = 0.5f;
    a.emission[0] = 1.0f;
    a.diffuse_tex.reset(new cTexture(GL_TEXTURE_2D, 42));
    cMaterial_GL b(a);
    EXPECT_EQ("a", b.name);
    EXPECT_EQ(0.5f, b.diffuse[0]);
    EXPECT_EQ(0.0f, b.emission[0]);
    EXPECT_FALSE(b.diffuse_tex);

    cMaterial_GL c("c"), d("d");
    c.specular[1] = 0.25f;
    c.emission[2] = 0.75f;
    c.ambient_tex.reset(new cTexture(GL_TEXTURE_RECTANGLE_ARB, 7));
    d.diffuse_tex.reset(new cTexture(GL_TEXTURE_2D, 9));
    d = c;
    EXPECT_EQ("d", d.name);
    EXPECT_EQ(0.25f, d.specular[1]);
    EXPECT_EQ(0.75f, d.emission[2]);
    ASSERT_TRUE(d.ambient_tex);
    EXPECT_NE(c.ambient_tex.get(), d.ambient_tex.get());
    EXPECT_EQ(GLenum(GL_TEXTURE_RECTANGLE_ARB), d.ambient_tex->target);
    EXPECT_EQ(7u, d.ambient_tex->id);
    EXPECT_FALSE(d.diffuse_tex);

    cMaterial plain("plain");
    plain.shininess = 3.0f;
    static_cast<cMaterial&>(d) = plain; // through the virtual slot
    EXPECT_EQ("d", d.name);
    EXPECT_EQ(3.0f, d.shininess);
}

class MaterialGl : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!gl_test_context())
            return;
        init_image_library();
        std::string dir = make_temp_dir();
        for (const char* name : {"kd.png", "ka.png", "ks.png", "mask.png", "bump.png"})
            EXPECT_TRUE(save_image(dir + "/" + name, std::vector<uint8_t>(4 * 4 * 3, 0), 4, 4, 3));
        get_resource_path()->push_searchpath(dir);
    }
    void SetUp() override { REQUIRE_GL_CONTEXT(); }
};

TEST_F(MaterialGl, map_d_alone_is_the_diffuse_texture_repeated_map_kd_wins_over_it_and_other_maps_fill_their_slots)
{
    cMaterial_GL m(parse("newmtl m\nmap_d mask.png\n").materials[0]);
    m.load_textures();
    ASSERT_TRUE(m.diffuse_tex);
    EXPECT_EQ(GL_REPEAT, wrap_s(*m.diffuse_tex));

    size_t before = get_texture_manager()->cache.count("bump.png");
    cMaterial_GL k(parse("newmtl m\nmap_Kd kd.png\nmap_d bump.png\nbump bump.png\nmap_Ks ks.png\nmap_Ka ka.png\n")
                       .materials[0]);
    k.load_textures();
    ASSERT_TRUE(k.diffuse_tex && k.specular_tex && k.ambient_tex);
    EXPECT_EQ(GL_CLAMP, wrap_s(*k.diffuse_tex));
    EXPECT_EQ(before, get_texture_manager()->cache.count("bump.png"));
    EXPECT_FALSE(k.bump_tex);
    EXPECT_NE(k.specular_tex->id, k.ambient_tex->id);
    EXPECT_NE(k.diffuse_tex->id, k.ambient_tex->id);
}

TEST_F(MaterialGl, illum_3_binds_only_textures_0_shows_the_diffuse_as_emission_and_1_2_4_set_the_lit_colours)
{
    cMaterial_GL m(parse("newmtl m\nillum 3\nKd 1 0 0\nmap_Kd kd.png\n").materials[0]);
    m.load_textures();
    const float sentinel[4] = {0.125f, 0.25f, 0.375f, 0.5f};
    glPushAttrib(GL_LIGHTING_BIT | GL_TEXTURE_BIT | GL_ENABLE_BIT);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, sentinel);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, sentinel);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, 0);
    m.apply();
    float emission[4], ambient[4], diffuse[4];
    glGetMaterialfv(GL_FRONT, GL_EMISSION, emission);
    glGetMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    GLboolean enabled = glIsEnabled(GL_TEXTURE_2D);
    glPopAttrib();
    EXPECT_EQ(0.125f, emission[0]);
    EXPECT_EQ(0.25f, ambient[1]);
    EXPECT_EQ(1.0f, diffuse[1]); // the diffuse texture's white
    EXPECT_EQ(GLint(m.diffuse_tex->id), bound);
    EXPECT_TRUE(enabled);

    cMaterial_GL unlit(parse("newmtl m\nillum 0\nKd 0.5 0.25 1\n").materials[0]);
    unlit.load_textures();
    glPushAttrib(GL_LIGHTING_BIT);
    unlit.apply();
    float specular[4];
    glGetMaterialfv(GL_FRONT, GL_EMISSION, emission);
    glGetMaterialfv(GL_BACK, GL_SPECULAR, specular);
    glPopAttrib();
    EXPECT_EQ(0.25f, emission[1]);
    EXPECT_EQ(1.0f, emission[3]);
    EXPECT_EQ(0.0f, specular[0]);

    // The lit models: 1 without a highlight, 2 (the data tool's) and 4 with
    // the specular colour and shininess.
    for (int illum : {1, 2, 4}) {
        cMaterial_GL lit(parse("newmtl m\nillum " + std::to_string(illum) +
                               "\nKa 0.125 0 0\nKd 0 0.25 0\nKs 0 0 0.5\nNs 12\n").materials[0]);
        lit.load_textures();
        lit.emission[1] = 0.75f;
        glPushAttrib(GL_LIGHTING_BIT);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 3.0f);
        lit.apply();
        float ambient[4], shininess = 0;
        glGetMaterialfv(GL_FRONT, GL_EMISSION, emission);
        glGetMaterialfv(GL_BACK, GL_AMBIENT, ambient);
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
        glGetMaterialfv(GL_BACK, GL_SPECULAR, specular);
        glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
        glPopAttrib();
        EXPECT_EQ(0.75f, emission[1]) << illum;
        EXPECT_EQ(0.125f, ambient[0]) << illum;
        EXPECT_EQ(0.25f, diffuse[1]) << illum;
        EXPECT_EQ(illum == 1 ? 0.0f : 0.5f, specular[2]) << illum;
        EXPECT_EQ(illum == 1 ? 3.0f : 12.0f, shininess) << illum;
    }

    // Loading copies the alpha into all four colours.
    cMaterial_GL glass(parse("newmtl m\nKa 1 1 1\nTr 0.2 0.4 0.6\n").materials[0]);
    glass.load_textures();
    for (const float* colour : {glass.ambient, glass.diffuse, glass.specular, glass.emission})
        EXPECT_NEAR(0.4f, colour[3], 1e-6f);
}

