// The one upload sequence of every texture built from pixels (generated or loaded from a
// file): a new name, bound, modulated, linear filters, mipmaps built by GLU. The texture stays
// bound; wrap modes keep OpenGL's default (repeat).
#pragma once
#include <cstdint>

namespace textures {

// format is GL_RGBA (four bytes per pixel, internal format GL_RGBA) or GL_RGB (three bytes,
// internal format 3). Rows are tightly packed, bottom row first (three-byte rows are handed
// to OpenGL padded to four bytes, as its unpack alignment wants them). Returns the new name.
uint32_t UploadImage(int32_t width, int32_t height, uint32_t format, const uint8_t* pixels);

// UploadImage with four-byte pixels (generated textures).
uint32_t UploadMipmapped(int32_t width, int32_t height, const uint8_t* rgba);

}  // namespace textures
