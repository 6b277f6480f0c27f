#include "tools/workbench/reload.h"

#include <filesystem>

#include "platform/paths.h"
#include "platform/workbench/file_watch.h"

namespace tools {
namespace {

std::filesystem::path FolderOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

}  // namespace

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
    const fs::path demoFolder = FolderOf(fs::path(demoPath));
    if (platform::IsDataFolderName(name) && fs::equivalent(FolderOf(path), demoFolder, ec))
        return true;
    const fs::path folder = FolderOf(path);
    return platform::IsDataFolderName(folder.filename().string()) &&
           fs::equivalent(FolderOf(folder), demoFolder, ec);
}

void NoteChange(ReloadDebounce& d, double nowMs, const std::string& path, bool settled) {
    d.pending = true;
    d.lastChangeMs = nowMs;
    if (settled) d.openFiles.erase(path);
    else d.openFiles.insert(path);
}

bool TakeDueReload(ReloadDebounce& d, double nowMs) {
    const double quiet = nowMs - d.lastChangeMs;
    if (!d.pending || quiet <= kReloadQuietMs) return false;
    if (!d.openFiles.empty() && quiet <= kReloadOpenWriterMs) return false;
    d.pending = false;
    d.openFiles.clear();
    return true;
}

}  // namespace tools
