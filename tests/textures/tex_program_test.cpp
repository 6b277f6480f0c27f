#include "textures/tex_program.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gl/gl_layer.h"

using namespace textures;

namespace {

TexOperation Op(uint8_t opcode, const std::vector<int32_t>& values, const std::string& label = "") {
    TexOperation op;
    op.opcode = opcode;
    for (int32_t v : values) op.params.push_back({v, label});
    return op;
}

std::vector<uint8_t> Composed(std::span<const uint8_t> bytes, uint32_t randomState = 0) {
    GeneratorStatePtr g = NewGeneratorState();
    g->random = randomState;
    std::vector<uint8_t> out(kOutputBytes);
    RunTexProgram(*g, ParseTexProgram(bytes), out.data());
    return out;
}

// Every pixel equal to (r, g, b, a)?
bool Uniform(const std::vector<uint8_t>& rgba, std::vector<uint8_t> px) {
    for (size_t i = 0; i < rgba.size(); i += 4)
        if (rgba[i] != px[0] || rgba[i + 1] != px[1] || rgba[i + 2] != px[2] ||
            rgba[i + 3] != px[3])
            return false;
    return true;
}

const std::vector<uint8_t> kRedProgram = {
    0x01, 0x00, 0x00, 0x00, 0x00, 0x03, 0xFF, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

}  // namespace

TEST(TexProgramParse, TheTwentyOneByteProgramIsOneFillOfRed) {
    ASSERT_EQ(kRedProgram.size(), 21u);
    TexProgram p = ParseTexProgram(kRedProgram);
    EXPECT_TRUE(p.complete);
    ASSERT_EQ(p.operations.size(), 1u);
    EXPECT_EQ(p.operations[0].opcode, kFill);
    ASSERT_EQ(p.operations[0].params.size(), 3u);
    EXPECT_EQ(p.operations[0].params[0].value, 255);
    EXPECT_TRUE(Uniform(Composed(kRedProgram), {255, 0, 0, 255})) << "opaque red";
    EXPECT_EQ(EncodeTexProgram(p.operations), kRedProgram);
}

TEST(TexProgramParse, LabelsAndTrailingBytesDoNotChangeTheResult) {
    auto labelled = EncodeTexProgram({Op(kFill, {255, 0, 0}, std::string(255, 'L'))});
    TexProgram p = ParseTexProgram(labelled);
    ASSERT_EQ(p.operations.size(), 1u);
    EXPECT_EQ(p.operations[0].params[2].label.size(), 255u);
    labelled.insert(labelled.end(), {9, 9, 9, 9, 9});
    EXPECT_EQ(Composed(labelled), Composed(kRedProgram));
}

TEST(TexProgramParse, ProgramsThatEndEarlyRunTheOperationsReadCompletely) {
    auto bytes = EncodeTexProgram({Op(kFill, {255, 0, 0}), Op(kFill, {0xFF00, 0, 1})});
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        std::vector<uint8_t> head(bytes.begin(), bytes.begin() + cut);
        TexProgram p = ParseTexProgram(head);
        EXPECT_FALSE(p.complete) << cut;
        EXPECT_EQ(p.operations.size(), cut < kRedProgram.size() ? 0u : 1u) << cut;
    }
    // A stored count larger than the operations present reads what is there.
    bytes[0] = 0xFF, bytes[1] = 0xFF, bytes[2] = 0xFF, bytes[3] = 0x7F;
    TexProgram big = ParseTexProgram(bytes);
    EXPECT_EQ(big.operations.size(), 2u);
    EXPECT_TRUE(Uniform(Composed(bytes), {255, 255, 0, 255}));
    // A negative count runs nothing: black, opaque.
    bytes[3] = 0xFF;
    EXPECT_TRUE(ParseTexProgram(bytes).operations.empty());
    EXPECT_TRUE(Uniform(Composed(bytes), {0, 0, 0, 255}));
}

TEST(TexProgramRun, EmptyProgramIsOpaqueBlack) {
    EXPECT_TRUE(Uniform(Composed(EncodeTexProgram({})), {0, 0, 0, 255}));
}

TEST(TexProgramRun, LayersAddWithSaturation) {
    auto bytes = EncodeTexProgram(
        {Op(kFill, {0x000080, 0, 0}), Op(kFill, {0x000090, 0, 1}), Op(kFill, {0x203000, 0, 7})});
    EXPECT_TRUE(Uniform(Composed(bytes), {255, 0x30, 0x20, 255}));
}

TEST(TexProgramRun, ColorKeyOnTheFilledColourClearsAlphaOnly) {
    auto bytes =
        EncodeTexProgram({Op(kFill, {0x336699, 0, 2}), Op(kColorKeyMask, {0x336699, 1, 2})});
    EXPECT_TRUE(Uniform(Composed(bytes), {0x99, 0x66, 0x33, 0}));
}

TEST(TexProgramRun, EachProgramStartsFromFreshLayersButKeepsTheRandomState) {
    GeneratorStatePtr g = NewGeneratorState();
    std::vector<uint8_t> out(kOutputBytes);
    RunTexProgram(*g,
                  ParseTexProgram(EncodeTexProgram(
                      {Op(kFill, {0x0000FF, 0, 3}), Op(kColorKeyMask, {0x0000FF, 1, 3})})),
                  out.data());
    EXPECT_TRUE(Uniform(out, {255, 0, 0, 0}));
    RunTexProgram(*g, ParseTexProgram(EncodeTexProgram({Op(kFill, {0x00FF00, 0, 4})})), out.data());
    EXPECT_TRUE(Uniform(out, {0, 255, 0, 255})) << "neither the red layer nor the mask survive";

    const auto noise = EncodeTexProgram({Op(kNoise, {0})});
    TexProgram program = ParseTexProgram(noise);
    RunTexProgram(*g, program, out.data());
    std::vector<uint8_t> second(kOutputBytes);
    RunTexProgram(*g, program, second.data());
    EXPECT_NE(out, second) << "the second Noise continues the random sequence";
    EXPECT_EQ(second, Composed(noise, AdvanceRandomState(0, kNoiseDraws)));
    EXPECT_EQ(RandomDrawsOf(program), kNoiseDraws);
}

TEST(TexProgramUpload, GenerateTextureUploadsTheComposedImage) {
    std::string trace;
    gl::UseRecorder(&trace);
    const uint32_t name = GenerateTexture(kRedProgram);
    EXPECT_EQ(name, 1u);
    const std::string redDigest = trace.substr(trace.find("sha256:"));
    EXPECT_EQ(trace,
              "glGenTextures(1) -> 1\n"
              "glBindTexture(3553, 1)\n"
              "glTexEnvi(8960, 8704, 8448)\n"
              "glTexParameteri(3553, 10240, 9729)\n"
              "glTexParameteri(3553, 10241, 9729)\n"
              "gluBuild2DMipmaps(3553, 6408, 512, 512, 6408, 5121, " +
                  redDigest);
    EXPECT_TRUE(Uniform(std::vector<uint8_t>(GeneratorOutput(), GeneratorOutput() + kOutputBytes),
                        {255, 0, 0, 255}));
    trace.clear();
    GenerateTexture(kRedProgram);
    EXPECT_NE(trace.find(redDigest), std::string::npos) << "same program, same pixels";
}
