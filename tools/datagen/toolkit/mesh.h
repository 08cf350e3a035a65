// The toolkit's mesh builder: indexed triangles with normals, texture
// coordinates and a material per triangle, built from primitives (boxes,
// spheres, cylinders and cones, tori, tubes along curves and torus knots,
// lathes, extrusions, stroke-font text), transformed and merged, and written
// as a compressed mesh (.bzobj) through the show's own writer.
//
// Primitives come without a material; appending them into a mesh gives their
// triangles the mesh's current material (use_material). Written files hold
// one material group per material, in the order the materials were added.
#pragma once

#include "toolkit/math.h"

#include "mesh_files/material.h"
#include "mesh_files/mesh.h"

#include <cstdint>
#include <string>
#include <vector>

class DataContext;

namespace toolkit {

// Materials as the show's loader resolves them: a diffuse map is drawn
// clamped; a dissolve map alone is drawn as the diffuse texture, repeated
// (the only repeating material texture). Map files need power-of-two sides.
cMaterial material_colour(const std::string& name, Vec3 diffuse, Vec3 specular = {0, 0, 0}, float shininess = 0);
// Unlit (illum 0): the diffuse colour shows as it is.
cMaterial material_unlit(const std::string& name, Vec3 colour);
cMaterial material_clamped_map(const std::string& name, const std::string& map, Vec3 tint = {1, 1, 1});
cMaterial material_repeated_map(const std::string& name, const std::string& map, Vec3 tint = {1, 1, 1});

struct Bounds
{
    Vec3 min, max;
    Vec3 size() const { return max - min; }
    Vec3 centre() const { return (min + max) * 0.5f; }
};

class Mesh
{
public:
    struct Vertex
    {
        Vec3 position, normal;
        Vec2 uv;
    };

    // --- building ---
    uint32_t add_vertex(Vec3 position, Vec3 normal, Vec2 uv);
    // Counter-clockwise seen from the front.
    void add_triangle(uint32_t a, uint32_t b, uint32_t c);
    void add_quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d);

    // Adds the material (or finds one of the same name) and makes it
    // current; returns its index.
    int use_material(const cMaterial& material);
    // Appends other moved by transform; its materials join this mesh's by
    // name, and its triangles without a material take the current one.
    void append(const Mesh& other, const Mat4& transform = Mat4());

    // --- changing ---
    void transform(const Mat4& m);
    // Normals averaged over the triangles around each position (area
    // weighted), across texture seams, but not across edges sharper than
    // crease_degrees.
    void smooth_normals(float crease_degrees = 180.0f);
    // Every triangle gets vertices of its own with its face normal.
    void flat_normals();
    // Flips the triangles' winding and the normals.
    void flip();
    // Texture coordinates times scale plus offset.
    void scale_uv(Vec2 scale, Vec2 offset = {0, 0});

    // --- reading ---
    size_t vertex_count() const { return vertices.size(); }
    size_t triangle_count() const { return triangles.size() / 3; }
    const std::vector<Vertex>& get_vertices() const { return vertices; }
    const std::vector<uint32_t>& get_triangles() const { return triangles; }
    const std::vector<cMaterial>& get_materials() const { return materials; }
    Bounds bounds() const;

    // The arrays the show's writer stores: triangles sorted by material into
    // groups (drawn per group) or, without materials, one batch.
    cMeshObj_data to_data() const;
    // Writes relative_path (".bzobj") in the data tree. False (with a
    // message) when the mesh cannot be stored.
    bool write(DataContext& data, const std::string& relative_path) const;

private:
    std::vector<Vertex> vertices;
    std::vector<uint32_t> triangles;           // 3 indices per triangle
    std::vector<int> triangle_material;        // per triangle; -1: none yet
    std::vector<cMaterial> materials;
    int current_material = -1;
};

// --- primitives (centred on the origin unless said otherwise; y is up) ---

// A box of the given size; texture coordinates 0..1 on every face.
Mesh box(Vec3 size);
// The same box with its faces split into grids, for a renderer that lights
// at the vertices: x_steps, y_steps and z_steps cells along x, y and z. The
// faces that meet at an edge share its points, so no crack opens along it.
// The face whose outward normal is `without` (if any) is left out.
Mesh box_in_steps(Vec3 size, int x_steps, int y_steps, int z_steps, Vec3 without = {0, 0, 0});
// The box in steps with every face a grid of cells at most `cell` on a side.
Mesh box_in_cells(Vec3 size, float cell);
// u around (0 at +x, counter-clockwise seen from +y), v from the bottom pole.
Mesh sphere(float radius, int slices, int stacks);
// Along y from 0 to height; a cone when top_radius is 0. Caps where the
// radius is not 0 and caps is set.
Mesh cylinder(float bottom_radius, float top_radius, float height, int slices, bool caps = true);
// In the xz plane around y: ring radius major, tube radius minor.
Mesh torus(float major, float minor, int rings, int sides);
// A tube of radius along a polyline (closed: the last point joins the
// first). u runs along the strand (u_per_unit per unit of length), v around.
Mesh tube(const std::vector<Vec3>& path, bool closed, float radius, int sides, float u_per_unit = 1.0f);
// The (p, q) torus knot's centre line: it winds p times around the y axis
// and q times through the hole, on a torus of radii major and minor.
std::vector<Vec3> torus_knot_curve(int p, int q, float major, float minor, int points);
Mesh torus_knot(int p, int q, float major, float minor, float tube_radius, int points, int sides,
                float u_per_unit = 1.0f);
// Profile points (radius, height) turned around y; u around, v along the
// profile.
Mesh lathe(const std::vector<Vec2>& profile, int slices);
// A simple polygon (counter-clockwise, in the xy plane) extruded from z = 0
// to z = depth, with front (z = depth) and back caps.
Mesh extrude(const std::vector<Vec2>& outline, float depth);

// Letters of the toolkit's stroke font (toolkit/font.h) as bars of the
// given width and depth; height is the capital height. The text starts at
// x = 0 on the baseline y = 0, facing +z, from z = 0 to depth.
Mesh text(const std::string& s, float height, float stroke_width, float depth);

// Triangulates a simple polygon (ear clipping): triangles as indices into
// the outline, counter-clockwise.
std::vector<uint32_t> triangulate(const std::vector<Vec2>& outline);

} // namespace toolkit
