// The score and what datagen makes from it: the markers script read by the
// show's own parser keeps the timeline the scenes rely on, every cue line is
// where its sound starts, the rendered track keeps the level, length and beat
// the show needs, and two runs write the same bytes.
#include "generator.h"
#include "score/markers.h"
#include "score/render.h"
#include "score/score.h"
#include "support/show_runner.h"

#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>

#if __has_include("timeline/event_queue.h")
#include "timeline/event_queue.h"
#define HAVE_SHOW_PARSER 1
#endif

namespace {

const double BAR_MS = 4 * 60000.0 / score::TEMPO_BPM;

const score::Score& the_score()
{
    static const score::Score s = score::compose();
    return s;
}

// A decoded Ogg Vorbis file, mono-summed.
struct Decoded
{
    bool ok = false;
    int rate = 0;
    std::vector<float> mono;
    render::Stereo stereo;
    float peak = 0.0f;
};

Decoded decode(const std::string& path)
{
    Decoded d;
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0)
        return d;
    vorbis_info* vi = ov_info(&vf, -1);
    d.rate = (int)vi->rate;
    int section = 0;
    for (;;) {
        float** pcm = nullptr;
        long n = ov_read_float(&vf, &pcm, 4096, &section);
        if (n <= 0)
            break;
        for (long i = 0; i < n; ++i) {
            float l = pcm[0][i], r = vi->channels > 1 ? pcm[1][i] : l;
            d.stereo.left.push_back(l);
            d.stereo.right.push_back(r);
            d.mono.push_back(0.5f * (l + r));
            d.peak = std::max(d.peak, std::max(std::fabs(l), std::fabs(r)));
        }
    }
    ov_clear(&vf);
    d.ok = !d.mono.empty();
    return d;
}

// Kick onsets in a track: the energy of the low band (below about 200 Hz)
// in the 15 ms after each millisecond against the 15 ms before it. An onset
// is a peak of that ratio above 6 dB that is the largest within 40 ms either
// side, with energy above -40 dB of the loudest window. Returns milliseconds.
std::vector<double> kick_onsets(const std::vector<float>& x, int rate)
{
    float a = 1.0f - std::exp(-2.0f * 3.14159265f * 200.0f / rate);
    float z1 = 0, z2 = 0;
    const int w = 15, reach = 40;
    // prefix[h]: low-band energy of the first h milliseconds.
    std::vector<double> prefix(1, 0.0);
    double acc = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        z1 += a * (x[i] - z1);
        z2 += a * (z1 - z2);
        acc += (double)z2 * z2;
        if ((i + 1) * 1000 / rate != i * 1000 / rate)
            prefix.push_back(acc);
    }
    const size_t hops = prefix.size() - 1;
    std::vector<double> ratio(hops, 0.0), ahead(hops, 0.0);
    double loudest = 0;
    for (size_t h = w; h + w <= hops; ++h) {
        ahead[h] = prefix[h + w] - prefix[h];
        double behind = prefix[h] - prefix[h - w];
        ratio[h] = 10.0 * std::log10((ahead[h] + 1e-9) / (behind + 1e-9));
        loudest = std::max(loudest, ahead[h]);
    }
    std::vector<double> onsets;
    for (size_t h = reach; h + reach < hops; ++h) {
        if (ratio[h] < 6.0 || ahead[h] < 1e-4 * loudest)
            continue;
        bool peak = true;
        for (size_t k = h - reach; k <= h + reach && peak; ++k)
            peak = k == h || ratio[k] < ratio[h] || (ratio[k] == ratio[h] && k > h);
        if (peak)
            onsets.push_back((double)h);
    }
    return onsets;
}

} // namespace

// --- the score -------------------------------------------------------------

