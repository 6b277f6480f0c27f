#include <gtest/gtest.h>

#include <sys/wait.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "core/byte_reader.h"
#include "core/file_io.h"
#include "demo/demo_file.h"
#include "demo/opcodes.h"
#include "tools/source/demo_source.h"
#include "tools/source/source_text.h"

using namespace std::string_literals;

namespace {

std::string I32(int32_t v) {
    std::string s;
    core::AppendI32(s, v);
    return s;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(char(v));
    return s;
}

std::span<const uint8_t> Span(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// dump then build: the same bytes, and a second dump gives the same text.
testing::AssertionResult RoundTrips(const std::string& file) {
    demo::DemoFile read;
    demo::DemoResult r = demo::ParseDemoFile(Span(file), "gen.acs", read);
    if (!r.Ok()) return testing::AssertionFailure() << "reader refused it: " << r.message;
    const std::string text = tools::FormatDemoSource(read);
    demo::DemoFile built;
    std::string error;
    if (!tools::ParseDemoSource(text, "gen.qvs", built, error))
        return testing::AssertionFailure() << error << "\n" << text;
    const std::string again = demo::WriteDemoFile(built);
    if (again != file) {
        size_t at = 0;
        while (at < file.size() && at < again.size() && file[at] == again[at]) ++at;
        return testing::AssertionFailure() << "bytes differ from offset " << at << "\n" << text;
    }
    if (tools::FormatDemoSource(built) != text)
        return testing::AssertionFailure() << "second dump differs";
    // The offsets of `qv dump --offsets` are comments: the same bytes again.
    if (!tools::ParseDemoSource(tools::FormatDemoSource(read, true), "gen.qvs", built, error) ||
        demo::WriteDemoFile(built) != file)
        return testing::AssertionFailure() << "the dump with offsets builds otherwise: " << error;
    return testing::AssertionSuccess();
}

// Builds the source and returns the demo file's bytes; fails the test on a source error.
std::string Build(const std::string& source) {
    demo::DemoFile d;
    std::string error;
    EXPECT_TRUE(tools::ParseDemoSource(source, "t.qvs", d, error)) << error;
    return demo::WriteDemoFile(d);
}

std::string BuildError(const std::string& source) {
    demo::DemoFile d;
    std::string error;
    EXPECT_FALSE(tools::ParseDemoSource(source, "t.qvs", d, error)) << source;
    return error;
}

// Sections 2 to 10 of a file whose tables are all empty, for comparing built bytes.
const std::string kMagic = "quorvanel1";
std::string EmptyTail() { return I32(0) + I32(0) + I32(0) + I32(0) + I32(0) + I32(0) + I32(0); }

// --- random demo files ---------------------------------------------------------------------

struct Generator {
    std::mt19937 rng;
    explicit Generator(uint32_t seed) : rng(seed) {}

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool Chance(int percent) { return Int(0, 99) < percent; }
    char Byte() { return char(Int(0, 255)); }
    std::string RandomBytes(int maxLength) {
        std::string s;
        for (int n = Int(0, maxLength); n > 0; --n) s.push_back(Byte());
        return s;
    }
    int32_t AnyInt() {
        switch (Int(0, 3)) {
            case 0: return Int(-3, 3);
            case 1: return Int(-100000, 100000);
            default: return int32_t(uint32_t(rng()));
        }
    }
    // Any 32 bits: NaNs with payloads, infinities, negative zero and denormals included.
    float AnyFloat() {
        static const uint32_t kSpecial[] = {0x80000000u, 0x7fc00000u, 0xffc00001u, 0x7f800001u,
                                            0x7f800000u, 0x00000001u, 0x3dcccccdu, 0x3f800000u};
        uint32_t bits = Chance(30) ? kSpecial[Int(0, 7)] : Chance(50) ? uint32_t(rng()) : 0u;
        if (Chance(30)) {
            float plain = float(Int(-1000, 1000)) / 8.0f;
            std::memcpy(&bits, &plain, 4);
        }
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }

    // Random instructions, jumps to instruction starts, undefined opcodes, and now and then a
    // last instruction cut off by the end.
    std::vector<uint8_t> Code() {
        std::string code;
        std::vector<size_t> starts;
        for (int n = Int(0, 24); n > 0; --n) {
            starts.push_back(code.size());
            if (Chance(15) && !starts.empty()) {
                code += char(demo::PUSHI) +
                        I32(int32_t(starts[size_t(Int(0, int(starts.size()) - 1))]));
                code += char(Chance(50) ? demo::JMP : demo::JEQ);
                continue;
            }
            const uint8_t op = uint8_t(Chance(60) ? Int(0, 5) : Int(0, 255));
            code.push_back(char(op));
            if (op == demo::PUSHF) {
                std::string f;
                core::AppendF32(f, AnyFloat());
                code += f;
            } else {
                for (int k = 1; k < demo::InstructionLength(op); ++k) code.push_back(Byte());
            }
        }
        if (Chance(15)) code += char(Chance(50) ? demo::PUSHI : demo::LOADF);  // cut off
        if (Chance(10)) code += char(demo::PUSHI) + I32(int32_t(code.size() + 6)) + char(demo::JMP);
        return {code.begin(), code.end()};
    }
    demo::Script AnyScript() {
        demo::Script s;
        if (Chance(15)) {
            s.length = Int(-5, 0);
            return s;
        }
        s.code = Chance(10) ? std::vector<uint8_t>(0) : Code();
        if (Chance(10)) {
            std::string raw = RandomBytes(20);
            s.code.assign(raw.begin(), raw.end());
        }
        s.length = int32_t(s.code.size());
        return s;
    }
    demo::CountedText Text(std::string bytes) {
        demo::CountedText t;
        t.bytes = std::move(bytes);
        t.storedLength = int32_t(t.bytes.size());
        if (t.bytes.empty() && Chance(30)) t.storedLength = Int(-9, -1);
        return t;
    }

    // A counted list of records: the stored count usually matches, sometimes not; bytes after
    // it or a last record cut short now and then.
    std::string CountedRecords(int countBytes, const std::vector<std::string>& records) {
        int32_t count = int32_t(records.size());
        if (Chance(15)) count = Int(-3, int(records.size()) + 3);
        std::string body;
        for (const std::string& r : records) body += r;
        if (Chance(20)) body.resize(size_t(Int(0, int(body.size()))));
        if (Chance(20)) body += RandomBytes(6);
        std::string out = countBytes == 4 ? I32(count) : Bytes({(count >> 8) & 0xFF, count & 0xFF});
        return out + body;
    }
    std::string TextureProgram() {
        std::vector<std::string> ops;
        for (int n = Int(0, 5); n > 0; --n) {
            std::string op = Bytes({Chance(80) ? Int(0, 13) : Int(0, 255)});
            const int params = Int(0, 7);
            op.push_back(char(params));
            for (int k = 0; k < params; ++k) {
                op += I32(AnyInt());
                const std::string label = Chance(20) ? RandomBytes(12) : "";
                op.push_back(char(label.size()));
                op += label;
            }
            ops.push_back(op);
        }
        return "\x02" + CountedRecords(4, ops);
    }
    std::string PathString() {
        std::vector<std::string> segments;
        for (int n = Int(0, 4); n > 0; --n) {
            std::string s;
            for (int k = 0; k < 7; ++k) {
                const int v = k == 6 && Chance(70) ? 0 : Int(-32768, 32767);
                s += Bytes({(v >> 8) & 0xFF, v & 0xFF});
            }
            s.push_back(Chance(70) ? 0 : Byte());
            segments.push_back(s);
        }
        return CountedRecords(2, segments);
    }
    std::string ObjectProgram() {
        std::string p(1, '\0');
        for (int n = Int(0, 6); n > 0; --n) {
            switch (Int(0, 3)) {
                case 0: p += char(254); break;
                case 1: {
                    p += char(255);
                    for (int k = 0; k < 6; ++k) core::AppendF32(p, AnyFloat());
                    p += char(Chance(80) ? 255 : Int(0, 255));
                    break;
                }
                default:
                    p +=
                        Bytes({Chance(70) ? Int(0, 6) : Int(0, 253), Chance(50) ? 0 : Int(0, 255)});
            }
        }
        if (Chance(20)) p.resize(size_t(Int(1, int(p.size()))));
        return p;
    }
    demo::CountedText TextureSource() {
        switch (Int(0, 5)) {
            case 0: return Text("");
            case 1: return Text(Chance(70) ? std::string(1, '\0') : '\0' + RandomBytes(5));
            case 2: return Text(Chance(20) ? "\x02" + RandomBytes(4) : TextureProgram());
            case 3: return Text("rock" + RandomBytes(3) + ".jpg");
            default: return Text(RandomBytes(10));
        }
    }
    demo::CountedText ModelSource() {
        switch (Int(0, 4)) {
            case 0: return Text(ObjectProgram());
            case 1: return Text("\x01ship" + RandomBytes(3) + ".obj");
            case 2: return Text("data\\m" + RandomBytes(2) + ".vtx");
            default: return Text(RandomBytes(8));
        }
    }
    template <typename T, typename Make>
    void Table(int32_t& count, std::vector<T>& items, Make make) {
        if (Chance(10)) {
            count = Int(-5, 0);
            return;
        }
        count = Int(0, 5);
        for (int32_t i = 0; i < count; ++i) items.push_back(make());
    }

    demo::DemoFile File() {
        demo::DemoFile d;
        for (char c : RandomBytes(12))
            if (c != 26) d.title.push_back(c);
        Table(d.scriptCount, d.scripts, [&] { return AnyScript(); });
        Table(d.clipCount, d.clips, [&] {
            demo::Clip c;
            c.track = uint8_t(Int(0, 255));
            c.start = AnyInt();
            c.length = AnyInt();
            c.scriptIndex = AnyInt();
            for (float* f :
                 {&c.translateX, &c.translateY, &c.translateZ, &c.rotateX, &c.rotateY, &c.rotateZ})
                *f = AnyFloat();
            return c;
        });
        if (Chance(30))
            for (auto& record : d.trackRecords)
                for (uint8_t& b : record) b = Chance(50) ? 0 : uint8_t(Byte());
        Table(d.textureCount, d.textureSources, [&] { return TextureSource(); });
        Table(d.pathCount, d.pathStrings,
              [&] { return Text(Chance(20) ? RandomBytes(3) : PathString()); });
        d.intVarCount = AnyInt();
        d.floatVarCount = AnyInt();
        d.musicFile = Text(Chance(20) ? "" : "song" + RandomBytes(4) + ".ogg");
        Table(d.modelCount, d.modelSources, [&] { return ModelSource(); });
        d.trailingScript = AnyScript();
        if (Chance(20)) d.bytesAfterEnd = RandomBytes(30);
        return d;
    }
};

}  // namespace

// --- the round trip -------------------------------------------------------------------------

TEST(DemoSourceRoundTrip, GeneratedDemoFilesComeBackByteForByte) {
    Generator gen(20261207);
    for (int i = 0; i < 3000; ++i) {
        const std::string file = demo::WriteDemoFile(gen.File());
        ASSERT_TRUE(RoundTrips(file)) << "file " << i;
    }
}

// Random damage to generated files: whatever the reader still accepts must round-trip.
TEST(DemoSourceRoundTrip, DamagedFilesThatStillReadComeBackByteForByte) {
    Generator gen(7);
    int accepted = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string file = demo::WriteDemoFile(gen.File());
        for (int n = gen.Int(1, 4); n > 0; --n) {
            const size_t at = size_t(gen.Int(12, int(file.size()) - 1));
            file[at] = gen.Chance(50) ? gen.Byte() : char(file[at] ^ (1 << gen.Int(0, 7)));
        }
        demo::DemoFile d;
        if (!demo::ParseDemoFile(Span(file), "d.acs", d).Ok()) continue;
        ++accepted;
        ASSERT_TRUE(RoundTrips(file)) << "file " << i;
    }
    EXPECT_GT(accepted, 300);
}

