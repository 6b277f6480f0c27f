#include "platform/audio.h"

#include <SDL2/SDL.h>
#include <fcntl.h>
#include <libopenmpt/libopenmpt.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "core/file_io.h"
#include "core/quote.h"
#include "platform/audio_clock.h"

namespace platform {
namespace {

constexpr int kTrackerRate = 44100;  // tracker modules are rendered at the player's rate
constexpr Uint16 kDeviceBufferFrames = 1024;
// SDL reports only its buffer size. When the callback returns, the buffer it filled waits
// behind the one the device is playing: two buffers are handed but not heard yet.
constexpr int64_t kBuffersInFlight = 2;

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

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

// One open music file (behind the audio output and MusicReader); owns the libsndfile handle
// or the libopenmpt module.
class MusicDecoder {
public:
    ~MusicDecoder() { Close(); }

    bool Open(const std::string& path, std::string& error) {
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
        return false;
    }

    int32_t Rate() const { return rate_; }
    // The length the file declares, in frames (an estimate for some formats); -1 unknown.
    int64_t Frames() const { return frames_; }

    void Seek(int64_t frame) {
        if (sound_) sf_seek(sound_, frame, SEEK_SET);
        if (module_) openmpt_module_set_position_seconds(module_, double(frame) / rate_);
    }