TEST(Score, notes_are_in_time_order_and_inside_the_track)
{
    const score::Score& s = the_score();
    ASSERT_FALSE(s.notes.empty());
    for (size_t i = 1; i < s.notes.size(); ++i)
        ASSERT_LE(s.notes[i - 1].start, s.notes[i].start) << "note " << i;
    EXPECT_GE(s.notes.front().start, 0);
    EXPECT_LT(s.notes.back().start + s.notes.back().length, s.length);
    EXPECT_LT(s.quit, s.fade_end);
    EXPECT_LE(s.fade_end, s.length);
    // About five and a half minutes.
    EXPECT_NEAR(s.length / 44100.0, 330.0, 15.0);
}

TEST(Score, script_times_are_written_as_the_space_bar_aid_prints_them)
{
    EXPECT_EQ(markers::format_time(0), "0:00:00,000");
    EXPECT_EQ(markers::format_time(65250), "0:01:05,250");
    EXPECT_EQ(markers::format_time(3600000 + 59 * 60000 + 59999), "1:59:59,999");
    // Rounding to the nearest millisecond: 44.1 samples per millisecond.
    EXPECT_EQ(score::sample_ms(22), 0);
    EXPECT_EQ(score::sample_ms(23), 1);
    EXPECT_EQ(score::sample_ms(44100 * 247), 247000);
}

#ifdef HAVE_SHOW_PARSER

namespace {

struct Stretch { int scene; int32_t start, end; }; // end: the next switch or the quit

// The script as the show reads it: written to a file, loaded by
// cEventQueue_factory::loadFile.
class ShowScript : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        lines = markers::script_lines(the_score());
        const std::string path = make_temp_dir() + "/markers.txt";
        std::ofstream(path) << markers::script_text(lines);
        std::unique_ptr<cEventQueue> q(cEventQueue_factory::loadFile(path));
        ASSERT_NE(q, nullptr);
        events = q->events;

        for (const demo_event& e : events) {
            if (e.code >= EVENT_SCENE_FIRST && e.code <= EVENT_SCENE_LAST) {
                if (!stretches.empty())
                    stretches.back().end = e.time;
                stretches.push_back({e.code, e.time, -1});
            }
            if (e.code == EVENT_QUIT) {
                quit_time = e.time;
                if (!stretches.empty())
                    stretches.back().end = e.time;
            }
        }
    }

    static int code(const char* token) { return cEventQueue_factory::eventtoken_parse(token); }

    static const Stretch* stretch(int scene)
    {
        for (const Stretch& s : stretches)
            if (s.scene == scene)
                return &s;
        return nullptr;
    }

    // Times of the cues of one token that fall while scene is current.
    static std::vector<int32_t> cues_in(int scene, const char* token)
    {
        std::vector<int32_t> times;
        const Stretch* s = stretch(scene);
        if (!s)
            return times;
        for (const demo_event& e : events)
            if (e.code == code(token) && e.time > s->start && e.time < s->end)
                times.push_back(e.time);
        return times;
    }

    static std::vector<markers::Line> lines;
    static std::vector<demo_event> events;
    static std::vector<Stretch> stretches;
    static int32_t quit_time;
};

std::vector<markers::Line> ShowScript::lines;
std::vector<demo_event> ShowScript::events;
std::vector<Stretch> ShowScript::stretches;
int32_t ShowScript::quit_time = -1;

} // namespace

TEST_F(ShowScript, parses_into_one_event_per_line_with_the_lines_times)
{
    std::map<int, int> written, parsed;
    size_t event_lines = 0;
    for (const markers::Line& l : lines)
        if (l.token[0] != '#') {
            ++event_lines;
            ++written[code(l.token.c_str())];
        }
    for (const demo_event& e : events)
        ++parsed[e.code];
    EXPECT_EQ(events.size(), event_lines);
    EXPECT_EQ(parsed, written);
    EXPECT_EQ(parsed.count(-1), 0u);
    for (size_t i = 1; i < events.size(); ++i)
        ASSERT_LE(events[i - 1].time, events[i].time);
}

