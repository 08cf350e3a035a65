// The data tool's toolkit, checked through the show's own readers: meshes
// through the compressed mesh decoder and loader, camera paths through
// cCameraPath, pictures through the image library and the texture manager's
// choice of target.
#include "generator.h"
#include "toolkit/image.h"
#include "toolkit/mesh.h"
#include "toolkit/path.h"
#include "toolkit/type.h"

#include "core/display.h"
#include "core/resource_path.h"
#include "mesh_files/bzobj.h"
#include "scenes/camera_path.h"
#include "textures/texture_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdlib.h>

#include "support/gl_context.h"
#include "support/images.h"

using namespace toolkit;

namespace {

std::string temp_root()
{
    static std::string root = [] {
        char name[] = "/tmp/mirvok-toolkit-XXXXXX";
        return std::string(mkdtemp(name));
    }();
    return root;
}

std::vector<uint8_t> read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Writes the mesh as the data tool does and decodes the file as the show does.
cMeshObj_data write_and_load(const Mesh& mesh, const std::string& name = "mesh.bzobj")
{
    DataContext data(temp_root(), true);
    EXPECT_TRUE(mesh.write(data, name));
    std::vector<uint8_t> file = read_file(temp_root() + "/" + name);
    cMeshObj_data loaded;
    std::string error;
    int code = 0;
    EXPECT_EQ(BOBJ_OK, bobj_decode_file(file.data(), file.size(), loaded, &error, &code)) << error;
    return loaded;
}

Vec3 vec(const std::vector<float>& a, size_t i)
{
    return {a[3 * i], a[3 * i + 1], a[3 * i + 2]};
}

Bounds bounds_of(const cMeshObj_data& m)
{
    Bounds b{vec(m.positions, 0), vec(m.positions, 0)};
    for (size_t i = 0; i < m.positions.size() / 3; ++i) {
        Vec3 p = vec(m.positions, i);
        b.min = {std::min(b.min.x, p.x), std::min(b.min.y, p.y), std::min(b.min.z, p.z)};
        b.max = {std::max(b.max.x, p.x), std::max(b.max.y, p.y), std::max(b.max.z, p.z)};
    }
    return b;
}

void expect_near(Vec3 expected, Vec3 actual, float tolerance, const std::string& what = "")
{
    EXPECT_NEAR(expected.x, actual.x, tolerance) << what;
    EXPECT_NEAR(expected.y, actual.y, tolerance) << what;
    EXPECT_NEAR(expected.z, actual.z, tolerance) << what;
}

// Unit normals, every triangle wound so that its front faces the way its
// corners' normals point, and every index inside the vertices.
void expect_sound_surface(const cMeshObj_data& m, const std::string& what)
{
    ASSERT_EQ(MESH_NORMALS | MESH_TEXCOORDS, m.flags & (MESH_NORMALS | MESH_TEXCOORDS)) << what;
    for (size_t i = 0; i < m.normals.size() / 3; ++i)
        ASSERT_NEAR(1.0f, length(vec(m.normals, i)), 1e-4f) << what << " vertex " << i;
    for (size_t t = 0; t < m.indices.size() / 3; ++t) {
        uint32_t a = m.indices[3 * t], b = m.indices[3 * t + 1], c = m.indices[3 * t + 2];
        Vec3 face = cross(vec(m.positions, b) - vec(m.positions, a), vec(m.positions, c) - vec(m.positions, a));
        Vec3 corners = vec(m.normals, a) + vec(m.normals, b) + vec(m.normals, c);
        ASSERT_GT(dot(face, corners), 0.0f) << what << " triangle " << t;
    }
}

} // namespace

// --- meshes --------------------------------------------------------------------

