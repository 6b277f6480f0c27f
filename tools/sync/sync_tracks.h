// The keyed tracks of a sync tracker: one track per float variable, keys on rows, and the
// mapping between rows and demo time. Pure records and edits; what a track's value is at a
// time is defined once, by the script the bake makes of it (bake.h).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tools::sync {

// How a key's value goes on to the next key's: held, straight, eased at both ends (3u^2 -
// 2u^3), or rising as u^2. The numbers are the sync tracker's own.
enum class Interpolation : uint8_t { Step = 0, Linear = 1, Smooth = 2, Ramp = 3 };
inline constexpr int kInterpolationCount = 4;

struct Key {
    int32_t row = 0;  // >= 0
    float value = 0;
    Interpolation interpolation = Interpolation::Step;
    bool operator==(const Key&) const = default;
};

struct Track {
    std::string name;       // as the editor shows it: the variable's name, or "float:N"
    int floatIndex = 0;     // the float variable it sets (0..255)
    std::vector<Key> keys;  // sorted by row, one per row
};

inline constexpr int32_t kDefaultRowsPerBeat = 8;
inline constexpr double kDefaultBpm = 120;

struct Tracks {
    double bpm = kDefaultBpm;
    int32_t rowsPerBeat = kDefaultRowsPerBeat;
    std::vector<Track> tracks;
};

// The tracks of a demo with floatCount float variables, named by names where one is given
// (an empty or missing name gives "float:N"). Only the first 256 variables can be set.
Tracks TracksForVariables(int32_t floatCount, const std::vector<std::string>& names);

// The track of that name, or null.
Track* FindTrack(Tracks& tracks, const std::string& name);

// Sets or replaces the key on key.row; removes the key on row. Both return the first row
// whose value the edit may have changed: the row of the key before it, or 0.
int32_t SetKey(Track& track, const Key& key);
int32_t DeleteKey(Track& track, int32_t row);

// The row a demo time falls in (row = ms * bpm * rowsPerBeat / 60000, rounded down).
int32_t RowAtMs(const Tracks& t, int64_t ms);
// The first millisecond that falls in row or after it (INT32_MAX when none does).
int32_t FirstMsOfRow(const Tracks& t, int64_t row);

// Rows per millisecond, the factor the baked script multiplies the time by.
double RowsPerMs(const Tracks& t);

}  // namespace tools::sync
