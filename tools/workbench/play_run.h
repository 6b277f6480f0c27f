// One run of the demo for `qv play`: a fresh OpenGL context (so that no state, texture or
// open glBegin block of the frames shown before survives: every run starts as `qv render`
// does), start-up, then every frame of the grid before a time; or, on the context of the
// last run, from the checkpoints kept of it (tools/render/seek.h: only the
// frames whose pixels later frames can see are drawn). Nothing is presented meanwhile: the
// window keeps its last frame until the caller draws and presents the frame at that time.
#pragma once
#include <cstdint>

#include "tools/render/seek.h"
#include "tools/workbench/play_build.h"

namespace tools {

// stop is asked between frames: a run it stops ends with RunEnd::Stopped and leaves nothing
// worth keeping. startupFailed tells a start-up that failed (its message has been shown) from
// a run that ended early.
//
// With reuse, the run goes on the context of the kept run instead, from its checkpoints
// (tools/render/seek.h): the caller says so only while that context holds the same build at
// the same size and no frame shown since ended inside a glBegin block. fresh tells which way
// the run went; a fresh run is kept in kept.
RunResult RunToTime(const Build& build, KeptRun& kept, bool reuse, int32_t width, int32_t height,
                    int32_t timeMs, int32_t fps, const StopFn& stop, bool& startupFailed,
                    bool& fresh);

}  // namespace tools
