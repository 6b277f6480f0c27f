#include <gtest/gtest.h>

#include "app/demo_file.h"
#include "core/byte_reader.h"

namespace {

std::string I32(int32_t v) {
    std::string s;
    core::AppendI32(s, v);
    return s;
}

// The smallest complete file with title "A": 168 bytes.
std::string MinimalFile() {
    std::string f = "A\x1a" "quorvanel1";
    f += I32(0) + I32(0) + std::string(120, '\0');
    f += I32(0) + I32(0) + I32(0) + I32(0) + I32(0) + I32(0) + I32(0);
    return f;
}

DemoResult Parse(const std::string& bytes, DemoFile& d) {
    return ParseDemoFile({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "demo.acs", d);
}

}  // namespace

TEST(DemoFile, SmallestCompleteFileLoadsWithEveryTableEmpty) {
    std::string f = MinimalFile();
    ASSERT_EQ(f.size(), 168u);
    DemoFile d;
    ASSERT_TRUE(Parse(f, d).ok());
    EXPECT_EQ(d.title, "A");
    EXPECT_TRUE(d.scripts.empty() && d.clips.empty() && d.textureSources.empty() &&
                d.pathStrings.empty() && d.modelSources.empty());
    EXPECT_EQ(d.musicFile.bytes, "");
    EXPECT_EQ(WriteDemoFile(d), f);
}

TEST(DemoFile, TitleEndsAtTheFirst26AndMayBeEmpty) {
    std::string f = MinimalFile();
    f[0] = '\x1a';
    f.erase(1, 1);
    DemoFile d;
    ASSERT_TRUE(Parse(f, d).ok());
    EXPECT_EQ(d.title, "");
    EXPECT_EQ(Parse("no end of title", d).message, "demo.acs: file ends inside the title (no byte 26)");
}

TEST(DemoFile, MagicIsCaseSensitive) {
    std::string f = MinimalFile();
    f[2] = 'Q';
    DemoFile d;
    EXPECT_EQ(Parse(f, d).status, DemoStatus::BadMagic);
    EXPECT_EQ(Parse("A\x1aquorv", d).status, DemoStatus::BadMagic);
}

TEST(DemoFile, NegativeCountsAndLengthsGiveEmptyItemsAndRoundTrip) {
    // Clip count -1: the track records follow directly. Music name length -5: 4 bytes only.
    std::string f = "T\x1a" "quorvanel1";
    f += I32(1) + I32(-3);                      // one script with length -3
    f += I32(-1) + std::string(120, '\x07');    // no clips; arbitrary track bytes
    f += I32(2) + I32(-5) + I32(2) + std::string("\x02\x00", 2);  // two texture sources
    f += I32(0) + I32(3) + I32(0) + I32(-5) + I32(0) + I32(0) + "junk after the end";
    DemoFile d;
    ASSERT_TRUE(Parse(f, d).ok()) << Parse(f, d).message;
    ASSERT_EQ(d.scripts.size(), 1u);
    EXPECT_EQ(d.scripts[0].length, -3);
    EXPECT_TRUE(d.scripts[0].code.empty());
    EXPECT_TRUE(d.clips.empty());
    EXPECT_EQ(d.textureSources[0].bytes, "");
    EXPECT_EQ(d.textureSources[1].bytes, std::string("\x02\x00", 2));
    EXPECT_EQ(d.intVarCount, 3);
    EXPECT_EQ(d.floatVarCount, 0);
    EXPECT_EQ(d.musicFile.storedLength, -5);
    EXPECT_EQ(d.bytesAfterEnd, "junk after the end");
    EXPECT_EQ(WriteDemoFile(d), f);
}

TEST(DemoFile, ShortFilesNameTheSectionAndItem) {
    std::string f = "T\x1a" "quorvanel1" + I32(0) + I32(2) + std::string(37 + 10, '\0');
    DemoFile d;
    DemoResult r = Parse(f, d);
    EXPECT_EQ(r.status, DemoStatus::Truncated);
    EXPECT_EQ(r.message, "demo.acs: file ends inside the clip table (clip 1 of 2)");

    std::string full = MinimalFile();
    for (size_t cut = 12; cut < full.size(); ++cut) {
        DemoResult rc = Parse(full.substr(0, cut), d);
        EXPECT_FALSE(rc.ok()) << "cut at " << cut;
        EXPECT_EQ(rc.message.rfind("demo.acs: ", 0), 0u) << rc.message;
    }
}

TEST(DemoFile, CountsLargerThanTheFileAreRefusedBeforeAllocating) {
    std::string f = "T\x1a" "quorvanel1" + I32(0x7fffffff) + I32(0);
    DemoFile d;
    DemoResult r = Parse(f, d);
    EXPECT_EQ(r.status, DemoStatus::Truncated);
    EXPECT_EQ(r.message, "demo.acs: file ends inside the script table (script 1 of 2147483647)");
    EXPECT_LE(d.scripts.capacity(), 4u);

    std::string g = "T\x1a" "quorvanel1" + I32(1) + I32(1000000000) + "abc";
    EXPECT_EQ(Parse(g, d).message, "demo.acs: file ends inside the script table (script 0 of 1)");
}