TEST(DemoSourceRoundTrip, HandWrittenTrickyFiles) {
    const std::string tracks(120, '\0');
    std::string wildTracks;
    for (int i = 0; i < 120; ++i) wildTracks.push_back(char(i * 37));
    const std::string cp1252Title =
        "D\xfc"
        "sen \x80 \x81\xa0\xad\x7f\x00\t\"\\\xff"s;
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"undefined opcodes and a cut-off PUSHF", "\x1a" + kMagic + I32(1) + I32(6) +
                                                      Bytes({17, 49, 200, 2, 0, 0}) + I32(0) +
                                                      tracks + EmptyTail()},
        {"jump targets past the end, inside an instruction and negative",
         "\x1a" + kMagic + I32(1) + I32(18) +
             Bytes({0, 99, 0, 0, 0, 24, 0, 2, 0, 0, 0, 46, 0, 0xff, 0xff, 0xff, 0xff, 24}) +
             I32(0) + tracks + EmptyTail()},
        {"jump to the very end", "\x1a" + kMagic + I32(1) + I32(6) + Bytes({0, 6, 0, 0, 0, 24}) +
                                     I32(0) + tracks + EmptyTail()},
        {"arbitrary track bytes", "T\x1a" + kMagic + I32(0) + I32(0) + wildTracks + EmptyTail()},
        {"negative counts and lengths everywhere",
         "\x1a" + kMagic + I32(-1) + I32(-7) + tracks + I32(2) + I32(-1) + I32(0) + I32(1) +
             I32(-9) + I32(-3) + I32(-4) + I32(-5) + I32(-2) + I32(-8)},
        {"Windows-1252 title with control bytes",
         cp1252Title + "\x1a" + kMagic + I32(0) + I32(0) + tracks + EmptyTail()},
        {"texture sources that are no valid programs",
         "\x1a" + kMagic + I32(0) + I32(0) + tracks + I32(5) + I32(1) + "\x02" + I32(4) +
             Bytes({2, 1, 0, 0}) + I32(6) + "\x02" + I32(-1) + "z" + I32(3) + Bytes({0, 1, 2}) +
             I32(2) + Bytes({2, 0}) + I32(0) + I32(0) + I32(0) + I32(0) + I32(0) + I32(0)},
        {"texture program with a label, a wrong count and trailing bytes",
         "\x1a" + kMagic + I32(0) + I32(0) + tracks + I32(1) + I32(17) + "\x02" + I32(3) +
             Bytes({20, 1}) + I32(-5) + Bytes({3}) + "abc" + "++" + I32(0) + I32(0) + I32(0) +
             I32(0) + I32(0) + I32(0)},
        {"object programs cut inside records and with a bad box end",
         "\x1a" + kMagic + I32(0) + I32(0) + tracks + I32(0) + I32(0) + I32(0) + I32(0) + I32(0) +
             I32(3) + I32(4) + Bytes({0, 0, 1, 3}) + I32(27) + Bytes({0, 255}) +
             std::string(24, '\x7f') + Bytes({7}) + I32(10) + Bytes({0, 255}) +
             std::string(8, '\x01') + I32(0)},
        {"path strings: negative count, short and trailing bytes",
         "\x1a" + kMagic + I32(0) + I32(0) + tracks + I32(0) + I32(3) + I32(2) +
             Bytes({0xff, 0xff}) + I32(1) + Bytes({0}) + I32(20) + Bytes({0, 1}) +
             std::string(15, '\x05') + "abc" + I32(0) + I32(0) + I32(0) + I32(0) + I32(0)},
        {"bytes after the end",
         "\x1a" + kMagic + I32(0) + I32(0) + tracks + EmptyTail() + "\x00tail\x1a"s},
        {"vertex-file path that starts with a quote and a backslash",
         "\x1a" + kMagic + I32(0) + I32(0) + tracks + I32(0) + I32(0) + I32(0) + I32(0) + I32(0) +
             I32(1) + I32(6) + "\"\\a b;" + I32(0)},
    };
    for (const auto& [what, file] : cases) EXPECT_TRUE(RoundTrips(file)) << what;
}