TEST_F(ShowScript, every_scene_is_current_the_ones_that_free_their_buffers_once_and_the_intro_opens_at_zero_for_about_22s)
{
    // The speaker, woman box and wild speaker scenes release their meshes'
    // buffers on exit: a second stretch would have nothing to draw.
    for (int scene = 0; scene <= 12; ++scene) {
        long n = std::count_if(stretches.begin(), stretches.end(), [&](const Stretch& s) { return s.scene == scene; });
        EXPECT_GE(n, 1) << "scene " << scene;
        if (scene == 2 || scene == 8 || scene == 9) {
            EXPECT_EQ(n, 1) << "scene " << scene;
        }
    }
    EXPECT_EQ(stretches.front().scene, 0);
    EXPECT_EQ(stretches.front().start, 0);
    EXPECT_NEAR(stretches.front().end, 22000, 1000);
}

TEST_F(ShowScript, no_cue_shares_its_millisecond_with_a_switch_or_comes_after_the_quit)
{
    // The queue's sort is not stable: a cue at a switch's millisecond could
    // reach the outgoing scene.
    for (const Stretch& s : stretches)
        for (const demo_event& e : events)
            if (e.code >= EVENT_CUE_FIRST && e.code <= EVENT_CUE_LAST) {
                ASSERT_NE(e.time, s.start) << "cue " << e.code << " at the switch to s" << s.scene;
            }
    for (const demo_event& e : events)
        EXPECT_LE(e.time, quit_time);
    EXPECT_EQ(events.back().code, EVENT_QUIT);
}

TEST_F(ShowScript, town_comes_right_before_the_greetings_with_late_fadeins_and_sixteen_bwabs)
{
    const Stretch* town = stretch(4);
    const Stretch* greetings = stretch(5);
    ASSERT_TRUE(town && greetings);
    EXPECT_EQ(town->end, greetings->start);
    std::vector<int32_t> fadeins = cues_in(4, "fadein");
    EXPECT_GE(std::count_if(fadeins.begin(), fadeins.end(), [&](int32_t t) { return t - town->start > 2000; }), 4);
    size_t bwabs = cues_in(4, "bwab1").size() + cues_in(4, "bwab2").size();
    EXPECT_GE(bwabs, 15u);
    EXPECT_LE(bwabs, 17u);
}

TEST_F(ShowScript, greetings_get_thirteen_sinus_in_back_to_back_from_their_first_frame)
{
    const Stretch* greetings = stretch(5);
    ASSERT_TRUE(greetings);
    std::vector<int32_t> swells = cues_in(5, "sinus_in");
    ASSERT_EQ(swells.size(), 13u);
    // Due in the first frame (a frame takes at least 10 ms).
    EXPECT_LE(swells.front() - greetings->start, 10);
    // Each 1.9 s flight is past its bright middle when the next one starts,
    // and none ends in black before it, the last one's included.
    swells.push_back(greetings->end);
    for (size_t i = 1; i < swells.size(); ++i) {
        EXPECT_GE(swells[i] - swells[i - 1], 1500) << "greeting " << i;
        EXPECT_LT(swells[i] - swells[i - 1], 1900) << "greeting " << i;
    }
}

