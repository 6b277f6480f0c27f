#include "tools/workbench/play_clock.h"

namespace tools {

void SlipBehind(Transport& t) {
    const double most = double(t.TimeMs()) + kMostLagMs;
    if (t.clockMs > most) t.clockMs = most;
}

double TakeElapsedMs(WallClock& c, double nowMs) {
    const double elapsed = nowMs - c.lastMs;
    c.lastMs = nowMs;
    return elapsed;
}

void RestartAfterRun(WallClock& c, Transport& t, double nowMs) {
    c.lastMs = nowMs;
    t.clockMs = t.TimeMs();
}

void NotePresent(FrameTimes& f, double nowMs) {
    f.ms.push_back(float(nowMs - f.lastPresentMs));
    f.lastPresentMs = nowMs;
    if (f.ms.size() > kFrameTimesKept) f.ms.pop_front();
}

double FramesPerSecond(const FrameTimes& f) {
    float sum = 0;
    for (float ms : f.ms) sum += ms;
    return sum > 0 ? 1000.0 * double(f.ms.size()) / double(sum) : 0;
}

}  // namespace tools
