// Decoding a large compressed mesh against zlib's uncompress of the same
// bytes alone: the decoder's own work (checks, copies, delta decoding)
// should stay under 30 % of the inflate (ratio under 1.3).
#include "mesh_files/bzobj.h"
#include "mesh_files/bzobj_writer.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <zlib.h>

namespace {

// A bumpy grid of 708 x 708 vertices: about a million triangles, with
// normals, texture coordinates and four material groups.
const std::vector<uint8_t>& large_file()
{
    static std::vector<uint8_t> file;
    if (!file.empty())
        return file;
    const int n = 708;
    cMeshObj_data mesh;
    mesh.flags = MESH_NORMALS | MESH_TEXCOORDS | MESH_GROUPS;
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            float h = 0.1f * std::sin(x * 0.05f) * std::cos(y * 0.07f);
            mesh.positions.insert(mesh.positions.end(), {x / float(n), h, y / float(n)});
            mesh.normals.insert(mesh.normals.end(), {0.0f, 1.0f, 0.0f});
            mesh.texcoords.insert(mesh.texcoords.end(), {x / float(n - 1), y / float(n - 1)});
        }
    for (int y = 0; y + 1 < n; y++)
        for (int x = 0; x + 1 < n; x++) {
            uint32_t a = y * n + x, b = a + 1, c = a + n, d = c + 1;
            mesh.indices.insert(mesh.indices.end(), {a, b, d, a, d, c});
        }
    const uint32_t count = static_cast<uint32_t>(mesh.indices.size());
    mesh.groups = {0, count / 6 / 4 * 6, count / 6 / 2 * 6, count / 6 * 3 / 4 * 6, count};
    for (const char* name : {"stone", "metal", "glass", "paint"})
        mesh.materials.emplace_back(name);
    std::vector<uint8_t> payload;
    std::string error;
    if (!bobj_build_payload(mesh, payload, &error))
        abort();
    file = bobj_compress(payload, 6);
    return file;
}

void BM_uncompress_only(benchmark::State& state)
{
    const std::vector<uint8_t>& file = large_file();
    uint32_t sizes[2];
    std::memcpy(sizes, file.data(), 8);
    std::vector<uint8_t> out(sizes[0]);
    for (auto _ : state) {
        uLongf length = sizes[0];
        uncompress(out.data(), &length, file.data() + 8, sizes[1]);
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_bzobj_decode(benchmark::State& state)
{
    const std::vector<uint8_t>& file = large_file();
    for (auto _ : state) {
        cMeshObj_data mesh;
        std::string error;
        int code = 0;
        if (bobj_decode_file(file.data(), file.size(), mesh, &error, &code) != BOBJ_OK)
            state.SkipWithError(error.c_str());
        state.counters["triangles"] = double(mesh.indices.size() / 3);
        benchmark::DoNotOptimize(mesh.indices.data());
    }
}

} // namespace

BENCHMARK(BM_uncompress_only)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_bzobj_decode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
