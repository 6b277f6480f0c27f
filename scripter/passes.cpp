#include "scripter/passes.h"

#include <vector>

#include "gl/gl_layer.h"

namespace passes {
namespace {

struct State {
    int32_t width = 800, height = 600;
    uint32_t blurTexture = 0;
} g;

// Clears the whole back buffer: a clear ignores the viewport, so a pass erases what the
// frame drew before it.
void ClearAll() {
    qgl::glClearColor(0, 0, 0, 0);
    qgl::glClear(qgl::GL_COLOR_BUFFER_BIT | qgl::GL_DEPTH_BUFFER_BIT);
}

void CloseLevel() {
    ClearAll();
    qgl::glLoadIdentity();
    qgl::glPopMatrix();
}

void CopyCornerInto(uint32_t name, int32_t size) {
    qgl::glBindTexture(qgl::GL_TEXTURE_2D, name);
    qgl::glCopyTexImage2D(qgl::GL_TEXTURE_2D, 0, qgl::GL_RGB, 0, 0, size, size, 0);
}

}  // namespace

void SetWindowSize(int32_t width, int32_t height) {
    g.width = width;
    g.height = height;
}

void CreateBlurTexture() {
    g.blurTexture = qgl::glGenTexture();
    qgl::glBindTexture(qgl::GL_TEXTURE_2D, g.blurTexture);
    // Its texels are replaced by the first blur pass; zeros keep the upload deterministic.
    std::vector<uint8_t> texels(kBlurSize * kBlurSize * 3, 0);
    qgl::glTexImage2D(qgl::GL_TEXTURE_2D, 0, 3, kBlurSize, kBlurSize, 0, qgl::GL_RGB,
                      qgl::GL_UNSIGNED_BYTE, texels.data());
    qgl::glTexParameteri(qgl::GL_TEXTURE_2D, qgl::GL_TEXTURE_MAG_FILTER, qgl::GL_LINEAR);
    qgl::glTexParameteri(qgl::GL_TEXTURE_2D, qgl::GL_TEXTURE_MIN_FILTER, qgl::GL_LINEAR);
}

uint32_t BlurTexture() { return g.blurTexture; }

void BeginTargetPass(int32_t& depth) {
    depth += 1;
    qgl::glPushMatrix();
    ClearAll();
    qgl::glViewport(0, 0, kTargetSize, kTargetSize);
}

void EndTargetPass(int32_t& depth, bool hasEntry, uint32_t entryName) {
    if (depth == 0) {
        qgl::glViewport(0, 0, g.width, g.height);
        CloseLevel();
        return;
    }
    if (hasEntry) CopyCornerInto(entryName, kTargetSize);
    depth -= 1;
    if (depth <= 0) qgl::glViewport(0, 0, g.width, g.height);
    CloseLevel();
}

void BeginBlurPass() {
    qgl::glPushMatrix();
    ClearAll();
    qgl::glViewport(0, 0, kBlurSize, kBlurSize);
}

void EndBlurPass(int32_t depth) {
    CopyCornerInto(g.blurTexture, kBlurSize);
    if (depth > 0) qgl::glViewport(0, 0, kTargetSize, kTargetSize);
    else qgl::glViewport(0, 0, g.width, g.height);
    CloseLevel();
}

void DrawBlurOverlay() {
    const float w = 4.0f / 3.0f;  // 1.3333334: a 4:3 screen at the default camera distance
    qgl::glBindTexture(qgl::GL_TEXTURE_2D, g.blurTexture);
    qgl::glBegin(qgl::GL_QUADS);
    qgl::glTexCoord2f(0, 0);
    qgl::glVertex3f(-w, -1, 0);
    qgl::glTexCoord2f(1, 0);
    qgl::glVertex3f(w, -1, 0);
    qgl::glTexCoord2f(1, 1);
    qgl::glVertex3f(w, 1, 0);
    qgl::glTexCoord2f(0, 1);
    qgl::glVertex3f(-w, 1, 0);
    qgl::glEnd();
}

}  // namespace passes
