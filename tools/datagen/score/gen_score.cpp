// The score generator: composes the track, renders and encodes it, and writes
// the markers script and the timeline picture from the same score.
#include "score/dsp.h"
#include "generator.h"
#include "score/markers.h"
#include "toolkit/ogg_writer.h"
#include "score/render.h"
#include "score/score.h"
#include "score/timeline_picture.h"

#include <cmath>
#include <cstdio>

// Vorbis quality 0.4 is about 128 kbit/s: clean for this material, and small.
static const float OGG_QUALITY = 0.4f;

bool generate_score(DataContext& data)
{
    score::Score s = score::compose();
    std::vector<markers::Line> lines = markers::script_lines(s);
    char line[256];
    std::snprintf(line, sizeof line, "score: %zu notes, %zu script lines, %.1f s at %.0f bpm", s.notes.size(),
                  lines.size(), s.length / (double)dsp::SAMPLE_RATE, score::TEMPO_BPM);
    data.progress(line);
    if (!data.write_text("script/markers.txt", markers::script_text(lines)))
        return false;

    data.progress("score: rendering the track");
    render::MasterReport report;
    render::Stereo track = render::render_track(s, &report);
    std::snprintf(line, sizeof line, "score: mix %.1f LUFS, %+.1f dB, finished %.1f LUFS, peak %.1f dBFS",
                  report.loudness_before, report.gain_db, report.loudness_after, 20.0 * std::log10(report.peak));
    data.progress(line);

    data.progress("score: encoding Ogg Vorbis");
    std::vector<uint8_t> ogg;
    if (!ogg_writer::encode(track.left, track.right, OGG_QUALITY, {"kelmora", "mirvok"}, ogg)) {
        std::fprintf(stderr, "## ERROR: the Vorbis encoder refused its set-up\n");
        return false;
    }
    if (!data.write_file("music/kelmora.ogg", ogg))
        return false;
    // 1800 pixels wide: never a power of two, so a picture addressed in texels.
    return toolkit::write_png(data, "timeline.png", timeline_picture::draw(lines, track), 3,
                              toolkit::Addressing::texels);
}
