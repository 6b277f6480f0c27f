#include "textures/image_loaders.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <csetjmp>
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/byte_reader.h"
#include "core/file_io.h"
#include "core/text.h"
#include "gl/gl_layer.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "textures/upload.h"

namespace textures {
namespace {

constexpr char kBmpCaption[] = "BMP Unit";
constexpr char kTgaMissingCaption[] = "TGA Texture";
constexpr char kTgaCaption[] = "TGA File Error";

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

DecodeResult Refuse(const char* caption, std::string text) {
    DecodeResult result;
    result.message = {caption, std::move(text)};
    return result;
}

DecodeResult Accept(int32_t width, int32_t height, uint32_t format, std::vector<uint8_t> pixels) {
    DecodeResult result;
    result.ok = true;
    result.image = {width, height, format, std::move(pixels)};
    return result;
}

// Blue, green, red [, alpha] becomes red, green, blue [, alpha] for `count` pixels of
// `bytesPerPixel` bytes.
void SwapRedBlue(uint8_t* pixels, uint64_t count, uint32_t bytesPerPixel) {
    for (uint64_t i = 0; i < count; ++i)
        std::swap(pixels[i * bytesPerPixel], pixels[i * bytesPerPixel + 2]);
}

// --- BMP ---------------------------------------------------------------------------------

constexpr uint32_t kBmpFileHeaderSize = 14;
constexpr uint32_t kBmpInfoHeaderSize = 40;  // BITMAPINFOHEADER; V4 is 108 bytes, V5 124

struct BmpHeader {  // BITMAPFILEHEADER (14 bytes) and BITMAPINFOHEADER (40 bytes), fields used
    uint32_t pixelOffset = 0;  // bfOffBits
    uint32_t infoSize = 0;     // biSize
    int32_t width = 0, height = 0;
    uint16_t bitCount = 0;
    int32_t compression = 0;
    uint32_t sizeImage = 0, coloursUsed = 0;
};

// Reads the file header and the first 40 bytes of the information header.
bool ReadBmpHeader(core::ByteReader& r, BmpHeader& h) {
    int32_t pixelOffset, infoSize, sizeImage, coloursUsed;
    uint16_t planes;
    if (!r.Skip(10) || !r.ReadI32(pixelOffset) || !r.ReadI32(infoSize) || !r.ReadI32(h.width) ||
        !r.ReadI32(h.height) || !r.ReadU16LE(planes) || !r.ReadU16LE(h.bitCount) ||
        !r.ReadI32(h.compression) || !r.ReadI32(sizeImage) || !r.Skip(8) ||
        !r.ReadI32(coloursUsed) || !r.Skip(4))
        return false;
    h.pixelOffset = uint32_t(pixelOffset);
    h.infoSize = uint32_t(infoSize);
    h.sizeImage = uint32_t(sizeImage);
    h.coloursUsed = uint32_t(coloursUsed);
    return true;
}

// --- TGA -------------------------------------------------------------------------------

// Run-length packets: header h < 128 is followed by h + 1 raw pixels, otherwise by one pixel
// repeated h - 127 times. Returns the refusal text for data that ends early or overruns the
// image, empty on success.
std::string DecodeTgaRunLength(core::ByteReader& r, const std::string& path, uint64_t pixelCount,
                               uint32_t bytesPerPixel, std::vector<uint8_t>& out) {
    std::string shortData = "Couldn't read file " + Quoted(path) + ".";
    // Each packet of at least 1 + bytesPerPixel bytes yields at most 128 pixels: data too short
    // for the image is refused before the buffer is reserved.
    if (pixelCount > r.Remaining() / (1 + bytesPerPixel) * 128) return shortData;
    out.resize(pixelCount * bytesPerPixel);
    uint64_t written = 0;
    while (written < pixelCount) {
        uint8_t header;
        if (!r.ReadU8(header)) return shortData;
        const bool run = header >= 128;
        const uint64_t count = run ? header - 127u : header + 1u;
        if (written + count > pixelCount)
            return "Couldn't load " + Quoted(path) +
                   ". Run-length data describes more pixels than the image holds.";
        const uint64_t sourceBytes = (run ? 1 : count) * bytesPerPixel;
        if (r.Remaining() < sourceBytes) return shortData;
        const uint8_t* source = r.bytes.data() + r.pos;
        r.Skip(sourceBytes);
        for (uint64_t i = 0; i < count; ++i) {
            std::copy_n(run ? source : source + i * bytesPerPixel, bytesPerPixel,
                        out.data() + (written + i) * bytesPerPixel);
        }
        SwapRedBlue(out.data() + written * bytesPerPixel, count, bytesPerPixel);
        written += count;
    }
    return {};
}

// --- JPEG ------------------------------------------------------------------------------

// libjpeg's default error handler ends the process; this one jumps back to the decoder.
struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->escape, 1);
}
void JpegSilentMessage(j_common_ptr) {}  // warnings (such as a premature end) are not shown

