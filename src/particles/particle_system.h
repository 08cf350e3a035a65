// Particle pools and their emitters. A CParticleSystem is a fixed pool of
// point particles held as parallel arrays (position, velocity, life, packed
// alive bits), sized once by init() and never resized; emitters revive dead
// particles at points of a shape with random velocities drawn from a table
// filled at construction. The owning scene steps both once per frame and
// draws the system with a renderer (particle_renderer.h).
//
// Systems and emitters are owned by their scene and destroyed with it.
#pragma once

#include <cstdint>
#include <vector>

class CParticleSystem
{
public:
    CParticleSystem();
    virtual ~CParticleSystem();

    // Appends count particles, each at the origin with zero velocity, dead,
    // with life initial_life, and stores the settings.
    void init(uint32_t count, float emit_per_call, float damping, float initial_life, const float gravity[3],
              float point_size);
    // Number of particles, alive or not.
    uint32_t size() const { return static_cast<uint32_t>(life.size()); }
    // One integration step of dt seconds for every living particle.
    void update(float dt);

    bool is_alive(uint32_t i) const { return (alive[i >> 5] >> (i & 31)) & 1u; }
    void set_alive(uint32_t i) { alive[i >> 5] |= 1u << (i & 31); }
    void set_dead(uint32_t i) { alive[i >> 5] &= ~(1u << (i & 31)); }

    // Per-particle arrays, all size() long (position and velocity hold three
    // floats per particle).
    std::vector<float> position;
    std::vector<float> velocity; // units per second
    std::vector<uint32_t> alive; // one bit per particle, bit i & 31 of word i / 32
    std::vector<float> life;     // seconds left; dies when below 0

    // Settings: stored by init, open to the owning scene between steps.
    float gravity[3];    // acceleration added to every living velocity
    float damping;       // velocity is scaled by 1 - damping at every update
    float initial_life;  // seconds, given at emission
    float point_size;    // pixels, for the renderer
    float emit_per_call; // most particles one emit call revives
};

// Number of precomputed random values an emitter holds.
const uint32_t EMITTER_RANDOM_COUNT = 100000;

class CParticleEmitter
{
public:
    // Fills the random table from crt_rand(), so emitters made at the same
    // point of start-up get the same numbers in every run.
    CParticleEmitter();
    virtual ~CParticleEmitter();
    // Revives dead particles of system, lowest-numbered first, at most
    // system.emit_per_call of them (always at least one index is examined).
    virtual void emit(CParticleSystem& system) = 0;
    virtual void set_position(const float* xyz);
    // Back to the table's start, as made: the numbers come again in the
    // same order (a run replayed from its beginning).
    void rewind() { cursor = 0; }

    // The next value of the table, in [0, 1]: advances the cursor, then reads.
    float draw_random()
    {
        cursor = (cursor + 1) % EMITTER_RANDOM_COUNT;
        return random_table[cursor];
    }

    float position[3]; // centre of the emitting shape

protected:
    // The common scan: for each dead particle from index 0, place(i) sets its
    // position and velocity; emit_scan then gives it its life and revives it.
    template <typename Place> void emit_scan(CParticleSystem& system, Place place);

private:
    std::vector<float> random_table; // EMITTER_RANDOM_COUNT uniform values
    uint32_t cursor;                 // index of the last entry used
};

// Emits on a disc of the given radius in the plane
// y = position.y, with non-negative velocities, mostly upwards.
class CParticleEmitterCircle : public CParticleEmitter
{
public:
    CParticleEmitterCircle();
    void emit(CParticleSystem& system) override;
    void set_radius(float r) { radius = r; }

    float radius;
};

// Emits on the parallelogram spanned by u and v from the emitter's position.
class CParticleEmitterPlane : public CParticleEmitter
{
public:
    CParticleEmitterPlane();
    void emit(CParticleSystem& system) override;
    void set_axes(const float* u, const float* v);

    float u[3];
    float v[3];
};

template <typename Place> void CParticleEmitter::emit_scan(CParticleSystem& system, Place place)
{
    const uint32_t count = system.size();
    float emitted = 0.0f;
    for (uint32_t i = 0; i < count; ++i) {
        // A word of 32 living particles revives nothing and cannot reach the
        // limit (emitted is below it here), so it is passed over whole. At
        // i = 0 with a limit of 0 or less the stop below must still come.
        if ((i & 31) == 0 && emitted < system.emit_per_call && system.alive[i >> 5] == 0xFFFFFFFFu &&
            i + 32 <= count) {
            i += 31;
            continue;
        }
        if (!system.is_alive(i)) {
            place(i);
            system.life[i] = system.initial_life;
            system.set_alive(i);
            emitted += 1.0f;
        }
        if (emitted >= system.emit_per_call)
            break;
    }
}
