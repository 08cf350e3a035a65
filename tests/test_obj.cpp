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

struct parsed
{
    cObjLoader loader;
    std::string err;
};

// Parses text as an OBJ file (its "mtllib" names resolve in directory).
void parse_text(parsed& p, const std::string& text, const std::string& directory = "/nonexistent/")
{
    std::istringstream in(text);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(p.loader.parse(in, directory + "test.obj"));
    p.err = testing::internal::GetCapturedStderr();
}

// Loads, triangulates and exports an OBJ file as cMeshObj::load does, but
// without materials' textures (and so without GL).
void load_and_export(const std::string& path, cObjLoader& loader, cMeshObj_data& mesh, std::string* err)
{
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    loader.load_file(path);
    loader.triangulate();
    loader.export_mesh(mesh);
    testing::internal::GetCapturedStdout();
    *err = testing::internal::GetCapturedStderr();
}

std::string testdata(const std::string& relative)
{
    std::string dir = shared_testdata_dir();
    return dir.empty() ? "" : dir + "/obj/" + relative;
}

#define REQUIRE_TESTDATA()                                                                                   \
    do {                                                                                                     \
        if (shared_testdata_dir().empty())                                                                   \
            GTEST_SKIP() << "no shared test data";                                                           \
    } while (0)

size_t count_of(const std::string& text, const std::string& piece)
{
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        n++;
    return n;
}

const std::string SQUARE = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

} // namespace

// --- parsing -------------------------------------------------------------------------

TEST(ObjParse, v_lines_get_w_1_and_vt_lines_keep_only_u_and_v)
{
    parsed p;
    parse_text(p, "v 1 2 3\nv 4 5 6 7 8\nvt 0.5 0.5 0\nvt 0.25\n");
    EXPECT_EQ((std::vector<float>{1, 2, 3, 1, 4, 5, 6, 7}), p.loader.vertices);
    EXPECT_EQ((std::vector<float>{0.5f, 0.5f, 0.25f, 0.0f}), p.loader.texcoords);
    EXPECT_EQ(OBJ_TEXCOORDS, p.loader.flags);
}

TEST(ObjParse, a_vn_line_without_three_numbers_is_an_error_line_that_keeps_them)
{
    parsed p;
    parse_text(p, "# normals\nvn 1 2\n");
    EXPECT_EQ("## error, 2 normal-coordinates in line: 2\n", p.err);
    EXPECT_EQ((std::vector<float>{1, 2}), p.loader.normals);
}

TEST(ObjParse, lines_outside_the_subset_are_warned_about_and_skipped)
{
    parsed p;
    parse_text(p, "o thing\nvp 1 2\ng group\ns 1\np 1\nl 1 2\n");
    EXPECT_EQ("# warning, unknown token: \"o\" in line 1... skipped!\n"
              "# warning, \"vp\" in line 2 not supported... skipped!\n"
              "# warning: \"g\" in line 3 not supported... skipped!\n"
              "# warning: \"s\" in line 4 not supported... skipped!\n"
              "TOK_P\nTOK_L\n",
              p.err);
}

TEST(ObjParse, a_quad_becomes_a_fan_with_the_second_triangle_appended)
{
    parsed p;
    parse_text(p, SQUARE + "f 1 2 3 4\nf 1 2 3\n");
    EXPECT_TRUE(p.loader.flags & OBJ_POLYGONS);
    p.loader.triangulate();
    ASSERT_EQ(3u, p.loader.faces.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), p.loader.faces[0].vertex);
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), p.loader.faces[1].vertex);
    EXPECT_EQ((std::vector<uint32_t>{0, 2, 3}), p.loader.faces[2].vertex);
}

TEST(ObjParse, a_hexagon_fans_out_in_reverse_order_at_the_end)
{
    parsed p;
    parse_text(p, SQUARE + SQUARE + "f 1 2 3 4 5 6\n");
    p.loader.triangulate();
    ASSERT_EQ(4u, p.loader.faces.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), p.loader.faces[0].vertex);
    EXPECT_EQ((std::vector<uint32_t>{0, 4, 5}), p.loader.faces[1].vertex);
    EXPECT_EQ((std::vector<uint32_t>{0, 3, 4}), p.loader.faces[2].vertex);
    EXPECT_EQ((std::vector<uint32_t>{0, 2, 3}), p.loader.faces[3].vertex);
}

TEST(ObjParse, vertex_slash_slash_normal_corners_give_vertex_and_normal_indices)
{
    parsed p;
    parse_text(p, SQUARE + "vn 0 0 1\nvn 0 1 0\nf 1//1 2//2 3//1\n");
    ASSERT_EQ(1u, p.loader.faces.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), p.loader.faces[0].vertex);
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 0}), p.loader.faces[0].normal);
    EXPECT_TRUE(p.loader.faces[0].texcoord.empty());
}

