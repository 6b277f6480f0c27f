// qv dump DEMO.acs|SOURCE.qvs [--offsets]: writes a demo file as demo source
// (docs/demo-source.md) to stdout; a source is built first, so its dump is its normal form.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/qv/cli.h"
#include "tools/qv/qv_commands.h"
#include "tools/source/demo_source.h"

namespace tools {

extern const char kDumpHelp[] =
    "usage: qv dump DEMO.acs|SOURCE.qvs [--offsets]\n"
    "Writes the demo file as demo source to standard output; qv build turns it back into\n"
    "the same bytes. A demo source (.qvs) is built in memory first.\n"
    "  --offsets   show each instruction's byte offset as a comment (\"; at 12\"), the offsets\n"
    "              that qv check and the player's script errors name\n"
    "Exit status: 0 written, 1 errors, 2 wrong arguments.\n";

int RunDump(int argc, char** argv) {
    const char* path = nullptr;
    bool offsets = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--offsets") == 0) offsets = true;
        else if (!path && argv[i][0] != '-') path = argv[i];
        else return UsageError("dump", Unexpected(argv[i]), kDumpHelp);
    }
    if (!path) return UsageError("dump", "no demo file given", kDumpHelp);
    std::vector<uint8_t> bytes;
    if (!ReadDemoInput("dump", path, bytes)) return kExitErrors;
    demo::DemoFile demo;
    const demo::DemoResult r = demo::ParseDemoFile(bytes, path, demo);
    if (!r.Ok()) return Complain("dump", r.message);
    return WriteOutput("dump", "-", FormatDemoSource(demo, offsets)) ? kExitOk : kExitErrors;
}

}  // namespace tools
