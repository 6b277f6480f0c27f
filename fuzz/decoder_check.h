// Shared by the image-decoder fuzz targets: a decode either returns pixels of exactly the size
// it reports or a message saying why not, with the reason the tools show. Anything else aborts,
// which libFuzzer reports.
#pragma once
#include <cstdlib>

#include "gl/gl_layer.h"
#include "textures/image_loaders.h"

inline void CheckDecoded(const textures::DecodeResult& r) {
    if (r.ok) {
        const size_t components = r.image.format == gl::GL_RGBA ? 4 : 3;
        if (r.image.pixels.size() != size_t(r.image.width) * size_t(r.image.height) * components)
            std::abort();
    } else if (r.message.text.empty() || r.reason.empty()) {
        std::abort();
    }
}