    // Fills up to frames stereo frames; returns how many hold music (0 at the end).
    int64_t ReadStereo(float* out, int64_t frames) {
        if (module_)
            return openmpt_module_read_interleaved_float_stereo(module_, rate_, size_t(frames),
                                                                out);
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

private:
    static constexpr int64_t kChunkFrames = 4096;

    bool OpenTracker(const std::string& path) {
        std::vector<uint8_t> bytes;
        if (!core::ReadWholeFile(path, bytes) || bytes.empty()) return false;
        module_ = openmpt_module_create_from_memory2(bytes.data(), bytes.size(),
                                                     openmpt_log_func_silent, nullptr, nullptr,
                                                     nullptr, nullptr, nullptr, nullptr);
        if (!module_) return false;
        rate_ = kTrackerRate;
        frames_ = int64_t(openmpt_module_get_duration_seconds(module_) * rate_);
        return true;
    }

    void Close() {
        if (sound_) sf_close(sound_);
        if (module_) openmpt_module_destroy(module_);
        sound_ = nullptr;
        module_ = nullptr;
    }

    SNDFILE* sound_ = nullptr;
    openmpt_module* module_ = nullptr;
    int channels_ = 2;
    int32_t rate_ = kTrackerRate;
    int64_t frames_ = -1;
    std::vector<float> scratch_;
};

namespace {

// Written by the audio thread under a sequence counter (odd while a write is under way), read
// by the main thread without a lock. The fields are stored with release and loaded with
// acquire instead of a separate fence: a reader that sees any new field also sees the odd
// count on its second look and tries again. (ThreadSanitizer does not model fences.)
struct PublishedMark {
    std::atomic<uint32_t> sequence{0};
    std::atomic<int64_t> framesHanded{0};
    std::atomic<int64_t> atNs{-1};
    std::atomic<int64_t> musicEnd{kNoEnd};
};

struct AudioState {
    bool subsystem = false;
    SDL_AudioDeviceID device = 0;
    MusicDecoder decoder;
    ClockParams params;
    int64_t startFrame = 0;
    // audio thread only
    int64_t framesHanded = 0;
    int64_t musicEnd = kNoEnd;
    PublishedMark mark;
    // main thread only
    int64_t lastHeard = 0;
    bool started = false;
    int64_t lostAtNs = -1;  // when the device was found stopped while playing
    int64_t lostAtFrame = 0;
};
AudioState g_audio;

void Publish(int64_t framesHanded, int64_t atNs, int64_t musicEnd) {
    PublishedMark& m = g_audio.mark;
    m.sequence.fetch_add(1, std::memory_order_acq_rel);
    m.framesHanded.store(framesHanded, std::memory_order_release);
    m.atNs.store(atNs, std::memory_order_release);
    m.musicEnd.store(musicEnd, std::memory_order_release);
    m.sequence.fetch_add(1, std::memory_order_release);
}

CallbackMark ReadMark() {
    PublishedMark& m = g_audio.mark;
    CallbackMark mark;
    for (;;) {
        uint32_t before = m.sequence.load(std::memory_order_acquire);
        mark.framesHanded = m.framesHanded.load(std::memory_order_acquire);
        mark.atNs = m.atNs.load(std::memory_order_acquire);
        mark.musicEnd = m.musicEnd.load(std::memory_order_acquire);
        if (!(before & 1) && m.sequence.load(std::memory_order_relaxed) == before) return mark;
    }
}

void FillDevice(void*, Uint8* stream, int len) {
    AudioState& a = g_audio;
    float* out = reinterpret_cast<float*>(stream);
    int64_t frames = len / int64_t(2 * sizeof(float));
    int64_t music = a.musicEnd == kNoEnd ? a.decoder.ReadStereo(out, frames) : 0;
    std::memset(out + 2 * music, 0, size_t(frames - music) * 2 * sizeof(float));
    if (music < frames && a.musicEnd == kNoEnd) a.musicEnd = a.framesHanded + music;
    a.framesHanded += frames;
    Publish(a.framesHanded, SteadyNs(), a.musicEnd);
}

// libasound reports a missing sound card on stderr by itself, several lines per attempt; the
// music clock's own warning says the same in one line. Holds stderr on /dev/null meanwhile.
class QuietStderr {
public:
    QuietStderr() {
        std::fflush(stderr);
        saved_ = ::dup(2);
        int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, 2);
            ::close(null);
        }
    }
    ~QuietStderr() {
        if (saved_ < 0) return;
        ::dup2(saved_, 2);
        ::close(saved_);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;
};

bool IsTimekeepingDriver(const char* name) {
    return name && std::strcmp(name, "dummy") != 0 && std::strcmp(name, "disk") != 0;
}

}  // namespace

bool OpenAudioOutput(std::string& error) {
    if (!g_audio.subsystem) {
        QuietStderr quiet;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            error = SDL_GetError();
            return false;
        }
        g_audio.subsystem = true;
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    if (!IsTimekeepingDriver(driver)) {
        error = std::string("only the '") + (driver ? driver : "") +
                "' audio driver, which keeps no real time";
        return false;
    }
    return true;
}

bool OpenMusicStream(const std::string& path, std::string& error) {
    if (!g_audio.decoder.Open(path, error)) return false;
    SDL_AudioSpec want{}, have{};
    want.freq = g_audio.decoder.Rate();
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kDeviceBufferFrames;
    want.callback = FillDevice;
    // No changes allowed: SDL converts to the hardware's format, so one frame handed is one
    // frame of the file.
    {
        QuietStderr quiet;
        g_audio.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    if (!g_audio.device) {
        error = std::string("no audio device: ") + SDL_GetError();
        return false;
    }
    g_audio.params.sampleRate = have.freq;
    g_audio.params.bufferFrames = have.samples;
    g_audio.params.latencyFrames = kBuffersInFlight * have.samples;
    return true;
}

void SeekMusicFrame(int64_t frame) {
    if (!g_audio.device) return;
    SDL_LockAudioDevice(g_audio.device);
    g_audio.decoder.Seek(frame);
    g_audio.startFrame = frame;
    g_audio.lastHeard = 0;
    SDL_UnlockAudioDevice(g_audio.device);
}

void StartMusic() {
    if (!g_audio.device) return;
    SDL_PauseAudioDevice(g_audio.device, 0);
    g_audio.started = true;
}

void PlayMusicFromMs(int32_t ms) {
    if (!g_audio.device) return;
    SDL_LockAudioDevice(g_audio.device);
    const int64_t frame = MsToFrames(ms, g_audio.params.sampleRate);
    g_audio.decoder.Seek(frame);
    g_audio.startFrame = frame;
    g_audio.framesHanded = 0;
    g_audio.musicEnd = kNoEnd;
    Publish(0, -1, kNoEnd);
    g_audio.lastHeard = 0;
    g_audio.lostAtNs = -1;
    SDL_UnlockAudioDevice(g_audio.device);
    StartMusic();
}

void PauseMusic() {
    if (g_audio.device) SDL_PauseAudioDevice(g_audio.device, 1);
    g_audio.started = false;
}

// A device that stops while playing (unplugged, sound server gone) calls back no more: the
// music goes on silently on the steady clock from the frame heard last, so the demo neither
// freezes nor jumps.
int64_t FrameAfterLoss(const CallbackMark& mark, int64_t nowNs) {
    AudioState& a = g_audio;
    if (a.lostAtNs < 0) {
        a.lostAtNs = nowNs;
        a.lostAtFrame = a.lastHeard;
        std::fprintf(stderr, "Quorvanel: the audio device stopped; the demo goes on silently\n");
    }
    int64_t heard = a.lostAtFrame + FramesIn(nowNs - a.lostAtNs, a.params.sampleRate);
    return std::max(std::min(heard, mark.musicEnd), a.lastHeard);
}

int64_t MusicFrameHeard() {
    AudioState& a = g_audio;
    if (!a.device) return 0;
    const int64_t now = SteadyNs();
    const CallbackMark mark = ReadMark();
    if (a.started && SDL_GetAudioDeviceStatus(a.device) == SDL_AUDIO_STOPPED)
        a.lastHeard = FrameAfterLoss(mark, now);
    else a.lastHeard = HeardFrame(mark, a.params, now, a.lastHeard);
    return a.startFrame + a.lastHeard;
}

int32_t MusicSampleRate() { return g_audio.params.sampleRate; }
int64_t OutputLatencyFrames() { return g_audio.params.latencyFrames; }
int64_t OutputBufferFrames() { return g_audio.params.bufferFrames; }
std::string AudioDriverName() {
    const char* name = g_audio.subsystem ? SDL_GetCurrentAudioDriver() : nullptr;
    return name ? name : "";
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
