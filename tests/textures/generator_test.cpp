#include "textures/generator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "tests/textures/generator_oracle.h"

using namespace textures;

namespace {

GeneratorStatePtr FreshState() { return NewGeneratorState(); }

void Apply(GeneratorState& g, uint8_t op, std::vector<int32_t> params) { ExecuteOp(g, op, params); }

const uint8_t* Pixel(const GeneratorState& g, int layer, int x, int y) {
    return g.layers[layer] + (y * 512 + x) * 3;
}

std::vector<uint8_t> Rgb(const GeneratorState& g, int layer, int x, int y) {
    const uint8_t* p = Pixel(g, layer, x, y);
    return {p[0], p[1], p[2]};
}

// A layer with a distinct colour at every pixel, so moved pixels can be traced.
void PaintCoordinates(GeneratorState& g, int layer) {
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            uint8_t* p = g.layers[layer] + (y * 512 + x) * 3;
            p[0] = uint8_t(x);
            p[1] = uint8_t(y);
            p[2] = uint8_t((x >> 8) | (y >> 8) << 1);
        }
    g.layerUsed[layer] = true;
}

bool SameLayer(const GeneratorState& a, const GeneratorState& b, int layer) {
    return std::memcmp(a.layers[layer], b.layers[layer], kLayerBytes) == 0;
}

}  // namespace

TEST(GenRandom, FirstDrawsFromAFreshStateAndTheFirstNoisePixels) {
    uint32_t state = 0;
    std::vector<uint32_t> draws;
    draws.reserve(6);
    for (int i = 0; i < 6; ++i) draws.push_back(GenRandom(state, 255));
    EXPECT_EQ(draws, (std::vector<uint32_t>{0, 8, 219, 51, 69, 171}));

    auto g = FreshState();
    Apply(*g, kNoise, {3});
    EXPECT_EQ(Rgb(*g, 3, 0, 0), (std::vector<uint8_t>{0, 8, 219}));
    EXPECT_EQ(Rgb(*g, 3, 1, 0), (std::vector<uint8_t>{51, 69, 171}));
}

TEST(GenRandom, JumpAheadMatchesDrawingOneByOne) {
    uint32_t state = 12345;
    for (int i = 0; i < 1000; ++i) GenRandom(state, 255);
    EXPECT_EQ(AdvanceRandomState(12345, 1000), state);
    EXPECT_EQ(AdvanceRandomState(7, 0), 7u);

    auto g = FreshState();
    g->random = 99;
    Apply(*g, kNoise, {0});
    EXPECT_EQ(g->random, AdvanceRandomState(99, kNoiseDraws));
    EXPECT_EQ(RandomDrawsOf(kNoise, std::vector<int32_t>{0}), kNoiseDraws);
    EXPECT_EQ(RandomDrawsOf(kNoise, std::vector<int32_t>{8}), 0u)
        << "a skipped Noise draws nothing";
    EXPECT_EQ(RandomDrawsOf(kFill, std::vector<int32_t>{0, 0, 0}), 0u);
}

TEST(SinePlasma, ZeroFrequenciesGiveGrey128) {
    auto g = FreshState();
    Apply(*g, kSinePlasma, {0, 0, 1});
    for (size_t i = 0; i < kLayerBytes; ++i) ASSERT_EQ(g->layers[1][i], 128) << i;
}

TEST(SineRemap, PhaseZeroMapsQuarterValues) {
    auto g = FreshState();
    uint8_t* L = g->layers[0];
    L[0] = 0, L[1] = 64, L[2] = 128, L[3] = 192;
    Apply(*g, kSineRemap, {0, 0});
    EXPECT_EQ(Rgb(*g, 0, 0, 0), (std::vector<uint8_t>{128, 255, 128}));
    EXPECT_EQ(L[3], 1);
}

