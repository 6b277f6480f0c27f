// A headless OpenGL context for rendering without a display: EGL on Mesa's surfaceless
// platform, an OpenGL (compatibility) context and an off-screen pbuffer of a fixed size with
// the player window's pixel format (RGB 8-8-8, 16 depth bits, no stencil).
#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Creates the context and makes it current; the GL layer routes to the driver, and
// gl::ReadPixelsRGBA reads the pbuffer. On failure error says why and nothing stays open.
bool OpenHeadlessContext(int32_t width, int32_t height, std::string& error);
void CloseHeadlessContext();

}  // namespace platform
