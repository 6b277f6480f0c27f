#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "app/demo_loader.h"
#include "core/byte_reader.h"
#include "demo/demo_file.h"
#include "platform/message_box.h"
#include "tests/support/temp_folder.h"

namespace {

std::string I32(int32_t v) {
    std::string s;
    core::AppendI32(s, v);
    return s;
}

// The smallest complete file with title "A": 168 bytes.
std::string MinimalFile() {
    std::string f =
        "A\x1a"
        "quorvanel1";
    f += I32(0) + I32(0) + std::string(120, '\0');
    f += I32(0) + I32(0) + I32(0) + I32(0) + I32(0) + I32(0) + I32(0);
    return f;
}

demo::DemoResult Parse(const std::string& bytes, demo::DemoFile& d) {
    return demo::ParseDemoFile({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                               "demo.acs", d);
}

}  // namespace

TEST(DemoFile, SmallestCompleteFileLoadsWithEveryTableEmpty) {
    std::string f = MinimalFile();
    ASSERT_EQ(f.size(), 168u);
    demo::DemoFile d;
    ASSERT_TRUE(Parse(f, d).Ok());
    EXPECT_EQ(d.title, "A");
    EXPECT_TRUE(d.scripts.empty() && d.clips.empty() && d.textureSources.empty() &&
                d.pathStrings.empty() && d.modelSources.empty());
    EXPECT_EQ(d.musicFile.bytes, "");
    EXPECT_EQ(demo::WriteDemoFile(d), f);
}

TEST(DemoFile, TitleEndsAtTheFirst26AndMayBeEmpty) {
    std::string f = MinimalFile();
    f[0] = '\x1a';
    f.erase(1, 1);
    demo::DemoFile d;
    ASSERT_TRUE(Parse(f, d).Ok());
    EXPECT_EQ(d.title, "");
    EXPECT_EQ(Parse("no end of title", d).message,
              "demo.acs: file ends inside the title (no byte 26)");
}

TEST(DemoFile, MagicIsCaseSensitive) {
    std::string f = MinimalFile();
    f[2] = 'Q';
    demo::DemoFile d;
    EXPECT_EQ(Parse(f, d).status, demo::DemoStatus::BadMagic);
    // A file that ends inside the magic is a short file, named like every other.
    demo::DemoResult shortMagic = Parse("A\x1aquorv", d);
    EXPECT_EQ(shortMagic.status, demo::DemoStatus::Truncated);
    EXPECT_EQ(shortMagic.message, "demo.acs: file ends inside the magic");
}

TEST(DemoFile, NegativeCountsAndLengthsGiveEmptyItemsAndRoundTrip) {
    // Clip count -1: the track records follow directly. Music name length -5: 4 bytes only.
    std::string f =
        "T\x1a"
        "quorvanel1";
    f += I32(1) + I32(-3);                                        // one script with length -3
    f += I32(-1) + std::string(120, '\x07');                      // no clips; arbitrary track bytes
    f += I32(2) + I32(-5) + I32(2) + std::string("\x02\x00", 2);  // two texture sources
    f += I32(0) + I32(3) + I32(0) + I32(-5) + I32(0) + I32(0) + "junk after the end";
    demo::DemoFile d;
    ASSERT_TRUE(Parse(f, d).Ok()) << Parse(f, d).message;
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
    EXPECT_EQ(demo::WriteDemoFile(d), f);
}

TEST(DemoFile, ShortFilesNameTheSectionAndItem) {
    std::string f =
        "T\x1a"
        "quorvanel1" +
        I32(0) + I32(2) + std::string(37 + 10, '\0');
    demo::DemoFile d;
    demo::DemoResult r = Parse(f, d);
    EXPECT_EQ(r.status, demo::DemoStatus::Truncated);
    EXPECT_EQ(r.message, "demo.acs: file ends inside the clip table (clip 1 of 2)");

    std::string full = MinimalFile();
    for (size_t cut = 12; cut < full.size(); ++cut) {
        demo::DemoResult rc = Parse(full.substr(0, cut), d);
        EXPECT_FALSE(rc.Ok()) << "cut at " << cut;
        EXPECT_EQ(rc.message.rfind("demo.acs: ", 0), 0u) << rc.message;
    }
}

TEST(DemoFile, CountsLargerThanTheFileAreRefusedBeforeAllocating) {
    std::string f =
        "T\x1a"
        "quorvanel1" +
        I32(0x7fffffff) + I32(0);
    demo::DemoFile d;
    demo::DemoResult r = Parse(f, d);
    EXPECT_EQ(r.status, demo::DemoStatus::Truncated);
    EXPECT_EQ(r.message, "demo.acs: file ends inside the script table (script 1 of 2147483647)");
    EXPECT_LE(d.scripts.capacity(), 4u);

    std::string g =
        "T\x1a"
        "quorvanel1" +
        I32(1) + I32(1000000000) + "abc";
    EXPECT_EQ(Parse(g, d).message, "demo.acs: file ends inside the script table (script 0 of 1)");
}

// A file with one item in every table, cut at every offset: the message names the section and
// item that was being read, and only the complete file loads.
TEST(DemoFile, EveryCutNamesItsSectionAndItem) {
    std::vector<std::pair<std::string, std::string>> pieces = {
        {"T\x1a", "the title (no byte 26)"},
        {"quorvanel1", "the magic"},
        {I32(1), "the script count"},
        {I32(2) + std::string("\x00\x18", 2), "the script table (script 0 of 1)"},
        {I32(1), "the clip count"},
        {std::string(37, '\x01'), "the clip table (clip 0 of 1)"},
    };
    for (int k = 0; k < 20; ++k)
        pieces.push_back(
            {std::string(6, char(k)), "the track records (track " + std::to_string(k) + " of 20)"});
    std::vector<std::pair<std::string, std::string>> tail = {
        {I32(1), "the texture sources count"},
        {I32(3) + "a.b", "the texture sources (texture 0 of 1)"},
        {I32(1), "the path strings count"},
        {I32(2) + std::string("\x00\x00", 2), "the path strings (path 0 of 1)"},
        {I32(3) + I32(4), "the variable counts"},
        {I32(5) + "m.ogg", "the music file name"},
        {I32(1), "the model sources count"},
        {I32(2) + "\x01x", "the model sources (model 0 of 1)"},
        {I32(1) + "\xff", "the trailing script"},
    };
    pieces.insert(pieces.end(), tail.begin(), tail.end());

    std::string file;
    demo::DemoFile d;
    for (const auto& [bytes, section] : pieces) {
        for (size_t n = 0; n < bytes.size(); ++n) {
            demo::DemoResult r = Parse(file + bytes.substr(0, n), d);
            EXPECT_EQ(r.status, demo::DemoStatus::Truncated);
            EXPECT_EQ(r.message, "demo.acs: file ends inside " + section)
                << "cut at " << file.size() + n;
        }
        file += bytes;
    }
    ASSERT_TRUE(Parse(file, d).Ok());
    EXPECT_EQ(d.trackRecords[19][5], 19);
    EXPECT_EQ(d.modelSources[0].bytes, "\x01x");
    EXPECT_EQ(demo::WriteDemoFile(d), file);
}

// Every table count and every text length, set far beyond the file, is refused with the
// section's message and without growing the table beyond what the file holds.
TEST(DemoFile, HugeCountsAndLengthsInEverySectionAllocateNothing) {
    const std::string head =
        "T\x1a"
        "quorvanel1";
    const std::string tracks(120, '\0');
    const int32_t huge = 0x7fffffff;
    struct Case {
        std::string file, message;
    };
    const std::vector<Case> cases = {
        {head + I32(huge), "the script table (script 0 of 2147483647)"},
        {head + I32(0) + I32(huge) + "x", "the clip table (clip 0 of 2147483647)"},
        {head + I32(0) + I32(0) + tracks + I32(huge) + I32(-1) + I32(-1),
         "the texture sources (texture 2 of 2147483647)"},
        {head + I32(0) + I32(0) + tracks + I32(1) + I32(huge),
         "the texture sources (texture 0 of 1)"},
        {head + I32(0) + I32(0) + tracks + I32(0) + I32(huge),
         "the path strings (path 0 of 2147483647)"},
        {head + I32(0) + I32(0) + tracks + I32(0) + I32(0) + I32(huge) + I32(huge) + I32(huge),
         "the music file name"},
        {head + I32(0) + I32(0) + tracks + I32(0) + I32(0) + I32(0) + I32(0) + I32(0) + I32(huge),
         "the model sources (model 0 of 2147483647)"},
        {head + I32(0) + I32(0) + tracks + I32(0) + I32(0) + I32(0) + I32(0) + I32(0) + I32(0) +
             I32(huge) + "ab",
         "the trailing script"},
    };
    for (const Case& c : cases) {
        demo::DemoFile d;
        demo::DemoResult r = Parse(c.file, d);
        EXPECT_EQ(r.message, "demo.acs: file ends inside " + c.message);
        EXPECT_LE(d.scripts.capacity() + d.clips.capacity() + d.textureSources.capacity() +
                      d.pathStrings.capacity() + d.modelSources.capacity(),
                  8u)
            << c.message;
        EXPECT_LE(d.trailingScript.code.capacity() + d.musicFile.bytes.capacity(), 64u)
            << c.message;
    }
}

namespace {

std::vector<std::pair<std::string, std::string>> g_messages;
void CollectMessage(const std::string& caption, const std::string& text) {
    g_messages.push_back({caption, text});
}

// Files in a folder of this process's own, so that parallel runs from other build folders
// cannot meet.
std::string WriteTemp(const std::string& name, const std::string& bytes) {
    static const std::string kDir = MakeTempFolder("qv-demo-file").string() + "/";
    std::string path = kDir + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

}  // namespace

// The player's two stages and their boxes: the two fatal messages keep their exact texts, and
// a short file gets a message that names it instead of a runtime error.
TEST(DemoLoader, FatalMessagesAndTheTwoStages) {
    platform::SetMessageSink(CollectMessage);
    g_messages.clear();
    app::OpenDemoFile file;
    EXPECT_FALSE(app::ReadTitle(WriteTemp("placeholder", "") + ".missing", file));
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0],
              std::make_pair(std::string("wtf?"), std::string("Script file not found")));

