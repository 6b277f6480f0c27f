// A headless OpenGL context for rendering without a display: EGL on Mesa's surfaceless
// platform, an OpenGL (compatibility) context with no surface of its own, drawing into the GL
// layer's frame surface of a fixed size, as the player window does.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Creates the context and makes it current; the GL layer routes to the driver, and
// gl::ReadPixelsRGBA reads the frame surface. On failure error says why and nothing stays open.
bool OpenHeadlessContext(int32_t width, int32_t height, std::string& error);
void CloseHeadlessContext();

}  // namespace platform
