#include "toolkit/mesh.h"

#include "generator.h"
#include "toolkit/font.h"

#include "mesh_files/bzobj_writer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

namespace toolkit {

// --- materials ---------------------------------------------------------------

static void set_rgb(float out[4], Vec3 c, float a = 1.0f)
{
    out[0] = c.x;
    out[1] = c.y;
    out[2] = c.z;
    out[3] = a;
}

cMaterial material_colour(const std::string& name, Vec3 diffuse, Vec3 specular, float shininess)
{
    cMaterial m(name);
    set_rgb(m.ambient, diffuse * 0.2f);
    set_rgb(m.diffuse, diffuse);
    set_rgb(m.specular, specular);
    m.shininess = shininess;
    m.illum = 2;
    return m;
}

cMaterial material_unlit(const std::string& name, Vec3 colour)
{
    cMaterial m = material_colour(name, colour);
    m.illum = 0;
    return m;
}

cMaterial material_clamped_map(const std::string& name, const std::string& map, Vec3 tint)
{
    cMaterial m = material_colour(name, tint);
    m.diffuse_map = map;
    return m;
}

cMaterial material_repeated_map(const std::string& name, const std::string& map, Vec3 tint)
{
    cMaterial m = material_colour(name, tint);
    m.dissolve_map = map; // alone, it becomes the diffuse texture with GL_REPEAT
    return m;
}

// --- building ----------------------------------------------------------------

uint32_t Mesh::add_vertex(Vec3 position, Vec3 normal, Vec2 uv)
{
    vertices.push_back({position, normal, uv});
    return uint32_t(vertices.size() - 1);
}

static Vec3 face_normal(const Vec3& a, const Vec3& b, const Vec3& c)
{
    return cross(b - a, c - a); // length: twice the area
}

void Mesh::add_triangle(uint32_t a, uint32_t b, uint32_t c)
{
    assert(a < vertices.size() && b < vertices.size() && c < vertices.size() && "triangle past the vertices");
    // Zero-area triangles (at poles and cone tips) draw nothing: leave them out.
    Vec3 n = face_normal(vertices[a].position, vertices[b].position, vertices[c].position);
    if (dot(n, n) <= 1e-20f)
        return;
    triangles.insert(triangles.end(), {a, b, c});
    triangle_material.push_back(current_material);
}

void Mesh::add_quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    add_triangle(a, b, c);
    add_triangle(a, c, d);
}

int Mesh::use_material(const cMaterial& material)
{
    for (size_t i = 0; i < materials.size(); ++i)
        if (materials[i].name == material.name) {
            current_material = int(i);
            return current_material;
        }
    materials.push_back(material);
    current_material = int(materials.size() - 1);
    return current_material;
}

void Mesh::append(const Mesh& other, const Mat4& m)
{
    const uint32_t base = uint32_t(vertices.size());
    for (const Vertex& v : other.vertices)
        vertices.push_back({m.point(v.position), m.normal(v.normal), v.uv});
    // A mirroring transform turns the triangles inside out: swap two corners.
    Vec3 c0{m.m[0][0], m.m[1][0], m.m[2][0]}, c1{m.m[0][1], m.m[1][1], m.m[2][1]}, c2{m.m[0][2], m.m[1][2], m.m[2][2]};
    const bool mirrored = dot(c0, cross(c1, c2)) < 0;

    std::vector<int> material_map;
    const int keep_current = current_material;
    for (const cMaterial& mat : other.materials)
        material_map.push_back(use_material(mat));
    current_material = keep_current;

    for (size_t t = 0; t < other.triangle_count(); ++t) {
        uint32_t a = other.triangles[3 * t] + base, b = other.triangles[3 * t + 1] + base,
                 c = other.triangles[3 * t + 2] + base;
        if (mirrored)
            std::swap(b, c);
        triangles.insert(triangles.end(), {a, b, c});
        int mat = other.triangle_material[t];
        triangle_material.push_back(mat < 0 ? current_material : material_map[size_t(mat)]);
    }
}

