#include "tools/workbench/workbench.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tools;

namespace {

std::string Parse(std::vector<std::string> args, PlayOptions& o) {
    std::vector<char*> argv;
    argv.reserve(args.size());
    for (std::string& a : args) argv.push_back(a.data());
    return ParsePlayOptions(int(argv.size()), argv.data(), o);
}

}  // namespace

TEST(PlayOptions, DefaultsAndEveryOption) {
    PlayOptions o;
    EXPECT_EQ(Parse({"demo.qvs"}, o), "");
    EXPECT_EQ(o.path, "demo.qvs");
    EXPECT_EQ(o.width, 800);
    EXPECT_EQ(o.height, 600);
    EXPECT_EQ(o.fps, 60);
    EXPECT_TRUE(o.audio);
    EXPECT_FALSE(o.paused);
    EXPECT_LT(o.loopA, 0);

    PlayOptions p;
    EXPECT_EQ(Parse({"--start", "1500", "--paused", "d.acs", "--size", "320x200", "--fullscreen",
                     "--fps", "30", "--no-audio", "--loop", "1000:2000", "--speed", "0.5"},
                    p),
              "");
    EXPECT_EQ(p.path, "d.acs");
    EXPECT_EQ(p.startMs, 1500);
    EXPECT_TRUE(p.paused);
    EXPECT_EQ(p.width, 320);
    EXPECT_EQ(p.height, 200);
    EXPECT_TRUE(p.fullscreen);
    EXPECT_EQ(p.fps, 30);
    EXPECT_FALSE(p.audio);
    EXPECT_EQ(p.loopA, 1000);
    EXPECT_EQ(p.loopB, 2000);
    EXPECT_DOUBLE_EQ(p.speed, 0.5);
}

TEST(PlayOptions, BadValuesAreRefusedWithTheOptionNamed) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"a.qvs", "b.qvs"},
        {"a.qvs", "--start"},
        {"a.qvs", "--start", "-5"},
        {"a.qvs", "--size", "0x10"},
        {"a.qvs", "--size", "9000x10"},
        {"a.qvs", "--fps", "0"},
        {"a.qvs", "--loop", "2000:1000"},
        {"a.qvs", "--loop", "5"},
        {"a.qvs", "--speed", "0"},
        {"a.qvs", "--speed", "100"},
        {"a.qvs", "--speed", "fast"},
        {"a.qvs", "--bogus"},
    };
    for (const auto& args : bad) {
        PlayOptions o;
        EXPECT_NE(Parse(args, o), "") << (args.empty() ? "" : args.back());
    }
}

TEST(PlayOptions, TheSyncTrackerAndItsAddress) {
    PlayOptions o;
    EXPECT_EQ(Parse({"d.qvs", "--rocket"}, o), "");
    EXPECT_TRUE(o.rocket);
    EXPECT_EQ(o.rocketHost, "localhost");
    EXPECT_EQ(o.rocketPort, 1338);
    EXPECT_FALSE(o.bpm);

    PlayOptions p;
    EXPECT_EQ(
        Parse({"--rocket", "10.0.0.2:4000", "d.qvs", "--bpm", "125.5", "--rows-per-beat", "4"}, p),
        "");
    EXPECT_EQ(p.path, "d.qvs");
    EXPECT_EQ(p.rocketHost, "10.0.0.2");
    EXPECT_EQ(p.rocketPort, 4000);
    EXPECT_EQ(p.bpm, 125.5);
    EXPECT_EQ(p.rowsPerBeat, 4);

    PlayOptions q;  // the word after --rocket is the demo, not an address
    EXPECT_EQ(Parse({"--rocket", "d.qvs", "--paused"}, q), "");
    EXPECT_EQ(q.path, "d.qvs");
    EXPECT_EQ(q.rocketPort, 1338);

    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"d.qvs", "--rocket", "host:0"},
                                               {"d.qvs", "--rocket", "host:70000"},
                                               {"d.qvs", "--rocket", ":80"},
                                               {"d.qvs", "--bpm", "0"},
                                               {"d.qvs", "--rows-per-beat", "0"}}) {
        PlayOptions r;
        EXPECT_NE(Parse(bad, r), "") << bad.back();
    }
}

