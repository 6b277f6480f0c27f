#include "textures/image_loaders.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "core/byte_reader.h"
#include "gl/gl_layer.h"
#include "platform/message_box.h"
#include "platform/paths.h"

using namespace textures;
using Bytes = std::vector<uint8_t>;

namespace {

// --- files in the formats under test -----------------------------------------------------

void PutI32(Bytes& b, size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(uint32_t(v) >> (8 * i));
}

// A BMP with the given header fields; pixel i of the data is (blue i, green i+1, red i+2).
Bytes Bmp(int32_t width, int32_t height, int bitCount = 24, int compression = 0,
          int32_t coloursUsed = 0, int32_t sizeImage = 0, size_t dataBytes = SIZE_MAX) {
    Bytes b(54, 0);
    b[0] = 'B', b[1] = 'M';
    PutI32(b, 14, 40);
    PutI32(b, 18, width);
    PutI32(b, 22, height);
    b[26] = 1;
    b[28] = uint8_t(bitCount);
    PutI32(b, 30, compression);
    PutI32(b, 34, sizeImage);
    PutI32(b, 46, coloursUsed);
    b.resize(b.size() + size_t(coloursUsed) * 4, 0x77);
    if (dataBytes == SIZE_MAX) dataBytes = size_t(width) * height * 3;
    for (size_t i = 0; i < dataBytes; ++i)
        b.push_back(uint8_t(i % 3 == 0 ? 10 + i / 3 : i % 3 == 1 ? 20 : 30));
    return b;
}

Bytes TgaHeader(int imageType, int width, int height, int bits, int colourMapType = 0,
                int idLength = 0) {
    Bytes b(18, 0);
    b[0] = uint8_t(idLength);
    b[1] = uint8_t(colourMapType);
    b[2] = uint8_t(imageType);
    b[12] = uint8_t(width), b[13] = uint8_t(width >> 8);
    b[14] = uint8_t(height), b[15] = uint8_t(height >> 8);
    b[16] = uint8_t(bits);
    return b;
}

// A JPEG of `components` samples per pixel in colour space `space`; row y comes from fillRow.
// adobe: stored as YCCK with an Adobe marker, as Photoshop writes CMYK.
Bytes EncodeJpeg(int width, int height, int components, J_COLOR_SPACE space, bool adobe,
                 const std::function<void(int y, std::vector<uint8_t>& row)>& fillRow) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    if (space == JCS_CMYK) {
        jpeg_set_colorspace(&c, adobe ? JCS_YCCK : JCS_CMYK);
        c.write_Adobe_marker = adobe ? TRUE : FALSE;
    }
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(size_t(width) * size_t(components));
    for (int y = 0; y < height; ++y) {
        fillRow(y, row);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes bytes(out, out + size);
    std::free(out);
    return bytes;
}

Bytes Jpeg(int width, int height, bool grey) {
    // Top half white, bottom half black: the flip is visible after lossy coding.
    return EncodeJpeg(width, height, grey ? 1 : 3, grey ? JCS_GRAYSCALE : JCS_RGB, false,
                      [height](int y, std::vector<uint8_t>& row) {
                          std::fill(row.begin(), row.end(), y < height / 2 ? 255 : 0);
                      });
}

// A print JPEG: top half `top`, bottom half `bottom`, given as ink amounts (c, m, y, k; 255 =
// full ink). With an Adobe marker the samples are stored inverted, as Photoshop writes them;
// without one they are stored as they are.
Bytes CmykJpeg(int width, int height, bool adobe, std::array<uint8_t, 4> top,
               std::array<uint8_t, 4> bottom) {
    return EncodeJpeg(width, height, 4, JCS_CMYK, adobe, [&](int y, std::vector<uint8_t>& row) {
        for (size_t i = 0; i < row.size(); ++i) {
            uint8_t ink = (y < height / 2 ? top : bottom)[i % 4];
            row[i] = adobe ? uint8_t(255 - ink) : ink;
        }
    });
}

// The 40-byte-header BMP `classic` rewritten with a larger information header of `infoSize`
// bytes (108 for V4, 124 for V5) and `gap` bytes between that header and the pixels, which
// start at bfOffBits as today's tools write them.
Bytes WithLargerInfoHeader(const Bytes& classic, int32_t infoSize, size_t gap = 0) {
    Bytes b(classic.begin(), classic.begin() + 54);
    PutI32(b, 14, infoSize);
    for (int32_t i = 40; i < infoSize; ++i) b.push_back(uint8_t(0xA0 + i));  // masks, colour space
    b.resize(b.size() + gap, 0xEE);
    PutI32(b, 10, int32_t(b.size()));
    b.insert(b.end(), classic.begin() + 54, classic.end());
    return b;
}

// --- message capture and a content folder --------------------------------------------

std::vector<LoaderMessage> g_messages;
void Capture(const std::string& caption, const std::string& text) {
    g_messages.push_back({caption, text});
}

class LoaderFiles : public ::testing::Test {
protected:
    void SetUp() override {
        root = std::filesystem::temp_directory_path() /
               ("qv_loaders_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(root / "data");
        platform::SetContentRoot(root.string());
        platform::SetMessageSink(Capture);
        g_messages.clear();
        gl::UseRecorder(&trace);
    }
    void TearDown() override {
        platform::SetMessageSink(nullptr);
        platform::SetContentRoot(".");
        std::filesystem::remove_all(root);
    }
    void Write(const std::string& name, const Bytes& bytes) {
        std::ofstream(root / "data" / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::filesystem::path root;
    std::string trace;
};

std::string Text(const DecodeResult& r) { return r.message.caption + ": " + r.message.text; }

}  // namespace

// --- BMP -------------------------------------------------------------------------------

TEST(DecodeBMP, TwentyFourBitRowsInFileOrderWithRedAndBlueExchanged) {
    DecodeResult r = DecodeBMP(Bmp(256, 256), "data\\a.bmp");
    ASSERT_TRUE(r.ok) << Text(r);
    EXPECT_EQ(r.image.width, 256);
    EXPECT_EQ(r.image.height, 256);
    EXPECT_EQ(r.image.format, gl::GL_RGB);
    ASSERT_EQ(r.image.pixels.size(), 256u * 256 * 3);
    EXPECT_EQ(Bytes(r.image.pixels.begin(), r.image.pixels.begin() + 3), (Bytes{30, 20, 10}))
        << "first file pixel (blue 10, green 20, red 30) is the bottom-left texel";
    EXPECT_EQ(r.image.pixels[3], 30);
    EXPECT_EQ(r.image.pixels[5], 11);

    // The colour table is skipped; an explicit image size may include more than the pixels.
    DecodeResult withTable = DecodeBMP(Bmp(4, 2, 24, 0, 3, 40, 40), "data\\b.bmp");
    ASSERT_TRUE(withTable.ok) << Text(withTable);
    EXPECT_EQ(withTable.image.pixels.size(), 24u);
    EXPECT_EQ(withTable.image.pixels[2], 10);
}

TEST(DecodeBMP, V4AndV5HeadersGiveTheTexelsOfTheirClassicTwin) {
    // bfOffBits of the classic file is 0: with the 40-byte header it is not consulted.
    const Bytes classic = Bmp(8, 4);
    DecodeResult twin = DecodeBMP(classic, "data\\a.bmp");
    ASSERT_TRUE(twin.ok) << Text(twin);
    for (int32_t infoSize : {108, 124}) {
        Bytes modern = WithLargerInfoHeader(classic, infoSize);
        ASSERT_EQ(modern[10], uint8_t(14 + infoSize));  // 122 and 138
        DecodeResult r = DecodeBMP(modern, "data\\a.bmp");
        ASSERT_TRUE(r.ok) << Text(r);
        EXPECT_EQ(r.image.width, 8);
        EXPECT_EQ(r.image.height, 4);
        EXPECT_EQ(r.image.pixels, twin.image.pixels) << "header " << infoSize;
        DecodeResult padded = DecodeBMP(WithLargerInfoHeader(classic, infoSize, 6), "data\\a.bmp");
        ASSERT_TRUE(padded.ok) << Text(padded);
        EXPECT_EQ(padded.image.pixels, twin.image.pixels) << "pixels further on, at bfOffBits";
    }
    Bytes past = WithLargerInfoHeader(classic, 124);
    PutI32(past, 10, int32_t(past.size()) + 1);
    EXPECT_EQ(Text(DecodeBMP(past, "data\\a.bmp")), "BMP Unit: Error reading bitmap data");
    PutI32(past, 10, 60);
    EXPECT_EQ(Text(DecodeBMP(past, "data\\a.bmp")), "BMP Unit: Error reading bitmap data")
        << "pixels said to start inside the information header";
    PutI32(past, 10, 139);
    EXPECT_EQ(Text(DecodeBMP(past, "data\\a.bmp")), "BMP Unit: Error reading bitmap data")
        << "one byte short of the pixels";
}

TEST(DecodeBMP, MessagesOfTheLoaderAndItsRefusals) {
    const std::string p = "data\\x.bmp";
    auto text = [&](const Bytes& b) { return Text(DecodeBMP(b, p)); };
    Bytes shortTable = Bmp(4, 4);
    PutI32(shortTable, 46, 1000);
    EXPECT_EQ(text(shortTable), "BMP Unit: Error reading palette");
    PutI32(shortTable, 46, -1);
    EXPECT_EQ(text(shortTable), "BMP Unit: Error reading palette");
    EXPECT_EQ(text(Bmp(8, 8, 24, 0, 0, 0, 8 * 8 * 3 - 1)), "BMP Unit: Error reading bitmap data");
    EXPECT_EQ(text(Bmp(8, 8, 24, 0, 0, 8 * 8 * 3 + 4, 8 * 8 * 3)),
              "BMP Unit: Error reading bitmap data");
    EXPECT_EQ(text(Bmp(8, 8, 24, 0, 0, 16, 8 * 8 * 3)), "BMP Unit: Error reading bitmap data")
        << "an image size smaller than the pixels is refused, not over-read";
    const std::string refused = "BMP Unit: Couldn't load \"data\\x.bmp\". ";
    Bytes header = Bmp(4, 4);
    header.resize(53);
    EXPECT_EQ(text(header), refused + "File ends inside the BMP header.");
    EXPECT_EQ(text({}), refused + "File ends inside the BMP header.");
    EXPECT_EQ(text(Bmp(4, 4, 8)), refused + "Only uncompressed 24 bit BMP files supported.");
    EXPECT_EQ(text(Bmp(4, 4, 32)), refused + "Only uncompressed 24 bit BMP files supported.");
    EXPECT_EQ(text(Bmp(4, 4, 24, 1)), refused + "Only uncompressed 24 bit BMP files supported.");
    EXPECT_EQ(text(Bmp(4, -4, 24, 0, 0, 0, 48)),
              refused + "Only bottom-up BMP files with a width and height above 0 supported.");
    EXPECT_EQ(text(Bmp(0, 4)),
              refused + "Only bottom-up BMP files with a width and height above 0 supported.");
    EXPECT_EQ(text(Bmp(6, 2, 24, 0, 0, 0, 48)),
              refused + "Only BMP files whose width is a multiple of 4 supported.");
    EXPECT_EQ(text(Bmp(65536, 4, 24, 0, 0, 0, 0)), refused + "Image too large.");
    EXPECT_EQ(text(Bmp(0x40000000, 0x40000000, 24, 0, 0, 0, 0)), refused + "Image too large.")
        << "a width x height product that overflows 32 bits";
}

// --- TGA -------------------------------------------------------------------------------

TEST(DecodeTGA, UncompressedKeepsAlphaAtThirtyTwoBitsAndIsRgbAtTwentyFour) {
    Bytes t32 = TgaHeader(2, 2, 1, 32);
    t32.insert(t32.end(), {1, 2, 3, 4, 5, 6, 7, 8});
    DecodeResult r = DecodeTGA(t32, "data\\a.tga");
    ASSERT_TRUE(r.ok) << Text(r);
    EXPECT_EQ(r.image.format, gl::GL_RGBA);
    EXPECT_EQ(r.image.pixels, (Bytes{3, 2, 1, 4, 7, 6, 5, 8}));

    Bytes t24 = TgaHeader(2, 1, 2, 24);
    t24.insert(t24.end(), {1, 2, 3, 4, 5, 6, 99});
    r = DecodeTGA(t24, "data\\a.tga");
    ASSERT_TRUE(r.ok) << Text(r);
    EXPECT_EQ(r.image.format, gl::GL_RGB);
    EXPECT_EQ(r.image.pixels, (Bytes{3, 2, 1, 6, 5, 4}));
}

TEST(DecodeTGA, RunLengthPacketsRepeatOrCopyPixels) {
    Bytes t = TgaHeader(10, 7, 1, 24);
    t.insert(t.end(), {0x83, 10, 20, 30, 0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    DecodeResult r = DecodeTGA(t, "data\\r.tga");
    ASSERT_TRUE(r.ok) << Text(r);
    EXPECT_EQ(r.image.pixels,
              (Bytes{30, 20, 10, 30, 20, 10, 30, 20, 10, 30, 20, 10, 3, 2, 1, 6, 5, 4, 9, 8, 7}));
    Bytes t32 = TgaHeader(10, 2, 1, 32);
    t32.insert(t32.end(), {0x81, 1, 2, 3, 4});
    r = DecodeTGA(t32, "data\\r.tga");
    ASSERT_TRUE(r.ok) << Text(r);
    EXPECT_EQ(r.image.pixels, (Bytes{3, 2, 1, 4, 3, 2, 1, 4}));
}

TEST(DecodeTGA, MessagesOfTheLoaderAndItsRefusals) {
    auto text = [](const Bytes& b) { return Text(DecodeTGA(b, "data\\t.tga")); };
    const std::string refused = "TGA File Error: Couldn't load \"data\\t.tga\". ";
    const std::string shortData = "TGA File Error: Couldn't read file \"data\\t.tga\".";
    EXPECT_EQ(text(TgaHeader(3, 4, 4, 8)), refused + "Only 24 and 32bit TGA supported.");
    EXPECT_EQ(text(TgaHeader(1, 4, 4, 24, 1)), refused + "Only 24 and 32bit TGA supported.");
    EXPECT_EQ(text(TgaHeader(2, 4, 4, 24, 1)), refused + "Colormapped TGA files not supported.");
    EXPECT_EQ(text(TgaHeader(2, 4, 4, 16)), refused + "Only 24 and 32 bit TGA files supported.");
    EXPECT_EQ(text(TgaHeader(10, 4, 4, 40)), refused + "Only 24 and 32 bit TGA files supported.");
    EXPECT_EQ(text(TgaHeader(2, 4, 4, 24, 0, 5)),
              refused + "TGA files with an image ID not supported.");
    EXPECT_EQ(text(TgaHeader(2, 0, 4, 24)),
              refused + "TGA files with a width or height of 0 not supported.");
    EXPECT_EQ(text(TgaHeader(10, 4, 0, 24)),
              refused + "TGA files with a width or height of 0 not supported.");
    EXPECT_EQ(text(TgaHeader(2, 65535, 65535, 32)), refused + "Image too large.");
    EXPECT_EQ(text(Bytes(17, 0)), shortData) << "shorter than the 18-byte header";
    Bytes raw = TgaHeader(2, 2, 2, 24);
    raw.resize(raw.size() + 11);
    EXPECT_EQ(text(raw), shortData);
    Bytes rle = TgaHeader(10, 4, 1, 24);
    rle.insert(rle.end(), {0x81, 1, 2, 3});
    EXPECT_EQ(text(rle), shortData) << "packets end before the image is complete";
    rle.insert(rle.end(), {0x01, 1, 2});
    EXPECT_EQ(text(rle), shortData) << "a raw packet cut short";
    Bytes over = TgaHeader(10, 4, 1, 24);
    over.insert(over.end(), {0x81, 1, 2, 3, 0x82, 4, 5, 6});
    EXPECT_EQ(text(over), refused + "Run-length data describes more pixels than the image holds.");
    EXPECT_EQ(text(TgaHeader(10, 4096, 4096, 24)), shortData)
        << "refused before reserving a buffer the data cannot fill";
}

// --- JPEG ------------------------------------------------------------------------------

TEST(DecodeJPG, OpaqueRgbaWithTheBottomRowFirst) {
    for (bool grey : {false, true}) {
        DecodeResult r = DecodeJPG(Jpeg(16, 16, grey), "data\\p.jpg");
        ASSERT_TRUE(r.ok) << Text(r);
        EXPECT_EQ(r.image.width, 16);
        EXPECT_EQ(r.image.format, gl::GL_RGBA);
        const Bytes& px = r.image.pixels;
        ASSERT_EQ(px.size(), 16u * 16 * 4);
        for (size_t i = 3; i < px.size(); i += 4) ASSERT_EQ(px[i], 255);
        EXPECT_LT(px[0], 20) << "the picture's black bottom half comes first";
        EXPECT_GT(px[px.size() - 4], 235);
        EXPECT_EQ(px[0], px[1]);
        EXPECT_EQ(px[1], px[2]);
    }
}

TEST(DecodeJPG, PrintCmykIsConvertedToRgbInvertedOrNot) {
    // Top: full magenta and yellow ink, red. Bottom: full cyan and magenta under half black, dark
    // blue.
    const std::array<uint8_t, 4> red = {0, 255, 255, 0}, darkBlue = {255, 255, 0, 128};
    for (bool adobe : {true, false}) {
        SCOPED_TRACE(adobe ? "Adobe marker, inverted samples" : "plain samples");
        DecodeResult r = DecodeJPG(CmykJpeg(16, 16, adobe, red, darkBlue), "data\\print.jpg");
        ASSERT_TRUE(r.ok) << Text(r);
        EXPECT_EQ(r.image.format, gl::GL_RGBA);
        const Bytes& px = r.image.pixels;
        ASSERT_EQ(px.size(), 16u * 16 * 4);
        auto near = [](int got, int want) { return std::abs(got - want) <= 4; };
        // Bottom row first: the dark blue, (0, 0, 255 * 127 / 255).
        EXPECT_TRUE(near(px[0], 0) && near(px[1], 0) && near(px[2], 127))
            << int(px[0]) << " " << int(px[1]) << " " << int(px[2]);
        const size_t top = px.size() - 4;
        EXPECT_TRUE(near(px[top], 255) && near(px[top + 1], 0) && near(px[top + 2], 0))
            << int(px[top]) << " " << int(px[top + 1]) << " " << int(px[top + 2]);
        EXPECT_EQ(px[top + 3], 255);
    }
}

TEST(DecodeJPG, UndecodableDataGivesTheLoaderMessage) {
    const std::string message = "BMP Unit: Couldn't load JPG - \"data\\bad.jpg\"";
    EXPECT_EQ(Text(DecodeJPG({}, "data\\bad.jpg")), message);
    EXPECT_EQ(Text(DecodeJPG(Bytes(100, 0x41), "data\\bad.jpg")), message);
    Bytes jpeg = Jpeg(16, 16, false);
    jpeg.resize(20);
    EXPECT_EQ(Text(DecodeJPG(jpeg, "data\\bad.jpg")), message) << "header cut short";
}

TEST(DecodeJPG, ScanDataCutShortStillDecodesAsLibjpegPadsIt) {
    Bytes jpeg = Jpeg(64, 64, false);
    const Bytes startOfScan = {0xFF, 0xDA};
    const auto scan = std::search(jpeg.begin(), jpeg.end(), startOfScan.begin(), startOfScan.end());
    ASSERT_NE(scan, jpeg.end());
    jpeg.resize(size_t(scan - jpeg.begin()) + 16);  // a warning for libjpeg, not an error
    DecodeResult r = DecodeJPG(jpeg, "data\\cut.jpg");
    ASSERT_TRUE(r.ok) << Text(r);
    EXPECT_EQ(r.image.pixels.size(), 64u * 64 * 4);
}

// --- loading from files ----------------------------------------------------------------

TEST(ImageKind, LastFourCharactersWithoutRegardToCase) {
    EXPECT_EQ(ImageKindOf("data\\wall.bmp"), ImageKind::BMP);
    EXPECT_EQ(ImageKindOf("data\\WALL.Bmp"), ImageKind::BMP);
    EXPECT_EQ(ImageKindOf("data\\a.JpG"), ImageKind::JPG);
    EXPECT_EQ(ImageKindOf("data\\a.tga"), ImageKind::TGA);
    EXPECT_EQ(ImageKindOf("data\\pic.jpeg"), ImageKind::None);
    EXPECT_EQ(ImageKindOf(".bm"), ImageKind::None);
}

TEST_F(LoaderFiles, SuccessfulLoadsUploadAndStoreTheName) {
    Write("wall.bmp", Bmp(4, 2));
    Write("pic.jpg", Jpeg(8, 8, false));
    Bytes tga = TgaHeader(2, 1, 1, 32);
    tga.insert(tga.end(), {1, 2, 3, 4});
    Write("sprite.TGA", tga);
    uint32_t bmp = 0, jpg = 0, tgaName = 0;
    LoadTextureFile("data\\WALL.Bmp", bmp);
    LoadTextureFile("data\\pic.jpg", jpg);
    LoadTextureFile("data\\sprite.tga", tgaName);
    EXPECT_EQ(bmp, 1u);
    EXPECT_EQ(jpg, 2u);
    EXPECT_EQ(tgaName, 3u);
    EXPECT_TRUE(g_messages.empty());
    EXPECT_NE(trace.find("glGenTextures(1) -> 1\n"
                         "glBindTexture(3553, 1)\n"
                         "glTexEnvi(8960, 8704, 8448)\n"
                         "glTexParameteri(3553, 10240, 9729)\n"
                         "glTexParameteri(3553, 10241, 9729)\n"
                         "gluBuild2DMipmaps(3553, 3, 4, 2, 6407, 5121, sha256:"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("gluBuild2DMipmaps(3553, 6408, 8, 8, 6408, 5121, sha256:"),
              std::string::npos);
    EXPECT_NE(trace.find("gluBuild2DMipmaps(3553, 6408, 1, 1, 6408, 5121, sha256:"),
              std::string::npos);
}

TEST_F(LoaderFiles, FailuresShowTheirMessageAndKeepTheSlot) {
    Write("broken.tga", TgaHeader(3, 4, 4, 8));
    uint32_t name = 7;
    LoadTextureFile("data\\none.bmp", name);
    LoadTextureFile("data\\none.jpg", name);
    LoadTextureFile("data\\none.tga", name);
    LoadTextureFile("data\\broken.tga", name);
    LoadTextureFile("data\\pic.jpeg", name);
    EXPECT_EQ(name, 7u);
    EXPECT_TRUE(trace.empty()) << "nothing uploaded";
    ASSERT_EQ(g_messages.size(), 4u) << "an unknown ending reports nothing";
    EXPECT_EQ(g_messages[0].caption + "|" + g_messages[0].text,
              "BMP Unit|Error opening data\\none.bmp");
    EXPECT_EQ(g_messages[1].caption + "|" + g_messages[1].text,
              "BMP Unit|Couldn't load JPG - \"data\\none.jpg\"");
    EXPECT_EQ(g_messages[2].caption + "|" + g_messages[2].text,
              "TGA Texture|File not found  - data\\none.tga");
    EXPECT_EQ(
        g_messages[3].caption + "|" + g_messages[3].text,
        "TGA File Error|Couldn't load \"data\\broken.tga\". Only 24 and 32bit TGA supported.");
}

TEST_F(LoaderFiles, EachLoaderReadsItsOwnFormatWhateverTheName) {
    Write("really_a_bmp.tga", Bmp(4, 1));
    uint32_t name = 0;
    EXPECT_TRUE(LoadBMP("data\\really_a_bmp.tga", name));
    EXPECT_EQ(name, 1u);
    EXPECT_FALSE(LoadJPG("data\\really_a_bmp.tga", name));
    EXPECT_EQ(name, 1u);
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0].text, "Couldn't load JPG - \"data\\really_a_bmp.tga\"");
}

#ifndef _WIN32  // UTF-8 names on disk are Linux's; Windows takes the ANSI bytes as they are
// Names in the demo file are Windows-1252; the files on disk and the messages are UTF-8.
TEST_F(LoaderFiles, WindowsNamesLoadFromTheirUtf8FilesAndMessagesShowUtf8) {
    Write("b\xC3\xA4r.bmp", Bmp(4, 2));
    uint32_t name = 0;
    LoadTextureFile("data\\B\xC4R.BMP", name);
    EXPECT_EQ(name, 1u);
    EXPECT_TRUE(g_messages.empty());
    Write("\xC3\xA9t\xC3\xA9.bmp", {'B', 'M'});
    LoadTextureFile("data\\n\xF6ne.jpg", name);
    LoadTextureFile("data\\\xC9T\xC9.bmp", name);
    LoadTextureFile("data\\n\xF6ne.tga", name);
    ASSERT_EQ(g_messages.size(), 3u);
    EXPECT_EQ(g_messages[0].text, "Couldn't load JPG - \"data\\n\xC3\xB6ne.jpg\"");
    EXPECT_EQ(g_messages[1].text.rfind("Couldn't load \"data\\\xC3\x89T\xC3\x89.bmp\".", 0), 0u)
        << g_messages[1].text;
    EXPECT_EQ(g_messages[2].text, "File not found  - data\\n\xC3\xB6ne.tga");
}
#endif
