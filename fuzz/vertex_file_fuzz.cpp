// Binary vertex file bytes -> model record; refusals must come before any allocation.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "models/mdlmanager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    models::ModelRecord record;
    std::string error;
    bool ok =
        models::ParseVertexFile(std::span<const uint8_t>(data, size), "fuzz.bin", record, error);
    if (ok &&
        record.vertices.size() * models::kVertexFileRecordBytes + models::kVertexFileHeaderBytes >
            size)
        std::abort();
    if (!ok && !record.vertices.empty()) std::abort();
    return 0;
}
