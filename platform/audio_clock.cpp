#include "platform/audio_clock.h"

#include <algorithm>
#include <chrono>

#include "core/numeric.h"

namespace platform {

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t FramesIn(int64_t ns, int32_t sampleRate) {
    // Whole seconds and the rest apart: hours of nanoseconds times the rate overflow 64 bits,
    // and 32-bit targets have no 128-bit integers. The rest times the rate stays below 2^61.
    if (ns <= 0) return 0;
    constexpr int64_t kNsPerSecond = 1000000000;
    return ns / kNsPerSecond * sampleRate + ns % kNsPerSecond * sampleRate / kNsPerSecond;
}

int64_t HeardFrame(const CallbackMark& mark, const ClockParams& params, int64_t nowNs,
                   int64_t previous) {
    if (mark.atNs < 0) return previous;
    int64_t played = std::min(FramesIn(nowNs - mark.atNs, params.sampleRate), params.bufferFrames);
    int64_t heard = mark.framesHanded - params.latencyFrames + played;
    heard = std::min(heard, mark.musicEnd);
    return std::max({heard, int64_t(0), previous});
}

int32_t FramesToMs(int64_t frames, int32_t sampleRate) {
    if (sampleRate <= 0) return 0;
    float seconds = float(double(frames) / double(sampleRate));
    return core::RoundToInt32(core::Extended(seconds) * 1000.0L);
}

int64_t MsToFrames(int32_t ms, int32_t sampleRate) {
    float seconds = float(core::Extended(ms) / 1000.0L);
    return int64_t(double(seconds) * sampleRate);
}

}  // namespace platform
