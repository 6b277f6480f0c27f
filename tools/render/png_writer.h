// PNG output of the tools (libpng): 8-bit RGBA images whose rows are stored bottom row first,
// as OpenGL holds textures and read-back frames, written so that the picture shows upright.
#pragma once
#include <cstdint>
#include <string>

namespace tools {

// Writes width x height RGBA pixels (row 0 = bottom row of the picture). False, with errno-
// style detail in `error`, when the file cannot be written.
// path "-" writes to standard output.
bool WritePngBottomUp(const std::string& path, int32_t width, int32_t height, const uint8_t* rgba,
                      std::string& error);

}  // namespace tools
