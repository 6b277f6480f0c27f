// The instruction reference (generated from the operation tables, kept current in docs/) and
// the command-line conventions every qv command keeps.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "demo/object_ops.h"
#include "demo/opcodes.h"
#include "demo/texture_ops.h"
#include "tests/support/run_qv.h"
#include "tools/source/reference.h"

namespace {

using testing_qv::RunQv;

TEST(Reference, DocsReferenceIsCurrent) {
    std::ifstream in(std::string(QV_SOURCE_DIR) + "/docs/reference.md", std::ios::binary);
    const std::string stored{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(stored == tools::ReferenceMarkdown())
        << "docs/reference.md is out of date: cmake --build build --target reference";
}

TEST(Reference, EveryOpcodeAndOperationHasAnEntry) {
    const std::string md = tools::ReferenceMarkdown();
    int instructions = 0;
    for (int code = 0; code < 256; ++code) {
        const std::string_view m = demo::kOpcodes[size_t(code)].mnemonic;
        if (m.empty()) continue;
        ++instructions;
        const std::string row = "| " + std::to_string(code) + " | `" + std::string(m) + "` |";
        EXPECT_NE(md.find(row), std::string::npos) << m;
        EXPECT_TRUE(tools::ReferenceEntry(m)) << m;
    }
    EXPECT_EQ(instructions, 82);
    for (const demo::TexOpInfo& op : demo::kTexOps)
        EXPECT_NE(md.find("| `" + std::string(op.name) + "` |"), std::string::npos) << op.name;
    for (const demo::ObjectOpInfo& op : demo::kObjectOps)
        EXPECT_NE(md.find("| `" + std::string(op.name) + "` |"), std::string::npos) << op.name;
}

TEST(Reference, OperandsAreNamedInPushOrder) {
    EXPECT_EQ(tools::DescribeOperands(demo::BOX), "3 floats (hz hy hx)");
    EXPECT_EQ(tools::DescribeOperands(demo::MESH_GROUP),
              "3 ints (texBase group model) and 1 float (scale)");
    EXPECT_EQ(tools::DescribeOperands(demo::QUIT), "nothing");
    EXPECT_NE(tools::ReferenceEntry("Disc")->find("P2 radius (0 to 512)"), std::string::npos);
    EXPECT_NE(tools::ReferenceEntry("Cube")->find("subdivisions n (1 to 10)"), std::string::npos);
    EXPECT_FALSE(tools::ReferenceEntry("boxes"));
}

// Names are found without case too; a name that is no entry suggests the nearest ones.
TEST(Reference, NamesIgnoreCaseAndSuggestTheNearest) {
    EXPECT_EQ(tools::ReferenceEntry("box"), tools::ReferenceEntry("BOX"));
    const std::string rotate = tools::ReferenceEntry("rotate").value_or("");
    EXPECT_NE(rotate.find("ROTATE (instruction 30)"), std::string::npos) << rotate;
    EXPECT_NE(rotate.find("Rotate (texture operation 9)"), std::string::npos) << rotate;
    EXPECT_EQ(tools::ReferenceEntry("Rotate")->substr(0, 28), "Rotate (texture operation 9)");
    const std::vector<std::string_view> mnemonics = tools::NamesOf(tools::NameKind::Mnemonic);
    EXPECT_EQ(tools::DidYouMean(tools::NearestNames("BOXX", mnemonics)), " (did you mean BOX?)");
    EXPECT_EQ(tools::DidYouMean(tools::NearestNames("push", mnemonics)),
              " (did you mean PUSHI or PUSHF?)");
    EXPECT_EQ(tools::DidYouMean(tools::NearestNames("NOPE", mnemonics)), "");
    EXPECT_EQ(tools::DidYouMean(tools::NearestNames(std::string(5000, 'B'), mnemonics)), "");

    testing_qv::QvResult r = RunQv("help box");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, 20), "BOX (instruction 92)");
    r = RunQv("help BOXX");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "qv help: no command, instruction or operation is named 'BOXX' (did you mean "
              "BOX?)\n");
    r = RunQv("help rendr");
    EXPECT_NE(r.err.find("(did you mean render?)"), std::string::npos) << r.err;
}

