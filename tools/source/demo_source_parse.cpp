// `qv build`: demo source text into a DemoFile. The text is read line by line; a line that
// starts with a directive keyword opens an item, the lines after it fill the item's block
// (script code, texture or object program, path segments, raw bytes) until the next directive.
// An error ends its line (or, on a directive line, the directive's block), and reading goes on
// with the next line so that one run reports every error, up to kMaxErrors.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <optional>
#include <vector>

#include "core/byte_reader.h"
#include "core/quote.h"
#include "demo/object_ops.h"
#include "demo/opcodes.h"
#include "demo/path_string.h"
#include "demo/tex_program.h"
#include "demo/texture_ops.h"
#include "tools/source/demo_source.h"
#include "tools/source/reference.h"
#include "tools/source/script_assembler.h"
#include "tools/source/source_line.h"
#include "tools/source/source_text.h"

namespace tools {
namespace {

// "OpNN" with NN decimal in [0, limit]; -1 otherwise.
int NumberedOp(std::string_view word, int limit) {
    if (!word.starts_with("Op") || word.size() < 3 || word.size() > 5) return -1;
    int64_t v;
    for (char c : word.substr(2))
        if (c < '0' || c > '9') return -1;
    if (!srctext::ParseInteger(word.substr(2), v) || v > limit) return -1;
    return int(v);
}

template <typename Info, size_t N>
int FindName(const std::array<Info, N>& table, std::string_view word) {
    for (size_t i = 0; i < N; ++i)
        if (table[i].name == word) return int(i);
    return -1;
}

// Skip: the lines after a directive that failed, which would only repeat its error.
enum class BlockKind { None, Script, TextureProgram, Path, ObjectProgram, AfterEnd, Skip };

// The item whose lines are being read. Counted kinds (texture program, path) write their
// count into countAt when the block ends: the operations or segments listed, unless `.count`
// gives another value.
struct Block {
    BlockKind kind = BlockKind::None;
    SourcePos pos;               // of the directive that opened it
    ItemLines* lines = nullptr;  // where each record of its bytes starts
    demo::Script* script = nullptr;
    ScriptAssembler assembler;
    demo::CountedText* text = nullptr;
    size_t countAt = 0;
    int64_t items = 0;
    std::optional<int64_t> countOverride;
    std::optional<int64_t> length;  // `length L` of the directive
};

struct TableCount {
    std::optional<int64_t> stored;
    SourcePos pos;
};

struct SourceParser : LineReader {
    demo::DemoFile& d;
    SourceMap& map;
    SourceExtras& extras;
    Block block;
    std::map<std::string, int> seenOnce;  // directive -> line, for those allowed once
    std::map<std::string, TableCount> counts;
    bool trackSeen[demo::kTrackCount] = {};

    SourceParser(const std::string& name, demo::DemoFile& demo, SourceMap& sourceMap,
                 SourceExtras& sourceExtras)
        : d(demo), map(sourceMap), extras(sourceExtras) {
        fileName = name;
    }

    // A new item of a table, remembered at this directive's line.
    ItemLines& Item(std::vector<ItemLines>& table) {
        ItemLines& item = table.emplace_back();
        item.directive = PosOf(0);
        return item;
    }

    // --- items and their indices ---

    // The optional index after an item keyword must be the next position of the table.
    bool ItemIndex(const char* noun, size_t next) {
        if (!More() || tokens[at].quoted) return true;
        int64_t v;
        if (!srctext::ParseInteger(tokens[at].text, v)) return true;
        ++at;
        if (v != int64_t(next))
            return FailToken(at - 1, std::string(noun) + " " + std::to_string(v) +
                                         " is out of order: the next " + noun + " is " +
                                         std::to_string(next));
        return true;
    }
    bool Once(const std::string& directive) {
        auto [it, fresh] = seenOnce.emplace(directive, lineNumber);
        return fresh || FailToken(0, "second '" + directive + "' (the first is at line " +
                                         std::to_string(it->second) + ")");
    }

