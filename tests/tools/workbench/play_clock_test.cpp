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

TEST(PlayClock, ThePlayheadSlipsWhenFramesCannotKeepUp) {
    Transport t;
    t.fps = 1000;
    t.speed = 16;
    bool wrapped = false;
    // A second of wall clock at 16x: 16,000 frames due, one runs.
    EXPECT_EQ(Advance(t, 1000, wrapped), 16000);
    t.frame += 1;
    SlipBehind(t);
    EXPECT_DOUBLE_EQ(t.clockMs, t.TimeMs() + kMostLagMs);
    // Every frame still runs: the next one due is the next of the grid, not a jump.
    EXPECT_LE(Advance(t, 0, wrapped) - t.frame, int64_t(kMostLagMs));
    // Keeping up, nothing slips.
    Transport u;
    Advance(u, 10, wrapped);
    const double clock = u.clockMs;
    SlipBehind(u);
    EXPECT_DOUBLE_EQ(u.clockMs, clock);
}

TEST(PlayClock, ARunsOwnTimeIsNoPlayingTime) {
    // A seek to 2 s that took 700 ms of wall clock: playing goes on from 2 s, frame by frame.
    Transport t;
    t.frame = FrameAtOrBefore(2000, t.fps);
    WallClock c{1000};
    RestartAfterRun(c, t, 1700);
    bool wrapped = false;
    EXPECT_EQ(Advance(t, TakeElapsedMs(c, 1717), wrapped), t.frame + 1);
    // A loop shorter than a seek still plays: after the wrap's run it does not wrap at once.
    Transport loop;
    loop.loopA = 60;
    loop.loopB = 66;  // 1000 to 1100 ms
    loop.frame = 60;
    RestartAfterRun(c, loop, 5000);
    EXPECT_EQ(Advance(loop, TakeElapsedMs(c, 5017), wrapped), 61);
    EXPECT_FALSE(wrapped);
}
