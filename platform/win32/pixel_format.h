// The player's pixel format, shared by the window and the hidden window of headless runs.
#pragma once
#include <windows.h>

namespace platform {

// Double-buffered RGBA, 32 colour bits, 16 depth bits, no stencil, alpha or accumulation bits.
inline PIXELFORMATDESCRIPTOR PlayerPixelFormat() {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.cDepthBits = 16;
    pfd.iLayerType = PFD_MAIN_PLANE;
    return pfd;
}

}  // namespace platform
