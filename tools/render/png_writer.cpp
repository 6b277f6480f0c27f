#include "tools/render/png_writer.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace tools {

bool WritePngBottomUp(const std::string& path, int32_t width, int32_t height, const uint8_t* rgba,
                      std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGBA;
    // A negative row stride walks the buffer from its last row: the bottom row is written last.
    const png_int_32 stride = -png_int_32(width) * 4;
    const bool written =
        path == "-" ? png_image_write_to_stdio(&image, stdout, 0, rgba, stride, nullptr) &&
                          std::fflush(stdout) == 0
                    : png_image_write_to_file(&image, path.c_str(), 0, rgba, stride, nullptr);
    if (!written) {
        error = image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

}  // namespace tools
