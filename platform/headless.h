// A headless OpenGL context for rendering without a display, drawing into the GL layer's frame
// surface of a fixed size, as the player window does. On Linux an OpenGL (compatibility)
// context on EGL's surfaceless platform; on Windows one on a hidden window.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Creates the context and makes it current; the GL layer routes to the driver, and
// gl::ReadPixelsRGBA reads the frame surface. On failure error says why and nothing stays open.
bool OpenHeadlessContext(int32_t width, int32_t height, std::string& error);
void CloseHeadlessContext();

}  // namespace platform
