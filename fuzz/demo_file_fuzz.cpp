// Fuzz target: the demo-file reader. Any bytes must parse without reading outside the input;
// a file the reader accepts must be written back unchanged, and its demo source must build
// to the same bytes again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "demo/demo_file.h"
#include "tools/source/demo_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    demo::DemoFile demo;
    if (!demo::ParseDemoFile(bytes, "fuzz.acs", demo).Ok()) return 0;
    const std::string written = demo::WriteDemoFile(demo);
    if (written != std::string(reinterpret_cast<const char*>(data), size)) std::abort();

    demo::DemoFile built;
    std::string error;
    if (!tools::ParseDemoSource(tools::FormatDemoSource(demo), "fuzz.qvs", built, error))
        std::abort();
    if (demo::WriteDemoFile(built) != written) std::abort();
    return 0;
}