    // A stored length given with `length L`: a negative or zero one stands for an empty text;
    // a positive one must be the number of bytes.
    bool StoredLength(std::optional<int64_t> length, size_t size, int32_t& stored, SourcePos pos) {
        if (size > size_t(kInt32Max)) return FailAt(pos, "more than 2147483647 bytes");
        if (!length) {
            stored = int32_t(size);
            return true;
        }
        if (*length <= 0 ? size != 0 : size_t(*length) != size)
            return FailAt(pos, "length " + std::to_string(*length) + " does not match the " +
                                   std::to_string(size) + " bytes given");
        stored = int32_t(*length);
        return true;
    }
    bool SetText(demo::CountedText& t, std::string bytes, std::optional<int64_t> length) {
        t.bytes = std::move(bytes);
        return StoredLength(length, t.bytes.size(), t.storedLength, PosOf(0));
    }

    // --- blocks ---

    bool FinishBlock() {
        Block b = std::move(block);
        block = Block{};
        switch (b.kind) {
            case BlockKind::Script: {
                ScriptAssembler& a = b.assembler;
                if (b.lines) b.lines->at = std::move(a.lines);
                if (!a.Finish(*this) ||
                    !StoredLength(b.length, a.code.size(), b.script->length, b.pos))
                    return false;
                b.script->code = std::move(a.code);
                return true;
            }
            case BlockKind::TextureProgram:
            case BlockKind::Path: {
                const int64_t count = b.countOverride.value_or(b.items);
                if (b.kind == BlockKind::Path) {
                    if (count > INT16_MAX)
                        return FailAt(b.pos, "a path holds at most 32767 segments, not " +
                                                 std::to_string(count));
                    std::string be;
                    demo::AppendPathCount(be, int16_t(count));
                    b.text->bytes.replace(b.countAt, 2, be);
                } else {
                    if (count > kInt32Max) return FailAt(b.pos, "too many operations");
                    std::string le;
                    core::AppendI32(le, int32_t(count));
                    b.text->bytes.replace(b.countAt, 4, le);
                }
                return StoredLength(b.length, b.text->bytes.size(), b.text->storedLength, b.pos);
            }
            case BlockKind::ObjectProgram:
                return StoredLength(b.length, b.text->bytes.size(), b.text->storedLength, b.pos);
            case BlockKind::AfterEnd:
            case BlockKind::Skip:
            case BlockKind::None: return true;
        }
        return true;
    }

    void OpenBlock(BlockKind kind, std::optional<int64_t> length) {
        block = Block{};
        block.kind = kind;
        block.pos = PosOf(0);
        block.length = length;
    }

    // --- texture programs, paths, object programs ---

    bool CountLine(int64_t lo, int64_t hi) {
        if (block.countOverride) return Fail("second .count in this block");
        int64_t v;
        if (!Integer(v, lo, hi, ".count")) return false;
        block.countOverride = v;
        return NoMore();
    }

    bool TextureProgramLine(const std::string& word) {
        int op = FindName(demo::kTexOps, word);
        if (op < 0) op = NumberedOp(word, 255);
        if (op < 0)
            return FailUnknownWord(
                at - 1, "unknown texture operation " + core::QuoteToken(word) +
                            DidYouMean(NearestNames(word, NamesOf(NameKind::TextureOperation))));
        demo::TexOperation record{uint8_t(op), {}};
        while (More()) {
            if (tokens[at].quoted) return Fail("a label must follow a parameter value");
            demo::TexParam param;
            if (!Bits32(param.value, "parameter")) return false;
            if (More() && tokens[at].quoted) param.label = tokens[at++].text;
            if (record.params.size() == demo::kMaxTexParams)
                return Fail("more than 255 parameters");
            if (param.label.size() > size_t(demo::kMaxTexLabelBytes))
                return Fail("label longer than 255 bytes");
            record.params.push_back(std::move(param));
        }
        demo::AppendTexOperation(block.text->bytes, record);
        ++block.items;
        return true;
    }

