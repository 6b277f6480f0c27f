// The player window on Win32: window class "OpenGL", the display-mode change, a WGL context
// with the player's pixel format, timer 1 for the frame-rate caption, and the window
// procedure's messages handed to the frame loop as events.
#include "platform/window.h"

#include <windows.h>

#include <deque>

#include "gl/gl_layer.h"
#include "platform/message_box.h"
#include "platform/win32/pixel_format.h"

namespace platform {
namespace {

constexpr char kClassName[] = "OpenGL";
constexpr UINT_PTR kCaptionTimer = 1;
constexpr UINT kCaptionPeriodMs = 1000;

struct WindowState {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HDC dc = nullptr;
    HGLRC context = nullptr;
    bool fullscreen = false;
    // What the window procedure saw during the last dispatch, for PollWindowEvent.
    std::deque<WindowEvent> pending;
};
WindowState g_win;

void Push(WindowEvent::Kind kind, int virtualKey = 0, int32_t width = 0, int32_t height = 0) {
    WindowEvent e;
    e.kind = kind;
    e.virtualKey = virtualKey;
    e.width = width;
    e.height = height;
    g_win.pending.push_back(e);
}

LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return 0;
        case WM_SIZE:
            gl::ResizeFrameSurface(LOWORD(lParam), HIWORD(lParam));
            Push(WindowEvent::Resized, 0, LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_CLOSE: PostQuitMessage(0); return 0;
        case WM_KEYDOWN: Push(WindowEvent::KeyDown, int(wParam & 0xFF)); return 0;
        case WM_KEYUP: Push(WindowEvent::KeyUp, int(wParam & 0xFF)); return 0;
        case WM_TIMER:
            if (wParam == kCaptionTimer) Push(WindowEvent::CaptionTimer);
            return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

void SwapWindow() { SwapBuffers(g_win.dc); }

void ShowTeardownError(const char* text) {
    ShowMessage("Quorvanel Error", text, MessageIcon::Error);
}

// Undoes what opening created, step by step; a failing step is reported and the rest goes on.
void TearDown() {
    if (g_win.fullscreen) {
        ChangeDisplaySettingsA(nullptr, 0);
        ShowCursor(TRUE);
        g_win.fullscreen = false;
    }
    if (g_win.context) {
        gl::CloseFrameSurface();
        if (!wglMakeCurrent(g_win.dc, nullptr)) ShowTeardownError("Release of DC & RC failed");
        if (!wglDeleteContext(g_win.context))
            ShowTeardownError("Release of rendering context failed");
        g_win.context = nullptr;
    }
    if (g_win.dc && !ReleaseDC(g_win.window, g_win.dc))
        ShowTeardownError("Release of device context failed");
    g_win.dc = nullptr;
    if (g_win.window && !DestroyWindow(g_win.window)) ShowTeardownError("Unable to destroy window");
    g_win.window = nullptr;
    if (g_win.instance && !UnregisterClassA(kClassName, g_win.instance))
        ShowTeardownError("Unable to unregister class");
    g_win.instance = nullptr;
    g_win.pending.clear();
}

bool RegisterPlayerClass() {
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    wc.lpfnWndProc = PlayerWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc)) return false;
    g_win.instance = wc.hInstance;
    return true;
}

// The requested mode counts as obtained only when the display now runs it: a driver that
// offers no such mode answers with another code than "failed" and changes nothing.
bool ChangeDisplayMode(int32_t width, int32_t height) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmBitsPerPel = 32;
    mode.dmPelsWidth = DWORD(width);
    mode.dmPelsHeight = DWORD(height);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) return false;
    DEVMODEA now{};
    now.dmSize = sizeof now;
    if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &now) &&
        now.dmPelsWidth == DWORD(width) && now.dmPelsHeight == DWORD(height))
        return true;
    ChangeDisplaySettingsA(nullptr, 0);
    return false;
}