// --- the source form ------------------------------------------------------------------------

TEST(DemoSource, SmallSourceAssemblesToTheExpectedBytes) {
    const std::string source = R"(; a small demo
title "Düsenjäger \x01"
script 0
    PUSHI 2          ; the 13-byte example: variable 0 := 2 + 3
    PUSHI 3
    ADDI
    STOREI 0
script 1
loop:
    PUSHF -0.5
    LOADF 7
    PUSHI @done
    JEQ
    PUSHI @loop
    JMP
done: .byte 17 "A"
clip track 1 start 100 length 2000 script 1 rotate 0 90 0
track 2 0 0 0 0 0 0xAB
texture 0 program
    Fill 0xFF "red" 0 0
texture 1 target length -2
path 0
    segment 1 -2 3 -4 5 -6 extra 7 8
variables floats 2 ints 3
music "m.ogg"
model 0 program
    Cube 1
    SelectBox 0 0 0 1 1 bits:0x7FC00000 end 9
    Grow
model 1 obj "o.obj"
trailing
    QUIT
after-end
    .byte 0x00 "x"
)";
    std::string expected = "D\xfcsenj\xe4ger \x01\x1a" + kMagic + I32(2);
    expected += I32(13) + Bytes({0, 2, 0, 0, 0, 0, 3, 0, 0, 0, 8, 4, 0});
    std::string s1 =
        Bytes({2, 0, 0, 0, 0xbf, 3, 7, 0, 19, 0, 0, 0, 46, 0, 0, 0, 0, 0, 24, 17, 'A'});
    expected += I32(int32_t(s1.size())) + s1;
    expected += I32(1) + Bytes({1}) + I32(100) + I32(2000) + I32(1) + I32(0) + I32(0) + I32(0) +
                I32(0) + "\x00\x00\xb4\x42"s + I32(0);
    expected += std::string(12, '\0') + Bytes({0, 0, 0, 0, 0, 0xab}) + std::string(102, '\0');
    // The texture program of the worked example: one Fill, pure red on layer 0, with a label.
    const std::string program = "\x02" + I32(1) + Bytes({0, 3}) + I32(255) + "\x03red" + I32(0) +
                                std::string(1, '\0') + I32(0) + std::string(1, '\0');
    expected += I32(2) + I32(int32_t(program.size())) + program + I32(-2);
    expected += I32(1) + I32(17) +
                Bytes({0, 1, 0, 1, 0xff, 0xfe, 0, 3, 0xff, 0xfc, 0, 5, 0xff, 0xfa, 0, 7, 8});
    expected += I32(3) + I32(2) + I32(5) + "m.ogg";
    const std::string model = Bytes({0, 0, 1, 255}) + std::string(12, '\0') +
                              "\x00\x00\x80\x3f\x00\x00\x80\x3f"s + "\x00\x00\xc0\x7f"s +
                              Bytes({9, 1, 0});
    expected += I32(2) + I32(int32_t(model.size())) + model + I32(6) + "\x01o.obj";
    expected += I32(1) + Bytes({255}) + std::string("\0x", 2);
    EXPECT_EQ(Build(source), expected);
}