// --- changing ----------------------------------------------------------------

void Mesh::transform(const Mat4& m)
{
    Mesh moved;
    moved.materials = materials;
    moved.current_material = current_material;
    std::swap(*this, moved);
    // Appending keeps the material indices (same list) and handles mirrors;
    // triangles without a material stay without one.
    current_material = -1;
    append(moved, m);
    current_material = moved.current_material;
}

// The angle of triangle t at its corner k (radians).
static float corner_angle(const std::vector<Mesh::Vertex>& v, const std::vector<uint32_t>& tri, size_t t, int k)
{
    Vec3 p = v[tri[3 * t + size_t(k)]].position;
    Vec3 a = v[tri[3 * t + size_t((k + 1) % 3)]].position - p, b = v[tri[3 * t + size_t((k + 2) % 3)]].position - p;
    return std::atan2(length(cross(a, b)), dot(a, b));
}

void Mesh::smooth_normals(float crease_degrees)
{
    const float min_cos = std::cos(std::min(crease_degrees, 180.0f) * PI / 180.0f) - 1e-5f;
    std::vector<Vec3> faces(triangle_count());
    for (size_t t = 0; t < faces.size(); ++t)
        faces[t] = normalize(face_normal(vertices[triangles[3 * t]].position, vertices[triangles[3 * t + 1]].position,
                                         vertices[triangles[3 * t + 2]].position));
    // Each vertex's faces weighted by their angle at it (a box corner gets
    // its diagonal however its faces are split), and vertices sharing a
    // position.
    struct Corner
    {
        uint32_t face;
        float angle;
    };
    std::vector<std::vector<Corner>> corners_of(vertices.size());
    for (size_t i = 0; i < triangles.size(); ++i)
        corners_of[triangles[i]].push_back({uint32_t(i / 3), corner_angle(vertices, triangles, i / 3, int(i % 3))});
    std::map<std::array<uint32_t, 3>, std::vector<uint32_t>> same_position;
    for (size_t v = 0; v < vertices.size(); ++v) {
        std::array<uint32_t, 3> key;
        std::memcpy(key.data(), &vertices[v].position, sizeof(key));
        same_position[key].push_back(uint32_t(v));
    }
    std::vector<Vec3> result(vertices.size());
    for (const auto& entry : same_position)
        for (uint32_t v : entry.second) {
            Vec3 own;
            for (const Corner& c : corners_of[v])
                own += faces[c.face] * c.angle;
            Vec3 reference = normalize(own, vertices[v].normal);
            Vec3 sum;
            for (uint32_t w : entry.second)
                for (const Corner& c : corners_of[w])
                    if (dot(faces[c.face], reference) >= min_cos)
                        sum += faces[c.face] * c.angle;
            result[v] = normalize(sum, reference);
        }
    for (size_t v = 0; v < vertices.size(); ++v)
        if (!corners_of[v].empty())
            vertices[v].normal = result[v];
}

void Mesh::flat_normals()
{
    std::vector<Vertex> split;
    split.reserve(triangles.size());
    for (size_t t = 0; t < triangle_count(); ++t) {
        const Vertex* corner[3] = {&vertices[triangles[3 * t]], &vertices[triangles[3 * t + 1]],
                                   &vertices[triangles[3 * t + 2]]};
        Vec3 n = normalize(face_normal(corner[0]->position, corner[1]->position, corner[2]->position),
                           corner[0]->normal);
        for (int k = 0; k < 3; ++k) {
            split.push_back({corner[k]->position, n, corner[k]->uv});
            triangles[3 * t + k] = uint32_t(split.size() - 1);
        }
    }
    vertices.swap(split);
}

void Mesh::flip()
{
    for (size_t t = 0; t < triangle_count(); ++t)
        std::swap(triangles[3 * t + 1], triangles[3 * t + 2]);
    for (Vertex& v : vertices)
        v.normal = -v.normal;
}

