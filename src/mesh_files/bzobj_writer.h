// Writes meshes as compressed mesh files (.bzobj), the exact inverse of the
// reader in bzobj.h. Used by the data tool and by tests.
#pragma once

#include "mesh_files/mesh.h"

#include <cstdint>
#include <string>
#include <vector>

// The uncompressed payload of mesh. False (with error) when the mesh cannot
// be written in the format: arrays that disagree with the flags or with each
// other, indices past the vertices, groups that do not start at triangles,
// more material groups than materials, strings longer than 127 bytes. Empty
// material groups cannot be stored; with per-group drawing they are dropped
// together with their materials, which draws the same.
bool bobj_build_payload(const cMeshObj_data& mesh, std::vector<uint8_t>& payload, std::string* error);

// The file image of a payload: the two sizes and the zlib stream.
std::vector<uint8_t> bobj_compress(const std::vector<uint8_t>& payload, int level = 9);

// bobj_build_payload, bobj_compress, then writes path. False (with error)
// when the mesh cannot be stored or the file cannot be written.
bool bobj_write_file(const cMeshObj_data& mesh, const std::string& path, std::string* error);
