// Command-line values shared by the qv commands: whole numbers, decimals and WIDTHxHEIGHT sizes,
// read exactly (no sign tricks, no trailing characters).
#pragma once
#include <charconv>
#include <cstdint>
#include <string_view>

namespace core {

inline bool ParseNumber(std::string_view text, int32_t& out) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && !text.empty();
}

// A decimal such as 0.5, 2 or 1e3, exactly: no sign tricks, no trailing characters.
inline bool ParseDecimal(std::string_view text, double& out) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && !text.empty();
}

// "A<sep>B" into two numbers.
inline bool ParsePair(std::string_view text, char sep, int32_t& a, int32_t& b) {
    size_t at = text.find(sep);
    return at != std::string_view::npos && ParseNumber(text.substr(0, at), a) &&
           ParseNumber(text.substr(at + 1), b);
}

// WIDTHxHEIGHT, both above 0.
inline bool ParseSize(std::string_view text, int32_t& width, int32_t& height) {
    return ParsePair(text, 'x', width, height) && width > 0 && height > 0;
}

}  // namespace core
