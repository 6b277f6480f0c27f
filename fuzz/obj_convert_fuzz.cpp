// OBJ text as modelling tools write it -> qv obj's strict form: whatever converts must load with
// the player's own OBJ parser and hold whole triangles in every group.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "models/objloader.h"
#include "tools/objconvert/obj_convert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tools::ObjConversion out;
    std::string error;
    const tools::ObjConvertOptions options;
    if (!tools::ConvertObj(text, "fuzz.obj", options, out, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    models::ObjMesh mesh;
    if (!models::ParseObj(out.text, "out.obj", mesh, error)) std::abort();
    for (const models::ModelGroup& g : mesh.groups)
        if (g.corners.size() % 3 != 0) std::abort();
    return 0;
}
