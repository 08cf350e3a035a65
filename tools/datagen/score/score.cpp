#include "score/score.h"

#include "score/dsp.h"

#include <algorithm>
#include <cmath>

namespace score {

const char* cue_token(Voice v)
{
    switch (v) {
    case Voice::Kick: return "beat";
    case Voice::Snare: return "snare";
    case Voice::HatClosed: return "hihatc";
    case Voice::HatOpen: return "hihato";
    case Voice::Rumble: return "rumble";
    case Voice::Wobble1: return "bwab1";
    case Voice::Wobble2: return "bwab2";
    case Voice::PadSwell: return "fadein";
    case Voice::Pluck: return "melody";
    case Voice::Lead: return "lead";
    case Voice::SineSwell: return "sinus_in";
    case Voice::Zap: return "technofx";
    case Voice::Sweep: return "technofx2";
    default: return nullptr;
    }
}

const char* voice_name(Voice v)
{
    static const char* names[] = {"kick", "snare", "closed hat", "open hat", "rumble", "bass",
                                  "wobble 1", "wobble 2", "pad", "pad swell", "pluck", "lead",
                                  "sine swell", "zap", "sweep"};
    return names[(int)v];
}

int64_t beat_sample(double beat)
{
    return (int64_t)std::llround(beat * 60.0 / TEMPO_BPM * dsp::SAMPLE_RATE);
}

int32_t sample_ms(int64_t sample)
{
    return (int32_t)((sample * 1000 + dsp::SAMPLE_RATE / 2) / dsp::SAMPLE_RATE);
}

namespace {

// A minor: i - VI - III - VII (Am, F, C, G), two bars per chord. Roots are
// the pad's octave; chord tones are semitones above the root, four per
// octave: index i is tone i % 4, i / 4 octaves up.
const float CHORD_ROOT[4] = {57, 53, 60, 55};
const int CHORD_TONES[4][4] = {{0, 3, 7, 10}, {0, 4, 7, 11}, {0, 4, 7, 9}, {0, 4, 7, 10}};

// Pluck phrases: two bars of (sixteenth step, chord tone index, length in
// sixteenths).
struct MotifNote
{
    int step, tone, len;
};
const std::vector<MotifNote> MOTIFS[2] = {
    {{0, 4, 2}, {3, 2, 2}, {6, 3, 2}, {8, 1, 2}, {10, 2, 2}, {12, 0, 2}, {14, 1, 2},
     {16, 4, 2}, {19, 2, 2}, {22, 3, 2}, {24, 4, 3}, {28, 2, 2}, {30, 1, 2}},
    {{0, 2, 3}, {3, 4, 3}, {6, 2, 2}, {8, 3, 4}, {12, 1, 2}, {14, 2, 2},
     {16, 0, 3}, {19, 1, 3}, {22, 2, 2}, {24, 3, 2}, {26, 4, 2}, {28, 3, 4}},
};

// Lead arpeggios: sixteen sixteenths of indices into the chord tones over two
// octaves (0..9), played twice per two-bar phrase.
const int ARPS[3][16] = {
    {0, 2, 4, 7, 5, 2, 4, 7, 9, 7, 5, 4, 2, 4, 5, 7},
    {0, 1, 2, 5, 4, 2, 5, 6, 7, 6, 5, 2, 4, 5, 7, 9},
    {9, 7, 5, 4, 7, 5, 4, 2, 5, 4, 2, 0, 2, 4, 5, 7},
};

class Composer
{
public:
    Score s;

    void section(const char* name, int scene, int bar)
    {
        s.sections.push_back({name, scene, bar, beat_sample(bar * BEATS_PER_BAR)});
        harmony_origin = bar;
    }
    // Chord index (0..3) at a bar: the progression restarts with each section.
    int chord(int bar) const { return (((bar - harmony_origin) / 2) % 4 + 4) % 4; }
    float tone(int c, int index) const
    {
        return CHORD_ROOT[c] + CHORD_TONES[c][index % 4] + 12.0f * (index / 4);
    }

    void add(Voice v, double beat, double len_beats, float pitch, float vel, bool cue, int variant = 0)
    {
        int64_t start = beat_sample(beat);
        int64_t len = beat_sample(beat + len_beats) - start;
        s.notes.push_back({v, start, len, pitch, vel, variant, cue});
    }

