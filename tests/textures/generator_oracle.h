// The literal generator: every operation written pixel by pixel straight from its formula,
// every read and write through WrapIndex, no tables and no shortcuts. Slow on purpose; the
// tests hold the real generator to it byte for byte.
#pragma once
#include <cstdint>
#include <span>

#include "textures/generator.h"

namespace oracle {

void ClearWorkingImages(textures::GeneratorState& g);
void ExecuteOp(textures::GeneratorState& g, uint8_t opcode, std::span<const int32_t> params);
void ComposeOutput(const textures::GeneratorState& g, uint8_t* out);

}  // namespace oracle
