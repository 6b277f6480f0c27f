#include <gtest/gtest.h>

#include "app/frame_loop.h"

using namespace app;

TEST(FrameLoopKeys, F1JumpsOneSecondPerKeyDownAndF3UndoesAllJumps) {
    LoopState s;
    for (int press = 0; press < 3; ++press) {
        SetKey(s, kKeyF1, true);  // auto-repeat: more key-downs without a key-up
        HandleKeys(s);
        EXPECT_FALSE(s.KeyDown[kKeyF1]);
    }
    EXPECT_EQ(s.TimeOffset, 3000);
    EXPECT_EQ(DemoTime(s, 500), 3500);
    SetKey(s, kKeyF3, true);
    HandleKeys(s);
    EXPECT_EQ(s.TimeOffset, 0);
    EXPECT_FALSE(s.KeyDown[kKeyF3]);
}

TEST(FrameLoopKeys, FastModeRunsAtTwiceTheSpeedAndIgnoresF1UntilF3) {
    LoopState s;
    s.SmoothedElapsed = 4000;
    SetKey(s, kKeyF2, true);
    HandleKeys(s);
    EXPECT_TRUE(s.FastMode);
    EXPECT_EQ(s.TimeOffset, -4000);
    EXPECT_TRUE(s.KeyDown[kKeyF2]);  // left set
    EXPECT_EQ(DemoTime(s, 4000), 4000);
    s.SmoothedElapsed = 5000;  // one real second later: music 5000, demo 6000
    EXPECT_EQ(DemoTime(s, 5000), 6000);

    SetKey(s, kKeyF2, false);
    SetKey(s, kKeyF1, true);
    HandleKeys(s);
    EXPECT_EQ(s.TimeOffset, -4000);
    EXPECT_TRUE(s.KeyDown[kKeyF1]);  // not consumed in fast mode

    SetKey(s, kKeyF3, true);
    HandleKeys(s);
    EXPECT_FALSE(s.FastMode);
    EXPECT_EQ(DemoTime(s, 5000), 5000);
    HandleKeys(s);  // F3 took the whole frame; now the pending F1 acts
    EXPECT_EQ(s.TimeOffset, 1000);
}

TEST(FrameLoopKeys, F3WinsOverF2InTheSameFrame) {
    LoopState s;
    SetKey(s, kKeyF2, true);
    SetKey(s, kKeyF3, true);
    HandleKeys(s);
    EXPECT_FALSE(s.FastMode);
    EXPECT_TRUE(s.KeyDown[kKeyF2]);
}

TEST(FrameLoopKeys, EscapeOrQuitFlagEndTheLoopAndKeyCodesOutsideTheTableAreIgnored) {
    LoopState s;
    EXPECT_FALSE(LoopEnds(s, false));
    EXPECT_TRUE(LoopEnds(s, true));
    SetKey(s, kKeyEscape, true);
    EXPECT_TRUE(LoopEnds(s, false));
    SetKey(s, kKeyEscape, false);
    SetKey(s, -1, true);
    SetKey(s, 256, true);
    EXPECT_FALSE(LoopEnds(s, false));
}

TEST(FrameLoopTime, SmoothedElapsedIsTheTruncatedMeanInWrappingInt32) {
    EXPECT_EQ(SmoothElapsed(0, 17), 8);
    EXPECT_EQ(SmoothElapsed(8, 33), 20);
    EXPECT_EQ(SmoothElapsed(-3, 0), -1);  // toward zero, not down
    // Past 2^31 ms of run time the sum wraps negative, as in 32-bit arithmetic.
    EXPECT_EQ(SmoothElapsed(2147483647, 1), -1073741824);
    LoopState s;
    for (int frame = 0; frame < 40; ++frame) s.SmoothedElapsed = SmoothElapsed(s.SmoothedElapsed, 10000);
    EXPECT_EQ(s.SmoothedElapsed, 9999);  // converges from below
}

TEST(FrameLoopTime, DemoTimeWrapsInsteadOfOverflowing) {
    LoopState s;
    s.TimeOffset = 2147483000;
    EXPECT_EQ(DemoTime(s, 1000), int32_t(2147484000u));
}

TEST(FrameLoopCaption, TitleThenFramesOfTheLastSecond) {
    EXPECT_EQ(WindowCaption("my demo"), ">> my demo");
    EXPECT_EQ(FpsCaption("my demo", 61), ">> my demo   [61 FPS]");
    EXPECT_EQ(FpsCaption("", 0), ">>    [0 FPS]");
}
