#include "core/resource_path.h"
#include "mesh_files/bzobj.h"
#include "mesh_files/bzobj_writer.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <zlib.h>

#include "support/gl_context.h"
#include "support/show_runner.h"

namespace {

// Payloads built byte by byte, independent of the writer.
struct payload_builder
{
    std::vector<uint8_t> bytes;

    payload_builder& u8(uint8_t v)
    {
        bytes.push_back(v);
        return *this;
    }
    payload_builder& u32s(std::initializer_list<uint32_t> values)
    {
        for (uint32_t v : values)
            for (int i = 0; i < 4; i++)
                bytes.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    payload_builder& f32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return u32s({bits});
    }
    payload_builder& f32s(size_t count, float start)
    {
        for (size_t i = 0; i < count; i++)
            f32(start + float(i));
        return *this;
    }
    // A material record with the given strings and distinct values: ambient,
    // diffuse and specular 0.5 .. 11.5, shininess 32, illum 2, alpha 0.75,
    // optical density 1.5.
    payload_builder& material(const std::vector<std::string>& strings)
    {
        for (const std::string& s : strings)
            u8(uint8_t(s.size()));
        for (const std::string& s : strings)
            bytes.insert(bytes.end(), s.begin(), s.end());
        return f32s(12, 0.5f).f32(32.0f).u32s({2}).f32(0.75f).f32(1.5f);
    }
};

cMeshObj_data decode(const std::vector<uint8_t>& payload, bool* ok = nullptr, std::string* error = nullptr)
{
    cMeshObj_data mesh;
    std::string e;
    const bool result = bobj_decode_payload(payload.data(), payload.size(), mesh, &e);
    if (ok)
        *ok = result;
    if (error)
        *error = e;
    return mesh;
}

// Two triangles over four vertices with normals and texcoords, two groups,
// two materials with maps: every block of the format is present.
cMeshObj_data sample_mesh()
{
    cMeshObj_data mesh;
    mesh.flags = MESH_TEXCOORDS | MESH_NORMALS | MESH_GROUPS;
    mesh.positions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    mesh.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    mesh.texcoords = {0, 0, 1, 0, 1, 1, 0, 1};
    mesh.indices = {0, 1, 2, 3, 0, 2};
    mesh.groups = {0, 3, 6};
    mesh.materials.emplace_back("red");
    mesh.materials.emplace_back("blue");
    mesh.materials[0].diffuse_map = "red.png";
    mesh.materials[0].illum = 1;
    mesh.materials[1].dissolve_map = "fade.png";
    mesh.materials[1].bump_map = "b.png";
    mesh.materials[1].shininess = 12.5f;
    mesh.materials[1].alpha = 0.25f;
    mesh.materials[1].diffuse[2] = 0.75f;
    return mesh;
}

std::vector<uint8_t> sample_payload()
{
    std::vector<uint8_t> payload;
    std::string error;
    EXPECT_TRUE(bobj_build_payload(sample_mesh(), payload, &error)) << error;
    return payload;
}

// Every field of a material as text (9 digits: floats exact), to compare in one go.
std::string fields(const cMaterial& m)
{
    std::ostringstream os;
    os.precision(9);
    os << m.name << '|' << m.ambient_map << '|' << m.diffuse_map << '|' << m.specular_map << '|'
       << m.bump_map << '|' << m.dissolve_map;
    for (const float* colour : {m.ambient, m.diffuse, m.specular})
        for (int i = 0; i < 4; i++)
            os << ' ' << colour[i];
    os << ' ' << m.shininess << ' ' << m.illum << ' ' << m.alpha << ' ' << m.optical_density;
    return os.str();
}

void expect_same_mesh(const cMeshObj_data& a, const cMeshObj_data& b)
{
    EXPECT_EQ(a.flags, b.flags);
    EXPECT_EQ(a.positions, b.positions);
    EXPECT_EQ(a.normals, b.normals);
    EXPECT_EQ(a.texcoords, b.texcoords);
    EXPECT_EQ(a.indices, b.indices);
    EXPECT_EQ(a.groups, b.groups);
    ASSERT_EQ(a.materials.size(), b.materials.size());
    for (size_t i = 0; i < a.materials.size(); i++)
        EXPECT_EQ(fields(a.materials[i]), fields(b.materials[i]));
}

std::string write_temp(const std::vector<uint8_t>& bytes, const std::string& name)
{
    std::string path = make_temp_dir() + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
}

} // namespace

