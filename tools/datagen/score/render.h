// Renders the score to a stereo float track at 44100 Hz: each note through
// its voice, the voices through three mix buses (drums; bass, ducked by the
// kick; music, ducked less, with sends to a ping-pong delay and a reverb),
// then the master: a fade-out after the quit, loudness set to a target and
// a look-ahead peak limiter.
#pragma once

#include "score/score.h"

#include <cstdint>
#include <vector>

namespace render {

struct Stereo
{
    int64_t origin = 0; // score sample of index 0
    std::vector<float> left, right;
    Stereo() = default;
    Stereo(int64_t origin, size_t frames) : origin(origin), left(frames, 0.0f), right(frames, 0.0f) {}
    size_t frames() const { return left.size(); }
};

// The dry sound of one note, index 0 at the note's start sample (mono; the
// mixer pans it). Its length covers the release tail.
std::vector<float> render_note(const score::Note& note, uint32_t seed);

// Adds a note's dry sound to a buffer at the note's start sample (relative to
// the buffer's origin), panned and scaled by the voice's level. The kick duck
// is not applied here.
void mix_note(const score::Note& note, uint32_t seed, Stereo& bus);

// Per-note seed: depends only on the note's place in the score.
uint32_t note_seed(size_t note_index);

struct MasterReport
{
    double loudness_before;   // LUFS of the mix before the level stage
    double gain_db;           // applied before the limiter
    double loudness_after;    // LUFS of the finished track
    double peak;              // largest sample magnitude of the finished track
};

// The finished track. Runs the buses on two threads; the result does not
// depend on the thread timing.
Stereo render_track(const score::Score& score, MasterReport* report = nullptr);

// Integrated loudness (ITU-R BS.1770 with gating) in LUFS, -70 for silence.
double integrated_loudness(const Stereo& track);

// Peak limiter applied in place: the gain reaches the needed reduction over
// the look-ahead before each peak and recovers over release_s afterwards.
void limit(Stereo& track, float ceiling, double lookahead_s, double release_s);

} // namespace render
