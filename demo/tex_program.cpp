#include "demo/tex_program.h"

#include "core/byte_reader.h"

namespace demo {
namespace {

bool ReadParam(core::ByteReader& r, TexParam& param) {
    uint8_t labelLength;
    return r.ReadI32(param.value) && r.ReadU8(labelLength) && r.ReadText(labelLength, param.label);
}

}  // namespace

bool ReadTexOperation(core::ByteReader& r, TexOperation& op) {
    const size_t start = r.pos;
    uint8_t paramCount;
    if (!r.ReadU8(op.opcode) || !r.ReadU8(paramCount)) return r.pos = start, false;
    op.params.resize(paramCount);
    for (TexParam& param : op.params)
        if (!ReadParam(r, param)) return r.pos = start, false;
    return true;
}

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
        if (!ReadTexOperation(r, op)) {
            program.complete = false;
            break;
        }
        program.operations.push_back(std::move(op));
    }
    return program;
}

void AppendTexOperation(std::string& out, const TexOperation& op) {
    out.push_back(char(op.opcode));
    out.push_back(char(op.params.size()));
    for (const TexParam& param : op.params) {
        core::AppendI32(out, param.value);
        out.push_back(char(param.label.size()));
        out += param.label;
    }
}

std::vector<uint8_t> EncodeTexProgram(const std::vector<TexOperation>& operations) {
    std::string out;
    core::AppendI32(out, int32_t(operations.size()));
    for (const TexOperation& op : operations) AppendTexOperation(out, op);
    return std::vector<uint8_t>(out.begin(), out.end());
}

}  // namespace demo
