#include "ogg_writer.h"

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

const double PI = 3.14159265358979323846;

bool write_pages(ogg_stream_state* os, FILE* out, bool flush)
{
    ogg_page page;
    while (flush ? ogg_stream_flush(os, &page) : ogg_stream_pageout(os, &page)) {
        if (std::fwrite(page.header, 1, size_t(page.header_len), out) != size_t(page.header_len) ||
            std::fwrite(page.body, 1, size_t(page.body_len), out) != size_t(page.body_len))
            return false;
    }
    return true;
}

} // namespace

bool write_test_ogg(const std::string& path, int rate, int channels, long frames,
                    const std::function<float(long, int)>& sample)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.4f) != 0) {
        vorbis_info_clear(&vi);
        std::fclose(out);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 12345);

    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    bool ok = write_pages(&os, out, true);

    // Blocks of samples, then a write of 0 samples to mark the end; each
    // round drains the packets the encoder has ready.
    const long block = 1024;
    for (long done = 0; ok; done += block) {
        long n = std::max(0L, std::min(block, frames - done));
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&vd, int(n));
            for (long f = 0; f < n; ++f)
                for (int c = 0; c < channels; ++c)
                    buffer[c][f] = sample(done + f, c);
        }
        vorbis_analysis_wrote(&vd, int(n));
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                ok = ok && write_pages(&os, out, false);
            }
        }
        if (n == 0)
            break;
    }
    ok = ok && write_pages(&os, out, true);

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return std::fclose(out) == 0 && ok;
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
