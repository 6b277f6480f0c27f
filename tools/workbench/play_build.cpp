#include "tools/workbench/play_build.h"

#include <cstdio>
#include <utility>

#include "core/file_io.h"
#include "demo/demo_file.h"
#include "tools/workbench/workbench.h"

namespace tools {

bool BakeBuild(const Build& source, const sync::Tracks& tracks, Build& out, sync::BakePlace& place,
               std::string& error) {
    demo::DemoFile demo;
    const demo::DemoResult r = demo::ParseDemoFile(source.file.bytes, source.file.path, demo);
    if (!r.Ok()) {
        error = r.message;
        return false;
    }
    if (!sync::InsertBake(demo, tracks, true, place, error)) return false;
    out = source;
    const std::string bytes = demo::WriteDemoFile(demo);
    out.file.bytes.assign(bytes.begin(), bytes.end());
    return true;  // the title is the same, and so is where the sections begin
}

int32_t FloatVariableCount(const Build& b) {
    demo::DemoFile demo;
    if (!demo::ParseDemoFile(b.file.bytes, b.file.path, demo).Ok()) return 0;
    return demo.floatVarCount;
}

bool LoadBuild(const std::string& path, Build& out, std::string& errors) {
    errors.clear();
    auto report = [&errors](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
        errors += line + "\n";
    };
    Build b;
    b.file.path = path;
    std::string error;
    if (IsSourcePath(path)) {
        std::string text;
        if (!core::ReadWholeFile(path, text, &error)) {
            report("qv play: cannot read '" + path + "': " + error);
            return false;
        }
        demo::DemoFile demo;
        SourceResult result;
        const bool ok = ParseDemoSource(text, path, demo, result);
        for (const Diagnostic& d : result.diagnostics) report(FormatDiagnostic(path, d));
        if (!ok) return false;
        const std::string bytes = demo::WriteDemoFile(demo);
        b.file.bytes.assign(bytes.begin(), bytes.end());
        b.map = std::move(result.map);
        b.extras = std::move(result.extras);
        b.fromSource = true;
    } else if (!core::ReadWholeFile(path, b.file.bytes, &error)) {
        report("qv play: cannot read '" + path + "': " + error);
        return false;
    }
    const demo::DemoResult r = demo::ParseTitle(b.file.bytes, path, b.title, b.file.sectionsOffset);
    if (!r.Ok()) {
        report("qv play: " + r.message);
        return false;
    }
    demo::DemoFile whole;
    if (demo::ParseDemoFile(b.file.bytes, path, whole).Ok()) b.musicFile = whole.musicFile.bytes;
    out = std::move(b);
    return true;
}

}  // namespace tools
