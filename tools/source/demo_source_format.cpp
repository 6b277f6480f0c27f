// `qv dump`: a DemoFile as demo source. Every byte of the file appears in the text, either in
// a structured line or as raw `.byte` data, so that `qv build` gives the same file back.
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "core/byte_reader.h"
#include "demo/object_ops.h"
#include "demo/opcodes.h"
#include "demo/path_string.h"
#include "demo/tex_program.h"
#include "demo/texture_ops.h"
#include "tools/source/demo_source.h"
#include "tools/source/source_text.h"
#include "tools/sync/bake.h"

namespace tools {
namespace {

using srctext::FormatFloat;
using srctext::QuoteBytes;

constexpr const char* kIndent = "    ";
constexpr size_t kHexBytesPerLine = 16;
constexpr size_t kTextBytesPerLine = 48;

// Raw bytes as `.byte` lines: text-like data as quoted strings, the rest as hex numbers.
void WriteRawBytes(std::string& out, std::string_view bytes, const std::string& comment = "") {
    const bool text = srctext::LooksLikeText(bytes);
    const size_t perLine = text ? kTextBytesPerLine : kHexBytesPerLine;
    for (size_t at = 0; at < bytes.size(); at += perLine) {
        std::string_view chunk = bytes.substr(at, perLine);
        out += kIndent;
        out += ".byte";
        if (text) {
            out += ' ' + QuoteBytes(chunk);
        } else {
            for (char c : chunk) out += ' ' + srctext::HexByte(uint8_t(c));
        }
        if (at == 0 && !comment.empty()) out += "  ; " + comment;
        out += '\n';
    }
}

// " length L" for a stored length that the bytes cannot give (a negative one).
std::string LengthSuffix(int32_t storedLength) {
    return storedLength < 0 ? " length " + std::to_string(storedLength) : "";
}

void WriteCount(std::string& out, const char* table, int32_t count) {
    if (count < 0) out += "count " + std::string(table) + ' ' + std::to_string(count) + "\n\n";
}

// A table of texts: its count when negative, one entry per item, then a blank line.
template <typename WriteItem>
void WriteTextTable(std::string& out, const char* table, int32_t count,
                    const std::vector<demo::CountedText>& items, WriteItem writeItem) {
    WriteCount(out, table, count);
    for (size_t i = 0; i < items.size(); ++i) writeItem(i, items[i]);
    if (!items.empty()) out += '\n';
}

// --- scripts --------------------------------------------------------------------------------

// One line of disassembly: a whole instruction, or raw bytes (an undefined opcode, or an
// instruction cut off by the end of the code).
struct ScriptPiece {
    size_t offset = 0;
    size_t size = 0;
    bool instruction = false;
};

std::vector<ScriptPiece> SplitScript(const std::vector<uint8_t>& code) {
    std::vector<ScriptPiece> pieces;
    size_t at = 0;
    while (at < code.size()) {
        const uint8_t op = code[at];
        const size_t length = size_t(demo::InstructionLength(op));
        if (demo::kOpcodes[op].mnemonic.empty()) {
            pieces.push_back({at, 1, false});
            at += 1;
        } else if (at + length > code.size()) {
            pieces.push_back({at, code.size() - at, false});
            at = code.size();
        } else {
            pieces.push_back({at, length, true});
            at += length;
        }
    }
    return pieces;
}

int32_t InlineInt(const std::vector<uint8_t>& code, size_t operandAt) {
    return int32_t(demo::InlineBits(code.data() + operandAt));
}

// Jump targets get labels: a PUSHI right before JMP or JEQ whose value is the start of a line
// (or the end of the code) is written as PUSHI @Ln. Labels are numbered in code order.
std::map<size_t, int> JumpLabels(const std::vector<uint8_t>& code,
                                 const std::vector<ScriptPiece>& pieces) {
    std::map<size_t, int> labels;
    std::vector<bool> lineStart(code.size() + 1, false);
    for (const ScriptPiece& p : pieces) lineStart[p.offset] = true;
    lineStart[code.size()] = true;
    for (size_t i = 0; i + 1 < pieces.size(); ++i) {
        const ScriptPiece& p = pieces[i];
        const ScriptPiece& next = pieces[i + 1];
        if (!p.instruction || code[p.offset] != demo::PUSHI || !next.instruction) continue;
        if (code[next.offset] != demo::JMP && code[next.offset] != demo::JEQ) continue;
        const int32_t target = InlineInt(code, p.offset + 1);
        if (target >= 0 && size_t(target) <= code.size() && lineStart[size_t(target)])
            labels[size_t(target)] = 0;
    }
    int number = 0;
    for (auto& [offset, n] : labels) n = ++number;
    return labels;
}

std::string LabelName(int n) { return "L" + std::to_string(n); }

std::string Instruction(const std::vector<uint8_t>& code, size_t at,
                        const std::map<size_t, int>& labels, bool jumpFollows) {
    const demo::OpcodeInfo& info = demo::kOpcodes[code[at]];
    std::string line(info.mnemonic);
    switch (info.operand) {
        case demo::Inline::Int32: {
            const int32_t v = InlineInt(code, at + 1);
            auto label = v >= 0 && jumpFollows ? labels.find(size_t(v)) : labels.end();
            line +=
                label != labels.end() ? " @" + LabelName(label->second) : ' ' + std::to_string(v);
            break;
        }
        case demo::Inline::Float32: {
            float f;
            std::memcpy(&f, &code[at + 1], 4);
            line += ' ' + FormatFloat(f);
            break;
        }
        case demo::Inline::IntVar:
        case demo::Inline::FloatVar: line += ' ' + std::to_string(code[at + 1]); break;
        case demo::Inline::None: break;
    }
    return line;
}

// offsets: each instruction's byte offset as a comment after it ("; at 12"), where `qv check`
// and the player's error messages name it.
void WriteScriptBody(std::string& out, const demo::Script& script, bool offsets) {
    const std::vector<uint8_t>& code = script.code;
    // A baked script's mark is text after its last jump: one line of it, not instructions.
    const std::optional<sync::BakeMark> mark = sync::ReadBakeMark(script);
    std::vector<ScriptPiece> pieces = SplitScript(
        mark ? std::vector<uint8_t>(code.begin(), code.begin() + long(mark->markAt)) : code);
    if (mark) pieces.push_back({mark->markAt, code.size() - mark->markAt, false});
    const std::map<size_t, int> labels = JumpLabels(code, pieces);
    for (size_t i = 0; i < pieces.size(); ++i) {
        const ScriptPiece& p = pieces[i];
        if (auto label = labels.find(p.offset); label != labels.end())
            out += LabelName(label->second) + ":\n";
        if (p.instruction) {
            const bool jumpFollows = i + 1 < pieces.size() && pieces[i + 1].instruction &&
                                     (code[pieces[i + 1].offset] == demo::JMP ||
                                      code[pieces[i + 1].offset] == demo::JEQ);
            out += kIndent + Instruction(code, p.offset, labels, jumpFollows);
            if (offsets) out += "  ; at " + std::to_string(p.offset);
            out += '\n';
            continue;
        }
        out += std::string(kIndent) + ".byte";
        if (mark && p.offset == mark->markAt) {
            out += ' ' + QuoteBytes(std::string_view(
                             reinterpret_cast<const char*>(code.data()) + p.offset, p.size));
            out += offsets ? "  ; at " + std::to_string(p.offset) + '\n' : "\n";
            continue;
        }
        for (size_t k = 0; k < p.size; ++k) out += ' ' + std::to_string(code[p.offset + k]);
        const std::string_view cut = demo::kOpcodes[code[p.offset]].mnemonic;
        if (offsets) out += "  ; at " + std::to_string(p.offset);
        if (!cut.empty())
            out += std::string(offsets ? ", " : "  ; ") + std::string(cut) +
                   " cut off by the end of the code";
        out += '\n';
    }
    if (auto label = labels.find(code.size()); label != labels.end())
        out += LabelName(label->second) + ":\n";
}

// What a baked script is, as a comment on its directive line.
std::string BakedNote(const demo::Script& script) {
    const std::optional<sync::BakeMark> mark = sync::ReadBakeMark(script);
    if (!mark) return "";
    if (!mark->master) return "  ; baked: sets the float variable of track " + mark->names[0];
    std::string names;
    for (const std::string& n : mark->names) names += (names.empty() ? "" : ", ") + n;
    return "  ; baked from the sync tracks " + (names.empty() ? "(none)" : names) +
           " by qv build: runs their scripts first in every frame";
}

void WriteScripts(std::string& out, const demo::DemoFile& d, bool offsets) {
    WriteCount(out, "scripts", d.scriptCount);
    for (size_t i = 0; i < d.scripts.size(); ++i) {
        out += "script " + std::to_string(i) + LengthSuffix(d.scripts[i].length) +
               BakedNote(d.scripts[i]) + '\n';
        WriteScriptBody(out, d.scripts[i], offsets);
        out += '\n';
    }
}

// --- clips and tracks -----------------------------------------------------------------------

std::string Triple(const char* name, float a, float b, float c) {
    if (FormatFloat(a) == "0" && FormatFloat(b) == "0" && FormatFloat(c) == "0") return "";
    return std::string(" ") + name + ' ' + FormatFloat(a) + ' ' + FormatFloat(b) + ' ' +
           FormatFloat(c);
}

void WriteClipsAndTracks(std::string& out, const demo::DemoFile& d) {
    WriteCount(out, "clips", d.clipCount);
    for (size_t i = 0; i < d.clips.size(); ++i) {
        const demo::Clip& c = d.clips[i];
        out += "clip " + std::to_string(i) + " track " + std::to_string(c.track) + " start " +
               std::to_string(c.start) + " length " + std::to_string(c.length) + " script " +
               std::to_string(c.scriptIndex) +
               Triple("translate", c.translateX, c.translateY, c.translateZ) +
               Triple("rotate", c.rotateX, c.rotateY, c.rotateZ) + '\n';
    }
    if (!d.clips.empty()) out += '\n';

    bool anyTrack = false;
    for (int k = 0; k < demo::kTrackCount; ++k) {
        const auto& record = d.trackRecords[k];
        bool zero = true;
        for (uint8_t b : record) zero = zero && b == 0;
        if (zero) continue;
        out += "track " + std::to_string(k);
        for (uint8_t b : record) out += ' ' + srctext::HexByte(b);
        out += '\n';
        anyTrack = true;
    }
    if (anyTrack) out += '\n';
}

// --- texture sources ------------------------------------------------------------------------

std::string TextureParam(int op, int k, int32_t v) {
    if (demo::IsColourParam(op, k) && v >= 0 && v <= 0xFFFFFF) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%06X", unsigned(v));
        return hex;
    }
    return std::to_string(v);
}

std::string TextureOpName(int op) {
    return op < demo::kTexOpCount ? std::string(demo::kTexOps[size_t(op)].name)
                                  : "Op" + std::to_string(op);
}

// One whole operation from r as a line, or false (r unchanged) when the bytes end inside it.
bool ReadTextureOp(core::ByteReader& r, std::string& line) {
    demo::TexOperation op;
    if (!demo::ReadTexOperation(r, op)) return false;
    line = TextureOpName(op.opcode);
    for (size_t k = 0; k < op.params.size(); ++k) {
        line += ' ' + TextureParam(op.opcode, int(k), op.params[k].value);
        if (!op.params[k].label.empty()) line += ' ' + QuoteBytes(op.params[k].label);
    }
    return true;
}

void WriteTextureProgram(std::string& out, size_t slot, const demo::CountedText& t) {
    core::ByteReader r(core::AsBytes(t.bytes));
    r.pos = 1;  // the marker
    int32_t count = 0;
    r.ReadI32(count);
    std::vector<std::string> ops;
    std::string line;
    while (int64_t(ops.size()) < count && ReadTextureOp(r, line)) ops.push_back(line);

    out += "texture " + std::to_string(slot) + " program" + LengthSuffix(t.storedLength) + '\n';
    if (int64_t(ops.size()) != count)
        out += std::string(kIndent) + ".count " + std::to_string(count) + '\n';
    for (const std::string& op : ops) out += kIndent + op + '\n';
    WriteRawBytes(
        out, std::string_view(t.bytes).substr(r.pos),
        int64_t(ops.size()) == count ? "after the last operation" : "not read as operations");
}

void WriteTextures(std::string& out, const demo::DemoFile& d) {
    WriteTextTable(out, "textures", d.textureCount, d.textureSources,
                   [&out](size_t i, const demo::CountedText& t) {
                       const std::string head = "texture " + std::to_string(i);
                       const std::string length = LengthSuffix(t.storedLength);
                       const uint8_t first = t.bytes.empty() ? 0 : uint8_t(t.bytes[0]);
                       if (t.bytes.empty()) out += head + " target" + length + '\n';
                       else if (first == demo::kTextureNone && t.bytes.size() == 1)
                           out += head + " none" + length + '\n';
                       else if (first == demo::kTextureProgram && t.bytes.size() >= 5)
                           WriteTextureProgram(out, i, t);
                       else if (first != demo::kTextureNone && first != demo::kTextureProgram)
                           out += head + " image " + QuoteBytes(t.bytes) + length + '\n';
                       else out += head + " raw " + QuoteBytes(t.bytes) + length + '\n';
                   });
}

// --- path strings ---------------------------------------------------------------------------

bool ReadSegment(core::ByteReader& r, std::string& line) {
    demo::PathSegment s;
    if (!demo::ReadPathSegment(r, s)) return false;
    line = "segment";
    for (int16_t v : {s.x0, s.y0, s.x1, s.y1, s.cx, s.cy}) line += ' ' + std::to_string(v);
    if (s.unused != 0 || s.unusedByte != 0)
        line += " extra " + std::to_string(s.unused) + ' ' + std::to_string(s.unusedByte);
    return true;
}

void WritePaths(std::string& out, const demo::DemoFile& d) {
    WriteTextTable(
        out, "paths", d.pathCount, d.pathStrings, [&out](size_t i, const demo::CountedText& t) {
            const std::string head = "path " + std::to_string(i);
            if (t.bytes.size() < demo::kPathCountBytes) {
                out += head + " raw " + QuoteBytes(t.bytes) + LengthSuffix(t.storedLength) + '\n';
                return;
            }
            core::ByteReader r(core::AsBytes(t.bytes));
            int32_t count = 0;
            demo::ReadPathCount(r, count);
            std::vector<std::string> segments;
            std::string line;
            while (int(segments.size()) < count && ReadSegment(r, line)) segments.push_back(line);

            out += head + LengthSuffix(t.storedLength) +
                   "  ; x0 y0  x1 y1  cx cy, in 1/400 units, y down\n";
            if (int(segments.size()) != count)
                out += std::string(kIndent) + ".count " + std::to_string(count) + '\n';
            for (const std::string& s : segments) out += kIndent + s + '\n';
            WriteRawBytes(
                out, std::string_view(t.bytes).substr(r.pos),
                int(segments.size()) == count ? "after the last segment" : "not read as segments");
        });
}

// --- model sources --------------------------------------------------------------------------

void WriteObjectProgram(std::string& out, size_t index, const demo::CountedText& t) {
    out += "model " + std::to_string(index) + " program" + LengthSuffix(t.storedLength) + '\n';
    core::ByteReader r(core::AsBytes(t.bytes));
    r.pos = 1;  // the marker
    while (!r.AtEnd()) {
        const uint8_t record = r.bytes[r.pos];
        if (record == demo::kSelectAll) {
            r.pos += 1;
            out += std::string(kIndent) + "SelectAll\n";
        } else if (record == demo::kSelectBox) {
            if (r.Remaining() < 1 + demo::kSelectBoxBodyBytes) break;
            r.pos += 1;
            std::string line = "SelectBox";
            for (int k = 0; k < 6; ++k) {
                float f = 0;
                r.ReadF32(f);
                line += ' ' + FormatFloat(f);
            }
            uint8_t end = 0;
            r.ReadU8(end);
            if (end != demo::kSelectBox) line += " end " + std::to_string(end);
            out += kIndent + line + '\n';
        } else {
            if (r.Remaining() < 2) break;
            const uint8_t param = r.bytes[r.pos + 1];
            r.pos += 2;
            std::string line = record < demo::kObjectOpCount
                                   ? std::string(demo::kObjectOps[record].name)
                                   : "Op" + std::to_string(record);
            if (demo::ObjectOpUsesParameter(record) || param != 0)
                line += ' ' + std::to_string(param);
            out += kIndent + line + '\n';
        }
    }
    WriteRawBytes(out, std::string_view(t.bytes).substr(r.pos), "a record cut off by the end");
}

void WriteModels(std::string& out, const demo::DemoFile& d) {
    WriteTextTable(out, "models", d.modelCount, d.modelSources,
                   [&out](size_t i, const demo::CountedText& t) {
                       const std::string head = "model " + std::to_string(i);
                       const std::string length = LengthSuffix(t.storedLength);
                       if (t.bytes.empty()) out += head + " raw \"\"" + length + '\n';
                       else if (uint8_t(t.bytes[0]) == demo::kModelProgram)
                           WriteObjectProgram(out, i, t);
                       else if (uint8_t(t.bytes[0]) == demo::kModelObj)
                           out += head + " obj " + QuoteBytes(std::string_view(t.bytes).substr(1)) +
                                  length + '\n';
                       else out += head + " file " + QuoteBytes(t.bytes) + length + '\n';
                   });
}

}  // namespace

std::string FormatDemoSource(const demo::DemoFile& d, bool offsets) {
    std::string out =
        "; Quorvanel demo source (qv dump); qv build turns it back into the demo file.\n\n";
    out += "title " + QuoteBytes(d.title) + "\n\n";
    WriteScripts(out, d, offsets);
    WriteClipsAndTracks(out, d);
    WriteTextures(out, d);
    WritePaths(out, d);
    out += "variables ints " + std::to_string(d.intVarCount) + " floats " +
           std::to_string(d.floatVarCount) + '\n';
    out +=
        "music " + QuoteBytes(d.musicFile.bytes) + LengthSuffix(d.musicFile.storedLength) + "\n\n";
    WriteModels(out, d);
    out += "trailing" + LengthSuffix(d.trailingScript.length) + '\n';
    WriteScriptBody(out, d.trailingScript, offsets);
    if (!d.bytesAfterEnd.empty()) {
        out += "\nafter-end\n";
        WriteRawBytes(out, d.bytesAfterEnd);
    }
    return out;
}

}  // namespace tools
