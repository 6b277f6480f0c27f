#include "tools/workbench/play_clock.h"

#include <gtest/gtest.h>

using namespace tools;

TEST(WallClock, EachLookTakesTheTimeSinceTheLast) {
    WallClock c{100};
    EXPECT_DOUBLE_EQ(TakeElapsedMs(c, 116), 16);
    EXPECT_DOUBLE_EQ(TakeElapsedMs(c, 120), 4);
    EXPECT_DOUBLE_EQ(TakeElapsedMs(c, 120), 0);
}

TEST(FrameTimes, KeepsTheLatestIntervalsAndTheirRate) {
    FrameTimes f{{}, 0};
    EXPECT_EQ(FramesPerSecond(f), 0);
    for (int i = 1; i <= 200; ++i) NotePresent(f, 20.0 * i);
    EXPECT_EQ(f.ms.size(), kFrameTimesKept);
    EXPECT_FLOAT_EQ(f.ms.front(), 20);
    EXPECT_NEAR(FramesPerSecond(f), 50, 1e-9);
    NotePresent(f, 4000 + 100);
    EXPECT_FLOAT_EQ(f.ms.back(), 100);
}
