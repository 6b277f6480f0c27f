// The window session of `qv play`: the loop that plays, seeks and reloads the demo in its
// window and draws the overlay, built from the workbench's parts (transport, clock, reload,
// music, errors, run).
#pragma once
#include "tools/workbench/play_build.h"
#include "tools/workbench/workbench.h"

namespace tools {

// Opens the window and plays build until the author quits; returns the exit status.
int RunSession(const PlayOptions& o, Build build);

}  // namespace tools
