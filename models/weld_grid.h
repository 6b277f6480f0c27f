// The object generator's weld lookup: a hash grid over the working mesh's vertices that
// answers "the first vertex in list order that is Near in x, y and z" exactly as a scan of
// the whole list would, in about constant time.
//
// Cells are 1/4 wide on every axis (a power of two, so the cell of a point is exact). A vertex
// is listed in every cell that its weld box, (p - 0.1, p + 0.1) on each axis widened by a small
// margin against rounding, touches: at most two cells per axis. So every vertex that can weld
// with a point is listed in the point's own cell, and as each cell lists its vertices in
// ascending index order, the first Near vertex of that one list is exactly the vertex the
// plain scan returns. Vertices with a non-finite coordinate are never Near anything and stay
// out of the grid.
#pragma once
#include <cstdint>
#include <vector>

#include "models/objgen.h"

namespace models {

struct WeldGrid {
    std::vector<uint64_t> keys;               // open addressing; kEmptyKey marks a free slot
    std::vector<int32_t> listOf;              // per slot: its cell's entry in lists
    std::vector<std::vector<int32_t>> lists;  // per cell: vertex indexes, ascending
    int shift = 64;                           // 64 - log2(slot count)
    bool valid = false;  // false once positions moved; the next lookup rebuilds
};

// Lists every vertex anew.
void GridRebuild(WeldGrid& g, const std::vector<GenVertex>& vertices);
// Lists vertex `index` after it was appended (a stale grid waits for the next lookup).
void GridAdd(WeldGrid& g, const std::vector<GenVertex>& vertices, int32_t index);
// The first vertex Near (x, y, z), or -1; rebuilds a stale grid first.
int32_t FindInGrid(WeldGrid& g, const std::vector<GenVertex>& vertices, float x, float y, float z);

}  // namespace models
