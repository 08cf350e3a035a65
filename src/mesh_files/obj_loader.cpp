#include "obj_loader.h"

#include "core/resource_path.h"
#include "platform/platform.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <tuple>

namespace {

// The line buffer of the OBJ reader: at most 127 characters a line.
const int OBJ_LINE_BUFFER = 128;
const char* const DELIMITERS = " \t\n\r";
// Face corners split on these; '\r' keeps a line end of a CRLF file out of
// the last corner.
const char* const CORNER_DELIMITERS = " \n\t\r";
// "No index" in a corner key: no texture coordinates, no normal.
const uint32_t NO_INDEX = 0xFFFFFFFFu;

const int PART_VERTEX = 1, PART_TEXCOORD = 2, PART_NORMAL = 4;

// Appends the numbers of the rest of the line to list, at most keep of them,
// padded with pad up to keep; returns how many the line gave.
int append_numbers(std::vector<float>& list, size_t keep, float pad)
{
    size_t given = 0;
    for (const char* token = std::strtok(nullptr, DELIMITERS); token; token = std::strtok(nullptr, DELIMITERS)) {
        if (given < keep)
            list.push_back(static_cast<float>(std::strtod(token, nullptr)));
        given++;
    }
    for (size_t i = given; i < keep; i++)
        list.push_back(pad);
    return static_cast<int>(given);
}

enum index_result
{
    INDEX_ABSENT,
    INDEX_OK,
    INDEX_BAD,
};

// Reads one corner part: a one-based index, or a negative one counted back
// from the end of the list as it stands (-1 is the last element). Stores the
// zero-based index in out.
index_result read_index(const char* part, size_t list_size, uint32_t* out, long long* raw)
{
    bool negative = part[0] == '-';
    const char* digits = negative ? part + 1 : part;
    if (!std::isdigit(static_cast<unsigned char>(digits[0])))
        return INDEX_ABSENT;
    unsigned long long value = std::strtoull(digits, nullptr, 10);
    *raw = negative ? -static_cast<long long>(std::min(value, 1ull << 62)) : static_cast<long long>(std::min(value, 1ull << 62));
    if (value == 0 || value > list_size)
        return INDEX_BAD;
    *out = static_cast<uint32_t>(negative ? list_size - value : value - 1);
    return INDEX_OK;
}

} // namespace

void cObjLoader::load_file(std::string file_name)
{
    std::string full_path = get_resource_path()->get_fullpath(file_name);
    if (full_path.empty()) {
        std::cerr << "## ERROR in " << __FILE__ << " line " << __LINE__ << ": file was not found in path: " << file_name
                  << std::endl;
        exit(-1);
    }
    std::cout << "-\ncObjLoader::load_file parsing " << full_path << " ..." << std::endl;
    size_t separator = full_path.find_last_of("/\\");
    if (separator == std::string::npos) {
        std::cerr << "# WARNING in " << __FILE__ << ", line " << __LINE__ << ": Can't find full path! .mtl might not load!"
                  << std::endl;
    }

    std::ifstream in;
    // A directory opens as a stream on Linux and reads as empty: it is a file
    // that cannot be opened.
    if (platform_file_readable(full_path))
        in.open(full_path.c_str());
    if (!in.is_open()) {
        std::cout << "File not found: \"" << full_path << " in cObjLoader::load_file(..)" << std::endl;
        exit(-1);
    }
    if (!parse(in, full_path))
        exit(-1);
    std::cout << "done reading obj.\n-" << std::endl;
}

