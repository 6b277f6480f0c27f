// Watching files for changes on disk (inotify): `qv play` reloads the demo when its source or
// a data file changes. Editors save in different ways (write in place, or write a new file
// and rename it over the old one), so the folders are watched, not the files.
#pragma once
#include <string>
#include <vector>

namespace platform {

class FileWatch {
public:
    FileWatch() = default;
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // Watches the folders given (not their subfolders); a folder that does not exist is left
    // out. False with the reason when the watch cannot be set up at all.
    bool Start(const std::vector<std::string>& folders, std::string& error);

    // The names (folder/file) of the files written, created, moved in or deleted in the watched
    // folders since the last call, without waiting; each name once.
    std::vector<std::string> TakeChanges();

private:
    int fd_ = -1;
    std::vector<std::pair<int, std::string>> folders_;  // watch descriptor, folder
};

}  // namespace platform
