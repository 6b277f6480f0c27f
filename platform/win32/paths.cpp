// Demo-file names on Win32: the ANSI bytes as stored, handed to the file functions as they
// are, so that Windows resolves '\' separators and letter case itself.
#include "platform/paths.h"

namespace platform {
namespace {

bool IsAbsolute(const std::string& name) {
    const bool drive = name.size() >= 2 && name[1] == ':';
    return drive || (!name.empty() && (name[0] == '\\' || name[0] == '/'));
}

}  // namespace

std::string ResolvePath(const std::string& demoName) {
    if (demoName.empty() || IsAbsolute(demoName) || ContentRoot() == ".") return demoName;
    return ContentRoot() + "\\" + demoName;
}

// The bytes are ANSI already; the message box shows them as they are.
std::string DisplayPath(const std::string& path) { return path; }

}  // namespace platform