    bool PathLine(const std::string& word) {
        if (word != "segment")
            return FailUnknownWord(
                at - 1, "expected 'segment', '.count' or '.byte', not " + core::QuoteToken(word));
        demo::PathSegment s;
        const std::pair<int16_t*, const char*> fields[] = {{&s.x0, "x0"}, {&s.y0, "y0"},
                                                           {&s.x1, "x1"}, {&s.y1, "y1"},
                                                           {&s.cx, "cx"}, {&s.cy, "cy"}};
        for (auto [field, name] : fields) {
            int64_t v;
            if (!Integer(v, INT16_MIN, INT16_MAX, name)) return false;
            *field = int16_t(v);
        }
        if (NextIsWord("extra")) {
            ++at;
            int64_t extra, extraByte;
            if (!Integer(extra, INT16_MIN, INT16_MAX, "extra value") ||
                !Integer(extraByte, 0, 255, "extra byte"))
                return false;
            s.unused = int16_t(extra);
            s.unusedByte = uint8_t(extraByte);
        }
        demo::AppendPathSegment(block.text->bytes, s);
        ++block.items;
        return NoMore();
    }

    bool ObjectProgramLine(const std::string& word) {
        std::string& out = block.text->bytes;
        if (word == "SelectAll") {
            out.push_back(char(demo::kSelectAll));
            return NoMore();
        }
        if (word == "SelectBox") {
            static const char* const kNames[] = {"min x", "min y", "min z",
                                                 "max x", "max y", "max z"};
            out.push_back(char(demo::kSelectBox));
            for (const char* name : kNames) {
                float f;
                if (!Float(f, name)) return false;
                core::AppendF32(out, f);
            }
            int64_t end = demo::kSelectBox;
            if (NextIsWord("end")) {
                ++at;
                if (!Integer(end, 0, 255, "end byte")) return false;
            }
            out.push_back(char(end));
            return NoMore();
        }
        int op = FindName(demo::kObjectOps, word);
        if (op < 0) op = NumberedOp(word, demo::kSelectAll - 1);
        if (op < 0) {
            std::vector<std::string_view> names = NamesOf(NameKind::ObjectOperation);
            names.insert(names.end(), {"SelectAll", "SelectBox"});
            return FailUnknownWord(at - 1, "unknown object operation " + core::QuoteToken(word) +
                                               DidYouMean(NearestNames(word, names)));
        }
        int64_t param = 0;
        if (More() && !Integer(param, 0, 255, "parameter")) return false;
        out.push_back(char(op));
        out.push_back(char(param));
        return NoMore();
    }

    bool BlockLine() {
        if (block.kind == BlockKind::Skip) return true;
        if (block.kind == BlockKind::Script) return block.assembler.Line(*this);
        if (block.lines)  // a later line at the same offset (after .count) writes the record
            block.lines->at.insert_or_assign(int64_t(block.text->bytes.size()), PosOf(at));
        std::string word;
        if (!Word(word, "a line of the block")) return false;
        std::string* raw =
            block.kind == BlockKind::AfterEnd ? &d.bytesAfterEnd : &block.text->bytes;
        if (word == ".byte") return RawBytes(*raw);
        switch (block.kind) {
            case BlockKind::TextureProgram:
                return word == ".count" ? CountLine(kInt32Min, kInt32Max)
                                        : TextureProgramLine(word);
            case BlockKind::Path:
                return word == ".count" ? CountLine(INT16_MIN, INT16_MAX) : PathLine(word);
            case BlockKind::ObjectProgram: return ObjectProgramLine(word);
            case BlockKind::AfterEnd: return Fail("only .byte lines belong after 'after-end'");
            default: return Fail("unexpected " + core::QuoteToken(word));
        }
    }

    // --- directives ---

    bool Title() {
        if (!Once("title") || !String(d.title, "the title")) return false;
        if (d.title.find(char(demo::kTitleEnd)) != std::string::npos)
            return FailToken(at - 1, "the title cannot hold byte 26 (\\x1A): it ends the title");
        return NoMore();
    }

