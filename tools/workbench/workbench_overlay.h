// What the overlay of `qv play` shows, drawn with Dear ImGui: the time, the drawing rate and
// a frame-time graph, the 20 tracks as a strip with their clips, the playhead and the loop
// (a click or a drag seeks; the running clips white), each track's running clip, and the last
// errors. The window system and OpenGL side of the overlay is platform/overlay.h.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "demo/clip.h"

namespace tools {

struct OverlayView {
    int32_t timeMs = 0;
    bool paused = false;
    double speed = 1;
    int32_t loopAMs = -1, loopBMs = -1;  // -1: not set
    double framesPerSecond = 0;          // frames presented per second of wall clock
    std::span<const float> frameMs;      // the latest frame times, oldest first
    std::span<const demo::Clip> clips;
    std::array<int32_t, demo::kTrackCount> currentClip{};  // timeline::CurrentClip
    std::string errors;                                    // empty: none
};

// The right end of the strip: past the end of the last clip, at least one second.
int32_t StripEndMs(std::span<const demo::Clip> clips);

// Where the strip's time axis lies on screen: from left to left + width pixels, 0 to endMs.
// Drawing and clicking both go through it, so a click seeks to the time drawn under the
// pointer.
struct StripAxis {
    float left = 0, width = 1;
    int32_t endMs = 1000;
};
// The x of a time (clamped to the axis).
float StripX(const StripAxis& a, int64_t ms);
// The time at x (clamped to 0 .. endMs).
int32_t StripTimeAt(const StripAxis& a, float x);

// Draws the overlay into the open ImGui frame. Returns the demo time a click or drag on the
// strip asks for, or -1.
int32_t DrawOverlay(const OverlayView& v);

}  // namespace tools
