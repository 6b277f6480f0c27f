// Private to the GL layer: the table of entry points one backend provides.
#pragma once
#include "gl/gl_layer.h"

namespace gl {

struct Backend {
// NOLINTNEXTLINE(bugprone-macro-parentheses): params is a parameter list
#define QGL_POINTER(name, params, args) void(*name) params;
    QGL_PLAIN_CALLS(QGL_POINTER)
#undef QGL_POINTER
    uint32_t (*glGenTexture)();
    void (*glDeleteTexture)(uint32_t name);
    void (*glLightfv)(uint32_t light, uint32_t pname, const float params[4]);
    void (*glTexImage2D)(uint32_t target, int32_t level, int32_t internalFormat, int32_t w,
                         int32_t h, int32_t border, uint32_t format, uint32_t type,
                         const void* pixels);
    void (*gluBuild2DMipmaps)(uint32_t target, int32_t internalFormat, int32_t w, int32_t h,
                              uint32_t format, uint32_t type, const void* pixels);
    void (*SwapBuffers)();
};

extern const Backend* g_backend;
const Backend& DriverBackend();
const Backend& RecorderBackend();
void SetDriverSwap(void (*swap)());
void SetRecorderOutput(std::string* out);
std::string* RecorderOutput();
bool DriverReadPixels(int32_t w, int32_t h, void* out);
// Copies the frame surface onto the window's back buffer (outside a glBegin block only).
void PresentFrameSurface();

// glBegin(mode) opens a block unless one is open or the mode is not a primitive (GL_POLYGON,
// 9, is the last): the driver refuses both.
constexpr uint32_t kLastPrimitive = 0x0009;
constexpr bool OpensBlock(bool inBlock, uint32_t mode) {
    return !inBlock && mode <= kLastPrimitive;
}

// Bytes OpenGL reads for a w x h image in format (GL_RGB or GL_RGBA, unsigned bytes) at the
// unpack alignment of 4 the player keeps: every row but the last padded to four bytes; 0 for
// bad sizes.
size_t PixelBytes(int32_t w, int32_t h, uint32_t format);

}  // namespace gl
