#include "platform/workbench/file_watch.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform {
namespace {

constexpr uint32_t kFileEvents =
    IN_CLOSE_WRITE | IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE;
// The data folder going away: removed, renamed, or its file system unmounted.
constexpr uint32_t kFolderGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

// Records one event of a file: a writer that has not closed the file leaves it unsettled.
void Note(FileChanges& changes, std::string path, uint32_t mask) {
    auto it = std::find_if(changes.files.begin(), changes.files.end(),
                           [&](const FileChange& c) { return c.path == path; });
    if (it == changes.files.end()) {
        changes.files.push_back({std::move(path), true});
        it = changes.files.end() - 1;
    }
    if (mask & IN_MODIFY) it->settled = false;
    if (mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM)) it->settled = true;
}

}  // namespace

bool IsDataFolderName(const std::string& name) {
    static constexpr char kData[] = "data";
    if (name.size() != 4) return false;
    for (size_t i = 0; i < 4; ++i)
        if ((name[i] | 0x20) != kData[i]) return false;
    return true;
}

FileWatch::~FileWatch() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileWatch::Start(const std::string& folder, std::string& error) {
    if (fd_ < 0) fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        error = std::strerror(errno);
        return false;
    }
    folder_ = folder;
    folderWd_ = ::inotify_add_watch(fd_, folder.c_str(), kFileEvents | IN_ONLYDIR);
    if (folderWd_ < 0) {
        error = "'" + folder + "' cannot be watched (" + std::strerror(errno) + ")";
        return false;
    }
    WatchDataFolder();
    return true;
}

// Finds the data folder in any case and watches it; leaves things as they are when there is
// none. Called again whenever a folder appears in or leaves the demo's folder.
void FileWatch::WatchDataFolder() {
    if (dataWd_ >= 0) {
        ::inotify_rm_watch(fd_, dataWd_);
        dataWd_ = -1;
    }
    dataFolder_.clear();
    DIR* dir = ::opendir(folder_.c_str());
    if (!dir) return;
    while (const dirent* e = ::readdir(dir)) {
        if (!IsDataFolderName(e->d_name)) continue;
        const std::string path = folder_ + "/" + e->d_name;
        const int wd =
            ::inotify_add_watch(fd_, path.c_str(), kFileEvents | kFolderGone | IN_ONLYDIR);
        if (wd < 0) continue;
        dataWd_ = wd;
        dataFolder_ = path;
        break;
    }
    ::closedir(dir);
}

FileChanges FileWatch::TakeChanges() {
    FileChanges changes;
    if (fd_ < 0) return changes;
    alignas(inotify_event) char buffer[8192];
    bool rescan = false;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got <= 0) break;  // EAGAIN: nothing more pending
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof(inotify_event);
            at += ssize_t(sizeof(inotify_event) + event.len);
            if (at > got) break;
            if (event.mask & IN_Q_OVERFLOW) {
                changes.overflowed = true;
                rescan = true;  // the data folder may have come or gone unseen
                continue;
            }
            if (event.wd == dataWd_ && (event.mask & kFolderGone)) {
                rescan = true;
                changes.overflowed |= (event.mask & IN_UNMOUNT) != 0;
                continue;
            }
            if (event.len == 0) continue;
            const std::string file(name, ::strnlen(name, event.len));
            if (event.wd == folderWd_) {
                if ((event.mask & IN_ISDIR) && IsDataFolderName(file)) {
                    rescan = true;
                    Note(changes, folder_ + "/" + file, IN_MOVED_TO);  // a new set of data files
                    continue;
                }
                Note(changes, folder_ + "/" + file, event.mask);
            } else if (event.wd == dataWd_) {
                Note(changes, dataFolder_ + "/" + file, event.mask);
            }
        }
    }
    if (rescan) WatchDataFolder();
    return changes;
}

}  // namespace platform
