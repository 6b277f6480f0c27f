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
#include "core/sha256.h"
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
// adobe: with an Adobe marker, stored as YCCK as Photoshop writes CMYK (or as CMYK itself
// when ycck is false, which a flat colour survives exactly).
Bytes EncodeJpeg(int width, int height, int components, J_COLOR_SPACE space, bool adobe,
                 const std::function<void(int y, std::vector<uint8_t>& row)>& fillRow,
                 bool ycck = true) {
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
        jpeg_set_colorspace(&c, adobe && ycck ? JCS_YCCK : JCS_CMYK);
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

// A 24-bit BMP whose rows are padded to four bytes with 0xEE; pixel (x, y) of the file is
// (blue x, green y, red 7).
Bytes PaddedBmp(int32_t width, int32_t height, int32_t sizeImage = 0) {
    const size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
    const size_t rows = size_t(std::abs(height));
    Bytes b = Bmp(width, height, 24, 0, 0, sizeImage, 0);
    for (size_t y = 0; y < rows; ++y) {
        for (int32_t x = 0; x < width; ++x) b.insert(b.end(), {uint8_t(x), uint8_t(y), 7});
        b.resize(b.size() + stride - size_t(width) * 3, 0xEE);
    }
    return b;
}

TEST(DecodeBMP, RowsPaddedToFourBytesAreReadAtAnyWidth) {
    for (int32_t width : {1, 2, 3, 5, 127}) {
        SCOPED_TRACE(width);
        DecodeResult r = DecodeBMP(PaddedBmp(width, 3), "data\\odd.bmp");
        ASSERT_TRUE(r.ok) << r.reason;
        ASSERT_EQ(r.image.pixels.size(), size_t(width) * 3 * 3) << "tightly packed";
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t* px = &r.image.pixels[(size_t(y) * width + x) * 3];
                ASSERT_EQ(Bytes(px, px + 3), (Bytes{7, uint8_t(y), uint8_t(x)})) << x << "," << y;
            }
    }
    Bytes sized = PaddedBmp(3, 2, 24);  // biSizeImage counts the padding of both rows
    EXPECT_TRUE(DecodeBMP(sized, "data\\odd.bmp").ok);
    Bytes lastRowCut = PaddedBmp(3, 2);
    lastRowCut.resize(lastRowCut.size() - 3);  // padding of the last row missing: 21 of 24
    DecodeResult cut = DecodeBMP(lastRowCut, "data\\odd.bmp");
    EXPECT_EQ(Text(cut), "BMP Unit: Error reading bitmap data");
    EXPECT_EQ(cut.reason,
              "the file ends inside the pixel data: 24 bytes wanted from offset 54, 21 there");
}

TEST(DecodeBMP, TopDownFilesLoadAsStoredAndSaySo) {
    DecodeResult bottomUp = DecodeBMP(PaddedBmp(3, 2), "data\\a.bmp");
    DecodeResult topDown = DecodeBMP(PaddedBmp(3, -2), "data\\a.bmp");
    ASSERT_TRUE(topDown.ok) << topDown.reason;
    EXPECT_EQ(topDown.image.height, 2);
    EXPECT_EQ(topDown.image.pixels, bottomUp.image.pixels) << "rows in stored order";
    EXPECT_TRUE(topDown.storedTopDown);
    EXPECT_FALSE(bottomUp.storedTopDown);
}

