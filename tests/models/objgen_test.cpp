#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "core/byte_reader.h"
#include "core/numeric.h"
#include "models/objgen.h"
#include "platform/message_box.h"
#include "tests/models/objgen_oracle.h"

using namespace models;

namespace {

using Program = std::vector<uint8_t>;

void AppendBox(Program& p, float x0, float y0, float z0, float x1, float y1, float z1,
               uint8_t close = 255) {
    std::string bytes;
    for (float f : {x0, y0, z0, x1, y1, z1}) core::AppendF32(bytes, f);
    p.push_back(255);
    p.insert(p.end(), bytes.begin(), bytes.end());
    p.push_back(close);
}

ModelRecord Build(const Program& p) {
    ModelRecord record;
    BuildGeneratedModel(p, record);
    return record;
}

int32_t VertexAt(float x, float y, float z) {
    const auto& vs = GeneratedVertices();
    for (size_t i = 0; i < vs.size(); ++i)
        if (vs[i].x == x && vs[i].y == y && vs[i].z == z) return int32_t(i);
    return -1;
}

std::vector<std::string> g_messages;
void CollectMessage(const std::string& caption, const std::string& text) {
    g_messages.push_back(caption + "/" + text);
}

}  // namespace

TEST(ObjectGenerator, EmptyProgramGivesEmptyQuadModel) {
    ModelRecord m = Build({});
    EXPECT_EQ(m.primitive, 7);
    EXPECT_EQ(m.vertices.size(), size_t(0));
    EXPECT_TRUE(m.vertices.empty());
}

TEST(ObjectGenerator, CubeOfOneHas24QuadsAnd26WeldedVertices) {
    ModelRecord m = Build({kCube, 1});
    EXPECT_EQ(GeneratedQuads().size(), 24u);
    EXPECT_EQ(GeneratedVertices().size(), 26u);  // 8 corners, 12 edge midpoints, 6 face centres
    EXPECT_EQ(m.vertices.size(), size_t(96));
    EXPECT_EQ(m.vertices.size(), 96u);
}

TEST(ObjectGenerator, ZeroSizedShapesAddNothing) {
    Build({kCube, 0, kSphere, 0});
    EXPECT_TRUE(GeneratedQuads().empty());
    EXPECT_TRUE(GeneratedVertices().empty());
}

TEST(ObjectGenerator, ShapesPastTheQuadLimitAreSkipped) {
    // Cube 209 builds 1,048,344 quads; Cube 4 (384) would pass the limit, Cube 3 (216) fits.
    Build({kCube, 209, kCube, 4, kSphere, 255, kCube, 3});
    EXPECT_EQ(GeneratedQuads().size(), 1'048'344u + 216u);
    EXPECT_LE(GeneratedQuads().size(), kMaxQuads);
}

TEST(ObjectGenerator, GridPointsCloserThanTheToleranceWeld) {
    Build({kCube, 5});  // grid step 0.2: every surface grid point stays apart
    EXPECT_EQ(GeneratedVertices().size(), 6u * 10 * 10 + 2);
    Build({kCube, 11});  // grid step 2/22 < 0.1: neighbouring points merge
    EXPECT_EQ(GeneratedQuads().size(), 6u * 22 * 22);
    EXPECT_LT(GeneratedVertices().size(), 6u * 22 * 22 + 2);
}

TEST(ObjectGenerator, SphereWeldsPolesAndSeam) {
    Build({kSphere, 1});  // 3 rings x 4 segments
    EXPECT_EQ(GeneratedQuads().size(), 12u);
    EXPECT_EQ(GeneratedVertices().size(), 10u);  // two poles and two rings of four
    // The seam corner at b' = 1 welds to the one made first at b = 0 and keeps its u, v.
    const auto& quads = GeneratedQuads();
    const auto& vs = GeneratedVertices();
    int32_t seam = quads[4 + 3][1];  // ring 1, last segment, corner at b' = 1
    EXPECT_EQ(vs[size_t(seam)].v, 0.0f);
}

