#include "sound_module.h"

#include <SDL/SDL.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

const int RING_FRAMES = MUSIC_RATE * MUSIC_BUFFER_MS / 1000;
const int FRAME_BYTES = MUSIC_CHANNELS * int(sizeof(int16_t));
// ov_read hands out at most this much per call.
const int DECODE_CHUNK_BYTES = 4096;
// How long the decoder sleeps when the ring is full or the stream has ended.
const std::chrono::milliseconds DECODER_IDLE(5);
// The longest play() waits for the decoder to fill the ring.
const int PREFILL_WAIT_MS = 2000;

} // namespace

struct music_stream
{
    OggVorbis_File file;
    int64_t length_ms = 0;

    // Ring of RING_FRAMES stereo frames. write_frames and read_frames only
    // grow; the decoder thread alone advances write_frames, the audio callback
    // alone read_frames (skip moves it with both stopped).
    std::vector<int16_t> ring;
    std::atomic<uint64_t> write_frames{0};
    std::atomic<uint64_t> read_frames{0};
    std::atomic<bool> finished{false};
    std::atomic<int> volume{MUSIC_MAX_VOLUME};

    // get_time: position_ms at the last seek plus what was read since then.
    int64_t seek_ms = 0;
    uint64_t seek_read_frames = 0;

    // Decoder thread. decode_lock is held while it decodes and by skip and
    // close; quit is read and written under it.
    std::thread decoder;
    std::mutex decode_lock;
    std::condition_variable wake;
    bool quit = false;

    // Decoder-thread state: output frames not yet written to the ring, and
    // the resampler's carried source frame and fractional position.
    std::vector<int16_t> pending;
    std::size_t pending_at = 0; // frames of pending already written
    std::vector<int16_t> source; // stereo source frames of one chunk
    bool have_carry = false;
    int16_t carry[2] = {0, 0};
    double phase = 0.0; // source frames past the carry frame
};

namespace {

void audio_callback(void* userdata, Uint8* out, int len)
{
    static_cast<cSoundModule_fmod*>(userdata)->mix(out, len);
}

// Decodes one chunk into s.pending (output format). Returns false at the
// end of the stream or on an unrecoverable error.
bool decode_chunk(music_stream& s)
{
    char bytes[DECODE_CHUNK_BYTES];
    int link = 0;
    long got = ov_read(&s.file, bytes, sizeof(bytes), 0, 2, 1, &link);
    if (got == OV_HOLE)
        return true; // a gap in the data: skip it and go on
    if (got <= 0)
        return false;
    vorbis_info* info = ov_info(&s.file, link);
    int channels = info ? info->channels : 0;
    if (channels <= 0 || info->rate <= 0)
        return false;

    // Vorbis channel order puts the centre second for 3, 5 and more channels.
    int right = channels == 1 ? 0 : (channels == 3 || channels >= 5) ? 2 : 1;
    const int16_t* in = reinterpret_cast<const int16_t*>(bytes);
    long frames = got / (long(sizeof(int16_t)) * channels);
    s.source.clear();
    if (s.have_carry)
        s.source.insert(s.source.end(), s.carry, s.carry + 2);
    for (long f = 0; f < frames; ++f) {
        s.source.push_back(in[f * channels]);
        s.source.push_back(in[f * channels + right]);
    }

    s.pending.clear();
    s.pending_at = 0;
    std::size_t count = s.source.size() / 2;
    if (info->rate == MUSIC_RATE) {
        // Same rate: the decoded samples themselves, bit for bit.
        std::size_t first = s.have_carry ? 1 : 0;
        s.pending.assign(s.source.begin() + 2 * first, s.source.end());
        s.have_carry = false;
        return true;
    }
    // Linear interpolation between neighbouring source frames; the last frame
    // of the chunk is carried into the next one.
    double step = double(info->rate) / MUSIC_RATE;
    while (s.phase + 1.0 < double(count)) {
        std::size_t i = std::size_t(s.phase);
        double t = s.phase - double(i);
        for (int c = 0; c < 2; ++c) {
            double a = s.source[2 * i + c], b = s.source[2 * (i + 1) + c];
            s.pending.push_back(int16_t(a + (b - a) * t));
        }
        s.phase += step;
    }
    s.phase -= double(count - 1);
    s.carry[0] = s.source[2 * (count - 1)];
    s.carry[1] = s.source[2 * (count - 1) + 1];
    s.have_carry = true;
    return true;
}

// Copies as much of s.pending as fits into the ring. Returns whether all of
// it is written.
bool flush_pending(music_stream& s)
{
    std::size_t left = s.pending.size() / 2 - s.pending_at;
    uint64_t write = s.write_frames.load(std::memory_order_relaxed);
    uint64_t room = RING_FRAMES - (write - s.read_frames.load(std::memory_order_acquire));
    std::size_t n = std::size_t(std::min<uint64_t>(left, room));
    for (std::size_t f = 0; f < n; ++f) {
        std::size_t at = std::size_t((write + f) % RING_FRAMES);
        s.ring[2 * at] = s.pending[2 * (s.pending_at + f)];
        s.ring[2 * at + 1] = s.pending[2 * (s.pending_at + f) + 1];
    }
    s.pending_at += n;
    s.write_frames.store(write + n, std::memory_order_release);
    return s.pending_at * 2 == s.pending.size();
}

void decoder_main(music_stream* s)
{
    std::unique_lock<std::mutex> lock(s->decode_lock);
    while (!s->quit) {
        bool idle = s->finished.load() || !flush_pending(*s);
        if (!idle && !decode_chunk(*s))
            s->finished.store(true);
        if (idle)
            s->wake.wait_for(lock, DECODER_IDLE);
    }
}

void report_unhandled_mode(const char* file, int line)
{
    std::cerr << "## ERROR, unhandled case in " << file << ", line: " << line << std::endl;
}

// Opens path as a Vorbis stream; returns 0 or the error code for
// fmod_error_string.
int open_vorbis(const std::string& path, OggVorbis_File* file)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return errno ? errno : ENOENT;
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        return EISDIR;
    }
    int result = ov_open_callbacks(f, file, nullptr, 0, OV_CALLBACKS_DEFAULT);
    if (result != 0) {
        std::fclose(f); // ov_open_callbacks leaves the file open when it fails
        return result;
    }
    return 0;
}

} // namespace

