#include "core/display.h"
#include "core/resource_path.h"
#include "mesh_files/obj_loader.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <iostream>
#include <sstream>

#include "support/gl_context.h"
#include "support/show_runner.h"

namespace {

// Text parsed as an OBJ file (its "mtllib" names resolve in directory).
struct parsed
{
    explicit parsed(const std::string& text, const std::string& directory = "/nonexistent/")
    {
        std::istringstream in(text);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(loader.parse(in, directory + "test.obj"));
        err = testing::internal::GetCapturedStderr();
    }
    cObjLoader loader;
    std::string err;
};

std::string testdata(const std::string& relative)
{
    return shared_testdata_dir() + "/obj/" + relative;
}

// A file of the shared test data loaded, triangulated and exported as
// cMeshObj::load does, but without materials' textures (and so without GL).
struct exported
{
    explicit exported(const std::string& relative)
    {
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        loader.load_file(testdata(relative));
        loader.triangulate();
        loader.export_mesh(mesh);
        testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
    }
    cObjLoader loader;
    cMeshObj_data mesh;
    std::string err;
};

#define REQUIRE_TESTDATA()                                                                                   \
    do {                                                                                                     \
        if (shared_testdata_dir().empty())                                                                   \
            GTEST_SKIP() << "no shared test data";                                                           \
    } while (0)

const std::string SQUARE = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

} // namespace

// --- parsing -------------------------------------------------------------------------

TEST(ObjParse, v_lines_get_w_1_and_vt_lines_keep_only_u_and_v)
{
    parsed p("v 1 2 3\nv 4 5 6 7 8\nvt 0.5 0.5 0\nvt 0.25\n");
    EXPECT_EQ((std::vector<float>{1, 2, 3, 1, 4, 5, 6, 7}), p.loader.vertices);
    EXPECT_EQ((std::vector<float>{0.5f, 0.5f, 0.25f, 0.0f}), p.loader.texcoords);
    EXPECT_EQ(OBJ_TEXCOORDS, p.loader.flags);
}

TEST(ObjParse, faulty_or_unsupported_lines_give_their_exact_message_and_parsing_goes_on)
{
    const struct { std::string text, err; size_t faces; } cases[] = {
        {"# normals\nvn 1 2\n", "## error, 2 normal-coordinates in line: 2\n", 0},
        {"o thing\nvp 1 2\ng group\ns 1\np 1\nl 1 2\n",
         "# warning, unknown token: \"o\" in line 1... skipped!\n"
         "# warning, \"vp\" in line 2 not supported... skipped!\n"
         "# warning: \"g\" in line 3 not supported... skipped!\n"
         "# warning: \"s\" in line 4 not supported... skipped!\n"
         "TOK_P\nTOK_L\n",
         0},
        // A face whose corners differ is dropped.
        {SQUARE + "vt 0 0\nf 1/1 2/ 3/1\nf 1/1 2/1 3/1\n",
         "## Error in line: 6 - varying number of elements in face-declaration. Skipping face...\n", 1},
        {SQUARE + "usemtl shiny\nf 1 2 3\n",
         "# warning: No materials defined! \"usemtl shiny\" illegal in line 5... skipped!\n", 1},
    };
    for (const auto& c : cases) {
        parsed p(c.text);
        EXPECT_EQ(c.err, p.err);
        EXPECT_EQ(c.faces, p.loader.faces.size()) << c.text;
    }
    // The short normal is kept; the face keeps no material.
    EXPECT_EQ((std::vector<float>{1, 2}), parsed("vn 1 2\n").loader.normals);
    const parsed unknown(SQUARE + "usemtl shiny\nf 1 2 3\n");
    EXPECT_EQ(-1, unknown.loader.faces.at(0).material);
    EXPECT_FALSE(unknown.loader.flags & OBJ_MATERIALS);
}

TEST(ObjParse, polygons_fan_out_with_the_second_triangle_first_and_the_rest_in_reverse_order_at_the_end)
{
    typedef std::vector<std::vector<uint32_t>> triangles;
    const struct { std::string text; triangles faces; } cases[] = {
        {SQUARE + "f 1 2 3 4\nf 1 2 3\n", {{0, 1, 2}, {0, 1, 2}, {0, 2, 3}}},
        {SQUARE + SQUARE + "f 1 2 3 4 5 6\n", {{0, 1, 2}, {0, 4, 5}, {0, 3, 4}, {0, 2, 3}}},
    };
    for (const auto& c : cases) {
        parsed p(c.text);
        EXPECT_TRUE(p.loader.flags & OBJ_POLYGONS);
        p.loader.triangulate();
        triangles faces;
        for (const auto& f : p.loader.faces)
            faces.push_back(f.vertex);
        EXPECT_EQ(c.faces, faces) << c.text;
    }
}