TEST(ToolkitMesh, primitives_load_with_their_vertex_and_triangle_counts_and_bounds)
{
    struct Case { const char* name; Mesh mesh; size_t vertices, triangles; Bounds bounds; };
    const Case cases[] = {
        {"box", box({2, 4, 6}), 24, 12, {{-1, -2, -3}, {1, 2, 3}}},
        // 2 x 3 x 4 cells: faces of 5 x 4, 3 x 5 and 3 x 4 points.
        {"box in cells", box_in_cells({2, 4, 6}, 1.5f), 2 * (20 + 15 + 12), 4 * (12 + 8 + 6),
         {{-1, -2, -3}, {1, 2, 3}}},
        // Pole triangles have no area and are left out: 16 x (2 x 8 - 2).
        {"sphere", sphere(2, 16, 8), 17 * 9, 16 * 14, {{-2, -2, -2}, {2, 2, 2}}},
        {"cylinder", cylinder(1, 1, 3, 12), 26 + 2 * 13, 24 + 24, {{-1, 0, -1}, {1, 3, 1}}},
        {"cone", cylinder(1, 0, 3, 12), 26 + 13, 12 + 12, {{-1, 0, -1}, {1, 3, 1}}},
        {"torus", torus(3, 1, 16, 8), 17 * 9, 16 * 8 * 2, {{-4, -1, -4}, {4, 1, 4}}},
        {"lathe", lathe({{1, 0}, {2, 1}, {1, 2}}, 8), 9 * 3, 8 * 2 * 2, {{-2, 0, -2}, {2, 2, 2}}},
        {"extrusion", extrude({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 3}, {0, 3}}, 0.5f), 12 + 24, 2 * 4 + 12,
         {{0, 0, 0}, {2, 3, 0.5f}}},
    };
    for (const Case& c : cases) {
        cMeshObj_data m = write_and_load(c.mesh);
        EXPECT_EQ(c.vertices, m.positions.size() / 3) << c.name;
        EXPECT_EQ(c.triangles, m.indices.size() / 3) << c.name;
        Bounds b = bounds_of(m);
        expect_near(c.bounds.min, b.min, 1e-5f, c.name);
        expect_near(c.bounds.max, b.max, 1e-5f, c.name);
        expect_sound_surface(m, c.name);
    }
}

// Every edge of a box in cells, its points taken as they are stored, belongs
// to two triangles: where faces meet, their grids share the edge's points,
// so no crack opens between them. Left without a face, only that face's rim
// ends at one triangle.
TEST(ToolkitMesh, a_box_in_steps_is_closed_along_the_edges_its_faces_meet_at)
{
    struct Case { const char* name; Mesh mesh; int rim_edges; };
    const Case cases[] = {{"in cells", box_in_cells({3, 1, 5}, 0.8f), 0},
                          {"without +x", box_in_steps({2, 6, 4}, 1, 3, 4, {1, 0, 0}), 2 * (3 + 4)}};
    for (const Case& c : cases) {
        cMeshObj_data m = write_and_load(c.mesh);
        typedef std::array<float, 3> point;
        const auto at = [&](uint32_t i) { return point{m.positions[3 * i], m.positions[3 * i + 1], m.positions[3 * i + 2]}; };
        std::map<std::pair<point, point>, int> uses;
        for (size_t t = 0; t < m.indices.size(); t += 3)
            for (int k = 0; k < 3; ++k) {
                const point a = at(m.indices[t + k]), b = at(m.indices[t + (k + 1) % 3]);
                ++uses[a < b ? std::make_pair(a, b) : std::make_pair(b, a)];
            }
        int once = 0, more = 0;
        for (const auto& [edge, count] : uses) {
            once += count == 1;
            more += count > 2;
        }
        EXPECT_EQ(c.rim_edges, once) << c.name;
        EXPECT_EQ(0, more) << c.name;
    }
}

TEST(ToolkitMesh, closed_shapes_have_normals_pointing_away_from_their_centre)
{
    cMeshObj_data ball = write_and_load(sphere(3, 12, 6));
    for (size_t i = 0; i < ball.positions.size() / 3; ++i)
        expect_near(vec(ball.positions, i) * (1.0f / 3), vec(ball.normals, i), 1e-5f);
    cMeshObj_data ring = write_and_load(torus(5, 1, 24, 12));
    for (size_t i = 0; i < ring.positions.size() / 3; ++i) {
        Vec3 p = vec(ring.positions, i);
        Vec3 centre = normalize({p.x, 0, p.z}) * 5;
        expect_near(p - centre, vec(ring.normals, i), 1e-4f);
    }
}

