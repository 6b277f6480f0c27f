// The Clip record: one script run on one track over an interval of demo time.
#pragma once
#include <cstdint>

namespace demo {

struct Clip {
    uint8_t track = 0;        // 0..19 run; higher numbers never match a track
    int32_t start = 0;        // first millisecond
    int32_t length = 0;       // ms; the clip covers start .. start + length, both ends included
    int32_t scriptIndex = 0;  // into the script table
    float translateX = 0, translateY = 0, translateZ = 0;
    float rotateX = 0, rotateY = 0, rotateZ = 0;  // degrees
};

inline constexpr int kTrackCount = 20;
inline constexpr int kClipRecordBytes = 37;
inline constexpr int kTrackRecordBytes = 6;

}  // namespace demo