bool cObjLoader::parse(std::istream& in, const std::string& path)
{
    size_t separator = path.find_last_of("/\\");
    directory = separator == std::string::npos ? "" : path.substr(0, separator + 1);
    vertices.clear();
    normals.clear();
    texcoords.clear();
    faces.clear();
    materials.clear();
    flags = 0;
    current_material = -1;

    char line[OBJ_LINE_BUFFER];
    for (int number = 1;; number++) {
        if (!in.getline(line, OBJ_LINE_BUFFER)) {
            if (in.fail() && !in.eof() && in.gcount() == OBJ_LINE_BUFFER - 1)
                std::cerr << "# WARNING: line " << number << " of \"" << path << "\" is longer than "
                          << OBJ_LINE_BUFFER - 1 << " characters. Reading stops there." << std::endl;
            return true;
        }
        const char* token = std::strtok(line, DELIMITERS);
        if (!token || std::strcmp(token, "#") == 0)
            continue;
        if (std::strcmp(token, "v") == 0) {
            append_numbers(vertices, 4, 1.0f);
        } else if (std::strcmp(token, "vt") == 0) {
            flags |= OBJ_TEXCOORDS;
            append_numbers(texcoords, 2, 0.0f);
        } else if (std::strcmp(token, "vn") == 0) {
            flags |= OBJ_NORMALS;
            int count = 0;
            for (const char* n = std::strtok(nullptr, DELIMITERS); n; n = std::strtok(nullptr, DELIMITERS), count++)
                normals.push_back(static_cast<float>(std::strtod(n, nullptr)));
            if (count != 3)
                std::cerr << "## error, " << count << " normal-coordinates in line: " << number << std::endl;
        } else if (std::strcmp(token, "f") == 0) {
            if (!parse_face(number, path))
                return false;
        } else if (std::strcmp(token, "usemtl") == 0) {
            use_material(number);
        } else if (std::strcmp(token, "mtllib") == 0) {
            load_material_libraries();
        } else if (std::strcmp(token, "vp") == 0) {
            std::cerr << "# warning, \"" << token << "\" in line " << number << " not supported... skipped!"
                      << std::endl;
        } else if (std::strcmp(token, "curv") == 0 || std::strcmp(token, "curv2") == 0 ||
                   std::strcmp(token, "surf") == 0 || std::strcmp(token, "g") == 0 || std::strcmp(token, "s") == 0) {
            std::cerr << "# warning: \"" << token << "\" in line " << number << " not supported... skipped!"
                      << std::endl;
        } else if (std::strcmp(token, "p") == 0) {
            std::cerr << "TOK_P" << std::endl;
        } else if (std::strcmp(token, "l") == 0) {
            std::cerr << "TOK_L" << std::endl;
        } else {
            std::cerr << "# warning, unknown token: \"" << token << "\" in line " << number << "... skipped!"
                      << std::endl;
        }
    }
}

// One "f" line. False only for the fatal missing slash; a face with a bad
// index or a varying corner layout is reported and dropped.
bool cObjLoader::parse_face(int line, const std::string& path)
{
    obj_face face;
    face.material = current_material;
    int layout = -1; // the parts the first corner has
    for (char* corner = std::strtok(nullptr, CORNER_DELIMITERS); corner;
         corner = std::strtok(nullptr, CORNER_DELIMITERS)) {
        const char* first_slash = std::strchr(corner, '/');
        const char* second_slash = first_slash ? std::strchr(first_slash + 1, '/') : nullptr;
        if (((flags & OBJ_TEXCOORDS) && !first_slash) || ((flags & OBJ_NORMALS) && !second_slash)) {
            std::cerr << "## ERROR in " << __FILE__ << ", line #" << __LINE__ << ", missing / in line: " << line
                      << std::endl;
            return false;
        }
        struct
        {
            const char* text;
            int part;
            size_t list_size;
            std::vector<uint32_t>* indices;
            const char* list_name;
        } parts[3] = {
            {corner, PART_VERTEX, vertex_count(), &face.vertex, "vertex"},
            {(flags & OBJ_TEXCOORDS) ? first_slash + 1 : nullptr, PART_TEXCOORD, texcoords.size() / 2,
             &face.texcoord, "texture coordinate"},
            {(flags & OBJ_NORMALS) ? second_slash + 1 : nullptr, PART_NORMAL, normals.size() / 3, &face.normal,
             "normal"},
        };
        int corner_layout = 0;
        for (auto& part : parts) {
            if (!part.text)
                continue;
            uint32_t index = 0;
            long long raw = 0;
            index_result result = read_index(part.text, part.list_size, &index, &raw);
            if (result == INDEX_BAD) {
                std::cerr << "## ERROR in " << __FILE__ << ", line #" << __LINE__ << ": " << part.list_name
                          << " index " << raw << " is outside the " << part.list_size << " defined before line "
                          << line << " of \"" << path << "\". Skipping face..." << std::endl;
                return true;
            }
            if (result == INDEX_OK) {
                part.indices->push_back(index);
                corner_layout |= part.part;
            }
        }
        if (layout == -1)
            layout = corner_layout;
        if (corner_layout != layout) {
            std::cerr << "## Error in line: " << line << " - varying number of elements in face-declaration. Skipping face..."
                      << std::endl;
            return true;
        }
    }
    if (face.vertex.size() > 3)
        flags |= OBJ_POLYGONS;
    faces.push_back(std::move(face));
    return true;
}

