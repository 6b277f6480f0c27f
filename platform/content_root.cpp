#include <filesystem>

#include "platform/paths.h"

namespace platform {
namespace {
std::string g_root = ".";
}

void SetContentRoot(const std::string& folder) { g_root = folder.empty() ? "." : folder; }

void SetContentRootBeside(const std::string& path) {
    SetContentRoot(std::filesystem::path(path).parent_path().string());
}
const std::string& ContentRoot() { return g_root; }

}  // namespace platform
