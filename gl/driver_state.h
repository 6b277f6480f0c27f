// The OpenGL state a demo can reach through the GL layer, read back from the driver between
// two frames and put back on another context: what a run needs to go on from a checkpoint on
// a fresh context as if it had run there. Matrices and pixels are read back, not recomputed,
// so that they are bit for bit the driver's own. Driver only; never inside a glBegin block.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace gl {

struct MatrixStack {
    uint32_t mode = 0;                         // GL_MODELVIEW, GL_PROJECTION or GL_TEXTURE
    std::vector<std::array<float, 16>> items;  // bottom first; the last is the current matrix
};

struct LightState {
    std::array<float, 4> ambient{}, diffuse{}, specular{}, position{};  // position in eye space
    std::array<float, 3> spotDirection{};                               // eye space
    float spotExponent = 0, spotCutoff = 0;
    float constantAttenuation = 0, linearAttenuation = 0, quadraticAttenuation = 0;
};

struct MaterialState {
    std::array<float, 4> ambient{}, diffuse{}, specular{}, emission{};
    float shininess = 0;
};

// A texture whose pixels a copy wrote (a render target, the blur texture).
struct TextureImage {
    uint32_t name = 0;
    int32_t width = 0, height = 0;
    int32_t internalFormat = 0;
    int32_t minFilter = 0, magFilter = 0, wrapS = 0, wrapT = 0;
    std::vector<uint8_t> rgba;  // width * height * 4 bytes, bottom row first
};

struct DriverState {
    std::vector<std::pair<uint32_t, bool>> capabilities;  // capability, enabled
    std::array<LightState, 8> lights{};
    std::array<MaterialState, 2> materials{};  // front, back
    std::array<float, 4> currentColor{}, currentTexCoord{};
    std::array<float, 3> currentNormal{};
    std::array<float, 4> clearColor{};
    double clearDepth = 1;
    std::array<int32_t, 4> viewport{};
    int32_t blendSrc = 0, blendDst = 0, depthFunc = 0, shadeModel = 0;
    int32_t perspectiveHint = 0, texEnvMode = 0;
    float lineWidth = 1;
    int32_t matrixMode = 0;
    std::array<MatrixStack, 3> stacks;  // model-view, projection, texture
    uint32_t boundTexture = 0;
    std::vector<TextureImage> textures;
};

// Reads the state back: the fixed-function capabilities of OpenGL 1.1 and those in
// extraCapabilities, and the images of the textures in copiedTextures. The matrix stacks are
// read by popping and pushed back as they were. False when the driver reports an error (a
// context inside a glBegin block, say): the state is then incomplete.
bool CaptureDriverState(std::span<const uint32_t> extraCapabilities,
                        std::span<const uint32_t> copiedTextures, DriverState& out);

// Puts the state back on the current context, which holds the same texture names (the same
// start-up ran on it). On a context that ran on past the capture, namedSince lists the
// capabilities scripts named since: a capability the state does not hold was never touched
// before the capture, so it goes back to OpenGL's default, off (the capabilities that start
// on are all in the fixed list). The skipper learns the bound texture and that no block is
// open.
void RestoreDriverState(const DriverState& state, std::span<const uint32_t> namedSince = {});

// The images of textures alone, read back and put back, the texture binding left as it was:
// a workbench keeps what start-up left in the textures copies write, to put them back when it
// runs the demo from the start again on the same context.
bool CaptureTextures(std::span<const uint32_t> names, std::vector<TextureImage>& out);
void RestoreTextures(std::span<const TextureImage> images);

}  // namespace gl