// --- the format's own examples ------------------------------------------------------

TEST(BzObjDecode, flags_0x02_give_normals_and_no_texcoord_block)
{
    payload_builder p;
    p.u8(0x02).u32s({3, 1, 0}).f32s(9, 1.0f).f32s(9, 100.0f).u32s({0, 1, 2}).u32s({0});
    bool ok = false;
    std::string error;
    cMeshObj_data mesh = decode(p.bytes, &ok, &error);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(0x02, mesh.flags);
    EXPECT_EQ((std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9}), mesh.positions);
    EXPECT_EQ((std::vector<float>{100, 101, 102, 103, 104, 105, 106, 107, 108}), mesh.normals);
    EXPECT_TRUE(mesh.texcoords.empty());
    // The corner arrays start right after the normals.
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2}), mesh.indices);
}

TEST(BzObjDecode, corner_arrays_are_delta_coded_and_wrap_and_group_starts_split_at_non_zero_triangles)
{
    payload_builder deltas, wrapping, none, groups;
    deltas.u8(0).u32s({10, 3, 0}).f32s(30, 0.0f);
    deltas.u32s({5, 1, 1}).u32s({6, 1, 1}).u32s({7, 1, 1}).u32s({0, 0, 0});
    wrapping.u8(0).u32s({10, 2, 0}).f32s(30, 0.0f);
    wrapping.u32s({9, 0xFFFFFFFFu}).u32s({1, 0xFFFFFFFFu}).u32s({2, 5}).u32s({0, 0});
    none.u8(MESH_GROUPS).u32s({1, 0, 0}).f32s(3, 0.0f); // no triangles: groups 0, 0
    // Group starts per triangle: the first is ignored, non-zero ones split.
    groups.u8(MESH_GROUPS).u32s({3, 4, 2}).f32s(9, 0.0f);
    groups.u32s({0, 0, 0, 0}).u32s({1, 0, 0, 0}).u32s({2, 0, 0, 0}).u32s({77, 0, 1, 0});
    groups.material({"a", "", "", "", "", ""}).material({"b", "", "", "", "", ""});
    const struct
    {
        const payload_builder& payload;
        std::vector<uint32_t> indices, groups; // groups only with the groups flag
    } cases[] = {
        {deltas, {5, 6, 7, 6, 7, 8, 7, 8, 9}, {}},
        {wrapping, {9, 1, 2, 8, 0, 7}, {}},
        {none, {}, {0, 0}},
        {groups, {0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2}, {0, 6, 12}},
    };
    for (const auto& c : cases) {
        bool ok = false;
        std::string error;
        cMeshObj_data mesh = decode(c.payload.bytes, &ok, &error);
        ASSERT_TRUE(ok) << error;
        EXPECT_EQ(c.indices, mesh.indices);
        if (!c.groups.empty()) {
            EXPECT_EQ(c.groups, mesh.groups);
        }
    }
}

TEST(BzObjDecode, material_records_fill_every_field_and_leave_emission_zero)
{
    payload_builder p;
    p.u8(0).u32s({0, 0, 2}).material({"", "", "", "", "", ""}).material({"stone", "a.png", "d.jpg", "s.png", "b.png", "m.png"});
    bool ok = false;
    std::string error;
    cMeshObj_data mesh = decode(p.bytes, &ok, &error);
    ASSERT_TRUE(ok) << error;
    ASSERT_EQ(2u, mesh.materials.size());
    const std::string values = " 0.5 1.5 2.5 3.5 4.5 5.5 6.5 7.5 8.5 9.5 10.5 11.5 32 2 0.75 1.5";
    EXPECT_EQ("|||||" + values, fields(mesh.materials[0]));
    EXPECT_EQ("stone|a.png|d.jpg|s.png|b.png|m.png" + values, fields(mesh.materials[1]));
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(0.0f, mesh.materials[1].emission[i]);
}

