// The driver backend: forwards every call to the OpenGL and GLU of the current context.
// The layer's own names come first: the GL headers define the same enumerants as macros.
#include "gl/gl_backend.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace gl {
namespace {

void (*g_swap)() = nullptr;
bool g_inBlock = false;  // between a glBegin the driver accepted and its glEnd

#define QGL_FORWARD(name, params, args) \
    void Drv_##name params { ::name args; }
QGL_PLAIN_CALLS(QGL_FORWARD)
#undef QGL_FORWARD

void Drv_glBeginBlock(uint32_t mode) {
    if (OpensBlock(g_inBlock, mode)) g_inBlock = true;
    ::glBegin(mode);
}
void Drv_glEndBlock() {
    g_inBlock = false;
    ::glEnd();
}

uint32_t Drv_glGenTexture() {
    GLuint name = 0;
    ::glGenTextures(1, &name);
    return name;
}
void Drv_glDeleteTexture(uint32_t name) {
    GLuint n = name;
    ::glDeleteTextures(1, &n);
}
void Drv_glLightfv(uint32_t light, uint32_t pname, const float p[4]) {
    ::glLightfv(light, pname, p);
}
void Drv_glTexImage2D(uint32_t target, int32_t level, int32_t internalFormat, int32_t w, int32_t h,
                      int32_t border, uint32_t format, uint32_t type, const void* pixels) {
    ::glTexImage2D(target, level, internalFormat, w, h, border, format, type, pixels);
}
void Drv_gluBuild2DMipmaps(uint32_t target, int32_t internalFormat, int32_t w, int32_t h,
                           uint32_t format, uint32_t type, const void* pixels) {
    ::gluBuild2DMipmaps(target, internalFormat, w, h, format, type, pixels);
}
void Drv_SwapBuffers() {
    if (!g_swap) ::glFinish();
    else if (!g_inBlock) {
        PresentFrameSurface();
        g_swap();
    }
}

Backend MakeDriver() {
    Backend b = {
// clang-format off
#define QGL_ENTRY(name, params, args) Drv_##name,
        QGL_PLAIN_CALLS(QGL_ENTRY)
#undef QGL_ENTRY
        Drv_glGenTexture, Drv_glDeleteTexture, Drv_glLightfv, Drv_glTexImage2D,
        Drv_gluBuild2DMipmaps, Drv_SwapBuffers,
        // clang-format on
    };
    b.glBegin = Drv_glBeginBlock;
    b.glEnd = Drv_glEndBlock;
    return b;
}

const Backend kDriver = MakeDriver();

}  // namespace

const Backend& DriverBackend() { return kDriver; }
void SetDriverSwap(void (*swap)()) {
    g_swap = swap;
    g_inBlock = false;  // a new context
}

bool DriverReadPixels(int32_t w, int32_t h, void* out) {
    // An error still pending comes from the frame's drawing (a script popping an empty matrix
    // stack, say): the player draws on past those, so only an error raised by the read-back
    // itself counts. The loop is bounded: a lost context reports its error on every call.
    constexpr int kMostPendingErrors = 64;
    for (int i = 0; i < kMostPendingErrors && ::glGetError() != GL_NO_ERROR; ++i) {}
    ::glPixelStorei(GL_PACK_ALIGNMENT, 1);
    ::glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, out);
    return ::glGetError() == GL_NO_ERROR;
}

}  // namespace gl
