#include "tools/workbench/session.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/engine.h"
#include "core/file_io.h"
#include "gl/gl_layer.h"
#include "platform/audio.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/window.h"
#include "platform/workbench/file_watch.h"
#include "platform/workbench/overlay.h"
#include "scripter/scripter.h"
#include "textures/texmanager.h"
#include "timeline/timeline.h"
#include "tools/render/png_writer.h"
#include "tools/sync/track_files.h"
#include "tools/workbench/music_follow.h"
#include "tools/workbench/play_clock.h"
#include "tools/workbench/play_errors.h"
#include "tools/workbench/play_run.h"
#include "tools/workbench/reload.h"
#include "tools/workbench/reload_scope.h"
#include "tools/workbench/rocket_link.h"
#include "tools/workbench/workbench_overlay.h"

namespace tools {
namespace {

using Clock = std::chrono::steady_clock;

// The engine's message boxes (the player's own texts) go to stderr; the count tells a run
// that showed one, whose cause the session then names in the words of `qv check`.
int64_t g_boxesShown = 0;

// The player's error caption is not the tool's: "qv play: TEXT" for it, else "CAPTION: TEXT".
void PrintMessage(const std::string& caption, const std::string& text) {
    if (caption == platform::kErrorCaption) std::fprintf(stderr, "qv play: %s\n", text.c_str());
    else std::fprintf(stderr, "qv play: %s: %s\n", caption.c_str(), text.c_str());
    ++g_boxesShown;
}

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
          height_(o.height) {
        if (o.rocket) StartSync();
    }

    int Run();

private:
    // The run the transport asks for (start, seek, step back, reload, loop wrap, resize): a
    // fresh context, start-up and the frames before the playhead, then the frame shown.
    // Events stop it; it is then carried out again after they have been handled.
    void RunAndShow();
    // Draws and presents the frame at the transport's time; with shot, writes it first.
    void Show(bool shot);
    void Halt(const std::string& why);
    void WriteShot();
    void ReportFatal(int32_t atMs);
    void ContentFailed();
    // After a start-up that showed a message box: the files `qv check` finds missing or
    // broken, on stderr and in the overlay. False when it finds none.
    bool ReportContentErrors();
    void StartReload();
    // When the edit changed only scripts and clips, the run on this context takes the new
    // tables, and what was kept of the frames before the first one the edit changes stays.
    // False when the content changed too: the next run starts afresh.
    bool ReloadInPlace();
    void FinishReload();
    // Handles the events taken during a run, then every pending one. True: quit.
    bool TakeEvents();
    void HandleEvent(const platform::WindowEvent& e);
    void HandleKey(int virtualKey);
    // Asked between the frames of a run: takes the pending events (at most every few ms)
    // and says whether one of them makes the run pointless (quit, a seek, a resize).
    bool StopRequested();
    void PollReload();
    // Runs the next frame of the grid when it is due; false when none is.
    bool PlayDueFrame();
    void ToggleOverlay();
    // While nothing runs, the overlay over the kept picture, drawn only after input.
    void RedrawPausedOverlay();
    // Draws the overlay onto the back buffer (after the demo's frame or the kept picture).
    void DrawOverlayNow();

    // --rocket: the tracks (from the file beside the source until the editor sends its own),
    // the build played with them baked in, and what the editor asks.
    void StartSync();
    // The tracks of the source's float variables, keeping the keys of tracks still named.
    void MakeTracks();
    // Bakes the tracks into the build played. False when it cannot (no free track).
    bool Rebake();
    void PollSync();
    // Keys changed from row on: the loaded run takes the new scripts (what was kept of the
    // frames after the row is forgotten), and the frame shown is run anew when it depends on
    // them; otherwise playing on uses them.
    void KeysChanged(int32_t fromRow);
    void SaveTracks();
    // Keyed tracks a script of the demo overwrites: said once each.
    void WarnOverwrittenTracks();

