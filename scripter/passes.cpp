#include "scripter/passes.h"

#include <algorithm>
#include <vector>

#include "gl/gl_layer.h"

namespace scripter::passes {
namespace {

PassState g_state;

// Clears the whole back buffer: a clear ignores the viewport, so a pass erases what the
// frame drew before it.
void ClearAll() {
    gl::glClearColor(0, 0, 0, 0);
    gl::glClear(gl::GL_COLOR_BUFFER_BIT | gl::GL_DEPTH_BUFFER_BIT);
}

void CloseLevel() {
    ClearAll();
    gl::glLoadIdentity();
    gl::glPopMatrix();
}

void CopyCornerInto(uint32_t name, int32_t size) {
    if (std::find(g_state.written.begin(), g_state.written.end(), name) == g_state.written.end())
        g_state.written.push_back(name);
    gl::glBindTexture(gl::GL_TEXTURE_2D, name);
    gl::glCopyTexImage2D(gl::GL_TEXTURE_2D, 0, gl::GL_RGB, 0, 0, size, size, 0);
}

}  // namespace

void SetWindowSize(int32_t width, int32_t height) {
    g_state.width = width;
    g_state.height = height;
}

void CreateBlurTexture() {
    g_state.blurTexture = gl::glGenTexture();
    gl::glBindTexture(gl::GL_TEXTURE_2D, g_state.blurTexture);
    // Its texels are replaced by the first blur pass; zeros keep the upload deterministic.
    std::vector<uint8_t> texels(kBlurSize * kBlurSize * 3, 0);
    gl::glTexImage2D(gl::GL_TEXTURE_2D, 0, 3, kBlurSize, kBlurSize, 0, gl::GL_RGB,
                     gl::GL_UNSIGNED_BYTE, texels.data());
    gl::glTexParameteri(gl::GL_TEXTURE_2D, gl::GL_TEXTURE_MAG_FILTER, gl::GL_LINEAR);
    gl::glTexParameteri(gl::GL_TEXTURE_2D, gl::GL_TEXTURE_MIN_FILTER, gl::GL_LINEAR);
}

uint32_t BlurTexture() { return g_state.blurTexture; }

void ResetPasses() { g_state = PassState{}; }

const PassState& SavePasses() { return g_state; }
void RestorePasses(const PassState& state) { g_state = state; }

void BeginTargetPass(int32_t& depth) {
    depth += 1;
    gl::glPushMatrix();
    ClearAll();
    gl::glViewport(0, 0, kTargetSize, kTargetSize);
}

void EndTargetPass(int32_t& depth, bool hasEntry, uint32_t entryName) {
    if (depth == 0) {
        gl::glViewport(0, 0, g_state.width, g_state.height);
        CloseLevel();
        return;
    }
    if (hasEntry) CopyCornerInto(entryName, kTargetSize);
    depth -= 1;
    if (depth <= 0) gl::glViewport(0, 0, g_state.width, g_state.height);
    CloseLevel();
}

void BeginBlurPass() {
    gl::glPushMatrix();
    ClearAll();
    gl::glViewport(0, 0, kBlurSize, kBlurSize);
}

void EndBlurPass(int32_t depth) {
    CopyCornerInto(g_state.blurTexture, kBlurSize);
    if (depth > 0) gl::glViewport(0, 0, kTargetSize, kTargetSize);
    else gl::glViewport(0, 0, g_state.width, g_state.height);
    CloseLevel();
}

void DrawBlurOverlay() {
    const float w = 4.0f / 3.0f;  // 1.3333334: a 4:3 screen at the default camera distance
    gl::glBindTexture(gl::GL_TEXTURE_2D, g_state.blurTexture);
    gl::glBegin(gl::GL_QUADS);
    gl::glTexCoord2f(0, 0);
    gl::glVertex3f(-w, -1, 0);
    gl::glTexCoord2f(1, 0);
    gl::glVertex3f(w, -1, 0);
    gl::glTexCoord2f(1, 1);
    gl::glVertex3f(w, 1, 0);
    gl::glTexCoord2f(0, 1);
    gl::glVertex3f(-w, 1, 0);
    gl::glEnd();
}

}  // namespace scripter::passes
