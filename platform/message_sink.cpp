#include "platform/message_sink.h"

#include <cstdio>

#include "core/text.h"
#include "platform/message_box.h"

namespace platform {
namespace {
MessageSink g_sink = nullptr;
}

void SetMessageSink(MessageSink sink) { g_sink = sink; }
MessageSink CurrentMessageSink() { return g_sink; }

// The line goes to stderr in every case: with a display it is the terminal's record of a box
// the user may have dismissed; without one it is the only report.
bool SinkOrLogMessage(const std::string& caption, const std::string& text) {
    if (g_sink) {
        g_sink(caption, text);
        return true;
    }
    std::fprintf(stderr, "%s: %s\n", core::DisplayText(caption).c_str(),
                 core::DisplayText(text).c_str());
    std::fflush(stderr);
    return false;
}

}  // namespace platform
