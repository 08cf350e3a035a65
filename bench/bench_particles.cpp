// One particle frame of the particles scene's kind against the memory-bound
// floor. The frame is what the scene does per frame on the CPU: update(0.05),
// emit, an attraction loop over the living particles and the vertex buffer
// refill (into plain memory here, so no GL is needed). The floor is a plain
// loop that reads and writes the same arrays once. The program ends with one
// line giving both figures in nanoseconds per particle and their ratio.
#include "particles/particle_renderer.h"
#include "particles/particle_system.h"

#include <benchmark/benchmark.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

const uint32_t PARTICLES = 40000;
const float FRAME_STEP = 0.05f; // seconds, the scene's fixed step

struct Scene
{
    CParticleSystem system;
    CParticleEmitterPlane emitter;
    std::vector<float> vertex_buffer;

    Scene() : vertex_buffer(3 * PARTICLES)
    {
        const float no_gravity[3] = {0.0f, 0.0f, 0.0f};
        system.init(PARTICLES, 100.0f, 0.0f, FLT_MAX, no_gravity, 10.0f);
        const float u[3] = {0.2f, 0.0f, 0.0f};
        const float v[3] = {0.0f, 0.0f, 20.0f};
        emitter.set_axes(u, v);
        // The steady state of the scene: every particle alive (they never die).
        while (!system.is_alive(PARTICLES - 1))
            emitter.emit(system);
    }
};

// A pull of every living particle towards one point, falling off with
// distance: the shape of the scenes' attraction loops.
void attract(CParticleSystem& s, const float point[3], float strength, float dt)
{
    const uint32_t count = s.size();
    for (uint32_t i = 0; i < count; ++i) {
        if (!s.is_alive(i))
            continue;
        float* p = &s.position[3 * static_cast<size_t>(i)];
        float* v = &s.velocity[3 * static_cast<size_t>(i)];
        const float d[3] = {point[0] - p[0], point[1] - p[1], point[2] - p[2]};
        const float k = strength * dt / std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2] + 1.0f);
        v[0] += d[0] * k;
        v[1] += d[1] * k;
        v[2] += d[2] * k;
    }
}

void BM_particle_frame(benchmark::State& state)
{
    Scene scene;
    const float point[3] = {0.0f, 40.0f, 10.0f};
    for (auto _ : state) {
        scene.system.update(FRAME_STEP);
        scene.emitter.emit(scene.system);
        attract(scene.system, point, 5.0f, FRAME_STEP);
        uint32_t drawn = pack_living_positions(scene.system, scene.vertex_buffer.data(), PARTICLES);
        benchmark::DoNotOptimize(drawn);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * PARTICLES);
}

// Reads and writes position, velocity and life once and writes the vertex
// buffer once: the least memory traffic a frame can have.
void BM_memory_floor(benchmark::State& state)
{
    Scene scene;
    CParticleSystem& s = scene.system;
    for (auto _ : state) {
        float* p = s.position.data();
        float* v = s.velocity.data();
        float* l = s.life.data();
        float* out = scene.vertex_buffer.data();
        for (uint32_t i = 0; i < 3 * PARTICLES; ++i) {
            p[i] += v[i] * FRAME_STEP;
            v[i] *= 0.999f;
            out[i] = p[i];
        }
        for (uint32_t i = 0; i < PARTICLES; ++i)
            l[i] -= FRAME_STEP;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * PARTICLES);
}

BENCHMARK(BM_particle_frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_memory_floor)->Unit(benchmark::kMicrosecond);

// Keeps nanoseconds per particle of each benchmark for the closing line.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0)
                continue;
            // Processor time: steadier than wall time on a shared machine.
            const double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            ns_per_particle[run.run_name.function_name] = seconds * 1e9 / PARTICLES;
        }
    }
    std::map<std::string, double> ns_per_particle;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    auto frame = reporter.ns_per_particle.find("BM_particle_frame");
    auto floor = reporter.ns_per_particle.find("BM_memory_floor");
    if (frame != reporter.ns_per_particle.end() && floor != reporter.ns_per_particle.end() && floor->second > 0) {
        std::printf("particle frame: %.3f ns/particle, memory floor: %.3f ns/particle, ratio %.2f\n", frame->second,
                    floor->second, frame->second / floor->second);
    }
    return 0;
}