std::string fmod_error_string(int code)
{
    if (code == 0)
        return "No errors";
    if (code > 0)
        return std::strerror(code);
    switch (code) {
    case OV_FALSE: return "Not true, or no data available";
    case OV_HOLE: return "Interruption in the data";
    case OV_EREAD: return "A read from the media returned an error";
    case OV_EFAULT: return "Internal logic fault in the Vorbis decoder";
    case OV_EIMPL: return "Feature not implemented in the Vorbis decoder";
    case OV_EINVAL: return "Invalid argument to the Vorbis decoder";
    case OV_ENOTVORBIS: return "The file is not an Ogg Vorbis stream";
    case OV_EBADHEADER: return "Invalid Vorbis bitstream header";
    case OV_EVERSION: return "Vorbis version mismatch";
    case OV_ENOTAUDIO: return "Packet data is not audio";
    case OV_EBADPACKET: return "Invalid Vorbis packet";
    case OV_EBADLINK: return "Invalid stream section or corrupt link";
    case OV_ENOSEEK: return "The stream is not seekable";
    default: return "Unknown error";
    }
}

cSoundModule_fmod::cSoundModule_fmod()
    : stream(nullptr), module(nullptr), channel(-1), mode(MODE_STREAM), audio_open(false)
{
}

cSoundModule_fmod::~cSoundModule_fmod()
{
    close();
}

void cSoundModule_fmod::init()
{
    if (audio_open)
        return;
    const SDL_version* linked = SDL_Linked_Version();
    if (!linked || linked->major != 1 || linked->minor < 2) {
        std::cerr << "Error : You are using the wrong library version! You should be using SDL " << 1.2f
                  << std::endl;
        exit(1);
    }
    SDL_AudioSpec wanted;
    std::memset(&wanted, 0, sizeof(wanted));
    wanted.freq = MUSIC_RATE;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = MUSIC_CHANNELS;
    wanted.samples = MUSIC_DEVICE_FRAMES;
    wanted.callback = audio_callback;
    wanted.userdata = this;
    // Without an obtained format SDL converts to the device's format itself.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0 || SDL_OpenAudio(&wanted, nullptr) < 0) {
        std::cerr << SDL_GetError() << std::flush;
        exit(1);
    }
    audio_open = true;
}

void cSoundModule_fmod::load(std::string path)
{
    if (mode == MODE_MODULE) {
        std::cerr << "## ERROR: " << "Tracker modules are not supported: \"" << path << "\"" << std::endl;
        exit(1);
    }
    if (mode != MODE_STREAM) {
        report_unhandled_mode(__FILE__, __LINE__);
        return;
    }
    close_stream();

    music_stream* s = new music_stream;
    int error = open_vorbis(path, &s->file);
    if (error != 0) {
        delete s;
        std::cerr << "## ERROR: " << fmod_error_string(error) << ": \"" << path << "\"" << std::endl;
        exit(1);
    }
    vorbis_info* info = ov_info(&s->file, -1);
    ogg_int64_t total = ov_pcm_total(&s->file, -1);
    if (info && info->rate > 0 && total > 0)
        s->length_ms = int64_t(total) * 1000 / info->rate;
    s->ring.assign(std::size_t(RING_FRAMES) * MUSIC_CHANNELS, 0);
    s->decoder = std::thread(decoder_main, s);

    if (audio_open)
        SDL_LockAudio();
    stream = s;
    if (audio_open)
        SDL_UnlockAudio();
    std::cout << "# fmod loaded stream \"" << path << "\" [length: " << s->length_ms << "ms]" << std::endl;
}

