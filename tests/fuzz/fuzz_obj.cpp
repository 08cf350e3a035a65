// The OBJ parser, triangulation and conversion on arbitrary text. Paths that
// end the program by design (a missing slash, a face of fewer than three
// corners when normals are made) stop before the exit.
#include "mesh_files/obj_loader.h"

#include <iostream>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    cObjLoader loader;
    std::cerr.setstate(std::ios::failbit); // the warnings are expected
    std::cout.setstate(std::ios::failbit);
    if (loader.parse(in, "/nonexistent/fuzz.obj")) {
        loader.triangulate();
        bool whole = true;
        for (const obj_face& face : loader.faces)
            whole = whole && face.vertex.size() >= 3;
        if (whole || (loader.flags & OBJ_NORMALS)) {
            cMeshObj_data mesh;
            loader.export_mesh(mesh);
            const size_t vertices = mesh.positions.size() / 3;
            for (uint32_t index : mesh.indices)
                if (index >= vertices)
                    __builtin_trap();
            if (mesh.groups.empty() || mesh.groups.back() != mesh.indices.size() || mesh.indices.size() % 3)
                __builtin_trap();
        }
    }
    std::cerr.clear();
    std::cout.clear();
    return 0;
}
