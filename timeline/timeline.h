// The timeline scheduler: the 20 tracks and, once per frame, the selection of each track's
// current clip and the run of its script through the interpreter. The clip and script tables
// are the demo file's (kept by reference; they live for the whole run). Times are signed
// 32-bit milliseconds.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "demo/clip.h"
#include "demo/script.h"

namespace timeline {

inline constexpr int32_t kNotSelected = -2;  // currentClip after ResetTimeline
inline constexpr int32_t kNoClip = -1;       // the track has no clip at all

struct Track {
    int32_t currentClip = kNotSelected;
};

void LoadTimeline(std::span<const demo::Clip> clips, std::span<const demo::Script> scripts);

// Every track back to "not selected yet"; the first frame after it only selects.
void ResetTimeline();

// The frame's pass over tracks 0 to 19 at demo time t. Stops at once when a script raised
// the fatal error, and then prints FatalReport on stderr.
void RunTimeline(int32_t t);

// "bad error: Stack error (int pop): script 3 at offset 12 (qv dump --offsets), clip 5 on
// track 2, demo time 31000 ms"; empty while no fatal error has been raised.
std::string FatalReport(int track, int32_t t);

// start <= t <= start + length, the end computed without 32-bit overflow.
bool Covers(const demo::Clip& clip, int32_t t);

// localTime / length, divided in extended precision. A clip of length 0 covers only its
// start, where the quotient would be 0 / 0: it gets progress 0.
float ClipProgress(const demo::Clip& clip, int32_t localTime);

int32_t CurrentClip(int track);  // for tests and tools

// For checkpoints: each track's current clip, and the selection put back.
using TrackSelection = std::array<int32_t, demo::kTrackCount>;
TrackSelection SaveTracks();
void RestoreTracks(const TrackSelection& selection);

// For tools: the track whose script raised the fatal error, and the last track whose script
// ran out of its instruction budget, since ResetTimeline (-1: none).
int FatalTrack();
int LastBudgetTrack();
// Whether RunTimeline prints the fatal report (on by default; a tool's silent rehearsal run
// turns it off so that the author reads each report once).
void PrintFatalReports(bool on);

}  // namespace timeline
