#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/paths.h"

namespace fs = std::filesystem;

class PathsTest : public ::testing::Test {
protected:
    fs::path root = fs::temp_directory_path() / ("qv_paths_" + std::to_string(::getpid()));
    void SetUp() override {
        fs::create_directories(root / "Data" / "Sub");
        std::ofstream(root / "Data" / "Rock.JPG") << "x";
        std::ofstream(root / "Data" / "Sub" / "m.obj") << "x";
        platform::SetContentRoot(root.string());
    }
    void TearDown() override {
        fs::remove_all(root);
        platform::SetContentRoot(".");
    }
};

TEST_F(PathsTest, TranslatesBackslashesAndMatchesComponentsIgnoringCase) {
    EXPECT_EQ(platform::ResolvePath("data\\rock.jpg"), (root / "Data" / "Rock.JPG").string());
    EXPECT_EQ(platform::ResolvePath("DATA\\SUB\\M.OBJ"), (root / "Data" / "Sub" / "m.obj").string());
    EXPECT_EQ(platform::ResolvePath("Data\\Rock.JPG"), root.string() + "/Data/Rock.JPG");
}

TEST_F(PathsTest, MissingFilesKeepTheirTranslatedName) {
    EXPECT_EQ(platform::ResolvePath("data\\none.bmp"), root.string() + "/data/none.bmp");
    EXPECT_EQ(platform::ResolvePath(""), root.string() + "/");
}
