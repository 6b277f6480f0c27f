// Fuzz target: arbitrary bytes as a script table (first byte: number of scripts, the rest
// split evenly), run through the interpreter and the verifier. Neither may read or write
// outside its arrays, crash or hang (the instruction budget bounds every run).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gl/gl_layer.h"
#include "platform/message_box.h"
#include "scripter/scripter.h"
#include "scripter/verifier.h"

namespace {
void IgnoreMessage(const std::string&, const std::string&) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t count = size_t(data[0] % 4) + 1;
    const size_t chunk = (size - 1) / count;
    std::vector<demo::Script> scripts(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* begin = data + 1 + i * chunk;
        scripts[i].code.assign(begin, begin + chunk);
        scripts[i].length = int32_t(chunk);
    }
    platform::SetMessageSink(IgnoreMessage);
    gl::UseRecorder(nullptr);
    scripter::ResetScriptEngine();
    scripter::LoadScriptEngine(scripts, 3, 3);
    scripter::RunScript(scripts[0], 1500, 500, 0.5f);
    scripter::TableSizes sizes;
    sizes.intVars = sizes.floatVars = sizes.textures = sizes.models = sizes.paths = 2;
    scripter::VerifyScripts(scripts, sizes);
    return 0;
}