TEST(ColorKeyMask, ToleranceTenAroundTheKeyColour) {
    auto g = FreshState();
    const int32_t key = 0x204060;  // red 0x60, green 0x40, blue 0x20
    auto put = [&](int i, int r, int gr, int b) {
        uint8_t* p = g->layers[2] + i * 3;
        p[0] = uint8_t(r), p[1] = uint8_t(gr), p[2] = uint8_t(b);
    };
    put(0, 0x60, 0x40, 0x20);              // d = 1
    put(1, 0x60 + 9, 0x40, 0x20);          // d = 10
    put(2, 0x60 + 9, 0x40 + 20, 0x20);     // d = 30
    put(3, 0x60 + 10, 0x40 + 20, 0x20);    // d = 31
    put(4, 0x60 - 4, 0x40 + 3, 0x20 - 2);  // d = 10
    for (int i = 5; i < 512 * 512; ++i) put(i, 0, 0, 0);
    Apply(*g, kColorKeyMask, {key, 0, 2});
    for (int i = 0; i < 5; ++i) EXPECT_EQ(g->mask[i], 255) << "tolerance 0 changes nothing";
    Apply(*g, kColorKeyMask, {key, 10, 2});
    EXPECT_EQ(g->mask[0], 230);
    EXPECT_EQ(g->mask[1], 0);
    EXPECT_EQ(g->mask[2], 0);
    EXPECT_EQ(g->mask[3], 255);
    EXPECT_EQ(g->mask[4], 0);
}

TEST(VerticalGradient, BlackToWhiteRowsGetTheirGrey) {
    auto g = FreshState();
    Apply(*g, kVerticalGradient, {0xFFFFFF, 0, 4});
    for (int y : {0, 1, 2, 255, 256, 510, 511}) {
        const uint8_t grey = uint8_t(255 * y / 512);
        EXPECT_EQ(Rgb(*g, 4, 300, y), (std::vector<uint8_t>{grey, grey, grey})) << y;
    }
    EXPECT_EQ(Rgb(*g, 4, 0, 511)[0], 254);
}

TEST(Rotate, NinetyDegreesMovesPixelsAndKeepsTheCentre) {
    auto g = FreshState();
    PaintCoordinates(*g, 5);
    auto before = FreshState();
    std::memcpy(before->layers[5], g->layers[5], kLayerBytes);
    Apply(*g, kRotate, {90, 5});
    for (int y = 0; y < 512; y += 37)
        for (int x = 0; x < 512; x += 29)
            ASSERT_EQ(Rgb(*g, 5, x, y), Rgb(*before, 5, y, (512 - x) % 512)) << x << "," << y;
    EXPECT_EQ(Rgb(*g, 5, 256, 256), Rgb(*before, 5, 256, 256));
    Apply(*g, kRotate, {0, 5});
    Apply(*before, kRotate, {90, 5});
    EXPECT_TRUE(SameLayer(*g, *before, 5)) << "a rotation by 0 degrees changes nothing";
}

TEST(Mosaic, BlocksTakeTheirCornerPixelAndUnitBlocksChangeNothing) {
    auto g = FreshState();
    PaintCoordinates(*g, 1);
    auto copy = FreshState();
    std::memcpy(copy->layers[1], g->layers[1], kLayerBytes);
    Apply(*g, kMosaic, {1, 1, 1});
    EXPECT_TRUE(SameLayer(*g, *copy, 1));
    Apply(*g, kMosaic, {8, -16, 1});
    EXPECT_EQ(Rgb(*g, 1, 13, 40), Rgb(*copy, 1, 8, 32));
    EXPECT_EQ(Rgb(*g, 1, 511, 511), Rgb(*copy, 1, 504, 496));
}

