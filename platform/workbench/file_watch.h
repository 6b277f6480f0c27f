// Watching a demo's folder and its data folder for changes on disk (inotify): `qv play`
// reloads the demo when its source or a data file changes. Editors save in different ways
// (write in place, or write a new file and rename it over the old one), so the folders are
// watched, not the files; a data folder made, renamed or removed after the start is followed.
#pragma once
#include <string>
#include <vector>

namespace platform {

struct FileChange {
    std::string path;  // folder/name
    // False while the last thing seen of the file is a write by a writer that still holds it
    // open: its content may not be complete yet.
    bool settled = true;
};

struct FileChanges {
    std::vector<FileChange> files;  // each path once, in the order first seen
    // The kernel's event queue overflowed: changes were lost, so anything may have changed.
    bool overflowed = false;
};

class FileWatch {
public:
    FileWatch() = default;
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // Watches `folder` and its data folder (the subfolder whose name is "data" in any case),
    // whenever that exists. False with the reason when the folder cannot be watched.
    bool Start(const std::string& folder, std::string& error);

    // What changed in the watched folders since the last call, without waiting.
    FileChanges TakeChanges();

private:
    void WatchDataFolder();
    int fd_ = -1;
    int folderWd_ = -1;
    int dataWd_ = -1;
    std::string folder_;
    std::string dataFolder_;
};

// True for the name of a demo's data folder: "data" in any case of its Latin letters, as the
// player resolves names.
bool IsDataFolderName(const std::string& name);

}  // namespace platform
