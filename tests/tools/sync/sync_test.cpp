// The sync tracks: the baked scripts against the tracker's evaluation, edits and the rows
// they reach, the files, the wire protocol and the bake's place in a demo.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "core/numeric.h"
#include "demo/demo_file.h"
#include "demo/opcodes.h"
#include "gl/gl_layer.h"
#include "scripter/scripter.h"
#include "tools/source/demo_source.h"
#include "tools/sync/bake.h"
#include "tools/sync/editor_protocol.h"
#include "tools/sync/rocket_protocol.h"
#include "tools/sync/track_files.h"

using namespace tools::sync;

namespace {

// The tracker's value of a track at a demo time, step by step in the script machine's float
// arithmetic (each operation in extended precision, rounded to a float): the value of the
// last key at or before the time's row, interpolated towards the next key; before the first
// key its value, after the last its value.
float Op(core::Extended a, char op, core::Extended b) {
    return float(op == '*' ? a * b : op == '+' ? a + b : a - b);
}

float TrackerValue(const Tracks& t, const Track& track, int32_t ms) {
    const int32_t row = RowAtMs(t, ms);
    int last = -1;
    for (size_t k = 0; k < track.keys.size(); ++k)
        if (track.keys[k].row <= row) last = int(k);
    if (last < 0) return track.keys.front().value;
    const Key& a = track.keys[size_t(last)];
    if (size_t(last) + 1 == track.keys.size() || a.interpolation == Interpolation::Step)
        return a.value;
    const Key& b = track.keys[size_t(last) + 1];
    const float rowNow = Op(float(ms), '*', float(RowsPerMs(t)));
    const float u = Op(Op(rowNow, '-', float(a.row)), '*', float(1.0 / (double(b.row) - a.row)));
    float eased = u;
    if (a.interpolation == Interpolation::Smooth)
        eased = Op(Op(u, '*', u), '*', Op(3.0f, '-', Op(u, '*', 2.0f)));
    if (a.interpolation == Interpolation::Ramp) eased = Op(u, '*', u);
    return Op(Op(Op(b.value, '-', a.value), '*', eased), '+', a.value);
}

Tracks RandomTracks(std::mt19937& rng, int trackCount, int maxKeys) {
    Tracks t = TracksForVariables(trackCount, {});
    t.bpm = std::uniform_real_distribution<double>(60, 200)(rng);
    t.rowsPerBeat = std::uniform_int_distribution<int>(1, 16)(rng);
    for (Track& track : t.tracks) {
        const int keys = std::uniform_int_distribution<int>(0, maxKeys)(rng);
        for (int k = 0; k < keys; ++k) {
            Key key;
            key.row = std::uniform_int_distribution<int>(0, 400)(rng);
            key.value = std::uniform_real_distribution<float>(-100, 100)(rng);
            key.interpolation = Interpolation(std::uniform_int_distribution<int>(0, 3)(rng));
            SetKey(track, key);
        }
    }
    return t;
}

// The times worth looking at: random ones, and both sides of every key's first millisecond.
std::vector<int32_t> TimesFor(std::mt19937& rng, const Tracks& t) {
    std::vector<int32_t> times = {0, 1};
    for (const Track& track : t.tracks)
        for (const Key& k : track.keys) {
            const int32_t ms = FirstMsOfRow(t, k.row);
            for (int32_t d : {-1, 0, 1})
                if (ms + d >= 0) times.push_back(ms + d);
        }
    for (int i = 0; i < 200; ++i)
        times.push_back(std::uniform_int_distribution<int32_t>(0, 400000)(rng));
    return times;
}

class Baked : public ::testing::Test {
protected:
    std::string gl;
    std::vector<demo::Script> table;
    void SetUp() override {
        scripter::ResetScriptEngine();
        gl::UseRecorder(&gl);
    }
    void Load(const Tracks& t) {
        table = BakeScripts(t, false, 0);
        scripter::LoadScriptEngine(table, 0, int32_t(t.tracks.size()));
    }
    void RunAt(int32_t ms) { scripter::RunScript(table[0], ms, ms, 0); }
};

TEST_F(Baked, EveryInterpolationEqualsTheTrackerToTheFloat) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 40; ++round) {
        const Tracks t = RandomTracks(rng, 4, 12);
        Load(t);
        for (int32_t ms : TimesFor(rng, t)) {
            RunAt(ms);
            for (const Track& track : t.tracks) {
                if (track.keys.empty()) continue;
                const float want = TrackerValue(t, track, ms);
                const float got = scripter::FloatVariable(track.floatIndex);
                uint32_t wantBits, gotBits;  // to the bit: -0 is not 0, and a NaN is a NaN
                std::memcpy(&wantBits, &want, 4);
                std::memcpy(&gotBits, &got, 4);
                ASSERT_EQ(wantBits, gotBits)
                    << "round " << round << ", track " << track.name << " at " << ms
                    << " ms: tracker " << want << ", baked script " << got;
            }
        }
    }
    EXPECT_EQ(gl, "") << "the bake makes no GL call";
}

