// One bounds-checked cursor over a byte span; every binary format of the player reads through it.
// A read that would pass the end returns false and leaves the cursor where it was.
#pragma once
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace core {

// The bytes of a text that holds binary data (counted texts of the demo file).
inline std::span<const uint8_t> AsBytes(std::string_view s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

struct ByteReader {
    std::span<const uint8_t> bytes;
    size_t pos = 0;

    explicit ByteReader(std::span<const uint8_t> b) : bytes(b) {}

    size_t Remaining() const { return bytes.size() - pos; }
    bool AtEnd() const { return pos >= bytes.size(); }

    bool ReadU8(uint8_t& out) {
        if (Remaining() < 1) return false;
        out = bytes[pos++];
        return true;
    }
    bool ReadI32(int32_t& out) {
        if (Remaining() < 4) return false;
        uint32_t v = uint32_t(bytes[pos]) | uint32_t(bytes[pos + 1]) << 8 |
                     uint32_t(bytes[pos + 2]) << 16 | uint32_t(bytes[pos + 3]) << 24;
        out = int32_t(v);
        pos += 4;
        return true;
    }
    bool ReadF32(float& out) {
        int32_t bits;
        if (!ReadI32(bits)) return false;
        std::memcpy(&out, &bits, 4);
        return true;
    }
    bool ReadU16BE(uint16_t& out) {
        if (Remaining() < 2) return false;
        out = uint16_t(bytes[pos] << 8 | bytes[pos + 1]);
        pos += 2;
        return true;
    }
    bool ReadU16LE(uint16_t& out) {
        if (Remaining() < 2) return false;
        out = uint16_t(bytes[pos] | bytes[pos + 1] << 8);
        pos += 2;
        return true;
    }
    // n bytes appended to out as characters; fails without reading when fewer are left.
    bool ReadText(size_t n, std::string& out) {
        if (Remaining() < n) return false;
        out.assign(reinterpret_cast<const char*>(bytes.data() + pos), n);
        pos += n;
        return true;
    }
    bool Skip(size_t n) {
        if (Remaining() < n) return false;
        pos += n;
        return true;
    }
};

// Little-endian writers, the mirror of ByteReader, for the tools that produce files.
inline void AppendI32(std::string& out, int32_t v) {
    uint32_t u = uint32_t(v);
    for (int i = 0; i < 4; ++i) out.push_back(char((u >> (8 * i)) & 0xFF));
}
inline void AppendF32(std::string& out, float f) {
    int32_t bits;
    std::memcpy(&bits, &f, 4);
    AppendI32(out, bits);
}

}  // namespace core
