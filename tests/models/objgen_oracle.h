// The weld lookup written as the plain scan of the whole vertex list: the reference the grid
// lookup of the generator must match vertex for vertex (tests and benchmarks plug it in).
#pragma once
#include <cstdint>
#include <vector>

#include "models/objgen.h"

namespace oracle {

inline int32_t LinearFindVertex(const std::vector<models::GenVertex>& vertices, float x, float y,
                                float z) {
    for (size_t i = 0; i < vertices.size(); ++i) {
        const models::GenVertex& p = vertices[i];
        if (models::Near(p.x, x) && models::Near(p.y, y) && models::Near(p.z, z)) return int32_t(i);
    }
    return -1;
}

// Builds the model of `program` with the plain scan instead of the grid.
inline void BuildWithLinearScan(const std::vector<uint8_t>& program, models::ModelRecord& record) {
    models::SetVertexLookup(LinearFindVertex);
    models::BuildGeneratedModel(program, record);
    models::SetVertexLookup(nullptr);
}

}  // namespace oracle
