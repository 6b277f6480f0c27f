// Fuzz target: the demo source assembler. Any text must end in a DemoFile or a
// "file:line: message" error; a source that builds must dump to a text that builds to the
// same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "demo/demo_file.h"
#include "tools/demo_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    demo::DemoFile demo;
    std::string error;
    if (!tools::ParseDemoSource(text, "fuzz.qvs", demo, error)) {
        if (error.rfind("fuzz.qvs:", 0) != 0) std::abort();
        return 0;
    }
    const std::string bytes = demo::WriteDemoFile(demo);
    demo::DemoFile reread;
    if (!demo::ParseDemoFile({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                             "fuzz.acs", reread)
             .ok())
        std::abort();
    demo::DemoFile rebuilt;
    if (!tools::ParseDemoSource(tools::FormatDemoSource(reread), "fuzz.qvs", rebuilt, error))
        std::abort();
    if (demo::WriteDemoFile(rebuilt) != bytes) std::abort();
    return 0;
}