TEST(DemoSource, TheSmallestFileIsATitleAlone) {
    const std::string smallest =
        "A\x1a" + kMagic + I32(0) + I32(0) + std::string(120, '\0') + EmptyTail();
    EXPECT_EQ(smallest.size(), 168u);
    EXPECT_EQ(Build("title \"A\""), smallest);
    EXPECT_EQ(Build("\xEF\xBB\xBFtitle \"A\" ; saved with a byte-order mark\r\n"), smallest);
    EXPECT_TRUE(RoundTrips(smallest));
}

TEST(DemoSource, DumpShowsLabelsNamesAndColours) {
    const std::string program = "\x02" + I32(1) + Bytes({8, 2}) + I32(0xFFFFFF) + Bytes({0}) +
                                I32(0x10) +
                                "\x05"
                                "above";
    const std::string file = "\x1a" + kMagic + I32(1) + I32(7) + Bytes({17, 0, 0, 0, 0, 0, 24}) +
                             I32(0) + std::string(120, '\0') + I32(1) +
                             I32(int32_t(program.size())) + program + I32(0) + I32(0) + I32(0) +
                             I32(0) + I32(0) + I32(0);
    demo::DemoFile d;
    ASSERT_TRUE(demo::ParseDemoFile(Span(file), "d.acs", d).Ok());
    const std::string text = tools::FormatDemoSource(d);
    EXPECT_NE(text.find("L1:\n    .byte 17\n    PUSHI @L1\n    JMP\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    VerticalGradient 0xFFFFFF 0x000010 \"above\"\n"), std::string::npos)
        << text;
}

