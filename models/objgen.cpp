#include "models/objgen.h"

#include <cmath>

#include "core/byte_reader.h"
#include "core/numeric.h"
#include "models/weld_grid.h"
#include "platform/message_box.h"

namespace models {
namespace {

using core::Extended;

constexpr Extended kPi = 3.14159265358979323846264338327950288L;
constexpr Extended kWeldTolerance = 0.1L;

struct State {
    std::vector<GenVertex> vertices;
    std::vector<GenQuad> quads;
    bool selectionOn = false;
    float box[6] = {};  // min x, min y, min z, max x, max y, max z
    GenCorner cornerBuffer[4];
    uint8_t cornerFill = 0;
    WeldGrid grid;
    VertexLookup lookup = nullptr;
};

State g_state;

int32_t GridFind(float x, float y, float z) {
    return FindInGrid(g_state.grid, g_state.vertices, x, y, z);
}

float F32(Extended v) { return float(v); }

bool IsSelected(const GenVertex& p) {
    const State& s = g_state;
    if (!s.selectionOn) return true;
    return s.box[0] <= p.x && p.x <= s.box[3] && s.box[1] <= p.y && p.y <= s.box[4] &&
           s.box[2] <= p.z && p.z <= s.box[5];
}

// Any edit that moves positions leaves the grid stale.
void PositionsMoved() { g_state.grid.valid = false; }

// ---------------------------------------------------------------------------------------
// Shapes

// The six faces of one grid cell of the cube, corners (x, y, z, u, v). With s = P/n,
// s' = (P+1)/n, t = A/n, t' = (A+1)/n, U = (n+P)/2n, U' = (n+P+1)/2n, V = (n+A)/2n,
// V' = (n+A+1)/2n; every value is rounded to float32 once, as it enters the corner.
void AddCubeCell(int32_t n, int32_t P, int32_t A) {
    Extended s = Extended(P) / n, s1 = Extended(P + 1) / n;
    Extended t = Extended(A) / n, t1 = Extended(A + 1) / n;
    Extended U = Extended(n + P) / (2 * n), U1 = Extended(n + P + 1) / (2 * n);
    Extended V = Extended(n + A) / (2 * n), V1 = Extended(n + A + 1) / (2 * n);
    auto C = [](Extended x, Extended y, Extended z, Extended u, Extended v) {
        return GenCorner{F32(x), F32(y), F32(z), F32(u), F32(v)};
    };
    AddQuad(C(s, t, -1, U, 1 - V), C(s1, t, -1, U1, 1 - V), C(s1, t1, -1, U1, 1 - V1),
            C(s, t1, -1, U, 1 - V1));  // z = -1
    AddQuad(C(s, t, 1, U, V), C(s1, t, 1, U1, V), C(s1, t1, 1, U1, V1), C(s, t1, 1, U, V1));
    AddQuad(C(s, -1, t, U, V), C(s1, -1, t, U1, V), C(s1, -1, t1, U1, V1),
            C(s, -1, t1, U, V1));  // y = -1
    AddQuad(C(s, 1, t, U, V), C(s1, 1, t, U1, V), C(s1, 1, t1, U1, V1), C(s, 1, t1, U, V1));
    AddQuad(C(-1, s, t, 1 - V, U), C(-1, s1, t, 1 - V, U1), C(-1, s1, t1, 1 - V1, U1),
            C(-1, s, t1, 1 - V1, U));  // x = -1
    AddQuad(C(1, s, t, U, V), C(1, s1, t, U1, V), C(1, s1, t1, U1, V1), C(1, s, t1, U, V1));
}

// Cube from -1 to +1, each face 2n x 2n quads; loops P (outer), A, then the six faces.
void Cube(int32_t n) {
    for (int32_t P = -n; P < n; ++P)
        for (int32_t A = -n; A < n; ++A) AddCubeCell(n, P, A);
}

// Body of revolution about y: 3n rings x 4n segments, height (a - 0.5) * 2 linear in the ring
// parameter a, radius sin(pi * a) (stored float32), one quad per cell through AddCorner.
void Sphere(int32_t n) {
    if (n == 0) return;
    const int32_t rings = 3 * n, segments = 4 * n;
    // sin and cos of 2 pi b for every segment border b = j / S, computed once per shape.
    std::vector<Extended> sinB(size_t(segments) + 1), cosB(size_t(segments) + 1);
    for (int32_t j = 0; j <= segments; ++j) {
        Extended b = Extended(j) / segments;
        sinB[size_t(j)] = core::Sin(2 * kPi * b);
        cosB[size_t(j)] = core::Cos(2 * kPi * b);
    }
    g_state.cornerFill = 0;
    for (int32_t i = 0; i < rings; ++i) {
        Extended a = Extended(i) / rings, a1 = Extended(i + 1) / rings;
        float r = F32(core::Sin(kPi * a)), r1 = F32(core::Sin(kPi * a1));
        float y = F32((a - 0.5L) * 2), y1 = F32((a1 - 0.5L) * 2);
        for (int32_t j = 0; j < segments; ++j) {
            Extended sb = sinB[size_t(j)], cb = cosB[size_t(j)];
            Extended sb1 = sinB[size_t(j) + 1], cb1 = cosB[size_t(j) + 1];
            float b = F32(Extended(j) / segments), b1 = F32(Extended(j + 1) / segments);
            AddCorner(F32(sb * r), y, F32(cb * r), F32(a), b);
            AddCorner(F32(sb1 * r), y, F32(cb1 * r), F32(a), b1);
            AddCorner(F32(sb1 * r1), y1, F32(cb1 * r1), F32(a1), b1);
            AddCorner(F32(sb * r1), y1, F32(cb * r1), F32(a1), b);
        }
    }
}

// ---------------------------------------------------------------------------------------
// Edits of the selected vertices

// x, y, z *= factor, each product rounded to float32.
void ScaleSelected(Extended factor) {
    for (GenVertex& p : g_state.vertices) {
        if (!IsSelected(p)) continue;
        p.x = F32(p.x * factor);
        p.y = F32(p.y * factor);
        p.z = F32(p.z * factor);
    }
    PositionsMoved();
}

// Replaces the given fields of every selected vertex by (own + sum over the neighbour list,
// repeats included) / (neighbour count + 1). All reads see the values from before the edit.
template <size_t N>
void SmoothFields(const std::array<float GenVertex::*, N>& fields) {
    std::vector<GenVertex>& vs = g_state.vertices;
    std::vector<float> scratch(vs.size() * N);
    std::vector<char> selected(vs.size());
    for (size_t k = 0; k < vs.size(); ++k) {
        selected[k] = IsSelected(vs[k]);
        if (!selected[k]) continue;
        for (size_t f = 0; f < N; ++f) {
            Extended sum = vs[k].*fields[f];
            for (int32_t nb : vs[k].neighbours) sum += vs[size_t(nb)].*fields[f];
            scratch[k * N + f] = F32(sum / (Extended(vs[k].neighbourCount) + 1));
        }
    }
    for (size_t k = 0; k < vs.size(); ++k)
        if (selected[k])
            for (size_t f = 0; f < N; ++f) vs[k].*fields[f] = scratch[k * N + f];
}

// The five sine waves; y and z use the coordinates already moved (x', y'), each stored as
// float32 before the next is computed.
void WaveVertex(GenVertex& p, uint8_t variant) {
    const Extended pi = kPi, twoPi = 2 * kPi;
    auto S = [](Extended v) { return core::Sin(v); };
    switch (variant) {
        case 0:
            p.x = F32(p.x + 0.1L * S(pi * (p.x + 1.0L)));
            p.y = F32(p.y + 0.1L * S(pi * (p.y + 1.0L)));
            p.z = F32(p.z + 0.1L * S(pi * (p.z + 1.0L)));
            break;
        case 1:
            p.x = F32(p.x + 0.12L * S(twoPi * (p.x + 1.0L)));
            p.y = F32(p.y + 0.12L * S(twoPi * (p.y + 1.0L)));
            p.z = F32(p.z + 0.12L * S(twoPi * (p.z + 1.0L)));
            break;
        case 2:
            p.x = F32(p.x + 0.12L * S(pi * (p.x + 1.0L + p.z / 2.0L)));
            p.y = F32(p.y + 0.12L * S(pi * (p.y + 1.0L + p.x / 2.0L)));
            p.z = F32(p.z + 0.12L * S(pi * (p.z + 1.0L + p.y / 2.0L)));
            break;
        case 3:
            p.x = F32(p.x + 0.12L * S(pi * p.x * p.z));
            p.y = F32(p.y + 0.12L * S(pi * p.y * p.x));
            p.z = F32(p.z + 0.12L * S(pi * p.z * p.y));
            break;
        case 4:
            p.x = F32(p.x + 0.12L * S(pi * p.x) * core::Cos(twoPi * p.x));
            p.y = F32(p.y + 0.12L * S(pi * p.y) * core::Cos(twoPi * p.y));
            p.z = F32(p.z + 0.12L * S(pi * p.z) * core::Cos(twoPi * p.y));
            break;
        default: break;  // variants 5 to 255 change nothing
    }
}

void Wave(uint8_t variant) {
    if (variant > 4) return;
    for (GenVertex& p : g_state.vertices)
        if (IsSelected(p)) WaveVertex(p, variant);
    PositionsMoved();
}

// Cube n builds 6 faces of 2n x 2n quads; Sphere n 3n rings of 4n segments.
bool RoomFor(size_t quads) { return g_state.quads.size() + quads <= kMaxQuads; }

void RunOperation(uint8_t op, uint8_t param) {
    const size_t n = param;
    switch (op) {
        case kCube:
            if (RoomFor(24 * n * n)) Cube(param);
            break;
        case kGrow: ScaleSelected(1.1L); break;
        case kShrink: ScaleSelected(0.9L); break;
        case kSmooth:
            SmoothFields<3>({&GenVertex::x, &GenVertex::y, &GenVertex::z});
            PositionsMoved();
            break;
        case kWave: Wave(param); break;
        case kSmoothTexture: SmoothFields<2>({&GenVertex::u, &GenVertex::v}); break;
        case kSphere:
            if (RoomFor(12 * n * n)) Sphere(param);
            break;
        default: break;  // 7 to 253: no operation
    }
}

// Reads the body of a SelectBox record (after its first 255). A record cut off by the end of
// the program is ignored whole.
void SelectBox(core::ByteReader& r) {
    if (r.Remaining() < kSelectBoxBodyBytes) {
        r.Skip(r.Remaining());
        return;
    }
    for (float& bound : g_state.box) r.ReadF32(bound);
    uint8_t close = 0;
    r.ReadU8(close);
    if (close != kSelectBox) platform::ShowMessage("hmm", "error");
    g_state.selectionOn = true;
}

// Unit normal of corner p from its two sides (pn - p) x (pp - p), length rounded to float32,
// each component stored as its absolute value.
void CornerNormal(const GenVertex& p, const GenVertex& pn, const GenVertex& pp, ModelVertex& out) {
    Extended ax = Extended(pn.x) - p.x, ay = Extended(pn.y) - p.y, az = Extended(pn.z) - p.z;
    Extended bx = Extended(pp.x) - p.x, by = Extended(pp.y) - p.y, bz = Extended(pp.z) - p.z;
    Extended cx = ay * bz - az * by, cy = az * bx - ax * bz, cz = ax * by - ay * bx;
    float length = F32(std::sqrt(cx * cx + cy * cy + cz * cz));
    if (length != 0) {
        cx /= length;
        cy /= length;
        cz /= length;
    }
    out.nx = std::fabs(F32(cx));
    out.ny = std::fabs(F32(cy));
    out.nz = std::fabs(F32(cz));
}

}  // namespace

bool Near(float a, float b) { return std::fabs(Extended(a) - Extended(b)) < kWeldTolerance; }

bool TwoOfThree(const GenCorner& p, const GenCorner& q) {
    bool nx = Near(p.x, q.x), ny = Near(p.y, q.y), nz = Near(p.z, q.z);
    return (nx && ny) || (nx && nz) || (ny && nz);
}

int32_t FindVertex(float x, float y, float z) {
    State& s = g_state;
    if (s.lookup) return s.lookup(s.vertices, x, y, z);
    return GridFind(x, y, z);
}

int32_t AddVertex(float x, float y, float z, float u, float v) {
    State& s = g_state;
    GenVertex p;
    p.x = x, p.y = y, p.z = z, p.u = u, p.v = v;
    s.vertices.push_back(std::move(p));
    int32_t index = int32_t(s.vertices.size() - 1);
    GridAdd(s.grid, s.vertices, index);
    return index;
}

void AddQuad(const GenCorner& c0, const GenCorner& c1, const GenCorner& c2, const GenCorner& c3) {
    State& s = g_state;
    const GenCorner* c[4] = {&c0, &c1, &c2, &c3};
    GenQuad quad;
    for (int i = 0; i < 4; ++i) {
        int32_t found = FindVertex(c[i]->x, c[i]->y, c[i]->z);
        quad[size_t(i)] =
            found >= 0 ? found : AddVertex(c[i]->x, c[i]->y, c[i]->z, c[i]->u, c[i]->v);
    }
    s.quads.push_back(quad);
    // A search for a corner's position now would return its slot's vertex again: the corners
    // are finite, and no vertex before the found one has moved, so the slots serve directly.
    static constexpr int kPairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
    for (const auto& pair : kPairs) {
        if (!TwoOfThree(*c[pair[0]], *c[pair[1]])) continue;
        GenVertex& a = s.vertices[size_t(quad[size_t(pair[0])])];
        a.neighbours.push_back(quad[size_t(pair[1])]);
        ++a.neighbourCount;
        GenVertex& b = s.vertices[size_t(quad[size_t(pair[1])])];
        b.neighbours.push_back(quad[size_t(pair[0])]);
        ++b.neighbourCount;
    }
}

void AddCorner(float x, float y, float z, float u, float v) {
    State& s = g_state;
    s.cornerBuffer[s.cornerFill & 3] = GenCorner{x, y, z, u, v};
    if (++s.cornerFill < 4) return;
    s.cornerFill = 0;
    AddQuad(s.cornerBuffer[0], s.cornerBuffer[1], s.cornerBuffer[2], s.cornerBuffer[3]);
}

void RunObjectProgram(std::span<const uint8_t> program) {
    State& s = g_state;
    s.vertices.clear();
    s.quads.clear();
    s.grid.valid = false;
    s.selectionOn = false;
    core::ByteReader r(program);
    uint8_t op = 0;
    while (r.ReadU8(op)) {
        if (op == kSelectAll) {
            s.selectionOn = false;
        } else if (op == kSelectBox) {
            SelectBox(r);
        } else {
            uint8_t param = 0;  // an operation in the last byte runs with parameter 0
            r.ReadU8(param);
            RunOperation(op, param);
        }
    }
}

void BuildGeneratedModel(std::span<const uint8_t> program, ModelRecord& record) {
    RunObjectProgram(program);
    const State& s = g_state;
    record.primitive = kPrimitiveQuads;
    record.vertices.clear();
    record.vertices.reserve(s.quads.size() * 4);
    for (const GenQuad& q : s.quads) {
        for (size_t c = 0; c < 4; ++c) {
            const GenVertex& p = s.vertices[size_t(q[c])];
            ModelVertex v;
            CornerNormal(p, s.vertices[size_t(q[(c + 1) & 3])], s.vertices[size_t(q[(c + 3) & 3])],
                         v);
            v.x = p.x, v.y = p.y, v.z = p.z, v.u = p.u, v.v = p.v;
            record.vertices.push_back(v);
        }
    }
}

const std::vector<GenVertex>& GeneratedVertices() { return g_state.vertices; }
const std::vector<GenQuad>& GeneratedQuads() { return g_state.quads; }

void SetVertexLookup(VertexLookup lookup) { g_state.lookup = lookup; }

}  // namespace models
