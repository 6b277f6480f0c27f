// qv build SOURCE -o OUT.acs: assembles a demo source (docs/demo-source.md) into a demo file.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/qv/cli.h"
#include "tools/qv/qv_commands.h"
#include "tools/source/demo_source.h"

namespace tools {

extern const char kBuildHelp[] =
    "usage: qv build SOURCE -o OUT.acs\n"
    "Assembles a demo source into a demo file. Every error of the source is reported as\n"
    "SOURCE:LINE:COL: error: TEXT (up to 20); nothing is written when there is one.\n"
    "  -o OUT.acs   the demo file to write; '-' writes it to standard output\n"
    "Exit status: 0 built, 1 errors, 2 wrong arguments.\n";

int RunBuild(int argc, char** argv) {
    const char* source = nullptr;
    const char* output = nullptr;
    const std::string error =
        ParseInputAndOutput(argc, argv, source, output, "demo source", "demo file");
    if (!error.empty()) return UsageError("build", error, kBuildHelp);
    std::vector<uint8_t> text;
    if (!ReadInput("build", source, text)) return kExitErrors;
    demo::DemoFile demo;
    SourceResult result;
    const bool ok = ParseDemoSource({reinterpret_cast<const char*>(text.data()), text.size()},
                                    source, demo, result);
    for (const Diagnostic& d : result.diagnostics)
        std::fprintf(stderr, "%s\n", FormatDiagnostic(source, d).c_str());
    if (!ok) return kExitErrors;
    return WriteOutput("build", output, demo::WriteDemoFile(demo)) ? kExitOk : kExitErrors;
}

}  // namespace tools
