#include "textures/texmanager.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "gl/gl_layer.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "textures/tex_program.h"

using namespace textures;

namespace {

std::string ProgramSlot(const std::vector<TexOperation>& ops) {
    std::vector<uint8_t> bytes = EncodeTexProgram(ops);
    return "\x02" + std::string(bytes.begin(), bytes.end());
}

TexOperation Op(uint8_t opcode, const std::vector<int32_t>& values) {
    TexOperation op{opcode, {}};
    for (int32_t v : values) op.params.push_back({v, ""});
    return op;
}

demo::DemoFile DemoWithSlots(const std::vector<std::string>& sources) {
    demo::DemoFile demo;
    demo.textureCount = int32_t(sources.size());
    for (const std::string& s : sources) demo.textureSources.push_back({int32_t(s.size()), s});
    return demo;
}

// The digests of the gluBuild2DMipmaps lines, in order.
std::vector<std::string> Digests(const std::string& trace) {
    std::vector<std::string> out;
    for (size_t at = trace.find("sha256:"); at != std::string::npos;
         at = trace.find("sha256:", at + 1))
        out.push_back(trace.substr(at, 23));
    return out;
}

std::vector<std::string> g_messages;
void Capture(const std::string& caption, const std::string& text) {
    g_messages.push_back(caption + "|" + text);
}
int g_hookCalls = 0;
void CountHook() { ++g_hookCalls; }

class TextureManager : public ::testing::Test {
protected:
    void SetUp() override {
        root = std::filesystem::temp_directory_path() /
               ("qv_texmanager_" + std::to_string(::getpid()));
        std::filesystem::create_directories(root / "data");
        platform::SetContentRoot(root.string());
        platform::SetMessageSink(Capture);
        g_messages.clear();
        g_hookCalls = 0;
        Generator().random = 0;  // as at program start
        gl::UseRecorder(&trace);
    }
    void TearDown() override {
        SetTextureLoadHook(nullptr);
        platform::SetMessageSink(nullptr);
        platform::SetContentRoot(".");
        std::filesystem::remove_all(root);
        LoadAllTextures(demo::DemoFile{});
    }
    std::filesystem::path root;
    std::string trace;
};

const std::string kNoiseSlot = ProgramSlot({Op(kNoise, {0})});
const std::string kNoiseRemapSlot = ProgramSlot({Op(kNoise, {1}), Op(kSineRemap, {40, 1})});

}  // namespace

TEST_F(TextureManager, NoSlotsMeansEveryLookupGivesTheDefaultTexture) {
    LoadAllTextures(DemoWithSlots({}));
    EXPECT_EQ(TextureCount(), 0);
    EXPECT_EQ(TextureNameAt(0), 0u);
    EXPECT_EQ(TextureNameAt(-1), 0u);
    EXPECT_TRUE(trace.empty());
}

TEST_F(TextureManager, SlotKindsAreToldApartByTheFirstByte) {
    // 24-bit BMP, 4 x 1, stored as data/WALL.Bmp and named in lower case by the slot.
    std::vector<char> bmp(54 + 12, 0);
    bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40, bmp[18] = 4, bmp[22] = 1, bmp[26] = 1, bmp[28] = 24;
    std::ofstream(root / "data" / "WALL.Bmp", std::ios::binary)
        .write(bmp.data(), std::streamsize(bmp.size()));

    SetTextureLoadHook(CountHook);
    LoadAllTextures(DemoWithSlots({"", std::string("\0rest", 5), "\x02", "wall.bmp", "pic.jpeg",
                                   "gone.tga", ProgramSlot({Op(kFill, {255, 0, 0})})}));
    EXPECT_EQ(g_hookCalls, 7);
    EXPECT_EQ(TextureCount(), 7);
    const std::vector<uint32_t> expected = {1, 0, 2, 3, 0, 0, 4};
    for (int32_t slot = 0; slot < 7; ++slot) EXPECT_EQ(TextureNameAt(slot), expected[slot]) << slot;
    EXPECT_EQ(TextureNameAt(7), 0u);
    EXPECT_EQ(g_messages, std::vector<std::string>{"TGA Texture|File not found  - data\\gone.tga"})
        << "pic.jpeg builds nothing and says nothing";

    EXPECT_EQ(trace.substr(0, trace.find("glGenTextures(1) -> 2")),
              "glGenTextures(1) -> 1\n"
              "glBindTexture(3553, 1)\n"
              "glTexImage2D(3553, 0, 3, 256, 256, 0, 6407, 5121, " +
                  Digests(trace)[0] +
                  ")\n"
                  "glTexParameteri(3553, 10240, 9729)\n"
                  "glTexParameteri(3553, 10241, 9729)\n")
        << "no texture environment and no mipmaps for a render target";
    EXPECT_NE(trace.find("gluBuild2DMipmaps(3553, 6408, 512, 512, 6408, 5121"), std::string::npos)
        << "a lone marker byte is an empty program";
    EXPECT_NE(trace.find("gluBuild2DMipmaps(3553, 3, 4, 1, 6407, 5121"), std::string::npos);

    // The render target's level 0 is the same zero-filled image every run.
    std::string again;
    gl::UseRecorder(&again);
    LoadAllTextures(DemoWithSlots({""}));
    EXPECT_EQ(Digests(again), std::vector<std::string>{Digests(trace)[0]});
}

