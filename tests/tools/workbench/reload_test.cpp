#include "tools/workbench/reload.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/temp_folder.h"

using namespace tools;

TEST(ReloadDebounce, WaitsUntilTheFilesHaveBeenQuiet) {
    ReloadDebounce d;
    EXPECT_FALSE(TakeDueReload(d, 1000));  // nothing changed
    NoteChange(d, 1000);
    EXPECT_FALSE(TakeDueReload(d, 1000 + kReloadQuietMs));
    NoteChange(d, 1020);  // a second write restarts the wait
    EXPECT_FALSE(TakeDueReload(d, 1000 + kReloadQuietMs + 1));
    EXPECT_TRUE(TakeDueReload(d, 1020 + kReloadQuietMs + 1));
    EXPECT_FALSE(TakeDueReload(d, 5000));  // once per change
}

TEST(ReloadDebounce, WaitsForAWriterToCloseItsFileUpToALimit) {
    ReloadDebounce d;
    NoteChange(d, 1000, "run/demo.qvs", false);  // half written, still open
    EXPECT_FALSE(TakeDueReload(d, 1000 + 10 * kReloadQuietMs));
    NoteChange(d, 1200, "run/demo.qvs", true);  // closed
    EXPECT_TRUE(TakeDueReload(d, 1200 + kReloadQuietMs + 1));

    NoteChange(d, 3000, "run/data/a.bmp", false);  // a writer that never closes
    EXPECT_FALSE(TakeDueReload(d, 3000 + kReloadOpenWriterMs));
    EXPECT_TRUE(TakeDueReload(d, 3000 + kReloadOpenWriterMs + 1));
}

// The filter on real paths: fs::equivalent needs the files to exist.
TEST(MattersForReload, TheSourceTheMusicAndTheDemosOwnDataFolderInAnyCase) {
    namespace fs = std::filesystem;
    const fs::path dir = MakeTempFolder("reload");
    for (const char* sub : {"Data", "backup/data"}) fs::create_directories(dir / sub);
    for (const char* file : {"demo.qvs", "tune.flac", "Data/wood.bmp", "Data/.wood.bmp.swp",
                             "Data/wood.bmp~", "backup/data/wood.bmp", "notes.txt"})
        std::ofstream(dir / file) << "x";
    const std::string demo = (dir / "demo.qvs").string();
    const auto matters = [&](const char* file, const std::string& music = {}) {
        return MattersForReload((dir / file).string(), demo, music);
    };
    EXPECT_TRUE(matters("demo.qvs"));
    EXPECT_TRUE(matters("tune.flac", (dir / "tune.flac").string()));
    EXPECT_TRUE(matters("Data/wood.bmp"));
    EXPECT_TRUE(matters("Data"));  // the data folder made or removed
    EXPECT_FALSE(matters("Data/.wood.bmp.swp"));
    EXPECT_FALSE(matters("Data/wood.bmp~"));
    EXPECT_FALSE(matters("backup/data/wood.bmp"));  // some other folder named data
    EXPECT_FALSE(matters("backup/data"));
    EXPECT_FALSE(matters("notes.txt"));
    fs::remove_all(dir);
}