TEST_F(Baked, ManyKeysStayWithinTheJumpLimitAndUnkeyedVariablesKeepTheirValues) {
    Tracks t = TracksForVariables(3, {"a", "b", "c"});
    for (int32_t row = 0; row < 5000; row += 2)
        SetKey(t.tracks[0], {row, float(row % 7), Interpolation::Linear});
    SetKey(t.tracks[2], {10, 4.5f, Interpolation::Step});
    Load(t);
    for (int32_t ms : {0, 77, 15620, 300000, 312499, 312500, 2000000000}) {
        RunAt(ms);
        EXPECT_EQ(scripter::FloatVariable(0), TrackerValue(t, t.tracks[0], ms)) << ms;
        EXPECT_EQ(scripter::FloatVariable(1), 0.0f) << "track b has no keys";
        EXPECT_EQ(scripter::FloatVariable(2), 4.5f) << "one key holds everywhere";
    }
}

TEST_F(Baked, LeavesTheCompareRegistersAndStacksAsTheyWere) {
    Tracks t = TracksForVariables(1, {});
    SetKey(t.tracks[0], {0, 1, Interpolation::Smooth});
    SetKey(t.tracks[0], {16, 3, Interpolation::Step});
    std::vector<demo::Script> scripts = BakeScripts(t, false, 1);
    // Script 0 sets the registers, then the bake runs, then script 0 would jump on them.
    demo::Script set;
    set.code = {0, 7, 0, 0, 0, 0, 9, 0, 0, 0, demo::CMPSET};
    set.length = int32_t(set.code.size());
    table = {set};
    table.insert(table.end(), scripts.begin(), scripts.end());
    scripter::LoadScriptEngine(table, 0, 1);
    scripter::RunScript(table[0], 0, 0, 0);
    scripter::RunScript(table[1], 500, 500, 0);
    const scripter::MachineSnapshot s = scripter::Snapshot();
    EXPECT_EQ(s.compareA, 9);
    EXPECT_EQ(s.compareB, 7);
    EXPECT_EQ(s.intDepth, 0);
    EXPECT_EQ(s.floatDepth, 0);
    EXPECT_EQ(scripter::FloatVariable(0), TrackerValue(t, t.tracks[0], 500));
}

TEST(SyncTracks, AnEditReachesBackToTheKeyBeforeIt) {
    Track track;
    EXPECT_EQ(SetKey(track, {40, 1, Interpolation::Linear}), 0) << "a first key changes all";
    EXPECT_EQ(SetKey(track, {80, 2, Interpolation::Step}), 40);
    EXPECT_EQ(SetKey(track, {60, 3, Interpolation::Step}), 40);
    EXPECT_EQ(SetKey(track, {60, 4, Interpolation::Ramp}), 40) << "replaced in place";
    ASSERT_EQ(track.keys.size(), 3u);
    EXPECT_EQ(track.keys[1].value, 4);
    EXPECT_EQ(DeleteKey(track, 80), 60);
    EXPECT_EQ(DeleteKey(track, 40), 0);
    EXPECT_EQ(DeleteKey(track, 999), 60) << "no key there: nothing before the last key moved";
    ASSERT_EQ(track.keys.size(), 1u);
}

TEST(SyncTracks, RowsAndMillisecondsMeetAtEveryRow) {
    Tracks t;
    for (double bpm : {120.0, 133.3, 97.0, 174.0})
        for (int32_t rpb : {1, 4, 8, 6}) {
            t.bpm = bpm;
            t.rowsPerBeat = rpb;
            for (int32_t row : {0, 1, 2, 3, 17, 1000, 99999}) {
                const int32_t ms = FirstMsOfRow(t, row);
                EXPECT_GE(RowAtMs(t, ms), row) << bpm << " " << rpb << " " << row;
                if (ms > 0) {
                    EXPECT_LT(RowAtMs(t, ms - 1), row) << bpm << " " << rpb << " " << row;
                }
            }
        }
    t.bpm = 120;
    t.rowsPerBeat = 8;
    EXPECT_EQ(RowAtMs(t, 1000), 16);
    EXPECT_EQ(FirstMsOfRow(t, 1), 63) << "a row is 62.5 ms";
}

