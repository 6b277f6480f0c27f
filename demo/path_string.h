// Path strings as stored in the demo file: a 16-bit big-endian signed segment count, then
// segments of seven 16-bit big-endian values (x0 y0 x1 y1 cx cy, one unused) and one unused
// byte. Coordinates are in units of 1/400, y pointing down.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/byte_reader.h"

namespace demo {

inline constexpr size_t kPathCountBytes = 2;
inline constexpr size_t kPathSegmentBytes = 15;

struct PathSegment {
    int16_t x0 = 0, y0 = 0;  // start
    int16_t x1 = 0, y1 = 0;  // end
    int16_t cx = 0, cy = 0;  // control point
    int16_t unused = 0;      // kept so that a file can be written back byte for byte
    uint8_t unusedByte = 0;
};

// The stored segment count (negative counts are kept). False when fewer than two bytes are left.
bool ReadPathCount(core::ByteReader& in, int32_t& count);
// One segment; false, with the cursor unmoved, when fewer than kPathSegmentBytes are left.
bool ReadPathSegment(core::ByteReader& in, PathSegment& segment);
void AppendPathCount(std::string& out, int16_t count);
void AppendPathSegment(std::string& out, const PathSegment& segment);

}  // namespace demo
