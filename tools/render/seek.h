// Exact seeking for the tools that render a run without a window (qv render, video export,
// qv play). A run is the player's frame loop at a steady frame rate. The picture of a frame
// depends on everything the frames before it left behind: script variables and stacks,
// particle registers, each track's clip, the OpenGL state, and the render-target and blur
// textures copied in earlier frames. A full replay draws every frame; a seek runs every frame
// too (all that state evolves), but draws only the frames whose pixels a wanted picture can
// see: the wanted frames themselves and, recursively, the last frame before each of them that
// copied into a texture it samples.
//
// Which frames those are is found by a first pass that draws nothing: under the GL layer's
// skipper the driver's state evolves exactly as drawing would, the skipper records what each
// frame does with textures, and a checkpoint of the run's state is taken every quarter second
// of demo time. The run then goes back to the last checkpoint before the first frame that
// must be drawn and runs on from there, drawing those frames: at most a quarter second is
// simulated twice. The pictures are byte for byte those of the full replay, because the
// driver sees the same state in the same order and every texture a picture samples holds the
// same pixels (the first pass wrote none, and every copy a picture needs is drawn after the
// checkpoint).
#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "app/demo_loader.h"
#include "gl/gl_layer.h"

namespace tools {

struct LoopFrame {
    int32_t time = 0;     // demo time, ms
    bool wanted = false;  // its picture is asked for
};

// The frames of a run at fps frames per second up to the last wanted time: loop frame k at
// k * 1000 / fps ms (truncated), and each wanted time (ascending) as a frame of its own that
// replaces the loop frame at the same time. The caller keeps the run within kMostRunFrames.
std::vector<LoopFrame> LoopFrames(std::span<const int32_t> wantedTimes, int32_t fps);

// A run keeps a few dozen bytes per frame (its frames and their texture use): a run of days
// at 1000 fps would not fit in memory. A million frames are 4 h 37 min of demo time at 60 fps.
constexpr int64_t kMostRunFrames = 1'000'000;

// The frames of a run up to and including the frame at time (the loop frames before it and
// that frame).
int64_t RunFrameCount(int32_t time, int32_t fps);

// Which frames to draw so that every wanted frame comes out as in a full replay. uses[i] is
// what frame i did with textures; frames past uses.size() never ran.
std::vector<bool> FramesToDraw(std::span<const gl::FrameUse> uses,
                               std::span<const LoopFrame> frames);

enum class RunEnd { Done, Quit, Fatal, Stopped };

struct RunResult {
    RunEnd end = RunEnd::Done;
    size_t framesRun = 0;  // the frame that quit or failed included
    int32_t lastTime = 0;  // demo time of the last frame run
};

// Called with each wanted frame drawn, before its swap; false stops the run.
using WantedFrameFn = std::function<bool(size_t frame, int32_t time)>;
// Asked before each frame; true stops the run there (RunEnd::Stopped). Null: never.
using StopFn = std::function<bool()>;

// A seek's first pass takes a checkpoint before the first frame at least this much demo
// time after the last one.
constexpr int32_t kCheckpointEveryMs = 250;

// Start-up and the run on the driver of the current context (width x height), drawing only
// the frames a wanted one depends on; replay draws every frame instead. startupFailed tells a
// start-up that failed (its message has been shown) from a run that ended early.
RunResult RenderRun(const app::OpenDemoFile& file, int32_t width, int32_t height,
                    std::span<const LoopFrame> frames, bool replay, const WantedFrameFn& onWanted,
                    bool& startupFailed);

// Start-up and the loop frames before `time` (at fps), drawing only what the frames from
// `time` on can depend on: for every texture, its last copy before `time` (and what that copy
// needs), as if each later frame sampled every texture. Afterwards every frame is drawn; the
// caller draws the frame at `time` and on. stop can cut the run short (a workbench whose
// author pressed a key).
RunResult RunUpTo(const app::OpenDemoFile& file, int32_t width, int32_t height, int32_t time,
                  int32_t fps, bool& startupFailed, const StopFn& stop = nullptr);

}  // namespace tools
