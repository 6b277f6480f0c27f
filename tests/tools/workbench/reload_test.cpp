#include "tools/workbench/reload.h"

#include <gtest/gtest.h>

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
