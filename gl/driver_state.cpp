// Reads with glGet* and writes with the matching set calls; the GL headers' macros come after
// the layer's own header, as in the driver backend.
#include "gl/driver_state.h"

#include "gl/gl_layer.h"

#include <GL/gl.h>
#include <GL/glext.h>  // the capabilities after 1.1 (Windows' gl.h stops there)

#include <algorithm>

namespace gl {
namespace {

// The capabilities of OpenGL 1.1 with glEnable, and the later ones a compatibility context
// offers that change what fixed-function drawing gives. A capability a script names beyond
// these is read as well (extraCapabilities).
constexpr uint32_t kCapabilities[] = {
    GL_ALPHA_TEST,
    GL_AUTO_NORMAL,
    GL_BLEND,
    GL_CLIP_PLANE0,
    GL_CLIP_PLANE1,
    GL_CLIP_PLANE2,
    GL_CLIP_PLANE3,
    GL_CLIP_PLANE4,
    GL_CLIP_PLANE5,
    GL_COLOR_LOGIC_OP,
    GL_COLOR_MATERIAL,
    GL_CULL_FACE,
    GL_DEPTH_TEST,
    GL_DITHER,
    GL_FOG,
    GL_LIGHT0,
    GL_LIGHT1,
    GL_LIGHT2,
    GL_LIGHT3,
    GL_LIGHT4,
    GL_LIGHT5,
    GL_LIGHT6,
    GL_LIGHT7,
    GL_LIGHTING,
    GL_LINE_SMOOTH,
    GL_LINE_STIPPLE,
    GL_NORMALIZE,
    GL_POINT_SMOOTH,
    GL_POLYGON_OFFSET_FILL,
    GL_POLYGON_OFFSET_LINE,
    GL_POLYGON_OFFSET_POINT,
    GL_POLYGON_SMOOTH,
    GL_POLYGON_STIPPLE,
    GL_SCISSOR_TEST,
    GL_STENCIL_TEST,
    GL_TEXTURE_1D,
    GL_TEXTURE_2D,
    GL_TEXTURE_GEN_Q,
    GL_TEXTURE_GEN_R,
    GL_TEXTURE_GEN_S,
    GL_TEXTURE_GEN_T,
    GL_MULTISAMPLE,
    GL_RESCALE_NORMAL,
    GL_TEXTURE_3D,
    GL_TEXTURE_CUBE_MAP,
    GL_SAMPLE_ALPHA_TO_COVERAGE,
    GL_SAMPLE_ALPHA_TO_ONE,
    GL_SAMPLE_COVERAGE,
};

constexpr uint32_t kStackModes[3] = {GL_MODELVIEW, GL_PROJECTION, GL_TEXTURE};
constexpr uint32_t kStackDepths[3] = {GL_MODELVIEW_STACK_DEPTH, GL_PROJECTION_STACK_DEPTH,
                                      GL_TEXTURE_STACK_DEPTH};
constexpr uint32_t kStackMatrices[3] = {GL_MODELVIEW_MATRIX, GL_PROJECTION_MATRIX,
                                        GL_TEXTURE_MATRIX};

// Inside a glBegin block every query is refused and glGetError itself answers no error; a
// refused query leaves its output as it was, which tells.
bool InsideBlock() {
    GLint mode = -1;
    ::glGetIntegerv(GL_MATRIX_MODE, &mode);
    return mode == -1;
}

// Errors the frame left pending (a script popping an empty stack) are not the capture's.
void ClearErrors() {
    constexpr int kMostPendingErrors = 64;  // a lost context reports one on every call
    for (int i = 0; i < kMostPendingErrors && ::glGetError() != GL_NO_ERROR; ++i) {}
}

void CaptureCapability(uint32_t cap, DriverState& out) {
    if (std::any_of(out.capabilities.begin(), out.capabilities.end(),
                    [cap](const auto& c) { return c.first == cap; }))
        return;
    const bool enabled = ::glIsEnabled(cap) == GL_TRUE;
    if (::glGetError() != GL_NO_ERROR) return;  // not a capability this driver knows
    out.capabilities.emplace_back(cap, enabled);
}

void CaptureLight(uint32_t light, LightState& l) {
    ::glGetLightfv(light, GL_AMBIENT, l.ambient.data());
    ::glGetLightfv(light, GL_DIFFUSE, l.diffuse.data());
    ::glGetLightfv(light, GL_SPECULAR, l.specular.data());
    ::glGetLightfv(light, GL_POSITION, l.position.data());
    ::glGetLightfv(light, GL_SPOT_DIRECTION, l.spotDirection.data());
    ::glGetLightfv(light, GL_SPOT_EXPONENT, &l.spotExponent);
    ::glGetLightfv(light, GL_SPOT_CUTOFF, &l.spotCutoff);
    ::glGetLightfv(light, GL_CONSTANT_ATTENUATION, &l.constantAttenuation);
    ::glGetLightfv(light, GL_LINEAR_ATTENUATION, &l.linearAttenuation);
    ::glGetLightfv(light, GL_QUADRATIC_ATTENUATION, &l.quadraticAttenuation);
}

void RestoreLight(uint32_t light, const LightState& l) {
    ::glLightfv(light, GL_AMBIENT, l.ambient.data());
    ::glLightfv(light, GL_DIFFUSE, l.diffuse.data());
    ::glLightfv(light, GL_SPECULAR, l.specular.data());
    ::glLightfv(light, GL_POSITION, l.position.data());  // under an identity model-view
    ::glLightfv(light, GL_SPOT_DIRECTION, l.spotDirection.data());
    ::glLightf(light, GL_SPOT_EXPONENT, l.spotExponent);
    ::glLightf(light, GL_SPOT_CUTOFF, l.spotCutoff);
    ::glLightf(light, GL_CONSTANT_ATTENUATION, l.constantAttenuation);
    ::glLightf(light, GL_LINEAR_ATTENUATION, l.linearAttenuation);
    ::glLightf(light, GL_QUADRATIC_ATTENUATION, l.quadraticAttenuation);
}

void CaptureMaterial(uint32_t face, MaterialState& m) {
    ::glGetMaterialfv(face, GL_AMBIENT, m.ambient.data());
    ::glGetMaterialfv(face, GL_DIFFUSE, m.diffuse.data());
    ::glGetMaterialfv(face, GL_SPECULAR, m.specular.data());
    ::glGetMaterialfv(face, GL_EMISSION, m.emission.data());
    ::glGetMaterialfv(face, GL_SHININESS, &m.shininess);
}

void RestoreMaterial(uint32_t face, const MaterialState& m) {
    ::glMaterialfv(face, GL_AMBIENT, m.ambient.data());
    ::glMaterialfv(face, GL_DIFFUSE, m.diffuse.data());
    ::glMaterialfv(face, GL_SPECULAR, m.specular.data());
    ::glMaterialfv(face, GL_EMISSION, m.emission.data());
    ::glMaterialf(face, GL_SHININESS, m.shininess);
}

// Every matrix of the stack, bottom first: read the top, pop, and so on down; then pushed
// back and loaded as they were, which gives the same bits.
void CaptureStack(int i, MatrixStack& stack) {
    stack.mode = kStackModes[i];
    ::glMatrixMode(stack.mode);
    GLint depth = 1;
    ::glGetIntegerv(kStackDepths[i], &depth);
    stack.items.assign(size_t(std::max(depth, 1)), {});
    for (size_t k = stack.items.size(); k-- > 0;) {
        ::glGetFloatv(kStackMatrices[i], stack.items[k].data());
        if (k > 0) ::glPopMatrix();
    }
    for (size_t k = 1; k < stack.items.size(); ++k) {
        ::glPushMatrix();
        ::glLoadMatrixf(stack.items[k].data());
    }
}

void RestoreStack(int i, const MatrixStack& stack) {
    ::glMatrixMode(kStackModes[i]);
    GLint depth = 1;
    ::glGetIntegerv(kStackDepths[i], &depth);
    for (; depth > 1; --depth) ::glPopMatrix();
    if (stack.items.empty()) return;
    ::glLoadMatrixf(stack.items[0].data());
    for (size_t k = 1; k < stack.items.size(); ++k) {
        ::glPushMatrix();
        ::glLoadMatrixf(stack.items[k].data());
    }
}

bool CaptureTexture(uint32_t name, TextureImage& image) {
    image.name = name;
    ::glBindTexture(GL_TEXTURE_2D, name);
    ::glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &image.width);
    ::glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &image.height);
    ::glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &image.internalFormat);
    ::glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &image.minFilter);
    ::glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &image.magFilter);
    ::glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &image.wrapS);
    ::glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &image.wrapT);
    if (image.width <= 0 || image.height <= 0) return true;  // no image: nothing to keep
    image.rgba.resize(size_t(image.width) * size_t(image.height) * 4);
    // RGBA rows are whole words: the pack alignment the engine keeps reads them unpadded.
    ::glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
    return ::glGetError() == GL_NO_ERROR;
}