TEST(TrackFiles, TextAndXmlKeepEveryKeyExactly) {
    std::mt19937 rng(7);
    Tracks t = RandomTracks(rng, 3, 9);
    t.tracks[1].name = "cam.rot:y";
    for (bool xml : {false, true}) {
        const std::string text = xml ? FormatTracksXml(t) : FormatTracksText(t);
        TracksFile file;
        std::string error;
        ASSERT_TRUE(ParseTracksFile(text, "t", file, error)) << error;
        Tracks back = TracksForVariables(3, {"float:0", "cam.rot:y"});
        std::vector<std::string> warnings;
        ApplyTracksFile(file, back, warnings);
        EXPECT_TRUE(warnings.empty());
        for (size_t i = 0; i < 3; ++i) EXPECT_EQ(back.tracks[i].keys, t.tracks[i].keys) << xml;
        if (!xml) {
            EXPECT_EQ(back.bpm, t.bpm);
            EXPECT_EQ(back.rowsPerBeat, t.rowsPerBeat);
        }
    }
}

TEST(TrackFiles, AnEditorsProjectIsRead) {
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<tracks rows=\"10000\" startRow=\"0\" endRow=\"10000\" highlightRowStep=\"8\">\n"
        "\t<track name=\"glow\" folded=\"0\" muteKeyCount=\"0\" color=\"ffb27474\">\n"
        "\t\t<key row=\"0\" value=\"0.000000\" interpolation=\"1\" />\n"
        "\t\t<key row=\"32\" value=\"1.500000\" interpolation=\"0\" />\n"
        "\t</track>\n"
        "\t<track name=\"other\"/>\n"
        "</tracks>\n";
    TracksFile file;
    std::string error;
    ASSERT_TRUE(ParseTracksFile(xml, "p.xml", file, error)) << error;
    Tracks t = TracksForVariables(2, {"speed", "glow"});
    std::vector<std::string> warnings;
    ApplyTracksFile(file, t, warnings);
    ASSERT_EQ(t.tracks[1].keys.size(), 2u);
    EXPECT_EQ(t.tracks[1].keys[1], (Key{32, 1.5f, Interpolation::Step}));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "track 'other' is no float variable of the demo; its keys are left out");
}

TEST(TrackFiles, BadFilesAreNamedWithTheirLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"bpm 120\nspeed 0 1", "t.qvt:2: error: expected 'TRACK ROW VALUE INTERPOLATION'"},
        {"speed -1 1 linear", "t.qvt:1: error: the row must be a whole number from 0 up"},
        {"speed 0 nan linear", "t.qvt:1: error: the value must be a finite number"},
        {"speed 0 1e39 linear", "t.qvt:1: error: the value must be a finite number"},
        {"speed 0 1 bouncy",
         "t.qvt:1: error: the interpolation is step, linear, smooth or ramp (or 0 to 3)"},
        {"bpm 0", "t.qvt:1: error: expected 'bpm B' with B above 0"},
        {"rows-per-beat 0", "t.qvt:1: error: expected 'rows-per-beat R' with R from 1 to 1000000"},
        {"<tracks><track name=\"a\">\n<key row=\"x\" value=\"1\"/></track></tracks>",
         "t.qvt:2: error: a <key> needs a row that is a whole number from 0 up"},
        {"<tracks><track><key row=\"1\" value=\"1\"/></track></tracks>",
         "t.qvt:1: error: a <track> without a name"},
        {"<tracks><track name=\"a\"><key row=\"1\" value=\"1\" "
         "interpolation=\"9\"/></track></tracks>",
         "t.qvt:1: error: a <key>'s interpolation is 0 to 3"},
        {"<tracks>\n<track name=\"a\">", "t.qvt:2: error: not well-formed XML: no element found"},
    };
    for (const auto& [text, want] : cases) {
        TracksFile file;
        std::string error;
        EXPECT_FALSE(ParseTracksFile(text, "t.qvt", file, error)) << text;
        EXPECT_EQ(error, want) << text;
    }
}