TEST(ObjectGenerator, CubeCornerSmoothsToFiveSevenths) {
    Build({kCube, 1});
    int32_t corner = VertexAt(1, 1, 1);
    ASSERT_GE(corner, 0);
    std::vector<int32_t> nbs = GeneratedVertices()[size_t(corner)].neighbours;
    EXPECT_EQ(GeneratedVertices()[size_t(corner)].neighbourCount, 6);
    std::sort(nbs.begin(), nbs.end());
    int32_t a = VertexAt(0, 1, 1), b = VertexAt(1, 0, 1), c = VertexAt(1, 1, 0);
    std::vector<int32_t> expected = {a, a, b, b, c, c};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(nbs, expected);

    Build({kCube, 1, kSmooth, 0});
    const GenVertex& p = GeneratedVertices()[size_t(corner)];
    EXPECT_EQ(p.x, float(5.0L / 7));
    EXPECT_EQ(p.y, float(5.0L / 7));
    EXPECT_EQ(p.z, float(5.0L / 7));
}

TEST(ObjectGenerator, PlainCubeNormalsAreUnitAxesOnBothSides) {
    ModelRecord m = Build({kCube, 2});
    for (const ModelVertex& v : m.vertices) {
        // The face normal along the constant coordinate, positive on both opposite faces.
        float ex = std::fabs(v.x) == 1 ? 1.f : 0.f, ey = std::fabs(v.y) == 1 ? 1.f : 0.f,
              ez = std::fabs(v.z) == 1 ? 1.f : 0.f;
        EXPECT_EQ(v.nx + v.ny + v.nz, 1.0f);
        EXPECT_TRUE((v.nx == 1 && ex == 1) || (v.ny == 1 && ey == 1) || (v.nz == 1 && ez == 1));
    }
}

TEST(ObjectGenerator, SelectBoxLimitsEditsBoundsIncluded) {
    Build({kCube, 1});
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): a copy; Build replaces them
    const std::vector<GenVertex> before = GeneratedVertices();
    Program p = {kCube, 1};
    AppendBox(p, 0, 0, 0, 1, 1, 1);
    p.insert(p.end(), {kGrow, 0});
    Build(p);
    const auto& after = GeneratedVertices();
    ASSERT_EQ(after.size(), 26u);
    int grown = 0;
    for (size_t k = 0; k < after.size(); ++k) {
        const GenVertex& v = before[k];
        bool inside = v.x >= 0 && v.x <= 1 && v.y >= 0 && v.y <= 1 && v.z >= 0 && v.z <= 1;
        float f = inside ? 1.1f : 1.0f;
        grown += inside;
        EXPECT_EQ(after[k].x, v.x * f);
        EXPECT_EQ(after[k].y, v.y * f);
        EXPECT_EQ(after[k].z, v.z * f);
    }
    EXPECT_EQ(grown, 7);  // (1,1,1), its three edge midpoints, three face centres

    // An inverted box selects nothing; SelectAll switches the selection off again.
    Program inverted = {kCube, 1};
    AppendBox(inverted, 1, -2, -2, -1, 2, 2);
    inverted.insert(inverted.end(), {kGrow, 0, kSmooth, 0, kWave, 1});
    Build(inverted);
    for (const GenVertex& v : GeneratedVertices())
        EXPECT_TRUE(std::fabs(v.x) <= 1 && std::fabs(v.y) <= 1 && std::fabs(v.z) <= 1);
    inverted.insert(inverted.end(), {kSelectAll, kGrow, 0});
    Build(inverted);
    EXPECT_GE(VertexAt(1.1f, 1.1f, 1.1f), 0);
}

TEST(ObjectGenerator, BadBoxEndShowsMessageAndStillSelects) {
    g_messages.clear();
    platform::SetMessageSink(CollectMessage);
    Program p = {kCube, 1};
    AppendBox(p, 0, 0, 0, 1, 1, 1, /*close=*/7);
    p.insert(p.end(), {kGrow, 0});
    Build(p);
    platform::SetMessageSink(nullptr);
    EXPECT_EQ(g_messages, std::vector<std::string>{"hmm/error"});
    EXPECT_GE(VertexAt(1.1f, 1.1f, 1.1f), 0);
    EXPECT_GE(VertexAt(-1, -1, -1), 0);
}

