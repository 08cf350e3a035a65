// The show's music: one Ogg Vorbis stream played through SDL audio.
//
// cSoundModule_fmod is embedded in the scene manager, which calls init and
// load at start-up, play at the show's time origin and close from its
// destructor. Behind it a decoder thread of the module keeps up to
// MUSIC_BUFFER_MS of the stream decoded ahead in a ring buffer, already in
// the output format (44100 Hz, stereo, signed 16 bit); SDL's audio thread only
// copies from that ring (no decoding, no locks, no allocation there).
// Everything else runs on the show's thread.
#pragma once

#include <cstdint>
#include <string>

const int MUSIC_RATE = 44100;       // output frames per second
const int MUSIC_CHANNELS = 2;       // output is always stereo
const int MUSIC_BUFFER_MS = 4000;   // decoded ahead of playback
const int MUSIC_MAX_VOLUME = 255;   // set_volume range is 0 .. 255
// Output frames the audio device asks for per callback: 512 frames are
// 11.6 ms, the most the sound may lag behind a frame drawn on its beat before
// the sound server's own latency (viewers notice from about 20 ms). The
// callback only copies from the ring, so a short period costs little.
const int MUSIC_DEVICE_FRAMES = 512;

struct music_stream; // decoder state, private to the module

class cSoundModule_fmod
{
public:
    enum
    {
        MODE_STREAM = 0,
        MODE_MODULE = 1, // tracker modules: not supported, load fails
    };

    cSoundModule_fmod();
    ~cSoundModule_fmod(); // closes

    // Checks the audio library and opens the output device (paused). Ends the
    // process with code 1 when that fails.
    void init();
    // Opens the stream at path, starts decoding ahead and reports its length.
    // Ends the process with code 1 when the file cannot be opened as Vorbis.
    void load(std::string path);
    // Starts playback from the stream's current position, once the decoder
    // has filled its buffer (or reached the end).
    void play();
    // Milliseconds of the stream handed to the audio device so far (seeks
    // included); 0 without a stream.
    int get_time();
    // 0 (silent) .. 255 (as decoded); applied to the samples as they are
    // copied out.
    void set_volume(int volume);
    // Moves the stream to ms from its start; what was decoded ahead is dropped.
    void skip(int ms);
    // Holds the output where it is (get_time stops) or lets it go on; the
    // decoder keeps its buffer full meanwhile. The show never pauses.
    void pause(bool paused);
    // Stops playback and the decoder, closes the stream and the device. Safe
    // to call twice and without init.
    void close();

    // What the audio callback does: fills len bytes of output (stereo s16
    // frames) from the ring buffer, silence where it runs dry. Tests call it
    // directly while playback is paused.
    void mix(uint8_t* out, int len);
    // Length of the open stream in whole milliseconds; 0 without one.
    int64_t length_ms() const;
    // Milliseconds decoded ahead and not yet handed out.
    int buffered_ms() const;
    // True once the decoder has decoded the whole stream.
    bool decoded_to_end() const;

    music_stream* stream; // null until load
    void* module;         // always null: tracker modules are not supported
    int32_t channel;      // 0 once playing, -1 before
    int32_t mode;         // MODE_STREAM or MODE_MODULE

private:
    void close_stream();
    bool audio_open;
};

// Readable text of the module's error codes: 0 "No errors", positive codes
// are system errors (errno), negative ones libvorbisfile's OV_ codes; any
// other value gives "Unknown error".
std::string fmod_error_string(int code);