    void kicks(int bar0, int bar1, float vel = 1.0f)
    {
        for (int b = bar0 * 4; b < bar1 * 4; ++b)
            add(Voice::Kick, b, 1, 0, vel, true);
    }
    void snares(int bar0, int bar1, float vel = 0.8f)
    {
        for (int bar = bar0; bar < bar1; ++bar) {
            add(Voice::Snare, bar * 4 + 1, 0.5, 0, vel, true);
            add(Voice::Snare, bar * 4 + 3, 0.5, 0, vel, true);
        }
    }
    // A build-up roll: eighths, then sixteenths in the last half, rising.
    void snare_roll(int bar0, int bar1)
    {
        double mid = (bar0 + bar1) * 2.0;
        for (double b = bar0 * 4; b < bar1 * 4 - 1e-9; b += b < mid ? 0.5 : 0.25) {
            float rise = (float)((b - bar0 * 4) / ((bar1 - bar0) * 4));
            add(Voice::Snare, b, 0.25, 0, 0.35f + 0.5f * rise, true);
        }
    }
    void open_hats(int bar0, int bar1, float vel = 0.45f)
    {
        for (int b = bar0 * 4; b < bar1 * 4; ++b)
            add(Voice::HatOpen, b + 0.5, 0.5, 0, vel, true);
    }
    // Closed hats on the sixteenths around the open off-beat hat.
    void closed_hats(int bar0, int bar1, float vel = 0.3f, bool eighths_only = false)
    {
        for (int b = bar0 * 4; b < bar1 * 4; ++b) {
            if (eighths_only) {
                add(Voice::HatClosed, b + 0.5, 0.25, 0, vel, true);
                continue;
            }
            add(Voice::HatClosed, b + 0.25, 0.25, 0, vel * 0.7f, true);
            add(Voice::HatClosed, b + 0.75, 0.25, 0, vel, true);
        }
    }
    void rumble(double beat, float vel = 0.9f) { add(Voice::Rumble, beat, 4, 33, vel, true); }
    // The rolling bass: three sixteenths after each kick, on the chord root.
    void bass(int bar0, int bar1, float vel = 0.7f)
    {
        for (int b = bar0 * 4; b < bar1 * 4; ++b) {
            float root = CHORD_ROOT[chord(b / 4)] - 24.0f;
            for (int k = 1; k < 4; ++k)
                add(Voice::Bass, b + 0.25 * k, 0.2, root, vel * (k == 2 ? 1.0f : 0.85f), false);
        }
    }
    void pads(int bar0, int bar1, float vel = 0.5f, int variant = 0)
    {
        for (int bar = bar0; bar < bar1; bar += 2) {
            int c = chord(bar);
            double len = std::min(2, bar1 - bar) * 4.0;
            for (int t = 0; t < 3; ++t)
                add(Voice::Pad, bar * 4, len, tone(c, t), vel, false, variant);
        }
    }
    void pad_swell(int bar)
    {
        int c = chord(bar);
        for (int t = 0; t < 4; ++t)
            add(Voice::PadSwell, bar * 4, 8, tone(c, t), 0.6f, t == 0);
    }
    void melody(int bar, int motif, float vel = 0.6f)
    {
        int c = chord(bar);
        bool first = true;
        for (const MotifNote& m : MOTIFS[motif]) {
            add(Voice::Pluck, bar * 4 + m.step * 0.25, m.len * 0.25, tone(c, m.tone) + 12.0f, vel, first);
            first = false;
        }
    }
    // One lead phrase: two bars of arpeggio sixteenths; each step in rolls is
    // split into two thirty-seconds. Returns the number of notes.
    int lead_phrase(int bar, int arp, std::vector<int> rolls, float vel = 0.6f)
    {
        int c = chord(bar), n = 0;
        for (int step = 0; step < 32; ++step) {
            float pitch = tone(c, ARPS[arp][step % 16]);
            double beat = bar * 4 + step * 0.25;
            bool roll = std::find(rolls.begin(), rolls.end(), step) != rolls.end();
            add(Voice::Lead, beat, roll ? 0.1 : 0.2, pitch, vel, true);
            ++n;
            if (roll) {
                add(Voice::Lead, beat + 0.125, 0.1, pitch + 12.0f, vel * 0.8f, true);
                ++n;
            }
        }
        return n;
    }
    // Lead notes in eighths for a whole bar range (the peak section); those
    // from bar cue_from on are cues. Each "lead" pulls the wild speaker's fog
    // in to 300 units for about a second: only its last shot, close to the
    // ball, keeps the ball in view while the corridor turns white.
    void lead_eighths(int bar0, int bar1, int cue_from, float vel = 0.5f)
    {
        for (int b2 = bar0 * 8; b2 < bar1 * 8; ++b2) {
            int c = chord(b2 / 8);
            int idx = ARPS[1][b2 % 16];
            add(Voice::Lead, b2 * 0.5, 0.35, tone(c, idx), vel, b2 >= cue_from * 8);
        }
    }
    void sine_swell(int bar, float vel = 0.5f)
    {
        add(Voice::SineSwell, bar * 4, 6, CHORD_ROOT[chord(bar)] + 12.0f, vel, true);
    }
    void zap(double beat, float vel = 0.5f) { add(Voice::Zap, beat, 1, 0, vel, true); }
    void sweep(int bar0, int bar1, float vel = 0.5f) { add(Voice::Sweep, bar0 * 4, (bar1 - bar0) * 4, 0, vel, true); }
    void wobbles(int bar0, int bar1)
    {
        for (int bar = bar0; bar < bar1; ++bar) {
            bool second = (bar - bar0) % 2 == 1;
            add(second ? Voice::Wobble2 : Voice::Wobble1, bar * 4, 4, CHORD_ROOT[chord(bar)] - 24.0f, 0.8f, true);
        }
    }

private:
    int harmony_origin = 0;
};

} // namespace

Score compose()
{
    Composer c;

    c.section("intro", 0, 0);
    c.pads(0, 13, 0.45f, 1);
    c.rumble(4);
    c.sine_swell(2, 0.35f);
    c.sine_swell(6, 0.4f);
    c.sine_swell(10, 0.45f);
    c.closed_hats(9, 13, 0.2f, true);
    c.sweep(11, 13, 0.45f);

    c.section("build: the kick comes in", 1, 13);
    c.kicks(13, 29);
    c.rumble(13 * 4);
    c.pads(13, 29, 0.4f);
    c.closed_hats(17, 29, 0.25f, true);
    c.bass(21, 29, 0.6f);
    c.sweep(27, 29, 0.45f);

    c.section("groove: snares, open hats, pad swells", 2, 29);
    c.kicks(29, 45);
    c.snares(29, 45, 0.7f);
    c.open_hats(29, 45);
    c.bass(29, 45);
    c.pads(29, 45, 0.35f);
    for (int bar : {29, 33, 37, 41})
        c.pad_swell(bar);
    for (int bar = 37; bar < 45; bar += 2)
        c.melody(bar, 0, 0.5f);

    c.section("first drop", 3, 45);
    c.kicks(45, 61);
    c.snares(45, 61);
    c.open_hats(45, 61);
    c.closed_hats(45, 61);
    c.bass(45, 61, 0.8f);
    c.pads(45, 61, 0.35f);
    for (int bar = 45; bar < 61; bar += 4)
        c.rumble(bar * 4);
    for (int bar = 45; bar < 59; bar += 2)
        c.melody(bar, (bar / 2) % 2);
    c.zap(52 * 4 + 3.5);
    c.zap(56 * 4 + 3.5);
    c.sweep(59, 61);

    c.section("wobble bass", 4, 61);
    c.kicks(61, 77);
    c.snares(61, 77, 0.7f);
    c.closed_hats(61, 77, 0.3f, true);
    c.wobbles(61, 77);
    c.rumble(61 * 4);
    for (int bar : {63, 67, 71, 75})
        c.pad_swell(bar);
    c.sweep(75, 77, 0.4f);

    // A greeting's flight lasts 1.9 s and fades in from and out to black; one
    // sine swell a bar starts the next flight while the last one is still
    // fading out, so the thirteen greetings run back to back for thirteen
    // bars and the knot carries the rest of the breakdown.
    c.section("breakdown: greetings", 5, 77);
    c.pads(77, 93, 0.45f);
    for (int bar = 77; bar < 90; ++bar)
        c.sine_swell(bar, 0.4f);
    for (int bar = 85; bar < 93; bar += 2)
        c.melody(bar, 1, 0.45f);
    c.rumble(77 * 4, 0.7f);
    c.section("breakdown: the knot", 12, 90);

    c.section("build-up", -1, 93);
    c.kicks(93, 99, 0.8f);
    c.pads(93, 103, 0.4f);
    c.closed_hats(95, 103, 0.25f, true);
    c.bass(95, 103, 0.55f);
    for (int bar = 93; bar < 101; bar += 2)
        c.melody(bar, 0, 0.5f);
    c.snare_roll(99, 103);
    c.sweep(101, 103);

    c.section("second drop", 6, 103);
    c.kicks(103, 113);
    c.snares(103, 113);
    c.open_hats(103, 113);
    c.closed_hats(103, 113);
    c.bass(103, 113, 0.8f);
    c.pads(103, 113, 0.35f);
    for (int bar : {103, 107, 111})
        c.rumble(bar * 4);
    for (int bar = 103; bar < 111; bar += 2)
        c.melody(bar, (bar / 2) % 2);
    c.zap(106 * 4 + 3.5);
    c.sweep(111, 113, 0.45f);

    // The sphere laser counts its "lead" cues: phrases start at the 1st, 36th,
    // 71st, 103rd, 135th and 169th lead (35, 35, 32, 32 and 34 notes).
    c.section("lead", 7, 113);
    c.kicks(113, 129);
    c.snares(113, 129);
    c.open_hats(113, 129);
    c.closed_hats(121, 129);
    c.bass(113, 129, 0.75f);
    c.pads(113, 129, 0.3f);
    c.rumble(113 * 4);
    c.rumble(121 * 4);
    {
        int c0 = c.chord(114);
        for (int k = 0; k < 3; ++k) // a three-note pickup into the first phrase
            c.add(Voice::Lead, 115 * 4 - 0.75 + 0.25 * k, 0.2, c.tone(c0, 2 + k), 0.5f, true);
        c.lead_phrase(115, 0, {});
        c.lead_phrase(117, 1, {7, 15, 31});
        c.lead_phrase(119, 2, {});
        c.lead_phrase(121, 0, {});
        c.lead_phrase(123, 1, {15, 31});
        c.lead_phrase(125, 2, {});
        c.lead_phrase(127, 0, {});
    }

    c.section("broken beat", 8, 129);
    for (int bar = 129; bar < 137; ++bar) {
        for (double b : {0.0, 1.5, 2.5})
            c.add(Voice::Kick, bar * 4 + b, 1, 0, 1.0f, true);
        c.add(Voice::Snare, bar * 4 + 1, 0.5, 0, 0.8f, true);
        c.add(Voice::Snare, bar * 4 + 3, 0.5, 0, 0.8f, true);
        if (bar % 2 == 0)
            c.add(Voice::Snare, bar * 4 + 3.75, 0.25, 0, 0.45f, true);
    }
    c.closed_hats(129, 137, 0.3f);
    c.bass(129, 137, 0.7f);
    c.pads(129, 137, 0.3f);
    for (int bar = 129; bar < 137; bar += 2)
        c.zap(bar * 4 + 2.5, 0.4f);
    c.rumble(129 * 4);

    c.section("interlude", 12, 137);
    c.pads(137, 141, 0.45f, 1);
    c.rumble(137 * 4, 0.8f);
    c.sine_swell(137, 0.45f);
    c.sine_swell(139, 0.5f);
    c.sweep(139, 141);

    // The wild speaker's shots change at bars 142, 149, 150, 154 and 156.
    c.section("peak", 9, 141);
    c.kicks(141, 149);
    c.snares(141, 149);
    c.open_hats(141, 149);
    c.closed_hats(141, 149);
    c.bass(141, 149, 0.8f);
    c.pads(141, 149, 0.3f);
    c.rumble(141 * 4);
    c.rumble(145 * 4);
    for (int bar = 141; bar < 149; bar += 2)
        c.melody(bar, (bar / 2) % 2);
    c.section("break bar", -1, 149);
    c.pads(149, 150, 0.4f);
    c.zap(149 * 4);
    c.zap(149 * 4 + 2);
    c.sweep(149, 150, 0.5f);
    c.section("peak with lead", -1, 150);
    c.kicks(150, 158);
    c.snares(150, 157);
    c.snare_roll(157, 158);
    c.open_hats(150, 158);
    c.closed_hats(150, 158);
    c.bass(150, 158, 0.8f);
    c.pads(150, 158, 0.3f);
    c.rumble(150 * 4);
    c.rumble(154 * 4);
    c.lead_eighths(150, 158, 156, 0.45f);
    for (int bar = 150; bar < 158; bar += 2)
        c.melody(bar, bar >= 156 ? 1 : 0, 0.5f);

    c.section("melodic groove", 10, 158);
    c.kicks(158, 174);
    c.snares(158, 174, 0.6f);
    c.open_hats(158, 174, 0.4f);
    c.bass(158, 174, 0.7f);
    c.pads(158, 174, 0.35f);
    c.rumble(158 * 4);
    for (int bar = 158; bar < 174; bar += 2)
        c.melody(bar, (bar / 2) % 2, 0.55f);

    c.section("outro", 11, 174);
    c.kicks(174, 182);
    c.open_hats(174, 182, 0.35f);
    c.bass(174, 182, 0.6f);
    c.pads(174, 190, 0.4f, 1);
    for (int bar = 174; bar < 186; bar += 2) {
        c.melody(bar, (bar / 2) % 2, 0.5f);
        c.zap(bar * 4 + 1.5, 0.4f);
    }
    for (int bar = 176; bar < 186; bar += 4)
        c.sweep(bar, bar + 2, 0.35f);
    c.rumble(174 * 4);
    c.rumble(182 * 4, 0.7f);

    Score& s = c.s;
    s.quit = beat_sample(186 * 4);
    s.fade_start = s.quit;
    s.fade_end = beat_sample(190 * 4);
    s.length = s.fade_end + dsp::SAMPLE_RATE * 3 / 2;
    std::stable_sort(s.notes.begin(), s.notes.end(),
                     [](const Note& a, const Note& b) { return a.start < b.start; });
    return s;
}

} // namespace score
