// Music output on Win32 through waveOut, which every Windows has: a feeder thread keeps a few
// 16-bit stereo buffers queued at the file's rate and publishes a mark after each one it
// hands over; the clock reads the latest mark (audio_clock.h).
#include "platform/audio.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/audio_clock.h"
#include "platform/music_decoder.h"

namespace platform {
namespace {

constexpr int64_t kBufferFrames = 1024;
constexpr int kBufferCount = 3;

struct Block {
    WAVEHDR header{};
    std::array<int16_t, 2 * kBufferFrames> samples{};
};

struct AudioState {
    HWAVEOUT device = nullptr;
    HANDLE bufferDone = nullptr;
    std::thread feeder;
    std::atomic<bool> stop{false};
    std::array<Block, kBufferCount> blocks;
    std::mutex lock;  // the decoder and the mark
    MusicDecoder decoder;
    ClockParams params;
    CallbackMark mark;
    int64_t startFrame = 0;
    // main thread only
    int64_t lastHeard = 0;
};
AudioState g_audio;

int16_t ToPcm16(float sample) {
    const float clipped = std::clamp(sample, -1.0f, 1.0f);
    return int16_t(std::lrint(clipped * 32767.0f));
}

// Decodes the next buffer (silence once the music has ended) and queues it.
void HandOver(Block& block, std::array<float, 2 * kBufferFrames>& scratch) {
    std::lock_guard<std::mutex> hold(g_audio.lock);
    CallbackMark& mark = g_audio.mark;
    const int64_t music =
        mark.musicEnd == kNoEnd ? g_audio.decoder.ReadStereo(scratch.data(), kBufferFrames) : 0;
    std::fill(scratch.begin() + 2 * music, scratch.end(), 0.0f);
    if (music < kBufferFrames && mark.musicEnd == kNoEnd) mark.musicEnd = mark.framesHanded + music;
    std::transform(scratch.begin(), scratch.end(), block.samples.begin(), ToPcm16);
    waveOutWrite(g_audio.device, &block.header, sizeof block.header);
    mark.framesHanded += kBufferFrames;
    mark.atNs = SteadyNs();
}

// A device that takes buffers faster than they can play (a null sound device) would run the
// clock ahead of real time: no buffer is handed over before the steady clock says the queue
// has room for it.
bool QueueHasRoom(int64_t playStartNs) {
    std::lock_guard<std::mutex> hold(g_audio.lock);
    const int64_t played = FramesIn(SteadyNs() - playStartNs, g_audio.params.sampleRate);
    return g_audio.mark.framesHanded + kBufferFrames <= played + kBufferCount * kBufferFrames;
}

void Feed() {
    std::array<float, 2 * kBufferFrames> scratch{};
    const int64_t playStartNs = SteadyNs();
    while (!g_audio.stop.load()) {
        for (Block& block : g_audio.blocks) {
            if (block.header.dwFlags & WHDR_INQUEUE) continue;
            if (!QueueHasRoom(playStartNs)) break;
            HandOver(block, scratch);
        }
        WaitForSingleObject(g_audio.bufferDone, 5);
    }
}

void PrepareBlocks() {
    for (Block& block : g_audio.blocks) {
        block.header = WAVEHDR{};
        block.header.lpData = reinterpret_cast<LPSTR>(block.samples.data());
        block.header.dwBufferLength = DWORD(sizeof block.samples);
        waveOutPrepareHeader(g_audio.device, &block.header, sizeof block.header);
        // Marked done so that the feeder fills every buffer at once when playback starts.
        block.header.dwFlags |= WHDR_DONE;
    }
}

// The player never closes its music; the feeder ends before the process tears down the state
// it uses.
void StopFeeder() {
    g_audio.stop = true;
    if (g_audio.feeder.joinable()) g_audio.feeder.join();
}

}  // namespace

bool OpenAudioOutput(std::string& error) {
    if (waveOutGetNumDevs() == 0) {
        error = "no waveOut device";
        return false;
    }
    return true;
}

bool OpenMusicStream(const std::string& path, std::string& error) {
    if (!g_audio.decoder.Open(path, error)) return false;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = DWORD(g_audio.decoder.Rate());
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    g_audio.bufferDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const MMRESULT result =
        waveOutOpen(&g_audio.device, WAVE_MAPPER, &format,
                    reinterpret_cast<DWORD_PTR>(g_audio.bufferDone), 0, CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) {
        char text[MAXERRORLENGTH] = "";
        waveOutGetErrorTextA(result, text, sizeof text);
        error = std::string("no audio device: ") + text;
        g_audio.device = nullptr;
        return false;
    }
    g_audio.params.sampleRate = int32_t(format.nSamplesPerSec);
    g_audio.params.bufferFrames = kBufferFrames;
    // When a buffer has been handed over, it and the others still queued are unheard.
    g_audio.params.latencyFrames = kBufferCount * kBufferFrames;
    PrepareBlocks();
    return true;
}

void SeekMusicFrame(int64_t frame) {
    if (!g_audio.device) return;
    std::lock_guard<std::mutex> hold(g_audio.lock);
    g_audio.decoder.Seek(frame);
    g_audio.startFrame = frame;
    g_audio.lastHeard = 0;
}

void StartMusic() {
    if (!g_audio.device || g_audio.feeder.joinable()) return;
    g_audio.stop = false;
    g_audio.feeder = std::thread(Feed);
    std::atexit(StopFeeder);
}

int64_t MusicFrameHeard() {
    if (!g_audio.device) return 0;
    CallbackMark mark;
    {
        std::lock_guard<std::mutex> hold(g_audio.lock);
        mark = g_audio.mark;
    }
    g_audio.lastHeard = HeardFrame(mark, g_audio.params, SteadyNs(), g_audio.lastHeard);
    return g_audio.startFrame + g_audio.lastHeard;
}

int32_t MusicSampleRate() { return g_audio.params.sampleRate; }
int64_t OutputLatencyFrames() { return g_audio.params.latencyFrames; }
int64_t OutputBufferFrames() { return g_audio.params.bufferFrames; }
std::string AudioDriverName() { return g_audio.device ? "waveOut" : ""; }

}  // namespace platform
