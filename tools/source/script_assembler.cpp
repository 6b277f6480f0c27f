#include "tools/source/script_assembler.h"

#include <cctype>

#include "core/byte_reader.h"
#include "core/quote.h"
#include "demo/opcodes.h"
#include "tools/source/reference.h"

namespace tools {

bool ScriptAssembler::Line(LineReader& in) {
    std::string first = in.tokens[in.at].quoted ? "" : in.tokens[in.at].text;
    if (first.size() > 1 && first.back() == ':') {
        const std::string name = first.substr(0, first.size() - 1);
        if (!IsLabelName(name))
            return in.Fail(core::QuoteToken(name) + " is not a label name (letters, digits, _)");
        auto [it, fresh] = labels.emplace(name, Label{code.size(), in.lineNumber});
        if (!fresh)
            return in.Fail("label " + core::QuoteToken(name) + " is defined twice (first at line " +
                           std::to_string(it->second.line) + ")");
        ++in.at;
        if (!in.More()) return true;
    }
    std::string word;
    const size_t wordToken = in.at;
    if (!in.Word(word, "an instruction")) return false;
    lines.emplace(int64_t(code.size()), in.PosOf(wordToken));
    if (word == ".byte") {
        std::string bytes;
        if (!in.RawBytes(bytes)) return false;
        code.insert(code.end(), bytes.begin(), bytes.end());
        return true;
    }
    const int op = demo::FindOpcode(word);
    if (op < 0) {
        std::string upper = word;
        for (char& c : upper) c = char(std::toupper(uint8_t(c)));
        if (demo::FindOpcode(upper) >= 0)
            return in.FailToken(wordToken, "unknown mnemonic " + core::QuoteToken(word) +
                                               " (mnemonics are upper case)");
        return in.FailUnknownWord(wordToken,
                                  "unknown mnemonic " + core::QuoteToken(word) +
                                      DidYouMean(NearestNames(word, NamesOf(NameKind::Mnemonic))));
    }
    code.push_back(uint8_t(op));
    std::string operand;
    switch (demo::kOpcodes[op].operand) {
        case demo::Inline::Int32: {
            int32_t v = 0;
            if (in.More() && !in.tokens[in.at].quoted && in.tokens[in.at].text.starts_with('@')) {
                const std::string label = in.tokens[in.at++].text.substr(1);
                if (!IsLabelName(label))
                    return in.Fail(core::QuoteToken("@" + label) + " does not name a label");
                fixups.push_back({code.size(), label, in.PosOf(in.at - 1)});
            } else if (!in.Bits32(v, word + " operand")) {
                return false;
            }
            core::AppendI32(operand, v);
            break;
        }
        case demo::Inline::Float32: {
            float f;
            if (!in.Float(f, word + " operand")) return false;
            core::AppendF32(operand, f);
            break;
        }
        case demo::Inline::IntVar:
        case demo::Inline::FloatVar: {
            int64_t index;
            if (!in.Integer(index, 0, 255, word + " variable index")) return false;
            operand.push_back(char(index));
            break;
        }
        case demo::Inline::None:
            if (!in.More()) break;
            if (op == demo::JMP || op == demo::JEQ)
                return in.Fail(word +
                               " takes its target from the stack: write PUSHI @label before it");
            if (demo::kOpcodes[op].popInts + demo::kOpcodes[op].popFloats == 0)
                return in.Fail(word + " takes no operands");
            return in.Fail(word + " takes its operands from the stacks, not from its line: push " +
                           DescribeOperands(op) + " before it");
    }
    code.insert(code.end(), operand.begin(), operand.end());
    return in.NoMore();
}

bool ScriptAssembler::Finish(LineReader& in) {
    bool ok = true;
    for (const Fixup& f : fixups) {
        auto label = labels.find(f.label);
        if (label == labels.end()) {
            ok = in.FailAt(f.pos, "undefined label " + core::QuoteToken(f.label));
            continue;
        }
        const uint32_t target = uint32_t(label->second.offset);
        for (int k = 0; k < 4; ++k) code[f.at + size_t(k)] = uint8_t(target >> (8 * k));
    }
    return ok;
}

}  // namespace tools
