// The music module: opening and reporting the stream, the samples it hands
// to the audio device, volume, seeking, playback on SDL's audio thread and
// closing.
#include "timeline/sound_module.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ogg_writer.h"
#include "support/show_runner.h"

namespace {

const int CHUNK_FRAMES = 1024;

void pause_ms(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Pulls frames output frames through mix() in chunks of at most chunk
// frames as the audio callback would, waiting for the decoder as the prefill
// in play() does instead of taking the silence of a ring merely behind.
std::vector<int16_t> pull(cSoundModule_fmod& music, long frames, long chunk_frames = CHUNK_FRAMES)
{
    std::vector<int16_t> out;
    std::vector<int16_t> chunk(chunk_frames * MUSIC_CHANNELS);
    for (int waited = 0; long(out.size()) < frames * MUSIC_CHANNELS && waited < 60000;) {
        long want = std::min<long>(chunk_frames, frames - long(out.size()) / MUSIC_CHANNELS);
        if (music.buffered_ms() * (MUSIC_RATE / 1000) < want && !music.decoded_to_end()) {
            pause_ms(1);
            ++waited;
            continue;
        }
        music.mix(reinterpret_cast<uint8_t*>(chunk.data()), int(want * MUSIC_CHANNELS * sizeof(int16_t)));
        out.insert(out.end(), chunk.begin(), chunk.begin() + want * MUSIC_CHANNELS);
    }
    return out;
}

void wait_decoded(cSoundModule_fmod& music)
{
    for (int i = 0; i < 60000 && !music.decoded_to_end() && music.buffered_ms() < MUSIC_BUFFER_MS; ++i)
        pause_ms(1);
}

// Loads path in a module of its own with the given mode (for death tests).
void load_alone(const std::string& path, int32_t mode = cSoundModule_fmod::MODE_STREAM)
{
    cSoundModule_fmod music;
    music.mode = mode;
    music.load(path);
}

std::string load_line(cSoundModule_fmod& music, const std::string& path)
{
    testing::internal::CaptureStdout();
    music.load(path);
    return testing::internal::GetCapturedStdout();
}

class Music : public testing::Test
{
protected:
    void SetUp() override { dir_ = make_temp_dir(); }
    void TearDown() override
    {
        for (const std::string& f : files_)
            std::remove(f.c_str());
        std::remove(dir_.c_str());
    }
    // A tone file in the test's folder.
    std::string tone(const std::string& name, int rate, int channels, double seconds)
    {
        std::string path = file(name);
        EXPECT_TRUE(write_test_tone(path, rate, channels, seconds));
        return path;
    }
    std::string file(const std::string& name)
    {
        files_.push_back(dir_ + "/" + name);
        return files_.back();
    }

    std::string dir_;
    std::vector<std::string> files_;
};

} // namespace

TEST_F(Music, length_line_names_the_path_and_whole_milliseconds)
{
    cSoundModule_fmod music;
    std::string path = file("odd.ogg");
    // 44100 + 30 frames: 1000.68 ms, reported as 1000.
    ASSERT_TRUE(write_test_ogg(path, 44100, 2, 44130, [](long f, int) { return float(f % 100) / 200.0f; }));
    EXPECT_EQ("# fmod loaded stream \"" + path + "\" [length: 1000ms]\n", load_line(music, path));

    std::string mono = tone("mono.ogg", 22050, 1, 1.5);
    EXPECT_EQ("# fmod loaded stream \"" + mono + "\" [length: 1500ms]\n", load_line(music, mono));

    const std::string sample = shared_testdata_dir() + "/ogg/sfml/doodle_pop.ogg";
    if (shared_testdata_dir().empty() || read_text_file(sample).empty())
        GTEST_SKIP() << "shared test data absent";
    EXPECT_EQ("# fmod loaded stream \"" + sample + "\" [length: 24002ms]\n", load_line(music, sample));
}

TEST_F(Music, unopenable_files_and_tracker_modules_end_the_process_with_code_1_unknown_modes_are_skipped_error_texts)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Each names the file (a threadsafe death test makes a folder of its own).
    EXPECT_EXIT(load_alone(dir_ + "/missing.ogg"), testing::ExitedWithCode(1),
                "^## ERROR: No such file or directory: \"/[^\"]*/missing.ogg\"\n$");
    EXPECT_EXIT(load_alone(dir_), testing::ExitedWithCode(1), "^## ERROR: Is a directory: \"/[^\"]*\"\n$");
    std::string text = file("text.ogg");
    std::ofstream(text) << "not a vorbis stream at all\n";
    EXPECT_EXIT(load_alone(text), testing::ExitedWithCode(1), "^## ERROR: [^\n]+: \"/[^\"]*/text.ogg\"\n$");
    std::string path = tone("tone.ogg", 44100, 2, 0.2);
    EXPECT_EXIT(load_alone(path, cSoundModule_fmod::MODE_MODULE), testing::ExitedWithCode(1),
                "^## ERROR: Tracker modules are not supported: \"/[^\"]*/tone.ogg\"\n$");

    cSoundModule_fmod music;
    music.mode = 7;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    music.load(path);
    testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_THAT(err, testing::StartsWith("## ERROR, unhandled case in "));
    EXPECT_THAT(err, testing::HasSubstr("sound_module.cpp, line: "));
    EXPECT_EQ(nullptr, music.stream);

