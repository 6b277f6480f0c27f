// The conventions every qv command keeps: usage and --help on stdout (exit 0), errors on
// stderr as "qv COMMAND: message" (exit 1; wrong arguments exit 2), one wording for a file
// that cannot be read, and "-o -" for standard output.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

inline constexpr int kExitOk = 0, kExitErrors = 1, kExitUsage = 2;

// Prints "qv COMMAND: message" on stderr; returns kExitErrors.
int Complain(std::string_view command, const std::string& message);

// Reads a whole input file; on failure complains "qv COMMAND: PATH: cannot open the file
// (REASON)" and returns false.
bool ReadInput(std::string_view command, const std::string& path, std::vector<uint8_t>& bytes);

// Writes bytes to path, or to standard output when path is "-"; complains on failure.
bool WriteOutput(std::string_view command, const std::string& path, std::string_view bytes);

// A PNG output must be named .png (or be "-"): complains and returns false otherwise.
bool CheckPngName(std::string_view command, const std::string& path);

// True when the arguments ask for help (--help or -h).
bool WantsHelp(int argc, char** argv);

}  // namespace tools
