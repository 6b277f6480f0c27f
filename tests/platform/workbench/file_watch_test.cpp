#include "platform/workbench/file_watch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

bool Saw(const platform::FileChanges& changes, const fs::path& path) {
    for (const platform::FileChange& c : changes.files)
        if (c.path == path.string()) return true;
    return false;
}

class FileWatchTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = MakeTempFolder("file-watch");
        std::string error;
        ASSERT_TRUE(watch_.Start(folder_.string(), error)) << error;
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
    platform::FileWatch watch_;
};

TEST_F(FileWatchTest, ReportsFilesOfTheFolderAndItsDataFolderInAnyCase) {
    fs::create_directory(folder_ / "Data");
    watch_.TakeChanges();  // the new folder is watched from here on
    Write(folder_ / "demo.qvs", "title");
    Write(folder_ / "Data" / "wood.bmp", "BM");
    const platform::FileChanges changes = watch_.TakeChanges();
    EXPECT_TRUE(Saw(changes, folder_ / "demo.qvs"));
    EXPECT_TRUE(Saw(changes, folder_ / "Data" / "wood.bmp"));
    EXPECT_FALSE(changes.overflowed);
}

TEST_F(FileWatchTest, FollowsADataFolderMadeOrRemadeAfterTheStart) {
    fs::create_directory(folder_ / "data");
    EXPECT_TRUE(Saw(watch_.TakeChanges(), folder_ / "data"));  // the folder's arrival counts
    Write(folder_ / "data" / "a.tga", "x");
    EXPECT_TRUE(Saw(watch_.TakeChanges(), folder_ / "data" / "a.tga"));

    fs::remove_all(folder_ / "data");
    EXPECT_TRUE(Saw(watch_.TakeChanges(), folder_ / "data"));
    fs::create_directory(folder_ / "data");
    watch_.TakeChanges();
    Write(folder_ / "data" / "b.tga", "x");
    EXPECT_TRUE(Saw(watch_.TakeChanges(), folder_ / "data" / "b.tga"));
}

TEST_F(FileWatchTest, OtherSubfoldersAreNotWatched) {
    fs::create_directories(folder_ / "backup" / "data");
    watch_.TakeChanges();
    Write(folder_ / "backup" / "data" / "a.bmp", "x");
    EXPECT_TRUE(watch_.TakeChanges().files.empty());
}

TEST_F(FileWatchTest, AFileStillOpenForWritingIsNotSettled) {
    const fs::path path = folder_ / "demo.qvs";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "title", 5), 5);
    platform::FileChanges changes = watch_.TakeChanges();
    ASSERT_EQ(changes.files.size(), 1u);
    EXPECT_FALSE(changes.files[0].settled);  // half written: a reload now would see half

    ASSERT_EQ(::write(fd, " \"x\"\n", 5), 5);
    ::close(fd);
    changes = watch_.TakeChanges();
    ASSERT_EQ(changes.files.size(), 1u);
    EXPECT_TRUE(changes.files[0].settled);
}

TEST_F(FileWatchTest, AFileRenamedOverTheOldOneIsSettled) {
    Write(folder_ / "demo.qvs.tmp", "title");
    watch_.TakeChanges();
    fs::rename(folder_ / "demo.qvs.tmp", folder_ / "demo.qvs");
    const platform::FileChanges changes = watch_.TakeChanges();
    ASSERT_TRUE(Saw(changes, folder_ / "demo.qvs"));
    for (const platform::FileChange& c : changes.files) EXPECT_TRUE(c.settled) << c.path;
}

TEST_F(FileWatchTest, AnOverflowingQueueSaysSo) {
    int limit = 16384;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> limit;
    if (limit > 100000) GTEST_SKIP() << "the event queue holds " << limit << " events";
    const fs::path path = folder_ / "churn";
    for (int i = 0; i <= limit / 2 + 16; ++i) {  // two events a round: create, delete
        Write(path, "");
        fs::remove(path);
    }
    EXPECT_TRUE(watch_.TakeChanges().overflowed);
    Write(folder_ / "after", "x");  // and the watch goes on
    EXPECT_TRUE(Saw(watch_.TakeChanges(), folder_ / "after"));
}

TEST(DataFolderName, IsDataInAnyCaseOnly) {
    EXPECT_TRUE(platform::IsDataFolderName("data"));
    EXPECT_TRUE(platform::IsDataFolderName("DATA"));
    EXPECT_TRUE(platform::IsDataFolderName("DaTa"));
    EXPECT_FALSE(platform::IsDataFolderName("dat"));
    EXPECT_FALSE(platform::IsDataFolderName("datas"));
    EXPECT_FALSE(platform::IsDataFolderName("dA\x14\x01"));
}

}  // namespace