// The engine's habits are in the entries of the instructions they concern: the transform
// that carries over from track to track, and the screen passes with what each needs.
TEST(Reference, EntriesSayWhatAnAuthorMustKnow) {
    auto entry = [](const char* name) { return tools::ReferenceEntry(name).value_or(""); };
    EXPECT_NE(entry("PUSHMATRIX").find("not reset between clips"), std::string::npos);
    EXPECT_NE(entry("CLIPXFORM").find("carries over"), std::string::npos);
    EXPECT_NE(entry("BLUR_DRAW").find("TRANSLATE by (0, 0, -2.4142)"), std::string::npos)
        << entry("BLUR_DRAW");
    for (const char* pass : {"TARGET_BEGIN", "TARGET_END", "BLUR_BEGIN", "BLUR_END"})
        EXPECT_NE(entry(pass).find("the whole back buffer"), std::string::npos) << pass;
    EXPECT_NE(entry("RECT").find("DISABLE 2929"), std::string::npos);
    const std::string md = tools::ReferenceMarkdown();
    EXPECT_NE(md.find("- `BLUR_DRAW`: The overlay is a quad"), std::string::npos);

    // Every "thing worth knowing" of the showcase names an instruction whose entry has a
    // note, or a texture operation (whose entry says it all).
    std::ifstream in(std::string(QV_SOURCE_DIR) + "/docs/showcase.md");
    const std::string showcase{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    size_t at = showcase.find("## Things worth knowing");
    ASSERT_NE(at, std::string::npos);
    int bullets = 0;
    while ((at = showcase.find("\n- **", at)) != std::string::npos) {
        ++at;
        const std::string bullet = showcase.substr(at, showcase.find("\n- ", at) - at);
        bool covered = false;
        for (size_t tick = bullet.find('`'); tick != std::string::npos;
             tick = bullet.find('`', bullet.find('`', tick + 1) + 1)) {
            const std::string name = bullet.substr(tick + 1, bullet.find('`', tick + 1) - tick - 1);
            const int code = demo::FindOpcode(name);
            covered = covered || (code >= 0 && !demo::kOpcodes[size_t(code)].note.empty()) ||
                      entry(name.c_str()).find("texture operation") != std::string::npos;
            if (bullet.find('`', tick + 1) == std::string::npos) break;
        }
        ++bullets;
        EXPECT_TRUE(covered) << bullet;
    }
    EXPECT_GE(bullets, 10);
}

TEST(QvHelp, HelpAndVersionGoToStdoutWithStatusZero) {
    for (const char* args : {"--help", "-h", "help", "--version", "help BOX", "help Disc",
                             "help render", "help --markdown"}) {
        testing_qv::QvResult r = RunQv(args);
        EXPECT_EQ(r.status, 0) << args;
        EXPECT_EQ(r.err, "") << args;
        EXPECT_FALSE(r.out.empty()) << args;
    }
    EXPECT_EQ(RunQv("help BOX").out.substr(0, 22), "BOX (instruction 92)\n ");
    EXPECT_EQ(RunQv("help --markdown").out, tools::ReferenceMarkdown());
}

// A texture operation's entry: its code, what it does, then one parameter a line with its
// name and useful range, in the order the program line gives them.
TEST(QvHelp, ATextureOperationShowsItsParametersOneALine) {
    EXPECT_EQ(RunQv("help Disc").out,
              "Disc (texture operation 12)\n"
              "  does:    filled disc; it wraps around the edges\n"
              "  parameters:\n"
              "    P0 centre x (0 to 511)\n"
              "    P1 centre y (0 to 511)\n"
              "    P2 radius (0 to 512)\n"
              "    P3 colour (0x000000-0xFFFFFF (red lowest))\n"
              "    P4 layer (0 to 7)\n");
    EXPECT_EQ(RunQv("help Fill").out,
              "Fill (texture operation 0)\n"
              "  does:    every pixel of the layer becomes the colour\n"
              "  parameters:\n"
              "    P0 colour (0x000000-0xFFFFFF (red lowest))\n"
              "    P1 unused (not read)\n"
              "    P2 layer (0 to 7)\n");
}

TEST(QvHelp, EveryCommandDescribesItsOptions) {
    const std::pair<const char*, const char*> kCommands[] = {
        {"build", "-o OUT.acs"}, {"dump", "--offsets"}, {"check", "--werror"}, {"trace", "--times"},
        {"texture", "--raw"},    {"model", "--obj"},    {"render", "--fps"},   {"synth", "-o OUT"}};
    for (const auto& [command, option] : kCommands) {
        for (const std::string& args :
             {std::string(command) + " --help", "help " + std::string(command)}) {
            testing_qv::QvResult r = RunQv(args);
            EXPECT_EQ(r.status, 0) << args;
            EXPECT_EQ(r.err, "") << args;
            EXPECT_EQ(r.out.substr(0, 10 + std::string(command).size()),
                      "usage: qv " + std::string(command))
                << args;
            EXPECT_NE(r.out.find(option), std::string::npos) << args;
        }
    }
}

TEST(QvHelp, EveryHelpEndsWithTheExitStatusAndListsWhatItWrites) {
    for (const char* command :
         {"build", "dump", "check", "trace", "texture", "model", "render", "synth", "play"})
        EXPECT_NE(RunQv(std::string(command) + " --help").out.find("Exit status:"),
                  std::string::npos)
            << command;
    const std::string synth = RunQv("synth --help").out;
    for (const char* format : {".wav", ".flac", ".ogg", ".mp3"})
        EXPECT_NE(synth.find(format), std::string::npos) << format;
    EXPECT_NE(RunQv("play --help").out.find("Tab shows or hides the overlay"), std::string::npos);
}

// Wrong arguments name what is wrong, as "qv COMMAND: ..." before the usage.
TEST(QvHelp, UsageErrorsNameTheOffendingArgument) {
    const std::pair<const char*, const char*> kCases[] = {
        {"build --bogus", "qv build: unexpected argument '--bogus'\n"},
        {"build a.qvs", "qv build: -o is missing: name the demo file to write\n"},
        {"build a.qvs -o", "qv build: -o needs the demo file to write\n"},
        {"dump a.acs --bogus", "qv dump: unexpected argument '--bogus'\n"},
        {"dump", "qv dump: no demo file given\n"},
        {"synth p.synth", "qv synth: -o is missing: name the sound file to write\n"},
        {"synth p.synth -x", "qv synth: unexpected argument '-x'\n"},
        {"texture a.acs --slot x -o t.png", "qv texture: --slot needs a slot number, 0 or more\n"},
        {"texture a.acs --slot 0", "qv texture: give either --raw OUT.rgba or -o OUT.png\n"},
        {"model a.acs --index 0 --bogus", "qv model: unexpected argument '--bogus'\n"},
        {"model a.acs", "qv model: give either --program PROG.bin or DEMO --index N\n"},
    };
    for (const auto& [args, first] : kCases) {
        testing_qv::QvResult r = RunQv(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), first) << args;
        EXPECT_NE(r.err.find("usage: qv "), std::string::npos) << args;
    }
}