// One ink channel's share of red, green or blue, rounded to nearest. Print JPEGs store ink
// amounts; Photoshop, and every writer of an Adobe marker, stores them inverted (255 = no ink).
//   plain:    v = (255 - c) * (255 - k) / 255
//   inverted: v = c * k / 255
uint8_t InkToLight(uint32_t c, uint32_t k, bool inverted) {
    const uint32_t lightC = inverted ? c : 255 - c, lightK = inverted ? k : 255 - k;
    return uint8_t((lightC * lightK + 127) / 255);
}

// CMYK pixels (four bytes) to RGB (three) in place: the write position never passes the read.
void CmykToRgbInPlace(std::vector<uint8_t>& pixels, size_t count, bool inverted) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* in = pixels.data() + 4 * i;
        const uint8_t c = in[0], m = in[1], y = in[2], k = in[3];
        uint8_t* out = pixels.data() + 3 * i;
        out[0] = InkToLight(c, k, inverted);
        out[1] = InkToLight(m, k, inverted);
        out[2] = InkToLight(y, k, inverted);
    }
    pixels.resize(count * 3);
}

// Decodes into RGB rows, top row first. Holds no object with a destructor, since an error
// leaves it by longjmp; the caller owns `rgb`.
bool DecodeJpegRgb(const uint8_t* data, size_t size, std::vector<uint8_t>* rgb, int32_t* width,
                   int32_t* height) {
    jpeg_decompress_struct cinfo;
    JpegErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = JpegErrorExit;
    errors.base.output_message = JpegSilentMessage;
    if (setjmp(errors.escape)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (uint64_t(cinfo.image_width) * cinfo.image_height > kMaxImagePixels) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // libjpeg turns greyscale into three equal values, but converts no CMYK (or its YCCK
    // coding) to RGB: those are decoded as CMYK and converted here.
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    const bool inverted = cinfo.saw_Adobe_marker;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    *width = int32_t(cinfo.output_width);
    *height = int32_t(cinfo.output_height);
    const size_t rowBytes = size_t(cinfo.output_width) * (cmyk ? 4 : 3);
    rgb->resize(rowBytes * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = rgb->data() + size_t(cinfo.output_scanline) * rowBytes;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (cmyk) CmykToRgbInPlace(*rgb, size_t(*width) * size_t(*height), inverted);
    return true;
}

// --- loading ---------------------------------------------------------------------------

bool ShowOrUpload(const DecodeResult& result, uint32_t& name) {
    if (!result.ok) {
        if (!result.message.text.empty())
            platform::ShowMessage(result.message.caption, result.message.text);
        return false;
    }
    const DecodedImage& image = result.image;
    name = UploadImage(image.width, image.height, image.format, image.pixels.data());
    return true;
}

}  // namespace

DecodeResult DecodeBMP(std::span<const uint8_t> bytes, const std::string& path) {
    core::ByteReader r(bytes);
    BmpHeader h;
    const std::string refused = "Couldn't load " + Quoted(path) + ". ";
    if (!ReadBmpHeader(r, h))
        return Refuse(kBmpCaption, refused + "File ends inside the BMP header.");
    // The colour table (biClrUsed entries of four bytes) is skipped; it is not used.
    if (!r.Skip(uint64_t(h.coloursUsed) * 4)) return Refuse(kBmpCaption, "Error reading palette");
    if (h.bitCount != 24 || h.compression != 0)
        return Refuse(kBmpCaption, refused + "Only uncompressed 24 bit BMP files supported.");
    if (h.width <= 0 || h.height <= 0)
        return Refuse(
            kBmpCaption,
            refused + "Only bottom-up BMP files with a width and height above 0 supported.");
    if (h.width % 4 != 0)
        return Refuse(kBmpCaption,
                      refused + "Only BMP files whose width is a multiple of 4 supported.");
    const uint64_t pixelCount = uint64_t(h.width) * uint64_t(h.height);
    if (h.width > 65535 || h.height > 65535 || pixelCount > kMaxImagePixels)
        return Refuse(kBmpCaption, refused + "Image too large.");
    // With the classic 40-byte information header the pixels follow the colour table and
    // bfOffBits is not consulted, as the player always did. Today's tools write the larger V4
    // and V5 headers, whose extra fields lie between the first 40 bytes and the pixels; there
    // only bfOffBits says where the pixels start.
    if (h.infoSize > kBmpInfoHeaderSize) {
        if (h.pixelOffset < kBmpFileHeaderSize + uint64_t(h.infoSize) ||
            h.pixelOffset > r.bytes.size())
            return Refuse(kBmpCaption, "Error reading bitmap data");
        r.pos = h.pixelOffset;
    }
    const uint64_t dataSize = h.sizeImage != 0 ? h.sizeImage : pixelCount * 3;
    if (r.Remaining() < dataSize || dataSize < pixelCount * 3)
        return Refuse(kBmpCaption, "Error reading bitmap data");
    std::vector<uint8_t> pixels(r.bytes.begin() + r.pos, r.bytes.begin() + r.pos + pixelCount * 3);
    SwapRedBlue(pixels.data(), pixelCount, 3);
    return Accept(h.width, h.height, gl::GL_RGB, std::move(pixels));
}

DecodeResult DecodeTGA(std::span<const uint8_t> bytes, const std::string& path) {
    core::ByteReader r(bytes);
    const std::string refused = "Couldn't load " + Quoted(path) + ". ";
    uint8_t idLength, colourMapType, imageType, bitsPerPixel;
    uint16_t width, height;
    if (!r.ReadU8(idLength) || !r.ReadU8(colourMapType) || !r.ReadU8(imageType) || !r.Skip(9) ||
        !r.ReadU16LE(width) || !r.ReadU16LE(height) || !r.ReadU8(bitsPerPixel) || !r.Skip(1))
        return Refuse(kTgaCaption, "Couldn't read file " + Quoted(path) + ".");
    if (imageType != 2 && imageType != 10)
        return Refuse(kTgaCaption, refused + "Only 24 and 32bit TGA supported.");
    if (colourMapType != 0)
        return Refuse(kTgaCaption, refused + "Colormapped TGA files not supported.");
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        return Refuse(kTgaCaption, refused + "Only 24 and 32 bit TGA files supported.");
    if (idLength != 0)
        return Refuse(kTgaCaption, refused + "TGA files with an image ID not supported.");
    if (width == 0 || height == 0)
        return Refuse(kTgaCaption,
                      refused + "TGA files with a width or height of 0 not supported.");
    const uint64_t pixelCount = uint64_t(width) * height;
    if (pixelCount > kMaxImagePixels) return Refuse(kTgaCaption, refused + "Image too large.");
    const uint32_t bytesPerPixel = bitsPerPixel / 8;
    const uint32_t format = bytesPerPixel == 3 ? gl::GL_RGB : gl::GL_RGBA;
    std::vector<uint8_t> pixels;
    if (imageType == 2) {
        if (r.Remaining() < pixelCount * bytesPerPixel)
            return Refuse(kTgaCaption, "Couldn't read file " + Quoted(path) + ".");
        pixels.assign(r.bytes.begin() + r.pos,
                      r.bytes.begin() + r.pos + pixelCount * bytesPerPixel);
        SwapRedBlue(pixels.data(), pixelCount, bytesPerPixel);
    } else {
        std::string refusal = DecodeTgaRunLength(r, path, pixelCount, bytesPerPixel, pixels);
        if (!refusal.empty()) return Refuse(kTgaCaption, std::move(refusal));
    }
    return Accept(width, height, format, std::move(pixels));
}

DecodeResult DecodeJPG(std::span<const uint8_t> bytes, const std::string& path) {
    std::vector<uint8_t> rgb;
    int32_t width = 0, height = 0;
    if (!DecodeJpegRgb(bytes.data(), bytes.size(), &rgb, &width, &height) || width <= 0 ||
        height <= 0)
        return Refuse(kBmpCaption, "Couldn't load JPG - " + Quoted(path));
    // Output row r is decoded row height - 1 - r: the bottom row of the picture comes first.
    std::vector<uint8_t> rgba(size_t(width) * height * 4);
    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* in = rgb.data() + size_t(height - 1 - row) * width * 3;
        uint8_t* out = rgba.data() + size_t(row) * width * 4;
        for (int32_t x = 0; x < width; ++x) {
            out[4 * x] = in[3 * x];
            out[4 * x + 1] = in[3 * x + 1];
            out[4 * x + 2] = in[3 * x + 2];
            out[4 * x + 3] = 255;
        }
    }
    return Accept(width, height, gl::GL_RGBA, std::move(rgba));
}

