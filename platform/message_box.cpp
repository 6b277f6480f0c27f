#include "platform/message_box.h"

#include <SDL2/SDL.h>

#include "core/text.h"
#include "platform/message_sink.h"
#include "platform/window.h"

namespace platform {

void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) {
    if (SinkOrLogMessage(caption, text) || !HasDisplay()) return;
    Uint32 flags = icon == MessageIcon::Error ? SDL_MESSAGEBOX_ERROR : 0;
    // No owner window: the box is modal on its own and blocks until OK or its close box.
    SDL_ShowSimpleMessageBox(flags, core::DisplayText(caption).c_str(),
                             core::DisplayText(text).c_str(), nullptr);
}

}  // namespace platform
