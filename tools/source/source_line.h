// One line of demo source being read: its tokens (with their columns), the next one to take,
// and typed readers whose failures point at the token. The directives' parser and the script
// assembler both read through it; a failure ends the line, and every line's failure is kept.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/source/diagnostic.h"

namespace tools {

inline constexpr int64_t kInt32Min = INT32_MIN;
inline constexpr int64_t kInt32Max = INT32_MAX;
inline constexpr int64_t kUint32Max = UINT32_MAX;

struct Token {
    bool quoted = false;
    std::string text;  // a word as written, or a string's bytes
    int column = 1;    // where it starts, in characters from 1
};

// Splits a line into words and quoted strings; ';' outside a string starts a comment. On
// failure errorColumn is where the bad string starts.
bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error,
              int& errorColumn);

// The column (from 1, in UTF-8 characters) of byte offset at of line.
int ColumnOf(std::string_view line, size_t at);

// A token as a message quotes it.
std::string Shown(const Token& t);

// Letters, digits and '_', not starting with a digit.
bool IsLabelName(std::string_view s);

// What a line that belongs to no item is told: every directive keyword, then the word found.
std::string ExpectedDirective(const Token& found);

struct LineReader {
    std::string fileName;
    std::vector<Diagnostic> diagnostics;
    int lineNumber = 0;
    int endColumn = 1;  // just past the current line's last character
    std::vector<Token> tokens;
    size_t at = 0;  // next token of the current line

    // At the next token, or at the end of the line when there is none.
    bool Fail(const std::string& message);
    bool FailToken(size_t index, const std::string& message);
    bool FailAt(SourcePos pos, const std::string& message);
    // A word the block does not know. At column 1, where directives are written, it is most
    // likely a misspelt directive, and is reported as one; indented, with message.
    bool FailUnknownWord(size_t index, const std::string& message);
    SourcePos PosOf(size_t index) const;
    int Errors() const { return CountErrors(diagnostics); }

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
