// qv dump DEMO.acs [--offsets]: writes a demo file as demo source (docs/demo-source.md) to
// stdout.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/qv/cli.h"
#include "tools/source/demo_source.h"
#include "tools/qv/qv_commands.h"

namespace tools {

extern const char kDumpHelp[] =
    "usage: qv dump DEMO.acs [--offsets]\n"
    "Writes the demo file as demo source to standard output; qv build turns it back into\n"
    "the same bytes.\n"
    "  --offsets   show each instruction's byte offset as a comment (\"; at 12\"), the offsets\n"
    "              that qv check and the player's script errors name\n";

int RunDump(int argc, char** argv) {
    const char* path = nullptr;
    bool offsets = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--offsets") == 0) offsets = true;
        else if (!path && argv[i][0] != '-') path = argv[i];
        else path = nullptr, i = argc;
    }
    if (!path) {
        std::fputs(kDumpHelp, stderr);
        return kExitUsage;
    }
    std::vector<uint8_t> bytes;
    if (!ReadInput("dump", path, bytes)) return kExitErrors;
    demo::DemoFile demo;
    const demo::DemoResult r = demo::ParseDemoFile(bytes, path, demo);
    if (!r.Ok()) return Complain("dump", r.message);
    return WriteOutput("dump", "-", FormatDemoSource(demo, offsets)) ? kExitOk : kExitErrors;
}

}  // namespace tools
