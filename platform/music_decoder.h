// The music decoders shared by every audio output: one file decoded with libsndfile or
// libopenmpt into interleaved stereo floats, piece by piece from its start. A build with
// QV_NO_OPENMPT (a Windows build whose libraries left libopenmpt out) has libsndfile alone.
#pragma once
#include <sndfile.h>
#ifdef QV_NO_OPENMPT
struct openmpt_module;
#else
#include <libopenmpt/libopenmpt.h>
#endif

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One open music file (behind the audio output and MusicReader); owns the libsndfile handle
// or the libopenmpt module.
class MusicDecoder {
public:
    ~MusicDecoder() { Close(); }

    // False with the reason when the file cannot be decoded; nothing stays open then.
    bool Open(const std::string& path, std::string& error);

    int32_t Rate() const { return rate_; }
    // The length the file declares, in frames (an estimate for some formats); -1 unknown.
    int64_t Frames() const { return frames_; }

    void Seek(int64_t frame);

    // Fills up to frames stereo frames; returns how many hold music (0 at the end).
    int64_t ReadStereo(float* out, int64_t frames);

private:
    static constexpr int64_t kChunkFrames = 4096;
    static constexpr int32_t kTrackerRate = 44100;  // modules are rendered at the player's rate

    bool OpenTracker(const std::string& path);
    void Close();

    SNDFILE* sound_ = nullptr;
    openmpt_module* module_ = nullptr;
    int channels_ = 2;
    int32_t rate_ = kTrackerRate;
    int64_t frames_ = -1;
    std::vector<float> scratch_;
};

}  // namespace platform
