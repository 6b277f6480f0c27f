// Test helper: runs the built `qv` (path from the build, QV_BINARY) and captures its
// standard output, standard error and exit status; writes demo files into a fresh temporary
// folder.
#pragma once
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>
#include <string>

#include "demo/demo_file.h"
#include "tests/support/script_builder.h"

namespace testing_qv {

struct QvResult {
    std::string out;
    std::string err;
    int status = -1;
};

inline std::string FreshFolder() {
    char pattern[] = "/tmp/qv_test_XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? dir : "/tmp";
}

// arguments are passed to the shell as written; keep them free of quotes.
inline QvResult RunQv(const std::string& arguments) {
    QvResult r;
    const std::string errPath = FreshFolder() + "/stderr";
    std::string command = std::string(QV_BINARY) + " " + arguments + " 2>" + errPath;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
    int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream errFile(errPath, std::ios::binary);
    r.err.assign(std::istreambuf_iterator<char>(errFile), std::istreambuf_iterator<char>());
    return r;
}

// Writes the demo into a fresh folder as `name` and returns its path.
inline std::string WriteDemo(const demo::DemoFile& demo, const std::string& name = "demo.acs") {
    std::string path = FreshFolder() + "/" + name;
    std::ofstream(path, std::ios::binary) << demo::WriteDemoFile(demo);
    return path;
}

using testing_scripts::DemoWith;

}  // namespace testing_qv