    bool Count() {
        std::string table;
        int64_t v;
        if (!Word(table, "a table name")) return false;
        static const char* const kTables[] = {"scripts", "clips", "textures", "paths", "models"};
        bool known = false;
        for (const char* t : kTables) known = known || table == t;
        if (!known)
            return Fail("count of what? " + core::QuoteToken(table) +
                        " is none of scripts, clips, textures, paths, models");
        if (counts[table].stored) return Fail("second count of " + table);
        if (!Integer(v, kInt32Min, kInt32Max, "count")) return false;
        counts[table] = {v, PosOf(0)};
        return NoMore();
    }

    bool ScriptDirective() {
        if (!ItemIndex("script", d.scripts.size())) return false;
        std::optional<int64_t> length;
        if (!OptionalLength(length) || !NoMore()) return false;
        OpenBlock(BlockKind::Script, length);
        block.script = &d.scripts.emplace_back();
        block.lines = &Item(map.scripts);
        return true;
    }

    bool Trailing() {
        std::optional<int64_t> length;
        if (!Once("trailing") || !OptionalLength(length) || !NoMore()) return false;
        OpenBlock(BlockKind::Script, length);
        block.script = &d.trailingScript;
        return true;
    }

    bool Triple(float& a, float& b, float& c, const std::string& what) {
        return Float(a, what + " x") && Float(b, what + " y") && Float(c, what + " z");
    }

    bool TrackNumber(uint8_t& track) {
        int64_t v;
        if (!Integer(v, 0, 255, "track")) return false;
        track = uint8_t(v);
        return true;
    }

    bool ClipDirective() {
        if (!ItemIndex("clip", d.clips.size())) return false;
        demo::Clip c;
        std::map<std::string, bool> given;
        while (More()) {
            std::string key;
            if (!Word(key, "a clip field")) return false;
            if (given[key]) return Fail("clip field " + core::QuoteToken(key) + " given twice");
            given[key] = true;
            bool ok;
            if (key == "track") ok = TrackNumber(c.track);
            else if (key == "start") ok = Int32(c.start, "start");
            else if (key == "length") ok = Int32(c.length, "length");
            else if (key == "script") ok = Int32(c.scriptIndex, "script");
            else if (key == "translate")
                ok = Triple(c.translateX, c.translateY, c.translateZ, "translate");
            else if (key == "rotate") ok = Triple(c.rotateX, c.rotateY, c.rotateZ, "rotate");
            else
                return Fail("unknown clip field " + core::QuoteToken(key) +
                            " (track, start, length, script, translate, rotate)");
            if (!ok) return false;
        }
        for (const char* required : {"track", "start", "length", "script"})
            if (!given[required]) return FailToken(0, std::string("clip needs '") + required + "'");
        d.clips.push_back(c);
        ItemLines& item = Item(map.clips);
        for (size_t k = 0; k < tokens.size(); ++k)  // the fields, for messages about them
            if (!tokens[k].quoted && (tokens[k].text == "track" || tokens[k].text == "script"))
                item.at.emplace(tokens[k].text == "track" ? kClipTrack : kClipScript, PosOf(k));
        return true;
    }

    bool TrackDirective() {
        int64_t k;
        if (!Integer(k, 0, demo::kTrackCount - 1, "track number")) return false;
        if (trackSeen[k]) return Fail("track " + std::to_string(k) + " given twice");
        trackSeen[k] = true;
        for (uint8_t& b : d.trackRecords[size_t(k)]) {
            int64_t v;
            if (!Integer(v, 0, 255, "track byte")) return false;
            b = uint8_t(v);
        }
        return NoMore();
    }

    // `raw STRING`: the source bytes exactly as given.
    bool RawForm(demo::CountedText& t) {
        std::string bytes;
        std::optional<int64_t> length;
        return String(bytes, "the bytes") && OptionalLength(length) && NoMore() &&
               SetText(t, std::move(bytes), length);
    }

