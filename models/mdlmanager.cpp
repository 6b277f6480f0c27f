#include "models/mdlmanager.h"

#include <vector>

#include "core/byte_reader.h"
#include "core/file_io.h"
#include "models/objgen.h"
#include "models/objloader.h"
#include "platform/paths.h"

namespace models {
namespace {

struct State {
    std::vector<ModelRecord> records;
};
State g_state;

bool LoadVertexFile(const std::string& demoPath, ModelRecord& record, std::string& error) {
    std::string path = platform::ResolvePath(demoPath);
    std::string bytes;
    if (!core::ReadWholeFile(path, bytes, &error)) return false;
    return ParseVertexFile(core::AsBytes(bytes), platform::DisplayPath(path), record, error);
}

}  // namespace

bool ParseVertexFile(std::span<const uint8_t> bytes, const std::string& fileName,
                     ModelRecord& record, std::string& error) {
    core::ByteReader r(bytes);
    int32_t ignored = 0, count = 0;
    if (!r.ReadI32(ignored) || !r.ReadI32(count)) {
        error = fileName + ": the vertex file ends before its vertex count (" +
                std::to_string(bytes.size()) + " bytes)";
        return false;
    }
    if (count < 0) {
        error = fileName + ": negative vertex count " + std::to_string(count);
        return false;
    }
    size_t holds = r.Remaining() / kVertexFileRecordBytes;
    if (size_t(count) > holds) {
        error = fileName + ": the vertex file announces " + std::to_string(count) +
                " vertices but ends after " + std::to_string(holds) + " (" +
                std::to_string(bytes.size()) + " bytes)";
        return false;
    }
    record.primitive = kPrimitiveTriangles;  // whatever the first field says
    record.vertices.resize(size_t(count));
    for (ModelVertex& v : record.vertices) {
        for (float* field : {&v.nx, &v.ny, &v.nz, &v.u, &v.v, &v.x, &v.y, &v.z}) r.ReadF32(*field);
    }
    return true;
}

bool LoadModel(std::string_view source, ModelRecord& record, std::string& error) {
    if (source.empty()) return true;
    switch (uint8_t(source.front())) {
        case demo::kModelProgram:
            BuildGeneratedModel(core::AsBytes(source.substr(1)), record);
            return true;
        case demo::kModelObj: return LoadObj(record.mesh, std::string(source.substr(1)), error);
        default:  // the whole source, first byte included, is the path
            return LoadVertexFile(std::string(source), record, error);
    }
}

bool LoadModels(const demo::DemoFile& demo, std::string& error) {
    g_state.records.assign(demo.modelSources.size(), ModelRecord{});
    for (size_t i = 0; i < g_state.records.size(); ++i) {
        std::string problem;
        if (!LoadModel(demo.modelSources[i].bytes, g_state.records[i], problem)) {
            error = "model " + std::to_string(i) + ": " + problem;
            return false;
        }
    }
    return true;
}

int32_t ModelCount() { return int32_t(g_state.records.size()); }

const ModelRecord* ModelAt(int32_t index) {
    if (index < 0 || size_t(index) >= g_state.records.size()) return nullptr;
    return &g_state.records[size_t(index)];
}

void ResetModels() {
    g_state = State{};
    SetMeshTextureTable(nullptr);
}

}  // namespace models
