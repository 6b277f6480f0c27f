#include "platform/window.h"

#include <SDL2/SDL.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/text.h"
#include "gl/gl_layer.h"

namespace platform {
namespace {

struct WindowState {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    SDL_TimerID captionTimer = 0;
    Uint32 timerEvent = Uint32(-1);
    bool videoStarted = false;
    bool presentingHeld = false;
};
WindowState g_win;
RawEventHook g_rawEventHook = nullptr;

constexpr Uint32 kCaptionPeriodMs = 1000;

Uint32 PostCaptionTimer(Uint32 interval, void*) {
    SDL_Event e{};
    e.type = g_win.timerEvent;
    e.user.code = 1;  // timer id 1, as the frame-rate timer of the player window
    SDL_PushEvent(&e);
    return interval;
}

void SwapWindow() {
    if (!g_win.presentingHeld) SDL_GL_SwapWindow(g_win.window);
}

void RequestPixelFormat() {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_BUFFER_SIZE, 32);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, 0);
    // Immediate mode needs the compatibility profile; no version is asked for.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

// The fullscreen window is real only when the display now runs width x height and the window
// covers it.
bool FullscreenObtained(int32_t width, int32_t height) {
    SDL_DisplayMode mode{};
    int display = SDL_GetWindowDisplayIndex(g_win.window);
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) return false;
    int w = 0, h = 0;
    SDL_GetWindowSize(g_win.window, &w, &h);
    return mode.w == width && mode.h == height && w == width && h == height;
}

bool DisplayOffersMode(int32_t width, int32_t height) {
    SDL_DisplayMode want{}, closest{};
    want.w = width;
    want.h = height;
    return SDL_GetClosestDisplayMode(0, &want, &closest) && closest.w == width &&
           closest.h == height;
}

void DestroyWindowOnly() {
    if (g_win.context) SDL_GL_DeleteContext(g_win.context);
    if (g_win.window) SDL_DestroyWindow(g_win.window);
    g_win.context = nullptr;
    g_win.window = nullptr;
}

// A new context on the window, current, drawing into a new frame surface of the client size
// width x height, and the GL layer routed to it. The visual only shows the picture: the demo
// draws into the frame surface, whose format is exactly the pixel format asked for, whatever
// sizes the visual has. On failure the window is gone too.
WindowOutcome CreateCurrentContext(int32_t width, int32_t height) {
    g_win.context = SDL_GL_CreateContext(g_win.window);
    if (!g_win.context) {
        DestroyWindowOnly();
        return WindowOutcome::ContextFailed;
    }
    if (SDL_GL_MakeCurrent(g_win.window, g_win.context) != 0) {
        DestroyWindowOnly();
        return WindowOutcome::ActivateFailed;
    }
    if (!gl::OpenFrameSurface(width, height)) {
        DestroyWindowOnly();
        return WindowOutcome::PixelFormatFailed;
    }
    gl::UseDriver(SwapWindow);  // which also forgets a block the last context left open
    return WindowOutcome::Opened;
}

WindowOutcome CreateWindowAndContext(int32_t width, int32_t height, bool fullscreen,
                                     const std::string& caption) {
    Uint32 flags = SDL_WINDOW_OPENGL;
    flags |= fullscreen ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_SHOWN;
    if (fullscreen && !DisplayOffersMode(width, height)) return WindowOutcome::FullscreenRefused;
    RequestPixelFormat();
    g_win.window =
        SDL_CreateWindow(core::Cp1252ToUtf8(caption).c_str(), 0, 0, width, height, flags);
    if (!g_win.window) {
        // SDL picks the visual while creating the window; a missing visual is the pixel format.
        const char* why = SDL_GetError();
        bool visual = why && (SDL_strstr(why, "visual") || SDL_strstr(why, "pixel format"));
        return visual ? WindowOutcome::PixelFormatFailed : WindowOutcome::WindowFailed;
    }
    if (fullscreen) {
        SDL_PumpEvents();
        if (!FullscreenObtained(width, height)) {
            DestroyWindowOnly();
            return WindowOutcome::FullscreenRefused;
        }
    }
    return CreateCurrentContext(width, height);
}

}  // namespace

bool HasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

