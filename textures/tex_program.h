// Running texture programs (parsed by demo/tex_program.h) over the generator's working images:
// each composes one 512 x 512 RGBA image, which is uploaded as a mipmapped texture. The
// program records are the format library's; their names are used here as the module's own.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "demo/tex_program.h"
#include "textures/generator.h"

namespace textures {

using demo::EncodeTexProgram;
using demo::ParseTexProgram;
using demo::TexOperation;
using demo::TexParam;
using demo::TexProgram;

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
