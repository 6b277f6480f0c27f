// Speed of the script interpreter: straight-line drawing code under the recorder with no
// output, and the worst case a frame can meet, an endless CMPSET/JEQ loop that only the
// instruction budget ends.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "demo/opcodes.h"
#include "gl/gl_layer.h"
#include "scripter/scripter.h"

namespace {

using namespace demo;
using namespace scripter;

void Append(std::vector<uint8_t>& code, uint8_t op, const void* operand = nullptr) {
    code.push_back(op);
    if (operand) {
        const auto* bytes = static_cast<const uint8_t*>(operand);
        code.insert(code.end(), bytes, bytes + 4);
    }
}

demo::Script ToScript(std::vector<uint8_t> code) {
    demo::Script s;
    s.length = int32_t(code.size());
    s.code = std::move(code);
    return s;
}

// 1000 vertices: PUSHF x3, VERTEX each (4 instructions per vertex).
demo::Script VertexScript() {
    std::vector<uint8_t> code;
    const float one = 1.0f;
    for (int i = 0; i < 1000; ++i) {
        for (int k = 0; k < 3; ++k) Append(code, PUSHF, &one);
        Append(code, VERTEX);
    }
    return ToScript(std::move(code));
}

// PUSHI 0, PUSHI 0, CMPSET, PUSHI 0, JEQ: back to 0 for ever.
demo::Script EndlessLoop() {
    std::vector<uint8_t> code;
    const int32_t zero = 0;
    Append(code, PUSHI, &zero);
    Append(code, PUSHI, &zero);
    Append(code, CMPSET);
    Append(code, PUSHI, &zero);
    Append(code, JEQ);
    return ToScript(std::move(code));
}

void BM_VertexScript(benchmark::State& state) {
    gl::UseRecorder(nullptr);
    ResetScriptEngine();
    demo::Script s = VertexScript();
    for (auto _ : state) RunScript(s, 0, 0, 0);
    state.SetItemsProcessed(state.iterations() * 4000);  // instructions
}
BENCHMARK(BM_VertexScript);

void BM_EndlessLoopCutByBudget(benchmark::State& state) {
    gl::UseRecorder(nullptr);
    ResetScriptEngine();
    demo::Script s = EndlessLoop();
    for (auto _ : state) RunScript(s, 0, 0, 0);
    state.SetItemsProcessed(state.iterations() * kInstructionBudget);
}
BENCHMARK(BM_EndlessLoopCutByBudget)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
