// Demo-file names on Windows: ANSI bytes handed to the file functions as they are. The files
// are made with the ANSI functions too, so that a name is the same bytes on both sides.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/file_io.h"
#include "platform/paths.h"

namespace {

std::string MakeFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "qv_paths_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\Data").c_str(), nullptr);
    return folder;
}

void WriteFileA(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadBack(const std::string& path) {
    std::string text;
    EXPECT_TRUE(core::ReadWholeFile(path, text)) << path;
    return text;
}

class PathsTest : public ::testing::Test {
protected:
    std::string root = MakeFolder();
    std::vector<std::string> files;
    void SetUp() override { platform::SetContentRoot(root); }
    void Make(const std::string& relative, const std::string& text) {
        files.push_back(root + "\\" + relative);
        WriteFileA(files.back(), text);
    }
    void TearDown() override {
        for (const std::string& f : files) DeleteFileA(f.c_str());
        RemoveDirectoryA((root + "\\Data").c_str());
        RemoveDirectoryA(root.c_str());
        platform::SetContentRoot(".");
    }
};

// "b\xE4r" is "bär" in Windows-1252: the bytes reach the file system unchanged, and the
// message shows them unchanged.
TEST_F(PathsTest, AnsiNamesOpenAsTheyAreWrittenWhateverTheLetterCase) {
    Make("Data\\b\xE4r.bmp", "bear");
    EXPECT_EQ(platform::ResolvePath("data\\b\xE4r.bmp"), root + "\\data\\b\xE4r.bmp");
    EXPECT_EQ(ReadBack(platform::ResolvePath("data\\b\xE4r.bmp")), "bear");
    EXPECT_EQ(ReadBack(platform::ResolvePath("DATA\\B\xC4R.BMP")), "bear");
    EXPECT_EQ(platform::DisplayPath(root + "\\b\xE4r.bmp"), root + "\\b\xE4r.bmp");
}

TEST_F(PathsTest, ForwardSlashesAndAbsoluteNamesPassUnchanged) {
    Make("Data\\m.obj", "obj");
    EXPECT_EQ(ReadBack(platform::ResolvePath("Data/m.obj")), "obj");
    const std::string absolute = root + "\\Data\\m.obj";
    EXPECT_EQ(platform::ResolvePath(absolute), absolute);
    EXPECT_EQ(platform::ResolvePath(""), "");
}

TEST_F(PathsTest, ThePlayersOwnRootIsTheWorkingDirectory) {
    platform::SetContentRoot(".");
    EXPECT_EQ(platform::ResolvePath("data\\rock.jpg"), "data\\rock.jpg");
    platform::SetContentRootBeside(root + "\\demo.acs");
    EXPECT_EQ(platform::ResolvePath("rock.jpg"), root + "\\rock.jpg");
}

}  // namespace
