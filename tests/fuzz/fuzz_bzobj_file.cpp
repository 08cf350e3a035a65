// The compressed mesh file step on arbitrary bytes as a file: the sizes of
// its header are read from the file and must never make the reader allocate
// or read more than the file holds (ASan's allocation limit catches the
// first, its bounds checks the second).
#include "mesh_files/bzobj.h"

#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    cMeshObj_data mesh;
    std::string error;
    int zlib_code = 0;
    if (bobj_read(in, mesh, &error, &zlib_code) == BOBJ_OK) {
        const size_t vertices = mesh.positions.size() / 3;
        for (uint32_t index : mesh.indices)
            if (index >= vertices)
                __builtin_trap();
    }
    return 0;
}
