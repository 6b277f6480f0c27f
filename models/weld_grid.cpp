#include "models/weld_grid.h"

#include <cmath>

namespace models {
namespace {

constexpr double kCellsPerUnit = 4.0;
constexpr double kCellReach = 0.1 + 1e-6;       // the weld tolerance plus the margin
constexpr double kCellLimit = double(1 << 20);  // cell coordinates clamp to 21 bits
constexpr uint64_t kEmptyKey = 0;

double CellOf(double c) {
    double cell = std::floor(c * kCellsPerUnit);
    if (cell < -kCellLimit) return -kCellLimit;
    if (cell > kCellLimit - 1) return kCellLimit - 1;
    return cell;
}

uint64_t CellKey(double cx, double cy, double cz) {
    auto bits = [](double c) { return uint64_t(int64_t(c) + int64_t(kCellLimit)); };
    return (bits(cx) | bits(cy) << 21 | bits(cz) << 42) + 1;  // + 1 keeps kEmptyKey free
}

// Fibonacci hashing: the top bits of key * 2^64/phi, so that all three cell coordinates mix
// into the slot.
size_t SlotOf(const WeldGrid& g, uint64_t key) {
    size_t mask = g.keys.size() - 1;
    size_t slot = size_t((key * 0x9E3779B97F4A7C15ull) >> g.shift);
    while (g.keys[slot] != kEmptyKey && g.keys[slot] != key) slot = (slot + 1) & mask;
    return slot;
}

bool IsFinite(float x, float y, float z) {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

// Empties the table to `capacity` slots (a power of two, at least 64).
void GridReset(WeldGrid& g, size_t capacity) {
    int bits = 6;
    while ((size_t(1) << bits) < capacity) ++bits;
    g.shift = 64 - bits;
    g.keys.assign(size_t(1) << bits, kEmptyKey);
    g.listOf.assign(size_t(1) << bits, -1);
}

// The list of the cell `key`, made on first use; the table doubles past half load.
std::vector<int32_t>& CellList(WeldGrid& g, uint64_t key) {
    size_t slot = SlotOf(g, key);
    if (g.keys[slot] == key) return g.lists[size_t(g.listOf[slot])];
    if (2 * (g.lists.size() + 1) > g.keys.size()) {
        std::vector<uint64_t> keys = std::move(g.keys);
        std::vector<int32_t> listOf = std::move(g.listOf);
        GridReset(g, keys.size() * 2);
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == kEmptyKey) continue;
            size_t moved = SlotOf(g, keys[i]);
            g.keys[moved] = keys[i];
            g.listOf[moved] = listOf[i];
        }
        slot = SlotOf(g, key);
    }
    g.keys[slot] = key;
    g.listOf[slot] = int32_t(g.lists.size());
    g.lists.emplace_back();
    return g.lists.back();
}

void GridInsert(WeldGrid& g, const GenVertex& p, int32_t index) {
    if (!IsFinite(p.x, p.y, p.z)) return;
    double x0 = CellOf(p.x - kCellReach), x1 = CellOf(p.x + kCellReach);
    double y0 = CellOf(p.y - kCellReach), y1 = CellOf(p.y + kCellReach);
    double z0 = CellOf(p.z - kCellReach), z1 = CellOf(p.z + kCellReach);
    for (double cx = x0; cx <= x1; ++cx)
        for (double cy = y0; cy <= y1; ++cy)
            for (double cz = z0; cz <= z1; ++cz) CellList(g, CellKey(cx, cy, cz)).push_back(index);
}

}  // namespace

void GridRebuild(WeldGrid& g, const std::vector<GenVertex>& vertices) {
    g.lists.clear();
    GridReset(g, 64);
    for (size_t i = 0; i < vertices.size(); ++i) GridInsert(g, vertices[i], int32_t(i));
    g.valid = true;
}

void GridAdd(WeldGrid& g, const std::vector<GenVertex>& vertices, int32_t index) {
    if (g.valid) GridInsert(g, vertices[size_t(index)], index);  // else the next lookup rebuilds
}

int32_t FindInGrid(WeldGrid& g, const std::vector<GenVertex>& vertices, float x, float y, float z) {
    if (!IsFinite(x, y, z)) return -1;
    if (!g.valid) GridRebuild(g, vertices);
    size_t slot = SlotOf(g, CellKey(CellOf(x), CellOf(y), CellOf(z)));
    if (g.keys[slot] == kEmptyKey) return -1;
    for (int32_t k : g.lists[size_t(g.listOf[slot])]) {
        const GenVertex& p = vertices[size_t(k)];
        if (Near(p.x, x) && Near(p.y, y) && Near(p.z, z)) return k;
    }
    return -1;
}

}  // namespace models