TEST_F(TextureManager, RebuildingASlotDeletesItsTextureFirst) {
    LoadAllTextures(DemoWithSlots({"", "missing.bmp"}));
    trace.clear();
    LoadTexture(0);
    EXPECT_EQ(trace.substr(0, trace.find('\n')), "glDeleteTextures(1, [1])");
    EXPECT_EQ(TextureNameAt(0), 2u);
    LoadTexture(1);
    EXPECT_EQ(TextureNameAt(1), 0u);
    LoadTexture(5);  // outside the table: nothing
    LoadTexture(-1);
    EXPECT_EQ(g_messages.size(), 2u);
}

TEST_F(TextureManager, SlotOrderMovesTheRandomGeneratorForNoise) {
    LoadAllTextures(DemoWithSlots({kNoiseSlot, kNoiseRemapSlot}));
    const std::vector<std::string> inOrder = Digests(trace);
    trace.clear();
    Generator().random = 0;
    LoadAllTextures(DemoWithSlots({kNoiseRemapSlot, kNoiseSlot}));
    const std::vector<std::string> exchanged = Digests(trace);
    ASSERT_EQ(inOrder.size(), 2u);
    ASSERT_EQ(exchanged.size(), 2u);
    EXPECT_NE(inOrder[0], exchanged[1]) << "the plain noise texture changes with its position";
    EXPECT_NE(inOrder[1], exchanged[0]) << "so does the remapped one";

    trace.clear();
    Generator().random = 0;
    LoadAllTextures(DemoWithSlots({kNoiseSlot, kNoiseRemapSlot}));
    EXPECT_EQ(Digests(trace), inOrder) << "the same order gives the same textures";
}

TEST(RandomStateBeforeSlot, CountsTheDrawsOfEarlierProgramSlotsOnly) {
    const std::vector<demo::CountedText> sources = {{0, ""},
                                                    {0, kNoiseSlot},
                                                    {0, "a.bmp"},
                                                    {0, ProgramSlot({Op(kNoise, {9})})},
                                                    {0, kNoiseRemapSlot}};
    EXPECT_EQ(RandomStateBeforeSlot(sources, 0), 0u);
    EXPECT_EQ(RandomStateBeforeSlot(sources, 1), 0u);
    EXPECT_EQ(RandomStateBeforeSlot(sources, 2), AdvanceRandomState(0, kNoiseDraws));
    EXPECT_EQ(RandomStateBeforeSlot(sources, 4), AdvanceRandomState(0, kNoiseDraws))
        << "a Noise on layer 9 is skipped and draws nothing";
    EXPECT_EQ(RandomStateBeforeSlot(sources, 99), AdvanceRandomState(0, 2 * kNoiseDraws));
}

TEST_F(TextureManager, WorkerThreadsBuildExactlyWhatTheMainThreadBuilds) {
    std::vector<std::string> sources;
    for (int i = 0; i < 9; ++i) {
        sources.push_back(i % 2 ? kNoiseSlot : kNoiseRemapSlot);
        if (i % 3 == 0) sources.push_back("");
        if (i == 4) sources.push_back(ProgramSlot({Op(kNoise, {12}), Op(kFill, {i, 0, 1})}));
    }
    SetTextureLoadHook(CountHook);
    SetTextureWorkers(0);
    LoadAllTextures(DemoWithSlots(sources));
    const std::string serial = trace;
    const uint32_t serialState = Generator().random;
    for (int32_t workers : {1, 3}) {
        trace.clear();
        gl::UseRecorder(&trace);
        Generator().random = 0;
        SetTextureWorkers(workers);
        LoadAllTextures(DemoWithSlots(sources));
        EXPECT_EQ(trace, serial) << workers << " workers";
        EXPECT_EQ(Generator().random, serialState) << "the random state after start-up is the same";
    }
    EXPECT_EQ(g_hookCalls, 3 * int(sources.size()));
    SetTextureWorkers(-1);
}

// A workbench's second build of the same demo runs no program and uploads the same textures;
// after an edit only the programs whose source or starting random state changed run again.
TEST_F(TextureManager, KeptOutputsRebuildOnlyWhatAnEditChanged) {
    const std::string fill = ProgramSlot({Op(kFill, {3, 0, 1})});
    const std::vector<std::string> before = {kNoiseSlot, fill, "", kNoiseRemapSlot, fill};
    std::vector<std::string> edited = before;
    edited[1] = ProgramSlot({Op(kNoise, {2}), Op(kFill, {3, 0, 1})});  // draws: moves slot 3
    auto build = [&](const std::vector<std::string>& sources) {
        trace.clear();
        gl::UseRecorder(&trace);
        Generator().random = 0;
        LoadAllTextures(DemoWithSlots(sources));
        return trace;
    };
    SetTextureWorkers(1);
    const std::string fresh = build(before), freshEdited = build(edited);
    KeepProgramOutputs(true);
    EXPECT_EQ(build(before), fresh);
    EXPECT_EQ(ProgramsRunByLastLoad(), 4);
    EXPECT_EQ(build(before), fresh);
    EXPECT_EQ(ProgramsRunByLastLoad(), 0);
    EXPECT_EQ(build(edited), freshEdited);
    EXPECT_EQ(ProgramsRunByLastLoad(), 2) << "the edited slot and the Noise it moved";
    EXPECT_EQ(build(before), fresh);
    EXPECT_EQ(ProgramsRunByLastLoad(), 1)
        << "slot 3's Noise from its old random state, which only the build before had; the Fill "
           "is the one slot 4 kept";
    KeepProgramOutputs(false);
    EXPECT_EQ(build(before), fresh);
    EXPECT_EQ(ProgramsRunByLastLoad(), 4);
    SetTextureWorkers(-1);
}
