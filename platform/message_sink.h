// The part of the message boxes every window system shares: the sink that tools and tests
// install, and the "caption: text" line on stderr.
#pragma once
#include <string>

namespace platform {

// Hands the message to the sink when one is set and returns true; otherwise writes the line
// "caption: text" to stderr (names from the demo file read as Windows-1252) and returns false,
// leaving the box to the caller.
bool SinkOrLogMessage(const std::string& caption, const std::string& text);

}  // namespace platform
