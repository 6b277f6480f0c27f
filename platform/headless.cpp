#include "platform/headless.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>

#include "gl/gl_layer.h"

namespace platform {
namespace {

struct HeadlessState {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
};
HeadlessState g_headless;

EGLDisplay SurfacelessDisplay() {
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return EGL_NO_DISPLAY;
    return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

bool Fail(std::string& error, const char* what) {
    char code[32];
    std::snprintf(code, sizeof code, " (EGL error 0x%04X)", unsigned(eglGetError()));
    error = std::string(what) + code;
    CloseHeadlessContext();
    return false;
}

}  // namespace

bool OpenHeadlessContext(int32_t width, int32_t height, std::string& error) {
    HeadlessState& h = g_headless;
    h.display = SurfacelessDisplay();
    if (h.display == EGL_NO_DISPLAY) return Fail(error, "no EGL surfaceless display");
    EGLint major = 0, minor = 0;
    if (!eglInitialize(h.display, &major, &minor)) return Fail(error, "EGL initialisation failed");
    if (!eglBindAPI(EGL_OPENGL_API)) return Fail(error, "EGL has no desktop OpenGL");
    // The configuration's colour and depth sizes do not matter: no surface of it is made.
    // (Asked for 8 bits per colour, Mesa picks a 10-bit configuration: more bits rank first.)
    // The surface type is the default window otherwise, which a surfaceless display lacks.
    const EGLint configAttribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                    EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint found = 0;
    if (!eglChooseConfig(h.display, configAttribs, &config, 1, &found) || found < 1)
        return Fail(error, "no EGL configuration for OpenGL");
    // No version or profile asked for: Mesa then gives a compatibility context.
    h.context = eglCreateContext(h.display, config, EGL_NO_CONTEXT, nullptr);
    if (h.context == EGL_NO_CONTEXT) return Fail(error, "cannot create an OpenGL context");
    if (!eglMakeCurrent(h.display, EGL_NO_SURFACE, EGL_NO_SURFACE, h.context))
        return Fail(error, "cannot make the OpenGL context current without a surface");
    if (!gl::OpenFrameSurface(width, height))
        return Fail(error, "no off-screen framebuffer with 8-bit RGB and 16 depth bits");
    gl::UseDriver(nullptr);  // a frame is presented by finishing it: nothing to swap to
    return true;
}

void CloseHeadlessContext() {
    HeadlessState& h = g_headless;
    if (h.display == EGL_NO_DISPLAY) return;
    if (h.context != EGL_NO_CONTEXT && eglGetCurrentContext() == h.context) gl::CloseFrameSurface();
    eglMakeCurrent(h.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (h.context != EGL_NO_CONTEXT) eglDestroyContext(h.display, h.context);
    eglTerminate(h.display);
    h = HeadlessState{};
}

}  // namespace platform