TEST(ObjParse, a_face_whose_corners_differ_is_dropped_and_parsing_goes_on)
{
    parsed q;
    parse_text(q, SQUARE + "vt 0 0\nf 1/1 2/ 3/1\nf 1/1 2/1 3/1\n");
    EXPECT_EQ("## Error in line: 6 - varying number of elements in face-declaration. Skipping face...\n", q.err);
    ASSERT_EQ(1u, q.loader.faces.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 0, 0}), q.loader.faces[0].texcoord);
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
    parsed p;
    parse_text(p, text.str());
    ASSERT_EQ(1u, p.loader.faces.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 65536, 69999}), p.loader.faces[0].vertex);
    cMeshObj_data mesh;
    p.loader.export_mesh(mesh);
    ASSERT_EQ(9u, mesh.positions.size());
    EXPECT_EQ(69999.0f, mesh.positions[6]);
}

TEST(ObjParse, negative_indices_count_back_from_the_lists_as_they_stand)
{
    parsed p;
    parse_text(p, SQUARE + "vt 0 0\nvt 1 0\nvn 0 0 1\nf -4/-2/-1 -3/-1/-1 -2/-1/-1\nv 5 5 5\nf -1/1/1 -2/1/1 -3/1/1\n");
    ASSERT_EQ(2u, p.loader.faces.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), p.loader.faces[0].vertex);
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 1}), p.loader.faces[0].texcoord);
    EXPECT_EQ((std::vector<uint32_t>{0, 0, 0}), p.loader.faces[0].normal);
    EXPECT_EQ((std::vector<uint32_t>{4, 3, 2}), p.loader.faces[1].vertex);
}

TEST(ObjParse, index_0_or_past_the_lists_is_an_error_line_and_drops_the_face)
{
    parsed p;
    parse_text(p, SQUARE + "f 0 1 2\nf 1 2 5\nf -5 1 2\nf 1 2 3\n");
    ASSERT_EQ(1u, p.loader.faces.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), p.loader.faces[0].vertex);
    EXPECT_EQ(3u, count_of(p.err, "## ERROR in "));
    EXPECT_NE(std::string::npos, p.err.find("vertex index 0 is outside the 4 defined before line 5 of \"/nonexistent/test.obj\""))
        << p.err;
    EXPECT_NE(std::string::npos, p.err.find("vertex index 5 is outside")) << p.err;
    EXPECT_NE(std::string::npos, p.err.find("vertex index -5 is outside")) << p.err;
}

TEST(ObjParse, usemtl_without_materials_warns_and_keeps_the_current_material)
{
    parsed p;
    parse_text(p, SQUARE + "usemtl shiny\nf 1 2 3\n");
    EXPECT_EQ("# warning: No materials defined! \"usemtl shiny\" illegal in line 5... skipped!\n", p.err);
    ASSERT_EQ(1u, p.loader.faces.size());
    EXPECT_EQ(-1, p.loader.faces[0].material);
    EXPECT_FALSE(p.loader.flags & OBJ_MATERIALS);
}

TEST(ObjParse, a_line_longer_than_127_characters_ends_the_reading_with_a_warning)
{
    parsed p;
    parse_text(p, SQUARE + "# " + std::string(130, 'x') + "\nf 1 2 3\n");
    EXPECT_TRUE(p.loader.faces.empty());
    EXPECT_NE(std::string::npos, p.err.find("line 5 of \"/nonexistent/test.obj\" is longer than 127 characters"))
        << p.err;
}

// --- normals and conversion ----------------------------------------------------------

TEST(ObjExport, generated_normals_weigh_faces_by_area_and_unused_vertices_stay_zero)
{
    parsed p;
    // A large face in z = 0 and a small one standing in x = 0 share vertex 1.
    parse_text(p, "v 0 0 0\nv 4 0 0\nv 0 4 0\nv 0 0 1\nv 0 1 0\nv 9 9 9\nf 1 2 3\nf 1 4 5\n");
    p.loader.generate_normals();
    const std::vector<float>& n = p.loader.normals;
    ASSERT_EQ(18u, n.size());
    EXPECT_FLOAT_EQ(1.0f, n[5]);            // vertex 2: only the large face, +z
    EXPECT_GT(n[2], 0.9f);                  // vertex 0: mostly +z
    EXPECT_LT(n[0], 0.0f);                  // with some -x from the small face
    EXPECT_EQ(0.0f, n[15]);                 // vertex 5 is on no face
    EXPECT_EQ(0.0f, n[16]);
    EXPECT_EQ(0.0f, n[17]);
    EXPECT_EQ(p.loader.faces[1].vertex, p.loader.faces[1].normal);
}

