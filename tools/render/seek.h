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

#include "app/checkpoint.h"
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

// The state of a run before one of its frames (a first pass's checkpoint: no pixels).
struct FrameCheckpoint {
    size_t frame = 0;
    app::Checkpoint state;
};

// What a workbench keeps of the runs it made of one demo on one context, so that a later run
// to any time repeats no simulation already done: what every frame of the grid did with
// textures and a checkpoint every kCheckpointEveryMs, from the first passes; and what start-up
// left in the textures copies write (the render targets and the blur texture), to put them
// back before the frames a picture needs are drawn again. Checkpoint memory: about 2 KB each.
struct KeptRun {
    bool valid = false;
    int32_t fps = 0;
    std::vector<gl::FrameUse> uses;            // frames 0, 1, ... of the grid
    std::vector<FrameCheckpoint> checkpoints;  // ascending; the first before frame 0
    std::vector<gl::TextureImage> startupImages;
    std::vector<uint32_t> written;  // textures copies wrote on this context since start-up
    size_t Bytes() const;           // what it holds, about
};

// Start-up and the loop frames before `time` (at fps), drawing only what the frames from
// `time` on can depend on: for every texture, its last copy before `time` (and what that copy
// needs), as if each later frame sampled every texture. Afterwards every frame is drawn; the
// caller draws the frame at `time` and on. stop can cut the run short (a workbench whose
// author pressed a key). With keep, the run is kept there for SeekKept.
RunResult RunUpTo(const app::OpenDemoFile& file, int32_t width, int32_t height, int32_t time,
                  int32_t fps, bool& startupFailed, const StopFn& stop = nullptr,
                  KeptRun* keep = nullptr);

// The loop frames before `time` at fps: those RunUpTo runs.
std::vector<LoopFrame> FramesBefore(int32_t time, int32_t fps);

// The same for any frames (none wanted), such as a video's frames before the first one it
// writes: start-up and frames, drawing only what the frames after them can depend on. A kept
// run's frames must be the grid's at fps.
RunResult RunThrough(const app::OpenDemoFile& file, int32_t width, int32_t height,
                     std::span<const LoopFrame> frames, int32_t fps, bool& startupFailed,
                     const StopFn& stop = nullptr, KeptRun* keep = nullptr);

// The same on the context of a kept run, whatever frames ran there since (none may have ended
// inside a glBegin block): from the kept checkpoints, simulating only frames not simulated
// before. served is false when the kept run cannot do it (a copy wrote a texture start-up
// pixels were not kept for): then nothing has changed, and the caller runs RunUpTo on a fresh
// context instead.
RunResult SeekKept(KeptRun& kept, int32_t time, const StopFn& stop, bool& served);

// The frames from `frame` on of a kept run are no longer what they were (the demo changed
// from there): what they did is forgotten.
void ForgetKeptFrom(KeptRun& kept, size_t frame);

}  // namespace tools