TEST_F(ShowScript, scenes_span_the_moments_they_show_and_get_the_cues_they_react_to)
{
    // Latest start, earliest and latest end of a stretch, in milliseconds.
    const struct { int scene; int32_t start_before, end_after, end_before; } spans[] = {
        {6, 181600, 195000, INT32_MAX},             // the arcs' colour turn
        {7, 203803, 205303, INT32_MAX},             // the sphere laser's logo fade
        {9, 247000, 271299 + 2000, 271299 + 6000},  // the wild speaker's timed shots
    };
    for (const auto& span : spans) {
        const Stretch* s = stretch(span.scene);
        ASSERT_TRUE(s) << "scene " << span.scene;
        EXPECT_LT(s->start, span.start_before) << "scene " << span.scene;
        EXPECT_GT(s->end, span.end_after) << "scene " << span.scene;
        EXPECT_LT(s->end, span.end_before) << "scene " << span.scene;
    }
    const struct { int scene; const char* token; size_t at_least; } cues[] = {
        {1, "beat", 1},   {2, "beat", 1},  {2, "snare", 1},  {2, "fadein", 2},  {3, "beat", 1},
        {3, "snare", 13}, {6, "beat", 16}, {7, "beat", 1},   {7, "snare", 1},   {8, "snare", 10},
        {9, "beat", 1},   {9, "snare", 1}, {9, "melody", 1}, {9, "lead", 1},    {11, "technofx", 1},
        {11, "technofx2", 1}, {11, "melody", 1},
    };
    for (const auto& c : cues)
        EXPECT_GE(cues_in(c.scene, c.token).size(), c.at_least) << "scene " << c.scene << " " << c.token;
    // A "lead" turns the wild speaker's corridor white for about a second:
    // only its last shot, close to the ball, gets them.
    for (int32_t t : cues_in(9, "lead"))
        EXPECT_GE(t, 271299) << "lead at " << t;
    std::vector<int32_t> melodies = cues_in(10, "melody");
    ASSERT_GE(melodies.size(), 2u);
    for (size_t i = 1; i < melodies.size(); ++i)
        EXPECT_GE(melodies[i] - melodies[i - 1], 2000);
    ASSERT_TRUE(stretch(12));
    EXPECT_GT(stretch(12)->end - stretch(12)->start, 2000);
    // The diamond is last and fades out at least six seconds before the quit.
    EXPECT_EQ(&stretches.back(), stretch(11));
    EXPECT_GE(quit_time - stretches.back().start, 6000);
}

TEST_F(ShowScript, sphere_laser_phrases_its_leads_at_the_counted_notes)
{
    const Stretch* laser = stretch(7);
    ASSERT_TRUE(laser);
    std::vector<int32_t> leads = cues_in(7, "lead");
    ASSERT_GT(leads.size(), 170u);
    // A phrase starts on a two-bar line of the section (its first sound is
    // one millisecond after the switch), and the note before it does not.
    auto on_phrase_line = [&](int32_t t) {
        double bars = (t - (laser->start + 1)) / (2 * BAR_MS);
        return std::fabs(bars - std::round(bars)) * 2 * BAR_MS <= 1.5;
    };
    for (int count : {36, 71, 103, 135, 169}) {
        EXPECT_TRUE(on_phrase_line(leads[count - 1])) << "lead " << count;
        EXPECT_FALSE(on_phrase_line(leads[count - 2])) << "lead " << count - 1;
    }
    // Leads 1 to 3 are the pickup into the first phrase, lead 4 its downbeat.
    for (int count = 5; count < 169; ++count) {
        bool marked = count == 36 || count == 71 || count == 103 || count == 135;
        if (!marked) {
            EXPECT_FALSE(on_phrase_line(leads[count - 1]) && !on_phrase_line(leads[count - 2]))
                << "an unmarked phrase starts at lead " << count;
        }
    }
}

TEST_F(ShowScript, every_cue_line_is_where_its_sound_starts_within_1ms)
{
    const score::Score& s = the_score();
    // The cued notes of each token in time order, against the parsed cues of
    // that token in time order.
    std::map<int, std::vector<size_t>> notes_by_code;
    for (size_t i = 0; i < s.notes.size(); ++i) {
        const char* token = score::cue_token(s.notes[i].voice);
        if (s.notes[i].cue && token && s.notes[i].start < s.quit)
            notes_by_code[code(token)].push_back(i);
    }
    std::map<int, std::vector<int32_t>> cues_by_code;
    for (const demo_event& e : events)
        if (e.code >= EVENT_CUE_FIRST && e.code <= EVENT_CUE_LAST)
            cues_by_code[e.code].push_back(e.time);
    ASSERT_EQ(cues_by_code.size(), 13u);

    const int64_t margin = 44100 / 50; // 20 ms either side
    int checked = 0;
    double worst = 0.0;
    for (auto& [c, cue_times] : cues_by_code) {
        const std::vector<size_t>& idx = notes_by_code[c];
        ASSERT_EQ(idx.size(), cue_times.size()) << "code " << c;
        for (size_t k = 0; k < idx.size(); ++k) {
            const score::Note& n = s.notes[idx[k]];
            // The note alone, mixed as the track mixes it, around its line.
            render::Stereo window(n.start - margin, 2 * margin);
            render::mix_note(n, render::note_seed(idx[k]), window);
            float peak = 0.0f;
            for (size_t i = 0; i < window.frames(); ++i)
                peak = std::max(peak, std::max(std::fabs(window.left[i]), std::fabs(window.right[i])));
            ASSERT_GT(peak, 0.0f) << score::voice_name(n.voice) << " silent at " << cue_times[k];
            size_t first = 0;
            while (std::max(std::fabs(window.left[first]), std::fabs(window.right[first])) <= 1e-4f * peak)
                ++first;
            double sound_ms = (window.origin + (int64_t)first) * 1000.0 / 44100.0;
            ASSERT_NEAR(sound_ms, cue_times[k], 1.0) << score::voice_name(n.voice) << " cue " << k;
            worst = std::max(worst, std::fabs(sound_ms - cue_times[k]));
            ++checked;
        }
    }
    EXPECT_GT(checked, 1000);
    std::printf("%d cue lines checked, largest distance to the sound's start %.3f ms\n", checked, worst);
}

