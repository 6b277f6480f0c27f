#include "tools/source_text.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <utility>
#include <cstdio>
#include <cstring>

namespace tools::srctext {
namespace {

// Windows-1252 bytes 0x80..0x9F as Unicode code points; 0 where the page defines no character
// (0x81, 0x8D, 0x8F, 0x90, 0x9D). Bytes 0xA0..0xFF are the code points of the same value.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The character a byte shows as in the source, or 0 when it is written as an escape:
// control bytes, DEL, the undefined 0x81 etc., and the invisible no-break and soft hyphens.
char32_t VisibleCodePoint(uint8_t b) {
    if (b >= 0x20 && b < 0x7F) return b;
    if (b >= 0x80 && b < 0xA0) return kCp1252High[b - 0x80];
    if (b == 0xA0 || b == 0xAD) return 0;
    if (b > 0xA0) return b;
    return 0;
}

// -1 when the code point has no Windows-1252 byte.
int Cp1252Byte(char32_t cp) {
    if (cp < 0x80) return int(cp);
    if (cp >= 0xA0 && cp <= 0xFF) return int(cp);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] != 0 && kCp1252High[i] == cp) return 0x80 + i;
    return -1;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

// One UTF-8 character from s at i (advanced past it); false when malformed. Overlong forms and
// surrogates are refused so that every character has exactly one spelling.
bool DecodeUtf8(std::string_view s, size_t& i, char32_t& cp) {
    const uint8_t lead = uint8_t(s[i]);
    int extra;
    if (lead < 0x80) { cp = lead; extra = 0; }
    else if ((lead & 0xE0) == 0xC0) { cp = lead & 0x1F; extra = 1; }
    else if ((lead & 0xF0) == 0xE0) { cp = lead & 0x0F; extra = 2; }
    else if ((lead & 0xF8) == 0xF0) { cp = lead & 0x07; extra = 3; }
    else return false;
    if (s.size() - i - 1 < size_t(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
        const uint8_t c = uint8_t(s[i + k]);
        if ((c & 0xC0) != 0x80) return false;
        cp = cp << 6 | (c & 0x3F);
    }
    static constexpr char32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += size_t(extra) + 1;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The one-letter escapes: byte and the letter after the backslash.
constexpr std::pair<char, char> kEscapes[] = {{'"', '"'}, {'\\', '\\'}, {'\n', 'n'}, {'\r', 'r'}, {'\t', 't'}};

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
            error = std::string("character ") + hex + " is not in Windows-1252 (write bytes as \\xHH)";
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
