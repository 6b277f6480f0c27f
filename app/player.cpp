#include "app/player.h"

#include "app/demo_loader.h"
#include "app/engine.h"
#include "app/frame_loop.h"
#include "gl/gl_layer.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "scripter/scripter.h"
#include "timeline/muzax.h"

namespace app {
namespace {

LoopState g_loop;

const app::StartupHooks kStartup = {
    timeline::muzax::InitAudio, timeline::muzax::OpenMusic,   timeline::muzax::SeekMusicMs,
    timeline::muzax::PlayMusic, platform::PumpWindowMessages,
};

// The texts of the window-opening failures, by the step that failed.
const char* OpenFailureText(platform::WindowOutcome outcome) {
    switch (outcome) {
        case platform::WindowOutcome::VideoUnavailable: return "Unable to register window class";
        case platform::WindowOutcome::FullscreenRefused: return "Fullscreen-mode can't be achieved";
        case platform::WindowOutcome::WindowFailed: return "Window could not be created";
        case platform::WindowOutcome::PixelFormatFailed: return "pixel format unavaiable";
        case platform::WindowOutcome::ContextFailed:
            return "Could not get OpenGL-rendering context";
        case platform::WindowOutcome::ActivateFailed:
            return "UNable to activate OpenGL-rendering context";
        case platform::WindowOutcome::Opened: break;
    }
    return "";
}

// A refused full-screen mode is reported and the windowed variant opened instead.
bool OpenPlayerWindow(int32_t width, int32_t height, bool fullscreen) {
    const std::string caption = WindowCaption(app::Demo().title);
    platform::WindowOutcome outcome = platform::OpenGLWindow(width, height, fullscreen, caption);
    if (outcome == platform::WindowOutcome::FullscreenRefused) {
        ShowError(OpenFailureText(outcome));
        outcome = platform::OpenGLWindow(width, height, false, caption);
    }
    if (outcome != platform::WindowOutcome::Opened) {
        ShowError(OpenFailureText(outcome));
        return false;
    }
    return true;
}

// One window message. True when it ends the loop.
bool HandleMessage(const platform::WindowEvent& event) {
    MessageOutcome outcome = HandleWindowMessage(g_loop, event, app::Demo().title);
    if (!outcome.caption.empty()) platform::SetWindowCaption(outcome.caption);
    return outcome.endsLoop;
}

// The loop never waits: a pending message is handled (one per pass, no frame drawn), and
// otherwise a frame is drawn and presented, then the keys are looked at.
bool RunFrameLoop() {
    const uint32_t loopStart = platform::TickCountMs();
    platform::WindowEvent event;
    for (;;) {
        if (platform::PollWindowEvent(event)) {
            if (HandleMessage(event)) return true;
            continue;
        }
        g_loop.frameCount += 1;
        g_loop.smoothedElapsed =
            SmoothElapsed(g_loop.smoothedElapsed, platform::TickCountMs() - loopStart);
        if (!app::DrawFrame(DemoTime(g_loop, timeline::muzax::MusicPositionMs()))) return false;
        gl::SwapBuffers();
        if (LoopEnds(g_loop, scripter::QuitFlag())) return true;
        HandleKeys(g_loop);
    }
}

}  // namespace

void ShowError(const std::string& text) {
    platform::ShowMessage(platform::kErrorCaption, text, platform::MessageIcon::Error);
}

bool RunPlayer(OpenDemoFile file, int32_t width, int32_t height, bool fullscreen,
               int32_t /*bits: always 32*/) {
    g_loop = LoopState{};
    if (!OpenPlayerWindow(width, height, fullscreen)) return false;
    bool ok = RunStartup(std::move(file), width, height, kStartup) && RunFrameLoop();
    platform::CloseGLWindow();
    return ok;
}

}  // namespace app
