#include "textures/tex_program.h"

#include <memory>

#include "textures/upload.h"

namespace textures {
namespace {

// The operation's parameter values P0, P1, ... in scratch storage reused across operations.
std::span<const int32_t> ValuesOf(const TexOperation& op, std::vector<int32_t>& values) {
    values.clear();
    for (const TexParam& param : op.params) values.push_back(param.value);
    return values;
}

void RunOperations(GeneratorState& g, const TexProgram& program) {
    std::vector<int32_t> values;
    for (const TexOperation& op : program.operations) ExecuteOp(g, op.opcode, ValuesOf(op, values));
}

}  // namespace

void RunTexProgram(GeneratorState& g, const TexProgram& program, uint8_t* out) {
    ClearWorkingImages(g);
    RunOperations(g, program);
    ComposeOutput(g, out);
}

uint64_t RandomDrawsOf(const TexProgram& program) {
    uint64_t draws = 0;
    std::vector<int32_t> values;
    for (const TexOperation& op : program.operations)
        draws += RandomDrawsOf(op.opcode, ValuesOf(op, values));
    return draws;
}

namespace {

struct State {
    std::unique_ptr<uint8_t[]> output;  // the composed image, reserved on first use
};
State g_state;

uint8_t* OutputBlock() {
    if (!g_state.output) g_state.output = std::make_unique<uint8_t[]>(kOutputBytes);
    return g_state.output.get();
}

}  // namespace

const uint8_t* GeneratorOutput() { return OutputBlock(); }

uint32_t GenerateTexture(std::span<const uint8_t> programBytes) {
    const TexProgram program = ParseTexProgram(programBytes);
    RunTexProgram(Generator(), program, OutputBlock());
    return UploadMipmapped(kLayerSize, kLayerSize, OutputBlock());
}

}  // namespace textures
