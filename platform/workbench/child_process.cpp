#include "platform/workbench/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace platform {
namespace {

// The inherited environment without the names env sets, then env.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& env) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view inherited = *entry;
        const std::string_view name = inherited.substr(0, inherited.find('='));
        bool replaced = false;
        for (const std::string& e : env)
            replaced = replaced || (e.size() > name.size() &&
                                    e.compare(0, name.size(), name) == 0 && e[name.size()] == '=');
        if (!replaced) merged.emplace_back(inherited);
    }
    merged.insert(merged.end(), env.begin(), env.end());
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// waitpid without waiting; true once the child is gone (status as ChildEnded's).
bool Reap(ChildProcess& child, int& status) {
    int raw = 0;
    pid_t waited;
    do waited = waitpid(child.pid, &raw, WNOHANG);
    while (waited < 0 && errno == EINTR);
    if (waited == 0) return false;
    child.pid = -1;
    status = waited < 0         ? -1
             : WIFEXITED(raw)   ? WEXITSTATUS(raw)
             : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw)
                                : -1;
    return true;
}

}  // namespace

bool StartSelf(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::string& stderrPath, ChildProcess& child, std::string& error) {
    std::error_code ec;
    std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec) {
        error = "cannot find this program's file: " + ec.message();
        return false;
    }
    std::vector<std::string> argv{self};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = MergedEnvironment(env);
    std::vector<char*> argPointers = Pointers(argv), envPointers = Pointers(envp);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, self.c_str(), &actions, nullptr, argPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        error = std::string("cannot start '") + self + "': " + std::strerror(spawned);
        return false;
    }
    child.pid = pid;
    return true;
}

bool ChildEnded(ChildProcess& child, int& status) {
    status = -1;
    return child.pid < 0 || Reap(child, status);
}

void InterruptChild(const ChildProcess& child) {
    if (child.pid > 0) kill(child.pid, SIGINT);
}

}  // namespace platform
