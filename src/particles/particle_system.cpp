#include "particle_system.h"

#include "platform/platform.h"

#include <cmath>

// --- system --------------------------------------------------------------------

CParticleSystem::CParticleSystem()
    : gravity{0.0f, 0.0f, 0.0f}, damping(0.0f), initial_life(0.0f), point_size(0.0f), emit_per_call(0.0f)
{
}

CParticleSystem::~CParticleSystem() {}

void CParticleSystem::init(uint32_t count, float emit_per_call_, float damping_, float initial_life_,
                           const float gravity_[3], float point_size_)
{
    const uint32_t total = size() + count;
    position.resize(3 * static_cast<size_t>(total), 0.0f);
    velocity.resize(3 * static_cast<size_t>(total), 0.0f);
    life.resize(total, initial_life_);
    // New bits are dead; bits of earlier particles keep their state.
    alive.resize((total + 31) / 32, 0u);

    emit_per_call = emit_per_call_;
    damping = damping_;
    initial_life = initial_life_;
    gravity[0] = gravity_[0];
    gravity[1] = gravity_[1];
    gravity[2] = gravity_[2];
    point_size = point_size_;
}

// The rest of a step of particle i once its life has been aged: it dies
// when the life fell below 0, else it moves with the velocity from before the
// step, which is then damped and accelerated.
static inline void move_or_kill(CParticleSystem& s, uint32_t i, float dt, float k, const float g_dt[3])
{
    if (s.life[i] < 0.0f) {
        s.set_dead(i);
        return;
    }
    float* p = &s.position[3 * static_cast<size_t>(i)];
    float* v = &s.velocity[3 * static_cast<size_t>(i)];
    for (int c = 0; c < 3; ++c) {
        p[c] += v[c] * dt;
        v[c] = v[c] * k + g_dt[c];
    }
}

// A block of 32 living particles, aged by dt; true when none of them fell
// below 0. Separate arrays (restrict) and a fixed length let the compiler
// step several particles per instruction.
static inline bool age_block(float* __restrict l, float dt)
{
    int died = 0;
    for (int i = 0; i < 32; ++i) {
        l[i] -= dt;
        died |= l[i] < 0.0f;
    }
    return died == 0;
}

// Moves and accelerates a block of 32 particles (96 floats of each array);
// g_block holds the gravity step laid out like their velocities.
static inline void integrate_block(float* __restrict p, float* __restrict v, float dt, float k,
                                   const float* __restrict g_block)
{
    for (int j = 0; j < 96; ++j) {
        p[j] += v[j] * dt;
        v[j] = v[j] * k + g_block[j];
    }
}

void CParticleSystem::update(float dt)
{
    const float k = 1.0f - damping;
    const float g_dt[3] = {gravity[0] * dt, gravity[1] * dt, gravity[2] * dt};
    // Gravity step laid out like 32 particles' velocities, so that a block of
    // living particles is integrated as flat arrays.
    float g_block[96];
    for (int j = 0; j < 96; ++j)
        g_block[j] = g_dt[j % 3];

    const uint32_t count = size();
    for (uint32_t w = 0; w * 32 < count; ++w) {
        uint32_t bits = alive[w];
        const uint32_t first = w * 32;
        if (bits == 0xFFFFFFFFu && first + 32 <= count) {
            // 32 living particles: age all, and when none dies (the usual
            // case) integrate them in one pass; the result is the same as
            // stepping each.
            if (age_block(&life[first], dt)) {
                integrate_block(&position[3 * static_cast<size_t>(first)], &velocity[3 * static_cast<size_t>(first)],
                                dt, k, g_block);
                continue;
            }
            for (uint32_t i = first; i < first + 32; ++i)
                move_or_kill(*this, i, dt, k, g_dt);
            continue;
        }
        while (bits) {
            const uint32_t i = first + static_cast<uint32_t>(__builtin_ctz(bits));
            bits &= bits - 1;
            life[i] -= dt;
            move_or_kill(*this, i, dt, k, g_dt);
        }
    }
}

// --- emitters ------------------------------------------------------------------

CParticleEmitter::CParticleEmitter() : position{0.0f, 0.0f, 0.0f}, random_table(EMITTER_RANDOM_COUNT), cursor(0)
{
    // The single-precision value of 1 / 32767 keeps every entry within [0, 1].
    const float scale = 1.0f / 32767.0f;
    for (float& value : random_table)
        value = static_cast<float>(crt_rand()) * scale;
}

CParticleEmitter::~CParticleEmitter() {}

void CParticleEmitter::set_position(const float* xyz)
{
    position[0] = xyz[0];
    position[1] = xyz[1];
    position[2] = xyz[2];
}

CParticleEmitterCircle::CParticleEmitterCircle() : radius(0.0f) {}

void CParticleEmitterCircle::emit(CParticleSystem& system)
{
    emit_scan(system, [&](uint32_t i) {
        const float r = draw_random() * radius;
        const float a = draw_random() * 6.28318530718f;
        float* p = &system.position[3 * static_cast<size_t>(i)];
        p[0] = position[0] + std::cos(a) * r;
        p[1] = position[1];
        p[2] = position[2] + std::sin(a) * r;
        const float t1 = draw_random();
        const float t2 = draw_random();
        const float t3 = draw_random();
        float* v = &system.velocity[3 * static_cast<size_t>(i)];
        v[0] = t3 * 50.0f;
        v[1] = t2 * 500.0f;
        v[2] = t1 * 50.0f;
    });
}

CParticleEmitterPlane::CParticleEmitterPlane() : u{0.0f, 0.0f, 0.0f}, v{0.0f, 0.0f, 0.0f} {}

void CParticleEmitterPlane::set_axes(const float* u_, const float* v_)
{
    for (int c = 0; c < 3; ++c) {
        u[c] = u_[c];
        v[c] = v_[c];
    }
}

void CParticleEmitterPlane::emit(CParticleSystem& system)
{
    emit_scan(system, [&](uint32_t i) {
        const float a = draw_random() * 1.0f;
        const float b = draw_random() * 1.0f;
        const float t1 = draw_random();
        const float t2 = draw_random();
        const float t3 = draw_random();
        float* vel = &system.velocity[3 * static_cast<size_t>(i)];
        vel[0] = t3 * 1.0f;
        vel[1] = t2 * 10.0f;
        vel[2] = t1 * 1.0f;
        float* p = &system.position[3 * static_cast<size_t>(i)];
        for (int c = 0; c < 3; ++c)
            p[c] = position[c] + a * u[c] + b * v[c];
    });
}