void Mesh::scale_uv(Vec2 scale, Vec2 offset)
{
    for (Vertex& v : vertices)
        v.uv = {v.uv.x * scale.x + offset.x, v.uv.y * scale.y + offset.y};
}

// --- reading -----------------------------------------------------------------

Bounds Mesh::bounds() const
{
    if (vertices.empty())
        return {};
    Bounds b{vertices[0].position, vertices[0].position};
    for (const Vertex& v : vertices) {
        b.min = {std::min(b.min.x, v.position.x), std::min(b.min.y, v.position.y), std::min(b.min.z, v.position.z)};
        b.max = {std::max(b.max.x, v.position.x), std::max(b.max.y, v.position.y), std::max(b.max.z, v.position.z)};
    }
    return b;
}

cMeshObj_data Mesh::to_data() const
{
    cMeshObj_data out;
    out.flags = MESH_TEXCOORDS | MESH_NORMALS;
    for (const Vertex& v : vertices) {
        out.positions.insert(out.positions.end(), {v.position.x, v.position.y, v.position.z});
        out.normals.insert(out.normals.end(), {v.normal.x, v.normal.y, v.normal.z});
        out.texcoords.insert(out.texcoords.end(), {v.uv.x, v.uv.y});
    }
    if (materials.empty()) {
        out.indices = triangles;
        out.groups = {0, uint32_t(triangles.size())};
        return out;
    }
    // Triangles without a material (none was current) take the first one.
    out.flags |= MESH_GROUPS;
    std::vector<std::vector<uint32_t>> per_material(materials.size());
    for (size_t t = 0; t < triangle_count(); ++t) {
        int mat = std::max(triangle_material[t], 0);
        per_material[size_t(mat)].insert(per_material[size_t(mat)].end(), triangles.begin() + 3 * t,
                                         triangles.begin() + 3 * t + 3);
    }
    out.groups.push_back(0);
    for (size_t i = 0; i < materials.size(); ++i) {
        if (per_material[i].empty())
            continue; // a group cannot be empty in the file: drop the unused material
        out.indices.insert(out.indices.end(), per_material[i].begin(), per_material[i].end());
        out.groups.push_back(uint32_t(out.indices.size()));
        out.materials.emplace_back(materials[i]);
    }
    if (out.materials.empty()) { // materials but no triangles
        out.groups = {0, 0};
        out.materials.emplace_back(materials[0]);
    }
    return out;
}

bool Mesh::write(DataContext& data, const std::string& relative_path) const
{
    std::vector<uint8_t> payload;
    std::string error;
    if (!bobj_build_payload(to_data(), payload, &error)) {
        std::fprintf(stderr, "## ERROR: datagen cannot store %s: %s\n", relative_path.c_str(), error.c_str());
        return false;
    }
    return data.write_file(relative_path, bobj_compress(payload));
}

// --- primitives --------------------------------------------------------------

