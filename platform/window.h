// The player window: one SDL2 window with a double-buffered OpenGL compatibility context
// (RGBA, 32 colour bits, 16 depth bits, no stencil, alpha or accumulation bits; frames are
// drawn into the GL layer's frame surface of that format and copied to the window at each
// swap), its events translated into the messages the frame loop knows (Windows virtual-key
// codes, size changes, the one-second caption timer, quit) and the buffer swap. One window
// per process.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// True when a window system is reachable ($DISPLAY or $WAYLAND_DISPLAY is set).
bool HasDisplay();

// Calls connect until it succeeds, for up to a second: a busy or just-started X server can
// refuse a connection for a moment, which must not end the program.
bool RetryConnecting(const std::function<bool()>& connect);

// How opening the window ended; every value but Opened has torn down what was created.
enum class WindowOutcome {
    Opened,
    VideoUnavailable,   // the video subsystem could not start (no window class)
    FullscreenRefused,  // the mode width x height could not be set: open windowed instead
    WindowFailed,
    PixelFormatFailed,  // no visual or frame surface with the pixel format above
    ContextFailed,
    ActivateFailed,
};

// Opens the window with the client size width x height and the caption (Windows-1252 bytes).
// Full screen changes the display mode to width x height and hides the cursor, and stays
// when another window takes the focus (as Windows keeps a WS_POPUP window); the attempt
// counts as failed unless the mode and the window size actually obtained are the requested
// ones (some servers report success and change nothing). The context is current afterwards,
// the GL layer routes to the driver (gl::SwapBuffers presents), and the caption timer runs.
// A size change that PollWindowEvent reports has resized the frame surface already.
WindowOutcome OpenGLWindow(int32_t width, int32_t height, bool fullscreen,
                           const std::string& captionCp1252);

// Replaces the window's OpenGL context with a new one of the same pixel format, current
// afterwards: nothing of the old context (state, textures) survives. False, with the old
// context still current, when no new one can be made.
bool ReplaceGLContext();
// While held, gl::SwapBuffers presents nothing: the window goes on showing the frame
// presented last (a workbench's run to a time draws frames nobody is to see).
void HoldPresenting(bool hold);

// Destroys context and window (the display mode returns with the window).
void CloseGLWindow();

void SetWindowCaption(const std::string& captionCp1252);

// Milliseconds since an arbitrary start, wrapping like GetTickCount.
uint32_t TickCountMs();

struct WindowEvent {
    enum Kind { Quit, KeyDown, KeyUp, Resized, CaptionTimer, Other } kind = Other;
    int virtualKey = 0;             // KeyDown, KeyUp: 0..255
    int32_t width = 0, height = 0;  // Resized: the new client size
};

// Takes one pending event, if any (the PeekMessage of the frame loop). Auto-repeated key
// presses arrive as further KeyDown events; keys without a virtual-key code are Other.
bool PollWindowEvent(WindowEvent& event);

// Lets the window system deliver what is pending (expose, move, the window manager's pings)
// without taking any event off the queue: the window stays responsive during a long step.
void PumpWindowMessages();

// Sees every window-system event (an SDL_Event) before PollWindowEvent translates it: the
// workbench's overlay takes the mouse from here. Null: none.
using RawEventHook = void (*)(const void* sdlEvent);
void SetRawEventHook(RawEventHook hook);

// The Windows virtual-key code of an SDL key code, or -1 when the key has none here.
int VirtualKeyFromSdl(int32_t sdlKey);

}  // namespace platform
