// Texts of the demo file are Windows-1252 bytes (the ANSI code page the demos were authored
// in); the window system wants UTF-8. Conversion for display only: the bytes stay as stored.
#pragma once
#include <string>

namespace platform {

// Every byte becomes one character: 0x00-0x7F and 0xA0-0xFF map to the same code point,
// 0x80-0x9F to the Windows-1252 punctuation (the five unassigned bytes 0x81, 0x8D, 0x8F,
// 0x90 and 0x9D to the C1 controls of the same value, as Windows itself converts them).
std::string Cp1252ToUtf8(const std::string& bytes);

// True when bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(const std::string& bytes);

// Texts that mix the system's own messages with names from the demo file: kept as they are
// when already UTF-8 (plain ASCII is), otherwise read as Windows-1252.
std::string DisplayText(const std::string& bytes);

}  // namespace platform