TEST(QvHelp, MistakesGoToStderrWithTheCommandNamed) {
    testing_qv::QvResult r = RunQv("--nonsense");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.substr(0, 36), "qv: unknown command '--nonsense'\nusa");
    r = RunQv("help NOPE");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "qv help: no command, instruction or operation is named 'NOPE' "
              "(qv help --markdown lists them)\n");
    r = RunQv("check");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.substr(0, 15), "usage: qv check");
    // One wording for a file that cannot be read, whichever command reads it.
    for (const char* command : {"check", "dump", "build"}) {
        r = RunQv(std::string(command) + " /nonexistent/x.acs" +
                  (std::string(command) == "build" ? " -o /dev/null" : ""));
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.err, "qv " + std::string(command) +
                             ": /nonexistent/x.acs: cannot open the file (No such file or "
                             "directory)\n");
    }
    r = RunQv("model --program /nonexistent/p.bin");
    EXPECT_EQ(r.err,
              "qv model: /nonexistent/p.bin: cannot open the file (No such file or "
              "directory)\n");
}

TEST(QvHelp, OutputsToStdoutAndPngNames) {
    const std::string dir = testing_qv::FreshFolder();
    std::ofstream(dir + "/a.qvs") << "title \"A\"\nscript\n  QUIT\n";
    testing_qv::QvResult r = RunQv("build " + dir + "/a.qvs -o -");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, 2), "A\x1a");
    std::ofstream(dir + "/p.bin", std::ios::binary) << std::string(4, '\0');
    r = RunQv("texture --program " + dir + "/p.bin -o " + dir + "/out.jpg");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "qv texture: '" + dir + "/out.jpg': the output is a PNG image; name it .png\n");
    r = RunQv("texture --program " + dir + "/p.bin -o -");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(1, 3), "PNG");
    // qv render writes PNG bytes too, so it refuses another name (a folder of frames names
    // its own files).
    r = RunQv("render " + dir + "/a.qvs --time 100 -o " + dir + "/f.jpg");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "qv render: '" + dir + "/f.jpg': the output is a PNG image; name it .png\n");
    r = RunQv("render " + dir + "/a.qvs --frames 100:200:100 -o " + dir + "/shots/f%03d.jpg");
    EXPECT_EQ(r.status, 2);
}