    EXPECT_EQ("No errors", fmod_error_string(0));
    EXPECT_EQ("No such file or directory", fmod_error_string(2));
    EXPECT_EQ("The file is not an Ogg Vorbis stream", fmod_error_string(-132));
    EXPECT_EQ("Unknown error", fmod_error_string(-9999));
}

TEST_F(Music, device_periods_of_at_most_512_frames_hand_out_the_plain_decode_across_ring_wraps)
{
    // A beat drawn on screen may lead its sound by one device period: keep it
    // under the 20 ms viewers notice (512 frames are 11.6 ms).
    EXPECT_LE(MUSIC_DEVICE_FRAMES, 512);
    EXPECT_LE(MUSIC_DEVICE_FRAMES * 1000.0 / MUSIC_RATE, 11.7);

    // 9 s: the 4000 ms ring wraps twice while it is read.
    std::string path = tone("periods.ogg", 44100, 2, 9.0);
    std::vector<int16_t> expected = decode_test_ogg(path);
    ASSERT_FALSE(expected.empty());
    cSoundModule_fmod music;
    load_line(music, path);
    std::vector<int16_t> got = pull(music, long(expected.size() / 2), MUSIC_DEVICE_FRAMES);
    ASSERT_EQ(expected.size(), got.size());
    EXPECT_TRUE(expected == got) << "first difference at sample "
                                  << (std::mismatch(expected.begin(), expected.end(), got.begin()).first -
                                      expected.begin());
    EXPECT_TRUE(music.decoded_to_end());

    // Past the end: silence.
    std::vector<int16_t> after(512, 7);
    music.mix(reinterpret_cast<uint8_t*>(after.data()), int(after.size() * sizeof(int16_t)));
    EXPECT_EQ(std::vector<int16_t>(512, 0), after);
}

TEST_F(Music, a_mono_22050_hz_stream_is_resampled_to_44100_stereo)
{
    std::string path = tone("mono.ogg", 22050, 1, 1.0);
    int rate = 0, channels = 0;
    std::vector<int16_t> source = decode_test_ogg(path, &rate, &channels);
    ASSERT_EQ(22050, rate);
    ASSERT_EQ(1, channels);

    cSoundModule_fmod music;
    load_line(music, path);
    wait_decoded(music);
    ASSERT_TRUE(music.decoded_to_end());
    EXPECT_NEAR(1000, music.buffered_ms(), 2);
    std::vector<int16_t> got = pull(music, 44000);
    // Every second output frame falls on a source frame; both sides carry it.
    for (long k = 0; k < 22000; ++k) {
        ASSERT_EQ(source[k], got[4 * k]) << "frame " << 2 * k;
        ASSERT_EQ(source[k], got[4 * k + 1]) << "frame " << 2 * k;
    }
}

TEST_F(Music, volume_0_is_silent_255_and_above_unchanged_128_about_half_skip_moves_the_stream_and_none_warns)
{
    std::string path = tone("tone.ogg", 44100, 2, 3.0);
    std::vector<int16_t> expected = decode_test_ogg(path);
    cSoundModule_fmod music;
    load_line(music, path);
    wait_decoded(music);

    music.set_volume(0);
    std::vector<int16_t> silent = pull(music, 4096);
    EXPECT_EQ(std::vector<int16_t>(silent.size(), 0), silent);
    music.set_volume(128);
    std::vector<int16_t> half = pull(music, 4096);
    for (std::size_t i = 0; i < half.size(); ++i)
        ASSERT_NEAR(expected[8192 + i] / 2.0, half[i], std::abs(expected[8192 + i]) / 255.0 + 1.0) << i; // one step
    music.set_volume(1000); // clamped to full volume
    std::vector<int16_t> full = pull(music, 4096);
    EXPECT_TRUE(std::equal(full.begin(), full.end(), expected.begin() + 16384));
    EXPECT_EQ(278, music.get_time()); // 3 x 4096 frames: 278.6 ms

    // Skipping moves the stream and drops what was decoded ahead.
    music.skip(1500);
    EXPECT_EQ(1500, music.get_time());
    std::vector<int16_t> got = pull(music, 2048);
    ASSERT_EQ(4096u, got.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin() + 2 * 66150));
    EXPECT_EQ(1500 + 2048 * 1000 / 44100, music.get_time());

    cSoundModule_fmod none;
    testing::internal::CaptureStderr();
    none.set_volume(100);
    EXPECT_THAT(testing::internal::GetCapturedStderr(),
                testing::MatchesRegex("## WARNING: Not able to set volume in (\\.\\./)*src/timeline/sound_module.cpp line [0-9]+\n"));
    none.close(); // without init or load: harmless, twice
    none.close();
    EXPECT_EQ(nullptr, none.stream);
}

TEST_F(Music, play_runs_the_stream_on_the_audio_thread_and_close_stops_it_while_playing)
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::string path = tone("tone.ogg", 44100, 2, 8.0);
    cSoundModule_fmod music;
    music.init();
    load_line(music, path);
    testing::internal::CaptureStdout();
    music.play();
    EXPECT_EQ("# fmod starting playback...\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(0, music.channel);

    // The device's thread takes samples without being asked: the position
    // moves on by itself (how fast against real time: bench_music).
    int t = 0;
    for (int waited = 0; waited < 30000 && (t = music.get_time()) == 0; waited += 10)
        pause_ms(10);
    EXPECT_GT(t, 0);
    EXPECT_LT(t, 8000);

    music.close();
    EXPECT_EQ(nullptr, music.stream);
    EXPECT_EQ(0, music.get_time());
    music.close(); // twice is harmless
}