TEST(ObjectGenerator, TruncatedBoxIsIgnoredAndLastOperationTakesParameterZero) {
    g_messages.clear();
    platform::SetMessageSink(CollectMessage);
    Program p = {kCube, 1};
    AppendBox(p, 5, 5, 5, 6, 6, 6);
    p.pop_back();  // the closing byte is missing: the record is cut off
    Build(p);
    EXPECT_EQ(GeneratedVertices().size(), 26u);

    Build({kCube, 1, kGrow});  // the Grow in the last byte still runs
    platform::SetMessageSink(nullptr);
    EXPECT_TRUE(g_messages.empty());
    EXPECT_GE(VertexAt(1.1f, 1.1f, 1.1f), 0);
}

TEST(ObjectGenerator, WaveMovesCoordinatesInTurn) {
    Build({kCube, 2, kWave, 0});
    // (0.5, -1, -1): x + 0.1 sin(pi * 1.5) = 0.4; y, z + 0.1 sin(0) stay.
    EXPECT_GE(VertexAt(float(0.5L + 0.1L * core::Sin(1.5L * 3.14159265358979323846L)), -1, -1), 0);
    // Variant 3 on (1, 0.5, 1): x' = 1 + 0.12 sin(pi), y' = 0.5 + 0.12 sin(pi/2 * x'), and
    // z uses y'.
    Build({kCube, 2, kWave, 3});
    const long double pi = 3.14159265358979323846264338327950288L;
    float x1 = float(1 + 0.12L * core::Sin(pi * 1 * 1));
    float y1 = float(0.5L + 0.12L * core::Sin(pi * 0.5L * x1));
    float z1 = float(1 + 0.12L * core::Sin(pi * 1 * y1));
    EXPECT_GE(VertexAt(x1, y1, z1), 0);
    // Unknown variants and operations change nothing.
    Build({kCube, 1, kWave, 5, 7, 9, 253, 0});
    EXPECT_GE(VertexAt(1, 1, 1), 0);
    EXPECT_EQ(GeneratedVertices().size(), 26u);
}

TEST(ObjectGenerator, SmoothTextureAveragesUVOnly) {
    Build({kCube, 1, kSmoothTexture, 0});
    EXPECT_GE(VertexAt(1, 1, 1), 0);  // positions untouched
    Build({kCube, 1});
    std::vector<GenVertex> before = GeneratedVertices();
    Build({kCube, 1, kSmoothTexture, 0});
    const auto& after = GeneratedVertices();
    for (size_t k = 0; k < before.size(); ++k) {
        long double su = before[k].u, sv = before[k].v;
        for (int32_t nb : before[k].neighbours)
            su += before[size_t(nb)].u, sv += before[size_t(nb)].v;
        EXPECT_EQ(after[k].u, float(su / (before[k].neighbourCount + 1)));
        EXPECT_EQ(after[k].v, float(sv / (before[k].neighbourCount + 1)));
    }
}

TEST(ObjectGenerator, SameProgramTwiceGivesIdenticalModels) {
    Program p = {kSphere, 2, kCube, 1, kWave, 2, kSmooth, 0};
    ModelRecord a = Build(p), b = Build(p);
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    EXPECT_EQ(std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * 32), 0);
}

// FNV-1a over the vertex list: a golden value that pins every rounding step of the operations.
TEST(ObjectGenerator, GoldenChecksumOfAnEditedModel) {
    Program p = {kSphere, 3, kCube, 2};
    AppendBox(p, -0.5f, -2, -2, 2, 0.75f, 2);
    p.insert(p.end(), {kWave, 2, kSmooth, 0, kSmoothTexture, 0, kSelectAll, kWave, 4, kWave, 3,
                       kWave, 0, kWave, 1, kShrink, 0});
    ModelRecord m = Build(p);
    uint64_t h = 0xcbf29ce484222325ull;
    const auto* bytes = reinterpret_cast<const uint8_t*>(m.vertices.data());
    for (size_t i = 0; i < m.vertices.size() * sizeof(ModelVertex); ++i)
        h = (h ^ bytes[i]) * 0x100000001b3ull;
    EXPECT_EQ(m.vertices.size(), size_t(4 * (108 + 96)));
    EXPECT_EQ(h, 0x3a327cc1cecc6877ull) << std::hex << h;
}

