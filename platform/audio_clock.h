// The arithmetic of the played-position clock, kept apart from the audio thread so that it
// can be checked without a device. The audio callback publishes a mark after each buffer it
// fills; the reader turns the latest mark and the current time into the frame being heard.
#pragma once
#include <cstdint>

namespace platform {

inline constexpr int64_t kNoEnd = INT64_MAX;

// Published by the audio callback after filling a buffer.
struct CallbackMark {
    int64_t framesHanded = 0;   // every frame given to the device since playback started
    int64_t atNs = -1;          // steady time of the mark; -1: no callback yet
    int64_t musicEnd = kNoEnd;  // frames of music in framesHanded once the stream has ended
};

struct ClockParams {
    int32_t sampleRate = 44100;
    int64_t latencyFrames = 0;  // handed but not heard yet when a callback returns
    int64_t bufferFrames = 0;   // one device buffer: the most the clock runs past a mark
};

// The frame being heard at nowNs: framesHanded - latency at the mark, plus the frames the
// steady clock says have played since (at most one buffer), capped at the end of the music,
// never below 0 and never below previous (the value returned last time).
int64_t HeardFrame(const CallbackMark& mark, const ClockParams& params, int64_t nowNs,
                   int64_t previous);

// The steady clock in nanoseconds, the time base of the marks.
int64_t SteadyNs();

// Frames played in ns nanoseconds at sampleRate (truncated; 0 for negative spans).
int64_t FramesIn(int64_t ns, int32_t sampleRate);

// Frames to whole milliseconds the way the original audio library reported its position:
// the seconds as a 32-bit float, times 1000 in extended precision, rounded to nearest with
// ties to even.
int32_t FramesToMs(int64_t frames, int32_t sampleRate);

// The frame at ms: ms / 1000 handed over as a 32-bit float and scaled by the rate (truncated).
int64_t MsToFrames(int32_t ms, int32_t sampleRate);

}  // namespace platform
