#include "platform/music_decoder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "core/file_io.h"
#include "core/quote.h"
#include "platform/audio.h"

namespace platform {
namespace {

// libsndfile's text ("System error : Permission denied.", "Format not recognised.") as a
// reason that fits inside another sentence: no prefix, no full stop.
std::string SoundErrorText(std::string text) {
    constexpr std::string_view kSystemPrefix = "System error : ";
    if (text.starts_with(kSystemPrefix)) text.erase(0, kSystemPrefix.size());
    while (!text.empty() && (text.back() == '.' || std::isspace(uint8_t(text.back()))))
        text.pop_back();
    return text.empty() ? "not a sound file" : text;
}

}  // namespace

bool MusicDecoder::Open(const std::string& path, std::string& error) {
    Close();
    // A file that cannot be opened at all is named by the system's reason alone; the
    // decoders would only wrap the same reason in their own words.
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    ::close(fd);
    SF_INFO info{};
    sound_ = sf_open(path.c_str(), SFM_READ, &info);
    if (sound_) {
        if (info.channels < 1 || info.samplerate <= 0) {
            error = "no audio channels";
            Close();
            return false;
        }
        channels_ = info.channels;
        rate_ = info.samplerate;
        // SF_COUNT_MAX is libsndfile's "unknown" (an Ogg file cut short, for one).
        frames_ = info.frames == SF_COUNT_MAX ? -1 : info.frames;
        scratch_.resize(size_t(kChunkFrames) * channels_);
        return true;
    }
    std::string soundError = SoundErrorText(sf_strerror(nullptr));
    if (OpenTracker(path)) return true;
    error = soundError;
#ifdef QV_NO_OPENMPT
    error += " (this build decodes no tracker modules)";
#endif
    return false;
}

void MusicDecoder::Seek(int64_t frame) {
    if (sound_) sf_seek(sound_, frame, SEEK_SET);
#ifndef QV_NO_OPENMPT
    if (module_) openmpt_module_set_position_seconds(module_, double(frame) / rate_);
#endif
}

int64_t MusicDecoder::ReadStereo(float* out, int64_t frames) {
#ifndef QV_NO_OPENMPT
    if (module_)
        return openmpt_module_read_interleaved_float_stereo(module_, rate_, size_t(frames), out);
#endif
    int64_t done = 0;
    while (sound_ && done < frames) {
        sf_count_t want = std::min<int64_t>(kChunkFrames, frames - done);
        sf_count_t got = sf_readf_float(sound_, scratch_.data(), want);
        if (got <= 0) break;
        for (sf_count_t i = 0; i < got; ++i) {
            const float* frame = &scratch_[size_t(i) * channels_];
            // Mono plays on both sides; of more channels the first two are kept.
            out[2 * (done + i)] = frame[0];
            out[2 * (done + i) + 1] = channels_ > 1 ? frame[1] : frame[0];
        }
        done += got;
    }
    return done;
}

#ifdef QV_NO_OPENMPT
bool MusicDecoder::OpenTracker(const std::string&) { return false; }
#else
bool MusicDecoder::OpenTracker(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!core::ReadWholeFile(path, bytes) || bytes.empty()) return false;
    module_ =
        openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!module_) return false;
    rate_ = kTrackerRate;
    frames_ = int64_t(openmpt_module_get_duration_seconds(module_) * rate_);
    return true;
}
#endif

void MusicDecoder::Close() {
    if (sound_) sf_close(sound_);
#ifndef QV_NO_OPENMPT
    if (module_) openmpt_module_destroy(module_);
#endif
    sound_ = nullptr;
    module_ = nullptr;
}

bool DecodeMusicFile(const std::string& path, DecodedSound& out, std::string& error) {
    MusicDecoder decoder;
    if (!decoder.Open(path, error)) return false;
    out.sampleRate = decoder.Rate();
    out.stereo.clear();
    std::vector<float> chunk(2 * 4096);
    for (;;) {
        int64_t got = decoder.ReadStereo(chunk.data(), 4096);
        if (got <= 0) break;
        out.stereo.insert(out.stereo.end(), chunk.begin(), chunk.begin() + 2 * got);
    }
    return true;
}

MusicReader::MusicReader() : decoder_(std::make_unique<MusicDecoder>()) {}
MusicReader::~MusicReader() = default;
bool MusicReader::Open(const std::string& path, std::string& error) {
    return decoder_->Open(path, error);
}
int32_t MusicReader::SampleRate() const { return decoder_->Rate(); }
int64_t MusicReader::DeclaredFrames() const { return decoder_->Frames(); }
int64_t MusicReader::ReadStereo(float* out, int64_t frames) {
    return decoder_->ReadStereo(out, frames);
}

bool WriteSoundFile(const std::string& path, int32_t sampleRate, const std::vector<float>& stereo,
                    std::string& error) {
    std::string ext = path.substr(std::min(path.size(), path.rfind('.') + 1));
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    if (ext == "wav") info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    else if (ext == "flac") info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    else if (ext == "ogg") info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    else if (ext == "mp3") info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    else {
        error = "unknown sound format " + core::QuoteToken("." + ext) + " (wav, flac, ogg or mp3)";
        return false;
    }
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        error = SoundErrorText(sf_strerror(nullptr));
        return false;
    }
    // Clipping instead of wrapping for samples past full scale.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // In slices: libvorbis fails on a few million frames handed over in one write.
    constexpr sf_count_t kSliceFrames = 65536;
    const sf_count_t frames = sf_count_t(stereo.size() / 2);
    bool ok = true;
    for (sf_count_t done = 0; ok && done < frames; done += kSliceFrames) {
        const sf_count_t n = std::min(kSliceFrames, frames - done);
        ok = sf_writef_float(file, stereo.data() + done * 2, n) == n;
    }
    if (!ok) error = SoundErrorText(sf_strerror(file));
    sf_close(file);
    return ok;
}

}  // namespace platform
