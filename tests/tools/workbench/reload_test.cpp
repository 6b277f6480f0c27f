#include "tools/workbench/reload.h"
#include "demo/opcodes.h"
#include "tools/workbench/reload_scope.h"

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

namespace {

demo::Script Code(std::vector<uint8_t> code) {
    demo::Script s;
    s.length = int32_t(code.size());
    s.code = std::move(code);
    return s;
}

// Scripts: 0 draws, 1 CALLs 2 (PUSHI 2 CALL), 2 is called, 3 CALLs what its stack says.
// Clips: track 0 runs 0 from 1000; track 1 runs 1 from 5000; track 2 runs 3 from 9000 and 0
// from 12000.
demo::DemoFile Before() {
    demo::DemoFile d;
    d.scripts = {Code({demo::QUIT}), Code({demo::PUSHI, 2, 0, 0, 0, demo::CALL}),
                 Code({demo::PUSHI, 1, 0, 0, 0}), Code({demo::LOADI, 0, demo::CALL})};
    d.clips = {{0, 1000, 500, 0}, {1, 5000, 500, 1}, {2, 9000, 500, 3}, {2, 12000, 500, 0}};
    d.intVarCount = 1;
    d.textureSources = {{3, "a.jpg"}};
    return d;
}

}  // namespace

TEST(ReloadScope, AnEditReachesBackToTheFirstClipItCanChange) {
    const demo::DemoFile before = Before();
    demo::DemoFile same = Before();
    tools::ReloadScope s = tools::CompareForReload(before, same);
    EXPECT_TRUE(s.sameContent);
    EXPECT_EQ(s.firstChangedMs, 2147483647) << "nothing changed";

    demo::DemoFile called = Before();
    called.scripts[2].code[1] = 9;  // the called script: its callers change, by index or not
    s = tools::CompareForReload(before, called);
    EXPECT_TRUE(s.sameContent);
    EXPECT_EQ(s.firstChangedMs, 5000) << "script 1 calls it; script 3 may";

    demo::DemoFile late = Before();
    late.scripts[3].code[1] = 1;  // only the computed caller, run from 9000
    EXPECT_EQ(tools::CompareForReload(before, late).firstChangedMs, 9000);

    demo::DemoFile moved = Before();
    moved.clips[3].start = 11000;  // a later clip of track 2 moves: from its track's first clip
    EXPECT_EQ(tools::CompareForReload(before, moved).firstChangedMs, 9000);

    demo::DemoFile added = Before();
    added.clips.push_back({7, 30000, 100, 0});
    EXPECT_EQ(tools::CompareForReload(before, added).firstChangedMs, 30000);
    EXPECT_EQ(tools::CompareForReload(added, before).firstChangedMs, 30000) << "and removed";

    demo::DemoFile retracked = Before();
    retracked.clips[1].track = 0;  // from track 1 to track 0: both tracks' first clips
    EXPECT_EQ(tools::CompareForReload(before, retracked).firstChangedMs, 1000);

    demo::DemoFile more = Before();
    more.scripts.push_back(Code({demo::QUIT}));  // a new script: the computed caller may call it
    EXPECT_EQ(tools::CompareForReload(before, more).firstChangedMs, 9000);

    for (auto edit : {+[](demo::DemoFile& d) { d.textureSources[0].bytes = "b.jpg"; },
                      +[](demo::DemoFile& d) { d.floatVarCount = 2; },
                      +[](demo::DemoFile& d) { d.pathStrings.push_back({}); },
                      +[](demo::DemoFile& d) { d.musicFile.bytes = "m.ogg"; }}) {
        demo::DemoFile content = Before();
        edit(content);
        EXPECT_FALSE(tools::CompareForReload(before, content).sameContent);
    }
}
