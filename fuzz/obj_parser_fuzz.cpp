// OBJ text -> mesh; a mesh that parses is drawn (under the silent recorder) to show that every
// index it holds stays inside its lists.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gl/gl_layer.h"
#include "models/objloader.h"

namespace {
const std::vector<uint32_t> kNames = {1, 2, 3, 4};
std::span<const uint32_t> Names() { return kNames; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    models::ObjMesh mesh;
    std::string error;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!models::ParseObj(text, "fuzz.obj", mesh, error)) return 0;
    gl::UseRecorder(nullptr);
    models::SetMeshTextureTable(Names);
    models::DrawObjAll(mesh, 1, 2.0f);
    models::DrawObjMaterial(mesh, -1, 1, 1.0f);
    return 0;
}
