#include "tools/source/source_text.h"

#include "core/text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

namespace tools::srctext {
namespace {

// The character a byte shows as in the source, or 0 when it is written as an escape:
// control bytes, DEL, the undefined 0x81 etc., and the invisible no-break and soft hyphens.
char32_t VisibleCodePoint(uint8_t b) {
    if (b >= 0x20 && b < 0x7F) return b;
    if (b >= 0x80 && b < 0xA0) return core::Cp1252Defined(b) ? core::Cp1252CodePoint(b) : 0;
    if (b == 0xA0 || b == 0xAD) return 0;
    if (b > 0xA0) return b;
    return 0;
}

using core::AppendUtf8;
using core::Cp1252Byte;
using core::DecodeUtf8;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The one-letter escapes: byte and the letter after the backslash.
constexpr std::pair<char, char> kEscapes[] = {
    {'"', '"'}, {'\\', '\\'}, {'\n', 'n'}, {'\r', 'r'}, {'\t', 't'}};

uint32_t FloatBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

}  // namespace

std::string QuoteBytes(std::string_view bytes) {
    std::string out = "\"";
    for (char ch : bytes) {
        const uint8_t b = uint8_t(ch);
        const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                          [ch](auto e) { return e.first == ch; });
        if (escape != std::end(kEscapes)) {
            out += '\\';
            out += escape->second;
        } else if (char32_t cp = VisibleCodePoint(b)) {
            AppendUtf8(out, cp);
        } else {
            char esc[5];
            std::snprintf(esc, sizeof esc, "\\x%02X", b);
            out += esc;
        }
    }
    out += '"';
    return out;
}

bool UnquoteBytes(std::string_view body, std::string& bytes, std::string& error) {
    bytes.clear();
    size_t i = 0;
    while (i < body.size()) {
        const char c = body[i];
        if (c == '\\') {
            if (i + 1 >= body.size()) {
                error = "string ends inside an escape";
                return false;
            }
            const char e = body[i + 1];
            i += 2;
            const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                              [e](auto x) { return x.second == e; });
            if (escape != std::end(kEscapes)) {
                bytes += escape->first;
                continue;
            }
            if (e != 'x') {
                error = std::string("unknown escape \\") + e;
                return false;
            }
            const int hi = i < body.size() ? HexDigit(body[i]) : -1;
            const int lo = i + 1 < body.size() ? HexDigit(body[i + 1]) : -1;
            if (hi < 0 || lo < 0) {
                error = "\\x needs two hex digits";
                return false;
            }
            bytes += char(hi * 16 + lo);
            i += 2;
            continue;
        }
        char32_t cp;
        if (!DecodeUtf8(body, i, cp)) {
            error = "string is not valid UTF-8";
            return false;
        }
        const int b = Cp1252Byte(cp);
        if (b < 0) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "U+%04X", unsigned(cp));
            error =
                std::string("character ") + hex + " is not in Windows-1252 (write bytes as \\xHH)";
            return false;
        }
        bytes += char(b);
    }
    return true;
}

std::string FormatFloat(float f) {
    if (f != f) {
        char bits[32];
        std::snprintf(bits, sizeof bits, "bits:0x%08X", unsigned(FloatBits(f)));
        return bits;
    }
    // Both forms are the shortest that read back exactly; plain digits read better while short.
    char fixed[64], shortest[64];
    auto rf = std::to_chars(fixed, fixed + sizeof fixed, f, std::chars_format::fixed);
    auto rs = std::to_chars(shortest, shortest + sizeof shortest, f);
    if (rf.ec == std::errc() && rf.ptr - fixed <= 12) return std::string(fixed, rf.ptr);
    return std::string(shortest, rs.ptr);
}

bool ParseFloat(std::string_view word, float& f) {
    if (word.starts_with("bits:")) {
        int64_t bits;
        if (!ParseInteger(word.substr(5), bits) || bits < 0 || bits > 0xFFFFFFFFLL) return false;
        const uint32_t b = uint32_t(bits);
        std::memcpy(&f, &b, 4);
        return true;
    }
    if (word.starts_with('+')) word.remove_prefix(1);
    if (word.empty()) return false;
    auto r = std::from_chars(word.data(), word.data() + word.size(), f);
    return r.ec == std::errc() && r.ptr == word.data() + word.size();
}

bool ParseInteger(std::string_view word, int64_t& v) {
    bool negative = false;
    if (!word.empty() && (word[0] == '-' || word[0] == '+')) {
        negative = word[0] == '-';
        word.remove_prefix(1);
    }
    int base = 10;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        base = 16;
        word.remove_prefix(2);
    }
    if (word.empty() || word[0] == '-' || word[0] == '+') return false;
    uint64_t magnitude;
    auto r = std::from_chars(word.data(), word.data() + word.size(), magnitude, base);
    if (r.ec != std::errc() || r.ptr != word.data() + word.size()) return false;
    if (magnitude > uint64_t(INT64_MAX)) return false;
    v = negative ? -int64_t(magnitude) : int64_t(magnitude);
    return true;
}

bool LooksLikeText(std::string_view bytes) {
    size_t visible = 0;
    for (char c : bytes) visible += VisibleCodePoint(uint8_t(c)) != 0 || c == '\n' || c == '\t';
    return bytes.size() >= 4 && visible * 4 >= bytes.size() * 3;
}

std::string HexByte(uint8_t b) {
    char s[8];
    std::snprintf(s, sizeof s, "0x%02X", b);
    return s;
}

}  // namespace tools::srctext
