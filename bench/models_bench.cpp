// Building generated models: the grid weld lookup against the plain scan of the vertex list,
// for Cube and Sphere at growing n. Target: Sphere n = 40 (19,200 quads) under 50 ms and at
// least 100 times faster than the scan.
#include <benchmark/benchmark.h>

#include "models/objgen.h"
#include "tests/models/objgen_oracle.h"

namespace {

void Build(benchmark::State& state, uint8_t op, models::VertexLookup lookup) {
    const std::vector<uint8_t> program = {op, uint8_t(state.range(0))};
    models::SetVertexLookup(lookup);
    for (auto _ : state) {
        models::ModelRecord record;
        models::BuildGeneratedModel(program, record);
        benchmark::DoNotOptimize(record.vertices.data());
    }
    models::SetVertexLookup(nullptr);
    state.counters["quads"] = double(models::GeneratedQuads().size());
    state.counters["vertices"] = double(models::GeneratedVertices().size());
}

void CubeGrid(benchmark::State& s) { Build(s, demo::kCube, nullptr); }
void CubeScan(benchmark::State& s) { Build(s, demo::kCube, oracle::LinearFindVertex); }
void SphereGrid(benchmark::State& s) { Build(s, demo::kSphere, nullptr); }
void SphereScan(benchmark::State& s) { Build(s, demo::kSphere, oracle::LinearFindVertex); }

}  // namespace

BENCHMARK(CubeGrid)->Arg(2)->Arg(4)->Arg(8)->Arg(16)->Arg(40)->Unit(benchmark::kMillisecond);
BENCHMARK(CubeScan)->Arg(2)->Arg(4)->Arg(8)->Arg(16)->Arg(40)->Unit(benchmark::kMillisecond);
BENCHMARK(SphereGrid)->Arg(5)->Arg(10)->Arg(20)->Arg(40)->Arg(80)->Unit(benchmark::kMillisecond);
BENCHMARK(SphereScan)->Arg(5)->Arg(10)->Arg(20)->Arg(40)->Unit(benchmark::kMillisecond);
