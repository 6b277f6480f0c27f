#include "platform/audio.h"

#include <SDL2/SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/audio_clock.h"
#include "platform/music_decoder.h"

namespace platform {
namespace {

constexpr Uint16 kDeviceBufferFrames = 1024;
// SDL reports only its buffer size. When the callback returns, the buffer it filled waits
// behind the one the device is playing: two buffers are handed but not heard yet.
constexpr int64_t kBuffersInFlight = 2;

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

}  // namespace platform