ImageKind ImageKindOf(const std::string& path) {
    if (path.size() < 4) return ImageKind::None;
    std::string ending = path.substr(path.size() - 4);
    for (char& c : ending) c = char(std::toupper(static_cast<unsigned char>(c)));
    if (ending == ".BMP") return ImageKind::BMP;
    if (ending == ".JPG") return ImageKind::JPG;
    if (ending == ".TGA") return ImageKind::TGA;
    return ImageKind::None;
}

DecodeResult DecodeImageFile(const std::string& path, ImageKind kind) {
    const std::string resolved = platform::ResolvePath(path);
    const std::string shown = core::Cp1252ToUtf8(path);  // as the user types the name
    std::vector<uint8_t> bytes;
    switch (kind) {
        case ImageKind::BMP:
            if (!core::ReadWholeFile(resolved, bytes))
                return Refuse(kBmpCaption, "Error opening " + shown);
            return DecodeBMP(bytes, shown);
        case ImageKind::JPG:
            if (!core::ReadWholeFile(resolved, bytes))
                return Refuse(kBmpCaption, "Couldn't load JPG - " + Quoted(shown));
            return DecodeJPG(bytes, shown);
        case ImageKind::TGA:
            // Only the TGA loader tests for existence first; a file that exists but cannot
            // be read gets the short-data message.
            if (!std::filesystem::is_regular_file(resolved))
                return Refuse(kTgaMissingCaption, "File not found  - " + shown);
            if (!core::ReadWholeFile(resolved, bytes))
                return Refuse(kTgaCaption, "Couldn't read file " + Quoted(shown) + ".");
            return DecodeTGA(bytes, shown);
        case ImageKind::None: break;
    }
    return {};
}

bool LoadBMP(const std::string& path, uint32_t& name) {
    return ShowOrUpload(DecodeImageFile(path, ImageKind::BMP), name);
}
bool LoadJPG(const std::string& path, uint32_t& name) {
    return ShowOrUpload(DecodeImageFile(path, ImageKind::JPG), name);
}
bool LoadTGA(const std::string& path, uint32_t& name) {
    return ShowOrUpload(DecodeImageFile(path, ImageKind::TGA), name);
}

void LoadTextureFile(const std::string& path, uint32_t& name) {
    ShowOrUpload(DecodeImageFile(path, ImageKindOf(path)), name);
}

}  // namespace textures
