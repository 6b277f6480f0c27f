// The script assembler of the demo source: the lines of a `script` block, one instruction or
// label each, into bytecode through the one opcode table. A jump target written `@label` is
// filled in when the block ends, so labels may be used before they are defined.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/source/source_line.h"

namespace tools {

struct ScriptAssembler {
    std::vector<uint8_t> code;
    struct Label {
        size_t offset;
        int line;
    };
    std::map<std::string, Label> labels;
    struct Fixup {  // a PUSHI operand that waits for its label's offset
        size_t at;
        std::string label;
        SourcePos pos;
    };
    std::vector<Fixup> fixups;
    // Where each instruction (or `.byte` run) starts: code offset -> its line and column, so
    // that findings about the bytecode point at the source.
    std::map<int64_t, SourcePos> lines;

    // One line from in.at: `label:`, an instruction with its inline operand, or `.byte` data.
    bool Line(LineReader& in);
    // Resolves every `@label` operand; reports each label that was never defined.
    bool Finish(LineReader& in);
};

}  // namespace tools