// --- the writer --------------------------------------------------------------------

TEST(BzObjWriter, round_trips_every_block_and_bare_meshes_and_drops_empty_groups_with_their_materials)
{
    std::vector<uint8_t> file = bobj_compress(sample_payload());
    cMeshObj_data decoded;
    std::string error;
    int zlib_code = 0;
    ASSERT_EQ(BOBJ_OK, bobj_decode_file(file.data(), file.size(), decoded, &error, &zlib_code)) << error;
    expect_same_mesh(sample_mesh(), decoded);

    cMeshObj_data bare; // no normals, texture coordinates or materials
    bare.positions = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    bare.indices = {2, 1, 0, 0, 1, 2};
    bare.groups = {0, 6};
    cMeshObj_data empty;
    empty.groups = {0, 0};
    cMeshObj_data gaps = sample_mesh(); // written as the sample
    gaps.groups = {0, 3, 3, 6};
    gaps.materials.insert(gaps.materials.begin() + 1, cMaterial_GL("unused"));
    for (const cMeshObj_data* mesh : {&bare, &empty, &gaps}) {
        std::vector<uint8_t> payload;
        ASSERT_TRUE(bobj_build_payload(*mesh, payload, &error)) << error;
        bool ok = false;
        expect_same_mesh(mesh == &gaps ? sample_mesh() : *mesh, decode(payload, &ok, &error));
        EXPECT_TRUE(ok) << error;
    }
}

TEST(BzObjWriter, refuses_what_the_format_cannot_hold)
{
    const struct
    {
        void (*spoil)(cMeshObj_data&);
        const char* expect; // a piece of the error text
    } cases[] = {
        {[](cMeshObj_data& m) { m.indices[4] = 4; }, "index 4"},
        {[](cMeshObj_data& m) { m.materials[0].name = std::string(128, 'x'); }, ""},
        {[](cMeshObj_data& m) { m.materials.pop_back(); }, "2 material groups but only 1"},
        {[](cMeshObj_data& m) { m.groups = {0, 4, 6}; }, ""},
        {[](cMeshObj_data& m) { m.normals.pop_back(); }, ""},
    };
    for (const auto& c : cases) {
        cMeshObj_data mesh = sample_mesh();
        c.spoil(mesh);
        std::vector<uint8_t> payload;
        std::string error;
        EXPECT_FALSE(bobj_build_payload(mesh, payload, &error)) << c.expect;
        EXPECT_NE(std::string::npos, error.find(c.expect)) << error;
    }
}

// --- bad data ------------------------------------------------------------------------