TEST(ObjParse, vertex_slash_slash_normal_corners_give_vertex_and_normal_indices)
{
    parsed p(SQUARE + "vn 0 0 1\nvn 0 1 0\nf 1//1 2//2 3//1\n");
    ASSERT_EQ(1u, p.loader.faces.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), p.loader.faces[0].vertex);
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 0}), p.loader.faces[0].normal);
    EXPECT_TRUE(p.loader.faces[0].texcoord.empty());
}

TEST(ObjParse, plain_corners_after_vt_lines_end_the_program_with_the_missing_slash_error)
{
    std::string text = SQUARE + "vt 0 0\nf 1 2 3\n";
    EXPECT_EXIT(
        {
            cObjLoader loader;
            std::istringstream in(text);
            if (!loader.parse(in, "x.obj"))
                exit(-1);
        },
        testing::ExitedWithCode(255), "^## ERROR in .*obj_loader.cpp, line #[0-9]+, missing / in line: 6\n$");
}

TEST(ObjParse, indices_above_65536_are_kept_whole)
{
    std::ostringstream text;
    for (int i = 0; i < 70000; i++)
        text << "v " << i << " 0 0\n";
    text << "f 1 65537 70000\n";
    parsed p(text.str());
    ASSERT_EQ(1u, p.loader.faces.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 65536, 69999}), p.loader.faces[0].vertex);
    cMeshObj_data mesh;
    p.loader.export_mesh(mesh);
    ASSERT_EQ(9u, mesh.positions.size());
    EXPECT_EQ(69999.0f, mesh.positions[6]);
}

TEST(ObjParse, negative_indices_count_back_from_the_lists_as_they_stand)
{
    parsed p(SQUARE + "vt 0 0\nvt 1 0\nvn 0 0 1\nf -4/-2/-1 -3/-1/-1 -2/-1/-1\nv 5 5 5\nf -1/1/1 -2/1/1 -3/1/1\n");
    ASSERT_EQ(2u, p.loader.faces.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), p.loader.faces[0].vertex);
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 1}), p.loader.faces[0].texcoord);
    EXPECT_EQ((std::vector<uint32_t>{0, 0, 0}), p.loader.faces[0].normal);
    EXPECT_EQ((std::vector<uint32_t>{4, 3, 2}), p.loader.faces[1].vertex);
}

TEST(ObjParse, index_0_or_past_the_lists_is_an_error_line_and_drops_the_face)
{
    parsed p(SQUARE + "f 0 1 2\nf 1 2 5\nf -5 1 2\nf 1 2 3\n");
    ASSERT_EQ(1u, p.loader.faces.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), p.loader.faces[0].vertex);
    EXPECT_EQ(3u, count_of(p.err, "## ERROR in "));
    EXPECT_NE(std::string::npos, p.err.find("vertex index 0 is outside the 4 defined before line 5 of \"/nonexistent/test.obj\""))
        << p.err;
    EXPECT_NE(std::string::npos, p.err.find("vertex index 5 is outside")) << p.err;
    EXPECT_NE(std::string::npos, p.err.find("vertex index -5 is outside")) << p.err;
}

TEST(ObjParse, a_line_longer_than_127_characters_ends_the_reading_with_a_warning)
{
    parsed p(SQUARE + "# " + std::string(130, 'x') + "\nf 1 2 3\n");
    EXPECT_TRUE(p.loader.faces.empty());
    EXPECT_NE(std::string::npos, p.err.find("line 5 of \"/nonexistent/test.obj\" is longer than 127 characters"))
        << p.err;
}

// --- normals and conversion ----------------------------------------------------------

