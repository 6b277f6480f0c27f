// A context without a visible window on Win32: a hidden window of the player's pixel format
// holds the WGL context, and the demo draws into the GL layer's frame surface of a fixed
// size, as the player window does. Used by the Windows build's frame renderer for tests.
#include "platform/headless.h"

#include <windows.h>

#include "gl/gl_layer.h"
#include "platform/win32/pixel_format.h"

namespace platform {
namespace {

constexpr char kClassName[] = "QuorvanelHeadless";

struct HeadlessState {
    HWND window = nullptr;
    HDC dc = nullptr;
    HGLRC context = nullptr;
};
HeadlessState g_headless;

bool Fail(std::string& error, const char* what) {
    error = std::string(what) + " (Windows error " + std::to_string(GetLastError()) + ")";
    CloseHeadlessContext();
    return false;
}

bool RegisterHeadlessClass() {
    WNDCLASSA wc{};
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

bool OpenHeadlessContext(int32_t width, int32_t height, std::string& error) {
    HeadlessState& h = g_headless;
    if (!RegisterHeadlessClass()) return Fail(error, "cannot register the window class");
    // Never shown: its own buffers are not drawn into, so one pixel will do.
    h.window = CreateWindowExA(0, kClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    if (!h.window) return Fail(error, "cannot create the hidden window");
    h.dc = GetDC(h.window);
    // The player's descriptor; the frame surface fixes the format the demo draws into.
    const PIXELFORMATDESCRIPTOR pfd = PlayerPixelFormat();
    const int format = h.dc ? ChoosePixelFormat(h.dc, &pfd) : 0;
    if (!format || !SetPixelFormat(h.dc, format, &pfd)) return Fail(error, "no pixel format");
    h.context = wglCreateContext(h.dc);
    if (!h.context) return Fail(error, "cannot create an OpenGL context");
    if (!wglMakeCurrent(h.dc, h.context)) return Fail(error, "cannot make the context current");
    if (!gl::OpenFrameSurface(width, height))
        return Fail(error, "no off-screen framebuffer with 8-bit RGB and 16 depth bits");
    gl::UseDriver(nullptr);  // a frame is presented by finishing it: nothing to swap to
    return true;
}

void CloseHeadlessContext() {
    HeadlessState& h = g_headless;
    if (h.context && wglGetCurrentContext() == h.context) gl::CloseFrameSurface();
    wglMakeCurrent(nullptr, nullptr);
    if (h.context) wglDeleteContext(h.context);
    if (h.dc) ReleaseDC(h.window, h.dc);
    if (h.window) DestroyWindow(h.window);
    h = HeadlessState{};
}

}  // namespace platform
