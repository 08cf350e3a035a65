// Small Ogg Vorbis streams made in tests (with the data tool's encoder), and a plain decode of
// a whole file (libvorbisfile) to compare playback against.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Writes frames frames of channels channels at rate Hz to path; sample(frame,
// channel) gives the value in -1 .. 1. False when the file cannot be written.
bool write_test_ogg(const std::string& path, int rate, int channels, long frames,
                    const std::function<float(long, int)>& sample);

// A sine of freq_hz per channel (channel c at (c + 1) * freq_hz), amplitude 0.5.
bool write_test_tone(const std::string& path, int rate, int channels, double seconds, double freq_hz = 440.0);

// Every sample of the file as signed 16-bit, interleaved; rate and channels
// receive the stream's. Empty when the file is not a Vorbis stream.
std::vector<int16_t> decode_test_ogg(const std::string& path, int* rate = nullptr, int* channels = nullptr);
