// Dispatch of every gl:: call to the active backend (the recorder until a driver is chosen,
// so that nothing can reach OpenGL without a context).
#include "gl/gl_backend.h"

namespace gl {

const Backend* g_backend = &RecorderBackend();

#define QGL_DISPATCH(name, params, args) \
    void name params { g_backend->name args; }
QGL_PLAIN_CALLS(QGL_DISPATCH)
#undef QGL_DISPATCH

uint32_t glGenTexture() { return g_backend->glGenTexture(); }
void glDeleteTexture(uint32_t name) { g_backend->glDeleteTexture(name); }
void glLightfv(uint32_t light, uint32_t pname, const float params[4]) {
    g_backend->glLightfv(light, pname, params);
}
void glTexImage2D(uint32_t target, int32_t level, int32_t internalFormat, int32_t w, int32_t h,
                  int32_t border, uint32_t format, uint32_t type, const void* pixels) {
    g_backend->glTexImage2D(target, level, internalFormat, w, h, border, format, type, pixels);
}
void gluBuild2DMipmaps(uint32_t target, int32_t internalFormat, int32_t w, int32_t h,
                       uint32_t format, uint32_t type, const void* pixels) {
    g_backend->gluBuild2DMipmaps(target, internalFormat, w, h, format, type, pixels);
}
void SwapBuffers() { g_backend->SwapBuffers(); }

void UseDriver(void (*swap)()) {
    SetDriverSwap(swap);
    g_backend = &DriverBackend();
}

void UseRecorder(std::string* out) {
    SetRecorderOutput(out);
    g_backend = &RecorderBackend();
}

bool IsRecording() { return g_backend == &RecorderBackend(); }

void RecordLine(const std::string& line) {
    std::string* out = RecorderOutput();
    if (IsRecording() && out) {
        out->append(line);
        out->push_back('\n');
    }
}

bool ReadPixelsRGBA(int32_t w, int32_t h, void* out) {
    return !IsRecording() && DriverReadPixels(w, h, out);
}

size_t PixelBytes(int32_t w, int32_t h, uint32_t format) {
    if (w <= 0 || h <= 0) return 0;
    const size_t rowBytes = size_t(w) * (format == GL_RGBA ? 4 : 3);
    return (rowBytes + 3) / 4 * 4 * (size_t(h) - 1) + rowBytes;
}

}  // namespace gl