TEST(ObjExport, generated_normals_weigh_faces_by_area_and_unused_vertices_stay_zero)
{
    // A large face in z = 0 and a small one standing in x = 0 share vertex 1.
    parsed p("v 0 0 0\nv 4 0 0\nv 0 4 0\nv 0 0 1\nv 0 1 0\nv 9 9 9\nf 1 2 3\nf 1 4 5\n");
    p.loader.generate_normals();
    const std::vector<float>& n = p.loader.normals;
    ASSERT_EQ(18u, n.size());
    EXPECT_FLOAT_EQ(1.0f, n[5]);            // vertex 2: only the large face, +z
    EXPECT_GT(n[2], 0.9f);                  // vertex 0: mostly +z
    EXPECT_LT(n[0], 0.0f);                  // with some -x from the small face
    EXPECT_EQ((std::vector<float>{0, 0, 0}), std::vector<float>(n.begin() + 15, n.end())); // vertex 5 is on no face
    EXPECT_EQ(p.loader.faces[1].vertex, p.loader.faces[1].normal);
}

TEST(ObjExport, corners_sharing_a_position_with_different_normals_become_two_vertices)
{
    parsed p(SQUARE + "vn 0 0 1\nvn 0 0 -1\nf 1//1 2//1 3//1\nf 1//2 3//2 4//2\n");
    cMeshObj_data mesh;
    p.loader.export_mesh(mesh);
    EXPECT_EQ(6u * 3, mesh.positions.size());
    EXPECT_EQ(6u * 3, mesh.normals.size());
    // Keys sort by vertex, then normal: (0,0) (0,1) (1,0) (2,0) (2,1) (3,1).
    EXPECT_EQ((std::vector<uint32_t>{0, 2, 3, 1, 4, 5}), mesh.indices);
    EXPECT_EQ((std::vector<uint32_t>{0, 6}), mesh.groups);
    EXPECT_EQ(OBJ_NORMALS, mesh.flags);
}

TEST(ObjExport, groups_follow_material_order_and_faces_without_one_come_last)
{
    std::string dir = make_temp_dir() + "/";
    std::ofstream(dir + "m.mtl") << "newmtl a\nnewmtl b\nnewmtl c\n";
    parsed p("mtllib m.mtl\n" + SQUARE + "f 1 2 3\nusemtl c\nf 1 2 3\nusemtl a\nf 1 3 4\nusemtl zz\nf 2 3 4\n", dir);
    EXPECT_EQ("# WARNING: unknown material \"zz\" in line 11\n", p.err);
    ASSERT_EQ(3u, p.loader.materials.size());
    cMeshObj_data mesh;
    p.loader.export_mesh(mesh);
    // a: 1 face, b: none, c: 1 face, then the face before any usemtl and
    // the one with the unknown name, drawn without a material.
    EXPECT_EQ((std::vector<uint32_t>{0, 3, 3, 6, 12}), mesh.groups);
    EXPECT_TRUE(mesh.flags & MESH_GROUPS);
}

// --- real files ------------------------------------------------------------------------

TEST(ObjFiles, teapot_has_992_triangles_on_530_vertices_and_its_unnamed_material_is_refused)
{
    REQUIRE_TESTDATA();
    exported f("pi3d/teapot.obj");
    EXPECT_EQ(530u * 3, f.mesh.normals.size());
    EXPECT_TRUE(f.mesh.texcoords.empty());
    // "newmtl" without a name is skipped, so its keys come before any material.
    EXPECT_TRUE(f.loader.materials.empty());
    EXPECT_NE(std::string::npos, f.err.find("# WARNING: missing value encountered in")) << f.err;
    EXPECT_NE(std::string::npos, f.err.find("no 'newmtl' entry was found previous to line 4")) << f.err;
    EXPECT_NE(std::string::npos, f.err.find("# warning: No materials defined! \"usemtl \" illegal")) << f.err;
    EXPECT_EQ(1u, count_of(f.err, "\"o\""));
    EXPECT_EQ(1u, count_of(f.err, "\"s\""));
}

TEST(ObjFiles, triangle_and_vertex_counts_of_real_files)
{
    REQUIRE_TESTDATA();
    const struct { const char* file; size_t triangles, vertices, materials; } cases[] = {
        {"pi3d/teapot.obj", 992, 530, 0},
        {"tinyobjloader/cornell_box.obj", 36, 72, 5},           // negative indices
        {"pywavefront/fixtures/arbitrary-faces.obj", 17, 13, 0}, // polygons
        {"spot/spot_control_mesh.obj", 372, 267, 0},
        {"pywavefront/fixtures/simple_negative_indices.obj", 2, 6, 2}, // negative in all three slots
    };
    for (const auto& c : cases) {
        exported f(c.file);
        EXPECT_EQ(c.triangles * 3, f.mesh.indices.size()) << c.file;
        EXPECT_EQ(c.vertices * 3, f.mesh.positions.size()) << c.file;
        EXPECT_EQ(c.materials, f.loader.materials.size()) << c.file;
    }
}

