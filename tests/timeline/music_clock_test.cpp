#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <thread>

#include "platform/audio.h"
#include "platform/audio_clock.h"
#include "platform/paths.h"
#include "timeline/muzax.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

constexpr int64_t kMs = 1000000;  // ns

ClockParams Params() {
    ClockParams p;
    p.sampleRate = 44100;
    p.latencyFrames = 2048;
    p.bufferFrames = 1024;
    return p;
}

}  // namespace

TEST(HeardFrame, ZeroUntilTheFirstCallbackAndNeverBelowZero) {
    EXPECT_EQ(HeardFrame(CallbackMark{}, Params(), 5 * kMs, 0), 0);
    CallbackMark first{1024, 0, kNoEnd};  // handed less than the latency
    EXPECT_EQ(HeardFrame(first, Params(), 0, 0), 0);
}

TEST(HeardFrame, HandedMinusLatencyPlusSteadyTimeAtMostOneBufferAhead) {
    CallbackMark mark{8192, 100 * kMs, kNoEnd};
    EXPECT_EQ(HeardFrame(mark, Params(), 100 * kMs, 0), 6144);
    EXPECT_EQ(HeardFrame(mark, Params(), 110 * kMs, 0), 6144 + 441);
    EXPECT_EQ(HeardFrame(mark, Params(), 400 * kMs, 0), 6144 + 1024);  // callbacks stalled
    EXPECT_EQ(HeardFrame(mark, Params(), 90 * kMs, 0), 6144);          // clock skew: no rewind
}

TEST(HeardFrame, NeverDecreasesWhenAMarkArrivesLate) {
    CallbackMark mark{8192, 0, kNoEnd};
    int64_t heard = HeardFrame(mark, Params(), 30 * kMs, 0);  // one buffer ahead: 7168
    CallbackMark late{9216, 31 * kMs, kNoEnd};                // the next buffer, 8 ms late
    EXPECT_EQ(HeardFrame(late, Params(), 31 * kMs, heard), heard);
    EXPECT_GT(HeardFrame(late, Params(), 40 * kMs, heard), heard);
}

TEST(HeardFrame, StopsAtTheEndOfTheMusic) {
    CallbackMark ended{100000, 0, 90000};
    EXPECT_EQ(HeardFrame(ended, Params(), 0, 0), 90000);
    EXPECT_EQ(HeardFrame(ended, Params(), 10000 * kMs, 0), 90000);
}

TEST(FramesIn, TruncatesAndStaysExactOverHours) {
    EXPECT_EQ(platform::FramesIn(-5, 44100), 0);
    EXPECT_EQ(platform::FramesIn(999999999, 44100), 44099);
    EXPECT_EQ(platform::FramesIn(1000000000, 44100), 44100);
    // A hundred hours, and a frame less one nanosecond: the product needs more than 64 bits.
    const int64_t hours = int64_t(360000) * 1000000000;
    EXPECT_EQ(platform::FramesIn(hours + 20833, 48000), int64_t(360000) * 48000);
    EXPECT_EQ(platform::FramesIn(hours + 20834, 48000), int64_t(360000) * 48000 + 1);
}

TEST(FramesToMs, SecondsAsFloatTimesThousandRounded) {
    EXPECT_EQ(FramesToMs(66150, 44100), 1500);  // 1.5 s exactly
    EXPECT_EQ(FramesToMs(0, 44100), 0);
    EXPECT_EQ(FramesToMs(22, 44100), 0);  // 0.4989 ms
    EXPECT_EQ(FramesToMs(23, 44100), 1);  // 0.5215 ms
    EXPECT_EQ(FramesToMs(int64_t(44100) * 3600, 44100), 3600000);
    // An hour in, the float holds the seconds to 1/4096 s; the reported ms follow it.
    EXPECT_NEAR(FramesToMs(int64_t(44100) * 3600 + 441, 44100), 3600010, 1);
    EXPECT_EQ(MsToFrames(1500, 44100), 66150);
    EXPECT_EQ(MsToFrames(0, 48000), 0);
}

class SoundFiles : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("qv_sound_" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    static std::vector<float> Tone(int rate, double seconds) {
        std::vector<float> s;
        for (int i = 0; i < int(rate * seconds); ++i) {
            float v = 0.5f * float(std::sin(2 * std::numbers::pi * 440.0 * i / rate));
            s.push_back(v);
            s.push_back(-v);
        }
        return s;
    }
    static double Rms(const std::vector<float>& s) {
        double sum = 0;
        for (float v : s) sum += double(v) * v;
        return s.empty() ? 0 : std::sqrt(sum / double(s.size()));
    }
};

TEST_F(SoundFiles, WavFlacOggAndMp3DecodeAtTheirOwnRate) {
    for (const char* ext : {"wav", "flac", "ogg", "mp3"}) {
        SCOPED_TRACE(ext);
        std::string path = (dir / (std::string("tone.") + ext)).string();
        std::string error;
        if (!WriteSoundFile(path, 22050, Tone(22050, 0.5), error)) {
            // Only MP3 depends on how libsndfile was built; the others must work.
            ASSERT_STREQ(ext, "mp3") << error;
            GTEST_SKIP() << "this libsndfile cannot encode MP3: " << error;
        }
        DecodedSound sound;
        ASSERT_TRUE(DecodeMusicFile(path, sound, error)) << error;
        EXPECT_EQ(sound.sampleRate, 22050);
        // Lossy codecs pad the start and end by up to a couple of thousand frames.
        EXPECT_NEAR(double(sound.stereo.size()) / 2, 11025.0, 2400.0);
        EXPECT_NEAR(Rms(sound.stereo), 0.5 / std::sqrt(2.0), 0.05);
    }
}