TEST(ToolkitMesh, knot_texture_coordinates_run_along_the_strand_and_around_the_tube)
{
    const int points = 120, sides = 8;
    std::vector<Vec3> curve = torus_knot_curve(2, 3, 6, 2, points);
    cMeshObj_data m = write_and_load(torus_knot(2, 3, 6, 2, 0.5f, points, sides, 1.0f));
    expect_sound_surface(m, "knot");
    // Rings of sides + 1 vertices; the closed strand repeats its first ring.
    ASSERT_EQ(size_t(points + 1) * (sides + 1), m.positions.size() / 3);
    float along = 0;
    for (int ring = 0; ring <= points; ++ring) {
        if (ring > 0)
            along += length(curve[size_t(ring % points)] - curve[size_t(ring - 1)]);
        for (int side = 0; side <= sides; ++side) {
            size_t v = size_t(ring) * (sides + 1) + size_t(side);
            ASSERT_NEAR(along, m.texcoords[2 * v], 1e-3f) << "ring " << ring; // u: length along the strand
            ASSERT_NEAR(float(side) / sides, m.texcoords[2 * v + 1], 1e-6f);  // v: around
            ASSERT_NEAR(0.5f, length(vec(m.positions, v) - curve[size_t(ring % points)]), 1e-4f);
        }
    }
    // The strand closes: last ring where the first is.
    for (int side = 0; side <= sides; ++side)
        expect_near(vec(m.positions, size_t(side)), vec(m.positions, size_t(points) * (sides + 1) + size_t(side)), 1e-4f);
}

TEST(ToolkitMesh, materials_become_groups_in_the_order_added_and_merge_by_name)
{
    Mesh mesh;
    mesh.use_material(material_clamped_map("panel", "panel.png"));
    mesh.append(box({1, 1, 1}));
    mesh.use_material(material_repeated_map("stripes", "stripes.png"));
    mesh.append(cylinder(1, 1, 1, 6, false), Mat4::translate({0, 2, 0}));
    Mesh other;
    other.use_material(material_clamped_map("panel", "panel.png"));
    other.append(box({1, 1, 1}));
    mesh.append(other, Mat4::translate({3, 0, 0})); // joins the first group

    cMeshObj_data m = write_and_load(mesh);
    EXPECT_TRUE(m.flags & MESH_GROUPS);
    ASSERT_EQ(2u, m.materials.size());
    EXPECT_EQ((std::vector<uint32_t>{0, 3 * 24, 3 * 36}), m.groups);
    // Which map each kind fills is checked by its wrap mode through the loader below.
    EXPECT_EQ("panel", m.materials[0].name);
    EXPECT_EQ("stripes", m.materials[1].name);
    // Sorting into groups keeps every triangle as built, corners in order.
    auto corners = [](const std::vector<float>& positions, const std::vector<uint32_t>& indices) {
        std::vector<std::vector<float>> out;
        for (size_t t = 0; t < indices.size(); t += 3) {
            std::vector<float> tri;
            for (int k = 0; k < 3; ++k)
                tri.insert(tri.end(), positions.begin() + 3 * indices[t + k], positions.begin() + 3 * indices[t + k] + 3);
            out.push_back(tri);
        }
        std::sort(out.begin(), out.end());
        return out;
    };
    std::vector<float> built;
    for (const Mesh::Vertex& v : mesh.get_vertices())
        built.insert(built.end(), {v.position.x, v.position.y, v.position.z});
    EXPECT_EQ(corners(built, mesh.get_triangles()), corners(m.positions, m.indices));

    // A mesh without materials draws as one batch.
    cMeshObj_data plain = write_and_load(box({1, 1, 1}));
    EXPECT_FALSE(plain.flags & MESH_GROUPS);
    EXPECT_TRUE(plain.materials.empty());
}

TEST(ToolkitMesh, transforms_move_points_turn_normals_and_keep_mirrored_triangles_facing_out)
{
    Mesh mesh = box({2, 2, 2});
    mesh.transform(Mat4::translate({10, 0, 0}) * Mat4::rotate_z(90) * Mat4::scale({1, 3, 1}));
    Bounds b = mesh.bounds();
    expect_near({7, -1, -1}, b.min, 1e-5f);
    expect_near({13, 1, 1}, b.max, 1e-5f);
    expect_sound_surface(write_and_load(mesh), "turned box");

    Mesh mirrored = sphere(1, 8, 4);
    mirrored.transform(Mat4::scale({-1, 2, 1}));
    expect_sound_surface(write_and_load(mirrored), "mirrored sphere");
}