TEST(Filters, PassCountsFollowTheExtraPassParameter) {
    auto a = FreshState(), b = FreshState();
    Apply(*a, kNoise, {0});
    Apply(*b, kNoise, {0});
    b->random = 0;
    Apply(*b, kBlur, {-1, 0});
    EXPECT_TRUE(SameLayer(*a, *b, 0)) << "Blur with -1 runs no pass";
    Apply(*b, kSharpenBlend, {-20, 200, 0, -1});
    EXPECT_TRUE(SameLayer(*a, *b, 0)) << "SharpenBlend with -1 runs no pass";

    auto literal = FreshState();
    std::memcpy(literal->layers[0], a->layers[0], kLayerBytes);
    Apply(*a, kBlur, {0, 0});
    oracle::ExecuteOp(*literal, kBlur, std::vector<int32_t>{0, 0});
    EXPECT_TRUE(SameLayer(*a, *literal, 0));
    EXPECT_FALSE(SameLayer(*a, *b, 0)) << "Blur with 0 runs one pass";
}

TEST(Disc, WrapsAroundTheEdgesAndRadiusZeroSetsOnePixel) {
    auto g = FreshState();
    Apply(*g, kDisc, {2, 510, 5, 0x0000FF, 6});
    EXPECT_EQ(Rgb(*g, 6, 2, 510)[0], 255);
    EXPECT_EQ(Rgb(*g, 6, 509, 510)[0], 255) << "continues past the left edge";
    EXPECT_EQ(Rgb(*g, 6, 2, 2)[0], 255) << "continues past the top edge";
    EXPECT_EQ(Rgb(*g, 6, 2, 4)[0], 0);
    EXPECT_EQ(Rgb(*g, 6, 100, 100)[0], 0);

    auto one = FreshState();
    Apply(*one, kDisc, {7, 9, 0, 0x00FF00, 0});
    int lit = 0;
    for (size_t i = 1; i < kLayerBytes; i += 3) lit += one->layers[0][i] != 0;
    EXPECT_EQ(lit, 1);
    EXPECT_EQ(Rgb(*one, 0, 7, 9)[1], 255);
    Apply(*one, kDisc, {7, 9, -1, 0x0000FF, 0});
    EXPECT_EQ(Rgb(*one, 0, 7, 9)[0], 0) << "a negative radius draws nothing";
}

TEST(Generator, MalformedOperationsAndUnknownOpcodesAreSkipped) {
    auto g = FreshState();
    Apply(*g, kNoise, {2});
    auto reference = FreshState();
    std::memcpy(reference.get(), g.get(), sizeof(GeneratorState));
    const std::vector<std::pair<uint8_t, std::vector<int32_t>>> malformed = {
        {kFill, {0xFF, 0, 8}},
        {kFill, {0xFF, 0, -1}},
        {kFill, {0xFF, 0}},
        {kNoise, {}},
        {kMosaic, {0, 4, 2}},
        {kMosaic, {4, 0, 2}},
        {kNestedSinePlasma, {1, 2, 2, 3, 4}},
        {kDisc, {1, 2, 3, 4}},
        {kSharpenBlend, {1, 2, 2}},
        {kBlur, {0}},
        {kRotate, {45, 2147483647}},
        {14, {0, 0, 2}},
        {255, {}},
    };
    for (const auto& [op, params] : malformed) {
        Apply(*g, op, params);
        // Byte for byte, padding included: both copies come from one memcpy.
        // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
        ASSERT_EQ(std::memcmp(g.get(), reference.get(), sizeof(GeneratorState)), 0)
            << "opcode " << int(op) << " with " << params.size() << " parameters";
    }
    EXPECT_FALSE(IsWellFormedOp(kMosaic, std::vector<int32_t>{0, 1, 0}));
    EXPECT_TRUE(IsWellFormedOp(kDisc, std::vector<int32_t>{1, 2, 3, 4, 7, 99}))
        << "parameters past the ones read are ignored";
}