void RestoreTexture(const TextureImage& image) {
    ::glBindTexture(GL_TEXTURE_2D, image.name);
    if (!image.rgba.empty()) {
        ::glTexImage2D(GL_TEXTURE_2D, 0, image.internalFormat, image.width, image.height, 0,
                       GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
    }
    ::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, image.minFilter);
    ::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, image.magFilter);
    ::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, image.wrapS);
    ::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, image.wrapT);
}

}  // namespace

bool CaptureDriverState(std::span<const uint32_t> extraCapabilities,
                        std::span<const uint32_t> copiedTextures, DriverState& out) {
    out = DriverState{};
    if (InsideBlock()) return false;
    ClearErrors();
    for (uint32_t cap : kCapabilities) CaptureCapability(cap, out);
    for (uint32_t cap : extraCapabilities) CaptureCapability(cap, out);
    for (uint32_t i = 0; i < out.lights.size(); ++i) CaptureLight(GL_LIGHT0 + i, out.lights[i]);
    CaptureMaterial(GL_FRONT, out.materials[0]);
    CaptureMaterial(GL_BACK, out.materials[1]);
    ::glGetFloatv(GL_CURRENT_COLOR, out.currentColor.data());
    ::glGetFloatv(GL_CURRENT_TEXTURE_COORDS, out.currentTexCoord.data());
    ::glGetFloatv(GL_CURRENT_NORMAL, out.currentNormal.data());
    ::glGetFloatv(GL_COLOR_CLEAR_VALUE, out.clearColor.data());
    ::glGetDoublev(GL_DEPTH_CLEAR_VALUE, &out.clearDepth);
    ::glGetIntegerv(GL_VIEWPORT, out.viewport.data());
    ::glGetIntegerv(GL_BLEND_SRC, &out.blendSrc);
    ::glGetIntegerv(GL_BLEND_DST, &out.blendDst);
    ::glGetIntegerv(GL_DEPTH_FUNC, &out.depthFunc);
    ::glGetIntegerv(GL_SHADE_MODEL, &out.shadeModel);
    ::glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &out.perspectiveHint);
    ::glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &out.texEnvMode);
    ::glGetFloatv(GL_LINE_WIDTH, &out.lineWidth);
    ::glGetIntegerv(GL_MATRIX_MODE, &out.matrixMode);
    GLint bound = 0;
    ::glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    out.boundTexture = uint32_t(bound);
    bool ok = ::glGetError() == GL_NO_ERROR;
    for (int i = 0; i < 3; ++i) CaptureStack(i, out.stacks[size_t(i)]);
    ::glMatrixMode(uint32_t(out.matrixMode));
    for (uint32_t name : copiedTextures) {
        out.textures.emplace_back();
        ok = CaptureTexture(name, out.textures.back()) && ok;
    }
    ::glBindTexture(GL_TEXTURE_2D, out.boundTexture);
    return ok && ::glGetError() == GL_NO_ERROR;
}

