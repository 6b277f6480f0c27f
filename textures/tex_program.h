// Texture programs: the stored form of a generated texture (the slot's bytes after the marker
// byte 2), parsed into operation records, run over the generator's working images and composed
// into one 512 x 512 RGBA image, which is uploaded as a mipmapped texture.
//
// Byte format, little-endian, no padding: int32 operation count N; then N operations of
// opcode (u8), parameter count K (u8) and K parameters of int32 value, label length L (u8) and
// L label bytes. Labels are carried along and never used; bytes after the N-th operation are
// ignored.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "textures/generator.h"

namespace textures {

struct TexParam {  // fParam
    int32_t value = 0;
    std::string label;
};

struct TexOperation {  // fData
    uint8_t opcode = 0;
    uint8_t paramCount = 0;
    std::vector<TexParam> params;
};

struct TexProgram {
    int32_t storedCount = 0;  // the operation count as stored
    std::vector<TexOperation> operations;  // the operations read completely
    bool complete = true;  // false when the bytes ended before the stored count was reached
};

// Reads a program. A program whose bytes end early keeps the operations read completely; a
// count of 0 or less gives none.
TexProgram ParseTexProgram(std::span<const uint8_t> bytes);

// The stored form of a list of operations (the inverse of ParseTexProgram).
std::vector<uint8_t> EncodeTexProgram(const std::vector<TexOperation>& operations);

// Clears the working images, runs every operation from g's current random state and composes
// the texture into out (kOutputBytes, red, green, blue, alpha, row 0 first).
void RunTexProgram(GeneratorState& g, const TexProgram& program, uint8_t* out);

// Random draws the program makes when run (each Noise that runs draws kNoiseDraws times).
uint64_t RandomDrawsOf(const TexProgram& program);

// GeneratorOutput: the composed image of the last program run by GenerateTexture, reserved
// once for the whole run.
const uint8_t* GeneratorOutput();

// Parses and runs the program on the program-wide generator, uploads the result with
// UploadMipmapped and returns the new texture name.
uint32_t GenerateTexture(std::span<const uint8_t> programBytes);

}  // namespace textures
