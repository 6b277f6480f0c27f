#include "app/frame_loop.h"

#include "app/engine.h"
#include "core/numeric.h"

namespace app {

void SetKey(LoopState& state, int virtualKey, bool down) {
    if (virtualKey >= 0 && virtualKey < int(state.keyDown.size())) state.keyDown[virtualKey] = down;
}

int32_t SmoothElapsed(int32_t smoothed, uint32_t elapsedMs) {
    int32_t sum = int32_t(uint32_t(smoothed) + elapsedMs);
    return sum / 2;
}

int32_t DemoTime(const LoopState& state, int32_t musicMs) {
    uint32_t t = uint32_t(musicMs) + uint32_t(state.timeOffset);
    if (state.fastMode) t += uint32_t(state.smoothedElapsed);
    return int32_t(t);
}

bool LoopEnds(const LoopState& state, bool quitFlag) {
    return state.keyDown[kKeyEscape] || quitFlag;
}

void HandleKeys(LoopState& state) {
    if (state.keyDown[kKeyF3]) {
        state.fastMode = false;
        state.timeOffset = 0;
        state.keyDown[kKeyF3] = false;
        return;
    }
    if (state.fastMode) return;
    if (state.keyDown[kKeyF2]) {
        state.fastMode = true;
        state.timeOffset = int32_t(0u - uint32_t(state.smoothedElapsed));
    } else if (state.keyDown[kKeyF1]) {
        state.timeOffset = int32_t(uint32_t(state.timeOffset) + uint32_t(kF1JumpMs));
        state.keyDown[kKeyF1] = false;
    }
}

std::string WindowCaption(const std::string& title) { return ">> " + title; }

MessageOutcome HandleWindowMessage(LoopState& state, const platform::WindowEvent& event,
                                   const std::string& title) {
    MessageOutcome outcome;
    switch (event.kind) {
        case platform::WindowEvent::Quit: outcome.endsLoop = true; break;
        case platform::WindowEvent::KeyDown:
        case platform::WindowEvent::KeyUp:
            SetKey(state, event.virtualKey, event.kind == platform::WindowEvent::KeyDown);
            break;
        case platform::WindowEvent::Resized: app::SetProjection(event.width, event.height); break;
        case platform::WindowEvent::CaptionTimer:
            outcome.caption = FpsCaption(title, state.frameCount);
            state.frameCount = 0;
            break;
        case platform::WindowEvent::Other: break;
    }
    return outcome;
}

std::string FpsCaption(const std::string& title, int32_t frameCount) {
    core::Extended fps = core::Extended(frameCount) * 1000 / core::Extended(kCaptionPeriodMs);
    return WindowCaption(title) + "   [" + std::to_string(core::RoundToInt32(fps)) + " FPS]";
}

}  // namespace app