    // A named form: marker (or none) + the string, after checking that its first byte does not
    // make the player take it for another kind.
    bool NamedForm(demo::CountedText& t, const std::string& prefix, const std::string& what,
                   bool (*clash)(uint8_t)) {
        std::string name;
        std::optional<int64_t> length;
        const size_t nameToken = at;
        if (!String(name, what) || !OptionalLength(length) || !NoMore()) return false;
        const std::string bytes = prefix + name;
        if (bytes.empty() || clash(uint8_t(bytes[0])))
            return FailToken(nameToken,
                             what + " cannot be empty or start with byte " +
                                 std::to_string(bytes.empty() ? 0 : uint8_t(bytes[0])) +
                                 ": the player would read another kind of source (use raw)");
        return SetText(t, bytes, length);
    }

    void OpenTextBlock(BlockKind kind, demo::CountedText& t, std::string prefix, size_t countBytes,
                       std::optional<int64_t> length) {
        OpenBlock(kind, length);
        block.text = &t;
        t.bytes = std::move(prefix);
        block.countAt = t.bytes.size();
        t.bytes.append(countBytes, '\0');
    }

    bool TextureDirective() {
        if (!ItemIndex("texture", d.textureSources.size())) return false;
        demo::CountedText& t = d.textureSources.emplace_back();
        ItemLines& item = Item(map.textures);
        std::string kind;
        std::optional<int64_t> length;
        if (!Word(kind, "the texture kind (program, image, target, none, raw)")) return false;
        if (kind == "program") {
            if (!OptionalLength(length) || !NoMore()) return false;
            OpenTextBlock(BlockKind::TextureProgram, t, std::string(1, char(demo::kTextureProgram)),
                          4, length);
            block.lines = &item;
            return true;
        }
        if (kind == "image")
            return NamedForm(t, "", "an image file name", [](uint8_t b) {
                return b == demo::kTextureNone || b == demo::kTextureProgram;
            });
        if (kind == "target") return OptionalLength(length) && NoMore() && SetText(t, "", length);
        if (kind == "none")
            return OptionalLength(length) && NoMore() &&
                   SetText(t, std::string(1, char(demo::kTextureNone)), length);
        if (kind == "raw") return RawForm(t);
        return Fail("unknown texture kind " + core::QuoteToken(kind) +
                    " (program, image, target, none, raw)");
    }

    bool PathDirective() {
        if (!ItemIndex("path", d.pathStrings.size())) return false;
        demo::CountedText& t = d.pathStrings.emplace_back();
        Item(map.paths);
        if (NextIsWord("raw")) {
            ++at;
            return RawForm(t);
        }
        std::optional<int64_t> length;
        if (!OptionalLength(length) || !NoMore()) return false;
        OpenTextBlock(BlockKind::Path, t, "", demo::kPathCountBytes, length);
        return true;
    }

    bool Variables() {
        if (!Once("variables")) return false;
        std::map<std::string, bool> given;
        while (More()) {
            std::string key;
            if (!Word(key, "ints, floats or names")) return false;
            if (key != "ints" && key != "floats" && key != "names")
                return Fail("expected 'ints', 'floats' or 'names', not " + core::QuoteToken(key));
            if (given[key]) return Fail(core::QuoteToken(key) + " given twice");
            given[key] = true;
            if (key == "names") {
                if (!FloatNames()) return false;
            } else if (!Int32(key == "ints" ? d.intVarCount : d.floatVarCount, key)) {
                return false;
            }
        }
        if (extras.floatNames.size() > size_t(std::max(d.floatVarCount, 0)))
            return Fail(std::to_string(extras.floatNames.size()) + " names for " +
                        std::to_string(std::max(d.floatVarCount, 0)) + " float variables");
        return true;
    }

