// Whole-file reads for the model loaders: a missing or unreadable file becomes a message that
// names the path, never an exception.
#pragma once
#include <string>

namespace models {

// Reads the file at `path` (already resolved) into out. On failure returns false and sets
// error to "PATH: cannot open the file (reason)".
bool ReadModelFile(const std::string& path, std::string& out, std::string& error);

}  // namespace models
