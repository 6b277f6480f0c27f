// Quoting a token from a file in a message. A hostile file's token can be megabytes long (an
// OBJ number of 200,000 digits); a message quotes its first kQuotedTokenBytes bytes, then says
// "... (N bytes)", so the line stays readable and still shows what was there.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace core {

inline constexpr size_t kQuotedTokenBytes = 60;

inline std::string SingleQuoted(std::string_view text) {
    std::string q = "'";
    q += text;
    q += '\'';
    return q;
}

// 'token' for a short token; '<its first 60 bytes>'... (200000 bytes) for a long one. The cut
// moves back over up to three UTF-8 continuation bytes so no character is split (a token in
// another encoding loses at most three bytes more). `quote` writes the quoted form (a source
// format may escape bytes inside double quotes).
inline std::string QuoteToken(std::string_view token,
                              std::string (*quote)(std::string_view) = SingleQuoted) {
    if (token.size() <= kQuotedTokenBytes) return quote(token);
    size_t cut = kQuotedTokenBytes;
    while (cut > kQuotedTokenBytes - 3 && (uint8_t(token[cut]) & 0xC0) == 0x80) --cut;
    return quote(token.substr(0, cut)) + "... (" + std::to_string(token.size()) + " bytes)";
}

}  // namespace core