TEST(DecodeBMP, ReasonsForTheToolsNameTheRealCause) {
    auto decode = [](const Bytes& b) { return DecodeBMP(b, "data\\x.bmp"); };
    // An OS/2 file (12-byte header): the loader misreads its fields; the box keeps its words.
    Bytes os2 = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26, 0,  0,
                 0,   12,  0, 0, 0, 4, 0, 4, 0, 1, 0,  24, 0};
    os2.resize(os2.size() + 48, 0x40);
    DecodeResult r = decode(os2);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(Text(r), "BMP Unit: Error reading palette");
    EXPECT_EQ(r.reason.rfind("OS/2 BMP header (12 bytes)", 0), 0u) << r.reason;
    Bytes shortInfo = Bmp(4, 4, 32);  // what lies past its 20 bytes is not a depth
    PutI32(shortInfo, 14, 20);
    EXPECT_EQ(decode(shortInfo).reason.rfind("BMP information header of 20 bytes", 0), 0u);

    Bytes brokenTable = Bmp(4, 4);
    PutI32(brokenTable, 46, -1);
    EXPECT_EQ(decode(brokenTable).reason,
              "broken palette size: the palette size (biClrUsed) says 4294967295 colours of 4 "
              "bytes, but 48 bytes follow the header");
    Bytes shortTable = Bmp(4, 4, 24, 0, 16);
    shortTable.resize(54 + 40);
    EXPECT_EQ(decode(shortTable).reason.rfind("the file ends inside the palette", 0), 0u);

    EXPECT_EQ(decode(Bytes(20, 'B')).reason,
              "the file does not start with \"BM\": it is not a BMP image");
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png.resize(200, 0);
    EXPECT_EQ(decode(png).reason, "the file is a PNG image, not a BMP (only its name says BMP)");
    EXPECT_EQ(decode(Bmp(4, 4, 32)).reason,
              "32 bits per pixel: the player reads only uncompressed 24-bit BMP files");
    EXPECT_EQ(decode(Bmp(4, 4, 32, 3)).reason,
              "32 bits per pixel, compressed (bit fields): the player reads only uncompressed "
              "24-bit BMP files");
    EXPECT_EQ(decode(Bytes{'B', 'M', 1}).reason,
              "the file is 3 bytes long and ends inside the 54-byte BMP header");
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
    const std::string noPicture =
        refused + "Only BMP files with a width above 0 and a height other than 0 supported.";
    EXPECT_EQ(text(Bmp(0, 4)), noPicture);
    EXPECT_EQ(text(Bmp(-4, 4, 24, 0, 0, 0, 48)), noPicture);
    EXPECT_EQ(text(Bmp(4, 0)), noPicture);
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

TEST(DecodeTGA, TheImageIdIsSkippedAndATopLeftOriginReported) {
    Bytes plain = TgaHeader(2, 2, 1, 24);
    plain.insert(plain.end(), {1, 2, 3, 4, 5, 6});
    Bytes withId = TgaHeader(2, 2, 1, 24, 0, 5);
    withId.insert(withId.end(), {'h', 'e', 'l', 'l', 'o', 1, 2, 3, 4, 5, 6});
    DecodeResult a = DecodeTGA(plain, "data\\a.tga"), b = DecodeTGA(withId, "data\\b.tga");
    ASSERT_TRUE(b.ok) << b.reason;
    EXPECT_EQ(b.image.pixels, a.image.pixels);
    Bytes rle = TgaHeader(10, 2, 1, 24, 0, 3);
    rle.insert(rle.end(), {'i', 'd', '!', 0x81, 3, 2, 1});
    DecodeResult c = DecodeTGA(rle, "data\\c.tga");
    ASSERT_TRUE(c.ok) << c.reason;
    EXPECT_EQ(c.image.pixels, (Bytes{1, 2, 3, 1, 2, 3}));
    withId.resize(18 + 4);
    EXPECT_EQ(Text(DecodeTGA(withId, "data\\b.tga")),
              "TGA File Error: Couldn't read file \"data\\b.tga\".");
    EXPECT_EQ(DecodeTGA(withId, "data\\b.tga").reason, "the file ends inside its 5-byte image ID");

    EXPECT_FALSE(a.storedTopDown);
    Bytes topLeft = plain;
    topLeft[17] = 0x20;
    DecodeResult t = DecodeTGA(topLeft, "data\\t.tga");
    ASSERT_TRUE(t.ok);
    EXPECT_TRUE(t.storedTopDown);
    EXPECT_EQ(t.image.pixels, a.image.pixels) << "rows in stored order";
}

