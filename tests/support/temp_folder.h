// A fresh folder of this process's own under the test temp directory, so that parallel runs
// from several build folders never meet.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

inline std::filesystem::path MakeTempFolder(const std::string& prefix) {
    std::string pattern = testing::TempDir() + prefix + "-XXXXXX";
    return std::filesystem::path(mkdtemp(pattern.data()));
}
