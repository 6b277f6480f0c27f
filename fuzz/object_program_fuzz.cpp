// Object programs -> generated model, with the welded mesh checked for indexes outside the
// vertex list. Programs whose shapes would make more than kMaxQuads quads are skipped: they
// are valid but only slow.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "core/byte_reader.h"
#include "models/objgen.h"
#include "platform/message_box.h"

namespace {

constexpr int64_t kMaxQuads = 2000;

void Silent(const std::string&, const std::string&) {}

// Quads the program's Cube and Sphere records add, walking the records as the runner does.
int64_t QuadsOf(std::span<const uint8_t> program) {
    int64_t quads = 0;
    for (size_t i = 0; i < program.size();) {
        uint8_t op = program[i];
        if (op == demo::kSelectAll) {
            i += 1;
            continue;
        }
        if (op == demo::kSelectBox) {
            i += 1 + demo::kSelectBoxBodyBytes;
            continue;
        }
        int64_t n = i + 1 < program.size() ? program[i + 1] : 0;
        if (op == demo::kCube) quads += 24 * n * n;
        if (op == demo::kSphere) quads += 12 * n * n;
        i += 2;
    }
    return quads;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> program(data, size);
    if (size > 256 || QuadsOf(program) > kMaxQuads) return 0;
    platform::SetMessageSink(Silent);
    models::ModelRecord record;
    models::BuildGeneratedModel(program, record);
    const auto& vertices = models::GeneratedVertices();
    for (const models::GenQuad& q : models::GeneratedQuads())
        for (int32_t k : q)
            if (k < 0 || size_t(k) >= vertices.size()) std::abort();
    for (const models::GenVertex& p : vertices)
        for (int32_t k : p.neighbours)
            if (k < 0 || size_t(k) >= vertices.size()) std::abort();
    if (record.vertices.size() != 4 * models::GeneratedQuads().size()) std::abort();
    return 0;
}