void cObjLoader::use_material(int line)
{
    const char* token = std::strtok(nullptr, DELIMITERS);
    std::string name = token ? token : "";
    if (materials.empty()) {
        std::cerr << "# warning: No materials defined! \"usemtl " << name << "\" illegal in line " << line
                  << "... skipped!" << std::endl;
        return;
    }
    size_t found = 0;
    while (found < materials.size() && materials[found].name != name)
        found++;
    if (found == materials.size())
        std::cerr << "# WARNING: unknown material \"" << name << "\" in line " << line << std::endl;
    flags |= OBJ_MATERIALS;
    current_material = static_cast<int32_t>(found);
}

void cObjLoader::load_material_libraries()
{
    // cMtlLoader runs strtok itself: take every name off this line first.
    std::vector<std::string> names;
    for (const char* token = std::strtok(nullptr, DELIMITERS); token; token = std::strtok(nullptr, DELIMITERS))
        names.push_back(token);
    for (const std::string& name : names) {
        cMtlLoader mtl;
        mtl.load(directory + name);
        materials.insert(materials.end(), mtl.materials.begin(), mtl.materials.end());
    }
}

void cObjLoader::triangulate()
{
    size_t count = faces.size();
    for (size_t i = 0; i < count; i++) {
        size_t n = faces[i].vertex.size();
        if (n < 3) {
            std::cerr << "Malformed face. " << n << " vertices in face. Aborting triangulation" << std::endl;
            return;
        }
        while (n > 3) {
            const obj_face& polygon = faces[i];
            obj_face fan;
            fan.material = polygon.material;
            const size_t corners[3] = {0, n - 2, n - 1};
            for (size_t c : corners) {
                fan.vertex.push_back(polygon.vertex[c]);
                if ((flags & OBJ_TEXCOORDS) && !polygon.texcoord.empty())
                    fan.texcoord.push_back(polygon.texcoord[c]);
                if ((flags & OBJ_NORMALS) && !polygon.normal.empty())
                    fan.normal.push_back(polygon.normal[c]);
            }
            faces.push_back(std::move(fan)); // may move faces[i]: take it again below
            obj_face& shrunk = faces[i];
            shrunk.vertex.pop_back();
            if (!shrunk.texcoord.empty())
                shrunk.texcoord.pop_back();
            if (!shrunk.normal.empty())
                shrunk.normal.pop_back();
            n--;
        }
    }
}

void cObjLoader::generate_normals()
{
    const size_t count = vertex_count();
    normals.assign(count * 3, 0.0f);
    for (obj_face& face : faces) {
        if (face.vertex.size() < 3) {
            std::cerr << "Malformed polygon: " << face.vertex.size() << " exiting!" << std::endl;
            exit(-1);
        }
        const float* p0 = &vertices[face.vertex[0] * 4];
        const float* p1 = &vertices[face.vertex[1] * 4];
        const float* p2 = &vertices[face.vertex[2] * 4];
        const float a[3] = {p0[0] - p1[0], p0[1] - p1[1], p0[2] - p1[2]};
        const float b[3] = {p0[0] - p2[0], p0[1] - p2[1], p0[2] - p2[2]};
        // Not normalised: larger faces weigh more.
        const float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
        for (uint32_t v : face.vertex)
            for (int k = 0; k < 3; k++)
                normals[v * 3 + k] += n[k];
        face.normal = face.vertex;
    }
    for (size_t v = 0; v < count; v++) {
        float* n = &normals[v * 3];
        float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        // A vertex on no face, or only on degenerate ones, keeps a zero normal.
        if (length > 0.0f)
            for (int k = 0; k < 3; k++)
                n[k] *= 1.0f / length;
    }
    flags |= OBJ_NORMALS;
}

