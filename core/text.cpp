#include "core/text.h"

#include <algorithm>
#include <vector>

namespace core {
namespace {

// Code points of the bytes 0x80..0x9F; the undefined ones keep their own value.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char32_t Cp1252CodePoint(uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
}

bool Cp1252Defined(uint8_t byte) {
    return byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D;
}

int Cp1252Byte(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return int(codePoint);
    for (int i = 0; i < 32; ++i)
        if (Cp1252Defined(uint8_t(0x80 + i)) && kHighControls[i] == codePoint) return 0x80 + i;
    return -1;
}

char32_t FoldLatinCase(char32_t cp) {
    if ((cp >= 'A' && cp <= 'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)) return cp + 0x20;
    switch (cp) {
        case 0x0160: return 0x0161;  // S with caron
        case 0x0152: return 0x0153;  // OE
        case 0x017D: return 0x017E;  // Z with caron
        case 0x0178: return 0x00FF;  // Y with diaeresis
        default: return cp;
    }
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

bool DecodeUtf8(std::string_view s, size_t& i, char32_t& cp) {
    const uint8_t lead = uint8_t(s[i]);
    int extra;
    if (lead < 0x80) {
        cp = lead;
        extra = 0;
    } else if ((lead & 0xE0) == 0xC0) {
        cp = lead & 0x1F;
        extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
        cp = lead & 0x0F;
        extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
        cp = lead & 0x07;
        extra = 3;
    } else return false;
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

std::string Cp1252ToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) AppendUtf8(out, Cp1252CodePoint(b));
    return out;
}

bool IsValidUtf8(const std::string& bytes) {
    char32_t cp;
    for (size_t i = 0; i < bytes.size();)
        if (!DecodeUtf8(bytes, i, cp)) return false;
    return true;
}

std::string DisplayText(const std::string& bytes) {
    return IsValidUtf8(bytes) ? bytes : Cp1252ToUtf8(bytes);
}

int EditDistanceIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    std::vector<int> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = int(j);
    for (size_t i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (size_t j = 1; j <= b.size(); ++j) {
            const bool same = lower(a[i - 1]) == lower(b[j - 1]);
            const int next = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = row[j];
            row[j] = next;
        }
    }
    return row[b.size()];
}

}  // namespace core
