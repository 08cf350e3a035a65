#include "score/dsp.h"

#include <cmath>

namespace dsp {

float note_hz(float note)
{
    return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f);
}

float db_to_gain(float db)
{
    return std::pow(10.0f, db / 20.0f);
}

float clampf(float x, float lo, float hi)
{
    return x < lo ? lo : (x > hi ? hi : x);
}

float smoothstep(float x)
{
    x = clampf(x, 0.0f, 1.0f);
    return x * x * (3.0f - 2.0f * x);
}

uint32_t Rng::next_u32()
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

float Rng::next_bipolar()
{
    return (float)(next_u32() >> 8) * (2.0f / 16777216.0f) - 1.0f;
}

float Rng::next_unit()
{
    return (float)(next_u32() >> 8) * (1.0f / 16777216.0f);
}

// The polynomial band-limited step: subtracting it around each discontinuity
// removes most of the aliasing of the naive waveform.
static float poly_blep(float t, float dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

static void advance(float& phase, float dt)
{
    phase += dt;
    if (phase >= 1.0f)
        phase -= 1.0f;
}

float Osc::saw(float hz)
{
    float dt = hz / SAMPLE_RATE;
    float v = 2.0f * phase - 1.0f - poly_blep(phase, dt);
    advance(phase, dt);
    return v;
}

float Osc::square(float hz, float width)
{
    float dt = hz / SAMPLE_RATE;
    float v = phase < width ? 1.0f : -1.0f;
    v += poly_blep(phase, dt);
    float t2 = phase + 1.0f - width;
    if (t2 >= 1.0f)
        t2 -= 1.0f;
    v -= poly_blep(t2, dt);
    advance(phase, dt);
    return v;
}

float Osc::sine(float hz)
{
    float v = std::sin(TWO_PI * phase);
    advance(phase, hz / SAMPLE_RATE);
    return v;
}

float Adsr::level_at(int64_t i, int64_t gate_off) const
{
    float t = (float)i / SAMPLE_RATE;
    float held;
    float t_hold = (float)(i < gate_off ? i : gate_off) / SAMPLE_RATE;
    if (t_hold < attack)
        held = t_hold / attack;
    else if (t_hold < attack + decay)
        held = 1.0f - (1.0f - sustain) * (t_hold - attack) / decay;
    else
        held = sustain;
    if (i < gate_off)
        return held;
    float r = (t - (float)gate_off / SAMPLE_RATE) / release;
    return r >= 1.0f ? 0.0f : held * (1.0f - r);
}

int64_t Adsr::tail_samples() const
{
    return (int64_t)(release * SAMPLE_RATE) + 1;
}

float decay60(int64_t i, float seconds)
{
    // 60 dB = a factor of 1000; exp(-6.9078 t / T).
    return std::exp(-6.90776f * (float)i / (seconds * SAMPLE_RATE));
}

void Svf::set(float cutoff_hz, float q)
{
    cutoff_hz = clampf(cutoff_hz, 10.0f, SAMPLE_RATE * 0.45f);
    float g = std::tan(PI * cutoff_hz / SAMPLE_RATE);
    k = 1.0f / q;
    a1 = 1.0f / (1.0f + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

void Svf::step(float x)
{
    float v3 = x - ic2;
    float v1 = a1 * ic1 + a2 * v3;
    float v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0f * v1 - ic1;
    ic2 = 2.0f * v2 - ic2;
    low = v2;
    band = v1;
    high = x - k * v1 - v2;
}

float OnePole::lowpass(float x, float cutoff_hz)
{
    float a = 1.0f - std::exp(-TWO_PI * cutoff_hz / SAMPLE_RATE);
    z += a * (x - z);
    return z;
}

Biquad Biquad::high_pass(double hz, double q, double rate)
{
    double w = 2.0 * M_PI * hz / rate, cw = std::cos(w), alpha = std::sin(w) / (2.0 * q);
    double a0 = 1.0 + alpha;
    Biquad b;
    b.b0 = (1.0 + cw) / 2.0 / a0;
    b.b1 = -(1.0 + cw) / a0;
    b.b2 = b.b0;
    b.a1 = -2.0 * cw / a0;
    b.a2 = (1.0 - alpha) / a0;
    return b;
}

Biquad Biquad::high_shelf(double hz, double gain_db, double q, double rate)
{
    double a = std::pow(10.0, gain_db / 40.0);
    double w = 2.0 * M_PI * hz / rate, cw = std::cos(w), alpha = std::sin(w) / (2.0 * q);
    double sa = 2.0 * std::sqrt(a) * alpha;
    double a0 = (a + 1) - (a - 1) * cw + sa;
    Biquad b;
    b.b0 = a * ((a + 1) + (a - 1) * cw + sa) / a0;
    b.b1 = -2 * a * ((a - 1) + (a + 1) * cw) / a0;
    b.b2 = a * ((a + 1) + (a - 1) * cw - sa) / a0;
    b.a1 = 2 * ((a - 1) - (a + 1) * cw) / a0;
    b.a2 = ((a + 1) - (a - 1) * cw - sa) / a0;
    return b;
}

float Biquad::step(float x)
{
    double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return (float)y;
}

PingPongDelay::PingPongDelay(int64_t delay_samples, float fb)
    : left((size_t)delay_samples, 0.0f), right((size_t)delay_samples, 0.0f), feedback(fb)
{
}

void PingPongDelay::step(float in, float& out_l, float& out_r)
{
    float dl = left[pos], dr = right[pos];
    left[pos] = in + damp_l.lowpass(dr, 3500.0f) * feedback;
    right[pos] = damp_r.lowpass(dl, 3500.0f) * feedback;
    out_l = dl;
    out_r = dr;
    if (++pos == left.size())
        pos = 0;
}

// Freeverb's tunings (samples at 44.1 kHz); the right channel adds 23.
static const int COMB_LENGTHS[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
static const int ALLPASS_LENGTHS[4] = {556, 441, 341, 225};
static const int STEREO_SPREAD = 23;

Reverb::Reverb(float room_size, float damping) : feedback(0.7f + 0.28f * room_size), damp(damping)
{
    for (int i = 0; i < 8; ++i) {
        comb_l[i].buf.assign(COMB_LENGTHS[i], 0.0f);
        comb_r[i].buf.assign(COMB_LENGTHS[i] + STEREO_SPREAD, 0.0f);
    }
    for (int i = 0; i < 4; ++i) {
        ap_l[i].buf.assign(ALLPASS_LENGTHS[i], 0.0f);
        ap_r[i].buf.assign(ALLPASS_LENGTHS[i] + STEREO_SPREAD, 0.0f);
    }
}

float Reverb::Comb::process(float x, float fb, float dmp)
{
    float y = buf[pos];
    store = y * (1.0f - dmp) + store * dmp;
    buf[pos] = x + store * fb;
    if (++pos == buf.size())
        pos = 0;
    return y;
}

float Reverb::Allpass::process(float x)
{
    float b = buf[pos];
    buf[pos] = x + b * 0.5f;
    if (++pos == buf.size())
        pos = 0;
    return b - x;
}

void Reverb::step(float in, float& out_l, float& out_r)
{
    float x = in * 0.015f; // Freeverb's fixed input gain
    float l = 0.0f, r = 0.0f;
    for (int i = 0; i < 8; ++i) {
        l += comb_l[i].process(x, feedback, damp);
        r += comb_r[i].process(x, feedback, damp);
    }
    for (int i = 0; i < 4; ++i) {
        l = ap_l[i].process(l);
        r = ap_r[i].process(r);
    }
    out_l = l;
    out_r = r;
}

} // namespace dsp
