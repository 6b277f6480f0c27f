#include "textures/upload.h"

#include "gl/gl_layer.h"

namespace textures {

uint32_t UploadImage(int32_t width, int32_t height, uint32_t format, const uint8_t* pixels) {
    const uint32_t name = qgl::glGenTexture();
    qgl::glBindTexture(qgl::GL_TEXTURE_2D, name);
    qgl::glTexEnvi(qgl::GL_TEXTURE_ENV, qgl::GL_TEXTURE_ENV_MODE, qgl::GL_MODULATE);
    qgl::glTexParameteri(qgl::GL_TEXTURE_2D, qgl::GL_TEXTURE_MAG_FILTER, qgl::GL_LINEAR);
    qgl::glTexParameteri(qgl::GL_TEXTURE_2D, qgl::GL_TEXTURE_MIN_FILTER, qgl::GL_LINEAR);
    if (format == qgl::GL_RGBA)
        qgl::gluBuild2DMipmaps(qgl::GL_TEXTURE_2D, qgl::GL_RGBA, width, height, qgl::GL_RGBA,
                               qgl::GL_UNSIGNED_BYTE, pixels);
    else
        qgl::gluBuild2DMipmaps(qgl::GL_TEXTURE_2D, 3, width, height, qgl::GL_RGB,
                               qgl::GL_UNSIGNED_BYTE, pixels);
    return name;
}

uint32_t UploadMipmapped(int32_t width, int32_t height, const uint8_t* rgba) {
    return UploadImage(width, height, qgl::GL_RGBA, rgba);
}

}  // namespace textures