    // names a,b,c: the float variables' names, in order; a sync tracker shows them.
    bool FloatNames() {
        std::string list;
        if (!Word(list, "the float variables' names, separated by commas")) return false;
        for (size_t start = 0; start <= list.size();) {
            size_t end = std::min(list.find(',', start), list.size());
            const std::string name = list.substr(start, end - start);
            if (!ValidVariableName(name))
                return FailToken(at - 1,
                                 "a variable name is letters, digits, '_', '.' and ':', "
                                 "not starting with a digit: " +
                                     core::QuoteToken(name));
            if (std::find(extras.floatNames.begin(), extras.floatNames.end(), name) !=
                extras.floatNames.end())
                return FailToken(at - 1, "the name " + core::QuoteToken(name) + " is given twice");
            extras.floatNames.push_back(name);
            start = end + 1;
        }
        return true;
    }
    static bool ValidVariableName(const std::string& name) {
        if (name.empty() || std::isdigit(uint8_t(name[0]))) return false;
        return std::all_of(name.begin(), name.end(), [](char c) {
            return std::isalnum(uint8_t(c)) || c == '_' || c == '.' || c == ':';
        });
    }

    // bpm B: the tempo a sync tracker counts its rows in.
    bool Bpm() {
        float bpm = 0;
        if (!Once("bpm") || !Float(bpm, "the beats per minute")) return false;
        if (!(bpm > 0) || !std::isfinite(bpm)) return Fail("the beats per minute must be above 0");
        extras.bpm = bpm;
        return NoMore();
    }

    bool Music() {
        std::string name;
        std::optional<int64_t> length;
        map.music.directive = PosOf(0);
        return Once("music") && String(name, "the music file name") && OptionalLength(length) &&
               NoMore() && SetText(d.musicFile, std::move(name), length);
    }

    bool ModelDirective() {
        if (!ItemIndex("model", d.modelSources.size())) return false;
        demo::CountedText& t = d.modelSources.emplace_back();
        ItemLines& item = Item(map.models);
        std::string kind;
        if (!Word(kind, "the model kind (program, obj, file, raw)")) return false;
        if (kind == "program") {
            std::optional<int64_t> length;
            if (!OptionalLength(length) || !NoMore()) return false;
            OpenTextBlock(BlockKind::ObjectProgram, t, std::string(1, char(demo::kModelProgram)), 0,
                          length);
            block.lines = &item;
            return true;
        }
        if (kind == "obj")
            return NamedForm(t, std::string(1, char(demo::kModelObj)), "an OBJ file name",
                             [](uint8_t) { return false; });
        if (kind == "file")
            return NamedForm(t, "", "a vertex-file path", [](uint8_t b) {
                return b == demo::kModelProgram || b == demo::kModelObj;
            });
        if (kind == "raw") return RawForm(t);
        return Fail("unknown model kind " + core::QuoteToken(kind) + " (program, obj, file, raw)");
    }

    bool AfterEnd() {
        if (!Once("after-end") || !NoMore()) return false;
        OpenBlock(BlockKind::AfterEnd, std::nullopt);
        return true;
    }

    // Whether the directive on this line opens a block of lines (script code, a program,
    // path segments, raw bytes) rather than standing on its line alone.
    bool OpensBlock() const {
        const std::string& directive = tokens[0].text;
        auto has = [this](std::string_view word) {
            return std::any_of(tokens.begin() + 1, tokens.end(),
                               [word](const Token& t) { return !t.quoted && t.text == word; });
        };
        if (directive == "texture" || directive == "model") return has("program");
        if (directive == "path") return !has("raw");
        return directive == "script" || directive == "trailing" || directive == "after-end";
    }

    using Directive = bool (SourceParser::*)();
    static const std::map<std::string_view, Directive>& Directives() {
        static const std::map<std::string_view, Directive> kDirectives = {
            {"title", &SourceParser::Title},
            {"count", &SourceParser::Count},
            {"script", &SourceParser::ScriptDirective},
            {"trailing", &SourceParser::Trailing},
            {"clip", &SourceParser::ClipDirective},
            {"track", &SourceParser::TrackDirective},
            {"texture", &SourceParser::TextureDirective},
            {"path", &SourceParser::PathDirective},
            {"variables", &SourceParser::Variables},
            {"bpm", &SourceParser::Bpm},
            {"music", &SourceParser::Music},
            {"model", &SourceParser::ModelDirective},
            {"after-end", &SourceParser::AfterEnd},
        };
        return kDirectives;
    }