    g_messages.clear();
    std::string f = MinimalFile();
    f.replace(2, 10, "Quorvanel1");
    ASSERT_TRUE(app::ReadTitle(WriteTemp("capital-magic.acs", f), file));
    EXPECT_EQ(app::Demo().title, "A");
    EXPECT_FALSE(app::LoadDemoSections(std::move(file)));
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0], std::make_pair(std::string("error"), std::string("ne. heut nich")));

    g_messages.clear();
    const std::string shortPath = WriteTemp("short.acs", MinimalFile().substr(0, 100));
    ASSERT_TRUE(app::ReadTitle(shortPath, file));
    EXPECT_FALSE(app::LoadDemoSections(std::move(file)));
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0].second,
              shortPath + ": file ends inside the track records (track 13 of 20)");

    g_messages.clear();
    EXPECT_FALSE(app::ReadTitle(WriteTemp("no-title-end.acs", "just text"), file));
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_NE(g_messages[0].second.find("no byte 26"), std::string::npos);

    g_messages.clear();
    std::string g = MinimalFile();
    g.replace(g.size() - 4, 4, I32(2) + "\x20\xff" + "tail");
    ASSERT_TRUE(app::ReadTitle(WriteTemp("good.acs", g), file));
    ASSERT_TRUE(app::LoadDemoSections(std::move(file)));
    EXPECT_TRUE(g_messages.empty());
    EXPECT_EQ(app::Demo().trailingScript.code, (std::vector<uint8_t>{0x20, 0xff}));
    platform::SetMessageSink(nullptr);
}
