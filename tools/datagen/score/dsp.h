// Building blocks of the synthesizer: a seeded noise source, band-limited
// oscillators, envelopes, filters, a delay line and a reverb. Everything runs
// at SAMPLE_RATE and keeps its state in the object, so a voice is a handful of
// these structs stepped once per sample. Nothing here reads a clock or any
// global state: the same inputs give the same samples on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dsp {

const int SAMPLE_RATE = 44100;
const float PI = 3.14159265358979f;
const float TWO_PI = 6.28318530717959f;

// Frequency in Hz of a MIDI note number (69 = A4 = 440 Hz); fractional notes glide.
float note_hz(float note);
float db_to_gain(float db);
float clampf(float x, float lo, float hi);
float smoothstep(float x); // x in [0, 1] -> x^2 (3 - 2x)

// xorshift32: the only source of randomness in the tool. Seeded per note, so
// a note sounds the same whatever is rendered before it.
struct Rng
{
    uint32_t state;
    explicit Rng(uint32_t seed) : state(seed ? seed : 0x9e3779b9u) {}
    uint32_t next_u32();
    float next_bipolar(); // [-1, 1)
    float next_unit();    // [0, 1)
};

// Band-limited sawtooth and square (polyBLEP corrected), and a sine. Phase is
// in cycles [0, 1); every oscillator starts at phase 0 unless told otherwise.
struct Osc
{
    float phase = 0.0f;
    float saw(float hz);
    float square(float hz, float width = 0.5f);
    float sine(float hz);
};

// Attack/decay/sustain/release envelope in seconds, linear segments. gate_off
// is the sample (counted from the note's start) where release begins.
struct Adsr
{
    float attack, decay, sustain, release;
    float level_at(int64_t i, int64_t gate_off) const;
    int64_t tail_samples() const; // samples after gate_off until silence
};

// Exponential decay from 1 with the given time to fall by 60 dB.
float decay60(int64_t i, float seconds);

// Topology-preserving state variable filter (trapezoidal integration): low,
// band and high outputs from one step, stable for any cutoff below Nyquist.
struct Svf
{
    float ic1 = 0.0f, ic2 = 0.0f;
    float low = 0.0f, band = 0.0f, high = 0.0f;
    // set() costs a tangent: voices call it every few samples, step() every sample.
    void set(float cutoff_hz, float q);
    void step(float x);

private:
    float a1 = 0.0f, a2 = 0.0f, a3 = 0.0f, k = 1.0f;
};

// One-pole low pass, for smoothing and gentle tone control.
struct OnePole
{
    float z = 0.0f;
    float lowpass(float x, float cutoff_hz);
};

// Direct-form biquad with RBJ cookbook coefficients.
struct Biquad
{
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double z1 = 0, z2 = 0;
    static Biquad high_pass(double hz, double q, double rate);
    static Biquad high_shelf(double hz, double gain_db, double q, double rate);
    float step(float x);
};

// Stereo feedback delay: the left and right taps cross over (ping-pong), the
// feedback path is low-passed so repeats darken.
struct PingPongDelay
{
    std::vector<float> left, right;
    size_t pos = 0;
    float feedback;
    OnePole damp_l, damp_r;
    PingPongDelay(int64_t delay_samples, float feedback);
    void step(float in, float& out_l, float& out_r);
};

// Schroeder/Moorer reverb in the Freeverb layout: eight damped combs and four
// all-passes per channel, the right channel's lines slightly longer for width.
class Reverb
{
public:
    Reverb(float room_size, float damping);
    void step(float in, float& out_l, float& out_r);

private:
    struct Comb
    {
        std::vector<float> buf;
        size_t pos = 0;
        float store = 0.0f;
        float process(float x, float feedback, float damp);
    };
    struct Allpass
    {
        std::vector<float> buf;
        size_t pos = 0;
        float process(float x);
    };
    Comb comb_l[8], comb_r[8];
    Allpass ap_l[4], ap_r[4];
    float feedback, damp;
};

} // namespace dsp
