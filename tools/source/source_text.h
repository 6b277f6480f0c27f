// Texts and numbers as the demo source format writes them, shared by `qv dump` and `qv build`:
// quoted byte strings (Windows-1252 characters shown as UTF-8, everything else escaped),
// integers in decimal or hex, and floats that read back to the very same 32 bits.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tools::srctext {

// The bytes as a quoted string: printable Windows-1252 characters as their UTF-8 form, `"`
// and `\` escaped, \n \r \t, every other byte as \xHH.
std::string QuoteBytes(std::string_view bytes);

// Inverse of QuoteBytes on the text between the quotes. UTF-8 characters become their
// Windows-1252 byte; false with a message for a bad escape or a character outside the page.
bool UnquoteBytes(std::string_view body, std::string& bytes, std::string& error);

// Shortest decimal form that reads back to the same bits (plain digits when short, otherwise
// exponent form); NaNs as bits:0xHHHHHHHH, which ParseFloat also accepts for any value.
std::string FormatFloat(float f);
bool ParseFloat(std::string_view word, float& f);

// Decimal or 0x hex with an optional sign; false on anything else or beyond 64 bits.
bool ParseInteger(std::string_view word, int64_t& v);

// True when bytes read better as a quoted string than as a list of numbers.
bool LooksLikeText(std::string_view bytes);

// A byte as "0xHH".
std::string HexByte(uint8_t b);

}  // namespace tools::srctext
