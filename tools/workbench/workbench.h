// The pure part of `qv play`: its options, the key table, and the transport (playhead, pause,
// speed, loop) as a state machine over the frame grid. The playhead always stands on a frame
// of the grid the run advances on (frame k at k * 1000 / fps ms, truncated), so that the frame
// shown at time T is the frame `qv render --time T --fps N` draws, and playing on from it
// runs the same frames a full run does. No window, clock or engine behind these functions:
// tools/qv_play.cpp drives them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace tools {

struct PlayOptions {
    std::string path;  // a demo source (.qvs) or a demo file
    int32_t startMs = 0;
    bool paused = false;
    int32_t width = 800, height = 600;
    bool fullscreen = false;
    int32_t fps = 60;
    bool audio = true;
    int32_t loopA = -1, loopB = -1;  // ms; -1: no loop
    double speed = 1.0;
    // --rocket [HOST:PORT]: the sync tracker's editor to key the float variables in.
    bool rocket = false;
    std::string rocketHost = "localhost";
    uint16_t rocketPort = 1338;
    std::optional<double> bpm;           // rows' tempo; default the source's, else 120
    std::optional<int32_t> rowsPerBeat;  // default 8
};

// Returns an error text, or "" when the options are complete.
std::string ParsePlayOptions(int argc, char** argv, PlayOptions& o);

// True for a path that names a demo source rather than a demo file (".qvs", any case).
bool IsSourcePath(const std::string& path);

enum class Action {
    None,
    TogglePause,
    Back1s,
    Ahead1s,
    Back10s,
    Ahead10s,
    Home,
    StepBack,
    StepAhead,
    LoopStart,
    LoopEnd,
    LoopClear,
    Slower,
    Faster,
    Shot,
    ToggleOverlay,
    Quit,
};

// Windows virtual-key codes beyond the player's: the punctuation keys of a US layout.
inline constexpr int kKeyComma = 188, kKeyPeriod = 190, kKeyMinus = 189, kKeyEquals = 187,
                     kKeyBracketOpen = 219, kKeyBracketClose = 221, kKeyBackslash = 220;

// The action of a key press (virtual-key code), with Shift held or not.
Action ActionForKey(int virtualKey, bool shift);

// Frame k of the grid: k * 1000 / fps ms, truncated.
int32_t FrameTime(int64_t frame, int32_t fps);
// The last frame of the grid at or before ms (0 for ms <= 0).
int64_t FrameAtOrBefore(int64_t ms, int32_t fps);
// The first frame of the grid at or after ms (0 for ms <= 0).
int64_t FrameAtOrAfter(int64_t ms, int32_t fps);

inline constexpr double kMinSpeed = 1.0 / 16, kMaxSpeed = 16;

struct Transport {
    int32_t fps = 60;
    int64_t frame = 0;  // the frame shown
    bool paused = false;
    double speed = 1.0;
    int64_t loopA = -1, loopB = -1;  // frames; a loop plays when both are set and loopA < loopB
    double clockMs = 0;              // where playing time stands, between frames

    int32_t TimeMs() const { return FrameTime(frame, fps); }
    bool Looping() const { return loopA >= 0 && loopB > loopA; }
};

Transport MakeTransport(const PlayOptions& o);

// What the loop must do after a change of the transport.
enum class Move {
    None,    // nothing to draw anew
    Seek,    // show `frame` by an exact seek
    Step,    // show the frame after the one shown by running one more frame
    Reshow,  // state unchanged, but the picture is wanted again (a shot)
    Quit,
};

// Applies a key's action. Seeks land on the grid and never before 0; a step back is a seek.
// Steps act only while paused. Speed halves and doubles within [kMinSpeed, kMaxSpeed].
Move Apply(Transport& t, Action a);

// Playing time advances by elapsedMs of wall clock (times the speed). Returns the frame that
// should be on screen now: beyond t.frame while playing on, t.frame when nothing is due.
// When the loop's end is passed the playhead wraps to the loop's start (wrapped = true): the
// caller seeks there.
int64_t Advance(Transport& t, double elapsedMs, bool& wrapped);

// "m:ss.mmm" of a demo time.
std::string FormatClock(int32_t ms);

}  // namespace tools
