#include "tools/source/reference.h"

#include <algorithm>
#include <cstdint>

#include "core/text.h"
#include "demo/object_ops.h"
#include "demo/opcodes.h"
#include "demo/texture_ops.h"

namespace tools {
namespace {

std::string Count(int n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string InlineOperand(demo::Inline in) {
    switch (in) {
        case demo::Inline::Int32: return "int32 or @label";
        case demo::Inline::Float32: return "float";
        case demo::Inline::IntVar: return "integer variable index 0-255";
        case demo::Inline::FloatVar: return "float variable index 0-255";
        case demo::Inline::None: break;
    }
    return "";
}

std::string Pushes(const demo::OpcodeInfo& o) {
    std::string s;
    if (o.pushInts) s = Count(o.pushInts, "int");
    if (o.pushFloats) s += (s.empty() ? "" : " and ") + Count(o.pushFloats, "float");
    return s.empty() ? "nothing" : s;
}

std::string Range(int32_t lo, int32_t hi, demo::ParamKind kind) {
    if (kind == demo::ParamKind::Unused) return "not read";
    if (lo == demo::kAnyMin && hi == demo::kAnyMax) return "any";
    if (kind == demo::ParamKind::Colour) return "0x000000-0xFFFFFF (red lowest)";
    return std::to_string(lo) + " to " + std::to_string(hi);
}

std::string TexParamList(const demo::TexOpInfo& op, const char* sep) {
    std::string s;
    for (int k = 0; k < op.required; ++k) {
        const demo::TexParamInfo& p = op.params[size_t(k)];
        if (k) s += sep;
        s += "P" + std::to_string(k) + " " + std::string(p.name) + " (" +
             Range(p.min, p.max, p.kind) + ")";
    }
    return s;
}

std::string ObjectParam(const demo::ObjectOpInfo& op) {
    if (op.parameter.empty()) return "ignored";
    return std::string(op.parameter) + " (" + std::to_string(op.min) + " to " +
           std::to_string(op.max) + ")";
}

// The example with its lines joined for a table cell or indented for the terminal.
std::string ExampleLines(std::string_view example, std::string_view sep) {
    std::string s;
    for (char c : example) s += c == '\n' ? std::string(sep) : std::string(1, c);
    return s;
}

// text broken into lines of at most width characters, every line after the first indented.
std::string Wrap(std::string_view text, size_t indent, size_t width) {
    std::string out;
    size_t lineLength = indent;
    while (!text.empty()) {
        const size_t space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        if (lineLength > indent && lineLength + 1 + word.size() > width) {
            out += "\n" + std::string(indent, ' ');
            lineLength = indent;
        } else if (lineLength > indent) {
            out += ' ';
            ++lineLength;
        }
        out += word;
        lineLength += word.size();
        text.remove_prefix(space == std::string_view::npos ? text.size() : space + 1);
    }
    return out;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && core::EditDistanceIgnoringCase(a, b) == 0;
}

std::string InstructionEntry(int code) {
    const demo::OpcodeInfo& o = demo::kOpcodes[size_t(code)];
    const std::string in = InlineOperand(o.operand);
    std::string entry = std::string(o.mnemonic) + " (instruction " + std::to_string(code) + ")\n" +
                        "  inline:  " + (in.empty() ? "none" : in) + "\n" +
                        "  pops:    " + DescribeOperands(code) + ", in push order\n" +
                        "  pushes:  " + Pushes(o) + "\n" + "  does:    " + std::string(o.summary) +
                        "\n";
    if (!o.note.empty()) entry += "  note:    " + Wrap(o.note, 11, 92) + "\n";
    return entry + "  example:\n    " + ExampleLines(o.example, "\n    ") + "\n";
}

std::string TextureOperationEntry(size_t i) {
    const demo::TexOpInfo& op = demo::kTexOps[i];
    return std::string(op.name) + " (texture operation " + std::to_string(i) + ")\n" +
           "  does:    " + std::string(op.summary) + "\n  parameters:\n    " +
           TexParamList(op, "\n    ") + "\n";
}

std::string ObjectOperationEntry(size_t i) {
    const demo::ObjectOpInfo& op = demo::kObjectOps[i];
    return std::string(op.name) + " (object operation " + std::to_string(i) + ")\n" +
           "  does:      " + std::string(op.summary) + "\n  parameter: " + ObjectParam(op) + "\n";
}

// Every entry whose name matches: exactly, or without case when none matches exactly.
std::string EntriesNamed(std::string_view name, bool ignoreCase) {
    auto matches = [&](std::string_view candidate) {
        return ignoreCase ? SameIgnoringCase(candidate, name) : candidate == name;
    };
    std::string entries;
    for (int code = 0; code < 256; ++code)
        if (!demo::kOpcodes[size_t(code)].mnemonic.empty() &&
            matches(demo::kOpcodes[size_t(code)].mnemonic))
            entries += (entries.empty() ? "" : "\n") + InstructionEntry(code);
    for (size_t i = 0; i < demo::kTexOps.size(); ++i)
        if (matches(demo::kTexOps[i].name))
            entries += (entries.empty() ? "" : "\n") + TextureOperationEntry(i);
    for (size_t i = 0; i < demo::kObjectOps.size(); ++i)
        if (matches(demo::kObjectOps[i].name))
            entries += (entries.empty() ? "" : "\n") + ObjectOperationEntry(i);
    return entries;
}

}  // namespace

std::vector<std::string_view> NamesOf(NameKind kind) {
    std::vector<std::string_view> names;
    switch (kind) {
        case NameKind::Mnemonic:
            for (const demo::OpcodeInfo& o : demo::kOpcodes)
                if (!o.mnemonic.empty()) names.push_back(o.mnemonic);
            break;
        case NameKind::TextureOperation:
            for (const demo::TexOpInfo& op : demo::kTexOps) names.push_back(op.name);
            break;
        case NameKind::ObjectOperation:
            for (const demo::ObjectOpInfo& op : demo::kObjectOps) names.push_back(op.name);
            break;
    }
    return names;
}

std::vector<std::string> NearestNames(std::string_view word,
                                      std::span<const std::string_view> candidates) {
    constexpr size_t kLongestName = 64;  // no name is longer; a long word is no typo of one
    if (word.size() > kLongestName) return {};
    const int farthest = std::max(1, int(word.size() / 3));
    int best = farthest + 1;
    std::vector<std::string> nearest;
    for (std::string_view candidate : candidates) {
        const int distance = core::EditDistanceIgnoringCase(word, candidate);
        if (distance > farthest || distance > best) continue;
        if (distance < best) nearest.clear();
        best = distance;
        if (std::find(nearest.begin(), nearest.end(), candidate) == nearest.end())
            nearest.emplace_back(candidate);
    }
    return nearest;
}

std::string DidYouMean(const std::vector<std::string>& names) {
    if (names.empty()) return "";
    std::string text = " (did you mean ";
    for (size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text + "?)";
}

std::string DescribeOperands(int opcode) {
    const demo::OpcodeInfo& o = demo::kOpcodes[size_t(opcode)];
    std::string s;
    if (o.popInts) s = Count(o.popInts, "int") + " (" + std::string(o.intNames) + ")";
    if (o.popFloats)
        s += (s.empty() ? "" : " and ") + Count(o.popFloats, "float") + " (" +
             std::string(o.floatNames) + ")";
    return s.empty() ? "nothing" : s;
}

std::string ReferenceMarkdown() {
    std::string md =
        "# Instruction reference\n\n"
        "Generated from the operation tables in `demo/` by `qv help --markdown`; do not edit "
        "(`cmake --build build --target reference` writes it anew). `qv help NAME` prints one "
        "entry.\n\n"
        "## Script instructions\n\n"
        "Operands come from the stacks unless the instruction has an inline operand on its "
        "line. *Pops* lists them in the order a script pushes them: the last one is on top. "
        "Integers and floats live on two separate stacks, so the order between an int and a "
        "float push does not matter. Each stack holds 32 values.\n\n"
        "The transform (OpenGL's model-view matrix) is set to the identity once per frame, "
        "before track 0, and never between clips: every track's script starts with the "
        "transform the scripts before it left. Wrap what a script moves in `PUSHMATRIX` … "
        "`POPMATRIX`. What else is worth knowing about an instruction is under *Worth "
        "knowing* below the table.\n\n"
        "| Code | Mnemonic | Inline | Pops (push order) | Pushes | Does | Example |\n"
        "|---|---|---|---|---|---|---|\n";
    for (int code = 0; code < 256; ++code) {
        const demo::OpcodeInfo& o = demo::kOpcodes[size_t(code)];
        if (o.mnemonic.empty()) continue;
        const std::string in = InlineOperand(o.operand);
        md += "| " + std::to_string(code) + " | `" + std::string(o.mnemonic) + "` | " +
              (in.empty() ? "–" : in) + " | " + DescribeOperands(code) + " | " + Pushes(o) + " | " +
              std::string(o.summary) + " | `" + ExampleLines(o.example, "` `") + "` |\n";
    }
    md +=
        "\nAll other codes are one-byte no-operations (write them as `.byte N`).\n\n"
        "### Worth knowing\n\n";
    for (const demo::OpcodeInfo& o : demo::kOpcodes)
        if (!o.note.empty())
            md += "- `" + std::string(o.mnemonic) + "`: " + std::string(o.note) + "\n";
    md +=
        "\n"
        "## Texture operations\n\n"
        "One per line of a `texture N program` block: the name, then the parameters P0, P1, "
        "… An operation with fewer parameters than listed is skipped by the player; further "
        "parameters are ignored. The layer is one of the eight layers 0 to 7, which add up "
        "to the texture.\n\n"
        "| Code | Name | Parameters (range) | Does |\n|---|---|---|---|\n";
    for (size_t i = 0; i < demo::kTexOps.size(); ++i) {
        const demo::TexOpInfo& op = demo::kTexOps[i];
        md += "| " + std::to_string(i) + " | `" + std::string(op.name) + "` | " +
              TexParamList(op, "; ") + " | " + std::string(op.summary) + " |\n";
    }
    md +=
        "\n## Object operations\n\n"
        "One per line of a `model N program` block, with one parameter byte; besides them "
        "`SelectAll` and `SelectBox X0 Y0 Z0 X1 Y1 Z1` choose the vertices the operations "
        "1 to 5 change.\n\n"
        "| Code | Name | Parameter (range) | Does |\n|---|---|---|---|\n";
    for (size_t i = 0; i < demo::kObjectOps.size(); ++i) {
        const demo::ObjectOpInfo& op = demo::kObjectOps[i];
        md += "| " + std::to_string(i) + " | `" + std::string(op.name) + "` | " + ObjectParam(op) +
              " | " + std::string(op.summary) + " |\n";
    }
    return md;
}

std::optional<std::string> ReferenceEntry(std::string_view name) {
    std::string entries = EntriesNamed(name, false);
    if (entries.empty()) entries = EntriesNamed(name, true);
    if (entries.empty()) return std::nullopt;
    return entries;
}

}  // namespace tools