HWND CreatePlayerWindow(int32_t width, int32_t height, bool fullscreen,
                        const std::string& caption) {
    if (fullscreen)
        return CreateWindowExA(WS_EX_APPWINDOW, kClassName, caption.c_str(),
                               WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, width, height,
                               nullptr, nullptr, g_win.instance, nullptr);
    // The outer size of a dialog frame and caption around a client area of about width x height.
    const int outerWidth = width + 2 * GetSystemMetrics(SM_CXDLGFRAME);
    const int outerHeight =
        height + 2 * GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION);
    return CreateWindowExA(WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, kClassName, caption.c_str(),
                           WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, 0, 0, outerWidth,
                           outerHeight, nullptr, nullptr, g_win.instance, nullptr);
}

WindowOutcome CreateContext() {
    g_win.dc = GetDC(g_win.window);
    if (!g_win.dc) return WindowOutcome::WindowFailed;
    const PIXELFORMATDESCRIPTOR pfd = PlayerPixelFormat();
    const int format = ChoosePixelFormat(g_win.dc, &pfd);
    if (!format || !SetPixelFormat(g_win.dc, format, &pfd)) return WindowOutcome::PixelFormatFailed;
    g_win.context = wglCreateContext(g_win.dc);
    if (!g_win.context) return WindowOutcome::ContextFailed;
    if (!wglMakeCurrent(g_win.dc, g_win.context)) return WindowOutcome::ActivateFailed;
    // The demo draws into the frame surface, whose format is exactly the player's whatever
    // the driver made of the descriptor, as on every other path. A driver without
    // framebuffer objects (before OpenGL 3.0) gets the window's own buffers, as it always did.
    RECT client{};
    GetClientRect(g_win.window, &client);
    gl::OpenFrameSurface(client.right - client.left, client.bottom - client.top);
    return WindowOutcome::Opened;
}

}  // namespace

bool HasDisplay() { return true; }

// Windows has no display server to wait for.
bool RetryConnecting(const std::function<bool()>& connect) { return connect(); }

WindowOutcome OpenGLWindow(int32_t width, int32_t height, bool fullscreen,
                           const std::string& captionCp1252) {
    if (!RegisterPlayerClass()) return WindowOutcome::VideoUnavailable;
    if (fullscreen && !ChangeDisplayMode(width, height)) {
        TearDown();
        return WindowOutcome::FullscreenRefused;
    }
    g_win.fullscreen = fullscreen;
    if (fullscreen) ShowCursor(FALSE);
    g_win.window = CreatePlayerWindow(width, height, fullscreen, captionCp1252);
    if (!g_win.window) {
        TearDown();
        return WindowOutcome::WindowFailed;
    }
    const WindowOutcome outcome = CreateContext();
    if (outcome != WindowOutcome::Opened) {
        TearDown();
        return outcome;
    }
    SetTimer(g_win.window, kCaptionTimer, kCaptionPeriodMs, nullptr);
    ShowWindow(g_win.window, SW_SHOW);
    SetForegroundWindow(g_win.window);
    SetFocus(g_win.window);
    gl::UseDriver(SwapWindow);
    return WindowOutcome::Opened;
}

void CloseGLWindow() { TearDown(); }

void SetWindowCaption(const std::string& captionCp1252) {
    if (g_win.window) SetWindowTextA(g_win.window, captionCp1252.c_str());
}

uint32_t TickCountMs() { return GetTickCount(); }

// One message per call, as the frame loop's PeekMessage: WM_QUIT is Quit, anything else is
// translated and dispatched, and becomes what the window procedure made of it (or Other).
bool PollWindowEvent(WindowEvent& event) {
    if (g_win.pending.empty()) {
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
        if (msg.message == WM_QUIT) {
            event = WindowEvent{};
            event.kind = WindowEvent::Quit;
            return true;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    event = WindowEvent{};
    if (!g_win.pending.empty()) {
        event = g_win.pending.front();
        g_win.pending.pop_front();
    }
    return true;
}

// Sent messages are delivered by a look at the queue that removes nothing.
void PumpWindowMessages() {
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

void SetRawEventHook(RawEventHook) {}

}  // namespace platform