TEST(ToolkitMesh, smooth_normals_respect_the_crease_angle_and_flat_normals_split_vertices)
{
    Mesh creased = box({2, 2, 2});
    creased.smooth_normals(60);
    for (const Mesh::Vertex& v : creased.get_vertices()) {
        Vec3 n = v.normal; // still a face's axis
        EXPECT_NEAR(1.0f, std::fabs(n.x) + std::fabs(n.y) + std::fabs(n.z), 1e-5f);
    }
    Mesh rounded = box({2, 2, 2});
    rounded.smooth_normals();
    for (const Mesh::Vertex& v : rounded.get_vertices())
        expect_near(normalize(v.position), v.normal, 1e-5f);

    Mesh faceted = sphere(1, 8, 4);
    const size_t triangles = faceted.triangle_count();
    faceted.flat_normals();
    cMeshObj_data m = write_and_load(faceted);
    EXPECT_EQ(3 * triangles, m.positions.size() / 3);
    expect_sound_surface(m, "faceted sphere");
    for (size_t t = 0; t < triangles; ++t) {
        expect_near(vec(m.normals, 3 * t), vec(m.normals, 3 * t + 1), 0);
        expect_near(vec(m.normals, 3 * t), vec(m.normals, 3 * t + 2), 0);
    }
}

TEST(ToolkitMesh, concave_outlines_triangulate_to_their_own_area)
{
    const std::vector<Vec2> shapes[] = {
        {{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 3}, {0, 3}},                  // L: area 5
        {{0, 0}, {4, 0}, {4, 4}, {3, 4}, {2, 1}, {1, 4}, {0, 4}},          // notch from the top
        {{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}},                          // a collinear point
    };
    for (const std::vector<Vec2>& outline : shapes) {
        float area = 0;
        for (size_t i = 0; i < outline.size(); ++i) {
            Vec2 a = outline[i], b = outline[(i + 1) % outline.size()];
            area += 0.5f * (a.x * b.y - b.x * a.y);
        }
        std::vector<uint32_t> tri = triangulate(outline);
        ASSERT_EQ(3 * (outline.size() - 2), tri.size());
        float sum = 0;
        for (size_t t = 0; t < tri.size(); t += 3) {
            Vec2 a = outline[tri[t]], b = outline[tri[t + 1]], c = outline[tri[t + 2]];
            float twice = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
            EXPECT_GE(twice, 0.0f); // counter-clockwise
            sum += 0.5f * twice;
        }
        EXPECT_NEAR(area, sum, 1e-5f);
    }
}

TEST(ToolkitMesh, text_is_as_tall_as_asked_and_as_wide_as_its_letters)
{
    Mesh word = text("MIRVOK 08", 6, 1, 2);
    cMeshObj_data m = write_and_load(word);
    expect_sound_surface(m, "text");
    Bounds b = bounds_of(m);
    // Capital height 6 plus half a stroke above and below; 9 letters of 6
    // units, the last 4 wide.
    expect_near({-0.5f, -0.5f, 0}, b.min, 1e-4f);
    expect_near({8 * 6 + 4 + 0.5f, 6.5f, 2}, b.max, 1e-4f);
}