TEST(DecodeTGA, ReasonsForTheToolsNameTheRealCause) {
    auto reason = [](const Bytes& b) { return DecodeTGA(b, "data\\t.tga").reason; };
    EXPECT_EQ(reason(TgaHeader(3, 4, 4, 8)),
              "image type 3 (greyscale): the player reads true-colour TGAs of 24 or 32 bits");
    EXPECT_EQ(reason(TgaHeader(2, 4, 4, 24, 1)),
              "the file carries a colour map (colour-map type 1): the player reads true-colour "
              "TGAs of 24 or 32 bits, without one");
    EXPECT_EQ(reason(TgaHeader(2, 4, 4, 16)),
              "16 bits per pixel: the player reads true-colour TGAs of 24 or 32 bits");
    EXPECT_EQ(reason(Bytes(5, 0)), "the file is 5 bytes long, shorter than the 18-byte TGA header");
    Bytes raw = TgaHeader(2, 2, 2, 24);
    raw.resize(raw.size() + 11);
    EXPECT_EQ(reason(raw),
              "the file ends inside the pixel data: 12 bytes wanted from offset 18, 11 there");
    Bytes rle = TgaHeader(10, 4, 1, 24);
    rle.insert(rle.end(), {0x81, 1, 2, 3});
    EXPECT_EQ(reason(rle),
              "the file ends inside the run-length data, after 2 of the image's 4 "
              "pixels");
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0};
    jpeg.resize(40, 0);
    EXPECT_EQ(reason(jpeg), "the file is a JPEG image, not a TGA (only its name says TGA)");
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

// Each channel is rounded to nearest: (255 - ink) * (255 - black) / 255 is 125.1 for cyan 100
// under black 50, 180.9 for magenta 30 and 204.2 for yellow 1. A flat picture stored as CMYK
// (no YCCK transform) decodes to exactly the inks written, so the bytes are exact.
TEST(DecodeJPG, PrintCmykRoundsEachChannelToNearest) {
    const std::array<uint8_t, 4> inks = {100, 30, 1, 50};
    for (bool adobe : {true, false}) {
        SCOPED_TRACE(adobe ? "Adobe marker, inverted samples" : "plain samples");
        const Bytes jpeg = EncodeJpeg(
            8, 8, 4, JCS_CMYK, adobe,
            [&](int, std::vector<uint8_t>& row) {
                for (size_t i = 0; i < row.size(); ++i)
                    row[i] = adobe ? uint8_t(255 - inks[i % 4]) : inks[i % 4];
            },
            false);
        DecodeResult r = DecodeJPG(jpeg, "data\\print.jpg");
        ASSERT_TRUE(r.ok) << Text(r);
        ASSERT_EQ(r.image.pixels.size(), 8u * 8 * 4);
        for (size_t i = 0; i < r.image.pixels.size(); i += 4)
            ASSERT_EQ(Bytes(r.image.pixels.begin() + long(i), r.image.pixels.begin() + long(i) + 4),
                      (Bytes{125, 181, 204, 255}))
                << "pixel " << i / 4;
    }
}

TEST(DecodeJPG, UndecodableDataGivesTheLoaderMessage) {
    const std::string message = "BMP Unit: Couldn't load JPG - \"data\\bad.jpg\"";
    EXPECT_EQ(Text(DecodeJPG({}, "data\\bad.jpg")), message);
    EXPECT_EQ(DecodeJPG(Bytes(100, 0x41), "data\\bad.jpg").reason,
              "libjpeg: Not a JPEG file: starts with 0x41 0x41");
    EXPECT_EQ(DecodeJPG(Bytes{'B', 'M', 0, 0}, "data\\bad.jpg").reason,
              "the file is a BMP image, not a JPEG (only its name says JPEG)");
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

TEST_F(LoaderFiles, ThreeByteRowsReachOpenGlPaddedToItsUnpackAlignment) {
    Write("odd.bmp", PaddedBmp(3, 2));  // rows of 9 bytes: GL reads them 12 bytes apart
    uint32_t name = 0;
    LoadTextureFile("data\\odd.bmp", name);
    Bytes aligned;
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) aligned.insert(aligned.end(), {7, uint8_t(y), uint8_t(x)});
        if (y == 0) aligned.resize(aligned.size() + 3, 0);
    }
    const std::array<uint8_t, 32> md = core::Sha256(aligned.data(), aligned.size());
    char digest[17];
    for (int i = 0; i < 8; ++i) std::snprintf(digest + 2 * i, 3, "%02x", md[size_t(i)]);
    EXPECT_NE(trace.find("gluBuild2DMipmaps(3553, 3, 3, 2, 6407, 5121, sha256:" +
                         std::string(digest) + ")"),
              std::string::npos)
        << trace;
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
