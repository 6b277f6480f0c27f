// Fuzz target: the demo source assembler. Any text must end in a DemoFile or in at most
// kMaxErrors + 1 "file:line:column: error: message" lines; a source that builds must dump to a
// text that builds to the same bytes, with or without the offsets.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "demo/demo_file.h"
#include "tools/source/demo_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    demo::DemoFile demo;
    std::string error;
    tools::SourceResult result;
    if (!tools::ParseDemoSource(text, "fuzz.qvs", demo, result)) {
        if (result.diagnostics.empty() || result.diagnostics.size() > size_t(tools::kMaxErrors) + 1)
            std::abort();
        for (const tools::Diagnostic& d : result.diagnostics)
            if (d.pos.line < 1 || d.pos.column < 1) std::abort();
        return 0;
    }
    const std::string bytes = demo::WriteDemoFile(demo);
    demo::DemoFile reread;
    if (!demo::ParseDemoFile({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                             "fuzz.acs", reread)
             .Ok())
        std::abort();
    demo::DemoFile rebuilt;
    if (!tools::ParseDemoSource(tools::FormatDemoSource(reread), "fuzz.qvs", rebuilt, error))
        std::abort();
    if (demo::WriteDemoFile(rebuilt) != bytes) std::abort();
    if (!tools::ParseDemoSource(tools::FormatDemoSource(reread, true), "fuzz.qvs", rebuilt,
                                error) ||
        demo::WriteDemoFile(rebuilt) != bytes)
        std::abort();
    return 0;
}