TEST(DemoSource, ErrorsNameFileAndLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"title \"x\"\nscript\n  PUSH 1",
         "t.qvs:3:3: error: unknown mnemonic 'PUSH' (did you mean PUSHI or PUSHF?)"},
        {"script\n  BOXX", "t.qvs:2:3: error: unknown mnemonic 'BOXX' (did you mean BOX?)"},
        {"script\n  pushi 1",
         "t.qvs:2:3: error: unknown mnemonic 'pushi' (mnemonics are upper case)"},
        {"script\n  PUSHI @nowhere\n  JMP", "t.qvs:2:9: error: undefined label 'nowhere'"},
        {"script\nx:\nx: QUIT", "t.qvs:3:1: error: label 'x' is defined twice (first at line 2)"},
        {"script\n  JMP @x",
         "t.qvs:2:7: error: JMP takes its target from the stack: write PUSHI @label before it"},
        {"script\n  PUSHI 4294967296",
         "t.qvs:2:9: error: PUSHI operand must be an integer from -2147483648 to 4294967295, not "
         "'4294967296'"},
        {"script\n  PUSHF 1.5x", "t.qvs:2:9: error: PUSHF operand must be a float, not '1.5x'"},
        {"script\n  LOADI 256",
         "t.qvs:2:9: error: LOADI variable index must be an integer from 0 to 255, not '256'"},
        {"script\n  ADDI 1",
         "t.qvs:2:8: error: ADDI takes its operands from the stacks, not from its line: push 2 "
         "ints (a b) before it"},
        {"script\n  BOX 1 1 1",
         "t.qvs:2:7: error: BOX takes its operands from the stacks, not from its line: push 3 "
         "floats (hz hy hx) before it"},
        {"script\n  PATHPART 1",
         "t.qvs:2:12: error: PATHPART takes its operands from the stacks, not from its line: "
         "push 1 int (path) and 1 float (amount) before it"},
        {"script\n  END 1", "t.qvs:2:7: error: END takes no operands"},
        {"title \"x\" \"y\"", "t.qvs:1:11: error: unexpected \"y\""},
        {"script 1", "t.qvs:1:8: error: script 1 is out of order: the next script is 0"},
        {"script length -2\n  QUIT",
         "t.qvs:1:1: error: length -2 does not match the 1 bytes given"},
        {"title \"a\x1a\"",
         "t.qvs:1:7: error: the title cannot hold byte 26 (\\x1A): it ends the title"},
        {"title \"a", "t.qvs:1:7: error: string has no closing quote"},
        {"title \"\\q\"", "t.qvs:1:7: error: unknown escape \\q"},
        {"title \"\xe2\x82\xac\xe2\x98\x83\"",
         "t.qvs:1:7: error: character U+2603 is not in Windows-1252 (write bytes as \\xHH)"},
        {"title \"\xff\"", "t.qvs:1:7: error: string is not valid UTF-8"},
        {"title \"a\"\ntitle \"b\"", "t.qvs:2:1: error: second 'title' (the first is at line 1)"},
        {"  QUIT",
         "t.qvs:1:3: error: expected a directive (title, script, clip, track, texture, path, "
         "variables, "
         "music, model, trailing, count, after-end, bpm), not 'QUIT'"},
        {"clip track 1 start 0 length 5", "t.qvs:1:1: error: clip needs 'script'"},
        {"clip track 256 start 0 length 5 script 0",
         "t.qvs:1:12: error: track must be an integer from 0 to 255, not '256'"},
        {"clip track 1 start 0 track 2 length 5 script 0",
         "t.qvs:1:28: error: clip field 'track' given twice"},
        {"variables ints 1 floats 2 ints 3", "t.qvs:1:32: error: 'ints' given twice"},
        {"clip track 1 colour 3",
         "t.qvs:1:21: error: unknown clip field 'colour' (track, start, length, script, translate, "
         "rotate)"},
        {"track 20 0 0 0 0 0 0",
         "t.qvs:1:7: error: track number must be an integer from 0 to 19, not '20'"},
        {"texture 0 image \"\\x02x\"",
         "t.qvs:1:17: error: an image file name cannot be empty or start with byte 2: "
         "the player would read another kind of source (use raw)"},
        {"texture 0 program\n  Blurr 1 2",
         "t.qvs:2:3: error: unknown texture operation 'Blurr' (did you mean Blur?)"},
        {"texture 0 program\n  Fill \"x\"",
         "t.qvs:2:8: error: a label must follow a parameter value"},
        {"texture 0 picture \"a\"",
         "t.qvs:1:19: error: unknown texture kind 'picture' (program, image, target, none, raw)"},
        {"path 0\n  segment 1 2 3 4 5", "t.qvs:2:20: error: missing cy"},
        {"path 0\n  segment 1 2 3 4 5 40000",
         "t.qvs:2:21: error: cy must be an integer from -32768 to 32767, not '40000'"},
        {"model 0 program\n  SelectBox 0 0 0 1 1", "t.qvs:2:22: error: missing max z"},
        {"model 0 program\n  Op254", "t.qvs:2:3: error: unknown object operation 'Op254'"},
        {"model 0 program\n  Smoothen",
         "t.qvs:2:3: error: unknown object operation 'Smoothen' (did you mean Smooth?)"},
        {"path 0\n  segmnt 1 2 3 4 5 6",
         "t.qvs:2:3: error: expected 'segment', '.count' or '.byte', not 'segmnt'"},
        {"model 0 file \"\\x01a\"",
         "t.qvs:1:14: error: a vertex-file path cannot be empty or start with byte 1: "
         "the player would read another kind of source (use raw)"},
        {"count scripts -1\nscript\n  QUIT",
         "t.qvs:1:1: error: count -1 does not match the 1 scripts given"},
        {"count textures 2", "t.qvs:1:1: error: count 2 does not match the 0 textures given"},
        {"after-end\n  QUIT", "t.qvs:2:7: error: only .byte lines belong after 'after-end'"},
        {"after-end\n  .byte 256",
         "t.qvs:2:9: error: byte value must be 0 to 255 or a string, not '256'"},
    };
    for (const auto& [source, message] : cases) EXPECT_EQ(BuildError(source), message) << source;
}

