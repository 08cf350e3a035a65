#include "toolkit/ogg_writer.h"

#include "score/dsp.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

namespace ogg_writer {

namespace {

void append_page(const ogg_page& page, std::vector<uint8_t>& bytes)
{
    bytes.insert(bytes.end(), page.header, page.header + page.header_len);
    bytes.insert(bytes.end(), page.body, page.body + page.body_len);
}

// Moves every finished packet of the analysis into the stream and every full
// page into the output.
void drain(vorbis_dsp_state& vd, vorbis_block& vb, ogg_stream_state& os, std::vector<uint8_t>& bytes)
{
    ogg_packet packet;
    ogg_page page;
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
        vorbis_analysis(&vb, nullptr);
        vorbis_bitrate_addblock(&vb);
        while (vorbis_bitrate_flushpacket(&vd, &packet)) {
            ogg_stream_packetin(&os, &packet);
            while (ogg_stream_pageout(&os, &page))
                append_page(page, bytes);
        }
    }
}

} // namespace

bool encode(const std::vector<float>& left, const std::vector<float>& right, float quality, const Tags& tags,
            std::vector<uint8_t>& bytes)
{
    return encode({left, right}, dsp::SAMPLE_RATE, quality, tags, bytes);
}

bool encode(const std::vector<std::vector<float>>& channels, int rate, float quality, const Tags& tags,
            std::vector<uint8_t>& bytes)
{
    bytes.clear();
    if (channels.empty())
        return false;
    const size_t frames = channels[0].size();
    for (const std::vector<float>& c : channels)
        if (c.size() != frames)
            return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, long(channels.size()), rate, quality) != 0) {
        vorbis_info_clear(&vi);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", tags.title.c_str());
    vorbis_comment_add_tag(&vc, "ARTIST", tags.artist.c_str());

    vorbis_dsp_state vd;
    vorbis_block vb;
    ogg_stream_state os;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_init(&os, STREAM_SERIAL);

    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&vd, &vc, &header, &header_comment, &header_code);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &header_comment);
    ogg_stream_packetin(&os, &header_code);
    ogg_page page;
    while (ogg_stream_flush(&os, &page)) // audio starts on a fresh page
        append_page(page, bytes);

    const size_t CHUNK = 4096;
    for (size_t at = 0; at < frames; at += CHUNK) {
        size_t n = std::min(CHUNK, frames - at);
        float** buffer = vorbis_analysis_buffer(&vd, (int)n);
        for (size_t c = 0; c < channels.size(); ++c)
            std::copy(channels[c].begin() + at, channels[c].begin() + at + n, buffer[c]);
        vorbis_analysis_wrote(&vd, (int)n);
        drain(vd, vb, os, bytes);
    }
    vorbis_analysis_wrote(&vd, 0); // end of stream
    drain(vd, vb, os, bytes);
    while (ogg_stream_flush(&os, &page))
        append_page(page, bytes);

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return true;
}

} // namespace ogg_writer
