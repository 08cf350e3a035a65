// The stand-in for a scene class that is not written yet. It keeps the
// scene's index in the show, so every switch event still reaches a scene of
// its own, loads nothing, and draws a dark frame with its scene number in
// big seven-segment digits; the frame's border flashes on each cue. With it
// the whole show can be run and captured end to end.
#pragma once

#include "timeline/scene.h"

#include <cstdint>

class cScenePlaceholder : public cScene
{
public:
    cScenePlaceholder(int index, cClock* clock);

    void load() override;
    void init() override {}
    void exit() override {}
    void draw() override;
    void handle_event(const demo_event* e) override;
    void update() override {}

    int index;          // the scene's number, 0 to 12
    int32_t last_cue;   // show time (ms) of the last cue received
};

// The digits' layout, in the unit square over the window (x right, y up).
// Segments are numbered a=0 (top), b=1 (top right), c=2 (bottom right),
// d=3 (bottom), e=4 (bottom left), f=5 (top left), g=6 (middle); position 0
// is the tens digit, 1 the units digit.
const int PLACEHOLDER_DIGITS = 2;
// x, y, width, height of one segment.
void placeholder_segment_rect(int position, int segment, float out[4]);
// The segments lit for a decimal digit: bit s for segment s.
uint8_t seven_segment_bits(int digit);
