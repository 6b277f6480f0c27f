// What `qv play` says about a run that went wrong, for the overlay and stderr: a script's
// fatal error (the engine's report for the track that failed and, for a source, the line of
// the failing instruction as FILE:LINE:COL), a script that ran out of its instruction budget
// (its clip and track), and content that does not load (the files it names that `qv check`
// finds missing or broken, in its words).
#pragma once
#include <cstdint>
#include <string>

#include "tools/workbench/play_build.h"

namespace tools {

// The text of the fatal error raised in the frame at timeMs; empty when none was raised.
std::string FatalErrorText(const Build& build, int32_t timeMs);

// "clip 4 on track 2 (script 3, FILE:LINE:COL)" for the last track whose script ran out of
// its instruction budget; empty when none did since the engine was reset.
std::string BudgetClipText(const Build& build);

// Why start-up may have failed: each error `qv check` finds in the files the demo names
// (images, models, music), one per line.
std::string ContentErrorsText(const Build& build);

}  // namespace tools
