// Dear ImGui on the window of `qv play`: its SDL2 input and OpenGL 2 drawing, and the copy of
// the demo's last frame that the overlay is drawn over while nothing new is drawn (paused).
// The overlay draws after the demo's frame, outside the GL layer, and puts back every piece
// of OpenGL state it touches, so that the next demo frame finds the state the demo left.
#pragma once
#include <cstdint>

namespace platform {

// After OpenGLWindow: ImGui's context and backends, mouse events fed from the window's
// events. False when the backends cannot start (the session goes on without an overlay).
bool StartOverlay();
void StopOverlay();

// Opens an ImGui frame; the caller then builds its windows with ImGui calls.
void BeginOverlayFrame();
// Draws the frame's ImGui windows onto the frame.
void EndOverlayFrame();

// Keeps the frame (width x height) as the picture to draw the overlay over later.
void KeepFrame(int32_t width, int32_t height);
// Draws the picture kept last over the whole frame (nothing when none is kept).
void DrawKeptFrame(int32_t width, int32_t height);

}  // namespace platform
