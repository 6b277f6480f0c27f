// One line of demo source being read: its tokens, the next one to take, and typed readers
// whose failures name the file and line. The directives' parser and the script assembler both
// read through it; the first failure is kept and stops the build.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

inline constexpr int64_t kInt32Min = INT32_MIN;
inline constexpr int64_t kInt32Max = INT32_MAX;
inline constexpr int64_t kUint32Max = UINT32_MAX;

struct Token {
    bool quoted = false;
    std::string text;  // a word as written, or a string's bytes
};

// Splits a line into words and quoted strings; ';' outside a string starts a comment.
bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error);

// A token as a message quotes it.
std::string Shown(const Token& t);

// Letters, digits and '_', not starting with a digit.
bool IsLabelName(std::string_view s);

struct LineReader {
    std::string fileName;
    std::string error;  // the first failure: "fileName:line: message"
    int lineNumber = 0;
    std::vector<Token> tokens;
    size_t at = 0;  // next token of the current line

    bool Fail(const std::string& message) { return FailAt(lineNumber, message); }
    bool FailAt(int line, const std::string& message);

    bool More() const { return at < tokens.size(); }
    bool NextIsWord(std::string_view w) const;
    bool NoMore();  // fails on a token left over

    bool Word(std::string& out, const std::string& what);
    bool String(std::string& out, const std::string& what);
    bool Integer(int64_t& v, int64_t lo, int64_t hi, const std::string& what);
    bool Int32(int32_t& v, const std::string& what);
    // An int32 that may also be written as its unsigned bit pattern (0x80000000 .. 0xFFFFFFFF).
    bool Bits32(int32_t& v, const std::string& what);
    bool Float(float& f, const std::string& what);
    // `length L` after a directive, when it is there.
    bool OptionalLength(std::optional<int64_t>& length);
    // `.byte` data: numbers 0..255 and strings, appended in order.
    bool RawBytes(std::string& out);
};

}  // namespace tools
