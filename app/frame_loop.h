// The player's frame-loop state and arithmetic: the key table, the frame counter of the
// frame-rate caption, the smoothed elapsed time, the time offset and fast mode of the
// debugging keys, and what each window message does to them. Plain functions with no window
// behind them; the loop itself is player.h.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "platform/window.h"

namespace app {

// Windows virtual-key codes of the keys the loop reacts to.
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeyF1 = 112;  // one second ahead
inline constexpr int kKeyF2 = 113;  // double speed
inline constexpr int kKeyF3 = 114;  // back to music time

inline constexpr int32_t kF1JumpMs = 1000;
inline constexpr int32_t kCaptionPeriodMs = 1000;  // the frame-rate timer

struct LoopState {
    // The traditional names are KeyDown, FrameCount, SmoothedElapsed, TimeOffset, FastMode.
    std::array<bool, 256> keyDown{};  // true from a key's key-down to its key-up
    int32_t frameCount = 0;           // frames since the last caption update
    int32_t smoothedElapsed = 0;      // ms, running average of the time since the loop began
    int32_t timeOffset = 0;           // ms added to the music time
    bool fastMode = false;            // demo time runs at twice the real speed
};

// A key-down or key-up message for a virtual-key code (codes outside 0..255 are ignored).
void SetKey(LoopState& state, int virtualKey, bool down);

// (smoothed + elapsed) / 2 in signed 32-bit arithmetic (wrapping), truncated toward zero;
// elapsed is the tick count since the loop began, which wraps like GetTickCount.
int32_t SmoothElapsed(int32_t smoothed, uint32_t elapsedMs);

// t = music + TimeOffset (+ SmoothedElapsed in fast mode), wrapping in 32 bits.
int32_t DemoTime(const LoopState& state, int32_t musicMs);

// After a presented frame: Escape or the scripts' quit flag end the loop.
bool LoopEnds(const LoopState& state, bool quitFlag);

// The debugging keys, once per frame that did not end the loop. F3 (always): back to music
// time, fast mode off, F3 cleared. Else only outside fast mode: F2 starts fast mode with
// TimeOffset = -SmoothedElapsed (F2 stays set); otherwise F1 adds one second and is cleared.
void HandleKeys(LoopState& state);

// What a window message did that the window itself must carry out.
struct MessageOutcome {
    bool endsLoop = false;  // the window was closed
    std::string caption;    // not empty: the window's new caption
};

// One window message (the window procedure): a key-down or key-up sets its key-table entry;
// a size change sets viewport and projection for the new client size (through the GL layer);
// the caption timer gives the frame-rate caption of the frames counted since the previous one
// and starts the count again; closing the window ends the loop.
MessageOutcome HandleWindowMessage(LoopState& state, const platform::WindowEvent& event,
                                   const std::string& title);

// ">> " + title: the caption the window opens with.
std::string WindowCaption(const std::string& title);
// ">> " + title + "   [N FPS]" with N = frames * 1000 / 1000.0 (the timer period) rounded to
// nearest, ties to even.
std::string FpsCaption(const std::string& title, int32_t frameCount);

}  // namespace app
