#include "score/timeline_picture.h"

#include "score/dsp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace timeline_picture {

using Color = toolkit::Rgba;
using toolkit::rgb8;

namespace {

const char* const LANES[] = {"beat", "snare", "hihatc", "hihato", "rumble", "bwab1", "bwab2",
                             "technofx", "technofx2", "melody", "lead", "sinus_in", "fadein"};
const int LANE_COUNT = 13;

const int WIDTH = 1800, LEFT = 110, RIGHT = 20, TOP = 24;
const int SCENE_H = 34, LANE_H = 16, WAVE_H = 140, AXIS_H = 24;
const Color BACKGROUND = rgb8(18, 18, 24), GRID = rgb8(44, 44, 56), TEXT = rgb8(210, 210, 220);

Color hue(int i, int n, uint8_t light)
{
    // Evenly spaced hues on a simple colour wheel.
    float h = 6.0f * (float)i / (float)n;
    int sector = (int)h;
    float f = h - sector;
    float v = light / 255.0f, p = v * 0.25f, q = v * (1 - 0.75f * f), t = v * (0.25f + 0.75f * f);
    float rgb[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
    return rgb8((uint8_t)(rgb[sector % 6][0] * 255), (uint8_t)(rgb[sector % 6][1] * 255),
                (uint8_t)(rgb[sector % 6][2] * 255));
}

} // namespace

namespace {

// One-pixel lines, both ends included.
void vline(toolkit::Canvas& img, int x, int y0, int y1, Color c)
{
    img.fill_rect(x, y0, 1, y1 - y0 + 1, c);
}

void hline(toolkit::Canvas& img, int x0, int x1, int y, Color c)
{
    img.fill_rect(x0, y, x1 - x0 + 1, 1, c);
}

} // namespace

toolkit::Canvas draw(const std::vector<markers::Line>& lines, const render::Stereo& track)
{
    const int height = TOP + SCENE_H + 6 + LANE_COUNT * LANE_H + 6 + WAVE_H + AXIS_H;
    toolkit::Canvas img(WIDTH, height, BACKGROUND);
    const int plot_w = WIDTH - LEFT - RIGHT;
    const double total_ms = track.frames() * 1000.0 / dsp::SAMPLE_RATE;
    auto x_of = [&](double ms) { return LEFT + (int)std::lround(ms / total_ms * (plot_w - 1)); };

    img.pixel_text(8, 6, "kelmora: scenes, cues and waveform of the show", TEXT, 2);

    // Ten-second grid lines and minute labels.
    const int wave_top = TOP + SCENE_H + 6 + LANE_COUNT * LANE_H + 6;
    for (int s = 0; s * 1000.0 <= total_ms; s += 10) {
        int x = x_of(s * 1000.0);
        vline(img, x, TOP, wave_top + WAVE_H, GRID);
        if (s % 30 == 0) {
            char label[16];
            std::snprintf(label, sizeof label, "%d:%02d", s / 60, s % 60);
            img.pixel_text(x - 8, wave_top + WAVE_H + 8, label, TEXT, 2);
        }
    }

    // Scene stretches: from each switch to the next switch or the quit.
    img.pixel_text(8, TOP + 10, "scenes", TEXT, 2);
    for (size_t i = 0; i < lines.size(); ++i) {
        const markers::Line& l = lines[i];
        if (l.token.size() != 3 || l.token[0] != 's')
            continue;
        int scene = std::atoi(l.token.c_str() + 1);
        int32_t end = l.ms;
        for (size_t j = i + 1; j < lines.size(); ++j)
            if ((lines[j].token.size() == 3 && lines[j].token[0] == 's') || lines[j].token == "quit") {
                end = lines[j].ms;
                break;
            }
        int x0 = x_of(l.ms), x1 = x_of(end);
        img.fill_rect(x0, TOP, x1 - x0, SCENE_H, hue(scene, 13, 200));
        img.fill_rect(x0, TOP, 1, SCENE_H, BACKGROUND);
        img.pixel_text(x0 + 4, TOP + 12, l.token, BACKGROUND, 2);
    }
    for (const markers::Line& l : lines)
        if (l.token == "quit") {
            img.fill_rect(x_of(l.ms), TOP, 3, SCENE_H + 6 + LANE_COUNT * LANE_H, rgb8(255, 255, 255));
            img.pixel_text(x_of(l.ms) + 6, TOP + 12, "quit", TEXT, 2);
        }

    // One lane of ticks per cue token.
    const int lanes_top = TOP + SCENE_H + 6;
    for (int k = 0; k < LANE_COUNT; ++k) {
        int y = lanes_top + k * LANE_H;
        Color c = hue(k, LANE_COUNT, 255);
        hline(img, LEFT, WIDTH - RIGHT, y + LANE_H - 1, GRID);
        img.pixel_text(8, y + 3, LANES[k], c, 2);
        for (const markers::Line& l : lines)
            if (l.token == LANES[k])
                vline(img, x_of(l.ms), y + 2, y + LANE_H - 3, c);
    }

    // Waveform: the min and max of the mono sum in each column, and its RMS.
    img.pixel_text(8, wave_top + WAVE_H / 2 - 5, "waveform", TEXT, 2);
    const int mid = wave_top + WAVE_H / 2;
    for (int col = 0; col < plot_w; ++col) {
        size_t a = (size_t)((double)col / plot_w * track.frames());
        size_t b = std::min(track.frames(), (size_t)((double)(col + 1) / plot_w * track.frames()));
        float lo = 0, hi = 0;
        double sq = 0;
        for (size_t i = a; i < b; ++i) {
            float m = 0.5f * (track.left[i] + track.right[i]);
            lo = std::min(lo, m);
            hi = std::max(hi, m);
            sq += (double)m * m;
        }
        float rms = b > a ? (float)std::sqrt(sq / (b - a)) : 0.0f;
        int half = WAVE_H / 2 - 2;
        vline(img, LEFT + col, mid - (int)(hi * half), mid - (int)(lo * half), rgb8(90, 140, 190));
        vline(img, LEFT + col, mid - (int)(rms * half), mid + (int)(rms * half), rgb8(170, 210, 240));
    }
    return img;
}

} // namespace timeline_picture
