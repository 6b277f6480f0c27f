#include "tools/sync/sync_tracks.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tools::sync {

Tracks TracksForVariables(int32_t floatCount, const std::vector<std::string>& names) {
    Tracks t;
    const int32_t count = std::clamp(floatCount, 0, 256);
    for (int32_t i = 0; i < count; ++i) {
        Track& track = t.tracks.emplace_back();
        track.floatIndex = i;
        const bool named = size_t(i) < names.size() && !names[size_t(i)].empty();
        track.name = named ? names[size_t(i)] : "float:" + std::to_string(i);
    }
    return t;
}

Track* FindTrack(Tracks& tracks, const std::string& name) {
    for (Track& t : tracks.tracks)
        if (t.name == name) return &t;
    return nullptr;
}

namespace {

std::vector<Key>::iterator FirstAtOrAfter(Track& track, int32_t row) {
    return std::lower_bound(track.keys.begin(), track.keys.end(), row,
                            [](const Key& k, int32_t r) { return k.row < r; });
}

int32_t RowBefore(const Track& track, std::vector<Key>::iterator at) {
    return at == track.keys.begin() ? 0 : std::prev(at)->row;
}

}  // namespace

int32_t SetKey(Track& track, const Key& key) {
    auto at = FirstAtOrAfter(track, key.row);
    const int32_t from = RowBefore(track, at);
    if (at != track.keys.end() && at->row == key.row) *at = key;
    else track.keys.insert(at, key);
    return from;
}

int32_t DeleteKey(Track& track, int32_t row) {
    auto at = FirstAtOrAfter(track, row);
    const int32_t from = RowBefore(track, at);
    if (at != track.keys.end() && at->row == row) track.keys.erase(at);
    return from;
}

double RowsPerMs(const Tracks& t) { return t.bpm * double(t.rowsPerBeat) / 60000.0; }

int32_t RowAtMs(const Tracks& t, int64_t ms) {
    const double row = std::floor(double(ms) * t.bpm * double(t.rowsPerBeat) / 60000.0);
    return int32_t(std::clamp(row, 0.0, double(std::numeric_limits<int32_t>::max())));
}

int32_t FirstMsOfRow(const Tracks& t, int64_t row) {
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    if (row <= 0) return 0;
    const double rowsPerMs = RowsPerMs(t);
    if (!(rowsPerMs > 0)) return int32_t(kMax);
    double guess = std::ceil(double(row) / rowsPerMs);
    if (!(guess < double(kMax))) return int32_t(kMax);
    // The division may round either way: settle on the first ms whose row is row or later.
    int64_t ms = int64_t(guess);
    while (ms > 0 && RowAtMs(t, ms - 1) >= row) --ms;
    while (ms < kMax && RowAtMs(t, ms) < row) ++ms;
    return int32_t(ms);
}

}  // namespace tools::sync
