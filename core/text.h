// Texts of the demo file are Windows-1252 bytes (the ANSI code page the demos were authored
// in); the window system wants UTF-8. Conversion for display only: the bytes stay as stored.
// The code-page table and the UTF-8 steps are shared with the demo source format.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace core {

// The code point of a byte: 0x00-0x7F and 0xA0-0xFF the same value, 0x80-0x9F the
// Windows-1252 punctuation; the five bytes the page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) give the C1 control of the same value, as Windows itself converts them.
char32_t Cp1252CodePoint(uint8_t byte);
bool Cp1252Defined(uint8_t byte);  // false for those five bytes only

// The byte of a code point, or -1 when the page has none (the C1 controls included).
int Cp1252Byte(char32_t codePoint);

// The small letter of a letter that Windows-1252 holds in both cases: A-Z, the Latin-1
// capitals U+00C0-U+00DE (not the multiplication sign U+00D7), and S, OE, Z with caron and
// Y with diaeresis. Every other code point, sharp s included, is its own.
char32_t FoldLatinCase(char32_t cp);

// Every byte becomes one character (Cp1252CodePoint).
std::string Cp1252ToUtf8(const std::string& bytes);

// Appends code point cp (below U+10000) as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// One UTF-8 character of s at i into cp, i advanced past it. False for malformed input,
// overlong forms, surrogates and values past U+10FFFF, so that every character has exactly
// one spelling.
bool DecodeUtf8(std::string_view s, size_t& i, char32_t& cp);

// True when bytes are well-formed UTF-8 (DecodeUtf8 throughout).
bool IsValidUtf8(const std::string& bytes);

// Texts that mix the system's own messages with names from the demo file: kept as they are
// when already UTF-8 (plain ASCII is), otherwise read as Windows-1252.
std::string DisplayText(const std::string& bytes);

// Edit distance (insertions, deletions, substitutions) between a and b, ASCII letters compared
// without case: how far a typed name is from a known one.
int EditDistanceIgnoringCase(std::string_view a, std::string_view b);

}  // namespace core
