#include "tools/workbench/reload.h"

#include <filesystem>

#include "platform/paths.h"

namespace tools {

bool MattersForReload(const std::string& changed, const std::string& demoPath,
                      const std::string& musicFile) {
    namespace fs = std::filesystem;
    const fs::path path(changed);
    const std::string name = path.filename().string();
    if (name.empty() || name[0] == '.' || name.back() == '~' || name.ends_with(".swp") ||
        name.ends_with(".swx") || name == "4913")
        return false;
    std::error_code ec;
    if (fs::equivalent(path, demoPath, ec)) return true;
    if (!musicFile.empty() && fs::equivalent(path, platform::ResolvePath(musicFile), ec))
        return true;
    return path.parent_path().filename() == "data";
}

void NoteChange(ReloadDebounce& d, double nowMs) {
    d.pending = true;
    d.lastChangeMs = nowMs;
}

bool TakeDueReload(ReloadDebounce& d, double nowMs) {
    if (!d.pending || nowMs - d.lastChangeMs <= kReloadQuietMs) return false;
    d.pending = false;
    return true;
}

}  // namespace tools