TEST(BzObjDecode, every_truncation_of_a_payload_is_an_error)
{
    std::vector<uint8_t> payload = sample_payload();
    for (size_t size = 0; size < payload.size(); size++) {
        bool ok = true;
        std::string error;
        decode(std::vector<uint8_t>(payload.begin(), payload.begin() + size), &ok, &error);
        EXPECT_FALSE(ok) << "cut at " << size;
        EXPECT_FALSE(error.empty()) << "cut at " << size;
    }
}
TEST(BzObjDecode, corrupt_counts_lengths_and_indices_are_errors)
{
    const std::vector<uint8_t> good = sample_payload();
    // Offsets in the sample payload: A at 1, B at 5, C at 9; 4 vertices with
    // normals and texcoords (128 bytes), 2 triangles (32 bytes), then the
    // first material's six lengths at 173.
    const size_t a_at = 1, b_at = 5, c_at = 9, corners_at = 13 + 128, starts_at = corners_at + 24,
                 lengths_at = starts_at + 8;
    // At an offset, the value's low bytes; expect: a piece of the error text.
    const struct { size_t at; uint32_t value; int bytes; const char* expect; } cases[] = {
        {a_at, 5, 4, "2 materials need at least 140 bytes"},
        {a_at, 1000, 4, "1000 vertices and 2 triangles need"},
        {a_at, 0xFFFFFFFFu, 4, "need"},
        {a_at, 3, 4, "not below the vertex count 3"},
        {b_at, 3, 4, "not below the vertex count 4"},
        {b_at, 1000, 4, "4 vertices and 1000 triangles need"},
        {b_at, 0xFFFFFFFFu, 4, "need"},
        {c_at, 3, 4, "3 materials need at least 210 bytes"},
        {c_at, 0xFFFFFFFFu, 4, "materials need at least"},
        {c_at, 1, 4, "2 material groups but only 1 materials"},
        {corners_at, 4, 4, "uses vertex 4"},
        {corners_at + 4, 0xFFFFFFFFu, 4, "uses vertex 4294967295"},
        {starts_at + 4, 0, 4, ""}, // one group: still valid
        {lengths_at, 127, 1, "needs"},
        {lengths_at + 2, 0xFF, 1, "negative string length -1"},
        {lengths_at + 5, 0x80, 1, "negative string length -128"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bad = good;
        for (int i = 0; i < c.bytes; i++)
            bad[c.at + i] = uint8_t(c.value >> (8 * i));
        bool ok = true;
        std::string error;
        decode(bad, &ok, &error);
        if (!*c.expect) {
            EXPECT_TRUE(ok) << error;
            continue;
        }
        EXPECT_FALSE(ok) << "corruption at " << c.at;
        EXPECT_NE(std::string::npos, error.find(c.expect)) << "corruption at " << c.at << ": " << error;
    }
}

TEST(BzObjDecode, every_single_byte_corruption_decodes_or_fails_cleanly)
{
    const std::vector<uint8_t> good = sample_payload();
    for (size_t at = 0; at < good.size(); at++) {
        for (uint8_t value : {uint8_t(0x00), uint8_t(0x7F), uint8_t(0x80), uint8_t(0xFF)}) {
            std::vector<uint8_t> bad = good;
            bad[at] = value;
            bool ok = false;
            std::string error;
            cMeshObj_data mesh = decode(bad, &ok, &error);
            if (!ok)
                continue;
            // Whatever decodes holds together.
            for (uint32_t index : mesh.indices)
                EXPECT_LT(index, mesh.positions.size() / 3);
            EXPECT_EQ(mesh.indices.size(), mesh.groups.back());
        }
    }
}

TEST(BzObjFile, header_faults_are_errors_and_inflate_faults_zlib_codes)
{
    std::vector<uint8_t> file = bobj_compress(sample_payload());
    cMeshObj_data mesh;
    std::string error;
    int code = 0;

    for (size_t size = 0; size < file.size(); size++) {
        bobj_status status = bobj_decode_file(file.data(), size, mesh, &error, &code);
        EXPECT_NE(BOBJ_OK, status) << "cut at " << size;
        if (size >= 8) {
            EXPECT_EQ(BOBJ_INVALID, status) << "a compressed size past the end is caught before inflating";
        }
    }

    // One header or stream byte changed, what decoding gives and the zlib
    // code or a piece of the error text it reports.
    const struct { size_t at; uint8_t value; bobj_status status; int code; const char* error; } cases[] = {
        {0, uint8_t(file[0] - 1), BOBJ_ZLIB_ERROR, Z_BUF_ERROR, ""}, // one byte short of the payload
        {3, 0x7F, BOBJ_INVALID, 0, "more than zlib can make"},       // more than deflate can expand the stream to
        {0, uint8_t(file[0] + 16), BOBJ_OK, 0, ""},                  // the payload itself is whole
        {20, uint8_t(file[20] ^ 0x55), BOBJ_ZLIB_ERROR, 0, ""},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> changed = file;
        changed[c.at] = c.value;
        code = 0;
        error.clear();
        EXPECT_EQ(c.status, bobj_decode_file(changed.data(), changed.size(), mesh, &error, &code)) << c.at << error;
        if (c.code) {
            EXPECT_EQ(c.code, code);
        }
        EXPECT_NE(std::string::npos, error.find(c.error)) << error;
    }
}

// --- the loader with files and exits --------------------------------------------------

class BzObjLoaderTest : public testing::Test
{
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        REQUIRE_GL_CONTEXT();
    }
    static void load(const std::string& path)
    {
        cMeshObj mesh;
        bobj_load_compressed(&mesh, path);
    }
};