// The engine's messages in a tool are the tool's lines: "qv render: ...", without the
// player's caption "Quorvanel Error".
TEST(QvHelp, EngineMessagesCarryTheToolsPrefix) {
    const std::string dir = testing_qv::FreshFolder();
    std::ofstream(dir + "/short.acs", std::ios::binary) << "abc";
    testing_qv::QvResult r = RunQv("render " + dir + "/short.acs --time 100 -o " + dir + "/f.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qv render: " + dir + "/short.acs: file ends inside the title (no byte 26)\n");
}

// Every command that reads a demo file reads a demo source too, built in memory: the same
// output as for the demo file `qv build` makes of it. What a source is, qv check decides as
// qv play does: the name ends in .qvs, in any case.
TEST(QvCommands, EveryCommandTakesASource) {
    const std::string dir = testing_qv::FreshFolder();
    std::ofstream(dir + "/a.qvs") << "title \"A\"\nscript\n  PUSHI 0\n  BINDTEX\n  PUSHF 0\n"
                                     "  PUSHF 0\n  PUSHF -5\n  TRANSLATE\n  PUSHI 0\n  MODEL\n"
                                     "clip track 0 start 0 length 1000 script 0\n"
                                     "texture 0 program\n  Fill 0x2080FF 0 0\n"
                                     "model 0 program\n  Cube 1\n";
    ASSERT_EQ(RunQv("build " + dir + "/a.qvs -o " + dir + "/a.acs").status, 0);
    for (const std::string args : {"dump %", "trace % --times 0,100", "texture % --slot 0 -o -",
                                   "model % --index 0", "check %"}) {
        auto with = [&args, &dir](const char* file) {
            std::string a = args;
            return RunQv(a.replace(a.find('%'), 1, dir + "/" + file));
        };
        const testing_qv::QvResult fromSource = with("a.qvs"), fromFile = with("a.acs");
        EXPECT_EQ(fromSource.status, 0) << args << fromSource.err;
        EXPECT_EQ(fromSource.out, fromFile.out) << args;
        EXPECT_FALSE(fromSource.out.empty() && args != "check %") << args;
    }
    ASSERT_EQ(RunQv("render " + dir + "/a.qvs --time 100 -o " + dir + "/s.png").status, 0);
    ASSERT_EQ(RunQv("render " + dir + "/a.acs --time 100 -o " + dir + "/f.png").status, 0);
    EXPECT_EQ(std::system(("cmp -s " + dir + "/s.png " + dir + "/f.png").c_str()), 0);

    // A source with errors gives them, as qv build does.
    std::ofstream(dir + "/bad.qvs") << "script\n  NOPE\n";
    for (const char* command : {"render % --time 100 -o x.png", "trace % --times 0", "dump %"}) {
        std::string args = command;
        testing_qv::QvResult r = RunQv(args.replace(args.find('%'), 1, dir + "/bad.qvs"));
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.err, dir + "/bad.qvs:2:3: error: unknown mnemonic 'NOPE'\n") << command;
    }
    // Any case of .qvs is a source; any other name is a demo file, whatever it holds.
    std::ofstream(dir + "/BAD.QVS") << "script\n  NOPE\n";
    EXPECT_EQ(RunQv("check " + dir + "/BAD.QVS").err,
              dir + "/BAD.QVS:2:3: error: unknown mnemonic 'NOPE'\n");
    std::ofstream(dir + "/bad.txt") << "script\n  NOPE\n";
    EXPECT_EQ(RunQv("check " + dir + "/bad.txt").err,
              "qv check: " + dir + "/bad.txt: file ends inside the title (no byte 26)\n");
}

}  // namespace