// One run reports every error of the file, each at its token, and goes on after a directive
// that failed without repeating its error for the lines of its block.
TEST(DemoSource, EveryErrorOfAFileIsReported) {
    const std::string source =
        "title \"x\"\n"
        "script 0\n"
        "    PUSHF 1\n"
        "    BOX 1 1 1\n"
        "    PUSH 2\n"
        "  PUSHI @nowhere\n"
        "script 5\n"
        "    QUIT\n"
        "clip track 1 start 0 length 5\n"
        "texture 0 program\n"
        "    Disc 256 x\n";
    EXPECT_EQ(BuildError(source),
              "t.qvs:4:9: error: BOX takes its operands from the stacks, not from its line: push "
              "3 floats (hz hy hx) before it\n"
              "t.qvs:5:5: error: unknown mnemonic 'PUSH' (did you mean PUSHI or PUSHF?)\n"
              "t.qvs:6:9: error: undefined label 'nowhere'\n"
              "t.qvs:7:8: error: script 5 is out of order: the next script is 1\n"
              "t.qvs:9:1: error: clip needs 'script'\n"
              "t.qvs:11:14: error: parameter must be an integer from -2147483648 to 4294967295, "
              "not 'x'");
}

// A one-line item that fails (a clip, a title) leaves the next line to be read on its own,
// and a word at column 1 that its block does not know is taken for a misspelt directive.
TEST(DemoSource, AFailedLineDoesNotHideTheNextOne) {
    const std::string directives =
        "expected a directive (title, script, clip, track, texture, path, variables, music, "
        "model, trailing, count, after-end, bpm), not ";
    EXPECT_EQ(BuildError("clip track 1 start 0 length 5 script x\n"
                         "clp track 1 start 0 length 5 script 0\n"
                         "title 3\n"
                         "  QUIT\n"),
              "t.qvs:1:38: error: script must be an integer from -2147483648 to 2147483647, not "
              "'x'\n"
              "t.qvs:2:1: error: " +
                  directives +
                  "'clp'\n"
                  "t.qvs:3:7: error: expected the title as a quoted string\n"
                  "t.qvs:4:3: error: " +
                  directives + "'QUIT'");
    EXPECT_EQ(BuildError("script\n  QUIT\nclp track 1\ntexture 0 program\n  Fill 0 0 0\n"
                         "modl 0 program\nmodel 0 program\n  Cube 1\nmusik \"a.ogg\"\n"
                         "path 0\nsegmnt 1 2 3 4 5 6\n"),
              "t.qvs:3:1: error: " + directives +
                  "'clp'\n"
                  "t.qvs:6:1: error: " +
                  directives +
                  "'modl'\n"
                  "t.qvs:9:1: error: " +
                  directives +
                  "'musik'\n"
                  "t.qvs:11:1: error: " +
                  directives + "'segmnt'");
    // A block that failed still keeps its lines quiet; indented unknown words stay what they are.
    EXPECT_EQ(BuildError("script 3\n  NOPE\nscript\n  NOPE\n"),
              "t.qvs:1:8: error: script 3 is out of order: the next script is 0\n"
              "t.qvs:4:3: error: unknown mnemonic 'NOPE'");
}

