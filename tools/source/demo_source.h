// The text source form of a whole demo file (docs/demo-source.md): FormatDemoSource writes
// it (`qv dump`), ParseDemoSource reads it back (`qv build`). For every DemoFile the reader
// produces, parsing the formatted text gives a DemoFile that WriteDemoFile turns into the
// same bytes.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "demo/demo_file.h"
#include "tools/source/diagnostic.h"

namespace tools {

// Scripts as assembly, clips one per line, texture and model sources by kind, path strings
// as segments; whatever has no structured form is kept as raw bytes. offsets adds each
// instruction's byte offset as a comment ("; at 12").
std::string FormatDemoSource(const demo::DemoFile& demo, bool offsets = false);

// Where one item of a table was written: its directive, and where each record of its bytes
// starts (script: instruction offset; texture or object program: the record's offset in the
// source bytes; clip: the field keys below).
struct ItemLines {
    SourcePos directive;
    std::map<int64_t, SourcePos> at;
    // The line of the record that holds byte offset, or the directive.
    SourcePos Find(int64_t offset) const {
        auto it = at.upper_bound(offset);
        return it == at.begin() ? directive : std::prev(it)->second;
    }
};
inline constexpr int64_t kClipTrack = 0, kClipScript = 1;

struct SourceMap {
    std::vector<ItemLines> scripts, clips, textures, paths, models;
    ItemLines music;
};

// What a source says that the demo file has no room for, for the sync tracker: the float
// variables' names (`variables floats 3 names speed,glow,zoom`) and the tempo (`bpm 125`).
struct SourceExtras {
    std::vector<std::string> floatNames;
    std::optional<double> bpm;
};

struct SourceResult {
    std::vector<Diagnostic> diagnostics;
    SourceMap map;
    SourceExtras extras;
};

// Fills demo from the source text; false when it has errors (demo is then unspecified).
bool ParseDemoSource(std::string_view text, const std::string& fileName, demo::DemoFile& demo,
                     SourceResult& result);

// The same with the errors as "fileName:line:column: error: message" lines.
bool ParseDemoSource(std::string_view text, const std::string& fileName, demo::DemoFile& demo,
                     std::string& error);

}  // namespace tools