TEST_F(BzObjLoaderTest, create_finds_the_file_on_the_search_paths_and_fills_a_mesh)
{
    cMeshObj_data expected = sample_mesh();
    // The sample's maps do not exist: load the geometry without them.
    for (cMaterial_GL& m : expected.materials) {
        m.diffuse_map = m.dissolve_map = m.bump_map = "";
        // Loading copies alpha into the colours.
        m.ambient[3] = m.diffuse[3] = m.specular[3] = m.alpha;
    }
    std::vector<uint8_t> payload;
    ASSERT_TRUE(bobj_build_payload(expected, payload, nullptr));
    std::string path = write_temp(bobj_compress(payload), "plain.bzobj");
    get_resource_path()->push_searchpath(path.substr(0, path.rfind('/')));

    iMesh* mesh = BzObjLoader::create("plain.bzobj");
    cMeshObj* obj = dynamic_cast<cMeshObj*>(mesh);
    ASSERT_NE(nullptr, obj);
    expect_same_mesh(expected, *obj);
    delete mesh;
}

TEST_F(BzObjLoaderTest, faulty_files_end_the_program_with_one_line_and_their_exit_code)
{
    std::vector<uint8_t> small = bobj_compress(sample_payload());
    small[0] = uint8_t(small[0] - 1); // uncompressed size one byte short
    std::vector<uint8_t> inconsistent = sample_payload();
    inconsistent[13 + 128 + 4] = 4; // triangle 1 starts at vertex 0 + 4 of 4
    // A directory reads as endless on Linux; a claimed 4 GiB block must not
    // be allocated before the file is found to be short of it.
    const std::string dir = make_temp_dir() + "/folder.bzobj";
    ASSERT_EQ(0, mkdir(dir.c_str(), 0700));
    const std::vector<uint8_t> claims_4_gib = {0x00, 0x10, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF, 0x78, 0x9C};
    const struct { std::string path; int code; std::string line; } cases[] = {
        {write_temp(small, "small.bzobj"), 1, "^# warning: zlib caused an error: -5 in \"/[^\"]*/small.bzobj\"\n$"},
        {write_temp(bobj_compress(inconsistent), "bad.bzobj"), 255,
         "^## ERROR: in bobj_load_compressed: \"/tmp/mirvok-test-[^/]*/bad.bzobj\": triangle 1 uses vertex 4, not "
         "below the vertex count 4\n$"},
        // (A death test's child makes folders of its own: match any.)
        {dir, 255, "^# ERROR opening file /[^ ]*/folder.bzobj in bobj_load_compressed\n$"},
        {write_temp(claims_4_gib, "lying.bzobj"), 255,
         "^## ERROR: in bobj_load_compressed: \"/[^\"]*/lying.bzobj\": compressed size 4294967280 is more than "
         "the 2 bytes after the header\n$"},
    };
    for (const auto& c : cases)
        EXPECT_EXIT(load(c.path), testing::ExitedWithCode(c.code), c.line) << c.path;
}

TEST_F(BzObjLoaderTest, a_missing_file_is_reported_by_create_and_by_the_open)
{
    EXPECT_EXIT(BzObjLoader::create("no-such-mesh.bzobj"), testing::ExitedWithCode(255),
                "^# ERROR - couldn't find no-such-mesh.bzobj from BzObjLoader::create\n"
                "# ERROR opening file  in bobj_load_compressed\n$");
}
