#include "bzobj_writer.h"

#include "mesh_files/bzobj.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <zlib.h>

namespace {

const size_t MAX_STRING = 127; // lengths are stored as signed 8-bit values

void put_u32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void put_f32(std::vector<uint8_t>& out, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    put_u32(out, bits);
}

void put_floats(std::vector<uint8_t>& out, const std::vector<float>& values)
{
    for (float v : values)
        put_f32(out, v);
}

bool fail(std::string* error, const std::string& what)
{
    if (error)
        *error = what;
    return false;
}

template <class T>
std::string str(T v)
{
    std::ostringstream s;
    s << v;
    return s.str();
}

bool check_arrays(const cMeshObj_data& mesh, std::string* error)
{
    if (mesh.positions.size() % 3 != 0 || mesh.positions.size() / 3 > 0xFFFFFFFFu)
        return fail(error, "positions do not hold whole vertices");
    const size_t vertices = mesh.positions.size() / 3;
    if ((mesh.flags & MESH_NORMALS) && mesh.normals.size() != 3 * vertices)
        return fail(error, "normals do not match the " + str(vertices) + " vertices");
    if ((mesh.flags & MESH_TEXCOORDS) && mesh.texcoords.size() != 2 * vertices)
        return fail(error, "texture coordinates do not match the " + str(vertices) + " vertices");
    if (mesh.indices.size() % 3 != 0)
        return fail(error, "indices do not hold whole triangles");
    for (uint32_t index : mesh.indices)
        if (index >= vertices)
            return fail(error, "index " + str(index) + " is not below the vertex count " + str(vertices));
    return true;
}

// The triangle at which each stored group starts and the materials to store,
// in the order the reader pairs them with the groups.
bool plan_groups(const cMeshObj_data& mesh, std::vector<size_t>& starts, std::vector<const cMaterial*>& materials,
                 std::string* error)
{
    const std::vector<uint32_t>& g = mesh.groups;
    const size_t index_count = mesh.indices.size();
    if (!g.empty() && (g.front() != 0 || g.back() != index_count))
        return fail(error, "groups do not cover the indices from 0 to " + str(index_count));
    for (size_t i = 0; i + 1 < g.size(); i++) {
        if (g[i] > g[i + 1] || g[i] % 3 != 0)
            return fail(error, "group " + str(i) + " does not start at a triangle");
        if (g[i] == g[i + 1] && (mesh.flags & MESH_GROUPS))
            continue; // empty: dropped with its material
        starts.push_back(g[i] / 3);
        if (i < mesh.materials.size())
            materials.push_back(&mesh.materials[i]);
    }
    if ((mesh.flags & MESH_GROUPS) && index_count > 0 && starts.size() > materials.size())
        return fail(error, str(starts.size()) + " material groups but only " + str(materials.size()) +
                               " materials for them");
    // Materials past the groups still belong to the mesh.
    size_t group_count = g.empty() ? 0 : g.size() - 1;
    for (size_t i = group_count; i < mesh.materials.size(); i++)
        materials.push_back(&mesh.materials[i]);
    if (!(mesh.flags & MESH_GROUPS)) {
        // Not drawn per group: keep every material, in order.
        materials.clear();
        for (const cMaterial& m : mesh.materials)
            materials.push_back(&m);
    }
    return true;
}

bool put_material(std::vector<uint8_t>& out, const cMaterial& m, std::string* error)
{
    const std::string* strings[6] = {&m.name, &m.ambient_map, &m.diffuse_map, &m.specular_map, &m.bump_map,
                                     &m.dissolve_map};
    for (const std::string* s : strings) {
        if (s->size() > MAX_STRING)
            return fail(error, "\"" + *s + "\" is longer than 127 bytes");
        out.push_back(static_cast<uint8_t>(s->size()));
    }
    for (const std::string* s : strings)
        out.insert(out.end(), s->begin(), s->end());
    for (const float* colour : {m.ambient, m.diffuse, m.specular})
        for (int i = 0; i < 4; i++)
            put_f32(out, colour[i]);
    put_f32(out, m.shininess);
    put_u32(out, static_cast<uint32_t>(m.illum));
    put_f32(out, m.alpha);
    put_f32(out, m.optical_density);
    return true;
}

} // namespace

bool bobj_build_payload(const cMeshObj_data& mesh, std::vector<uint8_t>& payload, std::string* error)
{
    payload.clear();
    if (!check_arrays(mesh, error))
        return false;
    std::vector<size_t> starts;
    std::vector<const cMaterial*> materials;
    if (!plan_groups(mesh, starts, materials, error))
        return false;

    const size_t vertices = mesh.positions.size() / 3;
    const size_t triangles = mesh.indices.size() / 3;
    payload.push_back(mesh.flags);
    put_u32(payload, static_cast<uint32_t>(vertices));
    put_u32(payload, static_cast<uint32_t>(triangles));
    put_u32(payload, static_cast<uint32_t>(materials.size()));
    put_floats(payload, mesh.positions);
    if (mesh.flags & MESH_NORMALS)
        put_floats(payload, mesh.normals);
    if (mesh.flags & MESH_TEXCOORDS)
        put_floats(payload, mesh.texcoords);
    for (int c = 0; c < 3; c++) {
        uint32_t previous = 0;
        for (size_t t = 0; t < triangles; t++) {
            uint32_t index = mesh.indices[3 * t + c];
            put_u32(payload, index - previous); // modulo 2^32
            previous = index;
        }
    }
    std::vector<uint32_t> group_start(triangles, 0);
    for (size_t start : starts)
        if (start > 0 && start < triangles)
            group_start[start] = 1;
    for (uint32_t v : group_start)
        put_u32(payload, v);
    for (const cMaterial* m : materials)
        if (!put_material(payload, *m, error))
            return false;
    return true;
}

std::vector<uint8_t> bobj_compress(const std::vector<uint8_t>& payload, int level)
{
    uLongf bound = compressBound(payload.size());
    std::vector<uint8_t> file(BOBJ_FILE_HEADER_BYTES + bound);
    compress2(file.data() + BOBJ_FILE_HEADER_BYTES, &bound, payload.data(), payload.size(), level);
    file.resize(BOBJ_FILE_HEADER_BYTES + bound);
    uint32_t sizes[2] = {static_cast<uint32_t>(payload.size()), static_cast<uint32_t>(bound)};
    std::memcpy(file.data(), sizes, sizeof(sizes));
    return file;
}

bool bobj_write_file(const cMeshObj_data& mesh, const std::string& path, std::string* error)
{
    std::vector<uint8_t> payload;
    if (!bobj_build_payload(mesh, payload, error))
        return false;
    std::vector<uint8_t> file = bobj_compress(payload);
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out)
        return fail(error, "cannot write " + path);
    return true;
}
