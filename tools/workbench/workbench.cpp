#include "tools/workbench/workbench.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "app/frame_loop.h"
#include "core/command_line.h"
#include "core/quote.h"

namespace tools {
namespace {

// HOST:PORT of an editor (a port from 1 to 65535).
bool ParseHostPort(std::string_view text, std::string& host, uint16_t& port) {
    const size_t colon = text.rfind(':');
    int32_t p = 0;
    if (colon == std::string_view::npos || colon == 0 ||
        !core::ParseNumber(text.substr(colon + 1), p) || p < 1 || p > 65535)
        return false;
    host = std::string(text.substr(0, colon));
    port = uint16_t(p);
    return true;
}

}  // namespace

bool IsSourcePath(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == ".qvs";
}

std::string ParsePlayOptions(int argc, char** argv, PlayOptions& o) {
    for (int i = 0; i < argc; ++i) {
        std::string_view arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto needs = [&](bool ok, const char* text) { return ok ? std::string() : text; };
        std::string error;
        if (arg == "--start") {
            error = needs(value && core::ParseNumber(value, o.startMs) && o.startMs >= 0,
                          "--start needs a demo time in whole milliseconds, 0 or more");
            ++i;
        } else if (arg == "--paused") {
            o.paused = true;
        } else if (arg == "--size") {
            error = needs(value && core::ParseSize(value, o.width, o.height) && o.width <= 8192 &&
                              o.height <= 8192,
                          "--size needs WIDTHxHEIGHT, each 1 to 8192");
            ++i;
        } else if (arg == "--fullscreen") {
            o.fullscreen = true;
        } else if (arg == "--fps") {
            error = needs(value && core::ParseNumber(value, o.fps) && o.fps > 0 && o.fps <= 1000,
                          "--fps needs frames per second from 1 to 1000");
            ++i;
        } else if (arg == "--no-audio") {
            o.audio = false;
        } else if (arg == "--loop") {
            error = needs(value && core::ParsePair(value, ':', o.loopA, o.loopB) && o.loopA >= 0 &&
                              o.loopB > o.loopA,
                          "--loop needs A:B in milliseconds, 0 <= A < B");
            ++i;
        } else if (arg == "--speed") {
            error = needs(value && core::ParseDecimal(value, o.speed) && o.speed >= kMinSpeed &&
                              o.speed <= kMaxSpeed,
                          "--speed needs a factor from 0.0625 to 16");
            ++i;
        } else if (arg == "--rocket") {
            o.rocket = true;
            // The editor's address is optional: a following word that is no option and not
            // the demo (which has no port) names it.
            std::string_view next = value ? value : "";
            if (!next.empty() && !next.starts_with("-") &&
                next.find(':') != std::string_view::npos && !IsSourcePath(std::string(next))) {
                error = needs(ParseHostPort(next, o.rocketHost, o.rocketPort),
                              "--rocket takes HOST:PORT with a port from 1 to 65535");
                ++i;
            }
        } else if (arg == "--bpm") {
            double bpm = 0;
            error = needs(value && core::ParseDecimal(value, bpm) && bpm > 0 && bpm <= 1e6,
                          "--bpm needs beats per minute above 0");
            o.bpm = bpm;
            ++i;
        } else if (arg == "--rows-per-beat") {
            int32_t rows = 0;
            error = needs(value && core::ParseNumber(value, rows) && rows >= 1 && rows <= 1000000,
                          "--rows-per-beat needs a whole number from 1 to 1000000");
            o.rowsPerBeat = rows;
            ++i;
        } else if (arg.starts_with("-") || !o.path.empty()) {
            error = "unexpected argument " + core::QuoteToken(arg);
        } else {
            o.path = arg;
        }
        if (!error.empty()) return error;
    }
    if (o.path.empty()) return "no demo source or demo file given";
    return "";
}

Action ActionForKey(int virtualKey, bool shift) {
    switch (virtualKey) {
        case 32: return Action::TogglePause;
        case 37: return shift ? Action::Back10s : Action::Back1s;    // Left
        case 39: return shift ? Action::Ahead10s : Action::Ahead1s;  // Right
        case 36: return Action::Home;
        case kKeyComma: return Action::StepBack;
        case kKeyPeriod: return Action::StepAhead;
        case kKeyBracketOpen: return Action::LoopStart;
        case kKeyBracketClose: return Action::LoopEnd;
        case kKeyBackslash: return Action::LoopClear;
        case kKeyMinus: return Action::Slower;
        case kKeyEquals: return Action::Faster;
        case 123: return Action::Shot;  // F12
        case 9: return Action::ToggleOverlay;
        case app::kKeyEscape: return Action::Quit;
        default: return Action::None;
    }
}

int32_t FrameTime(int64_t frame, int32_t fps) { return int32_t(frame * 1000 / fps); }

int64_t FrameAtOrBefore(int64_t ms, int32_t fps) {
    if (ms <= 0) return 0;
    // The largest k with k * 1000 / fps < ms + 1.
    return ((ms + 1) * fps + 999) / 1000 - 1;
}

int64_t FrameAtOrAfter(int64_t ms, int32_t fps) {
    return ms <= 0 ? 0 : FrameAtOrBefore(ms - 1, fps) + 1;
}

Transport MakeTransport(const PlayOptions& o) {
    Transport t;
    t.fps = o.fps;
    t.frame = FrameAtOrBefore(o.startMs, o.fps);
    t.paused = o.paused;
    t.speed = o.speed;
    if (o.loopA >= 0) {
        t.loopA = FrameAtOrBefore(o.loopA, o.fps);
        t.loopB = FrameAtOrBefore(o.loopB, o.fps);
    }
    t.clockMs = t.TimeMs();
    return t;
}

namespace {

Move SeekTo(Transport& t, int64_t frame) {
    t.frame = std::max<int64_t>(frame, 0);
    t.clockMs = t.TimeMs();
    return Move::Seek;
}

Move SeekBy(Transport& t, int32_t ms) {
    return SeekTo(t, FrameAtOrBefore(int64_t(t.TimeMs()) + ms, t.fps));
}

}  // namespace

Move Apply(Transport& t, Action a) {
    switch (a) {
        case Action::None:
        case Action::ToggleOverlay: return Move::None;
        case Action::TogglePause:
            t.paused = !t.paused;
            t.clockMs = t.TimeMs();
            return Move::None;
        case Action::Back1s: return SeekBy(t, -1000);
        case Action::Ahead1s: return SeekBy(t, 1000);
        case Action::Back10s: return SeekBy(t, -10000);
        case Action::Ahead10s: return SeekBy(t, 10000);
        case Action::Home: return SeekTo(t, 0);
        case Action::StepBack:
            if (!t.paused || t.frame == 0) return Move::None;
            return SeekTo(t, t.frame - 1);
        case Action::StepAhead:
            if (!t.paused) return Move::None;
            t.frame += 1;
            t.clockMs = t.TimeMs();
            return Move::Step;
        case Action::LoopStart: t.loopA = t.frame; return Move::None;
        case Action::LoopEnd: t.loopB = t.frame; return Move::None;
        case Action::LoopClear: t.loopA = t.loopB = -1; return Move::None;
        case Action::Slower: t.speed = std::max(t.speed / 2, kMinSpeed); return Move::None;
        case Action::Faster: t.speed = std::min(t.speed * 2, kMaxSpeed); return Move::None;
        case Action::Shot: return Move::Reshow;
        case Action::Quit: return Move::Quit;
    }
    return Move::None;
}

int64_t Advance(Transport& t, double elapsedMs, bool& wrapped) {
    wrapped = false;
    if (t.paused) return t.frame;
    t.clockMs += elapsedMs * t.speed;
    const int64_t due = std::max(FrameAtOrBefore(int64_t(t.clockMs), t.fps), t.frame);
    if (t.Looping() && t.frame <= t.loopB && due > t.loopB) {
        wrapped = true;
        t.frame = t.loopA;
        t.clockMs = t.TimeMs();
        return t.frame;
    }
    return due;
}

std::string FormatClock(int32_t ms) {
    char text[32];
    const int32_t m = ms < 0 ? 0 : ms;
    std::snprintf(text, sizeof text, "%d:%02d.%03d", int(m / 60000), int(m / 1000 % 60),
                  int(m % 1000));
    return text;
}

}  // namespace tools