TEST(RocketProtocol, MessagesArriveInPiecesAndBadOnesAreNamed) {
    const std::string stream = EncodeSetKey(1, 32, 2.5f, 2) + EncodeDeleteKey(0, 8) +
                               EncodeSetRow(640) + EncodePause(true) + EncodeSaveTracks();
    std::vector<Message> got;
    std::vector<uint8_t> buffer;
    for (char c : stream) {  // one byte at a time, as a slow connection may hand them over
        buffer.push_back(uint8_t(c));
        Message m;
        size_t used = 0;
        std::string error;
        const Decoded d = DecodeMessage(buffer, 2, m, used, error);
        ASSERT_NE(d, Decoded::Malformed) << error;
        if (d == Decoded::Message) {
            got.push_back(m);
            buffer.erase(buffer.begin(), buffer.begin() + long(used));
        }
    }
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0].command, Command::SetKey);
    EXPECT_EQ(got[0].track, 1u);
    EXPECT_EQ(got[0].row, 32);
    EXPECT_EQ(got[0].value, 2.5f);
    EXPECT_EQ(got[0].interpolation, 2);
    EXPECT_EQ(got[1].command, Command::DeleteKey);
    EXPECT_EQ(got[1].row, 8);
    EXPECT_EQ(got[2].row, 640);
    EXPECT_TRUE(got[3].pause);
    EXPECT_EQ(got[4].command, Command::SaveTracks);

    const std::pair<std::string, const char*> bad[] = {
        {std::string(1, '\x09'), "unknown command 9 from the editor"},
        {EncodeGetTrack("x"), "unknown command 2 from the editor"},
        {EncodeSetKey(2, 0, 1, 0), "track 2 was never asked for (2 tracks)"},
        {EncodeSetKey(0, 0, 1, 4), "interpolation 4 is not 0 to 3"},
        {EncodeSetRow(-5), "row 4294967291 is out of range"},
    };
    for (const auto& [bytes, want] : bad) {
        Message m;
        size_t used = 0;
        std::string error;
        const std::vector<uint8_t> b(bytes.begin(), bytes.end());
        EXPECT_EQ(DecodeMessage(b, 2, m, used, error), Decoded::Malformed) << want;
        EXPECT_EQ(error, want);
    }
    EXPECT_EQ(EncodeGetTrack("ab"), std::string("\x02\0\0\0\x02"
                                                "ab",
                                                7));
}

std::span<const uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(EditorProtocol, GreetsAsksForEveryTrackAndTakesTheEditorsKeys) {
    Tracks t = TracksForVariables(2, {"size"});
    SetKey(t.tracks[1], {16, 2, Interpolation::Linear});  // from the file, before the editor
    EditorProtocol p;
    EXPECT_EQ(p.Start(), "hello, synctracker!");
    EditorEvents e;
    std::string reply, error;
    ASSERT_TRUE(p.Take(Bytes("hello, "), t, e, reply, error));
    EXPECT_FALSE(p.Greeted());
    EXPECT_EQ(reply, "");
    ASSERT_TRUE(p.Take(Bytes(std::string("demo!") + EncodeSetKey(0, 8, 1.5f, 1).substr(0, 6)), t, e,
                       reply, error));
    EXPECT_TRUE(p.Greeted());
    EXPECT_EQ(reply, EncodeGetTrack("size") + EncodeGetTrack("float:1"));
    EXPECT_TRUE(t.tracks[1].keys.empty()) << "the editor's keys replace the file's";
    EXPECT_TRUE(e.keysChanged);
    EXPECT_EQ(e.firstRowChanged, 0);

    EditorEvents more;
    ASSERT_TRUE(p.Take(
        Bytes(EncodeSetKey(0, 8, 1.5f, 1).substr(6) + EncodeSetKey(0, 40, 3, 0) +
              EncodeDeleteKey(0, 40) + EncodeSetRow(12) + EncodePause(false) + EncodeSaveTracks()),
        t, more, reply, error))
        << error;
    EXPECT_EQ(t.tracks[0].keys, (std::vector<Key>{{8, 1.5f, Interpolation::Linear}}));
    EXPECT_EQ(more.firstRowChanged, 0) << "the first key reaches back to row 0";
    EXPECT_EQ(more.seekRow, 12);
    EXPECT_EQ(more.pause, false);
    EXPECT_TRUE(more.save);

    EditorEvents late;
    ASSERT_TRUE(p.Take(Bytes(EncodeSetKey(0, 64, 0, 0)), t, late, reply, error));
    EXPECT_EQ(late.firstRowChanged, 8);

    EXPECT_FALSE(p.Take(Bytes(EncodeSetKey(5, 0, 0, 0)), t, late, reply, error));
    EXPECT_EQ(error, "track 5 was never asked for (2 tracks)");

    EditorProtocol stranger;
    stranger.Start();
    EXPECT_FALSE(stranger.Take(Bytes("HTTP/1.1 400 Bad"), t, late, reply, error));
    EXPECT_EQ(error, "it did not answer as a sync tracker does ('hello, demo!')");
}

