#include "platform/workbench/file_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform {

FileWatch::~FileWatch() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileWatch::Start(const std::vector<std::string>& folders, std::string& error) {
    if (fd_ < 0) fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        error = std::strerror(errno);
        return false;
    }
    constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_DELETE;
    for (const std::string& folder : folders) {
        const int wd = ::inotify_add_watch(fd_, folder.c_str(), kEvents | IN_ONLYDIR);
        if (wd >= 0) folders_.emplace_back(wd, folder);
    }
    if (folders_.empty()) {
        error = "none of the folders can be watched";
        return false;
    }
    return true;
}

std::vector<std::string> FileWatch::TakeChanges() {
    std::vector<std::string> names;
    if (fd_ < 0) return names;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got <= 0) break;  // EAGAIN: nothing more pending
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof(inotify_event);
            at += ssize_t(sizeof(inotify_event) + event.len);
            if (event.len == 0 || at > got) continue;
            for (const auto& [wd, folder] : folders_) {
                if (wd != event.wd) continue;
                std::string path = folder + "/" + std::string(name, ::strnlen(name, event.len));
                if (std::find(names.begin(), names.end(), path) == names.end())
                    names.push_back(std::move(path));
            }
        }
    }
    return names;
}

}  // namespace platform
