// What the source tools report about a file, in the form editors and CI read:
//   FILE:LINE:COL: error: TEXT      (lines and columns count from 1; columns in characters)
// A file's errors are all reported, up to kMaxErrors.
#pragma once
#include <string>
#include <vector>

namespace tools {

struct SourcePos {
    int line = 0, column = 0;
};

enum class Severity { Error, Warning };

struct Diagnostic {
    SourcePos pos;
    Severity severity = Severity::Error;
    std::string text;
};

inline constexpr int kMaxErrors = 20;

inline std::string FormatDiagnostic(const std::string& file, const Diagnostic& d) {
    return file + ":" + std::to_string(d.pos.line) + ":" + std::to_string(d.pos.column) + ": " +
           (d.severity == Severity::Error ? "error: " : "warning: ") + d.text;
}

inline int CountErrors(const std::vector<Diagnostic>& all) {
    int n = 0;
    for (const Diagnostic& d : all) n += d.severity == Severity::Error;
    return n;
}

}  // namespace tools
