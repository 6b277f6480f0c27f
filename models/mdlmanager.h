// The model manager: owns the model table (one record per model source of the demo file) and
// builds every record once at start-up. A source's first byte picks its kind: 0 an object
// program, 1 an OBJ file under "data\", anything else the path of a binary vertex file.
// After LoadModels the records never change; the script side reads them through ModelAt.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "demo/demo_file.h"
#include "demo/object_ops.h"
#include "models/model_record.h"

namespace models {

// Binary vertex file: int32 (ignored), int32 vertex count N, then N records of eight float32
// in the order normal x, y, z, texture u, v, position x, y, z.
constexpr size_t kVertexFileHeaderBytes = 8;
constexpr size_t kVertexFileRecordBytes = 32;

// Fills record from a vertex file's bytes: primitive 4 and the file's vertices with texture
// and position moved into the record's order. A count that is negative or larger than the
// bytes hold is refused before anything is allocated. fileName labels the messages.
bool ParseVertexFile(std::span<const uint8_t> bytes, const std::string& fileName,
                     ModelRecord& record, std::string& error);

// Builds one record (which must come in fresh) from its source. An empty source gives an
// empty record (primitive 0, nothing to draw).
bool LoadModel(std::string_view source, ModelRecord& record, std::string& error);

// Sizes the table to the demo file's model sources and builds every record in index order.
// Stops at the first model that cannot be built and returns false with a message that names
// the model and its file; the caller reports it and ends the run.
bool LoadModels(const demo::DemoFile& demo, std::string& error);

int32_t ModelCount();
// Record `index`, or null for an index outside 0 .. ModelCount() - 1.
const ModelRecord* ModelAt(int32_t index);

// Empties the table and forgets the texture names meshes bind through, as at program start.
void ResetModels();

}  // namespace models
