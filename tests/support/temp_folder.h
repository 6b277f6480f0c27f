// A fresh folder of this process's own under the test temp directory, so that parallel runs
// from several build folders never meet.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <direct.h>
#include <process.h>

#include <cerrno>

// The C runtime of Windows has no mkdtemp: a name from the process id and a counter, taken
// when no other folder has it (empty when the folder cannot be made at all).
inline std::filesystem::path MakeTempFolder(const std::string& prefix) {
    static unsigned counter = 0;
    for (;;) {
        std::string folder = testing::TempDir() + prefix + "-" + std::to_string(_getpid()) + "-" +
                             std::to_string(counter++);
        if (_mkdir(folder.c_str()) == 0) return std::filesystem::path(folder);
        if (errno != EEXIST) return {};
    }
}
#else
inline std::filesystem::path MakeTempFolder(const std::string& prefix) {
    std::string pattern = testing::TempDir() + prefix + "-XXXXXX";
    return std::filesystem::path(mkdtemp(pattern.data()));
}
#endif
