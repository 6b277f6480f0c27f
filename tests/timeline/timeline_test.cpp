#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gl/gl_layer.h"
#include "platform/message_box.h"
#include "scripter/scripter.h"
#include "tests/support/script_builder.h"
#include "timeline/timeline.h"

using namespace testing_scripts;
using demo::BEGIN;

namespace {

void IgnoreMessage(const std::string&, const std::string&) {}

// Script i draws glBegin(i), so the recorded frame names the scripts that ran, in order.
std::vector<demo::Script> NumberedScripts(int n) {
    std::vector<demo::Script> scripts;
    scripts.reserve(n);
    for (int i = 0; i < n; ++i) scripts.push_back(Code({PushI(i), Do(BEGIN)}));
    return scripts;
}

class Timeline : public ::testing::Test {
protected:
    std::string gl;
    std::vector<demo::Script> scripts = NumberedScripts(8);
    std::vector<demo::Clip> clips;

    void SetUp() override {
        scripter::ResetScriptEngine();
        platform::SetMessageSink(IgnoreMessage);
        gl::UseRecorder(&gl);
    }
    void TearDown() override { platform::SetMessageSink(nullptr); }

    void Start(std::vector<demo::Clip> c) {
        clips = std::move(c);
        scripter::LoadScriptEngine(scripts, 0, 0);
        timeline::LoadTimeline(clips, scripts);
        timeline::ResetTimeline();
    }
    // The calls of one frame at time t.
    std::string Frame(int32_t t) {
        gl.clear();
        timeline::RunTimeline(t);
        return gl;
    }
};

std::string Ran(std::initializer_list<int> scriptNumbers) {
    std::string s;
    for (int n : scriptNumbers) s += "glBegin(" + std::to_string(n) + ")\n";
    return s;
}

TEST_F(Timeline, EmptyClipTableMarksEveryTrackWithoutClipsAndRunsNothing) {
    Start({});
    for (int k = 0; k < demo::kTrackCount; ++k)
        EXPECT_EQ(timeline::CurrentClip(k), timeline::kNotSelected);
    EXPECT_EQ(Frame(0), "");
    for (int k = 0; k < demo::kTrackCount; ++k)
        EXPECT_EQ(timeline::CurrentClip(k), timeline::kNoClip);
    EXPECT_EQ(Frame(100), "");
}

TEST_F(Timeline, BothEndsOfAClipAreCoveredWithLocalTimeAndProgress) {
    scripts[0] =
        Code({Do(demo::LOCALTIME), Do(demo::ENABLE), Do(demo::PROGRESS), Do(demo::LINEWIDTH)});
    Start({MakeClip(0, 1000, 1000, 0)});
    EXPECT_EQ(Frame(0), "");  // the first frame only selects
    EXPECT_EQ(Frame(999), "");
    EXPECT_EQ(Frame(1000), "glEnable(0)\nglLineWidth(0)\n");
    EXPECT_EQ(Frame(1250), "glEnable(250)\nglLineWidth(0.25)\n");
    EXPECT_EQ(Frame(2000), "glEnable(1000)\nglLineWidth(1)\n");
    EXPECT_EQ(Frame(2001), "");
}

TEST_F(Timeline, TheRunningClipKeepsRunningUntilItEnds) {
    Start({MakeClip(0, 0, 5000, 1), MakeClip(0, 3000, 5000, 2)});  // A 0..5000, B 3000..8000
    EXPECT_EQ(Frame(0), "");
    EXPECT_EQ(Frame(4000), Ran({1}));
    EXPECT_EQ(Frame(5000), Ran({1}));
    EXPECT_EQ(Frame(5001), Ran({2}));
    EXPECT_EQ(Frame(8000), Ran({2}));
    EXPECT_EQ(Frame(8001), "");
}

TEST_F(Timeline, AmongCoveringClipsTheHighestIndexIsSelected) {
    Start({MakeClip(0, 0, 5000, 1), MakeClip(0, 3000, 5000, 2)});
    EXPECT_EQ(Frame(4000), "");
    EXPECT_EQ(timeline::CurrentClip(0), 1);
    EXPECT_EQ(Frame(4500), Ran({2}));
    EXPECT_EQ(Frame(5000), Ran({2}));
}

TEST_F(Timeline, BeforeAnyClipEndsTheEarliestEndingClipIsWaitedFor) {
    Start({MakeClip(3, 1000, 500, 3), MakeClip(3, 500, 2500, 4)});  // C 1000..1500, D 500..3000
    EXPECT_EQ(Frame(0), "");
    EXPECT_EQ(timeline::CurrentClip(3), 0);
    EXPECT_EQ(Frame(600), "");  // D covers, but the track waits for C
    EXPECT_EQ(Frame(1000), Ran({3}));
    EXPECT_EQ(Frame(1500), Ran({3}));
    EXPECT_EQ(Frame(1501), Ran({4}));
    EXPECT_EQ(Frame(3000), Ran({4}));
}

TEST_F(Timeline, AmongClipsEndingTogetherTheHighestIndexIsWaitedFor) {
    Start({MakeClip(0, 1000, 1000, 1), MakeClip(0, 1500, 500, 2)});  // 1000..2000, 1500..2000
    EXPECT_EQ(Frame(0), "");
    EXPECT_EQ(timeline::CurrentClip(0), 1);
    EXPECT_EQ(Frame(1000), "");  // clip 0 covers, but the track waits for clip 1
    EXPECT_EQ(Frame(1499), "");
    EXPECT_EQ(Frame(1500), Ran({2}));
    EXPECT_EQ(Frame(2000), Ran({2}));
}

TEST_F(Timeline, BetweenClipsTheEndedClipStaysCurrentAndSelectionRepeats) {
    Start({MakeClip(0, 0, 100, 1), MakeClip(0, 500, 100, 2)});
    Frame(0);
    EXPECT_EQ(Frame(50), Ran({1}));
    EXPECT_EQ(Frame(200), "");
    EXPECT_EQ(timeline::CurrentClip(0), 0);  // already ended: beats the clip still to come
    EXPECT_EQ(Frame(500), Ran({2}));
}

TEST_F(Timeline, TimeJumpsSkipClipsInBetween) {
    Start({MakeClip(0, 0, 100, 1), MakeClip(0, 200, 100, 2), MakeClip(0, 400, 100, 3)});
    Frame(0);
    EXPECT_EQ(Frame(450), Ran({3}));  // forward past clip 2: it never runs
    EXPECT_EQ(Frame(50), "");         // backwards: the track waits for clip 3's start
    EXPECT_EQ(Frame(250), "");
    EXPECT_EQ(Frame(400), Ran({3}));
}

TEST_F(Timeline, TracksRunInOrderEachAfterItsOwnTransformAndHighTracksNever) {
    scripts[5] = Code({Do(demo::CLIPXFORM)});
    demo::Clip first = MakeClip(0, 0, 100, 5);
    first.translateX = 1;
    first.rotateZ = 90;
    demo::Clip second = MakeClip(19, 0, 100, 5);
    second.translateY = 2;
    Start({second, MakeClip(25, 0, 100, 1), MakeClip(20, 0, 100, 1), first});
    Frame(0);
    EXPECT_EQ(Frame(10),
              "glTranslatef(1, 0, 0)\nglRotatef(0, 1, 0, 0)\nglRotatef(0, 0, 1, 0)\n"
              "glRotatef(90, 0, 0, 1)\n"
              "glTranslatef(0, 2, 0)\nglRotatef(0, 1, 0, 0)\nglRotatef(0, 0, 1, 0)\n"
              "glRotatef(0, 0, 0, 1)\n");
}

TEST_F(Timeline, ClipsNamingNoScriptAreSkipped) {
    Start({MakeClip(0, 0, 100, 8), MakeClip(1, 0, 100, -1), MakeClip(2, 0, 100, 2)});
    Frame(0);
    EXPECT_EQ(Frame(10), Ran({2}));
}

TEST_F(Timeline, ZeroLengthClipRunsOnceWithProgressZero) {
    scripts[0] = Code({Do(demo::PROGRESS), Do(demo::LINEWIDTH)});
    Start({MakeClip(0, 100, 0, 0)});
    Frame(0);
    EXPECT_EQ(Frame(100), "glLineWidth(0)\n");
    EXPECT_EQ(Frame(101), "");
}

TEST_F(Timeline, ClipEndsPastTheInt32RangeDoNotWrap) {
    Start({MakeClip(0, 1000, INT32_MAX, 1), MakeClip(1, INT32_MAX - 10, 100, 2)});
    Frame(0);
    EXPECT_EQ(Frame(2'000'000'000), Ran({1}));
    EXPECT_EQ(Frame(INT32_MAX), Ran({1, 2}));
}

TEST_F(Timeline, EachFrameResetsTheTargetPassDepth) {
    Start({});
    scripter::SetTargetPassDepth(3);
    Frame(0);
    EXPECT_EQ(scripter::TargetPassDepth(), 0);
}

TEST_F(Timeline, AFatalScriptErrorStopsTheRemainingTracks) {
    scripts[0] = Code({Do(demo::ADDI)});
    Start({MakeClip(0, 0, 100, 0), MakeClip(1, 0, 100, 1)});
    Frame(0);
    EXPECT_EQ(Frame(10), "");
    EXPECT_TRUE(scripter::FatalErrorRaised());
}

}  // namespace
