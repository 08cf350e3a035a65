#include "score/render.h"

#include "score/dsp.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <thread>

namespace render {

using dsp::Adsr;
using dsp::Osc;
using dsp::Rng;
using dsp::SAMPLE_RATE;
using dsp::Svf;
using score::Note;
using score::Voice;

namespace {

const int CONTROL_STEP = 16; // samples between filter coefficient updates

float seconds(int64_t i)
{
    return (float)i / SAMPLE_RATE;
}

int64_t samples(float s)
{
    return (int64_t)(s * SAMPLE_RATE);
}

std::vector<float> kick(const Note& n)
{
    std::vector<float> out(samples(0.5f));
    Osc body;
    for (size_t i = 0; i < out.size(); ++i) {
        float t = seconds(i);
        float hz = 46.0f + 120.0f * std::exp(-t / 0.03f) + 500.0f * std::exp(-t / 0.003f);
        float amp = dsp::decay60(i, 0.5f) * std::min(1.0f, (0.5f - t) * 20.0f);
        out[i] = std::tanh(1.6f * body.sine(hz)) * amp * n.velocity;
    }
    return out;
}

std::vector<float> snare(const Note& n, Rng& rng)
{
    std::vector<float> out(samples(0.35f));
    Osc tone1, tone2;
    Svf noise_filter;
    noise_filter.set(2500.0f, 0.7f);
    for (size_t i = 0; i < out.size(); ++i) {
        float tone = 0.6f * tone1.sine(185.0f) + 0.3f * tone2.sine(330.0f);
        noise_filter.step(rng.next_bipolar());
        float noise = noise_filter.high + 0.5f * noise_filter.band;
        out[i] = (tone * dsp::decay60(i, 0.12f) + 0.8f * noise * dsp::decay60(i, 0.25f)) * n.velocity;
    }
    return out;
}

std::vector<float> hat(const Note& n, Rng& rng, bool open)
{
    float len = open ? 0.32f : 0.06f;
    std::vector<float> out(samples(len));
    Svf hp, peak;
    hp.set(7000.0f, 0.7f);
    peak.set(10500.0f, 2.0f);
    for (size_t i = 0; i < out.size(); ++i) {
        hp.step(rng.next_bipolar());
        peak.step(hp.high);
        float amp = dsp::decay60(i, len) * std::min(1.0f, (len - seconds(i)) * 50.0f);
        out[i] = (hp.high + 0.6f * peak.band) * amp * n.velocity;
    }
    return out;
}

std::vector<float> rumble(const Note& n)
{
    std::vector<float> out(samples(2.0f));
    Osc osc;
    float end_hz = dsp::note_hz(n.pitch);
    dsp::OnePole lp;
    for (size_t i = 0; i < out.size(); ++i) {
        float t = seconds(i);
        float hz = end_hz * (1.0f + std::exp(-t / 0.15f));
        float amp = dsp::decay60(i, 2.0f) * std::min(1.0f, (2.0f - t) * 10.0f);
        out[i] = lp.lowpass(std::tanh(2.5f * osc.sine(hz)), 400.0f) * amp * n.velocity;
    }
    return out;
}

std::vector<float> bass(const Note& n)
{
    Adsr env{0.002f, 0.08f, 0.5f, 0.03f};
    std::vector<float> out((size_t)(n.length + env.tail_samples()));
    Osc saw, sub;
    Svf f;
    float hz = dsp::note_hz(n.pitch);
    for (size_t i = 0; i < out.size(); ++i) {
        if (i % CONTROL_STEP == 0)
            f.set(180.0f + 1400.0f * std::exp(-seconds(i) / 0.04f), 1.2f);
        f.step(0.7f * saw.saw(hz) + 0.5f * sub.square(hz * 0.5f));
        out[i] = f.low * env.level_at((int64_t)i, n.length) * n.velocity;
    }
    return out;
}

// A bar of wobble: variant 1 wobbles in eighths, variant 2 in triplets and
// drops an octave for the last beat.
std::vector<float> wobble(const Note& n, bool triplets)
{
    Adsr env{0.004f, 0.0f, 1.0f, 0.05f};
    std::vector<float> out((size_t)(n.length + env.tail_samples()));
    Osc saws[3], sub;
    const float detune[3] = {1.0f, 1.006f, 0.994f};
    Svf f;
    float beat_s = 60.0f / (float)score::TEMPO_BPM;
    float rate = (triplets ? 3.0f : 2.0f) / beat_s;
    for (size_t i = 0; i < out.size(); ++i) {
        float t = seconds(i);
        float hz = dsp::note_hz(n.pitch + (triplets && t > 3.0f * beat_s ? -12.0f : 0.0f));
        if (i % CONTROL_STEP == 0) {
            float lfo = 0.5f - 0.5f * std::cos(dsp::TWO_PI * rate * t);
            f.set(120.0f + 2600.0f * lfo * lfo, 3.0f);
        }
        float x = 0.0f;
        for (int k = 0; k < 3; ++k)
            x += saws[k].saw(hz * detune[k]);
        f.step(0.3f * x);
        out[i] = (std::tanh(1.5f * f.low) + 0.5f * sub.sine(hz)) * env.level_at((int64_t)i, n.length) * n.velocity;
    }
    return out;
}

// Pads and swells: three detuned saws through a low pass. Variant 1 (and the
// swells) rise slowly; a swell also opens its filter as it rises.
std::vector<float> pad(const Note& n, bool swell)
{
    float held = seconds(n.length);
    Adsr env = swell ? Adsr{0.7f * held, 0.0f, 1.0f, 1.5f}
                     : (n.variant == 1 ? Adsr{1.5f, 0.0f, 1.0f, 1.2f} : Adsr{0.25f, 0.0f, 1.0f, 0.8f});
    std::vector<float> out((size_t)(n.length + env.tail_samples()));
    Osc saws[3];
    saws[1].phase = 0.33f;
    saws[2].phase = 0.71f;
    const float detune[3] = {1.0f, 1.0047f, 0.9953f};
    float hz = dsp::note_hz(n.pitch);
    Svf f;
    f.set(n.variant == 1 ? 1400.0f : 2200.0f, 0.8f);
    for (size_t i = 0; i < out.size(); ++i) {
        float level = env.level_at((int64_t)i, n.length);
        if (swell && i % CONTROL_STEP == 0)
            f.set(300.0f + 3500.0f * level * level, 1.2f);
        float x = 0.0f;
        for (int k = 0; k < 3; ++k)
            x += saws[k].saw(hz * detune[k]);
        f.step(x * 0.33f);
        out[i] = f.low * level * n.velocity;
    }
    return out;
}

std::vector<float> pluck(const Note& n)
{
    Adsr env{0.001f, 0.3f, 0.0f, 0.05f};
    std::vector<float> out((size_t)(std::min<int64_t>(n.length, samples(0.3f)) + env.tail_samples()));
    Osc saw, sq;
    Svf f;
    float hz = dsp::note_hz(n.pitch);
    for (size_t i = 0; i < out.size(); ++i) {
        if (i % CONTROL_STEP == 0)
            f.set(400.0f + 5000.0f * std::exp(-seconds(i) / 0.07f), 1.5f);
        f.step(0.6f * saw.saw(hz) + 0.4f * sq.square(hz * 1.002f, 0.3f));
        out[i] = f.low * env.level_at((int64_t)i, samples(0.3f)) * n.velocity;
    }
    return out;
}

std::vector<float> lead(const Note& n)
{
    Adsr env{0.002f, 0.06f, 0.6f, 0.06f};
    std::vector<float> out((size_t)(n.length + env.tail_samples()));
    Osc saws[5];
    const float detune[5] = {1.0f, 1.009f, 0.991f, 1.017f, 0.983f};
    for (int k = 1; k < 5; ++k)
        saws[k].phase = 0.2f * k;
    Svf f;
    f.set(4200.0f, 0.9f);
    float hz = dsp::note_hz(n.pitch);
    for (size_t i = 0; i < out.size(); ++i) {
        float x = 0.0f;
        for (int k = 0; k < 5; ++k)
            x += saws[k].saw(hz * detune[k]);
        f.step(0.2f * x);
        out[i] = f.low * env.level_at((int64_t)i, n.length) * n.velocity;
    }
    return out;
}

// A sine that glides up an octave to its note while it swells, then fades.
std::vector<float> sine_swell(const Note& n)
{
    std::vector<float> out((size_t)n.length + samples(0.4f));
    Osc osc, vib;
    float peak_at = 0.8f * (float)n.length;
    for (size_t i = 0; i < out.size(); ++i) {
        float x = (float)i / (float)n.length;
        float glide = dsp::smoothstep(std::min(1.0f, x * 1.1f));
        float hz = dsp::note_hz(n.pitch - 12.0f + 12.0f * glide) * (1.0f + 0.004f * vib.sine(5.5f));
        float amp = (float)i < peak_at ? (float)i / peak_at : std::max(0.0f, 1.0f - ((float)i - peak_at) / (0.2f * (float)n.length + samples(0.4f)));
        out[i] = osc.sine(hz) * amp * n.velocity;
    }
    return out;
}

// A square wave falling from 4 kHz to 60 Hz through a resonant low pass.
std::vector<float> zap(const Note& n)
{
    std::vector<float> out(samples(0.45f));
    Osc osc;
    Svf f;
    for (size_t i = 0; i < out.size(); ++i) {
        float t = seconds(i);
        float hz = 60.0f + 4000.0f * std::exp(-t / 0.06f);
        if (i % CONTROL_STEP == 0)
            f.set(hz * 3.0f, 4.0f);
        f.step(osc.square(hz, 0.25f));
        out[i] = f.low * 0.6f * dsp::decay60(i, 0.45f) * std::min(1.0f, (0.45f - t) * 40.0f) * n.velocity;
    }
    return out;
}

// Noise through a band pass rising from 200 Hz to 9 kHz, growing louder.
std::vector<float> sweep(const Note& n, Rng& rng)
{
    std::vector<float> out((size_t)n.length);
    Svf f;
    float len = (float)n.length;
    for (size_t i = 0; i < out.size(); ++i) {
        float x = (float)i / len;
        if (i % CONTROL_STEP == 0)
            f.set(200.0f * std::pow(45.0f, x), 3.0f);
        f.step(rng.next_bipolar());
        float fade_in = std::min(1.0f, (float)i / samples(0.01f) + 0.05f);
        float fade_out = std::min(1.0f, (len - (float)i) / samples(0.02f));
        out[i] = f.band * (0.15f + 0.85f * x * x) * fade_in * fade_out * n.velocity;
    }
    return out;
}

// Mix settings of each voice: level, pan (-1 left .. 1 right), duck depth,
// reverb and delay sends.
struct VoiceMix
{
    float level, pan, duck, reverb, delay;
};

const VoiceMix VOICE_MIX[(int)Voice::Count] = {
    {0.95f, 0.0f, 0.0f, 0.00f, 0.00f},  // kick
    {0.60f, 0.05f, 0.0f, 0.18f, 0.00f}, // snare
    {0.22f, 0.25f, 0.0f, 0.03f, 0.00f}, // closed hat
    {0.20f, -0.2f, 0.0f, 0.05f, 0.00f}, // open hat
    {0.45f, 0.0f, 0.3f, 0.08f, 0.00f},  // rumble
    {0.40f, 0.0f, 0.85f, 0.00f, 0.00f}, // bass
    {0.38f, 0.0f, 0.7f, 0.02f, 0.00f},  // wobble 1
    {0.38f, 0.0f, 0.7f, 0.02f, 0.00f},  // wobble 2
    {0.30f, 0.0f, 0.6f, 0.30f, 0.00f},  // pad (spread by note)
    {0.28f, 0.0f, 0.5f, 0.40f, 0.00f},  // pad swell
    {0.35f, 0.15f, 0.5f, 0.20f, 0.35f}, // pluck
    {0.45f, -0.1f, 0.5f, 0.20f, 0.20f}, // lead
    {0.40f, 0.0f, 0.3f, 0.45f, 0.15f},  // sine swell
    {0.22f, 0.3f, 0.3f, 0.10f, 0.40f},  // zap
    {0.16f, 0.0f, 0.3f, 0.30f, 0.00f},  // sweep
};

float pan_of(const Note& n)
{
    float pan = VOICE_MIX[(int)n.voice].pan;
    if (n.voice == Voice::Pad || n.voice == Voice::PadSwell)
        pan = 0.45f * std::sin(n.pitch * 1.7f); // chord tones spread across the field
    return pan;
}

void pan_gains(float pan, float& gl, float& gr)
{
    float a = (pan + 1.0f) * 0.25f * dsp::PI;
    gl = std::cos(a) * 1.41421356f;
    gr = std::sin(a) * 1.41421356f;
}

} // namespace

uint32_t note_seed(size_t note_index)
{
    return 0x6b656c6du ^ (uint32_t)(note_index * 2654435761u);
}

std::vector<float> render_note(const Note& n, uint32_t seed)
{
    Rng rng(seed);
    switch (n.voice) {
    case Voice::Kick: return kick(n);
    case Voice::Snare: return snare(n, rng);
    case Voice::HatClosed: return hat(n, rng, false);
    case Voice::HatOpen: return hat(n, rng, true);
    case Voice::Rumble: return rumble(n);
    case Voice::Bass: return bass(n);
    case Voice::Wobble1: return wobble(n, false);
    case Voice::Wobble2: return wobble(n, true);
    case Voice::Pad: return pad(n, false);
    case Voice::PadSwell: return pad(n, true);
    case Voice::Pluck: return pluck(n);
    case Voice::Lead: return lead(n);
    case Voice::SineSwell: return sine_swell(n);
    case Voice::Zap: return zap(n);
    case Voice::Sweep: return sweep(n, rng);
    default: return {};
    }
}

namespace {

// Adds samples x (starting at score sample start) times gain into a mono or
// stereo buffer, clipped to its extent. duck (may be null) is the kick's
// envelope over the whole track.
void add_into(std::vector<float>& dst, int64_t origin, const std::vector<float>& x, int64_t start, float gain,
              const std::vector<float>* duck, float depth)
{
    int64_t from = std::max<int64_t>(0, origin - start);
    int64_t to = std::min<int64_t>((int64_t)x.size(), origin + (int64_t)dst.size() - start);
    for (int64_t i = from; i < to; ++i) {
        int64_t at = start + i;
        float g = gain;
        if (duck && depth > 0.0f && at < (int64_t)duck->size())
            g *= 1.0f - depth * (*duck)[at];
        dst[at - origin] += x[i] * g;
    }
}

struct Bus
{
    Stereo dry;
    std::vector<float> reverb_send, delay_send;
};

// The kick envelope the ducked voices follow: up within 3 ms of each kick,
// back down with a 110 ms time constant.
std::vector<float> kick_envelope(const score::Score& s)
{
    std::vector<float> env((size_t)s.length, 0.0f);
    for (const Note& n : s.notes) {
        if (n.voice != Voice::Kick)
            continue;
        int64_t end = std::min<int64_t>(s.length, n.start + samples(0.6f));
        const int64_t rise = samples(0.003f);
        const float fall = std::exp(-1.0f / (0.11f * SAMPLE_RATE)); // per sample
        float k = 1.0f;
        for (int64_t t = n.start; t < end; ++t) {
            int64_t age = t - n.start;
            float v = age < rise ? (float)age / (float)rise : (k *= fall);
            env[t] = std::max(env[t], v * n.velocity);
        }
    }
    return env;
}

void render_bus(const score::Score& s, const std::vector<float>& duck, bool drums_and_bass, Bus& bus)
{
    bus.dry = Stereo(0, (size_t)s.length);
    bus.reverb_send.assign((size_t)s.length, 0.0f);
    bus.delay_send.assign((size_t)s.length, 0.0f);
    for (size_t i = 0; i < s.notes.size(); ++i) {
        const Note& n = s.notes[i];
        bool rhythm = n.voice <= Voice::Wobble2;
        if (rhythm != drums_and_bass)
            continue;
        std::vector<float> x = render_note(n, note_seed(i));
        const VoiceMix& m = VOICE_MIX[(int)n.voice];
        float gl, gr;
        pan_gains(pan_of(n), gl, gr);
        add_into(bus.dry.left, 0, x, n.start, m.level * gl, &duck, m.duck);
        add_into(bus.dry.right, 0, x, n.start, m.level * gr, &duck, m.duck);
        if (m.reverb > 0.0f)
            add_into(bus.reverb_send, 0, x, n.start, m.level * m.reverb, &duck, m.duck);
        if (m.delay > 0.0f)
            add_into(bus.delay_send, 0, x, n.start, m.level * m.delay, &duck, m.duck);
    }
}

// The effect returns are added to a bus's dry buffer (one effect per bus, so
// the two can run at the same time).
void add_reverb(const std::vector<float>& send, Stereo& out)
{
    dsp::Reverb reverb(0.82f, 0.35f);
    float l, r;
    for (size_t i = 0; i < send.size(); ++i) {
        reverb.step(send[i], l, r);
        out.left[i] += l;
        out.right[i] += r;
    }
}

void add_delay(const std::vector<float>& send, Stereo& out)
{
    // Three sixteenths, the classic dotted-eighth echo.
    dsp::PingPongDelay delay(score::beat_sample(0.75), 0.45f);
    float l, r;
    for (size_t i = 0; i < send.size(); ++i) {
        delay.step(send[i], l, r);
        out.left[i] += 0.7f * l;
        out.right[i] += 0.7f * r;
    }
}

// ITU-R BS.1770 K-weighting for any sample rate: the +4 dB high shelf near
// 1.7 kHz, then the high pass near 38 Hz (the bilinear designs of the
// standard's 48 kHz coefficients).
void k_weighting(double rate, dsp::Biquad& shelf, dsp::Biquad& hp)
{
    double k = std::tan(M_PI * 1681.974450955533 / rate), q = 0.7071752369554196;
    double vh = std::pow(10.0, 3.999843853973347 / 20.0), vb = std::pow(vh, 0.4996667741545416);
    double a0 = 1.0 + k / q + k * k;
    shelf.b0 = (vh + vb * k / q + k * k) / a0;
    shelf.b1 = 2.0 * (k * k - vh) / a0;
    shelf.b2 = (vh - vb * k / q + k * k) / a0;
    shelf.a1 = 2.0 * (k * k - 1.0) / a0;
    shelf.a2 = (1.0 - k / q + k * k) / a0;
    k = std::tan(M_PI * 38.13547087602444 / rate);
    q = 0.5003270373238773;
    a0 = 1.0 + k / q + k * k;
    hp.b0 = 1.0;
    hp.b1 = -2.0;
    hp.b2 = 1.0;
    hp.a1 = 2.0 * (k * k - 1.0) / a0;
    hp.a2 = (1.0 - k / q + k * k) / a0;
}

// Mean K-weighted power (both channels summed) of 400 ms blocks overlapping
// by 75 %.
std::vector<double> block_powers(const Stereo& t)
{
    const size_t block = SAMPLE_RATE * 4 / 10, hop = block / 4;
    std::vector<double> quarter((t.frames() + hop - 1) / hop, 0.0);
    for (int ch = 0; ch < 2; ++ch) {
        const std::vector<float>& x = ch == 0 ? t.left : t.right;
        dsp::Biquad shelf, hp;
        k_weighting(SAMPLE_RATE, shelf, hp);
        for (size_t i = 0; i < x.size(); ++i) {
            double y = hp.step(shelf.step(x[i]));
            quarter[i / hop] += y * y;
        }
    }
    std::vector<double> powers;
    for (size_t b = 0; b + 4 <= quarter.size(); ++b)
        powers.push_back((quarter[b] + quarter[b + 1] + quarter[b + 2] + quarter[b + 3]) / block);
    return powers;
}

double gated_loudness(const std::vector<double>& powers, double gate_lufs)
{
    double sum = 0.0;
    size_t n = 0;
    for (double p : powers) {
        double l = -0.691 + 10.0 * std::log10(p + 1e-20);
        if (l > gate_lufs) {
            sum += p;
            ++n;
        }
    }
    return n ? -0.691 + 10.0 * std::log10(sum / n) : -70.0;
}

} // namespace

void mix_note(const Note& n, uint32_t seed, Stereo& bus)
{
    std::vector<float> x = render_note(n, seed);
    const VoiceMix& m = VOICE_MIX[(int)n.voice];
    float gl, gr;
    pan_gains(pan_of(n), gl, gr);
    add_into(bus.left, bus.origin, x, n.start, m.level * gl, nullptr, 0.0f);
    add_into(bus.right, bus.origin, x, n.start, m.level * gr, nullptr, 0.0f);
}

double integrated_loudness(const Stereo& track)
{
    std::vector<double> powers = block_powers(track);
    double ungated = gated_loudness(powers, -70.0);
    return gated_loudness(powers, std::max(-70.0, ungated - 10.0));
}

void limit(Stereo& t, float ceiling, double lookahead_s, double release_s)
{
    size_t n = t.frames();
    size_t look = (size_t)(lookahead_s * SAMPLE_RATE);
    std::vector<float> need(n);
    for (size_t i = 0; i < n; ++i) {
        float p = std::max(std::fabs(t.left[i]), std::fabs(t.right[i]));
        need[i] = p > ceiling ? ceiling / p : 1.0f;
    }
    // Minimum of need over [i, i + look] (a monotonic deque), then its moving
    // average over the look-ahead: at a peak every averaged value already
    // holds that peak's reduction, so the ramp ends exactly on it.
    std::vector<float> window_min(n);
    std::deque<size_t> q;
    for (size_t j = 0; j < n + look; ++j) {
        if (j < n) {
            while (!q.empty() && need[q.back()] >= need[j])
                q.pop_back();
            q.push_back(j);
        }
        if (j >= look) {
            size_t i = j - look;
            while (q.front() < i)
                q.pop_front();
            window_min[i] = need[q.front()];
        }
    }
    double acc = 0.0;
    float release_step = (float)(1.0 / (release_s * SAMPLE_RATE));
    float g = 1.0f;
    for (size_t i = 0; i < n; ++i) {
        acc += window_min[i];
        if (i >= look)
            acc -= window_min[i - look];
        float avg = (float)(acc / (double)std::min(i + 1, look));
        g = std::min(avg, g + release_step * (1.0f - g + 0.05f));
        t.left[i] *= g;
        t.right[i] *= g;
    }
}

void scale(Stereo& t, float g)
{
    for (size_t i = 0; i < t.frames(); ++i) {
        t.left[i] *= g;
        t.right[i] *= g;
    }
}

Stereo render_track(const score::Score& s, MasterReport* report)
{
    Bus rhythm, music;
    {
        std::vector<float> duck = kick_envelope(s);
        std::thread worker([&] { render_bus(s, duck, true, rhythm); });
        render_bus(s, duck, false, music);
        worker.join();
    }
    for (size_t i = 0; i < rhythm.reverb_send.size(); ++i) {
        rhythm.reverb_send[i] += music.reverb_send[i];
        rhythm.delay_send[i] += music.delay_send[i];
    }
    std::thread fx([&] { add_reverb(rhythm.reverb_send, rhythm.dry); });
    add_delay(rhythm.delay_send, music.dry);
    fx.join();
    rhythm.reverb_send = std::vector<float>();
    rhythm.delay_send = std::vector<float>();
    music.reverb_send = std::vector<float>();
    music.delay_send = std::vector<float>();

    Stereo track = std::move(rhythm.dry);
    dsp::Biquad hp_l = dsp::Biquad::high_pass(25.0, 0.7071, SAMPLE_RATE), hp_r = hp_l;
    for (size_t i = 0; i < track.frames(); ++i) {
        float fade = 1.0f;
        if ((int64_t)i >= s.fade_start)
            fade = 1.0f - dsp::smoothstep((float)((int64_t)i - s.fade_start) / (float)(s.fade_end - s.fade_start));
        track.left[i] = hp_l.step(track.left[i] + music.dry.left[i]) * fade;
        track.right[i] = hp_r.step(track.right[i] + music.dry.right[i]) * fade;
    }
    music.dry = Stereo();

    // Level: aim the integrated loudness at the target, limit the peaks to
    // the ceiling (below -1 dBFS by the margin the Vorbis encoding's overshoot
    // needs), then correct once for the loudness the limiter took away.
    const double target = -14.0;
    const float ceiling = dsp::db_to_gain(-3.0f);
    double before = integrated_loudness(track);
    double gain_db = target - before;
    {
        Stereo trial = track;
        scale(trial, dsp::db_to_gain((float)gain_db));
        limit(trial, ceiling, 0.005, 0.08);
        gain_db += target - integrated_loudness(trial);
    }
    scale(track, dsp::db_to_gain((float)gain_db));
    limit(track, ceiling, 0.005, 0.08);
    if (report) {
        report->loudness_before = before;
        report->gain_db = gain_db;
        report->loudness_after = integrated_loudness(track);
        float peak = 0.0f;
        for (size_t i = 0; i < track.frames(); ++i)
            peak = std::max(peak, std::max(std::fabs(track.left[i]), std::fabs(track.right[i])));
        report->peak = peak;
    }
    return track;
}

} // namespace render