TEST(DemoSource, ColumnsCountCharactersAndStopAtTheErrorLimit) {
    // "ä" is two bytes and one column.
    EXPECT_EQ(BuildError("title \"\xc3\xa4\" x"), "t.qvs:1:11: error: unexpected 'x'");
    std::string many = "script\n";
    for (int i = 0; i < 30; ++i) many += "  NOPE\n";
    const std::string errors = BuildError(many);
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), tools::kMaxErrors);
    EXPECT_TRUE(
        errors.ends_with("t.qvs:21:3: error: unknown mnemonic 'NOPE'\n"
                         "t.qvs:21:1: error: too many errors; stopping here"))
        << errors;
    // A block's end can add many at once (every undefined label): still the first 20.
    std::string labels = "script\n";
    for (int i = 0; i < 25; ++i) labels += "  PUSHI @x" + std::to_string(i) + "\n";
    const std::string capped = BuildError(labels + "title \"t\"\ntitle \"u\"");
    EXPECT_EQ(std::count(capped.begin(), capped.end(), '\n'), tools::kMaxErrors);
    EXPECT_TRUE(capped.starts_with("t.qvs:2:9: error: undefined label 'x0'\n")) << capped;
    EXPECT_TRUE(
        capped.ends_with("t.qvs:21:9: error: undefined label 'x19'\n"
                         "t.qvs:27:1: error: too many errors; stopping here"))
        << capped;
}

TEST(DemoSource, DumpWithOffsetsShowsEachInstructionsOffset) {
    demo::DemoFile d;
    ASSERT_TRUE(demo::ParseDemoFile(
                    Span(Build("script\n  PUSHF 1\n  BOX\n  .byte 17\n  PUSHI 3\n  .byte 2 0\n")),
                    "t.acs", d)
                    .Ok());
    const std::string text = tools::FormatDemoSource(d, true);
    EXPECT_NE(text.find("script 0\n    PUSHF 1  ; at 0\n    BOX  ; at 5\n    .byte 17  ; at 6\n"
                        "    PUSHI 3  ; at 7\n    .byte 2 0  ; at 12, PUSHF cut off by the end "
                        "of the code\n"),
              std::string::npos)
        << text;
}

TEST(DemoSource, LongTokensAreQuotedShortened) {
    const std::string word(5000, 'x');
    EXPECT_EQ(BuildError("title \"x\"\ntitle \"x\" " + word),
              "t.qvs:2:1: error: second 'title' (the first is at line 1)");
    EXPECT_EQ(BuildError("track 1 0 0 0 0 0 0 " + word),
              "t.qvs:1:21: error: unexpected '" + word.substr(0, 60) + "'... (5000 bytes)");
    // A string is shown in its escaped form; the cut does not split the UTF-8 of "\xe4" (ä).
    EXPECT_EQ(
        BuildError("track 1 0 0 0 0 0 0 \"" + std::string(59, 'a') + "\xc3\xa4" + word + "\""),
        "t.qvs:1:21: error: unexpected \"" + std::string(59, 'a') + "\xc3\xa4\"... (5060 bytes)");
}