TEST(PlayOptions, SourcesAreTheQvsFiles) {
    EXPECT_TRUE(IsSourcePath("x/demo.qvs"));
    EXPECT_TRUE(IsSourcePath("DEMO.QVS"));
    EXPECT_FALSE(IsSourcePath("demo.acs"));
    EXPECT_FALSE(IsSourcePath("qvs"));
}

TEST(PlayKeys, TheTransportKeys) {
    EXPECT_EQ(ActionForKey(32, false), Action::TogglePause);
    EXPECT_EQ(ActionForKey(37, false), Action::Back1s);
    EXPECT_EQ(ActionForKey(37, true), Action::Back10s);
    EXPECT_EQ(ActionForKey(39, false), Action::Ahead1s);
    EXPECT_EQ(ActionForKey(39, true), Action::Ahead10s);
    EXPECT_EQ(ActionForKey(36, false), Action::Home);
    EXPECT_EQ(ActionForKey(kKeyComma, false), Action::StepBack);
    EXPECT_EQ(ActionForKey(kKeyPeriod, false), Action::StepAhead);
    EXPECT_EQ(ActionForKey(kKeyBracketOpen, false), Action::LoopStart);
    EXPECT_EQ(ActionForKey(kKeyBracketClose, false), Action::LoopEnd);
    EXPECT_EQ(ActionForKey(kKeyBackslash, false), Action::LoopClear);
    EXPECT_EQ(ActionForKey(kKeyMinus, false), Action::Slower);
    EXPECT_EQ(ActionForKey(kKeyEquals, false), Action::Faster);
    EXPECT_EQ(ActionForKey(123, false), Action::Shot);
    EXPECT_EQ(ActionForKey(9, false), Action::ToggleOverlay);
    EXPECT_EQ(ActionForKey(27, false), Action::Quit);
    EXPECT_EQ(ActionForKey('A', false), Action::None);
    EXPECT_EQ(ActionForKey(112, false), Action::None);  // F1 is the player's, not ours
}

TEST(FrameGrid, TimesAreTruncatedAndEveryTimeFindsItsFrame) {
    EXPECT_EQ(FrameTime(0, 60), 0);
    EXPECT_EQ(FrameTime(1, 60), 16);
    EXPECT_EQ(FrameTime(2, 60), 33);
    EXPECT_EQ(FrameTime(60, 60), 1000);
    for (int32_t fps : {1, 7, 24, 30, 60, 144, 1000})
        for (int64_t ms = 0; ms < 3000; ++ms) {
            const int64_t k = FrameAtOrBefore(ms, fps);
            ASSERT_LE(FrameTime(k, fps), ms) << fps << " " << ms;
            ASSERT_GT(FrameTime(k + 1, fps), ms) << fps << " " << ms;
            const int64_t after = FrameAtOrAfter(ms, fps);
            ASSERT_GE(FrameTime(after, fps), ms) << fps << " " << ms;
            if (after > 0) { ASSERT_LT(FrameTime(after - 1, fps), ms) << fps << " " << ms; }
        }
    EXPECT_EQ(FrameAtOrBefore(-50, 60), 0);
    EXPECT_EQ(FrameAtOrAfter(-50, 60), 0);
}

TEST(Transport, StartsOnTheGridAtOrBeforeTheStart) {
    PlayOptions o;
    o.startMs = 1010;
    o.loopA = 500;
    o.loopB = 1500;
    const Transport t = MakeTransport(o);
    EXPECT_EQ(t.frame, 60);
    EXPECT_EQ(t.TimeMs(), 1000);
    EXPECT_TRUE(t.Looping());
    EXPECT_EQ(t.loopA, 30);
    EXPECT_EQ(t.loopB, 90);
}

