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
    EXPECT_EQ(platform::ResolvePath("DATA\\SUB\\M.OBJ"),
              (root / "Data" / "Sub" / "m.obj").string());
    EXPECT_EQ(platform::ResolvePath("Data\\Rock.JPG"), root.string() + "/Data/Rock.JPG");
}

TEST_F(PathsTest, MissingFilesKeepTheirTranslatedName) {
    EXPECT_EQ(platform::ResolvePath("data\\none.bmp"), root.string() + "/data/none.bmp");
    EXPECT_EQ(platform::ResolvePath(""), root.string() + "/");
}

// Names in the demo file are Windows-1252 bytes; the disk names files in UTF-8.
TEST_F(PathsTest, WindowsNamesFindTheirUtf8FilesWhateverTheLetterCase) {
    std::ofstream(root / "Data" / "b\xC3\xA4r.bmp") << "x";             // bär.bmp
    std::ofstream(root / "m\xC3\xBCsic.flac") << "x";                   // müsic.flac
    std::ofstream(root / "Data" / "\xC5\x93uvre \xC5\xA1.obj") << "x";  // œuvre š.obj
    const std::string bar = (root / "Data" / "b\xC3\xA4r.bmp").string();
    EXPECT_EQ(platform::ResolvePath("Data\\b\xE4r.bmp"), bar);
    EXPECT_EQ(platform::ResolvePath("data\\b\xE4r.bmp"), bar);
    EXPECT_EQ(platform::ResolvePath("DATA\\B\xC4R.BMP"), bar);
    EXPECT_EQ(platform::ResolvePath("M\xDCSIC.flac"), (root / "m\xC3\xBCsic.flac").string());
    EXPECT_EQ(platform::ResolvePath("data\\\x8CUVRE \x8A.OBJ"),
              (root / "Data" / "\xC5\x93uvre \xC5\xA1.obj").string());
    // Sharp s has no capital of its own in the page: it matches itself only.
    std::ofstream(root / "Data" /
                  "stra\xC3\x9F"
                  "e.bmp")
        << "x";
    EXPECT_EQ(platform::ResolvePath("DATA\\STRA\xDF"
                                    "E.BMP"),
              (root / "Data" /
               "stra\xC3\x9F"
               "e.bmp")
                  .string());
    EXPECT_EQ(platform::ResolvePath("data\\STRASSE.BMP"), root.string() + "/data/STRASSE.BMP");
}

TEST_F(PathsTest, ARawWindowsNameOnDiskIsFoundToo) {
    std::ofstream(root / "Data" / "b\xE4r.bmp") << "x";  // as an unpacked archive may leave it
    EXPECT_EQ(platform::ResolvePath("Data\\b\xE4r.bmp"), (root / "Data" / "b\xE4r.bmp").string());
    EXPECT_EQ(platform::ResolvePath("data\\B\xC4R.bmp"), (root / "Data" / "b\xE4r.bmp").string());
    EXPECT_EQ(platform::DisplayPath(root.string() + "/Data/b\xE4r.bmp"),
              root.string() + "/Data/b\xC3\xA4r.bmp");
}

TEST_F(PathsTest, AMissingWindowsNameComesBackInUtf8) {
    EXPECT_EQ(platform::ResolvePath("data\\n\xF6ne.bmp"), root.string() + "/data/n\xC3\xB6ne.bmp");
    EXPECT_EQ(platform::DisplayPath("/a/n\xC3\xB6ne.bmp"), "/a/n\xC3\xB6ne.bmp");
}