void cObjLoader::fill_texcoords()
{
    generate_normals();
    if (!(flags & OBJ_TEXCOORDS) || texcoords.empty())
        return;
    for (size_t i = 0; i < faces.size(); i++) {
        if (!faces[i].texcoord.empty())
            continue;
        std::cerr << "# warning: missing texcoords in face " << i << ". Using first texcoord." << std::endl;
        faces[i].texcoord.assign(faces[i].vertex.size(), 0);
    }
}

void cObjLoader::export_mesh(cMeshObj_data& mesh)
{
    if (!(flags & OBJ_NORMALS))
        generate_normals();
    const bool with_texcoords = (flags & OBJ_TEXCOORDS) != 0;

    // Only whole triangles reach the mesh: a face left with another corner
    // count (reported by triangulate) is not drawn.
    std::vector<const obj_face*> triangles;
    for (const obj_face& face : faces)
        if (face.vertex.size() == 3)
            triangles.push_back(&face);

    typedef std::tuple<uint32_t, uint32_t, uint32_t> corner_key; // vertex, normal, texcoord
    auto key_of = [&](const obj_face& face, size_t c) {
        uint32_t normal = face.normal.empty() ? NO_INDEX : face.normal[c];
        uint32_t texcoord = with_texcoords && !face.texcoord.empty() ? face.texcoord[c] : NO_INDEX;
        return corner_key(face.vertex[c], normal, texcoord);
    };
    std::map<corner_key, uint32_t> numbers;
    for (const obj_face* face : triangles)
        for (size_t c = 0; c < 3; c++)
            numbers.emplace(key_of(*face, c), 0);

    mesh.positions.clear();
    mesh.normals.clear();
    mesh.texcoords.clear();
    mesh.indices.clear();
    mesh.groups.clear();
    uint32_t next = 0;
    for (auto& numbered : numbers) {
        numbered.second = next++;
        uint32_t v, n, t;
        std::tie(v, n, t) = numbered.first;
        mesh.positions.insert(mesh.positions.end(), &vertices[v * 4], &vertices[v * 4] + 3);
        for (int k = 0; k < 3; k++)
            mesh.normals.push_back(n == NO_INDEX ? 0.0f : normals[n * 3 + k]);
        if (with_texcoords)
            for (int k = 0; k < 2; k++)
                mesh.texcoords.push_back(t == NO_INDEX ? 0.0f : texcoords[t * 2 + k]);
    }

    auto append = [&](const obj_face& face) {
        for (size_t c = 0; c < 3; c++)
            mesh.indices.push_back(numbers[key_of(face, c)]);
    };
    if (flags & OBJ_MATERIALS) {
        // Group i holds the faces of material i, so that groups and materials
        // pair by position; faces without a known material come last, in a
        // group past the materials, and are drawn without one.
        const int32_t material_count = static_cast<int32_t>(materials.size());
        std::multimap<int32_t, const obj_face*> by_material;
        for (const obj_face* face : triangles) {
            bool known = face->material >= 0 && face->material < material_count;
            by_material.emplace(known ? face->material : material_count, face);
        }
        for (int32_t m = 0; m <= material_count; m++) {
            auto range = by_material.equal_range(m);
            if (m == material_count && range.first == range.second)
                break;
            mesh.groups.push_back(static_cast<uint32_t>(mesh.indices.size()));
            for (auto it = range.first; it != range.second; ++it)
                append(*it->second);
        }
    } else {
        mesh.groups.push_back(0);
        for (const obj_face* face : triangles)
            append(*face);
    }
    mesh.groups.push_back(static_cast<uint32_t>(mesh.indices.size()));
    mesh.flags = flags;
}
