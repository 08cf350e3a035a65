// The compressed mesh decoder on arbitrary bytes: the first byte chooses
// between a whole file image (header and zlib stream) and a bare payload,
// which is what zlib's checksums would otherwise keep the fuzzer from.
#include "mesh_files/bzobj.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    cMeshObj_data mesh;
    std::string error;
    int zlib_code = 0;
    if (data[0] & 1) {
        bobj_decode_file(data + 1, size - 1, mesh, &error, &zlib_code);
    } else if (bobj_decode_payload(data + 1, size - 1, mesh, &error)) {
        const size_t vertices = mesh.positions.size() / 3;
        for (uint32_t index : mesh.indices)
            if (index >= vertices)
                __builtin_trap();
        if (mesh.groups.size() < 2 || mesh.groups.back() != mesh.indices.size())
            __builtin_trap();
    }
    return 0;
}
