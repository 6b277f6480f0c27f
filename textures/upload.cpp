#include "textures/upload.h"

#include <algorithm>
#include <vector>

#include "gl/gl_layer.h"

namespace textures {
namespace {

// The player leaves OpenGL's unpack alignment at 4, so GL reads each row from a four-byte
// boundary. Tightly packed three-byte rows whose length is not a multiple of 4 (a 24-bit image
// of odd width, say) are copied into rows of that stride; others need no copy.
std::vector<uint8_t> RowsAlignedForUnpack(int32_t width, int32_t height, const uint8_t* rgb) {
    const size_t rowBytes = size_t(width) * 3, stride = (rowBytes + 3) / 4 * 4;
    if (width <= 0 || height <= 0 || stride == rowBytes) return {};
    std::vector<uint8_t> aligned(stride * size_t(height));
    for (size_t row = 0; row < size_t(height); ++row)
        std::copy_n(rgb + row * rowBytes, rowBytes, aligned.begin() + std::ptrdiff_t(row * stride));
    return aligned;
}

}  // namespace

uint32_t UploadImage(int32_t width, int32_t height, uint32_t format, const uint8_t* pixels) {
    const uint32_t name = gl::glGenTexture();
    gl::glBindTexture(gl::GL_TEXTURE_2D, name);
    gl::glTexEnvi(gl::GL_TEXTURE_ENV, gl::GL_TEXTURE_ENV_MODE, gl::GL_MODULATE);
    gl::glTexParameteri(gl::GL_TEXTURE_2D, gl::GL_TEXTURE_MAG_FILTER, gl::GL_LINEAR);
    gl::glTexParameteri(gl::GL_TEXTURE_2D, gl::GL_TEXTURE_MIN_FILTER, gl::GL_LINEAR);
    if (format == gl::GL_RGBA)
        gl::gluBuild2DMipmaps(gl::GL_TEXTURE_2D, gl::GL_RGBA, width, height, gl::GL_RGBA,
                              gl::GL_UNSIGNED_BYTE, pixels);
    else {
        const std::vector<uint8_t> aligned = RowsAlignedForUnpack(width, height, pixels);
        gl::gluBuild2DMipmaps(gl::GL_TEXTURE_2D, 3, width, height, gl::GL_RGB, gl::GL_UNSIGNED_BYTE,
                              aligned.empty() ? pixels : aligned.data());
    }
    return name;
}

uint32_t UploadMipmapped(int32_t width, int32_t height, const uint8_t* rgba) {
    return UploadImage(width, height, gl::GL_RGBA, rgba);
}

}  // namespace textures
