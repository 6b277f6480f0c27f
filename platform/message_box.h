// Modal message boxes of the player (caption, text, one OK button). Tools and tests can
// redirect them into a sink, so that a message becomes a line of output instead of a window.
#pragma once
#include <string>

namespace platform {

enum class MessageIcon { None, Error };

// The caption of the player's own errors (the window, the demo file, content that fails).
inline constexpr char kErrorCaption[] = "Quorvanel Error";

// Shows the box and returns when it is closed. The line "caption: text" goes to stderr as
// well, and alone when there is no display. Texts that are not UTF-8 are read as
// Windows-1252 (names from the demo file).
void ShowMessage(const std::string& caption, const std::string& text,
                 MessageIcon icon = MessageIcon::None);

using MessageSink = void (*)(const std::string& caption, const std::string& text);
// Every later ShowMessage goes to sink instead (null restores the real boxes).
void SetMessageSink(MessageSink sink);
MessageSink CurrentMessageSink();

}  // namespace platform
