// qv check FILE [--werror]
// Static verification of a demo file or a demo source (tools/demo_checks.h): every script's
// paths, the clips, the texture and object programs, the files the demo names (looked up
// beside FILE, as the player looks beside demo.acs) and what no script uses. On a source every
// finding points at the line that wrote it,
//   demo.qvs:12:5: error: BOX needs 3 floats (hz hy hx); 1 on the stack
//   demo.qvs:30:1: warning: texture 3 is never used by any script
// and on a demo file at the item and the byte offset (`qv dump --offsets` shows them),
//   demo.acs: script 3 at 12: error: JMP needs 1 int (target); 0 on the stack
// Exit status 1 when there are errors (warnings too with --werror), 0 otherwise, 2 on wrong
// arguments.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "demo/demo_file.h"
#include "platform/paths.h"
#include "tools/checks/demo_checks.h"
#include "tools/qv/cli.h"
#include "tools/qv/qv_commands.h"
#include "tools/source/demo_source.h"
#include "tools/sync/bake.h"
#include "tools/sync/track_files.h"
#include "tools/workbench/workbench.h"

namespace tools {

extern const char kCheckHelp[] =
    "usage: qv check FILE [--werror]\n"
    "Checks a demo file or a demo source (named .qvs) and reports every problem\n"
    "found, one per line as FILE:LINE:COL: error|warning: TEXT (on a demo file:\n"
    "FILE: script N at OFFSET: ...). Files the demo names are looked up beside FILE.\n"
    "  --werror   treat warnings as errors\n"
    "Exit status: 0 clean, 1 errors, 2 wrong arguments.\n";

namespace {

const std::vector<ItemLines>& TableLines(const SourceMap& map, Table t) {
    switch (t) {
        case Table::Script: return map.scripts;
        case Table::Clip: return map.clips;
        case Table::Texture: return map.textures;
        case Table::Model: return map.models;
        case Table::Music: break;
    }
    static const std::vector<ItemLines> kNone;
    return kNone;
}

SourcePos PosIn(const SourceMap& map, const Place& p) {
    if (p.table == Table::Music) return map.music.directive;
    const std::vector<ItemLines>& items = TableLines(map, p.table);
    if (p.index < 0 || size_t(p.index) >= items.size()) return {1, 1};
    const ItemLines& item = items[size_t(p.index)];
    if (p.table == Table::Clip) {
        auto it = item.at.find(p.offset);
        return it == item.at.end() ? item.directive : it->second;
    }
    return p.offset < 0 ? item.directive : item.Find(p.offset);
}

std::string PlaceText(const Place& p) {
    static const char* const kNames[] = {"script", "clip", "texture", "model", "music"};
    std::string s = kNames[int(p.table)];
    if (p.table != Table::Music) s += " " + std::to_string(p.index);
    if (p.offset >= 0 && p.table != Table::Clip) s += " at " + std::to_string(p.offset);
    return s;
}

// The tracks file beside a source, which qv build bakes: it must read, name the source's
// float variables, and find a free track for the bake. True when nothing failed.
bool CheckTracksBeside(const std::string& path, const demo::DemoFile& demo,
                       const SourceExtras& extras, bool werror) {
    sync::Tracks tracks;
    std::string file, error;
    std::vector<std::string> warnings;
    bool ok = sync::TracksForSource(path, "", demo.floatVarCount, extras.floatNames, extras.bpm,
                                    tracks, file, warnings, error);
    for (const std::string& w : warnings)
        std::fprintf(stderr, "%s: warning: %s\n", file.c_str(), w.c_str());
    if (!warnings.empty() && werror) ok = false;
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
    if (!ok || file.empty()) return ok;
    for (const std::string& w : sync::OverwrittenTracks(demo, tracks)) {
        std::fprintf(stderr, "%s: warning: %s\n", file.c_str(), w.c_str());
        ok = !werror;
    }
    demo::DemoFile baked = demo;
    sync::BakePlace place;
    if (!sync::InsertBake(baked, tracks, false, place, error)) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), error.c_str());
        return false;
    }
    return ok;
}

}  // namespace

int RunCheck(int argc, char** argv) {
    std::string path;
    bool werror = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--werror") == 0) werror = true;
        else if (path.empty() && argv[i][0] != '-') path = argv[i];
        else {
            Complain("check", std::string("unexpected argument '") + argv[i] + "'");
            return kExitUsage;
        }
    }
    if (path.empty()) {
        std::fputs(kCheckHelp, stderr);
        return kExitUsage;
    }
    std::vector<uint8_t> bytes;
    if (!ReadInput("check", path, bytes)) return kExitErrors;
    demo::DemoFile demo;
    const bool source = IsSourcePath(path);  // as qv play and every other command decide
    SourceResult parsed;
    if (source) {
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (!ParseDemoSource(text, path, demo, parsed)) {
            for (const Diagnostic& d : parsed.diagnostics)
                std::fprintf(stderr, "%s\n", FormatDiagnostic(path, d).c_str());
            return kExitErrors;
        }
    } else {
        const demo::DemoResult r = demo::ParseDemoFile(bytes, path, demo);
        if (!r.Ok()) return Complain("check", r.message);
    }
    platform::SetContentRootBeside(path);
    std::vector<CheckFinding> findings = CheckDemo(demo);
    if (source)  // in the order of the source, as a compiler reports
        std::stable_sort(findings.begin(), findings.end(), [&parsed](const auto& a, const auto& b) {
            const SourcePos pa = PosIn(parsed.map, a.place), pb = PosIn(parsed.map, b.place);
            return pa.line != pb.line ? pa.line < pb.line : pa.column < pb.column;
        });
    bool failed = false;
    for (const CheckFinding& f : findings) {
        failed = failed || f.severity == Severity::Error || werror;
        const Diagnostic d{source ? PosIn(parsed.map, f.place) : SourcePos{}, f.severity, f.text};
        const std::string line =
            source ? FormatDiagnostic(path, d)
                   : path + ": " + PlaceText(f.place) + ": " +
                         (f.severity == Severity::Error ? "error: " : "warning: ") + f.text;
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    if (source) failed = !CheckTracksBeside(path, demo, parsed.extras, werror) || failed;
    return failed ? kExitErrors : kExitOk;
}

}  // namespace tools
