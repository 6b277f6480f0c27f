// qv build SOURCE -o OUT.acs: assembles a demo source (docs/demo-source.md) into a demo file.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "tools/demo_source.h"
#include "tools/qv_commands.h"

namespace tools {

int RunBuild(int argc, char** argv) {
    const char* source = nullptr;
    const char* output = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) output = argv[++i];
        else if (!source && argv[i][0] != '-') source = argv[i];
        else source = output = nullptr, i = argc;
    }
    if (!source || !output) {
        std::fprintf(stderr, "usage: qv build SOURCE -o OUT.acs\n");
        return 2;
    }
    std::vector<uint8_t> text;
    if (!core::ReadWholeFile(source, text)) {
        std::fprintf(stderr, "%s: cannot be read\n", source);
        return 1;
    }
    demo::DemoFile demo;
    std::string error;
    if (!ParseDemoSource({reinterpret_cast<const char*>(text.data()), text.size()}, source, demo,
                         error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::string bytes = demo::WriteDemoFile(demo);
    FILE* out = std::fopen(output, "wb");
    bool ok = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (out) ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "%s: cannot be written\n", output);
        return 1;
    }
    return 0;
}

}  // namespace tools
