// The clock accounting of `qv play`: how much wall-clock time passes between two looks at the
// clock, and the latest frame times with the drawing rate they give, for the overlay. Pure:
// times are arguments (ms of a steady clock).
#pragma once
#include <cstddef>
#include <deque>

#include "tools/workbench/workbench.h"

namespace tools {

// When the frames cannot keep up with the wall clock, the playhead slips: playing time runs
// at most kMostLagMs of demo time ahead of the frame shown, so that every frame of the grid
// still runs (later than the wall clock says) and the loop gets back to the window's events.
inline constexpr double kMostLagMs = 100;
void SlipBehind(Transport& t);

struct WallClock {
    double lastMs = 0;
};

// The time since the last look (or restart), which becomes the last look.
double TakeElapsedMs(WallClock& c, double nowMs);

// After a run (seek, reload, loop wrap) that ended at nowMs: the time it took is not playing
// time, so playing goes on from the frame it showed.
void RestartAfterRun(WallClock& c, Transport& t, double nowMs);

// The latest kFrameTimesKept intervals between presented frames, oldest first.
inline constexpr size_t kFrameTimesKept = 120;

struct FrameTimes {
    std::deque<float> ms;
    double lastPresentMs = 0;
};

// A frame was presented at nowMs.
void NotePresent(FrameTimes& f, double nowMs);
// Frames presented per second over the kept intervals (0 when none).
double FramesPerSecond(const FrameTimes& f);

}  // namespace tools
