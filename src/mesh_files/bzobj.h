// Compressed mesh files (.bzobj): a zlib-compressed, ready-to-upload binary
// image of a mesh with its triangles indexed and grouped by material and its
// materials resolved. The reader fills a cMeshObj in one inflate and bulk
// copies; the writer (bzobj_writer.h) makes the same bytes from a mesh.
//
// File: uncompressed size (u32), compressed size n (u32), n bytes of one zlib
// stream. Payload: flags (u8), vertex count A, triangle count B, material
// count C (u32 each); positions (12A); normals (12A, with flag bit 1);
// texcoords (8A, with flag bit 0); three delta-coded corner arrays (4B
// each); group starts (4B); C material records (six signed 8-bit string
// lengths, the six strings, ambient, diffuse, specular rgba, shininess,
// illum (i32), alpha, optical density). Everything little-endian.
#pragma once

#include "mesh_files/mesh.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>

class BzObjLoader
{
public:
    // A new mesh (owned by the caller) filled from the file name found on the
    // search paths; not uploaded. Ends the process on a bad file (see
    // bobj_load_compressed).
    static iMesh* create(std::string name);
};

// Reads, inflates and decodes the file at path into mesh, replacing its
// contents, then requests its material textures. Ends the process: -1 when
// the file cannot be opened or its contents contradict themselves (one
// "## ERROR" line naming the file and the fault), 1 when zlib fails.
void bobj_load_compressed(cMeshObj* mesh, std::string path);

enum bobj_status
{
    BOBJ_OK,
    BOBJ_INVALID,    // the header or payload contradicts itself: see error
    BOBJ_ZLIB_ERROR, // uncompress failed: see zlib_code
};

// The decoder without files, GL or exits, for the loader, tests and fuzzing.
// Decodes a whole file image into mesh (materials without textures). Every
// size, count, length and index is checked against the bytes before use.
bobj_status bobj_decode_file(const uint8_t* data, size_t size, cMeshObj_data& mesh, std::string* error,
                             int* zlib_code);
// The file step: reads a file image from in (the header, then as many
// compressed bytes as it announces, never more than in holds) and decodes it
// as bobj_decode_file does.
bobj_status bobj_read(std::istream& in, cMeshObj_data& mesh, std::string* error, int* zlib_code);
// Decodes an inflated payload into mesh; false (with error) when it is not a
// consistent payload.
bool bobj_decode_payload(const uint8_t* data, size_t size, cMeshObj_data& mesh, std::string* error);

// Fixed part of a material record: six lengths and 64 bytes of values.
const size_t BOBJ_MATERIAL_FIXED_BYTES = 70;
const size_t BOBJ_PAYLOAD_HEADER_BYTES = 13;
const size_t BOBJ_FILE_HEADER_BYTES = 8;
