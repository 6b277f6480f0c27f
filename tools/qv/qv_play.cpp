// qv play SOURCE.qvs | DEMO.acs [--start MS] [--paused] [--size WxH] [--fullscreen] [--fps N]
//         [--no-audio] [--loop A:B] [--speed X]
// The author's workbench: the demo in a window, straight from its source, with a transport
// (pause, seek, step, loop, speed), shots, and a reload whenever the source or a file beside it
// changes. Every frame shown is a frame of the grid the run advances on, reached exactly: a
// seek, a reload or a step back runs the demo from its start to just before the frame
// (tools/seek.h) and then draws it, so the picture is the one `qv render --time T --fps N`
// gives; playing on runs every frame of the grid after it, as the player's loop would.
// A script error or the demo's quit instruction pauses the session instead of ending it.
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/demo_loader.h"
#include "app/engine.h"
#include "core/file_io.h"
#include "demo/demo_file.h"
#include "gl/gl_layer.h"
#include "platform/audio.h"
#include "platform/workbench/file_watch.h"
#include "platform/message_box.h"
#include "platform/workbench/overlay.h"
#include "platform/paths.h"
#include "platform/window.h"
#include "scripter/scripter.h"
#include "timeline/timeline.h"
#include "tools/source/demo_source.h"
#include "tools/qv/cli.h"
#include "tools/render/png_writer.h"
#include "tools/qv/qv_commands.h"
#include "tools/render/seek.h"
#include "tools/workbench/workbench.h"
#include "tools/workbench/workbench_overlay.h"

