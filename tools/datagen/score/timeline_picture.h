// The picture of the show's timeline: scene stretches as coloured bars, one
// lane of ticks per cue token, and the track's waveform beneath, so the
// author of the script sees the whole show at a glance.
#pragma once

#include "score/markers.h"
#include "score/render.h"
#include "toolkit/image.h"

namespace timeline_picture {

toolkit::Canvas draw(const std::vector<markers::Line>& lines, const render::Stereo& track);

} // namespace timeline_picture
