// The frame surface: the one off-screen framebuffer every driver path draws into, and its
// copy onto a window's back buffer. It lives behind the engine's back (no gl:: call names it)
// and keeps its state in its own storage. The layer's own names come first: the GL headers
// define the same enumerants as macros.
#include "gl/gl_backend.h"

#ifdef _WIN32
#include <windows.h>
#else
#define GL_GLEXT_PROTOTYPES
#endif
#include <GL/gl.h>
#include <GL/glext.h>

namespace gl {
namespace {

// The framebuffer entry points past OpenGL 1.1. Windows' opengl32.dll exports only 1.1: the
// rest comes from the context's driver, asked for while the context is current.
struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC glGenFramebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC glDeleteFramebuffers;
    PFNGLBINDFRAMEBUFFERPROC glBindFramebuffer;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC glFramebufferRenderbuffer;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC glCheckFramebufferStatus;
    PFNGLBLITFRAMEBUFFERPROC glBlitFramebuffer;
    PFNGLGENRENDERBUFFERSPROC glGenRenderbuffers;
    PFNGLDELETERENDERBUFFERSPROC glDeleteRenderbuffers;
    PFNGLBINDRENDERBUFFERPROC glBindRenderbuffer;
    PFNGLRENDERBUFFERSTORAGEPROC glRenderbufferStorage;
};
FramebufferCalls g_calls;

#ifdef _WIN32
template <typename Pointer>
bool Resolve(Pointer& pointer, const char* name) {
    pointer = reinterpret_cast<Pointer>(reinterpret_cast<void*>(::wglGetProcAddress(name)));
    return pointer != nullptr;
}
#define QV_RESOLVE(name) Resolve(g_calls.name, #name)
#else
#define QV_RESOLVE(name) (g_calls.name = ::name, true)
#endif

// False when the current context's driver lacks framebuffer objects.
bool ResolveFramebufferCalls() {
    return QV_RESOLVE(glGenFramebuffers) && QV_RESOLVE(glDeleteFramebuffers) &&
           QV_RESOLVE(glBindFramebuffer) && QV_RESOLVE(glFramebufferRenderbuffer) &&
           QV_RESOLVE(glCheckFramebufferStatus) && QV_RESOLVE(glBlitFramebuffer) &&
           QV_RESOLVE(glGenRenderbuffers) && QV_RESOLVE(glDeleteRenderbuffers) &&
           QV_RESOLVE(glBindRenderbuffer) && QV_RESOLVE(glRenderbufferStorage);
}
#undef QV_RESOLVE

struct Surface {
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;
    int32_t width = 0, height = 0;
};
Surface g_surface;

// The player's pixel format: 8 bits per colour with no alpha channel (the window's 32 bits
// hold a padding byte), 16 depth bits, no stencil.
void AllocateStorage(int32_t width, int32_t height) {
    GLint bound = 0;
    ::glGetIntegerv(GL_RENDERBUFFER_BINDING, &bound);
    g_calls.glBindRenderbuffer(GL_RENDERBUFFER, g_surface.colour);
    g_calls.glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, width, height);
    g_calls.glBindRenderbuffer(GL_RENDERBUFFER, g_surface.depth);
    g_calls.glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, width, height);
    g_calls.glBindRenderbuffer(GL_RENDERBUFFER, GLuint(bound));
    g_surface.width = width;
    g_surface.height = height;
}

// Exactly the asked-for sizes: a driver may round a format up, which is the very difference
// the surface is there to remove.
bool HasPixelFormat() {
    GLint red = 0, green = 0, blue = 0, alpha = 0, depth = 0, stencil = 0;
    ::glGetIntegerv(GL_RED_BITS, &red);
    ::glGetIntegerv(GL_GREEN_BITS, &green);
    ::glGetIntegerv(GL_BLUE_BITS, &blue);
    ::glGetIntegerv(GL_ALPHA_BITS, &alpha);
    ::glGetIntegerv(GL_DEPTH_BITS, &depth);
    ::glGetIntegerv(GL_STENCIL_BITS, &stencil);
    return red == 8 && green == 8 && blue == 8 && alpha == 0 && depth == 16 && stencil == 0;
}

}  // namespace

bool OpenFrameSurface(int32_t width, int32_t height) {
    CloseFrameSurface();
    if (width <= 0 || height <= 0 || !ResolveFramebufferCalls()) return false;
    g_calls.glGenFramebuffers(1, &g_surface.framebuffer);
    g_calls.glGenRenderbuffers(1, &g_surface.colour);
    g_calls.glGenRenderbuffers(1, &g_surface.depth);
    AllocateStorage(width, height);
    g_calls.glBindFramebuffer(GL_FRAMEBUFFER, g_surface.framebuffer);
    g_calls.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                      g_surface.colour);
    g_calls.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                      g_surface.depth);
    const bool usable =
        g_calls.glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE &&
        HasPixelFormat() && ::glGetError() == GL_NO_ERROR;
    if (!usable) {
        CloseFrameSurface();
        return false;
    }
    // A new context takes its viewport and scissor box from the first surface it draws to;
    // without a window (headless) they would stay empty.
    ::glViewport(0, 0, width, height);
    ::glScissor(0, 0, width, height);
    return true;
}

void ResizeFrameSurface(int32_t width, int32_t height) {
    if (!g_surface.framebuffer || width <= 0 || height <= 0) return;
    if (width == g_surface.width && height == g_surface.height) return;
    AllocateStorage(width, height);
}

void CloseFrameSurface() {
    if (!g_surface.framebuffer) return;
    g_calls.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    g_calls.glDeleteFramebuffers(1, &g_surface.framebuffer);
    g_calls.glDeleteRenderbuffers(1, &g_surface.colour);
    g_calls.glDeleteRenderbuffers(1, &g_surface.depth);
    g_surface = Surface{};
}

void PresentFrameSurface() {
    if (!g_surface.framebuffer) return;
    // The copy obeys the scissor test, which a demo may have left on.
    const GLboolean scissor = ::glIsEnabled(GL_SCISSOR_TEST);
    ::glDisable(GL_SCISSOR_TEST);
    g_calls.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    const int32_t w = g_surface.width, h = g_surface.height;
    g_calls.glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    g_calls.glBindFramebuffer(GL_DRAW_FRAMEBUFFER, g_surface.framebuffer);
    if (scissor) ::glEnable(GL_SCISSOR_TEST);
}

}  // namespace gl
