#include "tools/seek.h"

#include <set>

#include "app/engine.h"
#include "platform/message_box.h"
#include "scripter/scripter.h"

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
                    std::vector<gl::FrameUse>* uses, const WantedFrameFn& onWanted) {
    RunResult result;
    for (size_t i = 0; i < frames.size(); ++i) {
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

RunResult RenderRun(const app::OpenDemoFile& file, int32_t width, int32_t height,
                    std::span<const LoopFrame> frames, bool replay, const WantedFrameFn& onWanted,
                    bool& startupFailed) {
    std::vector<bool> draw;
    if (!replay) {
        // The first run draws nothing and says nothing: its start-up and its frames are
        // repeated below, messages and all.
        const platform::MessageSink sink = platform::CurrentMessageSink();
        platform::SetMessageSink(IgnoreMessage);
        gl::UseSkipper(false);
        std::vector<gl::FrameUse> uses;
        app::ResetEngine();
        if (app::RunStartup(file, width, height, app::StartupHooks{})) {
            gl::TakeFrameUse();  // start-up is no frame
            gl::SetSkipping(true);
            RunFrames(frames, nullptr, &uses, nullptr);
        }
        draw = FramesToDraw(uses, frames);
        platform::SetMessageSink(sink);
        app::ResetEngine();
    }
    gl::UseSkipper(true);
    startupFailed = !app::RunStartup(file, width, height, app::StartupHooks{});
    if (startupFailed) return RunResult{RunEnd::Fatal, 0, 0};
    return RunFrames(frames, replay ? nullptr : &draw, nullptr, onWanted);
}

}  // namespace tools
