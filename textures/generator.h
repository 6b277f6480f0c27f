// The procedural texture generator: eight 512 x 512 RGB working layers, the shared alpha mask,
// a scratch image, the program-wide random generator and the fourteen image operations.
// Pixel i = y * 512 + x, row 0 first (it becomes the bottom row of the texture); every
// coordinate wraps, so the layers are tori. Nothing here touches OpenGL.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "demo/texture_ops.h"

namespace textures {

inline constexpr int32_t kLayerSize = 512;  // width and height of every generated texture
inline constexpr int32_t kLayerCount = 8;
inline constexpr size_t kLayerPixels = size_t(kLayerSize) * kLayerSize;
inline constexpr size_t kLayerBytes = kLayerPixels * 3;   // red, green, blue per pixel
inline constexpr size_t kOutputBytes = kLayerPixels * 4;  // composed red, green, blue, alpha

// A Noise operation draws once per channel of every pixel.
inline constexpr uint64_t kNoiseDraws = kLayerBytes;

// Blur and SharpenBlend stop repeating once a pass leaves the layer unchanged (later passes
// could not change it either) and never run more passes than this, so a corrupt pass count
// cannot stall the start-up for hours.
inline constexpr int32_t kMaxFilterPasses = 1024;
// NestedSinePlasma stops feeding a phase through the sine once it is a fixed point, and never
// does so more often than this.
inline constexpr int32_t kMaxNestedSineDepth = 4096;

// The operations' opcodes, from the format's one table.
using demo::TexOpcode;
using enum demo::TexOpcode;

// The working images. One program-wide instance (Generator()) serves the player; the tools and
// tests may own further ones. layerUsed is false while a layer is known to be all black, so
// clearing and composing can skip it.
struct GeneratorState {
    alignas(64) uint8_t layers[kLayerCount][kLayerBytes];
    alignas(64) uint8_t mask[kLayerPixels];
    alignas(64) uint8_t temp[kLayerBytes];
    bool layerUsed[kLayerCount];
    uint32_t random;  // GenRandom's state: 0 at program start, never re-seeded
};

// The program-wide working images, reserved on first use and kept for the whole run.
GeneratorState& Generator();

// Working images of one's own (a worker thread, a tool, a test), cleared, random state 0. The
// block comes from zeroed pages that are only touched when an operation first uses them.
struct FreeGeneratorState {
    void operator()(GeneratorState* g) const;
};
using GeneratorStatePtr = std::unique_ptr<GeneratorState, FreeGeneratorState>;
GeneratorStatePtr NewGeneratorState();

// All layers black, every mask byte 255. The random state is kept.
void ClearWorkingImages(GeneratorState& g);

// Applies one operation. Opcodes 14..255 do nothing; an operation with fewer parameters than
// it reads, a layer outside 0..7 or a Mosaic block size of 0 is skipped.
void ExecuteOp(GeneratorState& g, uint8_t opcode, std::span<const int32_t> params);

// True when ExecuteOp would act on (not skip) this operation.
bool IsWellFormedOp(uint8_t opcode, std::span<const int32_t> params);

// One draw with range R: S = S * 134775813 + 1 (mod 2^32), result (S * R) >> 32 in 0..R-1.
uint32_t GenRandom(uint32_t& state, uint32_t range);

// The state after `draws` further draws, in O(log draws) steps.
uint32_t AdvanceRandomState(uint32_t state, uint64_t draws);

// Random draws the operation makes when executed (kNoiseDraws for a Noise that runs, else 0).
uint64_t RandomDrawsOf(uint8_t opcode, std::span<const int32_t> params);

// Composes the texture into out (kOutputBytes): per channel the sum of the eight layers
// saturated at 255, alpha the mask byte. Uses temp as scratch.
void ComposeOutput(GeneratorState& g, uint8_t* out);

}  // namespace textures
