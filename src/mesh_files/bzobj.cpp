#include "bzobj.h"

#include "core/resource_path.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>
#include <zlib.h>

#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the compressed mesh reader copies little-endian arrays as they are"
#endif

namespace {

// Deflate cannot expand data by more than this factor (its longest match of
// 258 bytes costs at least two bits); a larger announced size is a lie that
// would only cost memory.
const uint64_t ZLIB_MAX_RATIO = 1032;

// A cursor over the payload. Every read is checked by the caller against
// remaining() first.
struct reader
{
    const uint8_t* data;
    size_t size;
    size_t at;

    size_t remaining() const { return size - at; }
    uint32_t u32()
    {
        uint32_t v;
        std::memcpy(&v, data + at, 4);
        at += 4;
        return v;
    }
    float f32()
    {
        float v;
        std::memcpy(&v, data + at, 4);
        at += 4;
        return v;
    }
    void floats(float* out, size_t count)
    {
        if (count)
            std::memcpy(out, data + at, count * 4);
        at += count * 4;
    }
    std::string text(size_t length)
    {
        std::string s(reinterpret_cast<const char*>(data + at), length);
        at += length;
        return s;
    }
};

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

bool decode_material(reader& in, size_t number, cMaterial_GL& m, std::string* error)
{
    if (in.remaining() < BOBJ_MATERIAL_FIXED_BYTES)
        return fail(error, "material " + str(number) + " needs at least 70 bytes, " + str(in.remaining()) +
                               " remain");
    int8_t lengths[6];
    std::memcpy(lengths, in.data + in.at, 6);
    in.at += 6;
    size_t strings = 0;
    for (int8_t length : lengths) {
        if (length < 0)
            return fail(error, "material " + str(number) + " has a negative string length " + str(int(length)));
        strings += size_t(length);
    }
    if (in.remaining() < strings + BOBJ_MATERIAL_FIXED_BYTES - 6)
        return fail(error, "material " + str(number) + " needs " + str(strings + BOBJ_MATERIAL_FIXED_BYTES - 6) +
                               " more bytes, " + str(in.remaining()) + " remain");
    m.name = in.text(size_t(lengths[0]));
    m.ambient_map = in.text(size_t(lengths[1]));
    m.diffuse_map = in.text(size_t(lengths[2]));
    m.specular_map = in.text(size_t(lengths[3]));
    m.bump_map = in.text(size_t(lengths[4]));
    m.dissolve_map = in.text(size_t(lengths[5]));
    in.floats(m.ambient, 4);
    in.floats(m.diffuse, 4);
    in.floats(m.specular, 4);
    m.shininess = in.f32();
    m.illum = static_cast<int32_t>(in.u32());
    m.alpha = in.f32();
    m.optical_density = in.f32();
    return true;
}

// The corner arrays: three delta-coded arrays of B values, then the group
// starts. Checks every decoded index against the vertex count.
bool decode_triangles(reader& in, uint32_t vertex_count, uint32_t triangle_count, cMeshObj_data& mesh,
                      std::string* error)
{
    const size_t b = triangle_count;
    const uint8_t* corners[3] = {in.data + in.at, in.data + in.at + 4 * b, in.data + in.at + 8 * b};
    const uint8_t* starts = in.data + in.at + 12 * b;
    in.at += 16 * b;

    mesh.indices.resize(3 * b);
    uint32_t* out = mesh.indices.data();
    uint32_t running[3] = {0, 0, 0};
    uint32_t largest = 0;
    for (size_t t = 0; t < b; t++) {
        for (int c = 0; c < 3; c++) {
            uint32_t delta;
            std::memcpy(&delta, corners[c] + 4 * t, 4);
            running[c] += delta; // modulo 2^32; the first value is the index itself
            out[3 * t + c] = running[c];
            largest = running[c] > largest ? running[c] : largest;
        }
    }
    if (b > 0 && largest >= vertex_count) {
        for (size_t i = 0; i < mesh.indices.size(); i++)
            if (mesh.indices[i] >= vertex_count)
                return fail(error, "triangle " + str(i / 3) + " uses vertex " + str(mesh.indices[i]) +
                                       ", not below the vertex count " + str(vertex_count));
    }

    mesh.groups.push_back(0);
    for (size_t t = 1; t < b; t++) {
        uint32_t start;
        std::memcpy(&start, starts + 4 * t, 4);
        if (start != 0)
            mesh.groups.push_back(static_cast<uint32_t>(3 * t));
    }
    mesh.groups.push_back(static_cast<uint32_t>(3 * b));
    return true;
}

} // namespace

