#include "demo/path_string.h"

namespace demo {

bool ReadPathCount(core::ByteReader& in, int32_t& count) {
    uint16_t stored;
    if (!in.ReadU16BE(stored)) return false;
    count = int16_t(stored);
    return true;
}

bool ReadPathSegment(core::ByteReader& in, PathSegment& s) {
    if (in.Remaining() < kPathSegmentBytes) return false;
    uint16_t v[7];
    for (uint16_t& x : v) in.ReadU16BE(x);
    s = {int16_t(v[0]), int16_t(v[1]), int16_t(v[2]), int16_t(v[3]),
         int16_t(v[4]), int16_t(v[5]), int16_t(v[6]), 0};
    return in.ReadU8(s.unusedByte);
}

namespace {

void AppendU16BE(std::string& out, uint16_t v) {
    out.push_back(char(v >> 8));
    out.push_back(char(v & 0xFF));
}

}  // namespace

void AppendPathCount(std::string& out, int16_t count) { AppendU16BE(out, uint16_t(count)); }

void AppendPathSegment(std::string& out, const PathSegment& s) {
    for (int16_t v : {s.x0, s.y0, s.x1, s.y1, s.cx, s.cy, s.unused}) AppendU16BE(out, uint16_t(v));
    out.push_back(char(s.unusedByte));
}

}  // namespace demo
