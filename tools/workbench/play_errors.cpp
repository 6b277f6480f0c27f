#include "tools/workbench/play_errors.h"

#include <cstdio>

#include "demo/clip.h"
#include "scripter/scripter.h"
#include "timeline/timeline.h"

namespace tools {

std::string FatalErrorText(const Build& build, int32_t timeMs) {
    const scripter::FatalSite* site = scripter::FatalErrorSite();
    std::string errors;
    for (int track = 0; track < demo::kTrackCount; ++track) {
        const std::string report = timeline::FatalReport(track, timeMs);
        if (!report.empty() && timeline::CurrentClip(track) >= 0) {
            errors = report + "\n";
            break;
        }
    }
    if (errors.empty() && site) errors = "bad error: " + site->message + "\n";
    if (site && build.fromSource && site->script >= 0 &&
        size_t(site->script) < build.map.scripts.size()) {
        const SourcePos pos = build.map.scripts[size_t(site->script)].Find(site->offset);
        char line[512];
        std::snprintf(line, sizeof line, "%s:%d:%d: error: %s (script %d at offset %lld)",
                      build.file.path.c_str(), pos.line, pos.column, site->message.c_str(),
                      int(site->script), static_cast<long long>(site->offset));
        std::fprintf(stderr, "%s\n", line);
        errors += std::string(line) + "\n";
    }
    return errors;
}

}  // namespace tools