    bool Line(std::string_view line) {
        std::string tokenError;
        int errorColumn = 1;
        at = 0;
        endColumn = ColumnOf(line, line.size());
        if (!Tokenize(line, tokens, tokenError, errorColumn))
            return FailAt({lineNumber, errorColumn}, tokenError);
        if (tokens.empty()) return true;
        if (!tokens[0].quoted) {
            auto directive = Directives().find(tokens[0].text);
            if (directive != Directives().end()) {
                FinishBlock();  // its errors belong to its own lines; this directive is new
                at = 1;
                if ((this->*directive->second)()) return true;
                // The lines of a block that failed would only repeat its error; the line
                // after a one-line item is read for its own errors.
                OpenBlock(OpensBlock() ? BlockKind::Skip : BlockKind::None, std::nullopt);
                return false;
            }
        }
        if (block.kind == BlockKind::None) return Fail(ExpectedDirective(tokens[0]));
        return BlockLine();
    }

    // Stored table counts: the number of items, or the `count` directive's value for a table
    // with no items (a negative count); both given must agree.
    bool TableCountFor(const char* table, size_t items, int32_t& stored) {
        const TableCount& c = counts[table];
        if (!c.stored) {
            if (items > size_t(kInt32Max))
                return FailAt({lineNumber, 1}, std::string("too many ") + table);
            stored = int32_t(items);
            return true;
        }
        if (items != 0 ? *c.stored != int64_t(items) : *c.stored > 0)
            return FailAt(c.pos, "count " + std::to_string(*c.stored) + " does not match the " +
                                     std::to_string(items) + " " + table + " given");
        stored = int32_t(*c.stored);
        return true;
    }

    bool Run(std::string_view text) {
        if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // a UTF-8 byte-order mark
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            ++lineNumber;
            Line(text.substr(start, end - start));
            if (Errors() >= kMaxErrors) return StopAtTheLimit();
            start = end + 1;
        }
        FinishBlock();
        TableCountFor("scripts", d.scripts.size(), d.scriptCount);
        TableCountFor("clips", d.clips.size(), d.clipCount);
        TableCountFor("textures", d.textureSources.size(), d.textureCount);
        TableCountFor("paths", d.pathStrings.size(), d.pathCount);
        TableCountFor("models", d.modelSources.size(), d.modelCount);
        if (Errors() > kMaxErrors) return StopAtTheLimit();  // the checks at the end added some
        SortByPosition();
        return Errors() == 0;
    }

    // A block's own errors (an undefined label, a wrong length) are found at its end.
    void SortByPosition() {
        std::stable_sort(diagnostics.begin(), diagnostics.end(), [](const auto& a, const auto& b) {
            return a.pos.line != b.pos.line ? a.pos.line < b.pos.line : a.pos.column < b.pos.column;
        });
    }

    // The first kMaxErrors in order, and a last line that says reading stopped.
    bool StopAtTheLimit() {
        SortByPosition();
        diagnostics.resize(size_t(kMaxErrors));
        return FailAt({lineNumber, 1}, "too many errors; stopping here");
    }
};

}  // namespace

bool ParseDemoSource(std::string_view text, const std::string& fileName, demo::DemoFile& demo,
                     SourceResult& result) {
    demo = demo::DemoFile{};
    result = SourceResult{};
    SourceParser parser(fileName, demo, result.map, result.extras);
    const bool ok = parser.Run(text);
    result.diagnostics = std::move(parser.diagnostics);
    return ok;
}

bool ParseDemoSource(std::string_view text, const std::string& fileName, demo::DemoFile& demo,
                     std::string& error) {
    SourceResult result;
    const bool ok = ParseDemoSource(text, fileName, demo, result);
    error.clear();
    for (const Diagnostic& d : result.diagnostics)
        error += (error.empty() ? "" : "\n") + FormatDiagnostic(fileName, d);
    return ok;
}

}  // namespace tools
