#include "platform/message_box.h"

#include <cstdio>

namespace platform {
namespace {
MessageSink g_sink = nullptr;
}

void SetMessageSink(MessageSink sink) { g_sink = sink; }

void ShowMessage(const std::string& caption, const std::string& text, MessageIcon) {
    if (g_sink) {
        g_sink(caption, text);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

}  // namespace platform