namespace tools {

extern const char kPlayHelp[] =
    "usage: qv play SOURCE.qvs | DEMO.acs [--start MS] [--paused] [--size WxH] [--fullscreen]\n"
    "               [--fps N] [--no-audio] [--loop A:B] [--speed X]\n"
    "Plays the demo in a window, built from its source in memory, and reloads it at the same\n"
    "time whenever the source, its music or a file in data/ beside it changes.\n"
    "  --start MS     demo time to start at (default 0)\n"
    "  --paused       start paused\n"
    "  --size WxH     window size (default 800x600)\n"
    "  --fullscreen   full screen at that size\n"
    "  --fps N        frames per second of the frame grid (default 60), as qv render --fps\n"
    "  --no-audio     no music\n"
    "  --loop A:B     play from A to B ms over and over\n"
    "  --speed X      playing speed, 0.0625 to 16 (music only at 1)\n"
    "Keys: Space pause, Left/Right -/+1 s (Shift: 10 s), Home to 0, ',' '.' one frame back/\n"
    "ahead while paused, '[' ']' loop start/end here, '\\' no loop, '-' '=' half/double speed,\n"
    "F12 writes shot-MS.png into the working folder, Tab shows or hides the overlay (time,\n"
    "frame rate, the tracks and their clips, where a click seeks, errors), Escape quits.\n"
    "Each frame shown at time T is the frame of qv render --time T at the same size and fps;\n"
    "times are taken to the frame of the grid at or before them.\n"
    "Exit status: 0 done, 1 errors, 2 wrong arguments.\n";

namespace {

using Clock = std::chrono::steady_clock;

void PrintMessage(const std::string& caption, const std::string& text) {
    ReportMessageBox("play", caption, text);
}

// One build of the demo: the demo file's bytes as the player opens them, and for a source
// where each script's instructions came from.
struct Build {
    app::OpenDemoFile file;
    std::string title, musicFile;
    SourceMap map;
    bool fromSource = false;
};

// Reads (and for a source, assembles) the demo. False after its errors went to stderr and
// into errors.
bool LoadBuild(const std::string& path, Build& out, std::string& errors) {
    errors.clear();
    auto report = [&errors](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
        errors += line + "\n";
    };
    Build b;
    b.file.path = path;
    std::string error;
    if (IsSourcePath(path)) {
        std::string text;
        if (!core::ReadWholeFile(path, text, &error)) {
            report("qv play: cannot read '" + path + "': " + error);
            return false;
        }
        demo::DemoFile demo;
        SourceResult result;
        const bool ok = ParseDemoSource(text, path, demo, result);
        for (const Diagnostic& d : result.diagnostics) report(FormatDiagnostic(path, d));
        if (!ok) return false;
        const std::string bytes = demo::WriteDemoFile(demo);
        b.file.bytes.assign(bytes.begin(), bytes.end());
        b.map = std::move(result.map);
        b.fromSource = true;
    } else if (!core::ReadWholeFile(path, b.file.bytes, &error)) {
        report("qv play: cannot read '" + path + "': " + error);
        return false;
    }
    const demo::DemoResult r = demo::ParseTitle(b.file.bytes, path, b.title, b.file.sectionsOffset);
    if (!r.Ok()) {
        report("qv play: " + r.message);
        return false;
    }
    demo::DemoFile whole;
    if (demo::ParseDemoFile(b.file.bytes, path, whole).Ok()) b.musicFile = whole.musicFile.bytes;
    out = std::move(b);
    return true;
}

// A file whose change means a reload: the source or demo file, the music, or anything in
// data/ (images, OBJ files) but editors' backups and hidden files.
bool MattersForReload(const std::string& changed, const std::string& demoPath,
                      const std::string& musicFile) {
    namespace fs = std::filesystem;
    const fs::path path(changed);
    const std::string name = path.filename().string();
    if (name.empty() || name[0] == '.' || name.back() == '~' || name.ends_with(".swp") ||
        name.ends_with(".swx") || name == "4913")
        return false;
    std::error_code ec;
    if (fs::equivalent(path, demoPath, ec)) return true;
    if (!musicFile.empty() && fs::equivalent(path, platform::ResolvePath(musicFile), ec))
        return true;
    return path.parent_path().filename() == "data";
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
    // Plays from ms when the transport plays at 1x, stays silent otherwise.
    void Follow(const Transport& t) {
        if (!open) return;
        const bool wanted = !t.paused && t.speed == 1.0;
        if (wanted) platform::PlayMusicFromMs(t.TimeMs());
        else if (playing) platform::PauseMusic();
        playing = wanted;
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
    bool changePending_ = false;
    Clock::time_point lastChange_;
    bool overlayOk_ = false, overlayOn_ = false;
    int32_t overlaySeekMs_ = -1;  // a click on the strip, carried out by the loop
    std::deque<float> frameMs_;   // the latest frame times, for the graph
    Clock::time_point lastPresent_ = Clock::now();
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
    const scripter::FatalSite* site = scripter::FatalErrorSite();
    errors_.clear();
    for (int track = 0; track < demo::kTrackCount; ++track) {
        const std::string report = timeline::FatalReport(track, t_.TimeMs());
        if (!report.empty() && timeline::CurrentClip(track) >= 0) {
            errors_ = report + "\n";
            break;
        }
    }
    if (errors_.empty() && site) errors_ = "bad error: " + site->message + "\n";
    if (site && build_.fromSource && site->script >= 0 &&
        size_t(site->script) < build_.map.scripts.size()) {
        const SourcePos pos = build_.map.scripts[size_t(site->script)].Find(site->offset);
        char line[512];
        std::snprintf(line, sizeof line, "%s:%d:%d: error: %s (script %d at offset %lld)",
                      build_.file.path.c_str(), pos.line, pos.column, site->message.c_str(),
                      int(site->script), static_cast<long long>(site->offset));
        std::fprintf(stderr, "%s\n", line);
        errors_ += std::string(line) + "\n";
    }
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
    const auto now = Clock::now();
    frameMs_.push_back(std::chrono::duration<float, std::milli>(now - lastPresent_).count());
    lastPresent_ = now;
    if (frameMs_.size() > 120) frameMs_.pop_front();
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
    const std::vector<float> times(frameMs_.begin(), frameMs_.end());
    float sum = 0;
    for (float ms : times) sum += ms;
    v.framesPerSecond = sum > 0 && !t_.paused ? 1000.0 * double(times.size()) / double(sum) : 0;
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
    const RunResult run = RunUpTo(build_.file, width_, height_, t_.TimeMs(), t_.fps, startupFailed);
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
    for (const std::string& name : watch_.TakeChanges()) {
        if (!MattersForReload(name, o_.path, build_.musicFile)) continue;
        changePending_ = true;
        lastChange_ = Clock::now();
    }
    // Editors write a file in several steps: wait until it has been quiet for a moment.
    if (changePending_ && Clock::now() - lastChange_ > std::chrono::milliseconds(30)) {
        changePending_ = false;
        Reload();
    }
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
    watching_ = watch_.Start({folder.string(), (folder / "data").string()}, error);
    if (!watching_) std::fprintf(stderr, "qv play: no reload on changes: %s\n", error.c_str());

    SeekAndShow(false);
    auto last = Clock::now();
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
        if (overlayOn_ && (t_.paused || halted_) &&
            Clock::now() - lastPresent_ > std::chrono::milliseconds(16)) {
            // Nothing runs: the overlay goes over the picture kept from the last frame.
            platform::DrawKeptFrame(width_, height_);
            DrawOverlayNow();
            gl::SwapBuffers();
            lastPresent_ = Clock::now();
        }
        const auto now = Clock::now();
        const double elapsed = std::chrono::duration<double, std::milli>(now - last).count();
        last = now;
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

int RunPlay(int argc, char** argv) {
    PlayOptions options;
    const std::string error = ParsePlayOptions(argc, argv, options);
    if (!error.empty()) {
        std::fprintf(stderr, "qv play: %s\n%s", error.c_str(), kPlayHelp);
        return 2;
    }
    if (!platform::HasDisplay()) {
        std::fprintf(stderr, "qv play: no display ($DISPLAY and $WAYLAND_DISPLAY are unset)\n");
        return 1;
    }
    platform::SetContentRootBeside(options.path);
    Build build;
    std::string errors;
    if (!LoadBuild(options.path, build, errors)) return 1;
    platform::SetMessageSink(PrintMessage);
    Session session(options, std::move(build));
    const int status = session.Run();
    platform::SetMessageSink(nullptr);
    return status;
}

}  // namespace tools