void RestoreDriverState(const DriverState& s, std::span<const uint32_t> namedSince) {
    ClearErrors();
    for (const TextureImage& image : s.textures) RestoreTexture(image);
    ::glBindTexture(GL_TEXTURE_2D, s.boundTexture);
    // The material follows the current colour while colour material is on: set both with it
    // off, then the capabilities as they were.
    ::glDisable(GL_COLOR_MATERIAL);
    RestoreMaterial(GL_FRONT, s.materials[0]);
    RestoreMaterial(GL_BACK, s.materials[1]);
    ::glColor4fv(s.currentColor.data());
    ::glTexCoord4fv(s.currentTexCoord.data());
    ::glNormal3fv(s.currentNormal.data());
    // Light positions and directions were read in eye space: put back under the identity (the
    // stacks are loaded afterwards).
    ::glMatrixMode(GL_MODELVIEW);
    ::glLoadIdentity();
    for (uint32_t i = 0; i < s.lights.size(); ++i) RestoreLight(GL_LIGHT0 + i, s.lights[i]);
    for (uint32_t cap : namedSince) ::glDisable(cap);
    for (const auto& [cap, enabled] : s.capabilities) {
        if (enabled) ::glEnable(cap);
        else ::glDisable(cap);
    }
    ::glClearColor(s.clearColor[0], s.clearColor[1], s.clearColor[2], s.clearColor[3]);
    ::glClearDepth(s.clearDepth);
    ::glViewport(s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]);
    ::glBlendFunc(uint32_t(s.blendSrc), uint32_t(s.blendDst));
    ::glDepthFunc(uint32_t(s.depthFunc));
    ::glShadeModel(uint32_t(s.shadeModel));
    ::glHint(GL_PERSPECTIVE_CORRECTION_HINT, uint32_t(s.perspectiveHint));
    ::glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, s.texEnvMode);
    ::glLineWidth(s.lineWidth);
    for (int i = 0; i < 3; ++i) RestoreStack(i, s.stacks[size_t(i)]);
    ::glMatrixMode(uint32_t(s.matrixMode));
    SkipperRestored(s.boundTexture);
}

namespace {

uint32_t BoundTexture() {
    GLint bound = 0;
    ::glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    return uint32_t(bound);
}

}  // namespace

bool CaptureTextures(std::span<const uint32_t> names, std::vector<TextureImage>& out) {
    const uint32_t bound = BoundTexture();
    bool ok = true;
    out.clear();
    for (uint32_t name : names) {
        out.emplace_back();
        ok = CaptureTexture(name, out.back()) && ok;
    }
    ::glBindTexture(GL_TEXTURE_2D, bound);
    return ok;
}

void RestoreTextures(std::span<const TextureImage> images) {
    const uint32_t bound = BoundTexture();
    for (const TextureImage& image : images) RestoreTexture(image);
    ::glBindTexture(GL_TEXTURE_2D, bound);
}

}  // namespace gl
