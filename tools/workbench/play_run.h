// One run of the demo for `qv play`: start-up, then every frame of the grid before a time
// (tools/render/seek.h: only the frames whose pixels later frames can see are drawn). The
// caller draws the frame at that time.
#pragma once
#include <cstdint>

#include "tools/render/seek.h"
#include "tools/workbench/play_build.h"

namespace tools {

// startupFailed tells a start-up that failed (its message has been shown) from a run that
// ended early.
RunResult RunToTime(const Build& build, int32_t width, int32_t height, int32_t timeMs, int32_t fps,
                    bool& startupFailed);

}  // namespace tools