TEST(Transport, SeeksLandOnTheGridAndStopAtZero) {
    Transport t;
    t.frame = 150;  // 2500 ms
    EXPECT_EQ(Apply(t, Action::Back1s), Move::Seek);
    EXPECT_EQ(t.TimeMs(), 1500);
    EXPECT_EQ(Apply(t, Action::Ahead10s), Move::Seek);
    EXPECT_EQ(t.TimeMs(), 11500);
    EXPECT_EQ(Apply(t, Action::Back10s), Move::Seek);
    EXPECT_EQ(Apply(t, Action::Back10s), Move::Seek);
    EXPECT_EQ(t.frame, 0);
    t.frame = 200;
    EXPECT_EQ(Apply(t, Action::Home), Move::Seek);
    EXPECT_EQ(t.frame, 0);
    EXPECT_DOUBLE_EQ(t.clockMs, 0);
}

TEST(Transport, StepsOnlyWhilePausedAndStepBackIsASeek) {
    Transport t;
    t.frame = 10;
    EXPECT_EQ(Apply(t, Action::StepAhead), Move::None);
    EXPECT_EQ(Apply(t, Action::StepBack), Move::None);
    EXPECT_EQ(t.frame, 10);
    EXPECT_EQ(Apply(t, Action::TogglePause), Move::None);
    EXPECT_TRUE(t.paused);
    EXPECT_EQ(Apply(t, Action::StepAhead), Move::Step);
    EXPECT_EQ(t.frame, 11);
    EXPECT_EQ(Apply(t, Action::StepBack), Move::Seek);
    EXPECT_EQ(Apply(t, Action::StepBack), Move::Seek);
    EXPECT_EQ(t.frame, 9);
    t.frame = 0;
    EXPECT_EQ(Apply(t, Action::StepBack), Move::None);
}

TEST(Transport, PlayingAdvancesWithTheClockAndTheSpeed) {
    Transport t;
    bool wrapped = true;
    EXPECT_EQ(Advance(t, 10, wrapped), 0);
    EXPECT_FALSE(wrapped);
    EXPECT_EQ(Advance(t, 10, wrapped), 1);  // 20 ms: frame 1 (16 ms) is due
    t.frame = 1;
    EXPECT_EQ(Apply(t, Action::Faster), Move::None);
    EXPECT_DOUBLE_EQ(t.speed, 2);
    EXPECT_EQ(Advance(t, 50, wrapped), 7);  // 20 + 100 ms
    for (int i = 0; i < 10; ++i) Apply(t, Action::Slower);
    EXPECT_DOUBLE_EQ(t.speed, kMinSpeed);
    for (int i = 0; i < 20; ++i) Apply(t, Action::Faster);
    EXPECT_DOUBLE_EQ(t.speed, kMaxSpeed);
    t.paused = true;
    EXPECT_EQ(Advance(t, 1000, wrapped), t.frame);
}

TEST(Transport, ALoopWrapsToItsStartAndClearingItPlaysOn) {
    Transport t;
    t.frame = 30;
    t.clockMs = t.TimeMs();
    Apply(t, Action::LoopStart);
    t.frame = 60;
    t.clockMs = t.TimeMs();
    Apply(t, Action::LoopEnd);
    EXPECT_TRUE(t.Looping());
    bool wrapped = false;
    EXPECT_EQ(Advance(t, 20, wrapped), 30);
    EXPECT_TRUE(wrapped);
    EXPECT_EQ(t.frame, 30);
    EXPECT_EQ(Advance(t, 500, wrapped), 60);  // up to the end, not past it
    EXPECT_FALSE(wrapped);
    t.frame = 60;
    Apply(t, Action::LoopClear);
    EXPECT_FALSE(t.Looping());
    EXPECT_EQ(Advance(t, 100, wrapped), 66);
    EXPECT_FALSE(wrapped);
}

TEST(Transport, ALoopEndBeforeItsStartIsNoLoop) {
    Transport t;
    t.frame = 50;
    Apply(t, Action::LoopEnd);
    t.frame = 80;
    Apply(t, Action::LoopStart);
    EXPECT_FALSE(t.Looping());
}

TEST(Transport, ClockText) {
    EXPECT_EQ(FormatClock(0), "0:00.000");
    EXPECT_EQ(FormatClock(61234), "1:01.234");
    EXPECT_EQ(FormatClock(600000), "10:00.000");
}
