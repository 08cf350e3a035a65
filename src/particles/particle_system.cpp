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

void CParticleSystem::update(float dt)
{
    const float k = 1.0f - damping;
    const float gx = gravity[0] * dt;
    const float gy = gravity[1] * dt;
    const float gz = gravity[2] * dt;
    const uint32_t count = size();
    float* p = position.data();
    float* v = velocity.data();
    float* l = life.data();
    for (uint32_t i = 0; i < count; ++i) {
        if (!is_alive(i))
            continue;
        l[i] -= dt;
        if (l[i] < 0.0f) {
            set_dead(i);
            continue;
        }
        float* pi = p + 3 * static_cast<size_t>(i);
        float* vi = v + 3 * static_cast<size_t>(i);
        // The position step uses the velocity from before this update.
        pi[0] += vi[0] * dt;
        pi[1] += vi[1] * dt;
        pi[2] += vi[2] * dt;
        vi[0] = vi[0] * k + gx;
        vi[1] = vi[1] * k + gy;
        vi[2] = vi[2] * k + gz;
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
