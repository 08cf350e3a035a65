// The score of the track "kelmora": every note of every instrument with its
// start sample, and the sections of the show that the music follows. The
// soundtrack is rendered from it and the markers script is written from it,
// so a cue line and the sound it names always share one sample position.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace score {

const double TEMPO_BPM = 138.0;
const int BEATS_PER_BAR = 4;

// The instruments. The comment names the script's cue token of the notes that
// carry a cue (see Note::cue).
enum class Voice
{
    Kick,      // "beat"
    Snare,     // "snare"
    HatClosed, // "hihatc"
    HatOpen,   // "hihato"
    Rumble,    // "rumble": a sub-bass hit
    Bass,      // rolling off-beat bass, no cue
    Wobble1,   // "bwab1": one bar of wobble bass in eighths
    Wobble2,   // "bwab2": one bar of wobble bass in triplets with a drop
    Pad,       // the chord bed, no cue
    PadSwell,  // "fadein": a chord swelling in
    Pluck,     // "melody" on the first note of each phrase
    Lead,      // "lead"
    SineSwell, // "sinus_in"
    Zap,       // "technofx": a falling laser zap
    Sweep,     // "technofx2": a rising filtered-noise sweep
    Count
};

// The cue token of a voice's cued notes, or null for voices without one.
const char* cue_token(Voice v);
const char* voice_name(Voice v);

struct Note
{
    Voice voice;
    int64_t start;    // sample of the first sound, from the start of the track
    int64_t length;   // held samples (the voice adds its own release tail)
    float pitch;      // MIDI note number
    float velocity;   // 0..1
    int variant;      // voice-specific pattern choice
    bool cue;         // written to the script with the voice's token
};

// A stretch of the show: a "#" comment in the script, and a scene switch
// when scene is 0..12.
struct Section
{
    std::string name;
    int scene;        // -1: a musical section inside the current scene
    int bar;          // first bar
    int64_t start;    // sample of its first bar
};

struct Score
{
    std::vector<Note> notes;       // sorted by start
    std::vector<Section> sections; // sorted by start
    int64_t quit;                  // sample of the show's end
    int64_t fade_start, fade_end;  // master fade-out after the quit
    int64_t length;                // samples of the whole track, tail included
};

// Sample of a position in beats from the start of the track.
int64_t beat_sample(double beat);
// Milliseconds of a sample position, rounded to the nearest.
int32_t sample_ms(int64_t sample);

// Composes the whole track. Deterministic: no randomness at all.
Score compose();

} // namespace score
