#include "tools/source/source_line.h"

#include <cctype>

#include "core/quote.h"
#include "tools/source/source_text.h"

namespace tools {

int ColumnOf(std::string_view line, size_t at) {
    int column = 1;
    for (size_t i = 0; i < at && i < line.size(); ++i) column += (uint8_t(line[i]) & 0xC0) != 0x80;
    return column;
}

bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error,
              int& errorColumn) {
    tokens.clear();
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == ';') break;
        if (c == '"') {
            size_t end = i + 1;
            while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
            errorColumn = ColumnOf(line, i);
            if (end >= line.size()) {
                error = "string has no closing quote";
                return false;
            }
            Token t{true, {}, errorColumn};
            if (!srctext::UnquoteBytes(line.substr(i + 1, end - i - 1), t.text, error))
                return false;
            tokens.push_back(std::move(t));
            i = end + 1;
            continue;
        }
        size_t end = i;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r' &&
               line[end] != ';' && line[end] != '"')
            ++end;
        tokens.push_back({false, std::string(line.substr(i, end - i)), ColumnOf(line, i)});
        i = end;
    }
    return true;
}

std::string Shown(const Token& t) {
    return t.quoted ? core::QuoteToken(t.text, srctext::QuoteBytes) : core::QuoteToken(t.text);
}

bool IsLabelName(std::string_view s) {
    if (s.empty() || !(std::isalpha(uint8_t(s[0])) || s[0] == '_')) return false;
    for (char c : s)
        if (!(std::isalnum(uint8_t(c)) || c == '_')) return false;
    return true;
}

std::string ExpectedDirective(const Token& found) {
    return "expected a directive (title, script, clip, track, texture, path, variables, music, "
           "model, trailing, count, after-end, bpm), not " +
           Shown(found);
}

SourcePos LineReader::PosOf(size_t index) const {
    return {lineNumber, index < tokens.size() ? tokens[index].column : endColumn};
}
bool LineReader::Fail(const std::string& message) { return FailToken(at, message); }
bool LineReader::FailToken(size_t index, const std::string& message) {
    return FailAt(PosOf(index), message);
}
bool LineReader::FailUnknownWord(size_t index, const std::string& message) {
    const bool atLineStart = index < tokens.size() && tokens[index].column == 1;
    return FailToken(index, atLineStart ? ExpectedDirective(tokens[index]) : message);
}
bool LineReader::FailAt(SourcePos pos, const std::string& message) {
    diagnostics.push_back({pos, Severity::Error, message});
    return false;
}

bool LineReader::NextIsWord(std::string_view w) const {
    return More() && !tokens[at].quoted && tokens[at].text == w;
}
bool LineReader::NoMore() { return !More() || Fail("unexpected " + Shown(tokens[at])); }

bool LineReader::Word(std::string& out, const std::string& what) {
    if (!More()) return Fail("missing " + what);
    if (tokens[at].quoted) return Fail("expected " + what + ", found a string");
    out = tokens[at++].text;
    return true;
}
bool LineReader::String(std::string& out, const std::string& what) {
    if (!More() || !tokens[at].quoted) return Fail("expected " + what + " as a quoted string");
    out = tokens[at++].text;
    return true;
}
bool LineReader::Integer(int64_t& v, int64_t lo, int64_t hi, const std::string& what) {
    std::string w;
    const size_t token = at;
    if (!Word(w, what)) return false;
    if (!srctext::ParseInteger(w, v) || v < lo || v > hi)
        return FailToken(token, what + " must be an integer from " + std::to_string(lo) + " to " +
                                    std::to_string(hi) + ", not " + core::QuoteToken(w));
    return true;
}
bool LineReader::Int32(int32_t& v, const std::string& what) {
    int64_t x;
    if (!Integer(x, kInt32Min, kInt32Max, what)) return false;
    v = int32_t(x);
    return true;
}
bool LineReader::Bits32(int32_t& v, const std::string& what) {
    int64_t x;
    if (!Integer(x, kInt32Min, kUint32Max, what)) return false;
    v = int32_t(uint32_t(x));
    return true;
}
bool LineReader::Float(float& f, const std::string& what) {
    std::string w;
    const size_t token = at;
    if (!Word(w, what)) return false;
    if (!srctext::ParseFloat(w, f))
        return FailToken(token, what + " must be a float, not " + core::QuoteToken(w));
    return true;
}
bool LineReader::OptionalLength(std::optional<int64_t>& length) {
    if (!NextIsWord("length")) return true;
    ++at;
    int64_t v;
    if (!Integer(v, kInt32Min, kInt32Max, "length")) return false;
    length = v;
    return true;
}
bool LineReader::RawBytes(std::string& out) {
    if (!More()) return Fail(".byte needs at least one value");
    for (; More(); ++at) {
        if (tokens[at].quoted) {
            out += tokens[at].text;
            continue;
        }
        int64_t v;
        if (!srctext::ParseInteger(tokens[at].text, v) || v < 0 || v > 255)
            return Fail("byte value must be 0 to 255 or a string, not " + Shown(tokens[at]));
        out.push_back(char(v));
    }
    return true;
}

}  // namespace tools
