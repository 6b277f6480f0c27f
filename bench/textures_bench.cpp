// Speed of the texture generator: each operation on one 512 x 512 layer (against a plain
// memcpy of a layer and against the literal version kept in the tests), and the texture
// start-up of a demo-like set of programs. Figures and commands: docs/performance.md.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "gl/gl_layer.h"
#include "tests/textures/generator_oracle.h"
#include "textures/tex_program.h"
#include "textures/texmanager.h"

using namespace textures;

namespace {

struct OpCase {
    const char* name;
    uint8_t opcode;
    std::vector<int32_t> params;  // always on layer 0
};

const std::vector<OpCase> kOpCases = {
    {"Fill", kFill, {0x336699, 0, 0}},
    {"Noise", kNoise, {0}},
    {"Blur", kBlur, {0, 0}},
    {"Mosaic", kMosaic, {8, 8, 0}},
    {"SinePlasma", kSinePlasma, {16, 32, 0}},
    {"ColorKeyMask", kColorKeyMask, {0x808080, 120, 0}},
    {"NestedSinePlasma", kNestedSinePlasma, {24, 40, 0, 4, 300, 200}},
    {"ShiftAdd", kShiftAdd, {130, 126, 0, 200}},
    {"VerticalGradient", kVerticalGradient, {0xFF8000, 0x0080FF, 0}},
    {"Rotate", kRotate, {33, 0}},
    {"SineRemap", kSineRemap, {40, 0}},
    {"GreyGain", kGreyGain, {180, 0}},
    {"Disc", kDisc, {256, 256, 200, 0x00FF00, 0}},
    {"SharpenBlend", kSharpenBlend, {-30, 160, 0, 0}},
};

std::unique_ptr<GeneratorState> NoiseState() {
    auto g = std::make_unique<GeneratorState>();
    ClearWorkingImages(*g);
    for (int layer = 0; layer < kLayerCount; ++layer) {
        const std::vector<int32_t> p = {layer};
        ExecuteOp(*g, kNoise, p);
    }
    return g;
}

void BM_MemcpyLayer(benchmark::State& state) {
    std::vector<uint8_t> a(kLayerBytes, 1), b(kLayerBytes);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), kLayerBytes);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kLayerBytes));
}
BENCHMARK(BM_MemcpyLayer)->Unit(benchmark::kMicrosecond);

void BM_Op(benchmark::State& state, const OpCase& op) {
    auto g = NoiseState();
    for (auto _ : state) {
        ExecuteOp(*g, op.opcode, op.params);
        benchmark::ClobberMemory();
    }
}

void BM_LiteralOp(benchmark::State& state, const OpCase& op) {
    auto g = NoiseState();
    for (auto _ : state) {
        oracle::ExecuteOp(*g, op.opcode, op.params);
        benchmark::ClobberMemory();
    }
}

