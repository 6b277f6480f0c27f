#include "platform/message_box.h"

#include <SDL2/SDL.h>

#include <cstdio>

#include "core/text.h"
#include "platform/window.h"

namespace platform {
namespace {
MessageSink g_sink = nullptr;
}

void SetMessageSink(MessageSink sink) { g_sink = sink; }
MessageSink CurrentMessageSink() { return g_sink; }

// The "caption: text" line goes to stderr in every case: with a display it is the terminal's
// record of a box the user may have dismissed; without one it is the only report.
void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) {
    if (g_sink) {
        g_sink(caption, text);
        return;
    }
    std::string shownCaption = core::DisplayText(caption);
    std::string shownText = core::DisplayText(text);
    std::fprintf(stderr, "%s: %s\n", shownCaption.c_str(), shownText.c_str());
    std::fflush(stderr);
    if (!HasDisplay()) return;
    Uint32 flags = icon == MessageIcon::Error ? SDL_MESSAGEBOX_ERROR : 0;
    // No owner window: the box is modal on its own and blocks until OK or its close box.
    SDL_ShowSimpleMessageBox(flags, shownCaption.c_str(), shownText.c_str(), nullptr);
}

}  // namespace platform
