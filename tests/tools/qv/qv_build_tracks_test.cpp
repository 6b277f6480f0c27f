// qv build bakes the sync tracks beside a source (or given with --tracks, in either form);
// qv dump shows the bake, qv check knows it; bad tracks files are named with their line.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/run_qv.h"

using testing_qv::FreshFolder;
using testing_qv::RunQv;

namespace {

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Source(int clipsOnTracks = 1) {
    std::string s =
        "title \"t\"\nvariables floats 2 names size,glow\nbpm 100\nscript 0\n"
        "    LOADF 1\n    LINEWIDTH\n";
    for (int track = 0; track < clipsOnTracks; ++track)
        s += "clip track " + std::to_string(track) + " start 0 length 1000 script 0\n";
    return s;
}

TEST(QvBuildTracks, TheFileBesideTheSourceIsBakedAndShown) {
    const std::string dir = FreshFolder();
    Write(dir + "/d.qvs", Source());
    Write(dir + "/d.qvt", "glow 0 1 linear\nglow 16 2 step\nspeed 3 1 step\n");
    const auto built = RunQv("build " + dir + "/d.qvs -o " + dir + "/d.acs");
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_NE(built.err.find("qv build: " + dir + "/d.qvt: track 'speed' is no float variable"),
              std::string::npos)
        << built.err;
    EXPECT_NE(built.err.find("baked 2 keys of glow from '" + dir +
                             "/d.qvt' (100 bpm, 8 rows per beat); the clips of track 0 moved "
                             "to track 1"),
              std::string::npos)
        << built.err;
    const auto dump = RunQv("dump " + dir + "/d.acs");
    EXPECT_NE(dump.out.find("; baked from the sync tracks glow by qv build"), std::string::npos);
    EXPECT_NE(dump.out.find("clip 0 track 1 start 0"), std::string::npos) << dump.out;
    const auto check = RunQv("check " + dir + "/d.acs");
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(check.err, "");

    const auto faster = RunQv("build " + dir + "/d.qvs -o " + dir + "/e.acs --bpm 140");
    ASSERT_EQ(faster.status, 0) << faster.err;
    EXPECT_NE(Read(dir + "/e.acs"), Read(dir + "/d.acs")) << "--bpm changes the rows' times";

    Write(dir + "/w.qvs", Source() + "script 1\n    PUSHF 2\n    STOREF 1\n");
    Write(dir + "/w.qvt", "glow 0 1 linear\nsize 0 1 step\n");
    const std::string overwritten =
        "w.qvt: warning: track 'glow' is keyed, but script 1 stores into float variable 1 too: "
        "from there on in each frame the script's value replaces the key's\n";
    const auto warned = RunQv("build " + dir + "/w.qvs -o " + dir + "/w.acs");
    EXPECT_EQ(warned.status, 0);
    EXPECT_NE(warned.err.find("qv build: " + dir + "/" + overwritten), std::string::npos)
        << warned.err;
    EXPECT_EQ(warned.err.find("track 'size'"), std::string::npos) << "only LOADF reads size";
    const auto checked = RunQv("check " + dir + "/w.qvs");
    EXPECT_EQ(checked.status, 0);
    EXPECT_NE(checked.err.find(dir + "/" + overwritten), std::string::npos) << checked.err;
    EXPECT_EQ(RunQv("check " + dir + "/w.qvs --werror").status, 1);

    std::remove((dir + "/d.qvt").c_str());
    ASSERT_EQ(RunQv("build " + dir + "/d.qvs -o " + dir + "/plain.acs").status, 0);
    EXPECT_EQ(RunQv("dump " + dir + "/plain.acs").out.find("baked"), std::string::npos);
}

TEST(QvBuildTracks, AnEditorsXmlProjectIsBakedLikeTheText) {
    const std::string dir = FreshFolder();
    Write(dir + "/d.qvs", Source());
    Write(dir + "/a.qvt", "bpm 100\nglow 0 1 smooth\nglow 16 2 ramp\nglow 24 0 step\n");
    Write(dir + "/p.xml",
          "<?xml version=\"1.0\"?>\n<tracks rows=\"100\">\n <track name=\"glow\">\n"
          "  <key row=\"0\" value=\"1.0\" interpolation=\"2\"/>\n"
          "  <key row=\"16\" value=\"2.0\" interpolation=\"3\"/>\n"
          "  <key row=\"24\" value=\"0\" interpolation=\"0\"/>\n </track>\n</tracks>\n");
    ASSERT_EQ(
        RunQv("build " + dir + "/d.qvs -o " + dir + "/a.acs --tracks " + dir + "/a.qvt").status, 0);
    const auto xml =
        RunQv("build " + dir + "/d.qvs -o " + dir + "/x.acs --tracks " + dir + "/p.xml");
    ASSERT_EQ(xml.status, 0) << xml.err;
    EXPECT_EQ(Read(dir + "/x.acs"), Read(dir + "/a.acs"));
}

TEST(QvBuildTracks, BadTracksAndAFullTimelineAreErrorsOfBuildAndCheck) {
    const std::string dir = FreshFolder();
    Write(dir + "/d.qvs", Source());
    Write(dir + "/d.qvt", "glow 0 1 linear\nglow 16\n");
    const auto built = RunQv("build " + dir + "/d.qvs -o " + dir + "/d.acs");
    EXPECT_EQ(built.status, 1);
    EXPECT_EQ(built.err,
              "qv build: " + dir + "/d.qvt:2: error: expected 'TRACK ROW VALUE INTERPOLATION'\n");
    EXPECT_EQ(Read(dir + "/d.acs"), "") << "nothing is written";
    const auto check = RunQv("check " + dir + "/d.qvs");
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.err, dir + "/d.qvt:2: error: expected 'TRACK ROW VALUE INTERPOLATION'\n");

    Write(dir + "/full.qvs", Source(20));
    Write(dir + "/full.qvt", "glow 0 1 linear\n");
    const auto full = RunQv("build " + dir + "/full.qvs -o " + dir + "/full.acs");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "qv build: " + dir +
                            "/full.qvt: all 20 tracks hold clips: the baked tracks need one of "
                            "their own\n");
    const auto fullCheck = RunQv("check " + dir + "/full.qvs");
    EXPECT_EQ(fullCheck.status, 1);
    EXPECT_NE(fullCheck.err.find("all 20 tracks hold clips"), std::string::npos);
}

}  // namespace
