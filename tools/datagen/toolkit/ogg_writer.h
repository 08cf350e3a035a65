// Ogg Vorbis encoding of float samples (libvorbisenc), in memory: the
// track, and the small streams the tests make.
// The stream serial number is fixed, so the same samples give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ogg_writer {

const int STREAM_SERIAL = 0x6b656c6d; // "kelm"

struct Tags
{
    std::string title, artist;
};

// Encodes one stream of channels (each a vector of the same length, -1..1)
// at rate Hz with VBR quality in -0.1..1. Returns false (bytes empty) when
// the encoder refuses the setup.
bool encode(const std::vector<std::vector<float>>& channels, int rate, float quality, const Tags& tags,
            std::vector<uint8_t>& bytes);
// The track's form: left and right at 44100 Hz.
bool encode(const std::vector<float>& left, const std::vector<float>& right, float quality, const Tags& tags,
            std::vector<uint8_t>& bytes);

} // namespace ogg_writer