void cSoundModule_fmod::play()
{
    if (mode == MODE_STREAM) {
        if (stream) {
            // Start with a full buffer so the first callbacks never run dry.
            for (int waited = 0; waited < PREFILL_WAIT_MS; ++waited) {
                if (buffered_ms() >= MUSIC_BUFFER_MS || decoded_to_end())
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            channel = 0;
            if (audio_open)
                SDL_PauseAudio(0);
        }
    } else if (mode != MODE_MODULE) {
        report_unhandled_mode(__FILE__, __LINE__);
    }
    std::cout << "# fmod starting playback..." << std::endl;
}

int cSoundModule_fmod::get_time()
{
    if (mode != MODE_STREAM) {
        if (mode != MODE_MODULE)
            report_unhandled_mode(__FILE__, __LINE__);
        return 0;
    }
    if (!stream)
        return 0;
    uint64_t read = stream->read_frames.load() - stream->seek_read_frames;
    return int(stream->seek_ms + int64_t(read * 1000 / MUSIC_RATE));
}

void cSoundModule_fmod::set_volume(int volume)
{
    if (mode == MODE_STREAM) {
        if (!stream) {
            std::cerr << "## WARNING: Not able to set volume in " << __FILE__ << " line " << __LINE__ << std::endl;
            return;
        }
        stream->volume.store(std::max(0, std::min(MUSIC_MAX_VOLUME, volume)));
    } else if (mode != MODE_MODULE) {
        report_unhandled_mode(__FILE__, __LINE__);
    }
}

void cSoundModule_fmod::skip(int ms)
{
    if (mode != MODE_STREAM) {
        if (mode != MODE_MODULE)
            report_unhandled_mode(__FILE__, __LINE__);
        return;
    }
    if (!stream)
        return;
    music_stream& s = *stream;
    std::unique_lock<std::mutex> lock(s.decode_lock);
    if (audio_open)
        SDL_LockAudio();
    vorbis_info* info = ov_info(&s.file, -1);
    ogg_int64_t total = ov_pcm_total(&s.file, -1);
    ogg_int64_t target = info ? ogg_int64_t(std::max(ms, 0)) * info->rate / 1000 : 0;
    if (total >= 0)
        target = std::min(target, total);
    if (ov_pcm_seek(&s.file, target) == 0) {
        s.read_frames.store(s.write_frames.load());
        s.pending.clear();
        s.pending_at = 0;
        s.have_carry = false;
        s.phase = 0.0;
        s.finished.store(false);
        s.seek_ms = info ? int64_t(target) * 1000 / info->rate : 0;
        s.seek_read_frames = s.read_frames.load();
    }
    if (audio_open)
        SDL_UnlockAudio();
    lock.unlock();
    s.wake.notify_one();
}

void cSoundModule_fmod::pause(bool paused)
{
    if (audio_open && stream)
        SDL_PauseAudio(paused ? 1 : 0);
}

void cSoundModule_fmod::mix(uint8_t* out, int len)
{
    int frames = len / FRAME_BYTES;
    int16_t* samples = reinterpret_cast<int16_t*>(out);
    int n = 0;
    music_stream* s = stream;
    if (s) {
        uint64_t read = s->read_frames.load(std::memory_order_relaxed);
        uint64_t avail = s->write_frames.load(std::memory_order_acquire) - read;
        n = int(std::min<uint64_t>(avail, uint64_t(frames)));
        int volume = s->volume.load(std::memory_order_relaxed);
        for (int f = 0; f < n; ++f) {
            std::size_t at = std::size_t((read + f) % RING_FRAMES);
            for (int c = 0; c < MUSIC_CHANNELS; ++c) {
                int v = s->ring[MUSIC_CHANNELS * at + c];
                if (volume != MUSIC_MAX_VOLUME)
                    v = v * volume / MUSIC_MAX_VOLUME;
                samples[MUSIC_CHANNELS * f + c] = int16_t(v);
            }
        }
        s->read_frames.store(read + n, std::memory_order_release);
    }
    std::memset(out + n * FRAME_BYTES, 0, std::size_t(len - n * FRAME_BYTES));
}

int64_t cSoundModule_fmod::length_ms() const
{
    return stream ? stream->length_ms : 0;
}

int cSoundModule_fmod::buffered_ms() const
{
    if (!stream)
        return 0;
    uint64_t avail = stream->write_frames.load() - stream->read_frames.load();
    return int(avail * 1000 / MUSIC_RATE);
}

bool cSoundModule_fmod::decoded_to_end() const
{
    // The decoder sets finished only once everything it decoded is in the ring.
    return stream && stream->finished.load();
}

void cSoundModule_fmod::close_stream()
{
    music_stream* s = stream;
    if (!s)
        return;
    if (audio_open)
        SDL_LockAudio();
    stream = nullptr;
    if (audio_open)
        SDL_UnlockAudio();
    {
        std::lock_guard<std::mutex> lock(s->decode_lock);
        s->quit = true;
    }
    s->wake.notify_one();
    if (s->decoder.joinable())
        s->decoder.join();
    ov_clear(&s->file);
    delete s;
}

void cSoundModule_fmod::close()
{
    if (audio_open) {
        SDL_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audio_open = false;
    }
    close_stream();
    channel = -1;
}
