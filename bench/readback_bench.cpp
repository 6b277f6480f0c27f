// Whether reading a frame back through a pixel buffer object overlaps anything on this
// machine's OpenGL: the same frames (60 blended full-screen quads at 800x600), each followed
// by some work of the CPU's own, read back with plain glReadPixels, then with glReadPixels
// into one of two pixel buffers mapped one frame later. Prints the time per frame of both
// and where the pipelined read-back spends it. On Mesa's llvmpipe the read into the buffer
// waits for the frame in the call itself, so the two take the same time.
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/headless.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 800, kHeight = 600, kFrames = 60;

double Ms(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

void DrawFrame(int frame) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (int k = 0; k < 60; ++k) {
        glBegin(GL_QUADS);
        glColor4f(float(k) / 60, 0.5f, float(frame % 7) / 7, 0.3f);
        glVertex2f(-1, -1);
        glVertex2f(1, -1);
        glVertex2f(1, 1);
        glVertex2f(-1, 1);
        glEnd();
    }
}

// What an export does between frames (converting, the next frame's scripts).
void CpuWork() {
    volatile double x = 0;
    for (int i = 0; i < 3000000; ++i) x = x + i * 0.5;
}

}  // namespace

int main() {
    std::string error;
    if (!platform::OpenHeadlessContext(kWidth, kHeight, error)) {
        std::fprintf(stderr, "readback_bench: no headless OpenGL: %s\n", error.c_str());
        return 1;
    }
    std::vector<unsigned char> pixels(size_t(kWidth) * kHeight * 4);
    const Clock::time_point plainStart = Clock::now();
    for (int f = 0; f < kFrames; ++f) {
        DrawFrame(f);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        CpuWork();
    }
    const Clock::time_point plainEnd = Clock::now();

    GLuint buffers[2];
    glGenBuffers(2, buffers);
    for (GLuint b : buffers) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, b);
        glBufferData(GL_PIXEL_PACK_BUFFER, GLsizeiptr(pixels.size()), nullptr, GL_STREAM_READ);
    }
    double inRead = 0, inMap = 0;
    const Clock::time_point pipelinedStart = Clock::now();
    for (int f = 0; f <= kFrames; ++f) {
        if (f < kFrames) {
            DrawFrame(f);
            glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers[f % 2]);
            const Clock::time_point read = Clock::now();
            glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
            inRead += Ms(read, Clock::now());
        }
        if (f > 0) {
            glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers[(f - 1) % 2]);
            const Clock::time_point map = Clock::now();
            const auto* mapped =
                static_cast<const unsigned char*>(glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY));
            inMap += Ms(map, Clock::now());
            if (mapped) std::copy(mapped, mapped + pixels.size(), pixels.begin());
            glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
        }
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        CpuWork();
    }
    const Clock::time_point pipelinedEnd = Clock::now();
    glDeleteBuffers(2, buffers);
    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    platform::CloseHeadlessContext();
    std::printf("glReadPixels:           %.1f ms per frame\n", Ms(plainStart, plainEnd) / kFrames);
    std::printf(
        "pixel buffers, 1 later: %.1f ms per frame (%.1f ms in glReadPixels, %.1f ms "
        "in glMapBuffer)\n",
        Ms(pipelinedStart, pipelinedEnd) / kFrames, inRead / kFrames, inMap / kFrames);
    return 0;
}
