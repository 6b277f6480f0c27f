#include "tools/workbench/session.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/engine.h"
#include "gl/gl_layer.h"
#include "platform/audio.h"
#include "platform/paths.h"
#include "platform/window.h"
#include "platform/workbench/file_watch.h"
#include "platform/workbench/overlay.h"
#include "scripter/scripter.h"
#include "timeline/timeline.h"
#include "tools/render/png_writer.h"
#include "tools/workbench/music_follow.h"
#include "tools/workbench/play_clock.h"
#include "tools/workbench/play_errors.h"
#include "tools/workbench/play_run.h"
#include "tools/workbench/reload.h"
#include "tools/workbench/workbench_overlay.h"

namespace tools {
namespace {

using Clock = std::chrono::steady_clock;

double NowMs() {
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

// The music, restarted at every jump; the demo's time follows the wall clock.
struct MusicPlayback {
    bool open = false;
    bool playing = false;

    void Open(const std::string& musicFile) {
        std::string error;
        if (musicFile.empty()) return;
        if (!platform::OpenAudioOutput(error)) {
            std::fprintf(stderr, "qv play: no music: %s\n", error.c_str());
            return;
        }
        const std::string path = platform::ResolvePath(musicFile);
        open = platform::OpenMusicStream(path, error);
        if (!open)
            std::fprintf(stderr, "qv play: music '%s' cannot be played: %s\n",
                         platform::DisplayPath(path).c_str(), error.c_str());
    }
    void Follow(const Transport& t) {
        if (!open) return;
        switch (FollowMusic(t, playing)) {
            case MusicStep::PlayFromPlayhead: platform::PlayMusicFromMs(t.TimeMs()); break;
            case MusicStep::Pause: platform::PauseMusic(); break;
            case MusicStep::None: break;
        }
    }
};

class Session {
public:
    Session(const PlayOptions& o, Build build)
        : o_(o),
          build_(std::move(build)),
          t_(MakeTransport(o)),
          width_(o.width),
          height_(o.height) {}

    int Run();

private:
    // Runs the demo from its start to just before the transport's frame, then shows it.
    // False when the demo's content could not be loaded.
    bool SeekAndShow(bool shot);
    // Draws and presents the frame at the transport's time; with shot, writes it first.
    void Show(bool shot);
    void Halt(const char* why);
    void WriteShot();
    void ReportFatal();
    void Reload();
    bool HandleEvent(const platform::WindowEvent& e);  // true: quit
    void PollReload();
    // Draws the overlay onto the back buffer (after the demo's frame or the kept picture).
    void DrawOverlayNow();
    void ToggleOverlay();

    PlayOptions o_;
    Build build_;
    Transport t_;
    int32_t width_, height_;
    bool halted_ = false;  // a script error or quit: nothing runs until the next seek
    bool shiftDown_ = false;
    bool shotPending_ = false;
    MusicPlayback music_;
    platform::FileWatch watch_;
    bool watching_ = false;
    ReloadDebounce reload_;
    bool overlayOk_ = false, overlayOn_ = false;
    int32_t overlaySeekMs_ = -1;  // a click on the strip, carried out by the loop
    FrameTimes frames_{{}, NowMs()};
    std::string errors_;  // the last build or script errors, for the overlay
};

void Session::Halt(const char* why) {
    halted_ = true;
    t_.paused = true;
    music_.Follow(t_);
    std::fprintf(stderr, "qv play: paused at %s (%d ms): %s\n", FormatClock(t_.TimeMs()).c_str(),
                 int(t_.TimeMs()), why);
}

void Session::ReportFatal() {
    errors_ = FatalErrorText(build_, t_.TimeMs());
    Halt("script error; fix the source or seek elsewhere");
}

void Session::WriteShot() {
    std::vector<uint8_t> pixels(size_t(width_) * size_t(height_) * 4);
    const std::string path = "shot-" + std::to_string(t_.TimeMs()) + ".png";
    std::string error;
    if (!gl::ReadPixelsRGBA(width_, height_, pixels.data())) {
        std::fprintf(stderr, "qv play: cannot read the frame back\n");
        return;
    }
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;  // no alpha in the window
    if (!WritePngBottomUp(path, width_, height_, pixels.data(), error))
        std::fprintf(stderr, "qv play: cannot write '%s': %s\n", path.c_str(), error.c_str());
    else std::fprintf(stderr, "qv play: wrote %s\n", path.c_str());
}

void Session::Show(bool shot) {
    const int64_t budgetsBefore = scripter::BudgetsExhausted();
    const bool ok = app::DrawFrame(t_.TimeMs());
    // Taken every frame: the skipper collects what a frame does with textures until then.
    const gl::FrameUse use = gl::TakeFrameUse();
    if (!ok) return ReportFatal();
    if (shot) WriteShot();
    // A frame that ends inside a glBegin block takes no other drawing until it ends.
    if (overlayOn_ && !use.endsInBlock) {
        platform::KeepFrame(width_, height_);
        DrawOverlayNow();
    }
    gl::SwapBuffers();
    NotePresent(frames_, NowMs());
    if (scripter::QuitFlag()) Halt("the demo quits here");
    else if (scripter::BudgetsExhausted() != budgetsBefore)
        Halt(
            "a script ran out of its instruction budget (10,000,000 per clip run; an endless "
            "loop?) in this frame, which the player draws on without its rest");
}

void Session::DrawOverlayNow() {
    OverlayView v;
    v.timeMs = t_.TimeMs();
    v.paused = t_.paused;
    v.speed = t_.speed;
    if (t_.loopA >= 0) v.loopAMs = FrameTime(t_.loopA, t_.fps);
    if (t_.loopB >= 0) v.loopBMs = FrameTime(t_.loopB, t_.fps);
    const std::vector<float> times(frames_.ms.begin(), frames_.ms.end());
    v.framesPerSecond = t_.paused ? 0 : FramesPerSecond(frames_);
    v.frameMs = times;
    v.clips = app::Demo().clips;
    for (int track = 0; track < demo::kTrackCount; ++track)
        v.currentClip[size_t(track)] = timeline::CurrentClip(track);
    v.errors = errors_;
    platform::BeginOverlayFrame();
    const int32_t seek = DrawOverlay(v);
    platform::EndOverlayFrame();
    if (seek >= 0 && FrameAtOrBefore(seek, t_.fps) != t_.frame) overlaySeekMs_ = seek;
}

void Session::ToggleOverlay() {
    if (!overlayOk_) return;
    overlayOn_ = !overlayOn_;
    // While paused the picture is drawn anew, with or without the overlay.
    if (t_.paused) SeekAndShow(false);
}

bool Session::SeekAndShow(bool shot) {
    halted_ = false;
    bool startupFailed = false;
    const RunResult run = RunToTime(build_, width_, height_, t_.TimeMs(), t_.fps, startupFailed);
    if (startupFailed) {
        Halt("the demo's content cannot be loaded");
        return false;
    }
    if (run.end == RunEnd::Fatal) {
        t_.frame = FrameAtOrBefore(run.lastTime, t_.fps);
        ReportFatal();
    } else if (run.end == RunEnd::Quit) {
        t_.frame = FrameAtOrBefore(run.lastTime, t_.fps);
        Halt("the demo quits before this time");
    } else {
        Show(shot);
        music_.Follow(t_);
    }
    return true;
}

void Session::Reload() {
    const auto began = Clock::now();
    Build fresh;
    if (!LoadBuild(o_.path, fresh, errors_)) {
        std::fprintf(stderr, "qv play: the source has errors; the last good version plays on\n");
        return;
    }
    Build last = std::move(build_);
    build_ = std::move(fresh);
    if (!SeekAndShow(false)) {
        std::fprintf(stderr,
                     "qv play: the new content does not load; the last good version "
                     "plays on\n");
        build_ = std::move(last);
        SeekAndShow(false);
        return;
    }
    if (!halted_) errors_.clear();
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
    std::fprintf(stderr, "qv play: reloaded at %d ms in %lld ms\n", int(t_.TimeMs()),
                 static_cast<long long>(ms));
}

void Session::PollReload() {
    if (!watching_) return;
    const platform::FileChanges changes = watch_.TakeChanges();
    for (const platform::FileChange& change : changes.files)
        if (MattersForReload(change.path, o_.path, build_.musicFile))
            NoteChange(reload_, NowMs(), change.path, change.settled);
    if (changes.overflowed) NoteChange(reload_, NowMs());  // changes were lost: reload anyway
    if (TakeDueReload(reload_, NowMs())) Reload();
}

bool Session::HandleEvent(const platform::WindowEvent& e) {
    switch (e.kind) {
        case platform::WindowEvent::Quit: return true;
        case platform::WindowEvent::Resized:
            if (e.width == width_ && e.height == height_) return false;
            width_ = e.width;
            height_ = e.height;
            SeekAndShow(false);
            return false;
        case platform::WindowEvent::KeyUp:
            if (e.virtualKey == 16) shiftDown_ = false;
            return false;
        case platform::WindowEvent::KeyDown: break;
        default: return false;
    }
    if (e.virtualKey == 16) shiftDown_ = true;
    const bool wasPaused = t_.paused;
    const double speed = t_.speed;
    const Action action = ActionForKey(e.virtualKey, shiftDown_);
    if (action == Action::ToggleOverlay) {
        ToggleOverlay();
        return false;
    }
    switch (Apply(t_, action)) {
        case Move::Quit: return true;
        case Move::Seek: SeekAndShow(false); break;
        case Move::Step:
            if (halted_) SeekAndShow(false);
            else Show(false);
            break;
        case Move::Reshow:
            if (t_.paused || halted_) SeekAndShow(true);
            else shotPending_ = true;
            break;
        case Move::None:
            if (halted_ && !t_.paused) {
                t_.paused = true;  // nothing plays on from an error: seek or reload first
                break;
            }
            if (wasPaused != t_.paused || speed != t_.speed) music_.Follow(t_);
            break;
    }
    return false;
}

int Session::Run() {
    const std::string caption = "qv play: " + build_.title;
    platform::WindowOutcome outcome =
        platform::OpenGLWindow(width_, height_, o_.fullscreen, caption);
    if (outcome == platform::WindowOutcome::FullscreenRefused)
        outcome = platform::OpenGLWindow(width_, height_, false, caption);
    if (outcome != platform::WindowOutcome::Opened) {
        std::fprintf(stderr, "qv play: cannot open an OpenGL window\n");
        return 1;
    }
    overlayOk_ = platform::StartOverlay();
    if (!overlayOk_) std::fprintf(stderr, "qv play: no overlay (Dear ImGui did not start)\n");
    if (o_.audio) music_.Open(build_.musicFile);
    const std::filesystem::path folder = std::filesystem::path(o_.path).has_parent_path()
                                             ? std::filesystem::path(o_.path).parent_path()
                                             : std::filesystem::path(".");
    std::string error;
    watching_ = watch_.Start(folder.string(), error);
    if (!watching_) std::fprintf(stderr, "qv play: no reload on changes: %s\n", error.c_str());

    SeekAndShow(false);
    WallClock clock{NowMs()};
    platform::WindowEvent event;
    for (;;) {
        while (platform::PollWindowEvent(event))
            if (HandleEvent(event)) {
                platform::StopOverlay();
                platform::CloseGLWindow();
                return 0;
            }
        PollReload();
        if (overlaySeekMs_ >= 0) {
            t_.frame = FrameAtOrBefore(std::exchange(overlaySeekMs_, -1), t_.fps);
            t_.clockMs = t_.TimeMs();
            SeekAndShow(false);
        }
        if (overlayOn_ && (t_.paused || halted_) && NowMs() - frames_.lastPresentMs > 16) {
            // Nothing runs: the overlay goes over the picture kept from the last frame.
            platform::DrawKeptFrame(width_, height_);
            DrawOverlayNow();
            gl::SwapBuffers();
            frames_.lastPresentMs = NowMs();
        }
        const double elapsed = TakeElapsedMs(clock, NowMs());
        bool wrapped = false;
        const int64_t due = halted_ ? t_.frame : Advance(t_, elapsed, wrapped);
        if (wrapped) {
            SeekAndShow(std::exchange(shotPending_, false));
            continue;
        }
        if (due == t_.frame) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        // Every frame of the grid up to the due one runs and is shown, as in the player's loop.
        while (t_.frame < due && !halted_) {
            t_.frame += 1;
            Show(t_.frame == due && std::exchange(shotPending_, false));
        }
    }
}

}  // namespace

int RunSession(const PlayOptions& o, Build build) {
    Session session(o, std::move(build));
    return session.Run();
}

}  // namespace tools