// The show's loader on a toolkit mesh whose materials name toolkit pictures.
TEST(ToolkitMesh, the_shows_loader_reads_a_mesh_and_gives_its_maps_their_wrap_modes)
{
    REQUIRE_GL_CONTEXT();
    init_image_library();
    DataContext data(temp_root(), true);
    Canvas picture(64, 32);
    ASSERT_TRUE(write_png(data, "loader/tk_panel.png", picture, 3, Addressing::unit_coordinates));
    ASSERT_TRUE(write_jpeg(data, "loader/tk_stripes.jpg", picture, Addressing::unit_coordinates));
    Mesh mesh;
    mesh.use_material(material_clamped_map("panel", "tk_panel.png"));
    mesh.append(box({1, 1, 1}));
    mesh.use_material(material_repeated_map("stripes", "tk_stripes.jpg"));
    mesh.append(sphere(1, 8, 4), Mat4::translate({0, 3, 0}));
    ASSERT_TRUE(mesh.write(data, "loader/tk_mesh.bzobj"));
    get_resource_path()->push_searchpath(temp_root() + "/loader");

    iMesh* loaded = BzObjLoader::create("tk_mesh.bzobj");
    cMeshObj* obj = dynamic_cast<cMeshObj*>(loaded);
    ASSERT_NE(nullptr, obj);
    EXPECT_EQ(mesh.vertex_count(), obj->positions.size() / 3);
    EXPECT_EQ(mesh.triangle_count(), obj->indices.size() / 3);
    ASSERT_EQ(2u, obj->materials.size());
    for (size_t i = 0; i < 2; ++i) {
        const cTexture* tex = obj->materials[i].diffuse_tex.get();
        ASSERT_NE(nullptr, tex);
        EXPECT_EQ(GLenum(GL_TEXTURE_2D), tex->target);
        GLint wrap = 0;
        glBindTexture(tex->target, tex->id);
        glGetTexParameteriv(tex->target, GL_TEXTURE_WRAP_S, &wrap);
        EXPECT_EQ(i == 0 ? GL_CLAMP : GL_REPEAT, wrap) << obj->materials[i].name;
    }
    delete loaded;
}

// --- camera paths --------------------------------------------------------------

TEST(ToolkitPath, catmull_rom_passes_through_its_points)
{
    std::vector<Vec3> points = {{0, 0, 0}, {10, 2, 0}, {10, 5, 10}, {-4, 1, 3}};
    for (size_t k = 0; k < points.size(); ++k)
        expect_near(points[k], catmull_rom(points, float(k)), 1e-5f);
    // Between points it is smooth: no jump on either side of a point.
    expect_near(catmull_rom(points, 1.0f), catmull_rom(points, 0.999f), 0.05f);
    expect_near(catmull_rom(points, 1.0f), catmull_rom(points, 1.001f), 0.05f);
}

TEST(ToolkitPath, written_paths_read_back_through_the_camera_path_as_the_sampled_points)
{
    CameraFlight flight;
    flight.eye = {{260, 20, 460}, {240, 60, 300}, {200, 100, 150}, {150, 90, 50}};
    flight.target = {{200, 100, 50}, {0, 0, 0}};
    flight.up = {0, 1, 0};
    std::vector<CameraKey> keys = sample_flight(flight, 40);
    expect_near(flight.eye.front(), keys.front().position, 1e-3f);
    expect_near(flight.eye.back(), keys.back().position, 1e-3f);

    std::istringstream file(path_text(keys));
    cCameraPath path;
    path.read_keys(file);
    ASSERT_EQ(keys.size(), path.get_keys().size());
    // The show places key i at t = i / n.
    for (size_t i = 0; i < keys.size(); ++i) {
        float t = float(i) / float(keys.size());
        float p[3], target[3], up[3];
        path.get_position(t, p);
        path.get_target(t, target);
        path.get_up(t, up);
        expect_near(keys[i].position, {p[0], p[1], p[2]}, 1e-3f, "key " + std::to_string(i));
        expect_near(keys[i].target, {target[0], target[1], target[2]}, 1e-3f);
        expect_near({0, 1, 0}, {up[0], up[1], up[2]}, 0);
    }
}

TEST(ToolkitPath, even_speed_keys_are_equally_far_apart)
{
    CameraFlight flight;
    flight.eye = {{0, 0, 0}, {5, 0, 0}, {40, 0, 0}, {45, 10, 0}}; // uneven spans
    flight.target = {{0, 0, -100}};
    std::vector<CameraKey> keys = sample_flight(flight, 30);
    float first = length(keys[1].position - keys[0].position);
    for (size_t i = 2; i < keys.size(); ++i)
        EXPECT_NEAR(first, length(keys[i].position - keys[i - 1].position), first * 0.03f) << "key " << i;
}

// --- images --------------------------------------------------------------------