bool RetryConnecting(const std::function<bool()>& connect) {
    constexpr int kAttempts = 20;
    for (int attempt = 1; attempt < kAttempts; ++attempt) {
        if (connect()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return connect();
}

WindowOutcome OpenGLWindow(int32_t width, int32_t height, bool fullscreen,
                           const std::string& captionCp1252) {
    if (!g_win.videoStarted) {
        // SDL minimises a full-screen window that loses focus, which gives back the desktop
        // mode; a message box shown over it during start-up must leave the demo on screen.
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        if (!RetryConnecting(
                [] { return SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER) == 0; }))
            return WindowOutcome::VideoUnavailable;
        g_win.videoStarted = true;
        g_win.timerEvent = SDL_RegisterEvents(1);
    }
    WindowOutcome outcome = CreateWindowAndContext(width, height, fullscreen, captionCp1252);
    if (outcome != WindowOutcome::Opened) return outcome;
    if (fullscreen) SDL_ShowCursor(SDL_DISABLE);
    SDL_GL_SetSwapInterval(0);  // the loop draws as often as it can
    g_win.captionTimer = SDL_AddTimer(kCaptionPeriodMs, PostCaptionTimer, nullptr);
    SDL_RaiseWindow(g_win.window);
    return WindowOutcome::Opened;
}

bool ReplaceGLContext() {
    if (!g_win.window || !g_win.context) return false;
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(g_win.window, &width, &height);
    gl::CloseFrameSurface();  // the old context's, while it is current
    SDL_GLContext fresh = SDL_GL_CreateContext(g_win.window);
    if (fresh && SDL_GL_MakeCurrent(g_win.window, fresh) == 0 &&
        gl::OpenFrameSurface(width, height)) {
        SDL_GL_DeleteContext(g_win.context);
        g_win.context = fresh;
        SDL_GL_SetSwapInterval(0);
        gl::UseDriver(SwapWindow);  // which also forgets a block the last context left open
        return true;
    }
    // The old context goes on, with a frame surface of its own again.
    SDL_GL_MakeCurrent(g_win.window, g_win.context);
    if (fresh) SDL_GL_DeleteContext(fresh);
    gl::OpenFrameSurface(width, height);
    gl::UseDriver(SwapWindow);
    return false;
}

void HoldPresenting(bool hold) { g_win.presentingHeld = hold; }

void CloseGLWindow() {
    if (g_win.captionTimer) SDL_RemoveTimer(g_win.captionTimer);
    g_win.captionTimer = 0;
    if (g_win.context) {
        gl::CloseFrameSurface();
        SDL_GL_MakeCurrent(g_win.window, nullptr);
    }
    DestroyWindowOnly();
}

void SetWindowCaption(const std::string& captionCp1252) {
    if (g_win.window) SDL_SetWindowTitle(g_win.window, core::Cp1252ToUtf8(captionCp1252).c_str());
}

uint32_t TickCountMs() { return SDL_GetTicks(); }

int VirtualKeyFromSdl(int32_t key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return 112 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 97 + (key - SDLK_KP_1);
    switch (key) {
        case SDLK_BACKSPACE: return 8;
        case SDLK_TAB: return 9;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return 13;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT: return 16;
        case SDLK_LCTRL:
        case SDLK_RCTRL: return 17;
        case SDLK_LALT:
        case SDLK_RALT: return 18;
        case SDLK_PAUSE: return 19;
        case SDLK_ESCAPE: return 27;
        case SDLK_SPACE: return 32;
        case SDLK_PAGEUP: return 33;
        case SDLK_PAGEDOWN: return 34;
        case SDLK_END: return 35;
        case SDLK_HOME: return 36;
        case SDLK_LEFT: return 37;
        case SDLK_UP: return 38;
        case SDLK_RIGHT: return 39;
        case SDLK_DOWN: return 40;
        case SDLK_INSERT: return 45;
        case SDLK_DELETE: return 46;
        case SDLK_KP_0: return 96;
        // The punctuation keys of a US layout (VK_OEM_*): `qv play` steps, loops and speeds.
        case SDLK_EQUALS: return 187;
        case SDLK_COMMA: return 188;
        case SDLK_MINUS: return 189;
        case SDLK_PERIOD: return 190;
        case SDLK_LEFTBRACKET: return 219;
        case SDLK_BACKSLASH: return 220;
        case SDLK_RIGHTBRACKET: return 221;
        default: return -1;
    }
}

void PumpWindowMessages() { SDL_PumpEvents(); }

void SetRawEventHook(RawEventHook hook) { g_rawEventHook = hook; }

bool PollWindowEvent(WindowEvent& event) {
    SDL_Event e;
    if (!SDL_PollEvent(&e)) return false;
    if (g_rawEventHook) g_rawEventHook(&e);
    event = WindowEvent{};
    if (e.type == SDL_QUIT ||
        (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)) {
        event.kind = WindowEvent::Quit;
    } else if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        gl::ResizeFrameSurface(e.window.data1, e.window.data2);
        event.kind = WindowEvent::Resized;
        event.width = e.window.data1;
        event.height = e.window.data2;
    } else if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) {
        int vk = VirtualKeyFromSdl(e.key.keysym.sym);
        if (vk >= 0) {
            event.kind = e.type == SDL_KEYDOWN ? WindowEvent::KeyDown : WindowEvent::KeyUp;
            event.virtualKey = vk;
        }
    } else if (e.type == g_win.timerEvent && e.user.code == 1) {
        event.kind = WindowEvent::CaptionTimer;
    }
    return true;
}

}  // namespace platform
