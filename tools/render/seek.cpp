#include "tools/render/seek.h"

#include <algorithm>
#include <set>
#include <string>
#include <utility>

#include "app/engine.h"
#include "gl/driver_state.h"
#include "platform/message_box.h"
#include "scripter/passes.h"
#include "scripter/scripter.h"
#include "textures/texmanager.h"
#include "timeline/timeline.h"

namespace tools {
namespace {

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

namespace {

void IgnoreMessage(const std::string&, const std::string&) {}

// What a run of frames does besides running them.
struct RunHooks {
    const std::vector<bool>* draw = nullptr;    // which frames to draw (null: all)
    std::vector<gl::FrameUse>* uses = nullptr;  // receives what each frame did with textures
    WantedFrameFn onWanted;
    StopFn stop;
    std::function<void(size_t frame)> beforeFrame;
};

// Runs frames in order. A frame past the end of draw is drawn. The run stops after a frame
// whose script quits or fails.
RunResult RunFrames(std::span<const LoopFrame> frames, const RunHooks& hooks) {
    RunResult result;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (hooks.stop && hooks.stop()) {
            result.end = RunEnd::Stopped;
            return result;
        }
        if (hooks.beforeFrame) hooks.beforeFrame(i);
        const bool drawn = !hooks.draw || i >= hooks.draw->size() || (*hooks.draw)[i];
        gl::SetSkipping(!drawn);
        result.framesRun = i + 1;
        result.lastTime = frames[i].time;
        if (!app::DrawFrame(frames[i].time)) result.end = RunEnd::Fatal;
        else if (frames[i].wanted && hooks.onWanted && !hooks.onWanted(i, frames[i].time))
            result.end = RunEnd::Stopped;
        else gl::SwapBuffers();
        gl::FrameUse use = gl::TakeFrameUse();
        if (hooks.uses) hooks.uses->push_back(std::move(use));
        if (result.end != RunEnd::Done) return result;
        if (scripter::QuitFlag()) {
            result.end = RunEnd::Quit;
            return result;
        }
    }
    return result;
}

// Which of frames to draw, from their uses, so that the frames after them come out as in a
// full replay. Those frames are unknown here: take them to sample every texture one of these
// frames copied into, and to go on with the block the last one left open.
std::vector<bool> DrawBefore(std::vector<gl::FrameUse> uses, std::span<const LoopFrame> frames) {
    std::set<uint32_t> written;
    for (const gl::FrameUse& use : uses)
        for (const gl::FrameUse::Event& e : use.events)
            if (e.kind == gl::FrameUse::Write) written.insert(e.texture);
    gl::FrameUse later;
    for (uint32_t texture : written) later.events.push_back({gl::FrameUse::Sample, texture});
    later.startsInBlock = !uses.empty() && uses.back().endsInBlock;
    uses.push_back(std::move(later));
    std::vector<LoopFrame> withLater(frames.begin(), frames.end());
    withLater.push_back({0, true});
    std::vector<bool> draw = FramesToDraw(uses, withLater);
    draw.pop_back();
    return draw;
}

// A result of frames run from frame `offset` of the whole run.
RunResult Offset(RunResult r, size_t offset) {
    if (r.framesRun > 0) r.framesRun += offset;
    return r;
}

// Messages and fatal reports off while frames run a second time.
class Silence {
public:
    Silence() : sink_(platform::CurrentMessageSink()) {
        platform::SetMessageSink(IgnoreMessage);
        timeline::PrintFatalReports(false);
    }
    ~Silence() {
        timeline::PrintFatalReports(true);
        platform::SetMessageSink(sink_);
    }
    Silence(const Silence&) = delete;
    Silence& operator=(const Silence&) = delete;

private:
    platform::MessageSink sink_;
};

// A seek's first pass over frames[from, end): every frame skipped, its texture use appended
// to uses (which holds the frames before from), and a checkpoint before each frame at least
// kCheckpointEveryMs after the last one (unless the frame before ended inside a block); the
// caller took the one before the first frame.
RunResult SkipAndRecord(std::span<const LoopFrame> frames, size_t from, const StopFn& stop,
                        std::vector<gl::FrameUse>& uses,
                        std::vector<FrameCheckpoint>& checkpoints) {
    const std::span<const LoopFrame> run = frames.subspan(from);
    const std::vector<bool> none(run.size(), false);
    RunHooks hooks;
    hooks.draw = &none;
    hooks.uses = &uses;
    hooks.stop = stop;
    hooks.beforeFrame = [&](size_t i) {
        const size_t frame = from + i;
        if (frame == 0 || uses.back().endsInBlock ||
            frames[frame].time - frames[checkpoints.back().frame].time < kCheckpointEveryMs)
            return;
        FrameCheckpoint taken{frame, {}};
        if (app::CaptureCheckpoint(taken.state, false)) checkpoints.push_back(std::move(taken));
    };
    gl::RecordFrameUse(true);
    const RunResult result = RunFrames(run, hooks);
    gl::RecordFrameUse(false);
    return Offset(result, from);
}

// The latest checkpoint at or before frame.
const FrameCheckpoint& LatestAtOrBefore(const std::vector<FrameCheckpoint>& checkpoints,
                                        size_t frame) {
    return *std::find_if(checkpoints.rbegin(), checkpoints.rend(),
                         [frame](const FrameCheckpoint& c) { return c.frame <= frame; });
}

// Runs frames[from, to) with draw, whose entries are for all frames.
RunResult RunSlice(std::span<const LoopFrame> frames, const std::vector<bool>& draw, size_t from,
                   size_t to, const StopFn& stop) {
    const std::vector<bool> slice(draw.begin() + std::ptrdiff_t(from),
                                  draw.begin() + std::ptrdiff_t(to));
    RunHooks hooks;
    hooks.draw = &slice;
    hooks.stop = stop;
    return RunFrames(frames.subspan(from, to - from), hooks);
}

// Draws the frames of draw, each stretch of consecutive ones from the latest checkpoint
// before it (or from where the run stands, when that is nearer), then puts the state after
// the last frame back (end). The textures keep what the drawn frames copied.
RunResult DrawStretches(std::span<const LoopFrame> frames, const std::vector<bool>& draw,
                        const std::vector<FrameCheckpoint>& checkpoints, const FrameCheckpoint& end,
                        const StopFn& stop) {
    size_t at = frames.size();  // the frame the run stands before
    for (size_t a = 0; a < frames.size(); ++a) {
        if (!draw[a]) continue;
        size_t b = a;
        while (b < frames.size() && draw[b]) ++b;
        const FrameCheckpoint& from = LatestAtOrBefore(checkpoints, a);
        if (at > a || from.frame > at) {
            app::RestoreCheckpoint(from.state);
            at = from.frame;
        }
        const RunResult run = RunSlice(frames, draw, at, b, stop);
        if (run.end == RunEnd::Stopped) return run;
        at = a = b;
    }
    if (at < frames.size()) app::RestoreCheckpoint(end.state);
    return RunResult{};
}

// The second pass of a seek whose first pass left the state after the last of frames (none of
// them wanted) and their uses: the frames that must be drawn are drawn from checkpoints, and
// that state is put back. When the last frame ends inside a block, there is no such state to
// put back: the run goes back once, to the last checkpoint before the first frame to draw,
// and on to the end.
RunResult DrawNeeded(std::span<const LoopFrame> frames, std::vector<gl::FrameUse> uses,
                     const std::vector<FrameCheckpoint>& checkpoints, const StopFn& stop,
                     const RunResult& first) {
    const bool endsInBlock = uses.back().endsInBlock;
    const std::vector<bool> draw = DrawBefore(std::move(uses), frames);
    const size_t firstDrawn = size_t(std::find(draw.begin(), draw.end(), true) - draw.begin());
    if (firstDrawn == frames.size()) return first;  // the first pass left the state as it is
    const Silence silence;  // these frames have said what they say in the first pass
    FrameCheckpoint end{frames.size(), {}};
    RunResult again;
    if (!endsInBlock && app::CaptureCheckpoint(end.state, false)) {
        again = DrawStretches(frames, draw, checkpoints, end, stop);
    } else {
        const FrameCheckpoint& from = LatestAtOrBefore(checkpoints, firstDrawn);
        app::RestoreCheckpoint(from.state);
        again = RunSlice(frames, draw, from.frame, frames.size(), stop);
    }
    return again.end == RunEnd::Stopped ? again : first;
}

// Runs frames (none of them wanted) on the driver so that the frames after them come out as
// in a full replay: the first pass skips them all, then DrawNeeded. A block left open before
// the frames leaves no checkpoint at all: then every frame is drawn. With kept, the first
// pass's uses and checkpoints stay there.
RunResult CatchUp(std::span<const LoopFrame> frames, const StopFn& stop, KeptRun* kept) {
    KeptRun local;
    KeptRun& run = kept ? *kept : local;
    run.uses.clear();
    run.checkpoints.assign(1, FrameCheckpoint{0, {}});
    if (!app::CaptureCheckpoint(run.checkpoints[0].state, false)) {
        run.valid = false;
        RunHooks all;
        all.stop = stop;
        return RunFrames(frames, all);
    }
    if (frames.empty()) return RunResult{};
    const RunResult first = SkipAndRecord(frames, 0, stop, run.uses, run.checkpoints);
    if (first.end == RunEnd::Fatal || first.end == RunEnd::Quit) run.valid = false;
    if (first.end != RunEnd::Done) return first;
    return DrawNeeded(frames, run.uses, run.checkpoints, stop, first);
}

// Start-up on the driver behind the skipper, from an engine as at program start (a caller
// may have run a start-up before); false (message shown) when it fails.
bool StartOnDriver(const app::OpenDemoFile& file, int32_t width, int32_t height) {
    app::ResetEngine();
    gl::UseSkipper();
    return app::RunStartup(file, width, height, app::StartupHooks{});
}

}  // namespace

RunResult RenderRun(const app::OpenDemoFile& file, int32_t width, int32_t height,
                    std::span<const LoopFrame> frames, bool replay, const WantedFrameFn& onWanted,
                    bool& startupFailed) {
    startupFailed = !StartOnDriver(file, width, height);
    if (startupFailed) return RunResult{RunEnd::Fatal, 0, 0};
    RunHooks drawn;
    drawn.onWanted = onWanted;
    if (replay) return RunFrames(frames, drawn);
    // From wanted frame to wanted frame: the frames between are caught up, the wanted one drawn.
    RunResult result;
    for (size_t begin = 0; begin < frames.size();) {
        size_t wanted = begin;
        while (wanted < frames.size() && !frames[wanted].wanted) ++wanted;
        const RunResult between = CatchUp(frames.subspan(begin, wanted - begin), nullptr, nullptr);
        if (between.end != RunEnd::Done) return Offset(between, begin);
        if (wanted == frames.size()) break;
        result = Offset(RunFrames(frames.subspan(wanted, 1), drawn), wanted);
        if (result.end != RunEnd::Done) return result;
        begin = wanted + 1;
    }
    return result;
}

std::vector<LoopFrame> FramesBefore(int32_t time, int32_t fps) {
    std::vector<LoopFrame> frames = LoopFrames(std::span(&time, 1), fps);
    frames.pop_back();
    return frames;
}

namespace {

// The textures whose start-up pixels a kept run keeps: those copies write (render targets
// and the blur texture).
std::vector<uint32_t> CopyTargets() {
    std::vector<uint32_t> names;
    const demo::DemoFile& d = app::Demo();
    for (int32_t slot = 0; slot < textures::TextureCount(); ++slot)
        if (size_t(slot) < d.textureSources.size() &&
            textures::SlotKindOf(d.textureSources[size_t(slot)].bytes) ==
                textures::SlotKind::RenderTarget &&
            textures::TextureNameAt(slot) != 0)
            names.push_back(textures::TextureNameAt(slot));
    if (scripter::passes::BlurTexture() != 0) names.push_back(scripter::passes::BlurTexture());
    return names;
}

void NoteWritten(KeptRun& kept) {
    for (uint32_t name : scripter::passes::SavePasses().written)
        if (std::find(kept.written.begin(), kept.written.end(), name) == kept.written.end())
            kept.written.push_back(name);
}

}  // namespace

RunResult RunUpTo(const app::OpenDemoFile& file, int32_t width, int32_t height, int32_t time,
                  int32_t fps, bool& startupFailed, const StopFn& stop, KeptRun* keep) {
    return RunThrough(file, width, height, FramesBefore(time, fps), fps, startupFailed, stop, keep);
}

RunResult RunThrough(const app::OpenDemoFile& file, int32_t width, int32_t height,
                     std::span<const LoopFrame> frames, int32_t fps, bool& startupFailed,
                     const StopFn& stop, KeptRun* keep) {
    if (keep) *keep = KeptRun{};
    startupFailed = !StartOnDriver(file, width, height);
    if (startupFailed) return RunResult{RunEnd::Fatal, 0, 0};
    if (keep) {
        keep->fps = fps;
        keep->valid = gl::CaptureTextures(CopyTargets(), keep->startupImages);
    }
    const RunResult result = CatchUp(frames, stop, keep);
    gl::SetSkipping(false);
    return result;
}

RunResult SeekKept(KeptRun& kept, int32_t time, const StopFn& stop, bool& served) {
    served = false;
    if (!kept.valid || kept.checkpoints.empty()) return RunResult{};
    NoteWritten(kept);
    std::vector<gl::TextureImage> startup;
    for (uint32_t name : kept.written) {
        auto image = std::find_if(kept.startupImages.begin(), kept.startupImages.end(),
                                  [name](const gl::TextureImage& i) { return i.name == name; });
        if (image == kept.startupImages.end()) return RunResult{};
        startup.push_back(*image);
    }
    served = true;
    const std::vector<LoopFrame> frames = FramesBefore(time, kept.fps);
    // The state before frame N from the checkpoint before it: the frames run before are run
    // again quietly, the new ones recorded.
    const size_t n = frames.size(), have = std::min(kept.uses.size(), n);
    const FrameCheckpoint& from = LatestAtOrBefore(kept.checkpoints, have);
    app::RestoreCheckpoint(from.state);
    RunResult first;
    {
        const Silence silence;
        first = RunSlice(frames, std::vector<bool>(n, false), from.frame, have, stop);
    }
    if (first.end == RunEnd::Done && n > kept.uses.size()) {
        kept.uses.resize(have);
        first = SkipAndRecord(frames, have, stop, kept.uses, kept.checkpoints);
    }
    if (first.end == RunEnd::Fatal || first.end == RunEnd::Quit) kept.valid = false;
    if (first.end != RunEnd::Done) {
        gl::SetSkipping(false);
        return first;
    }
    first.framesRun = n;
    first.lastTime = n > 0 ? frames.back().time : 0;
    // The textures as start-up left them, as on a fresh context; the copies the frames from
    // `time` on need are drawn again.
    gl::RestoreTextures(startup);
    const std::vector<gl::FrameUse> uses(kept.uses.begin(), kept.uses.begin() + std::ptrdiff_t(n));
    const RunResult result =
        n > 0 ? DrawNeeded(frames, uses, kept.checkpoints, stop, first) : first;
    gl::SetSkipping(false);
    return result;
}

void ForgetKeptFrom(KeptRun& kept, size_t frame) {
    if (kept.uses.size() > frame) kept.uses.resize(frame);
    while (kept.checkpoints.size() > 1 && kept.checkpoints.back().frame > frame)
        kept.checkpoints.pop_back();
}

size_t KeptRun::Bytes() const {
    size_t bytes = sizeof(KeptRun);
    for (const gl::FrameUse& use : uses)
        bytes += sizeof use + use.events.size() * sizeof(gl::FrameUse::Event);
    for (const FrameCheckpoint& c : checkpoints) bytes += app::CheckpointBytes(c.state);
    for (const gl::TextureImage& image : startupImages) bytes += sizeof image + image.rgba.size();
    return bytes;
}

}  // namespace tools