TEST(ToolkitImage, pictures_keep_their_size_and_format_and_land_on_the_texture_kind_they_need)
{
    DataContext data(temp_root(), true);
    ASSERT_TRUE(write_png(data, "img/stripes.png", Canvas(256, 32), 4, Addressing::unit_coordinates));
    ASSERT_TRUE(write_jpeg(data, "img/grid.jpg", Canvas(1024, 768), Addressing::texels));
    ASSERT_TRUE(write_png(data, "img/credits.png", Canvas(1024, 768), 3, Addressing::texels));
    const struct { const char* name; int width, height, channels; GLenum target; } cases[] = {{"/img/stripes.png", 256, 32, 4, GL_TEXTURE_2D},
                 {"/img/grid.jpg", 1024, 768, 3, GL_TEXTURE_RECTANGLE_ARB},
                 {"/img/credits.png", 1024, 768, 3, GL_TEXTURE_RECTANGLE_ARB}};
    for (const auto& c : cases) {
        int width = 0, height = 0, channels = 0;
        EXPECT_FALSE(load_image(temp_root() + c.name, 3, &width, &height, &channels).empty()) << c.name;
        EXPECT_EQ(c.width, width) << c.name;
        EXPECT_EQ(c.height, height) << c.name;
        EXPECT_EQ(c.channels, channels) << c.name;
        EXPECT_EQ(c.target, choose_texture_target(width, height)) << c.name;
    }
}

TEST(ToolkitImage, png_files_hold_the_canvas_bytes_exactly_and_the_same_canvas_gives_the_same_file)
{
    DataContext data(temp_root(), true);
    Canvas c(16, 8, rgb8(10, 20, 30, 40));
    c.at(0, 0) = rgb8(255, 0, 128, 255);
    c.at(15, 7) = toolkit::rgba(2.0f, -1.0f, 0.5f, 1.0f); // clipped to 0..1, 0.5 rounds to 128
    int end = c.pixel_text(1, 1, "7", rgb8(200, 201, 202));
    EXPECT_EQ(5, end);
    ASSERT_TRUE(write_png(data, "img/exact.png", c, 4, Addressing::unit_coordinates));
    ASSERT_TRUE(write_png(data, "img/again.png", c, 4, Addressing::unit_coordinates));
    EXPECT_EQ(read_file(temp_root() + "/img/exact.png"), read_file(temp_root() + "/img/again.png"));

    // Read back by the image library the show uses (rows from the bottom up).
    const std::vector<uint8_t> p = load_image(temp_root() + "/img/exact.png", 4);
    ASSERT_EQ(16u * 8u * 4u, p.size());
    auto px = [&](int x, int y) { return std::vector<int>(&p[((7 - y) * 16 + x) * 4], &p[((7 - y) * 16 + x) * 4 + 4]); };
    const std::vector<int> ground = {10, 20, 30, 40}, marked = {255, 0, 128, 255}, ink = {200, 201, 202, 255};
    EXPECT_EQ(marked, px(0, 0));
    EXPECT_EQ(ground, px(5, 5));
    EXPECT_EQ(marked, px(15, 7));
    EXPECT_EQ(ink, px(1, 1)); // the 7's top bar (three cells)...
    EXPECT_EQ(ink, px(3, 1));
    EXPECT_EQ(ground, px(1, 3)); // ...and its empty lower-left
}

TEST(ToolkitImage, sizes_that_would_land_on_the_wrong_texture_kind_are_refused)
{
    DataContext data(temp_root(), true);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(write_png(data, "img/bad1.png", Canvas(1000, 512), 3, Addressing::unit_coordinates));
    EXPECT_FALSE(write_jpeg(data, "img/bad2.jpg", Canvas(512, 512), Addressing::texels));
    EXPECT_FALSE(write_png(data, "img/bad3.png", Canvas(256, 1), 3, Addressing::unit_coordinates)); // 1D
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("img/bad1.png is 1000x512"));
    EXPECT_EQ(0, data.files_written());
}

TEST(ToolkitImage, noise_repeats_every_period_and_stays_between_0_and_1)
{
    for (float x = 0; x < 8; x += 0.37f)
        for (float y = 0; y < 8; y += 0.41f) {
            float n = fbm(x, y, 4, 8, 7);
            EXPECT_GE(n, 0.0f);
            EXPECT_LE(n, 1.0f);
            EXPECT_NEAR(n, fbm(x + 8, y, 4, 8, 7), 1e-5f);
            EXPECT_NEAR(n, fbm(x, y - 16, 4, 8, 7), 1e-5f);
        }
    EXPECT_NE(value_noise(0.5f, 0.5f, 8, 1), value_noise(0.5f, 0.5f, 8, 2)); // seeds differ
    Rng a(42), b(42);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(a.next(), b.next());
}

