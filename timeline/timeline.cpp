#include "timeline/timeline.h"

#include <array>
#include <cstdio>
#include <limits>

#include "core/numeric.h"
#include "scripter/scripter.h"

namespace timeline {
namespace {

struct TimelineState {
    std::span<const demo::Clip> clips;
    std::span<const demo::Script> scripts;
    std::array<Track, demo::kTrackCount> tracks{};
    int fatalTrack = -1;
    int budgetTrack = -1;
    bool printFatalReports = true;
};

TimelineState g_state;

int64_t ClipEnd(const demo::Clip& clip) { return int64_t(clip.start) + clip.length; }

// Chooses the current clip of track k for time t. First the covering clip with the highest
// index; failing that, the clip whose end lies earliest (an ended one beats one still to
// come), ties to the highest index. A track without clips gets kNoClip.
void SelectClip(int k, int32_t t) {
    int32_t& current = g_state.tracks[size_t(k)].currentClip;
    current = kNoClip;
    const auto& clips = g_state.clips;
    for (size_t i = 0; i < clips.size(); ++i)
        if (clips[i].track == k && Covers(clips[i], t)) current = int32_t(i);
    if (current != kNoClip) return;
    // Ends are compared in 64 bits, so the start value of best must lie above every
    // possible distance for every clip of the track to be a candidate.
    int64_t best = std::numeric_limits<int64_t>::max();
    for (size_t i = 0; i < clips.size(); ++i) {
        if (clips[i].track != k) continue;
        int64_t d = ClipEnd(clips[i]) - t;
        if (d <= best) {
            best = d;
            current = int32_t(i);
        }
    }
}

// A clip naming no script of the table is skipped: neither its transform nor a script runs.
void RunClip(const demo::Clip& clip, int32_t t) {
    if (clip.scriptIndex < 0 || size_t(clip.scriptIndex) >= g_state.scripts.size()) return;
    scripter::SetClipTransform(clip.translateX, clip.translateY, clip.translateZ, clip.rotateX,
                               clip.rotateY, clip.rotateZ);
    int32_t localTime = int32_t(uint32_t(t) - uint32_t(clip.start));
    scripter::RunScript(g_state.scripts[size_t(clip.scriptIndex)], t, localTime,
                        ClipProgress(clip, localTime));
}

void RunTrack(int k, int32_t t) {
    int32_t c = g_state.tracks[size_t(k)].currentClip;
    if (c <= kNotSelected) {
        SelectClip(k, t);  // the first frame only selects
        return;
    }
    if (c == kNoClip || size_t(c) >= g_state.clips.size()) return;
    const demo::Clip& clip = g_state.clips[size_t(c)];
    if (Covers(clip, t)) return RunClip(clip, t);
    if (t < clip.start) return;  // the track waits for its current clip
    SelectClip(k, t);
    c = g_state.tracks[size_t(k)].currentClip;
    if (c >= 0 && Covers(g_state.clips[size_t(c)], t)) RunClip(g_state.clips[size_t(c)], t);
}

}  // namespace

bool Covers(const demo::Clip& clip, int32_t t) { return clip.start <= t && t <= ClipEnd(clip); }

float ClipProgress(const demo::Clip& clip, int32_t localTime) {
    if (clip.length == 0) return 0.0f;
    return float(core::Extended(localTime) / core::Extended(clip.length));
}

void LoadTimeline(std::span<const demo::Clip> clips, std::span<const demo::Script> scripts) {
    g_state.clips = clips;
    g_state.scripts = scripts;
}

void ResetTimeline() {
    for (Track& track : g_state.tracks) track.currentClip = kNotSelected;
    g_state.fatalTrack = -1;
    g_state.budgetTrack = -1;
}

int FatalTrack() { return g_state.fatalTrack; }
int LastBudgetTrack() { return g_state.budgetTrack; }
void PrintFatalReports(bool on) { g_state.printFatalReports = on; }

std::string FatalReport(int track, int32_t t) {
    const scripter::FatalSite* site = scripter::FatalErrorSite();
    if (!site) return "";
    const std::string script =
        site->script < 0 ? "a script outside the table" : "script " + std::to_string(site->script);
    return "bad error: " + site->message + ": " + script + " at offset " +
           std::to_string(site->offset) + " (qv dump --offsets), clip " +
           std::to_string(CurrentClip(track)) + " on track " + std::to_string(track) +
           ", demo time " + std::to_string(t) + " ms";
}

void RunTimeline(int32_t t) {
    scripter::SetTargetPassDepth(0);
    for (int k = 0; k < demo::kTrackCount; ++k) {
        const int64_t budgets = scripter::BudgetsExhausted();
        RunTrack(k, t);
        if (scripter::BudgetsExhausted() != budgets) g_state.budgetTrack = k;
        if (scripter::FatalErrorRaised()) {
            g_state.fatalTrack = k;
            // The box shows the player's own text; the author also needs to know where.
            if (g_state.printFatalReports) std::fprintf(stderr, "%s\n", FatalReport(k, t).c_str());
            return;
        }
    }
}

int32_t CurrentClip(int track) {
    return track >= 0 && track < demo::kTrackCount ? g_state.tracks[size_t(track)].currentClip
                                                   : kNoClip;
}

TrackSelection SaveTracks() {
    TrackSelection selection{};
    for (size_t k = 0; k < selection.size(); ++k) selection[k] = g_state.tracks[k].currentClip;
    return selection;
}

void RestoreTracks(const TrackSelection& selection) {
    for (size_t k = 0; k < selection.size(); ++k) g_state.tracks[k].currentClip = selection[k];
}

}  // namespace timeline
