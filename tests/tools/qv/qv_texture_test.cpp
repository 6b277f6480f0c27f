// qv texture: the contract other tools rely on (raw bytes in generator order, PNG upright,
// a demo slot built exactly as the player builds it).
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "demo/demo_file.h"
#include "textures/tex_program.h"
#include "tools/qv/qv_commands.h"

using namespace textures;
namespace fs = std::filesystem;

namespace {

TexOperation Op(uint8_t opcode, const std::vector<int32_t>& values) {
    TexOperation op{opcode, {}};
    for (int32_t v : values) op.params.push_back({v, ""});
    return op;
}

std::vector<uint8_t> ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}
void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

int Qv(std::vector<std::string> args) {
    std::vector<char*> argv;
    argv.reserve(args.size());
    for (std::string& a : args) argv.push_back(a.data());
    return tools::RunTexture(int(argv.size()), argv.data());
}

std::vector<uint8_t> Composed(const std::vector<TexOperation>& ops, uint32_t random) {
    GeneratorStatePtr g = NewGeneratorState();
    g->random = random;
    std::vector<uint8_t> out(kOutputBytes);
    const std::vector<uint8_t> bytes = EncodeTexProgram(ops);
    RunTexProgram(*g, ParseTexProgram(bytes), out.data());
    return out;
}

std::string Slot(const std::vector<TexOperation>& ops) {
    std::vector<uint8_t> bytes = EncodeTexProgram(ops);
    return "\x02" + std::string(bytes.begin(), bytes.end());
}

class QvTexture : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("qv_texture_" + std::to_string(::getpid()));
        fs::create_directories(dir / "data");
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const std::string& name) { return (dir / name).string(); }
    fs::path dir;
};

const std::vector<TexOperation> kNoiseOps = {Op(kNoise, {0})};
const std::vector<TexOperation> kPlasmaOps = {Op(kNoise, {3}), Op(kSinePlasma, {16, 32, 1}),
                                              Op(kVerticalGradient, {0xFF, 0xFF0000, 2})};

}  // namespace

TEST_F(QvTexture, ProgramRawIsTheComposedImageFromAFreshGenerator) {
    const std::vector<uint8_t> program = EncodeTexProgram(kPlasmaOps);
    WriteBytes(dir / "p.bin", std::string(program.begin(), program.end()));
    ASSERT_EQ(Qv({"--program", Path("p.bin"), "--raw", Path("p.rgba")}), 0);
    EXPECT_EQ(ReadBytes(dir / "p.rgba"), Composed(kPlasmaOps, 0));
}

TEST_F(QvTexture, PngShowsRowZeroAtTheBottom) {
    const std::vector<uint8_t> program = EncodeTexProgram(kPlasmaOps);
    WriteBytes(dir / "p.bin", std::string(program.begin(), program.end()));
    ASSERT_EQ(Qv({"--program", Path("p.bin"), "-o", Path("p.png")}), 0);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, Path("p.png").c_str()));
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> png(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, png.data(), 0, nullptr));
    ASSERT_EQ(image.width, 512u);
    const std::vector<uint8_t> raw = Composed(kPlasmaOps, 0);
    const size_t row = 512 * 4;
    for (size_t y = 0; y < 512; y += 97)
        ASSERT_TRUE(std::equal(raw.begin() + y * row, raw.begin() + (y + 1) * row,
                               png.begin() + (511 - y) * row))
            << "texture row " << y << " is PNG row " << 511 - y;
}

TEST_F(QvTexture, DemoSlotsAreBuiltAsThePlayerBuildsThem) {
    // 4 x 1 BMP for the image slot.
    std::string bmp(54, '\0');
    bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40, bmp[18] = 4, bmp[22] = 1, bmp[26] = 1, bmp[28] = 24;
    bmp += std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c", 12);
    WriteBytes(dir / "data" / "Tile.bmp", bmp);

    demo::DemoFile demo;
    const std::vector<std::string> sources = {
        Slot(kNoiseOps), "", "tile.BMP", Slot(kPlasmaOps), std::string(1, '\0'), "photo.png"};
    demo.textureCount = int32_t(sources.size());
    for (const std::string& s : sources) demo.textureSources.push_back({int32_t(s.size()), s});
    WriteBytes(dir / "demo.acs", demo::WriteDemoFile(demo));

    ASSERT_EQ(Qv({Path("demo.acs"), "--slot", "3", "--raw", Path("s3.rgba")}), 0);
    EXPECT_EQ(ReadBytes(dir / "s3.rgba"), Composed(kPlasmaOps, AdvanceRandomState(0, kNoiseDraws)))
        << "the Noise of slot 0 runs first";
    ASSERT_EQ(Qv({Path("demo.acs"), "--slot", "0", "--raw", Path("s0.rgba")}), 0);
    EXPECT_EQ(ReadBytes(dir / "s0.rgba"), Composed(kNoiseOps, 0));

    ASSERT_EQ(Qv({Path("demo.acs"), "--slot", "2", "--raw", Path("s2.rgba")}), 0);
    EXPECT_EQ(ReadBytes(dir / "s2.rgba"),
              (std::vector<uint8_t>{3, 2, 1, 255, 6, 5, 4, 255, 9, 8, 7, 255, 12, 11, 10, 255}));

    for (const char* slot : {"1", "4", "5", "6"})
        EXPECT_EQ(Qv({Path("demo.acs"), "--slot", slot, "--raw", Path("x.rgba")}), 1) << slot;
}

TEST_F(QvTexture, UsageErrorsExitWithTwo) {
    EXPECT_EQ(Qv({}), 2);
    EXPECT_EQ(Qv({"--program", "a.bin"}), 2) << "no output";
    EXPECT_EQ(Qv({"--program", "a.bin", "--raw", "x", "-o", "y"}), 2) << "two outputs";
    EXPECT_EQ(Qv({"demo.acs", "--raw", "x"}), 2) << "a demo needs --slot";
    EXPECT_EQ(Qv({"demo.acs", "--slot", "-1", "--raw", "x"}), 2);
    EXPECT_EQ(Qv({"--program", Path("missing.bin"), "--raw", Path("x")}), 1);
}

TEST_F(QvTexture, ARefusedImageIsReportedWithItsFileAndTheRealCause) {
    std::string bmp(54, '\0');  // a palette of 0x01000000 colours in a 54-byte file
    bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40, bmp[18] = 4, bmp[22] = 1, bmp[28] = 24, bmp[49] = 1;
    WriteBytes(dir / "data" / "bad.bmp", bmp);
    demo::DemoFile demo;
    demo.textureCount = 1;
    demo.textureSources.push_back({7, "bad.bmp"});
    WriteBytes(dir / "demo.acs", demo::WriteDemoFile(demo));
    testing::internal::CaptureStderr();
    EXPECT_EQ(Qv({Path("demo.acs"), "--slot", "0", "--raw", Path("x.rgba")}), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "qv texture: slot 0: " + Path("data/bad.bmp") +
                  ": broken palette size: the palette size (biClrUsed) says 16777216 colours of 4 "
                  "bytes, but 0 bytes follow the header\n");
}
