// Copies of the running qv with other arguments (the segments of a video export): started with
// extra environment entries and their stderr in a file, then looked after until they end.
#pragma once
#include <string>
#include <vector>

namespace platform {

struct ChildProcess {
    int pid = -1;
};

// Starts this program with args (after the program name) and the environment plus env
// ("NAME=VALUE" entries, which win over the inherited ones); its stderr goes to stderrPath.
// False with the reason.
bool StartSelf(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::string& stderrPath, ChildProcess& child, std::string& error);

// Whether the child has ended, without waiting; then status is its exit status, or 128 + the
// signal that ended it (-1 when it cannot be told).
bool ChildEnded(ChildProcess& child, int& status);

// Asks the child to stop as Ctrl-C does (SIGINT).
void InterruptChild(const ChildProcess& child);

}  // namespace platform
