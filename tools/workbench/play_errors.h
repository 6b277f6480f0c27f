// What `qv play` says about a script's fatal error: the engine's report for the overlay and,
// for a source, the line of the failing instruction as FILE:LINE:COL (also on stderr).
#pragma once
#include <cstdint>
#include <string>

#include "tools/workbench/play_build.h"

namespace tools {

// The text of the fatal error raised in the frame at timeMs; empty when none was raised.
std::string FatalErrorText(const Build& build, int32_t timeMs);

}  // namespace tools