bool bobj_decode_payload(const uint8_t* data, size_t size, cMeshObj_data& mesh, std::string* error)
{
    mesh.clear_arrays();
    if (size < BOBJ_PAYLOAD_HEADER_BYTES)
        return fail(error, "payload of " + str(size) + " bytes is shorter than its 13-byte header");
    reader in = {data, size, 0};
    const uint8_t flags = data[0];
    in.at = 1;
    const uint32_t a = in.u32();
    const uint32_t b = in.u32();
    const uint32_t c = in.u32();

    uint64_t per_vertex = 12 + ((flags & MESH_NORMALS) ? 12 : 0) + ((flags & MESH_TEXCOORDS) ? 8 : 0);
    uint64_t arrays = per_vertex * a + 16ull * b;
    if (arrays > in.remaining())
        return fail(error, str(a) + " vertices and " + str(b) + " triangles need " + str(arrays) + " bytes, the payload has " +
                               str(in.remaining()) + " after its header");
    if (uint64_t(c) * BOBJ_MATERIAL_FIXED_BYTES > in.remaining() - arrays)
        return fail(error, str(c) + " materials need at least " + str(uint64_t(c) * BOBJ_MATERIAL_FIXED_BYTES) +
                               " bytes, " + str(in.remaining() - arrays) + " remain");

    mesh.flags = flags;
    mesh.positions.resize(3 * size_t(a));
    in.floats(mesh.positions.data(), 3 * size_t(a));
    if (flags & MESH_NORMALS) {
        mesh.normals.resize(3 * size_t(a));
        in.floats(mesh.normals.data(), 3 * size_t(a));
    }
    if (flags & MESH_TEXCOORDS) {
        mesh.texcoords.resize(2 * size_t(a));
        in.floats(mesh.texcoords.data(), 2 * size_t(a));
    }
    if (!decode_triangles(in, a, b, mesh, error))
        return false;

    mesh.materials.reserve(c);
    for (uint32_t i = 0; i < c; i++) {
        mesh.materials.emplace_back();
        if (!decode_material(in, i, mesh.materials.back(), error))
            return false;
    }
    const size_t group_count = mesh.groups.size() - 1;
    if ((flags & MESH_GROUPS) && b > 0 && group_count > c)
        return fail(error, str(group_count) + " material groups but only " + str(c) + " materials");
    return true;
}

bobj_status bobj_decode_file(const uint8_t* data, size_t size, cMeshObj_data& mesh, std::string* error,
                             int* zlib_code)
{
    if (size < BOBJ_FILE_HEADER_BYTES) {
        fail(error, "file of " + str(size) + " bytes is shorter than its 8-byte header");
        return BOBJ_INVALID;
    }
    uint32_t uncompressed_size, compressed_size;
    std::memcpy(&uncompressed_size, data, 4);
    std::memcpy(&compressed_size, data + 4, 4);
    if (compressed_size > size - BOBJ_FILE_HEADER_BYTES) {
        fail(error, "compressed size " + str(compressed_size) + " is more than the " +
                        str(size - BOBJ_FILE_HEADER_BYTES) + " bytes after the header");
        return BOBJ_INVALID;
    }
    if (uint64_t(uncompressed_size) > uint64_t(compressed_size) * ZLIB_MAX_RATIO + 64) {
        fail(error, "uncompressed size " + str(uncompressed_size) + " is more than zlib can make of " +
                        str(compressed_size) + " bytes");
        return BOBJ_INVALID;
    }

    // Not zero-filled: only the inflated bytes are read.
    std::unique_ptr<uint8_t[]> payload(new uint8_t[uncompressed_size ? uncompressed_size : 1]);
    uLongf inflated = uncompressed_size;
    int result = uncompress(payload.get(), &inflated, data + BOBJ_FILE_HEADER_BYTES, compressed_size);
    if (result != Z_OK) {
        if (zlib_code)
            *zlib_code = result;
        return BOBJ_ZLIB_ERROR;
    }
    // Decode only what was inflated: an announced size larger than the
    // stream leaves the rest of the buffer unfilled.
    return bobj_decode_payload(payload.get(), inflated, mesh, error) ? BOBJ_OK : BOBJ_INVALID;
}

bobj_status bobj_read(std::istream& in, cMeshObj_data& mesh, std::string* error, int* zlib_code)
{
    // The header's compressed size is only a claim: read in steps, so a file
    // that announces more than it holds costs no more memory than it has.
    const size_t STEP = size_t(1) << 16;
    std::vector<uint8_t> bytes(BOBJ_FILE_HEADER_BYTES);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    bytes.resize(size_t(in.gcount()));
    if (bytes.size() == BOBJ_FILE_HEADER_BYTES) {
        uint32_t compressed_size;
        std::memcpy(&compressed_size, bytes.data() + 4, 4);
        size_t left = compressed_size;
        while (left > 0 && in) {
            const size_t at = bytes.size();
            const size_t step = left < STEP ? left : STEP;
            bytes.resize(at + step);
            in.read(reinterpret_cast<char*>(bytes.data() + at), std::streamsize(step));
            bytes.resize(at + size_t(in.gcount()));
            left -= size_t(in.gcount());
        }
    }
    return bobj_decode_file(bytes.data(), bytes.size(), mesh, error, zlib_code);
}

void bobj_load_compressed(cMeshObj* mesh, std::string path)
{
    std::ifstream file;
    // A directory opens as a stream on Linux and reads as endless: treat it
    // as a file that cannot be opened.
    if (platform_file_readable(path))
        file.open(path.c_str(), std::ios::binary);
    if (!file.is_open()) {
        std::cerr << "# ERROR opening file " << path << " in " << "bobj_load_compressed" << std::endl;
        exit(-1);
    }

    std::string error;
    int zlib_code = Z_OK;
    switch (bobj_read(file, *mesh, &error, &zlib_code)) {
    case BOBJ_OK:
        break;
    case BOBJ_ZLIB_ERROR:
        std::cerr << "# warning: zlib caused an error: " << zlib_code << " in \"" << path << "\"" << std::endl;
        exit(1);
    case BOBJ_INVALID:
        std::cerr << "## ERROR: in bobj_load_compressed: \"" << path << "\": " << error << std::endl;
        exit(-1);
    }
    for (cMaterial_GL& m : mesh->materials)
        m.load_textures();
}

iMesh* BzObjLoader::create(std::string name)
{
    cMeshObj* mesh = new cMeshObj;
    std::string path = get_resource_path()->get_fullpath(name);
    if (path.empty())
        std::cerr << "# ERROR - couldn't find " << name << " from BzObjLoader::create" << std::endl;
    bobj_load_compressed(mesh, path);
    return mesh;
}