// --- the grid lookup against the plain scan of the whole list

namespace {

Program RandomProgram(std::mt19937& rng) {
    Program p;
    std::uniform_int_distribution<int> pick(0, 99), small(0, 3), byte(0, 255);
    std::uniform_real_distribution<float> coord(-1.6f, 1.6f);
    int records = 1 + small(rng) * 3;
    for (int i = 0; i < records; ++i) {
        int r = pick(rng);
        if (r < 20) p.insert(p.end(), {kCube, uint8_t(small(rng) + (r % 3 == 0 ? 3 : 0))});
        else if (r < 35) p.insert(p.end(), {kSphere, uint8_t(small(rng) + 1)});
        else if (r < 45) p.insert(p.end(), {kGrow, uint8_t(byte(rng))});
        else if (r < 52) p.insert(p.end(), {kShrink, 0});
        else if (r < 62) p.insert(p.end(), {kSmooth, 0});
        else if (r < 67) p.insert(p.end(), {kSmoothTexture, 0});
        else if (r < 80) p.insert(p.end(), {kWave, uint8_t(small(rng) + (r & 1) * 2)});
        else if (r < 92) {
            float a = coord(rng), b = coord(rng), c = coord(rng);
            AppendBox(p, a, b, c, a + coord(rng) + 1.6f, b + coord(rng) + 1.6f, c + 1.5f);
        } else if (r < 96) p.push_back(kSelectAll);
        else p.insert(p.end(), {uint8_t(7 + byte(rng) % 247), uint8_t(byte(rng))});
    }
    return p;
}

void ExpectSameAsOracle(const Program& p) {
    ModelRecord fast, slow;
    BuildGeneratedModel(p, fast);
    std::vector<GenVertex> fastVertices = GeneratedVertices();
    oracle::BuildWithLinearScan(p, slow);
    const std::vector<GenVertex>& slowVertices = GeneratedVertices();
    ASSERT_EQ(fast.vertices.size(), slow.vertices.size());
    ASSERT_EQ(fastVertices.size(), slowVertices.size());
    EXPECT_EQ(std::memcmp(fast.vertices.data(), slow.vertices.data(), fast.vertices.size() * 32),
              0);
    for (size_t k = 0; k < fastVertices.size(); ++k)
        ASSERT_EQ(fastVertices[k].neighbours, slowVertices[k].neighbours) << "vertex " << k;
}

}  // namespace

TEST(ObjectGeneratorWelding, GridMatchesPlainScanOnRandomPrograms) {
    std::mt19937 rng(20261207);
    for (int i = 0; i < 300; ++i) {
        Program p = RandomProgram(rng);
        SCOPED_TRACE("program " + std::to_string(i));
        ExpectSameAsOracle(p);
        if (HasFatalFailure()) return;
    }
}

TEST(ObjectGeneratorWelding, GridMatchesPlainScanAfterOverflowAndNaN) {
    // Growing 1000 times pushes the cube to infinity, the wave turns it into NaN; new shapes
    // must not weld with any of those vertices.
    Program p = {kCube, 1};
    AppendBox(p, 0.5f, -2, -2, 2, 2, 2);
    for (int i = 0; i < 1000; ++i) p.insert(p.end(), {kGrow, 0});
    p.insert(p.end(), {kSelectAll, kWave, 2, kCube, 2, kSphere, 2, kSmooth, 0});
    ExpectSameAsOracle(p);
    // Points right on the cell borders of the grid (multiples of 1/4 and 1/8) and just
    // inside 0.1.
    ExpectSameAsOracle({kCube, 4, kShrink, 0, kCube, 4, kGrow, 0, kCube, 8});
    ExpectSameAsOracle({kCube, 10, kSphere, 9, kCube, 12});
    ExpectSameAsOracle({kSphere, 20, kWave, 1, kSphere, 13, kSmooth, 0, kCube, 3});
}