TEST(Generator, ExtremeParametersFinish) {
    auto g = FreshState();
    Apply(*g, kDisc, {-2147483647 - 1, 2147483647, 2147483647, 0x00FF00, 0});
    for (size_t i = 1; i < kLayerBytes; i += 3) ASSERT_EQ(g->layers[0][i], 255) << i;
    Apply(*g, kBlur, {2147483647, 0});  // a flat layer is a fixed point after one pass
    EXPECT_EQ(g->layers[0][1], 255);
    Apply(*g, kNestedSinePlasma, {3, 5, 1, 2147483647, 128, -300});
    Apply(*g, kMosaic, {-2147483647 - 1, 2147483647, 1});
    Apply(*g, kShiftAdd, {-2147483647 - 1, 2147483647, 1, 2147483647});
    Apply(*g, kGreyGain, {-2147483647 - 1, 1});
    SUCCEED();
}

// --- the real generator against the literal one ----------------------------------------

namespace {

// A random operation: mostly well formed with parameters in the ranges demos use, sometimes
// extreme values that exercise the 32-bit wrap-around, sometimes malformed.
std::pair<uint8_t, std::vector<int32_t>> RandomOp(std::mt19937& rng) {
    auto pick = [&](int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
    };
    auto any = [&] { return int32_t(rng()); };
    auto colour = [&] { return pick(0, 9) == 0 ? any() : pick(0, 0xFFFFFF); };
    auto layer = [&] { return pick(0, 20) == 0 ? pick(-2, 10) : pick(0, 7); };
    const uint8_t op = uint8_t(pick(0, 15));
    std::vector<int32_t> p;
    switch (op) {
        case kFill: p = {colour(), any(), layer()}; break;
        case kNoise: p = {layer()}; break;
        case kBlur: p = {pick(-1, 2), layer()}; break;
        case kMosaic: p = {pick(-70, 70), pick(0, 9) == 0 ? any() : pick(-70, 70), layer()}; break;
        case kSinePlasma:
            p = {pick(-200, 200), pick(0, 9) == 0 ? any() : pick(-200, 200), layer()};
            break;
        case kColorKeyMask: p = {colour(), pick(0, 5) == 0 ? any() : pick(-5, 300), layer()}; break;
        case kNestedSinePlasma:
            p = {pick(-100, 100), pick(-100, 100), layer(),
                 pick(-1, 6),     pick(-400, 400), pick(-400, 400)};
            break;
        case kShiftAdd:
            p = {pick(0, 9) == 0 ? any() : pick(0, 300), pick(-600, 600), layer(),
                 pick(0, 5) == 0 ? any() : pick(-600, 600)};
            break;
        case kVerticalGradient: p = {colour(), colour(), layer()}; break;
        case kRotate: p = {pick(0, 9) == 0 ? any() : pick(-720, 720), layer()}; break;
        case kSineRemap: p = {pick(0, 9) == 0 ? any() : pick(-300, 300), layer()}; break;
        case kGreyGain: p = {pick(0, 9) == 0 ? any() : pick(-300, 600), layer()}; break;
        case kDisc:
            p = {pick(-100000, 100000), pick(-100000, 100000),
                 pick(0, 9) == 0 ? pick(-3, 1700) : pick(-3, 300), colour(), layer()};
            break;
        case kSharpenBlend:
            p = {pick(0, 5) == 0 ? any() : pick(-300, 300), pick(0, 5) == 0 ? any() : pick(0, 255),
                 layer(), pick(-1, 1)};
            break;
        default: p = {any(), any(), layer()}; break;
    }
    if (pick(0, 30) == 0 && !p.empty()) p.pop_back();
    return {op, p};
}

}  // namespace

