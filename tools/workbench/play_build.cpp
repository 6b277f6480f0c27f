#include "tools/workbench/play_build.h"

#include <cstdio>
#include <utility>

#include "core/file_io.h"
#include "demo/demo_file.h"
#include "tools/workbench/workbench.h"

namespace tools {

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
