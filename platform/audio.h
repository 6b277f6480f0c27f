// Music output: one music file decoded with libsndfile (WAV, FLAC, OGG Vorbis, MP3) or
// libopenmpt (MOD, XM, S3M, IT and the other tracker formats), played once from its start
// through an SDL2 audio device at the file's own rate, in stereo. The device counts the frames
// it is handed, so that the frame being heard can be read at any time (audio_clock.h).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Starts the audio subsystem. False (with the reason) when there is no real output: no
// driver, or only SDL's dummy and disk drivers, which keep no real time.
bool OpenAudioOutput(std::string& error);

// Opens the decoder for path and a paused device at its rate. False with the reason when the
// file cannot be decoded or the device cannot be opened; nothing stays open then.
bool OpenMusicStream(const std::string& path, std::string& error);

// Moves the stream to frame (before playback starts).
void SeekMusicFrame(int64_t frame);

void StartMusic();

// For a workbench that jumps around in the music: plays from ms at once (whatever played
// before), and stops it. The clock restarts from ms.
void PlayMusicFromMs(int32_t ms);
void PauseMusic();

// The frame of the music being heard now, counted from the start of the file: smoothed
// between device callbacks and never decreasing. The seek position until playback starts.
int64_t MusicFrameHeard();

int32_t MusicSampleRate();

// The latency the clock subtracts, and the device buffer, both in frames (for reports).
int64_t OutputLatencyFrames();
int64_t OutputBufferFrames();
std::string AudioDriverName();

// --- decoding without a device (tools and tests) ---

struct DecodedSound {
    int32_t sampleRate = 0;
    std::vector<float> stereo;  // interleaved left, right
};
// Decodes a whole file into memory (the same decoders the player uses).
bool DecodeMusicFile(const std::string& path, DecodedSound& out, std::string& error);

class MusicDecoder;
// One music file decoded piece by piece from its start, with the decoders the player uses
// (the video export streams it: memory stays flat however long the music is).
class MusicReader {
public:
    MusicReader();
    ~MusicReader();
    MusicReader(const MusicReader&) = delete;
    MusicReader& operator=(const MusicReader&) = delete;

    // False with the reason when the file cannot be decoded.
    bool Open(const std::string& path, std::string& error);
    int32_t SampleRate() const;
    // The length the file declares, in frames, for estimates only (the decoded length can
    // differ); -1 when unknown.
    int64_t DeclaredFrames() const;
    // Fills up to frames interleaved stereo frames; returns how many hold music (fewer at the
    // end, then 0).
    int64_t ReadStereo(float* out, int64_t frames);

private:
    std::unique_ptr<MusicDecoder> decoder_;
};

// Writes interleaved stereo samples in [-1, 1]; the extension picks the format: .wav (16-bit
// PCM), .flac, .ogg (Vorbis) or .mp3 where libsndfile can encode it.
bool WriteSoundFile(const std::string& path, int32_t sampleRate, const std::vector<float>& stereo,
                    std::string& error);

}  // namespace platform