TEST_F(SoundFiles, LongOggWritesInSlices) {
    // libvorbis fails when a few million frames arrive in one write (80 s at 44.1 kHz).
    const std::vector<float> silence(size_t(2) * 3'600'000, 0.0f);
    std::string path = (dir / "long.ogg").string(), error;
    ASSERT_TRUE(WriteSoundFile(path, 44100, silence, error)) << error;
    DecodedSound sound;
    ASSERT_TRUE(DecodeMusicFile(path, sound, error)) << error;
    EXPECT_NEAR(double(sound.stereo.size()) / 2, 3'600'000.0, 4096.0);
}

TEST_F(SoundFiles, ProtrackerModulePlaysThroughTheTrackerDecoder) {
    std::string mod(20, '\0');
    auto word = [&](int v) {
        mod += char(v >> 8);
        mod += char(v & 0xFF);
    };
    for (int sample = 0; sample < 31; ++sample) {
        mod += std::string(22, '\0');
        word(sample == 0 ? 32 : 0);  // length in words
        mod += '\0';                 // finetune
        mod += char(sample == 0 ? 64 : 0);
        word(0);                     // loop start
        word(sample == 0 ? 32 : 1);  // loop length: the whole sample repeats
    }
    mod += char(1);  // one position
    mod += char(127);
    mod += std::string(128, '\0');
    mod += "M.K.";
    std::string pattern(64 * 4 * 4, '\0');
    const char note[4] = {0x01, char(0xAC), 0x10, 0x00};  // sample 1, period 428, no effect
    pattern.replace(0, 4, note, 4);
    mod += pattern;
    for (int i = 0; i < 64; ++i) mod += char(i < 32 ? 100 : -100);
    std::string path = (dir / "song.mod").string();
    std::ofstream(path, std::ios::binary) << mod;

    DecodedSound sound;
    std::string error;
    const bool decoded = DecodeMusicFile(path, sound, error);
    if (!decoded && error.ends_with("(this build decodes no tracker modules)"))
        GTEST_SKIP() << error;
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(sound.sampleRate, 44100);
    // 64 rows at speed 6 and 125 BPM: 64 * 6 * 20 ms, plus the decoder's short fade-out.
    EXPECT_NEAR(double(sound.stereo.size()) / 2 / 44100.0, 7.68, 0.15);
    EXPECT_GT(Rms(sound.stereo), 0.05);
}

TEST_F(SoundFiles, AFileOfNeitherKindIsRefusedWithAReason) {
    std::string path = (dir / "notes.txt").string();
    std::ofstream(path) << "not music at all";
    DecodedSound sound;
    std::string error;
    EXPECT_FALSE(DecodeMusicFile(path, sound, error));
    // The reason fits inside a sentence: libsndfile's prefix and full stop are gone.
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find("System error"), std::string::npos) << error;
    EXPECT_NE(error.back(), '.') << error;
    EXPECT_FALSE(DecodeMusicFile((dir / "missing.ogg").string(), sound, error));
    EXPECT_EQ(error, "No such file or directory");
}

// The music file name in the demo file is Windows-1252. Linux names the file on disk in UTF-8;
// Windows takes the ANSI bytes as they are, in libsndfile as in the player.
#ifdef _WIN32
constexpr char kMusicOnDisk[] = "m\xFCsic.flac";
#else
constexpr char kMusicOnDisk[] = "m\xC3\xBCsic.flac";
#endif
TEST_F(SoundFiles, AWindowsMusicNameDecodesItsFileOnDisk) {
    std::string error;
    ASSERT_TRUE(WriteSoundFile(dir.string() + "/" + kMusicOnDisk, 22050, Tone(22050, 0.2), error))
        << error;
    platform::SetContentRoot(dir.string());
    const std::string path = platform::ResolvePath("M\xDCSIC.flac");
    platform::SetContentRoot(".");
    DecodedSound sound;
    ASSERT_TRUE(DecodeMusicFile(path, sound, error)) << error;
    EXPECT_EQ(sound.sampleRate, 22050);
}

#ifndef _WIN32
// SDL's dummy driver keeps no real time: the clock falls back to the steady clock started by
// PlayMusic, says so in one line, and still starts at 0 and never goes backwards.
TEST(Muzax, WithoutARealDeviceTheDemoRunsOnTheSteadyClock) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    testing::internal::CaptureStderr();
    timeline::muzax::InitAudio();
    timeline::muzax::OpenMusic("data\\music.ogg");
    timeline::muzax::SeekMusicMs(0);
    EXPECT_EQ(timeline::muzax::MusicPositionMs(), 0);
    timeline::muzax::PlayMusic();
    std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(timeline::muzax::PlaysThroughDevice());
    EXPECT_NE(warning.find("dummy"), std::string::npos) << warning;
    EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 1) << warning;

    int32_t previous = timeline::muzax::MusicPositionMs();
    EXPECT_GE(previous, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    for (int i = 0; i < 1000; ++i) {
        int32_t now = timeline::muzax::MusicPositionMs();
        EXPECT_GE(now, previous);
        previous = now;
    }
    EXPECT_GE(previous, 25);
}
#endif
