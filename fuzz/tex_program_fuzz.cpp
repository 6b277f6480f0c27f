// Texture programs: any bytes after the marker are parsed and run, and the texture composed.
// Pass counts and nesting depths are kept small so that one input runs in milliseconds; the
// limits themselves are covered by the generator tests.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "textures/tex_program.h"

using namespace textures;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static GeneratorState* g = NewGeneratorState().release();
    static std::vector<uint8_t> out(kOutputBytes);
    TexProgram program = ParseTexProgram({data, size});
    if (program.operations.size() > 12) program.operations.resize(12);
    for (TexOperation& op : program.operations) {
        auto clampParam = [&](size_t i, int32_t hi) {
            if (i < op.params.size()) op.params[i].value = std::clamp(op.params[i].value, -2, hi);
        };
        if (op.opcode == kBlur) clampParam(0, 2);
        if (op.opcode == kSharpenBlend) clampParam(3, 2);
        if (op.opcode == kNestedSinePlasma) clampParam(3, 8);
    }
    RunTexProgram(*g, program, out.data());
    return 0;
}
