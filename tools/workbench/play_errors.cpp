#include "tools/workbench/play_errors.h"

#include <cstdio>

#include "demo/clip.h"
#include "demo/demo_file.h"
#include "scripter/scripter.h"
#include "timeline/timeline.h"
#include "tools/checks/demo_checks.h"

namespace tools {
namespace {

// "FILE:LINE:COL" of offset in script, for a source; empty otherwise.
std::string SourcePlace(const Build& build, int32_t script, int64_t offset) {
    if (!build.fromSource || script < 0 || size_t(script) >= build.map.scripts.size()) return "";
    const SourcePos pos = build.map.scripts[size_t(script)].Find(offset);
    return build.file.path + ":" + std::to_string(pos.line) + ":" + std::to_string(pos.column);
}

}  // namespace

std::string FatalErrorText(const Build& build, int32_t timeMs) {
    const scripter::FatalSite* site = scripter::FatalErrorSite();
    if (!site) return "";
    const int track = timeline::FatalTrack();
    std::string errors =
        track >= 0 ? timeline::FatalReport(track, timeMs) : "bad error: " + site->message;
    errors += "\n";
    const std::string place = SourcePlace(build, site->script, site->offset);
    if (!place.empty()) {
        const std::string line = place + ": error: " + site->message + " (script " +
                                 std::to_string(site->script) + " at offset " +
                                 std::to_string(site->offset) + ")";
        std::fprintf(stderr, "%s\n", line.c_str());
        errors += line + "\n";
    }
    return errors;
}

std::string BudgetClipText(const Build& build) {
    const int track = timeline::LastBudgetTrack();
    if (track < 0) return "";
    const int32_t clip = timeline::CurrentClip(track);
    std::string text = "clip " + std::to_string(clip) + " on track " + std::to_string(track);
    const demo::DemoFile& demo = app::Demo();
    if (clip >= 0 && size_t(clip) < demo.clips.size()) {
        const int32_t script = demo.clips[size_t(clip)].scriptIndex;
        const std::string place = SourcePlace(build, script, 0);
        text += " (script " + std::to_string(script) + (place.empty() ? "" : ", " + place) + ")";
    }
    return text;
}

std::string ContentErrorsText(const Build& build) {
    demo::DemoFile demo;
    if (!demo::ParseDemoFile(build.file.bytes, build.file.path, demo).Ok()) return "";
    std::string text;
    for (const CheckFinding& f : CheckDemo(demo)) {
        const bool content = f.place.table == Table::Texture || f.place.table == Table::Model ||
                             f.place.table == Table::Music;
        if (f.severity == Severity::Error && content) text += f.text + "\n";
    }
    return text;
}

}  // namespace tools