TEST(ObjFiles, cornell_box_has_5_materials_and_no_errors)
{
    REQUIRE_TESTDATA();
    exported f("tinyobjloader/cornell_box.obj");
    ASSERT_EQ(5u, f.loader.materials.size());
    EXPECT_EQ("white", f.loader.materials[0].name);
    EXPECT_EQ("light", f.loader.materials[4].name);
    EXPECT_EQ(20.0f, f.loader.materials[4].ambient[0]);
    EXPECT_EQ(6u, f.mesh.groups.size());
    EXPECT_EQ(108u, f.mesh.groups.back());
    EXPECT_EQ(9u, count_of(f.err, "# warning, unknown token: \"o\""));
    EXPECT_EQ(0u, count_of(f.err, "ERROR"));
}

TEST(ObjFiles, spot_gets_generated_unit_normals_and_its_texcoords)
{
    REQUIRE_TESTDATA();
    exported f("spot/spot_control_mesh.obj");
    EXPECT_EQ(267u * 2, f.mesh.texcoords.size());
    EXPECT_EQ(OBJ_TEXCOORDS | OBJ_NORMALS | OBJ_POLYGONS, f.mesh.flags);
    const std::vector<float>& n = f.mesh.normals;
    for (size_t v = 0; v < n.size(); v += 3)
        EXPECT_NEAR(1.0f, n[v] * n[v] + n[v + 1] * n[v + 1] + n[v + 2] * n[v + 2], 1e-4f);
}

TEST(ObjFiles, zero_face_indices_are_reported_and_the_faces_dropped)
{
    REQUIRE_TESTDATA();
    exported f("tinyobjloader/issue-140-zero-face-idx.obj");
    EXPECT_TRUE(f.loader.faces.empty());
    EXPECT_EQ(2u, count_of(f.err, "index 0 is outside")) << f.err;
}

TEST(ObjFiles, the_textured_box_loads_into_a_mesh_with_its_texture)
{
    REQUIRE_TESTDATA();
    REQUIRE_GL_CONTEXT();
    init_image_library();
    get_resource_path()->push_searchpath(testdata("pywavefront/box"));
    cMeshObj mesh;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    mesh.load(testdata("pywavefront/box/box-T2F_N3F_V3F.obj").c_str());
    std::string err = testing::internal::GetCapturedStderr();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(12u * 3, mesh.indices.size());
    EXPECT_EQ(24u * 3, mesh.positions.size());
    EXPECT_EQ(24u * 2, mesh.texcoords.size());
    ASSERT_EQ(1u, mesh.materials.size());
    EXPECT_EQ("Material", mesh.materials[0].name);
    ASSERT_TRUE(mesh.materials[0].diffuse_tex);
    EXPECT_EQ(GLenum(GL_TEXTURE_2D), mesh.materials[0].diffuse_tex->target);
    EXPECT_EQ(1.0f, mesh.materials[0].diffuse[3]);
    EXPECT_EQ((std::vector<uint32_t>{0, 36}), mesh.groups);
    EXPECT_NE(std::string::npos, out.find("-\ncObjLoader::load_file parsing ")) << out;
    EXPECT_NE(std::string::npos, out.find("done reading obj.\n-\n")) << out;
    EXPECT_NE(std::string::npos, err.find("unknown token \"Ke\"")) << err;
}

TEST(ObjFiles, a_name_on_no_search_path_ends_the_program)
{
    EXPECT_EXIT(cObjLoader().load_file("no-such-model.obj"), testing::ExitedWithCode(255),
                "^## ERROR in .*obj_loader.cpp line [0-9]+: file was not found in path: no-such-model.obj\n$");
}

TEST(ObjFiles, a_directory_on_the_search_path_is_a_file_that_cannot_be_opened)
{
    const std::string dir = make_temp_dir();
    ASSERT_EQ(0, mkdir((dir + "/folder.obj").c_str(), 0700));
    get_resource_path()->push_searchpath(dir);
    EXPECT_EXIT(
        {
            std::cout.rdbuf(std::cerr.rdbuf()); // the line goes to standard output
            cObjLoader loader;
            loader.load_file("folder.obj");
        },
        testing::ExitedWithCode(255), "File not found: \"/[^ ]*/folder.obj in cObjLoader::load_file\\(..\\)\n");
}
