// qv dump DEMO.acs: writes a demo file as demo source (docs/demo-source.md) to stdout.
#include <cstdio>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "tools/demo_source.h"
#include "tools/qv_commands.h"

namespace tools {

int RunDump(int argc, char** argv) {
    if (argc != 1 || argv[0][0] == '-') {
        std::fprintf(stderr, "usage: qv dump DEMO.acs\n");
        return 2;
    }
    const std::string path = argv[0];
    std::vector<uint8_t> bytes;
    if (!core::ReadWholeFile(path, bytes)) {
        std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
        return 1;
    }
    demo::DemoFile demo;
    const demo::DemoResult r = demo::ParseDemoFile(bytes, path, demo);
    if (!r.ok()) {
        std::fprintf(stderr, "%s\n", r.message.c_str());
        return 1;
    }
    const std::string text = FormatDemoSource(demo);
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
                   std::fflush(stdout) == 0
               ? 0
               : 1;
}

}  // namespace tools