#endif // HAVE_SHOW_PARSER

// --- the written data -------------------------------------------------------

// The release folder's track (written by the build's data step).
TEST(WrittenTrack, is_loud_enough_never_clips_outlasts_the_quit_and_has_a_kick_on_every_beat)
{
    Decoded d = decode(build_dir() + "/data/music/kelmora.ogg");
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.rate, 44100);
    const score::Score& s = the_score();

    EXPECT_GT((int64_t)d.mono.size(), s.quit + 44100);
    EXPECT_LT(d.peak, 0.95f);
    double lufs = render::integrated_loudness(d.stereo);
    EXPECT_GE(lufs, -16.0);
    EXPECT_LE(lufs, -12.0);

    std::vector<double> onsets = kick_onsets(d.mono, d.rate);
    std::vector<int32_t> beats;
    for (const markers::Line& l : markers::script_lines(s))
        if (l.token == "beat")
            beats.push_back(l.ms);
    ASSERT_GT(beats.size(), 500u);
    size_t hits = 0;
    for (int32_t b : beats) {
        auto it = std::lower_bound(onsets.begin(), onsets.end(), b - 10.0);
        if (it != onsets.end() && *it <= b + 10.0)
            ++hits;
    }
    EXPECT_GE((double)hits / beats.size(), 0.95) << hits << " of " << beats.size();
    // A detector that fired everywhere would prove nothing: it also hears the
    // bass and rumble notes, but not every millisecond.
    EXPECT_LE(onsets.size(), beats.size() * 4);
    std::printf("kick onsets: %zu of %zu beat lines hit, %zu onsets detected\n", hits, beats.size(), onsets.size());
}

TEST(WrittenData, a_second_run_writes_the_same_bytes_as_the_build)
{
    std::string dir = make_temp_dir();
    ASSERT_EQ(run_generators(dir, {}, true), 0);
    for (const char* file : {"music/kelmora.ogg", "script/markers.txt", "timeline.png"}) {
        std::string ours = read_text_file(dir + "/" + file);
        EXPECT_FALSE(ours.empty()) << file;
        EXPECT_TRUE(ours == read_text_file(build_dir() + "/data/" + file)) << file << " differs";
    }
}

TEST(WrittenData, a_file_that_cannot_be_written_fails_the_run)
{
    // A plain file where the data folder should be.
    std::string dir = make_temp_dir();
    std::ofstream(dir + "/music") << "x";
    DataContext data(dir, true);
    EXPECT_FALSE(data.write_file("music/kelmora.ogg", {1, 2, 3}));
    EXPECT_TRUE(data.failed());
    EXPECT_TRUE(data.write_text("script/markers.txt", "quit 0:0:1,0\n"));
    EXPECT_EQ(read_text_file(dir + "/script/markers.txt"), "quit 0:0:1,0\n");
}