TEST(DemoSource, EveryByteValueSurvivesQuotingAndFloatsTheirBits) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(char(b));
    const std::string quoted = tools::srctext::QuoteBytes(all);
    std::string back, error;
    ASSERT_TRUE(tools::srctext::UnquoteBytes(quoted.substr(1, quoted.size() - 2), back, error))
        << error;
    EXPECT_EQ(back, all);
    EXPECT_EQ(tools::srctext::QuoteBytes("\x80\xe4\x81\xa0\n"), "\"€ä\\x81\\xA0\\n\"");

    EXPECT_EQ(tools::srctext::FormatFloat(0.1f), "0.1");
    EXPECT_EQ(tools::srctext::FormatFloat(-0.0f), "-0");
    EXPECT_EQ(tools::srctext::FormatFloat(100000.0f), "100000");
    EXPECT_EQ(tools::srctext::FormatFloat(1e-30f), "1e-30");
    Generator gen(3);
    for (int i = 0; i < 200000; ++i) {
        const uint32_t bits = i < 100000 ? uint32_t(gen.rng()) : uint32_t(i) * 42949u;
        float f, g;
        std::memcpy(&f, &bits, 4);
        ASSERT_TRUE(tools::srctext::ParseFloat(tools::srctext::FormatFloat(f), g)) << bits;
        uint32_t again;
        std::memcpy(&again, &g, 4);
        ASSERT_EQ(again, bits) << tools::srctext::FormatFloat(f);
    }
}

// The documented example builds, dump then build gives the same bytes again, and the copy in
// docs/demo-source.md is the file itself.
TEST(DemoSource, TheExampleDemoBuildsAndRoundTrips) {
    std::vector<uint8_t> text, doc;
    ASSERT_TRUE(core::ReadWholeFile(QV_SOURCE_DIR "/demos/example.qvs", text));
    ASSERT_TRUE(core::ReadWholeFile(QV_SOURCE_DIR "/docs/demo-source.md", doc));
    const std::string example(text.begin(), text.end()), docs(doc.begin(), doc.end());
    const size_t section = docs.find("## Complete example");
    const size_t start = docs.find("```\n", section) + 4;
    EXPECT_EQ(docs.substr(start, docs.find("```\n", start) - start), example);

    const std::string bytes = Build(example);
    EXPECT_TRUE(RoundTrips(bytes));
    demo::DemoFile d;
    ASSERT_TRUE(demo::ParseDemoFile(Span(bytes), "example.acs", d).Ok());
    EXPECT_EQ(d.title, "Quorvanel example");
    EXPECT_GE(d.scripts.size(), 2u);
}

// The command line: exit 0 on success, 1 with "file:line:col: error: message" on a source error or
// an unreadable demo file, 2 on wrong arguments.
TEST(DemoSourceCommands, BuildAndDumpExitStatuses) {
    // A folder of its own: other build folders may run this test at the same time.
    std::string pattern = testing::TempDir() + "qv-demo-source-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::string dir = pattern + "/";
    const std::string qv = QV_BINARY;
    // Output goes to out.txt unless the command redirects its own.
    auto run = [&dir](const std::string& command) {
        const bool redirected = command.find('>') != std::string::npos;
        const int status =
            std::system((command + (redirected ? "" : " >" + dir + "out.txt") + " 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    auto write = [&](const std::string& name, const std::string& bytes) {
        FILE* f = std::fopen((dir + name).c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return dir + name;
    };
    const std::string good = write("good.qvs", "title \"A\"\nscript\n  QUIT\n");
    EXPECT_EQ(run(qv + " build " + good + " -o " + dir + "good.acs"), 0);
    EXPECT_EQ(run(qv + " dump " + dir + "good.acs > " + dir + "again.qvs"), 0);
    EXPECT_EQ(run(qv + " build " + dir + "again.qvs -o " + dir + "again.acs"), 0);
    EXPECT_EQ(run("cmp " + dir + "good.acs " + dir + "again.acs"), 0);

    const std::string bad = write("bad.qvs", "script\n  NOPE\n");
    EXPECT_EQ(run(qv + " build " + bad + " -o " + dir + "bad.acs"), 1);
    const int status =
        std::system((qv + " build " + bad + " -o " + dir + "bad.acs 2>" + dir + "err.txt").c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::vector<uint8_t> err;
    ASSERT_TRUE(core::ReadWholeFile(dir + "err.txt", err));
    EXPECT_EQ(std::string(err.begin(), err.end()), bad + ":2:3: error: unknown mnemonic 'NOPE'\n");

    EXPECT_EQ(run(qv + " dump " + write("short.acs", "A\x1aquorvanel1")), 1);
    EXPECT_EQ(run(qv + " dump " + dir + "missing.acs"), 1);
    EXPECT_EQ(run(qv + " build " + good), 2);
    EXPECT_EQ(run(qv + " dump"), 2);
}