demo::DemoFile DemoWithTracks(std::initializer_list<int> tracks) {
    demo::DemoFile d;
    d.scripts.resize(1);
    d.scriptCount = 1;
    d.floatVarCount = 2;
    for (int track : tracks) d.clips.push_back({uint8_t(track), 0, 1000, 0});
    d.clipCount = int32_t(d.clips.size());
    return d;
}

TEST(BakeInDemo, TakesTrackZeroAndKeepsTheOrderOfTheOthers) {
    Tracks t = TracksForVariables(2, {"speed"});
    SetKey(t.tracks[1], {0, 1, Interpolation::Linear});
    demo::DemoFile d = DemoWithTracks({0, 1, 3, 2, 25});
    BakePlace place;
    std::string error;
    ASSERT_TRUE(InsertBake(d, t, false, place, error)) << error;
    EXPECT_EQ(place.shiftedTracks, 4) << "tracks 0 to 3 were in use";
    std::vector<int> tracks;
    for (const demo::Clip& c : d.clips) tracks.push_back(c.track);
    EXPECT_EQ(tracks, (std::vector<int>{1, 2, 4, 3, 25, 0}));
    EXPECT_EQ(d.clips.back().scriptIndex, 1);
    EXPECT_EQ(d.clips.back().length, 2147483647);
    ASSERT_EQ(d.scripts.size(), 3u) << "the master and the one keyed track";
    EXPECT_EQ(d.scriptCount, 3);
    EXPECT_EQ(d.clipCount, 6);
    const auto master = ReadBakeMark(d.scripts[1]);
    ASSERT_TRUE(master);
    EXPECT_TRUE(master->master);
    EXPECT_EQ(master->names, std::vector<std::string>{"float:1"});
    const auto track = ReadBakeMark(d.scripts[2]);
    ASSERT_TRUE(track);
    EXPECT_EQ(track->names, std::vector<std::string>{"float:1"});
    EXPECT_FALSE(ReadBakeMark(d.scripts[0]));

    demo::DemoFile untouched = DemoWithTracks({1});
    ASSERT_TRUE(InsertBake(untouched, t, false, place, error));
    EXPECT_EQ(place.shiftedTracks, 0);
    EXPECT_EQ(untouched.clips[0].track, 1);
}

TEST(BakeInDemo, AFullTimelineIsRefusedUnchanged) {
    demo::DemoFile d =
        DemoWithTracks({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19});
    const std::string before = demo::WriteDemoFile(d);
    BakePlace place;
    std::string error;
    EXPECT_FALSE(InsertBake(d, TracksForVariables(1, {}), false, place, error));
    EXPECT_EQ(error, "all 20 tracks hold clips: the baked tracks need one of their own");
    EXPECT_EQ(demo::WriteDemoFile(d), before);
}

TEST(BakeInDemo, TheDumpNamesTheTracksAndBuildsBackToTheSameBytes) {
    Tracks t = TracksForVariables(2, {"speed", "glow"});
    SetKey(t.tracks[0], {0, 1, Interpolation::Smooth});
    SetKey(t.tracks[0], {64, 2, Interpolation::Ramp});
    SetKey(t.tracks[0], {128, -2, Interpolation::Step});
    SetKey(t.tracks[1], {8, 0.5f, Interpolation::Linear});
    demo::DemoFile d = DemoWithTracks({0});
    BakePlace place;
    std::string error;
    ASSERT_TRUE(InsertBake(d, t, false, place, error));
    const std::string text = tools::FormatDemoSource(d);
    EXPECT_NE(text.find("script 1  ; baked from the sync tracks speed, glow by qv build"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("script 2  ; baked: sets the float variable of track speed"),
              std::string::npos);
    EXPECT_NE(text.find(".byte \"qv-sync track glow\""), std::string::npos);
    demo::DemoFile back;
    ASSERT_TRUE(tools::ParseDemoSource(text, "d.qvs", back, error)) << error;
    EXPECT_EQ(demo::WriteDemoFile(back), demo::WriteDemoFile(d));
}

}  // namespace