TEST(GeneratorOracle, RandomProgramsMatchTheLiteralOperationsByteForByte) {
    std::mt19937 rng(20261207);
    auto fast = std::make_unique<GeneratorState>();
    auto literal = std::make_unique<GeneratorState>();
    const int kPrograms = 40;
    for (int program = 0; program < kPrograms; ++program) {
        const uint32_t seed = rng();
        fast->random = literal->random = seed;
        ClearWorkingImages(*fast);
        oracle::ClearWorkingImages(*literal);
        // Most programs start from content, as demos do, so the filters see detail.
        if (program % 3 != 2) {
            const std::vector<int32_t> noise = {int32_t(rng() % 8)};
            ExecuteOp(*fast, kNoise, noise);
            oracle::ExecuteOp(*literal, kNoise, noise);
        }
        const int ops = 3 + int(rng() % 4);
        for (int i = 0; i < ops; ++i) {
            const auto [op, params] = RandomOp(rng);
            ExecuteOp(*fast, op, params);
            oracle::ExecuteOp(*literal, op, params);
            for (int l = 0; l < kLayerCount; ++l)
                ASSERT_TRUE(SameLayer(*fast, *literal, l))
                    << "program " << program << " op " << i << " opcode " << int(op) << " layer "
                    << l;
            ASSERT_EQ(std::memcmp(fast->mask, literal->mask, kLayerPixels), 0)
                << "program " << program << " op " << i << " opcode " << int(op);
            ASSERT_EQ(fast->random, literal->random);
        }
        std::vector<uint8_t> composedFast(kOutputBytes), composedLiteral(kOutputBytes);
        ComposeOutput(*fast, composedFast.data());
        oracle::ComposeOutput(*literal, composedLiteral.data());
        ASSERT_EQ(composedFast, composedLiteral) << "program " << program;
    }
}

TEST(GeneratorOracle, EveryOperationOnDetailedContentMatches) {
    // One run of each opcode over noise in all layers, with parameters chosen to reach the
    // overflow-prone arithmetic (huge strengths and gains, wrapped shifts and tolerances).
    const std::vector<std::pair<uint8_t, std::vector<int32_t>>> ops = {
        {kFill, {-1, 0, 0}},
        {kFill, {-16777216 - 300, 0, 1}},
        {kBlur, {3, 2}},
        {kMosaic, {-7, 13, 3}},
        {kSinePlasma, {16, -45, 4}},
        {kColorKeyMask, {0x808080, 800000000, 5}},
        {kColorKeyMask, {0x102030, 90, 6}},
        {kNestedSinePlasma, {40, -30, 7, 4, 300, -170}},
        {kShiftAdd, {-2147483647, 2147483647, 5, 2147483647}},
        {kShiftAdd, {130, 100, 6, -300}},
        {kVerticalGradient, {0x123456, 0xABCDEF, 7}},
        {kRotate, {33, 5}},
        {kRotate, {-2147483647 - 1, 6}},
        {kSineRemap, {77, 5}},
        {kGreyGain, {2147483647, 6}},
        {kGreyGain, {200, 7}},
        {kDisc, {-20, 500, 1600, 0x00FFFF, 3}},
        {kDisc, {2147483647 - 300, 7, 40, 0x0000FF, 4}},
        {kSharpenBlend, {-40, 200, 5, 2}},
        {kSharpenBlend, {2147483647, -2147483647, 6, 0}},
    };
    auto fast = std::make_unique<GeneratorState>();
    auto literal = std::make_unique<GeneratorState>();
    ClearWorkingImages(*fast);
    oracle::ClearWorkingImages(*literal);
    for (int l = 2; l < kLayerCount; ++l) {
        const std::vector<int32_t> noise = {l};
        ExecuteOp(*fast, kNoise, noise);
        oracle::ExecuteOp(*literal, kNoise, noise);
    }
    for (const auto& [op, params] : ops) {
        ExecuteOp(*fast, op, params);
        oracle::ExecuteOp(*literal, op, params);
        for (int l = 0; l < kLayerCount; ++l)
            ASSERT_TRUE(SameLayer(*fast, *literal, l)) << "opcode " << int(op) << " layer " << l;
        ASSERT_EQ(std::memcmp(fast->mask, literal->mask, kLayerPixels), 0) << "opcode " << int(op);
    }
}
