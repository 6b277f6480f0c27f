#include "textures/upload.h"

#include "gl/gl_layer.h"

namespace textures {

uint32_t UploadImage(int32_t width, int32_t height, uint32_t format, const uint8_t* pixels) {
    const uint32_t name = gl::glGenTexture();
    gl::glBindTexture(gl::GL_TEXTURE_2D, name);
    gl::glTexEnvi(gl::GL_TEXTURE_ENV, gl::GL_TEXTURE_ENV_MODE, gl::GL_MODULATE);
    gl::glTexParameteri(gl::GL_TEXTURE_2D, gl::GL_TEXTURE_MAG_FILTER, gl::GL_LINEAR);
    gl::glTexParameteri(gl::GL_TEXTURE_2D, gl::GL_TEXTURE_MIN_FILTER, gl::GL_LINEAR);
    if (format == gl::GL_RGBA)
        gl::gluBuild2DMipmaps(gl::GL_TEXTURE_2D, gl::GL_RGBA, width, height, gl::GL_RGBA,
                              gl::GL_UNSIGNED_BYTE, pixels);
    else
        gl::gluBuild2DMipmaps(gl::GL_TEXTURE_2D, 3, width, height, gl::GL_RGB, gl::GL_UNSIGNED_BYTE,
                              pixels);
    return name;
}

uint32_t UploadMipmapped(int32_t width, int32_t height, const uint8_t* rgba) {
    return UploadImage(width, height, gl::GL_RGBA, rgba);
}

}  // namespace textures
