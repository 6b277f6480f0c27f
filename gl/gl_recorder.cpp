// The recording backend: one line per call in the trace format, e.g. "glBegin(7)",
// "glColor3f(1, 0.5, 0)", "gluBuild2DMipmaps(3553, 6408, 512, 512, 6408, 5121, sha256:...)".
#include <array>
#include <cstdio>

#include "core/sha256.h"
#include "gl/gl_backend.h"

namespace gl {
namespace {

std::string* g_out = nullptr;
uint32_t g_nextTextureName = 1;

// Formats one argument from its C type: integers in decimal, GLfloat as %.9g, GLdouble %.17g.
void FormatArg(std::string& s, int32_t v) { s += std::to_string(v); }
void FormatArg(std::string& s, uint32_t v) { s += std::to_string(v); }
void FormatArg(std::string& s, float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", double(v));
    s += buf;
}
void FormatArg(std::string& s, double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    s += buf;
}
void FormatArg(std::string& s, const std::string& literal) { s += literal; }

template <typename... Args>
void Record(const char* name, Args... args) {
    if (!g_out) return;
    std::string line = name;
    line += '(';
    bool first = true;
    ((line += first ? "" : ", ", first = false, FormatArg(line, args)), ...);
    line += ")\n";
    g_out->append(line);
}

std::string PixelDigest(const void* pixels, size_t size) {
    if (!pixels) return "null";
    const std::array<uint8_t, 32> md = core::Sha256(pixels, size);
    static const char kHex[] = "0123456789abcdef";
    std::string s = "sha256:";
    for (int i = 0; i < 8; ++i) {
        s += kHex[md[i] >> 4];
        s += kHex[md[i] & 15];
    }
    return s;
}

#define QGL_RECORD(name, params, args) \
    void Rec_##name params { Record(#name QGL_COMMA_ARGS args); }
#define QGL_COMMA_ARGS(...) __VA_OPT__(, ) __VA_ARGS__
QGL_PLAIN_CALLS(QGL_RECORD)
#undef QGL_RECORD

uint32_t Rec_glGenTexture() {
    uint32_t name = g_nextTextureName++;
    if (g_out) g_out->append("glGenTextures(1) -> " + std::to_string(name) + "\n");
    return name;
}
void Rec_glDeleteTexture(uint32_t name) {
    Record("glDeleteTextures", int32_t(1), "[" + std::to_string(name) + "]");
}
void Rec_glLightfv(uint32_t light, uint32_t pname, const float p[4]) {
    std::string array = "[";
    for (int i = 0; i < 4; ++i) {
        if (i) array += ", ";
        FormatArg(array, p[i]);
    }
    array += "]";
    Record("glLightfv", light, pname, array);
}
void Rec_glTexImage2D(uint32_t target, int32_t level, int32_t internalFormat, int32_t w, int32_t h,
                      int32_t border, uint32_t format, uint32_t type, const void* pixels) {
    Record("glTexImage2D", target, level, internalFormat, w, h, border, format, type,
           PixelDigest(pixels, PixelBytes(w, h, format)));
}
void Rec_gluBuild2DMipmaps(uint32_t target, int32_t internalFormat, int32_t w, int32_t h,
                           uint32_t format, uint32_t type, const void* pixels) {
    Record("gluBuild2DMipmaps", target, internalFormat, w, h, format, type,
           PixelDigest(pixels, PixelBytes(w, h, format)));
}
void Rec_SwapBuffers() { Record("SwapBuffers"); }

const Backend kRecorder = {
// clang-format off
#define QGL_ENTRY(name, params, args) Rec_##name,
    QGL_PLAIN_CALLS(QGL_ENTRY)
#undef QGL_ENTRY
    Rec_glGenTexture, Rec_glDeleteTexture, Rec_glLightfv, Rec_glTexImage2D,
    Rec_gluBuild2DMipmaps, Rec_SwapBuffers,
    // clang-format on
};

}  // namespace

const Backend& RecorderBackend() { return kRecorder; }
void SetRecorderOutput(std::string* out) {
    g_out = out;
    g_nextTextureName = 1;
}
std::string* RecorderOutput() { return g_out; }

}  // namespace gl
