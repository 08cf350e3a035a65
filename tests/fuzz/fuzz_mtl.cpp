// The MTL parser on arbitrary text.
#include "mesh_files/material.h"

#include <iostream>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    cMtlLoader loader;
    std::cerr.setstate(std::ios::failbit);
    loader.parse(in, "fuzz.mtl");
    std::cerr.clear();
    return 0;
}
