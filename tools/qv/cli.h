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

// The demo a command works on, as the bytes of a demo file: a demo file as it is, or a demo
// source (IsSourcePath: named .qvs) built in memory, the bytes `qv build` would write. On
// failure complains (the file that cannot be read, or every error of the source as
// SOURCE:LINE:COL: error: TEXT) and returns false.
bool ReadDemoInput(std::string_view command, const std::string& path, std::vector<uint8_t>& bytes);

// A message box of the engine as a tool reports it on stderr: "qv COMMAND: CAPTION: TEXT", or
// "qv COMMAND: TEXT" for the player's own caption "Quorvanel Error", which names no tool.
void ReportMessageBox(std::string_view command, const std::string& caption,
                      const std::string& text);

// Writes bytes to path, or to standard output when path is "-"; complains on failure.
bool WriteOutput(std::string_view command, const std::string& path, std::string_view bytes);

// A PNG output must be named .png (or be "-"): complains and returns false otherwise.
bool CheckPngName(std::string_view command, const std::string& path);

// Wrong arguments: "qv COMMAND: error" and the command's usage on stderr; returns kExitUsage.
int UsageError(std::string_view command, const std::string& error, const char* help);

// "unexpected argument 'ARG'", the error of an argument no command option takes.
std::string Unexpected(std::string_view argument);

// The arguments "INPUT -o OUTPUT", in either order, of a command that turns one file into
// another. Returns an error text naming what is wrong or missing ("-o is missing: name the
// OUTPUT to write"), or "" when both are there.
std::string ParseInputAndOutput(int argc, char** argv, const char*& input, const char*& output,
                                const char* inputName, const char* outputName);

// True when the arguments ask for help (--help or -h).
bool WantsHelp(int argc, char** argv);

}  // namespace tools