    PlayOptions o_;
    Build build_;
    std::optional<Build> lastGood_;  // during a reload: what to go back to if it does not load
    double reloadBeganMs_ = 0;
    Transport t_;
    int32_t width_, height_;
    bool runWanted_ = true;
    bool shotWanted_ = false;  // F12: write the next frame shown
    bool quit_ = false;
    bool halted_ = false;       // a script error or quit: nothing plays until the next run
    bool endsInBlock_ = false;  // the frame shown ends inside a glBegin block
    bool shiftDown_ = false;
    std::deque<platform::WindowEvent> queued_;  // taken during a run, handled after it
    double lastPollMs_ = 0;
    MusicPlayback music_;
    platform::FileWatch watch_;
    bool watching_ = false;
    ReloadDebounce reload_;
    bool overlayOk_ = false, overlayOn_ = false;
    int overlayRedraws_ = 0;      // paused: overlay frames still to draw after the last input
    int64_t keptFrame_ = -1;      // the frame whose picture the overlay keeps; -1: none
    int32_t overlaySeekMs_ = -1;  // a click on the strip, carried out by the loop
    FrameTimes frames_{{}, NowMs()};
    WallClock clock_{NowMs()};
    std::string errors_;       // the last build, content or script errors, for the overlay
    KeptRun kept_;             // what the runs on this context learnt, for the next seek
    bool keptUsable_ = false;  // kept_ is of build_ at this size, on the current context
    Build source_;             // --rocket: the build without the bake
    sync::Tracks tracks_;
    sync::BakePlace bake_;
    std::optional<RocketLink> rocket_;
    std::set<std::string> overwrittenTold_;
    const bool stats_ = std::getenv("QV_PLAY_STATS") != nullptr;  // timings on stderr
    double overlayMs_ = 0;  // time spent drawing the overlay, for QV_PLAY_STATS
    int64_t overlayFrames_ = 0, framesShown_ = 0, runsDone_ = 0, runsStopped_ = 0;
};

// Keys that make a run under way pointless: its target changes, or the session ends.
bool StopsARun(Action a) {
    switch (a) {
        case Action::Back1s:
        case Action::Ahead1s:
        case Action::Back10s:
        case Action::Ahead10s:
        case Action::Home:
        case Action::StepBack:
        case Action::StepAhead:
        case Action::Quit: return true;
        default: return false;
    }
}

void Session::Halt(const std::string& why) {
    halted_ = true;
    t_.paused = true;
    music_.Follow(t_);
    std::fprintf(stderr, "qv play: paused at %s (%d ms): %s\n", FormatClock(t_.TimeMs()).c_str(),
                 int(t_.TimeMs()), why.c_str());
}

void Session::ReportFatal(int32_t atMs) {
    errors_ = FatalErrorText(build_, atMs);
    Halt(atMs == t_.TimeMs() ? "script error; fix the source or seek elsewhere"
                             : "script error at " + std::to_string(atMs) +
                                   " ms, before this frame; fix the source or seek elsewhere");
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
    endsInBlock_ = use.endsInBlock;
    if (!ok) return ReportFatal(t_.TimeMs());
    if (shot) WriteShot();
    // A frame that ends inside a glBegin block takes no other drawing until it ends: no
    // overlay and no kept picture over it. The picture is kept only while paused (a copy of
    // the whole frame is too dear for every frame played): pausing with the overlay shown
    // draws the frame anew once.
    keptFrame_ = -1;
    if (!endsInBlock_ && overlayOk_ && (overlayOn_ || t_.paused)) {
        const double began = NowMs();
        if (t_.paused) {
            platform::KeepFrame(width_, height_);
            keptFrame_ = t_.frame;
        }
        if (overlayOn_) DrawOverlayNow();
        overlayMs_ += NowMs() - began;
        overlayFrames_ += overlayOn_;
    }
    gl::SwapBuffers();
    if (rocket_ && !t_.paused) rocket_->ReportRow(sync::RowAtMs(tracks_, t_.TimeMs()));
    ++framesShown_;
    NotePresent(frames_, NowMs());
    if (scripter::QuitFlag()) Halt("the demo quits here");
    else if (scripter::BudgetsExhausted() != budgetsBefore) {
        const std::string clip = BudgetClipText(build_);
        errors_ = "instruction budget used up by " + clip + "\n";
        Halt(
            "a script ran out of its instruction budget (10,000,000 per clip run; an endless "
            "loop?) in this frame, which the player draws on without its rest: " +
            clip);
    }
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
    if (!t_.paused && !halted_) return;  // the next frame shows it
    if (overlayOn_) overlayRedraws_ = 3;
    else if (keptFrame_ == t_.frame && !endsInBlock_) {
        platform::DrawKeptFrame(width_, height_);
        gl::SwapBuffers();
    }
}

void Session::RedrawPausedOverlay() {
    if (!overlayOn_ || endsInBlock_ || overlayRedraws_ <= 0) return;
    if (NowMs() - frames_.lastPresentMs < 16) return;
    if (keptFrame_ != t_.frame) {
        runWanted_ = true;  // the picture under the overlay is drawn anew
        return;
    }
    --overlayRedraws_;
    const double began = NowMs();
    platform::DrawKeptFrame(width_, height_);
    DrawOverlayNow();
    overlayMs_ += NowMs() - began;
    ++overlayFrames_;
    gl::SwapBuffers();
    frames_.lastPresentMs = NowMs();
}

void Session::RunAndShow() {
    const double began = NowMs();
    bool startupFailed = false;
    const int64_t boxesBefore = g_boxesShown;
    const int64_t budgetsBefore = scripter::BudgetsExhausted();
    bool fresh = false;
    const RunResult run = RunToTime(
        build_, kept_, keptUsable_ && !halted_ && !endsInBlock_, width_, height_, t_.TimeMs(),
        t_.fps, [this] { return StopRequested(); }, startupFailed, fresh);
    keptUsable_ = kept_.valid && !startupFailed;
    if (run.end == RunEnd::Stopped) {
        ++runsStopped_;
        return;  // the events come first; runWanted_ stays
    }
    ++runsDone_;
    runWanted_ = false;
    if (lastGood_) errors_.clear();  // a reload's own errors replace the last version's
    halted_ = false;
    endsInBlock_ = false;
    keptFrame_ = -1;
    if (startupFailed) ContentFailed();
    else if (run.end == RunEnd::Fatal) ReportFatal(run.lastTime);
    else if (run.end == RunEnd::Quit)
        Halt("the demo quits at " + std::to_string(run.lastTime) + " ms, before this frame");
    else {
        if (g_boxesShown != boxesBefore) ReportContentErrors();
        // A fresh run counts from 0; a kept one from where the last run left the count.
        const bool burntNow = scripter::BudgetsExhausted() > (fresh ? 0 : budgetsBefore);
        const std::string burnt = burntNow ? BudgetClipText(build_) : "";
        if (!burnt.empty()) {
            std::fprintf(stderr,
                         "qv play: %s ran out of its instruction budget in the frames before "
                         "this one (an endless loop?)\n",
                         burnt.c_str());
            errors_ = "instruction budget used up by " + burnt + " before this frame\n";
        }
        Show(std::exchange(shotWanted_, false));
        music_.Follow(t_);
        if (stats_)
            std::fprintf(
                stderr, "qv play: stats: run to %d ms shown in %.0f ms (%s; %.1f MB kept)\n",
                int(t_.TimeMs()), NowMs() - began,
                fresh ? "fresh context" : "from the kept checkpoints", double(kept_.Bytes()) / 1e6);
        if (stats_ && fresh)
            std::fprintf(stderr, "qv play: stats: start-up ran %d texture programs\n",
                         int(textures::ProgramsRunByLastLoad()));
    }
    if (lastGood_) FinishReload();
    RestartAfterRun(clock_, t_, NowMs());
}

bool Session::ReportContentErrors() {
    const std::string why = ContentErrorsText(build_);
    for (size_t at = 0, end; at < why.size(); at = end + 1) {
        end = why.find('\n', at);
        std::fprintf(stderr, "qv play: %s\n", why.substr(at, end - at).c_str());
    }
    if (!why.empty()) errors_ = why;
    return !why.empty();
}

void Session::ContentFailed() {
    if (!ReportContentErrors()) errors_ = "the demo's content does not load (see stderr)\n";
    if (lastGood_) {
        std::fprintf(stderr,
                     "qv play: the new content does not load; the last good version is shown "
                     "again\n");
        build_ = std::move(*lastGood_);
        lastGood_.reset();
        keptUsable_ = false;
        runWanted_ = true;
        return;
    }
    Halt("the demo's content does not load; fix it and save to reload");
}

void Session::StartReload() {
    Build fresh;
    std::string errors;
    if (!LoadBuild(o_.path, fresh, errors)) {
        errors_ = errors;
        std::fprintf(stderr, "qv play: the source has errors; the last good version stays\n");
        return;
    }
    if (!lastGood_) lastGood_ = std::move(build_);
    build_ = std::move(fresh);
    if (rocket_) {
        source_ = build_;
        MakeTracks();
        if (!Rebake()) build_ = source_;
    }
    if (!ReloadInPlace()) keptUsable_ = false;  // another demo: the kept run is not its run
    reloadBeganMs_ = NowMs();
    runWanted_ = true;
}

bool Session::ReloadInPlace() {
    demo::DemoFile next;
    if (!keptUsable_ || !demo::ParseDemoFile(build_.file.bytes, build_.file.path, next).Ok())
        return false;
    const ReloadScope scope = CompareForReload(app::Demo(), next);
    if (!scope.sameContent) return false;
    app::ReplaceScriptsAndClips(std::move(next.scripts), std::move(next.clips));
    const int32_t from = scope.firstChangedMs;
    ForgetKeptFrom(kept_, size_t(FrameAtOrAfter(from, t_.fps)));
    if (stats_)
        std::fprintf(stderr, "qv play: stats: the edit changes the run from %d ms on\n", int(from));
    return true;
}

void Session::FinishReload() {
    lastGood_.reset();
    std::fprintf(stderr, "qv play: reloaded at %d ms in %lld ms\n", int(t_.TimeMs()),
                 static_cast<long long>(NowMs() - reloadBeganMs_));
}

void Session::PollReload() {
    if (!watching_) return;
    const platform::FileChanges changes = watch_.TakeChanges();
    const std::string& musicFile = (lastGood_ ? *lastGood_ : build_).musicFile;
    for (const platform::FileChange& change : changes.files)
        if (MattersForReload(change.path, o_.path, musicFile))
            NoteChange(reload_, NowMs(), change.path, change.settled);
    if (changes.overflowed) NoteChange(reload_, NowMs());  // changes were lost: reload anyway
    if (TakeDueReload(reload_, NowMs())) StartReload();
}

bool Session::StopRequested() {
    const double now = NowMs();
    if (now - lastPollMs_ < 5) return false;
    lastPollMs_ = now;
    platform::WindowEvent e;
    while (platform::PollWindowEvent(e)) queued_.push_back(e);
    for (const platform::WindowEvent& q : queued_) {
        if (q.kind == platform::WindowEvent::Quit) return true;
        if (q.kind == platform::WindowEvent::Resized && (q.width != width_ || q.height != height_))
            return true;
        if (q.kind == platform::WindowEvent::KeyDown &&
            StopsARun(ActionForKey(q.virtualKey, false)))
            return true;
    }
    return false;
}

bool Session::TakeEvents() {
    while (!queued_.empty() && !quit_) {
        const platform::WindowEvent e = queued_.front();
        queued_.pop_front();
        HandleEvent(e);
    }
    platform::WindowEvent e;
    while (!quit_ && platform::PollWindowEvent(e)) HandleEvent(e);
    return quit_;
}

void Session::HandleEvent(const platform::WindowEvent& e) {
    // The overlay answers the mouse too; the caption's timer changes nothing it shows.
    if (e.kind != platform::WindowEvent::CaptionTimer) overlayRedraws_ = 3;
    switch (e.kind) {
        case platform::WindowEvent::Quit: quit_ = true; return;
        case platform::WindowEvent::Resized:
            if (e.width == width_ && e.height == height_) return;
            width_ = e.width;
            height_ = e.height;
            keptUsable_ = false;  // the passes and the projection follow the size of start-up
            runWanted_ = true;
            return;
        case platform::WindowEvent::KeyUp:
            if (e.virtualKey == 16) shiftDown_ = false;
            return;
        case platform::WindowEvent::KeyDown: HandleKey(e.virtualKey); return;
        default: return;
    }
}

void Session::HandleKey(int virtualKey) {
    if (virtualKey == 16) shiftDown_ = true;
    const bool wasPaused = t_.paused;
    const double speed = t_.speed;
    const Action action = ActionForKey(virtualKey, shiftDown_);
    if (action == Action::ToggleOverlay) return ToggleOverlay();
    switch (Apply(t_, action)) {
        case Move::Quit: quit_ = true; break;
        case Move::Seek: runWanted_ = true; break;
        case Move::Step:
            if (halted_ || runWanted_) runWanted_ = true;
            else Show(false);
            break;
        case Move::Reshow:
            shotWanted_ = true;
            // The back buffer holds nothing usable after a swap: while nothing plays the
            // frame is drawn anew.
            if (t_.paused || halted_) runWanted_ = true;
            break;
        case Move::None:
            if (halted_ && !t_.paused) {
                t_.paused = true;  // nothing plays on from an error: seek or reload first
                break;
            }
            if (wasPaused != t_.paused || speed != t_.speed) music_.Follow(t_);
            break;
    }
}

bool Session::PlayDueFrame() {
    const double elapsed = TakeElapsedMs(clock_, NowMs());
    bool wrapped = false;
    const int64_t due = Advance(t_, elapsed, wrapped);
    if (wrapped) {
        runWanted_ = true;
        return true;
    }
    if (due == t_.frame) return false;
    // One frame of the grid at a time, the window's events between them; every frame runs.
    t_.frame += 1;
    Show(std::exchange(shotWanted_, false));
    SlipBehind(t_);
    return true;
}

void Session::MakeTracks() {
    const sync::Tracks old = std::move(tracks_);
    std::string file, error;
    std::vector<std::string> warnings;
    tracks_ = {};
    if (!sync::TracksForSource(o_.path, "", FloatVariableCount(source_), source_.extras.floatNames,
                               source_.extras.bpm, tracks_, file, warnings, error))
        std::fprintf(stderr, "qv play: %s\n", error.c_str());
    for (const std::string& w : warnings)
        std::fprintf(stderr, "qv play: %s: %s\n", file.c_str(), w.c_str());
    if (o_.bpm) tracks_.bpm = *o_.bpm;
    if (o_.rowsPerBeat) tracks_.rowsPerBeat = *o_.rowsPerBeat;
    if (old.tracks.empty()) return;
    // A reload: the keys the editor sent stay on the tracks that kept their names; when the
    // names changed, the editor is asked for the tracks again.
    bool sameNames = old.tracks.size() == tracks_.tracks.size();
    for (size_t i = 0; i < tracks_.tracks.size(); ++i) {
        sync::Track& track = tracks_.tracks[i];
        sameNames = sameNames && old.tracks[i].name == track.name;
        for (const sync::Track& was : old.tracks)
            if (was.name == track.name) track.keys = was.keys;
    }
    if (!sameNames && rocket_) rocket_->Reconnect();
}

bool Session::Rebake() {
    Build baked;
    std::string error;
    if (!BakeBuild(source_, tracks_, baked, bake_, error)) {
        std::fprintf(stderr, "qv play: the tracks cannot be played: %s\n", error.c_str());
        errors_ = "the tracks cannot be played: " + error + "\n";
        return false;
    }
    build_ = std::move(baked);
    return true;
}

void Session::WarnOverwrittenTracks() {
    demo::DemoFile demo;
    if (!demo::ParseDemoFile(source_.file.bytes, source_.file.path, demo).Ok()) return;
    for (const std::string& w : sync::OverwrittenTracks(demo, tracks_))
        if (overwrittenTold_.insert(w).second) std::fprintf(stderr, "qv play: %s\n", w.c_str());
}

void Session::StartSync() {
    source_ = build_;
    demo::DemoFile demo;
    if (demo::ParseDemoFile(source_.file.bytes, source_.file.path, demo).Ok())
        for (size_t i = 0; i < demo.scripts.size(); ++i)
            if (const auto mark = sync::ReadBakeMark(demo.scripts[i]); mark && mark->master)
                std::fprintf(stderr,
                             "qv play: %s holds baked tracks already (script %zu); they run "
                             "after the editor's and set their variables again: key the source "
                             "instead\n",
                             o_.path.c_str(), i);
    MakeTracks();
    if (!Rebake()) return;
    WarnOverwrittenTracks();
    rocket_.emplace(o_.rocketHost, o_.rocketPort);
}

void Session::KeysChanged(int32_t fromRow) {
    if (!Rebake()) return;
    WarnOverwrittenTracks();
    const int32_t fromMs = sync::FirstMsOfRow(tracks_, fromRow);
    // The run on this context takes the new bake: the frames before fromMs run the same with
    // it, so what was kept of them stays; what was kept of the later ones is forgotten.
    if (keptUsable_ && !lastGood_) {
        std::vector<demo::Script>& loaded = app::Demo().scripts;
        const std::vector<demo::Script> baked =
            sync::BakeScripts(tracks_, true, bake_.masterScript);
        for (size_t i = 0; i < baked.size(); ++i)
            if (size_t(bake_.masterScript) + i < loaded.size())
                loaded[size_t(bake_.masterScript) + i] = baked[i];
        ForgetKeptFrom(kept_, size_t(FrameAtOrAfter(fromMs, t_.fps)));
    } else {
        keptUsable_ = false;
    }
    const bool shownDependsOnIt = fromMs <= t_.TimeMs();
    const bool rerun = runWanted_ || halted_ || !keptUsable_ || shownDependsOnIt;
    if (stats_)
        std::fprintf(stderr, "qv play: stats: keys changed from row %d: %s\n", int(fromRow),
                     rerun ? "the frame is run anew" : "the run goes on with them");
    if (rerun) runWanted_ = true;
}

void Session::SaveTracks() {
    const std::string text = sync::TracksPathFor(o_.path), xml = sync::TracksXmlPathFor(o_.path);
    std::string error;
    if (!core::WriteWholeFile(text, sync::FormatTracksText(tracks_), &error) ||
        !core::WriteWholeFile(xml, sync::FormatTracksXml(tracks_), &error)) {
        std::fprintf(stderr, "qv play: cannot save the tracks: %s\n", error.c_str());
        return;
    }
    std::fprintf(stderr, "qv play: saved the tracks to '%s' and '%s'\n", text.c_str(), xml.c_str());
}

void Session::PollSync() {
    if (!rocket_) return;
    const sync::EditorEvents e = rocket_->Poll(tracks_, NowMs());
    if (e.keysChanged) KeysChanged(e.firstRowChanged);
    if (e.pause && *e.pause != t_.paused && !(halted_ && !*e.pause)) {
        Apply(t_, Action::TogglePause);
        music_.Follow(t_);
    }
    if (e.seekRow) {
        const int32_t ms = sync::FirstMsOfRow(tracks_, *e.seekRow);
        const int64_t frame = FrameAtOrAfter(ms, t_.fps);  // the first frame inside the row
        if (frame != t_.frame || halted_) {
            t_.frame = frame;
            t_.clockMs = t_.TimeMs();
            runWanted_ = true;
        }
    }
    if (e.save) SaveTracks();
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
    // Every fresh run builds the textures again: the programs whose output the last build
    // made are not run again.
    textures::KeepProgramOutputs(true);
    overlayOk_ = platform::StartOverlay();
    if (!overlayOk_) std::fprintf(stderr, "qv play: no overlay (Dear ImGui did not start)\n");
    if (o_.audio) music_.Open(build_.musicFile);
    const std::filesystem::path folder = std::filesystem::path(o_.path).has_parent_path()
                                             ? std::filesystem::path(o_.path).parent_path()
                                             : std::filesystem::path(".");
    std::string error;
    watching_ = watch_.Start(folder.string(), error);
    if (!watching_) std::fprintf(stderr, "qv play: no reload on changes: %s\n", error.c_str());

    const double began = NowMs();
    while (!TakeEvents()) {
        PollReload();
        PollSync();
        if (overlaySeekMs_ >= 0) {
            t_.frame = FrameAtOrBefore(std::exchange(overlaySeekMs_, -1), t_.fps);
            t_.clockMs = t_.TimeMs();
            runWanted_ = true;
        }
        if (runWanted_) {
            RunAndShow();
            continue;
        }
        if (!t_.paused && !halted_) {
            if (!PlayDueFrame()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        RedrawPausedOverlay();
        // Nothing runs: the session waits for the author, looking a hundred times a second.
        if (!runWanted_ && overlayRedraws_ <= 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (stats_)
        std::fprintf(stderr,
                     "qv play: stats: %lld runs done, %lld stopped; %lld frames shown in %.0f "
                     "ms; overlay %.3f ms per frame over %lld frames\n",
                     static_cast<long long>(runsDone_), static_cast<long long>(runsStopped_),
                     static_cast<long long>(framesShown_), NowMs() - began,
                     overlayFrames_ ? overlayMs_ / double(overlayFrames_) : 0.0,
                     static_cast<long long>(overlayFrames_));
    platform::StopOverlay();
    platform::CloseGLWindow();
    return 0;
}

}  // namespace

int RunSession(const PlayOptions& o, Build build) {
    platform::SetMessageSink(PrintMessage);
    Session session(o, std::move(build));
    const int status = session.Run();
    platform::SetMessageSink(nullptr);
    return status;
}

}  // namespace tools
