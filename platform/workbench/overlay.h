// Dear ImGui on the window of `qv play`: its SDL2 input and OpenGL drawing, and the copy of
// the demo's last frame that the overlay is drawn over while nothing new is drawn (paused).
// The overlay draws after the demo's frame, outside the GL layer (the one exception, listed
// in overlay.cpp), and puts back every piece of OpenGL state it touches from its own storage,
// so that the next demo frame finds the state the demo left. Never call it while the frame
// is inside a glBegin block: the driver would refuse the reads and the drawing.
#pragma once
#include <cstdint>

namespace platform {

// After OpenGLWindow: ImGui's context and backends, mouse events fed from the window's
// events. False when the backends cannot start (the session goes on without an overlay).
bool StartOverlay();
void StopOverlay();

// After the window's context was replaced: the overlay's textures went with the old one and
// are made anew when next needed.
void ForgetOverlayTextures();

// Opens an ImGui frame; the caller then builds its windows with ImGui calls.
void BeginOverlayFrame();
// Draws the frame's ImGui windows onto the frame.
void EndOverlayFrame();

// Keeps the frame (width x height) as the picture to draw the overlay over later.
void KeepFrame(int32_t width, int32_t height);
// Draws the picture kept last over the whole frame (nothing when none is kept).
void DrawKeptFrame(int32_t width, int32_t height);

}  // namespace platform