TEST(ObjExport, corners_sharing_a_position_with_different_normals_become_two_vertices)
{
    parsed p;
    parse_text(p, SQUARE + "vn 0 0 1\nvn 0 0 -1\nf 1//1 2//1 3//1\nf 1//2 3//2 4//2\n");
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
    parsed p;
    parse_text(p, "mtllib m.mtl\n" + SQUARE + "f 1 2 3\nusemtl c\nf 1 2 3\nusemtl a\nf 1 3 4\nusemtl zz\nf 2 3 4\n", dir);
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
    cObjLoader loader;
    cMeshObj_data mesh;
    std::string err;
    load_and_export(testdata("pi3d/teapot.obj"), loader, mesh, &err);
    EXPECT_EQ(992u * 3, mesh.indices.size());
    EXPECT_EQ(530u * 3, mesh.positions.size());
    EXPECT_EQ(530u * 3, mesh.normals.size());
    EXPECT_TRUE(mesh.texcoords.empty());
    // "newmtl" without a name is skipped, so its keys come before any material.
    EXPECT_TRUE(loader.materials.empty());
    EXPECT_NE(std::string::npos, err.find("# WARNING: missing value encountered in")) << err;
    EXPECT_NE(std::string::npos, err.find("no 'newmtl' entry was found previous to line 4")) << err;
    EXPECT_NE(std::string::npos, err.find("# warning: No materials defined! \"usemtl \" illegal")) << err;
    EXPECT_EQ(1u, count_of(err, "\"o\""));
    EXPECT_EQ(1u, count_of(err, "\"s\""));
}

TEST(ObjFiles, cornell_box_resolves_negative_indices_into_36_triangles_and_5_materials)
{
    REQUIRE_TESTDATA();
    cObjLoader loader;
    cMeshObj_data mesh;
    std::string err;
    load_and_export(testdata("tinyobjloader/cornell_box.obj"), loader, mesh, &err);
    EXPECT_EQ(36u * 3, mesh.indices.size());
    EXPECT_EQ(72u * 3, mesh.positions.size());
    ASSERT_EQ(5u, loader.materials.size());
    EXPECT_EQ("white", loader.materials[0].name);
    EXPECT_EQ("light", loader.materials[4].name);
    EXPECT_EQ(20.0f, loader.materials[4].ambient[0]);
    EXPECT_EQ(6u, mesh.groups.size());
    EXPECT_EQ(108u, mesh.groups.back());
    EXPECT_EQ(9u, count_of(err, "# warning, unknown token: \"o\""));
    EXPECT_EQ(0u, count_of(err, "ERROR"));
}

TEST(ObjFiles, arbitrary_polygons_fan_into_17_triangles)
{
    REQUIRE_TESTDATA();
    cObjLoader loader;
    cMeshObj_data mesh;
    std::string err;
    load_and_export(testdata("pywavefront/fixtures/arbitrary-faces.obj"), loader, mesh, &err);
    EXPECT_EQ(17u * 3, mesh.indices.size());
    EXPECT_EQ(13u * 3, mesh.positions.size());
    EXPECT_TRUE(loader.flags & OBJ_POLYGONS);
}

TEST(ObjFiles, spot_gets_372_triangles_with_generated_normals_and_its_texcoords)
{
    REQUIRE_TESTDATA();
    cObjLoader loader;
    cMeshObj_data mesh;
    std::string err;
    load_and_export(testdata("spot/spot_control_mesh.obj"), loader, mesh, &err);
    EXPECT_EQ(372u * 3, mesh.indices.size());
    EXPECT_EQ(267u * 3, mesh.positions.size());
    EXPECT_EQ(267u * 2, mesh.texcoords.size());
    EXPECT_EQ(OBJ_TEXCOORDS | OBJ_NORMALS | OBJ_POLYGONS, mesh.flags);
    for (size_t v = 0; v < mesh.normals.size(); v += 3) {
        float length = mesh.normals[v] * mesh.normals[v] + mesh.normals[v + 1] * mesh.normals[v + 1] +
                       mesh.normals[v + 2] * mesh.normals[v + 2];
        EXPECT_NEAR(1.0f, length, 1e-4f);
    }
    EXPECT_TRUE(loader.materials.empty());
}

TEST(ObjFiles, negative_indices_in_all_three_slots_and_zero_indices_are_handled)
{
    REQUIRE_TESTDATA();
    cObjLoader loader;
    cMeshObj_data mesh;
    std::string err;
    load_and_export(testdata("pywavefront/fixtures/simple_negative_indices.obj"), loader, mesh, &err);
    EXPECT_EQ(2u * 3, mesh.indices.size());
    EXPECT_EQ(6u * 3, mesh.positions.size());
    EXPECT_EQ(2u, loader.materials.size());

    cObjLoader zero;
    load_and_export(testdata("tinyobjloader/issue-140-zero-face-idx.obj"), zero, mesh, &err);
    EXPECT_TRUE(zero.faces.empty());
    EXPECT_EQ(2u, count_of(err, "index 0 is outside")) << err;
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
    EXPECT_EXIT(
        {
            cObjLoader loader;
            loader.load_file("no-such-model.obj");
        },
        testing::ExitedWithCode(255), "^## ERROR in .*obj_loader.cpp line [0-9]+: file was not found in path: no-such-model.obj\n$");
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
