// Whole-file reads and writes shared by every loader and tool: the file's bytes in one
// buffer, or a message naming the path and the reason, never an exception.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// Reads the file at path (already resolved). On failure returns false and, when error is
// given, sets it to "PATH: cannot open the file (reason)" or "PATH: cannot read the file (reason)".
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes,
                   std::string* error = nullptr);
bool ReadWholeFile(const std::string& path, std::string& text, std::string* error = nullptr);

// Writes bytes as the whole file at path. On failure returns false and, when error is given,
// sets it to "PATH: cannot write the file (reason)".
bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string* error = nullptr);

}  // namespace core
