// The procedural object generator: runs an object program (base shapes Cube and Sphere, then
// edits limited to a selection box) on one welded quad mesh and turns the quads into a model
// record of quad vertices with per-corner normals. Owns the generator's single working mesh.
//
// Welding: two points are the same vertex when they are closer than 0.1 in all three
// coordinates; a new corner takes the FIRST such vertex in list order. The lookup runs on a
// hash grid, but its answer is by construction the one of a scan over the whole list.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "demo/object_ops.h"
#include "models/model_record.h"

namespace models {

struct GenVertex {  // traditional name: fPunkt
    float x = 0, y = 0, z = 0;
    float u = 0, v = 0;
    int32_t neighbourCount = 0;
    std::vector<int32_t> neighbours;  // edge neighbours, repeats kept (one entry per quad side)
};

using GenQuad = std::array<int32_t, 4>;  // vertex indexes in corner order

// A corner as the shapes hand it over, already in float32.
struct GenCorner {
    float x = 0, y = 0, z = 0, u = 0, v = 0;
};

// The records of object programs, from the format's one table.
using demo::ObjectOpcode;
using enum demo::ObjectOpcode;
using demo::kSelectAll;
using demo::kSelectBox;
using demo::kSelectBoxBodyBytes;

// Quads one program may build: a Cube or Sphere that would take the model past this is
// skipped, so that a short program cannot ask for gigabytes (Cube 209 fits, as does Sphere
// 255; real models stay far below).
constexpr size_t kMaxQuads = size_t(1) << 20;
// |a - b| < 0.1, evaluated in extended precision; a NaN is never near.
bool Near(float a, float b);
// True when Near holds for two of the three coordinate pairs (x,y), (x,z) or (y,z).
bool TwoOfThree(const GenCorner& p, const GenCorner& q);

// Index of the first vertex in list order that is Near in x, y and z; -1 if none.
int32_t FindVertex(float x, float y, float z);
int32_t AddVertex(float x, float y, float z, float u, float v);
// Appends a quad: each corner welds or makes a vertex, then the sides that pass TwoOfThree
// enter each other's neighbour lists (both directions, no repeat check).
void AddQuad(const GenCorner& c0, const GenCorner& c1, const GenCorner& c2, const GenCorner& c3);
// Buffers corners; every fourth one completes a quad from the four in arrival order.
void AddCorner(float x, float y, float z, float u, float v);

// Empties the mesh, switches the selection off and interprets the program.
void RunObjectProgram(std::span<const uint8_t> program);
// Runs the program and fills the record (which must come in fresh) with primitive 7 and four
// vertices per quad, in quad order.
void BuildGeneratedModel(std::span<const uint8_t> program, ModelRecord& record);

// The working mesh of the last run.
const std::vector<GenVertex>& GeneratedVertices();
const std::vector<GenQuad>& GeneratedQuads();

// Replaces the weld lookup (tests and benchmarks plug in the plain list scan to compare);
// null restores the grid.
using VertexLookup = int32_t (*)(const std::vector<GenVertex>& vertices, float x, float y, float z);
void SetVertexLookup(VertexLookup lookup);

}  // namespace models