namespace {

struct BoxFace
{
    Vec3 n, u, v; // u x v = n
};
const BoxFace BOX_FACES[6] = {
    {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
    {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
    {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
};

float& component(Vec3& v, int axis)
{
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

float component(const Vec3& v, int axis)
{
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

int axis_of(const Vec3& unit)
{
    return unit.x != 0 ? 0 : unit.y != 0 ? 1 : 2;
}

} // namespace

Mesh box(Vec3 size)
{
    const Vec3 half = size * 0.5f;
    Mesh mesh;
    for (const BoxFace& f : BOX_FACES) {
        uint32_t first = uint32_t(mesh.vertex_count());
        for (Vec2 corner : {Vec2{0, 0}, Vec2{1, 0}, Vec2{1, 1}, Vec2{0, 1}}) {
            Vec3 p = f.n + f.u * (corner.x * 2 - 1) + f.v * (corner.y * 2 - 1);
            mesh.add_vertex({p.x * half.x, p.y * half.y, p.z * half.z}, f.n, corner);
        }
        mesh.add_quad(first, first + 1, first + 2, first + 3);
    }
    return mesh;
}

// A grid of (columns + 1) x (rows + 1) vertices from at(i, j), joined in
// quads whose front is the side (du x dv).
template <class At>
static Mesh grid(int columns, int rows, At at)
{
    Mesh mesh;
    for (int j = 0; j <= rows; ++j)
        for (int i = 0; i <= columns; ++i) {
            Mesh::Vertex v = at(i, j);
            mesh.add_vertex(v.position, v.normal, v.uv);
        }
    const uint32_t stride = uint32_t(columns + 1);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            uint32_t a = uint32_t(j) * stride + uint32_t(i);
            mesh.add_quad(a, a + 1, a + 1 + stride, a + stride);
        }
    return mesh;
}

Mesh box_in_steps(Vec3 size, int x_steps, int y_steps, int z_steps, Vec3 without)
{
    const int steps[3] = {x_steps, y_steps, z_steps};
    // Every face takes a point's coordinates from the same lattice, so the
    // faces meeting at an edge share its points exactly.
    const auto lattice = [&](int axis, int i) {
        return component(size, axis) * (float(i) / float(steps[axis]) - 0.5f);
    };
    Mesh mesh;
    for (const BoxFace& f : BOX_FACES) {
        if (dot(f.n, without) > 0.5f)
            continue;
        const int au = axis_of(f.u), av = axis_of(f.v), an = axis_of(f.n);
        const int nu = steps[au], nv = steps[av];
        mesh.append(grid(nu, nv, [&](int i, int j) {
            Mesh::Vertex v;
            component(v.position, au) = lattice(au, component(f.u, au) > 0 ? i : nu - i);
            component(v.position, av) = lattice(av, component(f.v, av) > 0 ? j : nv - j);
            component(v.position, an) = lattice(an, component(f.n, an) > 0 ? steps[an] : 0);
            v.normal = f.n;
            v.uv = {float(i) / float(nu), float(j) / float(nv)};
            return v;
        }));
    }
    return mesh;
}

Mesh box_in_cells(Vec3 size, float cell)
{
    int steps[3];
    for (int axis = 0; axis < 3; ++axis)
        steps[axis] = std::max(1, int(std::ceil(component(size, axis) / cell - 1e-4f)));
    return box_in_steps(size, steps[0], steps[1], steps[2]);
}

// The unit direction at angle around y: 0 at +x, counter-clockwise seen from +y.
static Vec3 around_y(float angle)
{
    return {std::cos(angle), 0, -std::sin(angle)};
}

Mesh sphere(float radius, int slices, int stacks)
{
    assert(slices >= 3 && stacks >= 2 && "a sphere needs 3 slices and 2 stacks");
    return grid(slices, stacks, [&](int i, int j) {
        float u = float(i) / float(slices), v = float(j) / float(stacks);
        float phi = -PI / 2 + PI * v;
        Vec3 n = around_y(2 * PI * u) * std::cos(phi) + Vec3{0, std::sin(phi), 0};
        if (j == 0 || j == stacks)
            n = {0, j == 0 ? -1.0f : 1.0f, 0}; // exact poles
        return Mesh::Vertex{n * radius, n, {u, v}};
    });
}

static void add_cap(Mesh& mesh, float radius, float y, int slices, bool up)
{
    const Vec3 n{0, up ? 1.0f : -1.0f, 0};
    uint32_t centre = mesh.add_vertex({0, y, 0}, n, {0.5f, 0.5f});
    for (int i = 0; i < slices; ++i) {
        float a = 2 * PI * float(i) / float(slices);
        mesh.add_vertex(around_y(a) * radius + Vec3{0, y, 0}, n, {0.5f + 0.5f * std::cos(a), 0.5f + 0.5f * std::sin(a)});
    }
    for (int i = 0; i < slices; ++i) {
        uint32_t a = centre + 1 + uint32_t(i), b = centre + 1 + uint32_t((i + 1) % slices);
        if (up)
            mesh.add_triangle(centre, a, b);
        else
            mesh.add_triangle(centre, b, a);
    }
}

Mesh cylinder(float bottom_radius, float top_radius, float height, int slices, bool caps)
{
    assert(slices >= 3 && height > 0 && "a cylinder needs 3 slices and a height");
    // The side's normal leans by the slope of the radius.
    const float lean = (bottom_radius - top_radius) / height;
    Mesh mesh = grid(slices, 1, [&](int i, int j) {
        float u = float(i) / float(slices);
        Vec3 d = around_y(2 * PI * u);
        float r = j == 0 ? bottom_radius : top_radius;
        return Mesh::Vertex{d * r + Vec3{0, j * height, 0}, normalize(d + Vec3{0, lean, 0}), {u, float(j)}};
    });
    if (caps && bottom_radius > 0)
        add_cap(mesh, bottom_radius, 0, slices, false);
    if (caps && top_radius > 0)
        add_cap(mesh, top_radius, height, slices, true);
    return mesh;
}

Mesh torus(float major, float minor, int rings, int sides)
{
    return grid(rings, sides, [&](int i, int j) {
        float u = float(i) / float(rings), v = float(j) / float(sides);
        Vec3 d = around_y(2 * PI * u);
        Vec3 n = d * std::cos(2 * PI * v) + Vec3{0, std::sin(2 * PI * v), 0};
        return Mesh::Vertex{d * major + n * minor, n, {u, v}};
    });
}

// Frames along the path transported without twist; a closed path spreads
// the leftover twist over its length so the tube joins.
static std::vector<Vec3> transported_normals(const std::vector<Vec3>& tangents, bool closed)
{
    std::vector<Vec3> normals(tangents.size());
    Vec3 t0 = tangents[0];
    Vec3 seed = std::fabs(t0.y) < 0.9f ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
    normals[0] = normalize(seed - t0 * dot(seed, t0));
    for (size_t k = 1; k < tangents.size(); ++k) {
        Vec3 n = normals[k - 1];
        normals[k] = normalize(n - tangents[k] * dot(n, tangents[k]), normals[k - 1]);
    }
    if (closed) {
        // Angle from the first frame to the transported last one, about t0.
        Vec3 last = normalize(normals.back() - t0 * dot(normals.back(), t0));
        float twist = std::atan2(dot(cross(normals[0], last), t0), dot(normals[0], last));
        for (size_t k = 0; k < tangents.size(); ++k) {
            float a = -twist * float(k) / float(tangents.size());
            Vec3 n = normals[k], b = cross(tangents[k], n);
            normals[k] = normalize(n * std::cos(a) + b * std::sin(a));
        }
    }
    return normals;
}

Mesh tube(const std::vector<Vec3>& path, bool closed, float radius, int sides, float u_per_unit)
{
    assert(path.size() >= 2 && sides >= 3 && "a tube needs two points and three sides");
    const size_t n = path.size();
    std::vector<Vec3> tangents(n);
    for (size_t k = 0; k < n; ++k) {
        Vec3 next = closed ? path[(k + 1) % n] : path[std::min(k + 1, n - 1)];
        Vec3 prev = closed ? path[(k + n - 1) % n] : path[k == 0 ? 0 : k - 1];
        tangents[k] = normalize(next - prev, {1, 0, 0});
    }
    std::vector<Vec3> normals = transported_normals(tangents, closed);
    // The ring count along: a closed tube repeats its first ring at the end
    // (same place, texture coordinate at the full length).
    const size_t rings = closed ? n + 1 : n;
    std::vector<float> along(rings, 0.0f);
    for (size_t k = 1; k < rings; ++k)
        along[k] = along[k - 1] + length(path[k % n] - path[k - 1]);
    return grid(sides, int(rings - 1), [&](int i, int j) {
        size_t k = size_t(j) % n;
        float v = float(i) / float(sides), a = 2 * PI * v;
        // Turning from the normal towards t x n, so that the grid's front
        // (around x along) faces outward.
        Vec3 side = cross(tangents[k], normals[k]);
        Vec3 nrm = normals[k] * std::cos(a) + side * std::sin(a);
        return Mesh::Vertex{path[k] + nrm * radius, nrm, {along[size_t(j)] * u_per_unit, v}};
    });
}

std::vector<Vec3> torus_knot_curve(int p, int q, float major, float minor, int points)
{
    std::vector<Vec3> curve;
    for (int k = 0; k < points; ++k) {
        float s = 2 * PI * float(k) / float(points);
        float r = major + minor * std::cos(float(q) * s);
        curve.push_back(around_y(float(p) * s) * r + Vec3{0, minor * std::sin(float(q) * s), 0});
    }
    return curve;
}

Mesh torus_knot(int p, int q, float major, float minor, float tube_radius, int points, int sides, float u_per_unit)
{
    return tube(torus_knot_curve(p, q, major, minor, points), true, tube_radius, sides, u_per_unit);
}

Mesh lathe(const std::vector<Vec2>& profile, int slices)
{
    assert(profile.size() >= 2 && slices >= 3 && "a lathe needs two profile points and three slices");
    const size_t n = profile.size();
    std::vector<float> along(n, 0.0f);
    for (size_t k = 1; k < n; ++k)
        along[k] = along[k - 1] + std::hypot(profile[k].x - profile[k - 1].x, profile[k].y - profile[k - 1].y);
    const float total = along.back() > 0 ? along.back() : 1.0f;
    return grid(slices, int(n - 1), [&](int i, int j) {
        size_t k = size_t(j);
        Vec2 d = profile[std::min(k + 1, n - 1)] - profile[k == 0 ? 0 : k - 1];
        float u = float(i) / float(slices);
        Vec3 dir = around_y(2 * PI * u);
        // Profile running upwards: the outward side is to its right.
        Vec3 nrm = normalize(dir * d.y + Vec3{0, -d.x, 0}, dir);
        return Mesh::Vertex{dir * profile[k].x + Vec3{0, profile[k].y, 0}, nrm, {u, along[k] / total}};
    });
}

static float cross2(Vec2 a, Vec2 b) { return a.x * b.y - a.y * b.x; }

static bool inside_triangle(Vec2 p, Vec2 a, Vec2 b, Vec2 c)
{
    return cross2(b - a, p - a) >= 0 && cross2(c - b, p - b) >= 0 && cross2(a - c, p - c) >= 0;
}

std::vector<uint32_t> triangulate(const std::vector<Vec2>& outline)
{
    std::vector<uint32_t> left(outline.size()), out;
    for (size_t i = 0; i < left.size(); ++i)
        left[i] = uint32_t(i);
    size_t misses = 0;
    for (size_t i = 0; left.size() > 3 && misses < left.size();) {
        const size_t m = left.size();
        uint32_t a = left[(i + m - 1) % m], b = left[i % m], c = left[(i + 1) % m];
        bool ear = cross2(outline[b] - outline[a], outline[c] - outline[b]) > 0;
        for (size_t k = 0; ear && k < m; ++k) {
            uint32_t o = left[k];
            if (o != a && o != b && o != c && inside_triangle(outline[o], outline[a], outline[b], outline[c]))
                ear = false;
        }
        if (ear) {
            out.insert(out.end(), {a, b, c});
            left.erase(left.begin() + long(i % m));
            misses = 0;
        } else {
            ++i;
            ++misses;
        }
        i %= left.size();
    }
    if (left.size() == 3)
        out.insert(out.end(), {left[0], left[1], left[2]});
    return out;
}

Mesh extrude(const std::vector<Vec2>& outline, float depth)
{
    assert(outline.size() >= 3 && "an outline needs three points");
    Vec2 lo = outline[0], hi = outline[0];
    float perimeter = 0;
    for (size_t i = 0; i < outline.size(); ++i) {
        lo = {std::min(lo.x, outline[i].x), std::min(lo.y, outline[i].y)};
        hi = {std::max(hi.x, outline[i].x), std::max(hi.y, outline[i].y)};
        Vec2 d = outline[(i + 1) % outline.size()] - outline[i];
        perimeter += std::hypot(d.x, d.y);
    }
    auto cap_uv = [&](Vec2 p) {
        return Vec2{(p.x - lo.x) / std::max(hi.x - lo.x, 1e-6f), (p.y - lo.y) / std::max(hi.y - lo.y, 1e-6f)};
    };
    Mesh mesh;
    const std::vector<uint32_t> cap = triangulate(outline);
    for (int side = 0; side < 2; ++side) {
        const float z = side == 0 ? depth : 0.0f;
        const uint32_t first = uint32_t(mesh.vertex_count());
        for (Vec2 p : outline)
            mesh.add_vertex({p.x, p.y, z}, {0, 0, side == 0 ? 1.0f : -1.0f}, cap_uv(p));
        for (size_t t = 0; t + 2 < cap.size(); t += 3)
            if (side == 0)
                mesh.add_triangle(first + cap[t], first + cap[t + 1], first + cap[t + 2]);
            else
                mesh.add_triangle(first + cap[t], first + cap[t + 2], first + cap[t + 1]);
    }
    float along = 0;
    for (size_t i = 0; i < outline.size(); ++i) {
        Vec2 a = outline[i], b = outline[(i + 1) % outline.size()];
        float len = std::hypot(b.x - a.x, b.y - a.y);
        Vec3 n = normalize({b.y - a.y, a.x - b.x, 0}, {1, 0, 0});
        float u0 = along / perimeter, u1 = (along + len) / perimeter;
        uint32_t first = mesh.add_vertex({a.x, a.y, 0}, n, {u0, 0});
        mesh.add_vertex({b.x, b.y, 0}, n, {u1, 0});
        mesh.add_vertex({b.x, b.y, depth}, n, {u1, 1});
        mesh.add_vertex({a.x, a.y, depth}, n, {u0, 1});
        mesh.add_quad(first, first + 1, first + 2, first + 3);
        along += len;
    }
    return mesh;
}

Mesh text(const std::string& s, float height, float stroke_width, float depth)
{
    const float unit = height / FONT_CAP_HEIGHT;
    const float half = stroke_width * 0.5f;
    // An octagon with flat sides facing x and y, half a stroke from its
    // centre: a joint where bars meet, and a letter's extent is its strokes'
    // plus half a stroke.
    std::vector<Vec2> octagon;
    for (int k = 0; k < 8; ++k) {
        float a = (22.5f + 45.0f * float(k)) * PI / 180.0f;
        octagon.push_back(Vec2{std::cos(a), std::sin(a)} * (half / std::cos(22.5f * PI / 180.0f)));
    }
    const Mesh joint = extrude(octagon, depth);
    std::vector<std::pair<float, float>> joints;
    Mesh mesh;
    for (const StrokeSegment& seg : font_segments(s)) {
        Vec2 a = seg.a * unit, b = seg.b * unit;
        Vec2 d = b - a;
        float len = std::hypot(d.x, d.y);
        Vec2 side = len > 0 ? Vec2{-d.y, d.x} * (half / len) : Vec2{0, half};
        mesh.append(extrude({a - side, b - side, b + side, a + side}, depth));
        for (Vec2 p : {a, b})
            if (std::find(joints.begin(), joints.end(), std::make_pair(p.x, p.y)) == joints.end()) {
                joints.push_back({p.x, p.y});
                mesh.append(joint, Mat4::translate({p.x, p.y, 0}));
            }
    }
    return mesh;
}

} // namespace toolkit
