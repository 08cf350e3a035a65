#include "ogg_writer.h"

#include "toolkit/ogg_writer.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

bool write_test_ogg(const std::string& path, int rate, int channels, long frames,
                    const std::function<float(long, int)>& sample)
{
    std::vector<std::vector<float>> samples(std::size_t(std::max(channels, 0)),
                                            std::vector<float>(std::size_t(std::max(frames, 0L))));
    for (long f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            samples[std::size_t(c)][std::size_t(f)] = sample(f, c);
    std::vector<uint8_t> bytes;
    if (!ogg_writer::encode(samples, rate, 0.4f, {"test", "mirvok tests"}, bytes))
        return false;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && ok;
}

namespace {
const double PI = 3.14159265358979323846;
}

bool write_test_tone(const std::string& path, int rate, int channels, double seconds, double freq_hz)
{
    long frames = long(seconds * rate + 0.5);
    return write_test_ogg(path, rate, channels, frames, [=](long f, int c) {
        return float(0.5 * std::sin(2.0 * PI * freq_hz * (c + 1) * double(f) / rate));
    });
}

std::vector<int16_t> decode_test_ogg(const std::string& path, int* rate, int* channels)
{
    std::vector<int16_t> samples;
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0)
        return samples;
    vorbis_info* info = ov_info(&file, -1);
    if (rate)
        *rate = int(info->rate);
    if (channels)
        *channels = info->channels;
    char bytes[4096];
    int link = 0;
    long got;
    while ((got = ov_read(&file, bytes, sizeof(bytes), 0, 2, 1, &link)) != 0) {
        if (got < 0)
            continue;
        const int16_t* in = reinterpret_cast<const int16_t*>(bytes);
        samples.insert(samples.end(), in, in + got / 2);
    }
    ov_clear(&file);
    return samples;
}
