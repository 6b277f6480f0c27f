// The bake: keyed tracks turned into scripts of the demo, so that the player plays the
// animation with no editor. One script per track sets its float variable from TIME with the
// track's interpolation; a master script CALLs them, from a clip on track 0 that covers all
// time, so it runs before every other script of each frame. `qv play --rocket` plays the same
// scripts: there is one evaluation of a track, the one the player runs.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "demo/demo_file.h"
#include "tools/sync/sync_tracks.h"

namespace tools::sync {

// The master script (first) and one script per track that has keys; with everyTrack, one
// per track of t, keyed or not (a track without keys sets nothing), so that the layout stays
// the same while keys come and go. The master CALLs the scripts after its own index.
std::vector<demo::Script> BakeScripts(const Tracks& t, bool everyTrack, int32_t masterIndex);

// The bake's clip: track 0, from 0 for as long as a demo time can be.
inline constexpr int32_t kBakeClipLength = 2147483647;

// Where InsertBake put the bake.
struct BakePlace {
    int32_t masterScript = -1;  // the track scripts follow it
    int32_t clip = -1;
    int shiftedTracks = 0;  // tracks 0..n-1 moved up by one to free track 0
};

// Appends the bake's scripts and its clip. Track 0 is the bake's: when a clip uses it, the
// clips of tracks 0 up to the first free track move up by one, which keeps the order in which
// they draw. False (and nothing changed) when all 20 tracks hold clips, or the demo cannot
// hold more scripts or clips.
bool InsertBake(demo::DemoFile& demo, const Tracks& t, bool everyTrack, BakePlace& place,
                std::string& error);

// Keyed tracks whose variable a script of the demo (not a baked one) also stores into with
// STOREF: the script's value wins over the key for the rest of the frame. One line per such
// track: "track 'glow' is keyed, but script 3 stores into float variable 1 too: ...".
std::vector<std::string> OverwrittenTracks(const demo::DemoFile& demo, const Tracks& t);

// What a baked script says of itself: the master, naming its tracks, or a track's script.
// The mark sits after the script's last jump (the player never runs it).
struct BakeMark {
    bool master = false;
    std::vector<std::string> names;
    size_t markAt = 0;  // the offset of the mark in the code: the instructions end here
};
std::optional<BakeMark> ReadBakeMark(const demo::Script& script);

}  // namespace tools::sync
