#include "tools/render/seek.h"

#include <set>
#include <utility>

#include "app/engine.h"
#include "platform/message_box.h"
#include "scripter/scripter.h"
#include "timeline/timeline.h"

namespace tools {
namespace {

void IgnoreMessage(const std::string&, const std::string&) {}

// Marks frame i drawn when it writes a texture that a later drawn frame samples first, then
// for a drawn frame moves the textures it samples into `pending` (they must come from an
// earlier frame), walking its events backwards so that a copy it makes before sampling
// satisfies its own sample.
void Decide(const gl::FrameUse& use, bool& drawn, std::set<uint32_t>& pending) {
    for (const gl::FrameUse::Event& e : use.events)
        if (e.kind == gl::FrameUse::Write && pending.count(e.texture)) drawn = true;
    if (!drawn) return;
    for (auto e = use.events.rbegin(); e != use.events.rend(); ++e) {
        if (e->kind == gl::FrameUse::Write) pending.erase(e->texture);
        else pending.insert(e->texture);
    }
}

}  // namespace

std::vector<LoopFrame> LoopFrames(std::span<const int32_t> wantedTimes, int32_t fps) {
    std::vector<LoopFrame> frames;
    int64_t k = 0;
    auto loopTime = [fps](int64_t i) { return int32_t(i * 1000 / fps); };
    for (int32_t wanted : wantedTimes) {
        for (; loopTime(k) < wanted; ++k) frames.push_back({loopTime(k), false});
        if (loopTime(k) == wanted) ++k;
        frames.push_back({wanted, true});
    }
    return frames;
}

int64_t RunFrameCount(int32_t time, int32_t fps) {
    // Loop frame k comes before time when k * 1000 / fps < time, that is k * 1000 < time * fps.
    return (int64_t(time) * fps + 999) / 1000 + 1;
}

std::vector<bool> FramesToDraw(std::span<const gl::FrameUse> uses,
                               std::span<const LoopFrame> frames) {
    std::vector<bool> draw(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) draw[i] = frames[i].wanted;
    std::set<uint32_t> pending;  // textures drawn frames sample from before them
    for (size_t i = std::min(uses.size(), frames.size()); i-- > 0;) {
        bool drawn = draw[i];
        Decide(uses[i], drawn, pending);
        draw[i] = drawn;
        // A frame that starts inside a block continues the previous frame's primitive and
        // skips its clear: the previous frame's pixels are part of it.
        if (drawn && uses[i].startsInBlock && i > 0) draw[i - 1] = true;
    }
    return draw;
}

RunResult RunFrames(std::span<const LoopFrame> frames, const std::vector<bool>* draw,
                    std::vector<gl::FrameUse>* uses, const WantedFrameFn& onWanted,
                    const StopFn& stop) {
    RunResult result;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (stop && stop()) {
            result.end = RunEnd::Stopped;
            return result;
        }
        const bool drawn = !draw || i >= draw->size() || (*draw)[i];
        gl::SetSkipping(!drawn);
        result.framesRun = i + 1;
        result.lastTime = frames[i].time;
        if (!app::DrawFrame(frames[i].time)) result.end = RunEnd::Fatal;
        else if (frames[i].wanted && onWanted && !onWanted(i, frames[i].time))
            result.end = RunEnd::Stopped;
        else gl::SwapBuffers();
        if (uses) uses->push_back(gl::TakeFrameUse());
        if (result.end != RunEnd::Done) return result;
        if (scripter::QuitFlag()) {
            result.end = RunEnd::Quit;
            return result;
        }
    }
    return result;
}

namespace {

// What each frame does with textures, from a run that draws nothing and says nothing: its
// start-up and its frames are repeated afterwards, messages and all.
std::vector<gl::FrameUse> RecordUses(const app::OpenDemoFile& file, int32_t width, int32_t height,
                                     std::span<const LoopFrame> frames, const StopFn& stop,
                                     bool& stopped) {
    const platform::MessageSink sink = platform::CurrentMessageSink();
    platform::SetMessageSink(IgnoreMessage);
    timeline::PrintFatalReports(false);
    gl::UseSkipper(false);
    std::vector<gl::FrameUse> uses;
    app::ResetEngine();
    if (app::RunStartup(file, width, height, app::StartupHooks{})) {
        gl::TakeFrameUse();  // start-up is no frame
        stopped = RunFrames(frames, nullptr, &uses, nullptr, stop).end == RunEnd::Stopped;
    }
    timeline::PrintFatalReports(true);
    platform::SetMessageSink(sink);
    app::ResetEngine();
    return uses;
}

// Start-up on the driver behind the skipper; false (message shown) when it fails.
bool StartOnDriver(const app::OpenDemoFile& file, int32_t width, int32_t height) {
    gl::UseSkipper(true);
    return app::RunStartup(file, width, height, app::StartupHooks{});
}

}  // namespace

RunResult RenderRun(const app::OpenDemoFile& file, int32_t width, int32_t height,
                    std::span<const LoopFrame> frames, bool replay, const WantedFrameFn& onWanted,
                    bool& startupFailed) {
    std::vector<bool> draw;
    bool stopped = false;
    if (!replay)
        draw = FramesToDraw(RecordUses(file, width, height, frames, nullptr, stopped), frames);
    startupFailed = !StartOnDriver(file, width, height);
    if (startupFailed) return RunResult{RunEnd::Fatal, 0, 0};
    return RunFrames(frames, replay ? nullptr : &draw, nullptr, onWanted);
}

namespace {

// Which of frames (those before `time`) to draw, from their uses. The frames from `time` on
// are unknown here: take them to sample every texture an earlier frame copied into, and to go
// on with the block the last frame left open. Takes the uses: a long run's record is large.
std::vector<bool> DrawBefore(std::vector<gl::FrameUse> uses, std::vector<LoopFrame>& frames,
                             int32_t time) {
    std::set<uint32_t> written;
    for (const gl::FrameUse& use : uses)
        for (const gl::FrameUse::Event& e : use.events)
            if (e.kind == gl::FrameUse::Write) written.insert(e.texture);
    gl::FrameUse later;
    for (uint32_t texture : written) later.events.push_back({gl::FrameUse::Sample, texture});
    later.startsInBlock = !uses.empty() && uses.back().endsInBlock;
    if (uses.size() == frames.size()) uses.push_back(std::move(later));
    frames.push_back({time, true});
    std::vector<bool> draw = FramesToDraw(uses, frames);
    frames.pop_back();
    draw.pop_back();
    return draw;
}

}  // namespace

RunResult RunUpTo(const app::OpenDemoFile& file, int32_t width, int32_t height, int32_t time,
                  int32_t fps, bool& startupFailed, const StopFn& stop) {
    startupFailed = false;
    std::vector<LoopFrame> frames = LoopFrames(std::span(&time, 1), fps);
    frames.pop_back();  // the frame at `time` is the caller's
    bool stopped = false;
    std::vector<gl::FrameUse> uses = RecordUses(file, width, height, frames, stop, stopped);
    if (stopped) return RunResult{RunEnd::Stopped, 0, 0};
    const std::vector<bool> draw = DrawBefore(std::move(uses), frames, time);
    startupFailed = !StartOnDriver(file, width, height);
    if (startupFailed) return RunResult{RunEnd::Fatal, 0, 0};
    RunResult result = RunFrames(frames, &draw, nullptr, nullptr, stop);
    gl::SetSkipping(false);
    return result;
}

}  // namespace tools
