#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "scripter/verifier.h"
#include "tests/support/run_qv.h"
#include "tests/support/script_builder.h"
#include "textures/image_loaders.h"

using namespace demo;
using namespace scripter;
using namespace testing_scripts;

namespace {

// "script S at OFFSET: TEXT" lines, as qv check prints them after the file name.
std::vector<std::string> Check(std::vector<demo::Script> scripts, const TableSizes& sizes = {}) {
    std::vector<std::string> lines;
    for (const Finding& f : VerifyScripts(scripts, sizes))
        lines.push_back("script " + std::to_string(f.script) + " at " + std::to_string(f.offset) +
                        ": " + f.text);
    return lines;
}

using Lines = std::vector<std::string>;

TEST(Check, CompleteScriptsWithinTheirTablesHaveNoFindings) {
    TableSizes sizes;
    sizes.intVars = 1;
    EXPECT_EQ(Check({Code({PushI(2), PushI(3), Do(ADDI), StoreI(0)}),
                     Code({PushI(0), Do(JMP)}),   // the jump-limit example: ends after 50 jumps
                     Code({PushI(6), Do(JMP)})},  // a jump to the end of the code
                    sizes),
              Lines{});
}

TEST(Check, UnderflowOnOnlyOneOfTwoPathsIsFound) {
    //  0 PUSHI 1 | 5 PUSHI 1 | 10 CMPSET | 11 PUSHI 22 | 16 JEQ | 17 PUSHI 7 | 22 PUSHI 8
    // 27 ADDI | 28 END. Falling through gives ADDI two values; the jump only one.
    EXPECT_EQ(Check({Code({PushI(1), PushI(1), Do(CMPSET), PushI(22), Do(JEQ), PushI(7), PushI(8),
                           Do(ADDI), Do(END)})}),
              Lines{"script 0 at 27: ADDI needs 2 ints (a b); 1 on the stack"});
}

TEST(Check, StackErrorsNameTheStackAndTheInstruction) {
    EXPECT_EQ(Check({Code({Do(JMP)}), Code({PushF(1), Do(ADDF)}), Code({Do(BEAT)}),
                     Code({PushI(1), Do(LIGHT)})}),
              (Lines{"script 0 at 0: JMP needs 1 int (target); 0 on the stack",
                     "script 1 at 5: ADDF needs 2 floats (a b); 1 on the stack",
                     "script 2 at 0: BEAT needs 1 float (bpm); 0 on the stack",
                     "script 3 at 5: LIGHT needs 2 ints (light pname); 1 on the stack"}));
}

TEST(Check, OverflowThroughALoopIsFound) {
    // Every pass leaves one more value; the 33rd value overflows before the 51st jump.
    EXPECT_EQ(Check({Code({PushI(1), PushI(0), Do(JMP)})}),
              Lines{"script 0 at 5: PUSHI overflows the int stack (it holds 32 values)"});
    EXPECT_EQ(Check({Code({Repeat(PushF(0), 33)})}),
              Lines{"script 0 at 160: PUSHF overflows the float stack (it holds 32 values)"});
}

TEST(Check, JumpTargetsOutsideTheCodeOrInsideAnInstruction) {
    EXPECT_EQ(Check({Code({PushI(100), Do(JMP)}), Code({PushI(-1), Do(JMP)}),
                     Code({PushI(0), PushI(0), Do(CMPSET), PushI(3), Do(JEQ), Do(END)})}),
              (Lines{"script 0 at 5: jump target 100 outside the code (length 6) (JMP)",
                     "script 1 at 5: jump target -1 outside the code (length 6) (JMP)",
                     "script 2 at 16: jump target 3 is not the start of an instruction (JEQ)"}));
}

TEST(Check, TruncatedInstructionAtTheEnd) {
    EXPECT_EQ(Check({MakeScript({END, PUSHF, 0, 0})}),
              Lines{"script 0 at 1: truncated instruction: PUSHF needs 5 bytes, 3 left"});
}

TEST(Check, ConstantIndicesAreCheckedAgainstTheirTables) {
    TableSizes sizes;
    sizes.intVars = 4;
    sizes.floatVars = -3;
    sizes.textures = 2;
    sizes.paths = 1;
    EXPECT_EQ(Check({Code({LoadI(4), StoreI(3), PushF(1), StoreF(0)}),
                     Code({PushI(3), Do(CALL), PushI(5), Do(BINDTEX), PushI(-1), Do(MODEL),
                           PushI(1), Do(PATH), PushI(0), Do(PATH), PushI(1), Do(BINDTEX)}),
                     Code({LoadI(0), Do(CALL)})},  // not a constant: not checked
                    sizes),
              (Lines{"script 0 at 0: integer variable 4 outside the 4 integer variables (LOADI)",
                     "script 0 at 9: float variable 0 outside the 0 float variables (STOREF)",
                     "script 1 at 5: script 3 outside the 3 scripts (CALL)",
                     "script 1 at 11: texture 5 outside the 2 texture slots (BINDTEX)",
                     "script 1 at 17: model -1 outside the 0 models (MODEL)",
                     "script 1 at 23: path 1 outside the 1 path strings (PATH)"}));
}

TEST(Check, EffectOperandsAndTheirIndexLimits) {
    TableSizes sizes;
    sizes.textures = 1;
    sizes.models = 2;
    sizes.meshGroups = {3, -1};  // model 0 is a mesh of 3 groups; model 1 is generated
    // clang-format off
    EXPECT_EQ(Check({Code({PushI(-1), Do(BINDTEX),                             // unbinds: fine
                           PushI(0), PushI(2), PushI(0), PushF(1), Do(MESH_GROUP),  // fine
                           PushI(0), PushI(3), PushI(0), PushF(1), Do(MESH_GROUP),
                           PushI(0), PushI(9), PushI(1), PushF(1), Do(MESH_GROUP),  // unknown
                           PushI(1), Do(TARGET_END), PushI(5), PushF(1), Do(RING)}),
                     Code({PushF(1), PushF(2), PushF(3), Do(RECT)})},
                    sizes),
              (Lines{"script 0 at 47: group 3 outside the 3 groups of model 0 (MESH_GROUP)",
                     "script 0 at 74: texture 1 outside the 1 texture slots (TARGET_END)",
                     "script 0 at 85: RING needs 2 floats (rb ra); 1 on the stack",
                     "script 1 at 15: RECT needs 4 floats (y0 x1 y1 x0); 3 on the stack"}));
    // clang-format on
}

TEST(Check, CallContinuesWithWhatTheCalleeLeaves) {
    demo::Script pushesOne = Code({PushI(5)});
    demo::Script pushesTwo = Code({PushI(5), PushI(6)});
    EXPECT_EQ(Check({pushesOne, pushesTwo,
                     Code({PushI(9), PushI(0), Do(CALL), Do(ADDI)}),   // 9 is lost: underflow
                     Code({PushI(1), Do(CALL), Do(ADDI), Do(END)})}),  // two values: fine
              Lines{"script 2 at 11: ADDI needs 2 ints (a b); 1 on the stack"});
}

TEST(Check, SelfRecursionEndsAtTheNestingCapWithItsStacks) {
    EXPECT_EQ(Check({Code({PushI(0), Do(CALL), Do(ADDI)})}),
              Lines{"script 0 at 6: ADDI needs 2 ints (a b); 0 on the stack"});
}

TEST(Check, TheShadowRunIsFollowedToo) {
    // The nested shadow run pops the three floats at its own SHADOW and then has one float
    // for ADDF; the run outside never gets there.
    EXPECT_EQ(Check({Code({PushF(3), PushF(2), PushF(1), Do(SHADOW), PushF(1), Do(ADDF)})}),
              Lines{"script 0 at 21: ADDF needs 2 floats (a b); 1 on the stack"});
    EXPECT_EQ(Check({Code({PushF(3), PushF(2), PushF(1), Do(SHADOW), Do(END)})}), Lines{});
}

// --- the command ---------------------------------------------------------------------------

TEST(CheckCommand, PrintsOneLinePerProblemAndExitsWithOne) {
    demo::DemoFile d = testing_qv::DemoWith(
        {Code({Do(ADDI)}), Code({Do(END)})},
        {MakeClip(25, 0, 100, 1), MakeClip(3, 0, 100, 2), MakeClip(19, 0, 100, 0)});
    std::string path = testing_qv::WriteDemo(d);
    testing_qv::QvResult r = testing_qv::RunQv("check " + path);
    EXPECT_EQ(r.err, path + ": script 0 at 0: error: ADDI needs 2 ints (a b); 0 on the stack\n" +
                         path + ": clip 0: error: track 25 never runs: the tracks are 0 to 19\n" +
                         path + ": clip 1: error: script 2 outside the 2 scripts\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
}

TEST(CheckCommand, ModelsAreBuiltAndMeshGroupsKnown) {
    demo::DemoFile d =
        testing_qv::DemoWith({Code({PushI(0), PushI(1), PushI(0), PushF(1), Do(MESH_GROUP)})}, {});
    d.modelCount = 2;
    d.modelSources = {{8, "\1tri.obj"}, {9, "\1gone.obj"}};
    std::string path = testing_qv::WriteDemo(d);
    const std::string data = path.substr(0, path.rfind('/')) + "/data";
    std::system(("mkdir -p " + data).c_str());
    std::ofstream(data + "/tri.obj") << "v 0 0 0\nvt 0 0\nvn 0 0 1\ng one\nf 1/1/1 1/1/1 1/1/1\n";
    testing_qv::QvResult r = testing_qv::RunQv("check " + path);
    EXPECT_NE(
        r.err.find(
            ": script 0 at 20: error: group 1 outside the 1 groups of model 0 (MESH_GROUP)\n"),
        std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(": model 1: error: OBJ file "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("gone.obj"), std::string::npos) << r.err;
    EXPECT_EQ(r.status, 1);
}

TEST(CheckCommand, AHugeNumberInAnObjFileIsQuotedShortened) {
    demo::DemoFile d = testing_qv::DemoWith({Code({Do(END)})}, {});
    d.modelCount = 1;
    d.modelSources = {{8, "\1big.obj"}};
    std::string path = testing_qv::WriteDemo(d);
    const std::string data = path.substr(0, path.rfind('/')) + "/data";
    std::system(("mkdir -p " + data).c_str());
    const std::string digits(200000, '7');
    std::ofstream(data + "/big.obj") << "v 0 " << digits << " 0\n";
    testing_qv::QvResult r = testing_qv::RunQv("check " + path);
    EXPECT_EQ(r.err, path + ": model 0: error: " + data + "/big.obj, line 1: '" +
                         digits.substr(0, 60) + "'... (200000 bytes) is not a number\n" + path +
                         ": model 0: warning: model 0 is never used by any script\n");
    EXPECT_EQ(r.status, 1);
}

TEST(CheckCommand, CleanFilePrintsNothingAndUnreadableFileFails) {
    std::string path = testing_qv::WriteDemo(testing_qv::DemoWith({Code({Do(END)})}, {}));
    testing_qv::QvResult r = testing_qv::RunQv("check " + path);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    r = testing_qv::RunQv("check " + path + ".missing");
    EXPECT_EQ(r.err,
              "qv check: " + path + ".missing: cannot open the file (No such file or directory)\n");
    EXPECT_EQ(r.status, 1);
}

}  // namespace

// --- a source: every finding at the line that wrote it ---------------------------------------

namespace {

// Writes source as demo.qvs (and the named files, empty, under data/) into a fresh folder and
// checks it; returns the path and the result.
struct SourceCheck {
    std::string path;
    testing_qv::QvResult r;
};
SourceCheck CheckSource(const std::string& source, const std::vector<std::string>& dataFiles = {},
                        const std::string& options = "") {
    SourceCheck c;
    const std::string dir = testing_qv::FreshFolder();
    c.path = dir + "/demo.qvs";
    std::ofstream(c.path) << source;
    std::system(("mkdir -p " + dir + "/data").c_str());
    for (const std::string& f : dataFiles) std::ofstream(dir + "/data/" + f) << "";
    c.r = testing_qv::RunQv("check " + options + c.path);
    return c;
}

// The findings with the folder cut off: "demo.qvs:L:C: ..." lines.
std::string Shown(const SourceCheck& c) {
    std::string out = c.r.err;
    const std::string dir = c.path.substr(0, c.path.rfind('/') + 1);
    for (size_t at; (at = out.find(dir)) != std::string::npos;) out.erase(at, dir.size());
    return out;
}

}  // namespace

TEST(CheckSource, StackErrorsPointAtTheInstructionWithItsOperands) {
    SourceCheck c = CheckSource("script 0\n    PUSHF 1\n    BOX\n");
    EXPECT_EQ(Shown(c), "demo.qvs:3:5: error: BOX needs 3 floats (hz hy hx); 1 on the stack\n");
    EXPECT_EQ(c.r.status, 1);
    c = CheckSource("script 0\nloop:\n    PUSHI 1\n    PUSHI @loop\n    JMP\n");
    EXPECT_EQ(Shown(c),
              "demo.qvs:4:5: error: PUSHI overflows the int stack (it holds 32 values)\n");
}

// The transform carries over from one track's script to the next: a script that leaves the
// matrix stack unbalanced is warned about, at the instruction without its partner.
TEST(CheckSource, UnbalancedMatrixStackIsWarnedAbout) {
    EXPECT_EQ(Shown(CheckSource("script 0\n  PUSHMATRIX\n  POPMATRIX\n  PUSHMATRIX\n"
                                "  PUSHMATRIX\n  POPMATRIX\nscript 1\n  POPMATRIX\n"
                                "  PUSHMATRIX\n  POPMATRIX\n")),
              "demo.qvs:4:3: warning: PUSHMATRIX without a POPMATRIX after it in this script: "
              "the transform is not reset between clips, so the tracks after it inherit this "
              "script's, and the matrix stack grows every frame\n"
              "demo.qvs:8:3: warning: POPMATRIX without a PUSHMATRIX before it in this script: "
              "it takes the transform saved by another script, not one of its own\n");
    // Balanced in a loop, and the operand bytes of PUSHI 25 (PUSHMATRIX's code) are no push.
    EXPECT_EQ(Shown(CheckSource("script 0\nloop:\n  PUSHMATRIX\n  PUSHI 25\n  P_COUNT\n"
                                "  POPMATRIX\n  PUSHI @loop\n  JMP\n")),
              "");
    // A called script that leaves its pose for the caller to pop: balanced in the caller.
    const std::string pose = "script 0\n  PUSHMATRIX\n  CLIPXFORM\nscript 1\n  PUSHI 0\n  CALL\n";
    EXPECT_EQ(Shown(CheckSource(pose + "  POPMATRIX\n")), "");
    EXPECT_EQ(Shown(CheckSource(pose)),
              "demo.qvs:6:3: warning: the script this CALL runs leaves a PUSHMATRIX without a "
              "POPMATRIX after it in this script: "
              "the transform is not reset between clips, so the tracks after it inherit this "
              "script's, and the matrix stack grows every frame\n");
}

TEST(CheckSource, JumpsAndIndicesOutsideTheirTables) {
    EXPECT_EQ(Shown(CheckSource("script 0\n    PUSHI 99\n    JMP\n")),
              "demo.qvs:3:5: error: jump target 99 outside the code (length 6) (JMP)\n");
    EXPECT_EQ(Shown(CheckSource("script 0\n  PUSHI 2\n  BINDTEX\n  PUSHI 0\n  MODEL\n"
                                "  PUSHI 1\n  PATH\n  PUSHI 4\n  CALL\n  LOADF 3\n")),
              "demo.qvs:3:3: error: texture 2 outside the 0 texture slots (BINDTEX)\n"
              "demo.qvs:5:3: error: model 0 outside the 0 models (MODEL)\n"
              "demo.qvs:7:3: error: path 1 outside the 0 path strings (PATH)\n"
              "demo.qvs:9:3: error: script 4 outside the 1 scripts (CALL)\n"
              "demo.qvs:10:3: error: float variable 3 outside the 0 float variables (LOADF)\n");
}

TEST(CheckSource, ClipsOnAMissingTrackOrScript) {
    EXPECT_EQ(Shown(CheckSource("script 0\nclip 0 track 20 start 0 length 5 script 0\n"
                                "clip 1 track 0 start 0 length 5 script 3\n")),
              "demo.qvs:2:8: error: track 20 never runs: the tracks are 0 to 19\n"
              "demo.qvs:3:33: error: script 3 outside the 1 scripts\n");
}

TEST(CheckSource, TextureAndObjectProgramsAgainstTheirTables) {
    EXPECT_EQ(Shown(CheckSource("script 0\n  PUSHI 0\n  BINDTEX\n  PUSHI 0\n  MODEL\n"
                                "texture 0 program\n  Disc 256 256\n  Fill 0xFF 0 9\n"
                                "  Mosaic 0 4 1\n  Op20 1\n"
                                "model 0 program\n  Cube\n  Wave 7\n  Sphere 4\n")),
              "demo.qvs:7:3: error: Disc needs 5 parameters (centre x, centre y, radius, colour, "
              "layer); 2 given, so the player skips it\n"
              "demo.qvs:8:3: error: Fill layer 9 is outside 0 to 7\n"
              "demo.qvs:9:3: error: Mosaic block width 0 is outside 1 to 512\n"
              "demo.qvs:10:3: warning: texture operation 20 does nothing\n"
              "demo.qvs:12:3: error: Cube subdivisions n 0 is outside 1 to 10\n"
              "demo.qvs:13:3: error: Wave variant 7 is outside 0 to 4\n");
}

TEST(CheckSource, MissingFilesNameTheFolderAndTheNearestName) {
    SourceCheck c = CheckSource(
        "script 0\n  PUSHI 0\n  BINDTEX\n  PUSHI 0\n  MODEL\n  PUSHI 1\n  MODEL\n"
        "texture 0 image \"tiles.bmp\"\nmodel 0 obj \"shipp.obj\"\nmodel 1 file \"verts.bin\"\n"
        "music \"song.ogg\"\n",
        {"tile.bmp", "ship.obj"});
    const std::string dir = c.path.substr(0, c.path.rfind('/') + 1);
    EXPECT_EQ(c.r.err,
              c.path + ":8:1: error: image file '" + dir + "data/tiles.bmp' not found in '" + dir +
                  "data' (nearest: 'tile.bmp')\n" + c.path + ":9:1: error: OBJ file '" + dir +
                  "data/shipp.obj' not found in '" + dir + "data' (nearest: 'ship.obj')\n" +
                  c.path + ":10:1: error: vertex file '" + dir + "verts.bin' not found in '" +
                  dir.substr(0, dir.size() - 1) + "'\n" + c.path + ":11:1: error: music file '" +
                  dir + "song.ogg' not found in '" + dir.substr(0, dir.size() - 1) + "'\n");
}

TEST(CheckSource, AnObjFileThatDoesNotLoadGivesItsOwnLine) {
    const std::string dir = testing_qv::FreshFolder();
    std::system(("mkdir -p " + dir + "/data").c_str());
    std::ofstream(dir + "/data/bad.obj") << "v 0 0 0\nf 1 2 9\n";
    std::ofstream(dir + "/demo.qvs") << "script 0\n  PUSHI 0\n  MODEL\nmodel 0 obj \"bad.obj\"\n";
    testing_qv::QvResult r = testing_qv::RunQv("check " + dir + "/demo.qvs");
    EXPECT_EQ(r.err.substr(0, r.err.find(dir + "/data/bad.obj, line 2")),
              dir + "/demo.qvs:4:1: error: ")
        << r.err;
    EXPECT_EQ(r.status, 1);
}

TEST(CheckSource, UnusedItemsWarnAndFailOnlyWithWerror) {
    const std::string source = "script 0\n  QUIT\ntexture 0 target\nmodel 0 program\n  Cube 1\n";
    SourceCheck c = CheckSource(source);
    EXPECT_EQ(Shown(c),
              "demo.qvs:3:1: warning: texture 0 is never used by any script\n"
              "demo.qvs:4:1: warning: model 0 is never used by any script\n");
    EXPECT_EQ(c.r.status, 0);
    EXPECT_EQ(CheckSource(source, {}, "--werror ").r.status, 1);
    // A computed index may name any of them: nothing is reported unused.
    EXPECT_EQ(Shown(CheckSource("variables ints 1\nscript 0\n  LOADI 0\n  BINDTEX\n  PUSHI 0\n"
                                "  MODEL\ntexture 0 target\nmodel 0 program\n  Cube 1\n")),
              "");
}

// A mesh binds the texture slots from its texture base on: the slots below the lowest base
// of all meshes are unused, the others are not; a computed base may be any slot. The base is
// the first of MESH_ALL's two ints and of MESH_GROUP's and MESH_MATERIAL's three.
TEST(CheckSource, MeshesUseTheSlotsFromTheirTextureBaseOn) {
    // The script's lines, then four texture slots and a model.
    auto check = [](const std::string& script) {
        return Shown(CheckSource(script + "texture 0 target\ntexture 1 target\ntexture 2 target\n"
                                          "texture 3 target\nmodel 0 program\n  Cube 1\n"));
    };
    // The warnings for slots 0 to count - 1, slot 0 on line `line`.
    auto unused = [](int line, int count) {
        std::string lines;
        for (int slot = 0; slot < count; ++slot)
            lines += "demo.qvs:" + std::to_string(line + slot) + ":1: warning: texture " +
                     std::to_string(slot) + " is never used by any script\n";
        return lines;
    };
    const std::string meshAllFrom3 = "  PUSHI 3\n  PUSHI 0\n  PUSHF 1\n  MESH_ALL\n";
    EXPECT_EQ(check("script 0\n" + meshAllFrom3), unused(6, 3));
    // The lower base counts, whichever mesh comes last.
    for (const char* op : {"MESH_GROUP", "MESH_MATERIAL"}) {
        const std::string from2 =
            "  PUSHI 2\n  PUSHI 1\n  PUSHI 0\n  PUSHF 1\n  " + std::string(op) + "\n";
        EXPECT_EQ(check("script 0\n" + meshAllFrom3 + from2), unused(11, 2)) << op;
        EXPECT_EQ(check("script 0\n" + from2 + meshAllFrom3), unused(11, 2)) << op;
    }
    EXPECT_EQ(check("variables ints 1\nscript 0\n  LOADI 0\n  PUSHI 0\n  PUSHF 1\n  MESH_ALL\n"),
              "");
}

TEST(CheckSource, SourceErrorsAreReportedBeforeAnyCheck) {
    SourceCheck c = CheckSource("script 0\n  BOX 1 1 1\n  NOPE\n");
    EXPECT_EQ(Shown(c),
              "demo.qvs:2:7: error: BOX takes its operands from the stacks, not from its line: "
              "push 3 floats (hz hy hx) before it\n"
              "demo.qvs:3:3: error: unknown mnemonic 'NOPE'\n");
    EXPECT_EQ(c.r.status, 1);
}

// --- image and OBJ files as the player's loaders read them --------------------------------

namespace {

// A 24-bit BMP of width x height (rows padded to four bytes); a negative height stores it
// top-down. bits other than 24 only change the header.
std::string Bmp(int32_t width, int32_t height, int bits = 24) {
    std::string b(54, '\0');
    auto put = [&b](size_t at, int32_t v) {
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = char(uint32_t(v) >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    put(14, 40), put(18, width), put(22, height);
    b[26] = 1, b[28] = char(bits);
    const size_t stride = (size_t(width) * size_t(bits / 8) + 3) / 4 * 4;
    return b + std::string(stride * size_t(std::abs(height)), '\x55');
}

// A 24-bit uncompressed TGA of 2 x 1 pixels with the given image ID and descriptor byte.
std::string Tga(const std::string& id, char descriptor) {
    std::string t(18, '\0');
    t[0] = char(id.size()), t[2] = 2, t[12] = 2, t[14] = 1, t[16] = 24, t[17] = descriptor;
    return t + id + std::string(6, '\x40');
}

// Writes source as demo.qvs and files (name, bytes) under data/ into a fresh folder and
// checks it; returns the findings with the folder cut off.
std::string CheckWithFiles(const std::string& source,
                           const std::vector<std::pair<std::string, std::string>>& files) {
    const std::string dir = testing_qv::FreshFolder();
    std::system(("mkdir -p " + dir + "/data").c_str());
    for (const auto& [name, bytes] : files)
        std::ofstream(dir + "/data/" + name, std::ios::binary) << bytes;
    std::ofstream(dir + "/demo.qvs") << source;
    const testing_qv::QvResult r = testing_qv::RunQv("check " + dir + "/demo.qvs");
    std::string out = r.err + "exit " + std::to_string(r.status) + "\n";
    for (size_t at; (at = out.find(dir + "/")) != std::string::npos;) out.erase(at, dir.size() + 1);
    return out;
}

// A script that may bind any texture and draw any model, so nothing is reported unused.
const std::string kUsesAll =
    "variables ints 1\nscript 0\n  LOADI 0\n  BINDTEX\n  LOADI 0\n"
    "  MODEL\n";

}  // namespace

TEST(CheckSource, ImagesThePlayerRefusesAreErrorsWithTheLoadersReason) {
    const std::string png = "\x89PNG\r\n\x1a\n" + std::string(40, '\0');
    EXPECT_EQ(CheckWithFiles(kUsesAll + "texture 0 image \"wall.png\"\n"
                                        "texture 1 image \"photo.JPEG\"\n"
                                        "texture 2 image \"alpha.bmp\"\n"
                                        "texture 3 image \"renamed.jpg\"\n"
                                        "texture 4 image \"grey.tga\"\n",
                             {{"wall.png", png},
                              {"photo.JPEG", png},
                              {"alpha.bmp", Bmp(4, 4, 32)},
                              {"renamed.jpg", png},
                              {"grey.tga", std::string("\0\0\3", 3) + std::string(40, '\0')}}),
              "demo.qvs:7:1: error: image file 'data/wall.png' is not loaded: the player reads "
              "only names ending in .bmp, .jpg or .tga\n"
              "demo.qvs:8:1: error: image file 'data/photo.JPEG' is not loaded: the player reads "
              "only names ending in .bmp, .jpg or .tga; rename it to 'data/photo.jpg'\n"
              "demo.qvs:9:1: error: image file 'data/alpha.bmp' does not load: 32 bits per pixel: "
              "the player reads only uncompressed 24-bit BMP files\n"
              "demo.qvs:10:1: error: image file 'data/renamed.jpg' does not load: the file is a "
              "PNG image, not a JPEG (only its name says JPEG)\n"
              "demo.qvs:11:1: error: image file 'data/grey.tga' does not load: image type 3 "
              "(greyscale): the player reads true-colour TGAs of 24 or 32 bits\n"
              "exit 1\n");
}

TEST(CheckSource, FilesOfTodaysToolsLoadAndTopDownOnesWarn) {
    EXPECT_EQ(CheckWithFiles(kUsesAll + "texture 0 image \"odd.bmp\"\ntexture 1 image \"id.tga\"\n"
                                        "texture 2 image \"down.bmp\"\n"
                                        "texture 3 image \"topleft.tga\"\n",
                             {{"odd.bmp", Bmp(127, 3)},
                              {"id.tga", Tga("a comment", 0)},
                              {"down.bmp", Bmp(4, -2)},
                              {"topleft.tga", Tga("", 0x20)}}),
              "demo.qvs:9:1: warning: image file 'data/down.bmp' is stored top-down: the player "
              "shows it upside down; flip it with ImageMagick: convert 'data/down.bmp' "
              "'data/down.bmp'\n"
              "demo.qvs:10:1: warning: image file 'data/topleft.tga' is stored top-down: the "
              "player shows it upside down; flip it with ImageMagick: convert 'data/topleft.tga' "
              "-flip 'data/topleft.tga'\n"
              "exit 0\n");
}

TEST(CheckSource, ObjGroupsWhoseFacesAreNotTrianglesWarnAtTheirFirstSuchLine) {
    const std::string obj =
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n"
        "g tris\nf 1/1/1 2/1/1 3/1/1\nf 1/1/1 3/1/1 4/1/1\n"
        "g quads\nf 1/1/1 2/1/1 3/1/1\nf 1/1/1 2/1/1 3/1/1 4/1/1\nf 1/1/1 2/1/1 3/1/1 4/1/1\n"
        "g pair\nf 1/1/1 2/1/1\n";
    EXPECT_EQ(CheckWithFiles(kUsesAll + "model 0 obj \"m.obj\"\n", {{"m.obj", obj}}),
              "demo.qvs:7:1: warning: OBJ file 'data/m.obj', line 12: a face of 4 corners in "
              "group 1; the player draws a group's corners three at a time, so this group draws "
              "broken triangles (qv obj triangulates the file)\n"
              "demo.qvs:7:1: warning: OBJ file 'data/m.obj', line 15: a face of 2 corners in "
              "group 2; the player draws a group's corners three at a time, so this group draws "
              "broken triangles (qv obj triangulates the file)\n"
              "exit 0\n");
}

// Image files of other projects and of today's tools (BMP, TGA and JPEG suites of image
// libraries, ImageMagick's output): qv check reports exactly the files the player's loaders
// refuse, with their reason, and warns about exactly those stored top-down.
TEST(CheckSource, RealWorldImagesAreReportedAsTheLoadersReadThem) {
    const std::filesystem::path folder = "/work/shared/realworld";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << folder << " is absent";
    const std::string dir = testing_qv::FreshFolder();
    std::filesystem::create_directories(dir + "/data");
    std::string source = kUsesAll;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name =
            "img" + std::to_string(names.size()) + entry.path().extension().string();
        if (!entry.is_regular_file() || textures::ImageKindOf(name) == textures::ImageKind::None)
            continue;
        std::filesystem::create_symlink(entry.path(),
                                        dir + "/data/" + name);  // read in place, never copied
        source += "texture " + std::to_string(names.size()) + " image \"" + name + "\"\n";
        names.push_back(entry.path().string());
    }
    ASSERT_GT(names.size(), 400u);
    std::ofstream(dir + "/demo.qvs") << source;
    const testing_qv::QvResult r = testing_qv::RunQv("check " + dir + "/demo.qvs");

    platform::SetContentRoot(dir);
    std::string expected;
    size_t refused = 0, topDown = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string name =
            "img" + std::to_string(i) + std::filesystem::path(names[i]).extension().string();
        const textures::DecodeResult d =
            textures::DecodeImageFile("data\\" + name, textures::ImageKindOf(name));
        const std::string at = dir + "/demo.qvs:" + std::to_string(7 + i) + ":1: ";
        const std::string file = "image file '" + dir + "/data/" + name + "'";
        if (!d.ok) {
            ++refused;
            EXPECT_FALSE(d.reason.empty()) << names[i];
            expected += at + "error: " + file + " does not load: " + d.reason + "\n";
        } else if (d.storedTopDown) {
            ++topDown;
            const std::string path = "'" + dir + "/data/" + name + "'";
            const bool bmp = textures::ImageKindOf(name) == textures::ImageKind::BMP;
            expected += at + "warning: " + file + " is stored top-down: the player shows it " +
                        "upside down; flip it with ImageMagick: convert " + path +
                        (bmp ? " " : " -flip ") + path + "\n";
        }
    }
    platform::SetContentRoot(".");
    EXPECT_EQ(r.err, expected);
    EXPECT_EQ(r.status, refused > 0 ? 1 : 0);
    EXPECT_GT(refused, 50u) << "the suites hold many kinds the player does not read";
    EXPECT_GT(topDown, 5u);
}

// Rows of a tightly packed image in the opposite order.
std::vector<uint8_t> RowsReversed(const textures::DecodedImage& image) {
    const size_t row = image.pixels.size() / size_t(image.height);
    std::vector<uint8_t> out;
    for (size_t y = size_t(image.height); y-- > 0;)
        out.insert(out.end(), image.pixels.begin() + std::ptrdiff_t(y * row),
                   image.pixels.begin() + std::ptrdiff_t((y + 1) * row));
    return out;
}

TEST(RealWorldImages, TodaysToolsFilesLoadAsTheirTwinsInAnotherFormat) {
    const std::string folder = "/work/shared/realworld/imagemagick/";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << folder << " is absent";
    platform::SetContentRoot("/");
    auto decode = [&](const std::string& name) {
        return textures::DecodeImageFile(folder + name, textures::ImageKindOf(name));
    };
    // A 127-pixel-wide BMP (rows padded) and a TGA that carries an image ID (the PNG comment)
    // hold the pixels of ImageMagick's other file of the same picture. These TGAs store the
    // top row first under a header that says bottom-left, so their rows come in the opposite
    // order; a padding or an ID read as pixels would match in neither order.
    for (const char* picture : {"im6-rgb24-127", "im6-hopper"}) {
        SCOPED_TRACE(picture);
        const textures::DecodeResult bmp = decode(std::string(picture) + ".bmp");
        const textures::DecodeResult tga = decode(std::string(picture) + ".tga");
        ASSERT_TRUE(bmp.ok) << bmp.reason;
        ASSERT_TRUE(tga.ok) << tga.reason;
        EXPECT_FALSE(bmp.storedTopDown || tga.storedTopDown);
        EXPECT_EQ(bmp.image.width, tga.image.width);
        EXPECT_EQ(RowsReversed(bmp.image), tga.image.pixels);
    }
    platform::SetContentRoot(".");
}
