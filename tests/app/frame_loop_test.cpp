#include <gtest/gtest.h>

#include "app/frame_loop.h"
#include "gl/gl_layer.h"

using namespace app;

TEST(FrameLoopKeys, F1JumpsOneSecondPerKeyDownAndF3UndoesAllJumps) {
    LoopState s;
    for (int press = 0; press < 3; ++press) {
        SetKey(s, kKeyF1, true);  // auto-repeat: more key-downs without a key-up
        HandleKeys(s);
        EXPECT_FALSE(s.keyDown[kKeyF1]);
    }
    EXPECT_EQ(s.timeOffset, 3000);
    EXPECT_EQ(DemoTime(s, 500), 3500);
    SetKey(s, kKeyF3, true);
    HandleKeys(s);
    EXPECT_EQ(s.timeOffset, 0);
    EXPECT_FALSE(s.keyDown[kKeyF3]);
}

TEST(FrameLoopKeys, FastModeRunsAtTwiceTheSpeedAndIgnoresF1UntilF3) {
    LoopState s;
    s.smoothedElapsed = 4000;
    SetKey(s, kKeyF2, true);
    HandleKeys(s);
    EXPECT_TRUE(s.fastMode);
    EXPECT_EQ(s.timeOffset, -4000);
    EXPECT_TRUE(s.keyDown[kKeyF2]);  // left set
    EXPECT_EQ(DemoTime(s, 4000), 4000);
    s.smoothedElapsed = 5000;  // one real second later: music 5000, demo 6000
    EXPECT_EQ(DemoTime(s, 5000), 6000);

    SetKey(s, kKeyF2, false);
    SetKey(s, kKeyF1, true);
    HandleKeys(s);
    EXPECT_EQ(s.timeOffset, -4000);
    EXPECT_TRUE(s.keyDown[kKeyF1]);  // not consumed in fast mode

    SetKey(s, kKeyF3, true);
    HandleKeys(s);
    EXPECT_FALSE(s.fastMode);
    EXPECT_EQ(DemoTime(s, 5000), 5000);
    HandleKeys(s);  // F3 took the whole frame; now the pending F1 acts
    EXPECT_EQ(s.timeOffset, 1000);
}

TEST(FrameLoopKeys, F3WinsOverF2InTheSameFrame) {
    LoopState s;
    SetKey(s, kKeyF2, true);
    SetKey(s, kKeyF3, true);
    HandleKeys(s);
    EXPECT_FALSE(s.fastMode);
    EXPECT_TRUE(s.keyDown[kKeyF2]);
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
    for (int frame = 0; frame < 40; ++frame)
        s.smoothedElapsed = SmoothElapsed(s.smoothedElapsed, 10000);
    EXPECT_EQ(s.smoothedElapsed, 9999);  // converges from below
}

TEST(FrameLoopTime, DemoTimeWrapsInsteadOfOverflowing) {
    LoopState s;
    s.timeOffset = 2147483000;
    EXPECT_EQ(DemoTime(s, 1000), int32_t(2147484000u));
}

TEST(FrameLoopCaption, TitleThenFramesOfTheLastSecond) {
    EXPECT_EQ(WindowCaption("my demo"), ">> my demo");
    EXPECT_EQ(FpsCaption("my demo", 61), ">> my demo   [61 FPS]");
    EXPECT_EQ(FpsCaption("", 0), ">>    [0 FPS]");
}

// --- the window messages, on the recorder

namespace {
platform::WindowEvent Message(platform::WindowEvent::Kind kind, int key = 0, int32_t w = 0,
                              int32_t h = 0) {
    platform::WindowEvent e;
    e.kind = kind;
    e.virtualKey = key;
    e.width = w;
    e.height = h;
    return e;
}
}  // namespace

TEST(FrameLoopMessages, EachCaptionShowsTheFramesOfItsOwnSecondOnly) {
    LoopState s;
    const auto timer = Message(platform::WindowEvent::CaptionTimer);
    s.frameCount = 61;
    MessageOutcome first = HandleWindowMessage(s, timer, "night");
    EXPECT_EQ(first.caption, ">> night   [61 FPS]");
    EXPECT_FALSE(first.endsLoop);
    EXPECT_EQ(s.frameCount, 0);
    s.frameCount += 3;  // three frames in the next second
    EXPECT_EQ(HandleWindowMessage(s, timer, "night").caption, ">> night   [3 FPS]");
    EXPECT_EQ(HandleWindowMessage(s, timer, "night").caption, ">> night   [0 FPS]");
}

TEST(FrameLoopMessages, ASizeChangeSetsViewportAndProjectionForTheNewSize) {
    LoopState s;
    std::string gl;
    gl::UseRecorder(&gl);
    EXPECT_TRUE(HandleWindowMessage(s, Message(platform::WindowEvent::Resized, 0, 1024, 512), "t")
                    .caption.empty());
    EXPECT_EQ(gl,
              "glViewport(0, 0, 1024, 512)\n"
              "glMatrixMode(5889)\n"
              "glLoadIdentity()\n"
              "gluPerspective(45, 2, 1, 100)\n"
              "glMatrixMode(5888)\n"
              "glLoadIdentity()\n");
    gl.clear();
    HandleWindowMessage(s, Message(platform::WindowEvent::Resized, 0, 300, 0), "t");
    EXPECT_EQ(gl.substr(0, gl.find('\n')), "glViewport(0, 0, 300, 1)");
}

TEST(FrameLoopMessages, KeysSetTheTableCloseEndsTheLoopAndNoneOfThemDraws) {
    LoopState s;
    std::string gl;
    gl::UseRecorder(&gl);
    s.frameCount = 5;
    EXPECT_FALSE(
        HandleWindowMessage(s, Message(platform::WindowEvent::KeyDown, kKeyF1), "t").endsLoop);
    EXPECT_TRUE(s.keyDown[kKeyF1]);
    HandleWindowMessage(s, Message(platform::WindowEvent::KeyUp, kKeyF1), "t");
    EXPECT_FALSE(s.keyDown[kKeyF1]);
    MessageOutcome other = HandleWindowMessage(s, Message(platform::WindowEvent::Other), "t");
    EXPECT_FALSE(other.endsLoop);
    EXPECT_TRUE(other.caption.empty());
    MessageOutcome closed = HandleWindowMessage(s, Message(platform::WindowEvent::Quit), "t");
    EXPECT_TRUE(closed.endsLoop);
    EXPECT_TRUE(closed.caption.empty());
    EXPECT_EQ(s.frameCount, 5) << "only the caption timer restarts the count";
    EXPECT_EQ(gl, "");
}
