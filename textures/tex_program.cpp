#include "textures/tex_program.h"

#include "core/byte_reader.h"
#include "textures/upload.h"

namespace textures {
namespace {

bool ReadParam(core::ByteReader& r, TexParam& param) {
    uint8_t labelLength;
    return r.ReadI32(param.value) && r.ReadU8(labelLength) && r.ReadText(labelLength, param.label);
}

bool ReadOperation(core::ByteReader& r, TexOperation& op) {
    if (!r.ReadU8(op.opcode) || !r.ReadU8(op.paramCount)) return false;
    op.params.resize(op.paramCount);
    for (TexParam& param : op.params)
        if (!ReadParam(r, param)) return false;
    return true;
}

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

TexProgram ParseTexProgram(std::span<const uint8_t> bytes) {
    core::ByteReader r(bytes);
    TexProgram program;
    if (!r.ReadI32(program.storedCount)) {
        program.complete = false;
        return program;
    }
    // Operations are appended as they are read: a corrupt count allocates nothing extra.
    for (int32_t i = 0; i < program.storedCount; ++i) {
        TexOperation op;
        if (!ReadOperation(r, op)) {
            program.complete = false;
            break;
        }
        program.operations.push_back(std::move(op));
    }
    return program;
}

std::vector<uint8_t> EncodeTexProgram(const std::vector<TexOperation>& operations) {
    std::string out;
    core::AppendI32(out, int32_t(operations.size()));
    for (const TexOperation& op : operations) {
        out.push_back(char(op.opcode));
        out.push_back(char(op.params.size()));
        for (const TexParam& param : op.params) {
            core::AppendI32(out, param.value);
            out.push_back(char(param.label.size()));
            out += param.label;
        }
    }
    return std::vector<uint8_t>(out.begin(), out.end());
}

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
uint8_t* OutputBlock() {
    static uint8_t* block = new uint8_t[kOutputBytes];
    return block;
}
}  // namespace

const uint8_t* GeneratorOutput() { return OutputBlock(); }

uint32_t GenerateTexture(std::span<const uint8_t> programBytes) {
    const TexProgram program = ParseTexProgram(programBytes);
    RunTexProgram(Generator(), program, OutputBlock());
    return UploadMipmapped(kLayerSize, kLayerSize, OutputBlock());
}

}  // namespace textures