void BM_Compose(benchmark::State& state) {
    auto g = NoiseState();
    std::vector<uint8_t> out(kOutputBytes);
    for (auto _ : state) {
        ComposeOutput(*g, out.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_Compose)->Unit(benchmark::kMicrosecond);

// Sixteen programs in the manner of a demo's texture set: noise and plasmas filtered,
// rotated, masked and layered.
std::vector<std::vector<uint8_t>> DemoLikePrograms() {
    auto op = [](uint8_t opcode, const std::vector<int32_t>& values) {
        TexOperation o{opcode, {}};
        for (int32_t v : values) o.params.push_back({v, "p"});
        return o;
    };
    std::vector<std::vector<TexOperation>> programs = {
        {op(kNoise, {0}), op(kBlur, {2, 0}), op(kGreyGain, {200, 0})},
        {op(kSinePlasma, {16, 16, 0}), op(kSineRemap, {64, 0}), op(kFill, {0x200000, 0, 1})},
        {op(kNoise, {0}), op(kMosaic, {16, 16, 0}), op(kBlur, {1, 0}),
         op(kShiftAdd, {130, 130, 0, 255})},
        {op(kNestedSinePlasma, {20, 28, 0, 3, 200, 170}), op(kRotate, {45, 0}),
         op(kVerticalGradient, {0x000040, 0x400000, 1})},
        {op(kFill, {0, 0, 0}), op(kDisc, {256, 256, 180, 0xFFFFFF, 0}), op(kBlur, {3, 0}),
         op(kColorKeyMask, {0, 200, 0})},
        {op(kNoise, {0}), op(kSharpenBlend, {-40, 200, 0, 1}), op(kGreyGain, {140, 0})},
        {op(kVerticalGradient, {0xFF8000, 0x000080, 0}), op(kSinePlasma, {32, 8, 1}),
         op(kSineRemap, {10, 1})},
        {op(kNoise, {2}), op(kBlur, {4, 2}), op(kGreyGain, {255, 2}), op(kRotate, {30, 2})},
        {op(kSinePlasma, {48, 48, 0}), op(kMosaic, {32, 32, 0}), op(kShiftAdd, {140, 120, 0, 128})},
        {op(kNoise, {0}), op(kBlur, {0, 0}), op(kSineRemap, {128, 0}),
         op(kColorKeyMask, {0x808080, 60, 0})},
        {op(kDisc, {100, 100, 60, 0xFF, 0}), op(kDisc, {400, 300, 90, 0xFF00, 1}),
         op(kBlur, {2, 0}), op(kBlur, {2, 1})},
        {op(kNestedSinePlasma, {8, 12, 3, 5, 250, 250}), op(kGreyGain, {200, 3})},
        {op(kNoise, {0}), op(kNoise, {1}), op(kGreyGain, {128, 0}),
         op(kShiftAdd, {129, 129, 1, 255})},
        {op(kVerticalGradient, {0xFFFFFF, 0, 0}), op(kRotate, {90, 0}),
         op(kSharpenBlend, {20, 128, 0, 0})},
        {op(kSinePlasma, {8, 64, 5}), op(kRotate, {12, 5}), op(kMosaic, {4, 4, 5})},
        {op(kNoise, {0}), op(kMosaic, {2, 2, 0}), op(kBlur, {1, 0}), op(kSineRemap, {30, 0}),
         op(kFill, {0x101010, 0, 6})},
    };
    std::vector<std::vector<uint8_t>> bytes;
    bytes.reserve(programs.size());
    for (const auto& p : programs) bytes.push_back(EncodeTexProgram(p));
    return bytes;
}

void BM_DemoTextureStartup(benchmark::State& state) {
    const auto programs = DemoLikePrograms();
    auto g = std::make_unique<GeneratorState>();
    ClearWorkingImages(*g);
    std::vector<uint8_t> out(kOutputBytes);
    for (auto _ : state) {
        g->random = 0;
        for (const auto& p : programs) RunTexProgram(*g, ParseTexProgram(p), out.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_DemoTextureStartup)->Unit(benchmark::kMillisecond);

// The manager's whole start-up of the same set through the GL recorder, whose SHA-256 of every
// uploaded image stands in for the driver's mipmap building: worker threads (range(0)) run the
// programs while the main thread uploads.
void BM_LoadAllTextures(benchmark::State& state) {
    demo::DemoFile demo;
    for (const auto& p : DemoLikePrograms())
        demo.textureSources.push_back(
            {int32_t(p.size() + 1), "\x02" + std::string(p.begin(), p.end())});
    demo.textureCount = int32_t(demo.textureSources.size());
    SetTextureWorkers(int32_t(state.range(0)));
    gl::UseRecorder(nullptr);
    for (auto _ : state) {
        Generator().random = 0;
        LoadAllTextures(demo);
    }
    SetTextureWorkers(-1);
}
BENCHMARK(BM_LoadAllTextures)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DemoTextureStartupLiteral(benchmark::State& state) {
    const auto programs = DemoLikePrograms();
    auto g = std::make_unique<GeneratorState>();
    std::vector<uint8_t> out(kOutputBytes);
    std::vector<int32_t> values;
    for (auto _ : state) {
        g->random = 0;
        for (const auto& bytes : programs) {
            oracle::ClearWorkingImages(*g);
            for (const TexOperation& op : ParseTexProgram(bytes).operations) {
                values.clear();
                for (const TexParam& p : op.params) values.push_back(p.value);
                oracle::ExecuteOp(*g, op.opcode, values);
            }
            oracle::ComposeOutput(*g, out.data());
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_DemoTextureStartupLiteral)->Unit(benchmark::kMillisecond)->Iterations(2);

const int kRegistered = [] {
    for (const OpCase& op : kOpCases) {
        benchmark::RegisterBenchmark((std::string("BM_Op/") + op.name).c_str(), BM_Op, op)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((std::string("BM_LiteralOp/") + op.name).c_str(), BM_LiteralOp,
                                     op)
            ->Unit(benchmark::kMicrosecond)
            ->Iterations(3);
    }
    return 0;
}();

}  // namespace

BENCHMARK_MAIN();
