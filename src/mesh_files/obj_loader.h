// The Wavefront OBJ loader: reads an OBJ file (and the MTL files it names)
// into OBJ-style lists, triangulates its polygons, makes normals where the
// file has none and converts the result into the shared-index, material
// grouped arrays of a mesh. It accepts a small subset of the format (v, vt,
// vn, f, usemtl, mtllib) and reports every other line. A loader is a
// short-lived object of cMeshObj::load.
#pragma once

#include "mesh_files/material.h"
#include "mesh_files/mesh.h"

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

// iMeshLoader_data::flags bits.
const uint8_t OBJ_TEXCOORDS = 0x01; // a "vt" line was seen
const uint8_t OBJ_NORMALS = 0x02;   // a "vn" line was seen, or normals were made
const uint8_t OBJ_MATERIALS = 0x10; // a "usemtl" line found materials
const uint8_t OBJ_POLYGONS = 0x80;  // a face with more than 3 corners was seen

// One polygon. Indices are zero-based into the loader's lists; the texture
// and normal arrays are either empty or as long as the vertex array.
struct obj_face
{
    std::vector<uint32_t> vertex;
    std::vector<uint32_t> texcoord;
    std::vector<uint32_t> normal;
    int32_t material = -1; // -1 when no "usemtl" preceded the face
};

class iMeshLoader
{
public:
    virtual ~iMeshLoader() = default;
    virtual void load_file(std::string file_name) = 0;
    virtual void triangulate() = 0;
    virtual void fill_texcoords() = 0;
    virtual void generate_normals() = 0;
};

class iMeshLoader_data : public iMeshType
{
public:
    uint8_t flags = 0;
    std::vector<float> vertices;  // x, y, z, w per "v" line
    std::vector<float> normals;   // x, y, z per "vn" line
    std::vector<float> texcoords; // u, v per "vt" line
    std::vector<obj_face> faces;
    std::vector<cMaterial> materials; // of all "mtllib" files, in load order
};

class cObjLoader : public iMeshLoader, public iMeshLoader_data
{
public:
    // Finds the file on the search paths and parses it. Ends the process
    // (-1) when it is not found, cannot be opened or has a face corner
    // without a slash the file's lists call for.
    void load_file(std::string file_name) override;
    // Splits every polygon into a fan of triangles (stops at a face with
    // fewer than three corners, with an error line).
    void triangulate() override;
    // Gives faces without texture coordinates texture coordinate 0 (after
    // generating normals). cMeshObj::load does not use it.
    void fill_texcoords() override;
    // Area-weighted vertex normals from the faces; ends the process (-1) at
    // a face with fewer than three corners.
    void generate_normals() override;
    // Writes flags, positions, normals, texcoords, indices and groups of
    // mesh (not its materials). Generates normals when there are none.
    void export_mesh(cMeshObj_data& mesh);

    // The parser itself, from an open stream; path names the file in
    // messages and gives the directory of its "mtllib" files. False after a
    // fatal error (already reported); load_file then exits.
    bool parse(std::istream& in, const std::string& path);

    std::string directory; // of the OBJ file, with its trailing separator
    int32_t current_material = -1; // for the faces that follow; -1 none

private:
    bool parse_face(int line, const std::string& path);
    void use_material(int line);
    void load_material_libraries();
    size_t vertex_count() const { return vertices.size() / 4; }
};