TEST(ToolkitImage, glows_lines_grids_text_and_shading_light_only_where_they_are_drawn)
{
    Canvas c(64, 64);
    c.glow({16, 16}, 8, toolkit::rgba(1, 1, 1));
    EXPECT_NEAR(1.0f, c.at(15, 15).r, 0.05f);
    EXPECT_LT(c.at(19, 15).r, c.at(17, 15).r); // fades outwards
    EXPECT_EQ(0.0f, c.at(25, 16).r);           // nothing past the radius

    c.line({40, 10}, {60, 10}, 2, toolkit::rgba(0, 1, 0));
    EXPECT_NEAR(1.0f, c.at(50, 9).g, 1e-5f);
    EXPECT_NEAR(1.0f, c.at(50, 10).g, 1e-5f);
    EXPECT_EQ(0.0f, c.at(50, 13).g);

    Canvas g(32, 32);
    g.grid(8, 1, toolkit::rgba(0, 0, 1));
    EXPECT_EQ(1.0f, g.at(8, 3).b);
    EXPECT_EQ(1.0f, g.at(3, 16).b);
    EXPECT_EQ(0.0f, g.at(3, 3).b);

    Canvas t(64, 32);
    float end = t.text("HI", {4, 20}, 12, 2, toolkit::rgba(1, 0, 0));
    EXPECT_FLOAT_EQ(4 + 2 * 12, end);
    EXPECT_EQ(1.0f, t.at(4, 14).r);  // the H's left bar
    EXPECT_EQ(0.0f, t.at(6, 10).r);  // inside the H, above the crossbar
    for (int y = 0; y < 32; ++y)
        EXPECT_EQ(0.0f, t.at(40, y).r); // right of the text

    // Shading gives texture coordinates with v up from the bottom row.
    Canvas s(4, 2);
    s.shade([](float u, float v) { return toolkit::rgba(u, v, 0); });
    EXPECT_FLOAT_EQ(0.125f, s.at(0, 0).r);
    EXPECT_FLOAT_EQ(0.75f, s.at(0, 0).g); // top row: v near 1
    EXPECT_FLOAT_EQ(0.25f, s.at(3, 1).g);
}

TEST(ToolkitType, a_typeface_draws_a_capital_on_its_baseline_and_a_missing_font_draws_nothing)
{
    toolkit::Typeface sans("DejaVuSans-Bold.ttf");
    if (!sans.ok())
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    Canvas c(64, 48);
    const float size = 32;
    const float cap = sans.cap_height(size);
    EXPECT_GT(cap, size * 0.6f); // a capital is most of the em in any text face
    EXPECT_LT(cap, size);
    const float end = sans.draw(c, "H", {8, 40}, size, toolkit::rgba(1, 1, 1));
    EXPECT_NEAR(end - 8, sans.width("H", size), 0.01f);
    auto lit_rows = [&](int x0, int x1) {
        int top = 48, bottom = -1;
        for (int y = 0; y < 48; ++y)
            for (int x = x0; x < x1; ++x)
                if (c.at(x, y).r > 0.5f) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        return std::make_pair(top, bottom);
    };
    auto rows = lit_rows(0, 64);
    EXPECT_EQ(39, rows.second);                           // sits on the baseline
    EXPECT_NEAR(40 - cap, float(rows.first), 1.0f);       // reaches the cap height
    EXPECT_EQ(-1, lit_rows(int(std::ceil(end)) + 1, 64).second); // nothing after the advance

    toolkit::Typeface missing("no-such-font.ttf");
    EXPECT_FALSE(missing.ok());
    Canvas d(8, 8);
    EXPECT_EQ(2.0f, missing.draw(d, "H", {2, 6}, 8, toolkit::rgba(1, 1, 1)));
    EXPECT_EQ(0.0f, d.at(3, 3).r);
}
