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

DecodeResult Refuse(const char* caption, std::string text, std::string reason) {
    DecodeResult result;
    result.message = {caption, std::move(text)};
    result.reason = std::move(reason);
    return result;
}

DecodeResult Accept(int32_t width, int32_t height, uint32_t format, std::vector<uint8_t> pixels,
                    bool storedTopDown = false) {
    DecodeResult result;
    result.ok = true;
    result.image = {width, height, format, std::move(pixels)};
    result.storedTopDown = storedTopDown;
    return result;
}

std::string Number(uint64_t n) { return std::to_string(n); }

// The image format the first bytes announce, for a reason that names what the file really is
// ("" when they announce none of these).
std::string ImageFormatOf(std::span<const uint8_t> b) {
    auto startsWith = [&](std::string_view signature) {
        return b.size() >= signature.size() &&
               std::equal(signature.begin(), signature.end(), b.begin(),
                          [](char s, uint8_t c) { return uint8_t(s) == c; });
    };
    if (startsWith("\x89PNG")) return "PNG";
    if (startsWith("\xFF\xD8\xFF")) return "JPEG";
    if (startsWith("GIF8")) return "GIF";
    if (startsWith("BM")) return "BMP";
    if (startsWith("II*") || startsWith(std::string_view("MM\0*", 4))) return "TIFF";
    if (startsWith("RIFF") && b.size() >= 12 && std::equal(b.begin() + 8, b.begin() + 12, "WEBP"))
        return "WebP";
    if (startsWith("8BPS")) return "Photoshop";
    return "";
}

// The reason for a file of another format than its loader reads, or "".
std::string ForeignReason(std::span<const uint8_t> bytes, std::string_view expected) {
    const std::string format = ImageFormatOf(bytes);
    if (format.empty() || format == expected) return "";
    return "the file is a " + format + " image, not a " + std::string(expected) +
           " (only its name says " + std::string(expected) + ")";
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

// The cause behind any refusal of a file that is not a Windows BMP at all, or "": another
// format, or an information header shorter than the 40 bytes the loader reads (OS/2's 12- or
// 16-byte one), whose fields the loader then takes from the wrong places.
std::string BmpCause(std::span<const uint8_t> bytes) {
    if (std::string foreign = ForeignReason(bytes, "BMP"); !foreign.empty()) return foreign;
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M')
        return "the file does not start with \"BM\": it is not a BMP image";
    core::ByteReader r(bytes);
    int32_t infoSize = 0;
    if (!r.Skip(kBmpFileHeaderSize) || !r.ReadI32(infoSize) ||
        infoSize >= int32_t(kBmpInfoHeaderSize))
        return "";
    if (infoSize == 12 || infoSize == 16)
        return "OS/2 BMP header (" + std::to_string(infoSize) +
               " bytes): the player reads the 40-byte Windows header (or its V4 and V5 forms); "
               "save it as a Windows BMP";
    return "BMP information header of " + std::to_string(infoSize) +
           " bytes, shorter than the 40-byte Windows header the player reads";
}

// ", compressed (KIND)" for a biCompression other than 0, "" for 0.
std::string BmpCompressionName(int32_t compression) {
    static const char* const kNames[] = {
        "", "RLE8", "RLE4", "bit fields", "JPEG", "PNG", "alpha bit fields"};
    if (compression == 0) return "";
    if (compression > 0 && compression < int32_t(std::size(kNames)))
        return std::string(", compressed (") + kNames[compression] + ")";
    return ", compression " + std::to_string(compression);
}

// Rows of a 24-bit BMP start on four-byte boundaries; the padding is dropped here.
uint64_t BmpRowStride(int32_t width) { return (uint64_t(width) * 3 + 3) / 4 * 4; }

DecodeResult DecodeBmpAsStored(std::span<const uint8_t> bytes, const std::string& path) {
    core::ByteReader r(bytes);
    BmpHeader h;
    const std::string refused = "Couldn't load " + Quoted(path) + ". ";
    if (!ReadBmpHeader(r, h))
        return Refuse(kBmpCaption, refused + "File ends inside the BMP header.",
                      "the file is " + Number(bytes.size()) +
                          " bytes long and ends inside the 54-byte BMP header");
    // The colour table (biClrUsed entries of four bytes) is skipped; it is not used.
    if (!r.Skip(uint64_t(h.coloursUsed) * 4)) {
        const std::string claimed = "the palette size (biClrUsed) says " + Number(h.coloursUsed) +
                                    " colours of 4 bytes, but " + Number(r.Remaining()) +
                                    " bytes follow the header";
        return Refuse(kBmpCaption, "Error reading palette",
                      h.coloursUsed > 256 ? "broken palette size: " + claimed
                                          : "the file ends inside the palette: " + claimed);
    }
    if (h.bitCount != 24 || h.compression != 0)
        return Refuse(kBmpCaption, refused + "Only uncompressed 24 bit BMP files supported.",
                      std::to_string(h.bitCount) + " bits per pixel" +
                          BmpCompressionName(h.compression) +
                          ": the player reads only uncompressed 24-bit BMP files");
    if (h.width <= 0 || h.height == 0)
        return Refuse(kBmpCaption,
                      refused +
                          "Only BMP files with a width above 0 and a height other than 0 "
                          "supported.",
                      "width " + std::to_string(h.width) + ", height " + std::to_string(h.height) +
                          ": no picture to show");
    // A negative height stores the top row first; the rows are used as stored all the same.
    const bool topDown = h.height < 0;
    const uint64_t height = topDown ? uint64_t(-int64_t(h.height)) : uint64_t(h.height);
    const uint64_t pixelCount = uint64_t(h.width) * height;
    if (h.width > 65535 || height > 65535 || pixelCount > kMaxImagePixels)
        return Refuse(kBmpCaption, refused + "Image too large.",
                      std::to_string(h.width) + " x " + Number(height) +
                          " pixels: more than the player's largest texture (65535 a side, "
                          "8192 x 8192 in all)");
    // With the classic 40-byte information header the pixels follow the colour table and
    // bfOffBits is not consulted, as the player always did. Today's tools write the larger V4
    // and V5 headers, whose extra fields lie between the first 40 bytes and the pixels; there
    // only bfOffBits says where the pixels start.
    if (h.infoSize > kBmpInfoHeaderSize) {
        if (h.pixelOffset < kBmpFileHeaderSize + uint64_t(h.infoSize) ||
            h.pixelOffset > r.bytes.size())
            return Refuse(kBmpCaption, "Error reading bitmap data",
                          "the pixel data offset (bfOffBits " + Number(h.pixelOffset) + ") lies " +
                              (h.pixelOffset > r.bytes.size()
                                   ? "past the end of the " + Number(bytes.size()) + "-byte file"
                                   : std::string("inside the headers")));
        r.pos = h.pixelOffset;
    }
    const uint64_t stride = BmpRowStride(h.width), rowBytes = uint64_t(h.width) * 3;
    const uint64_t needed = stride * (height - 1) + rowBytes;
    const uint64_t dataSize = h.sizeImage != 0 ? h.sizeImage : stride * height;
    if (dataSize < needed)
        return Refuse(kBmpCaption, "Error reading bitmap data",
                      "the image size in the header (biSizeImage " + Number(dataSize) +
                          ") is smaller than the " + Number(needed) + " bytes of " +
                          std::to_string(h.width) + " x " + Number(height) + " pixels");
    if (r.Remaining() < dataSize)
        return Refuse(kBmpCaption, "Error reading bitmap data",
                      "the file ends inside the pixel data: " + Number(dataSize) +
                          " bytes wanted from offset " + Number(r.pos) + ", " +
                          Number(r.Remaining()) + " there");
    std::vector<uint8_t> pixels(pixelCount * 3);
    for (uint64_t row = 0; row < height; ++row)
        std::copy_n(r.bytes.begin() + std::ptrdiff_t(r.pos + row * stride), rowBytes,
                    pixels.begin() + std::ptrdiff_t(row * rowBytes));
    SwapRedBlue(pixels.data(), pixelCount, 3);
    return Accept(h.width, int32_t(height), gl::GL_RGB, std::move(pixels), topDown);
}

// --- TGA -------------------------------------------------------------------------------

// Run-length packets: header h < 128 is followed by h + 1 raw pixels, otherwise by one pixel
// repeated h - 127 times. Returns the refusal for data that ends early or overruns the image;
// not ok with no message on success.
DecodeResult DecodeTgaRunLength(core::ByteReader& r, const std::string& path, uint64_t pixelCount,
                                uint32_t bytesPerPixel, std::vector<uint8_t>& out) {
    const std::string shortData = "Couldn't read file " + Quoted(path) + ".";
    auto endsEarly = [&](uint64_t written) {
        return Refuse(kTgaCaption, shortData,
                      "the file ends inside the run-length data, after " + Number(written) +
                          " of the image's " + Number(pixelCount) + " pixels");
    };
    // Each packet of at least 1 + bytesPerPixel bytes yields at most 128 pixels: data too short
    // for the image is refused before the buffer is reserved.
    if (pixelCount > r.Remaining() / (1 + bytesPerPixel) * 128) return endsEarly(0);
    out.resize(pixelCount * bytesPerPixel);
    uint64_t written = 0;
    while (written < pixelCount) {
        uint8_t header;
        if (!r.ReadU8(header)) return endsEarly(written);
        const bool run = header >= 128;
        const uint64_t count = run ? header - 127u : header + 1u;
        if (written + count > pixelCount)
            return Refuse(kTgaCaption,
                          "Couldn't load " + Quoted(path) +
                              ". Run-length data describes more pixels than the image holds.",
                          "a run-length packet at byte " + Number(r.pos - 1) +
                              " reaches past the image's " + Number(pixelCount) + " pixels");
        const uint64_t sourceBytes = (run ? 1 : count) * bytesPerPixel;
        if (r.Remaining() < sourceBytes) return endsEarly(written);
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

// What an image type the player does not read holds, for the reason of its refusal.
std::string TgaImageTypeName(uint8_t type) {
    switch (type) {
        case 0: return "no image data";
        case 1: return "colour-mapped";
        case 3: return "greyscale";
        case 9: return "run-length colour-mapped";
        case 11: return "run-length greyscale";
        default: return "not a TGA image type";
    }
}

constexpr uint8_t kTgaTopOrigin = 0x20;  // image descriptor bit 5: the top row comes first

DecodeResult DecodeTgaAsStored(std::span<const uint8_t> bytes, const std::string& path) {
    core::ByteReader r(bytes);
    const std::string refused = "Couldn't load " + Quoted(path) + ". ";
    const std::string shortData = "Couldn't read file " + Quoted(path) + ".";
    uint8_t idLength, colourMapType, imageType, bitsPerPixel, descriptor;
    uint16_t width, height;
    if (!r.ReadU8(idLength) || !r.ReadU8(colourMapType) || !r.ReadU8(imageType) || !r.Skip(9) ||
        !r.ReadU16LE(width) || !r.ReadU16LE(height) || !r.ReadU8(bitsPerPixel) ||
        !r.ReadU8(descriptor))
        return Refuse(kTgaCaption, shortData,
                      "the file is " + Number(bytes.size()) +
                          " bytes long, shorter than the 18-byte TGA header");
    const std::string supported = ": the player reads true-colour TGAs of 24 or 32 bits";
    if (imageType != 2 && imageType != 10)
        return Refuse(kTgaCaption, refused + "Only 24 and 32bit TGA supported.",
                      "image type " + std::to_string(imageType) + " (" +
                          TgaImageTypeName(imageType) + ")" + supported);
    if (colourMapType != 0)
        return Refuse(kTgaCaption, refused + "Colormapped TGA files not supported.",
                      "the file carries a colour map (colour-map type " +
                          std::to_string(colourMapType) + ")" + supported + ", without one");
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        return Refuse(kTgaCaption, refused + "Only 24 and 32 bit TGA files supported.",
                      std::to_string(bitsPerPixel) + " bits per pixel" + supported);
    if (width == 0 || height == 0)
        return Refuse(kTgaCaption, refused + "TGA files with a width or height of 0 not supported.",
                      "width " + std::to_string(width) + ", height " + std::to_string(height) +
                          ": no picture to show");
    const uint64_t pixelCount = uint64_t(width) * height;
    if (pixelCount > kMaxImagePixels)
        return Refuse(kTgaCaption, refused + "Image too large.",
                      std::to_string(width) + " x " + std::to_string(height) +
                          " pixels: more than the player's largest texture (8192 x 8192)");
    // The image ID (a comment, often copied from the source picture) lies between the header
    // and the pixels.
    if (!r.Skip(idLength))
        return Refuse(kTgaCaption, shortData,
                      "the file ends inside its " + std::to_string(idLength) + "-byte image ID");
    const uint32_t bytesPerPixel = bitsPerPixel / 8;
    const uint32_t format = bytesPerPixel == 3 ? gl::GL_RGB : gl::GL_RGBA;
    std::vector<uint8_t> pixels;
    if (imageType == 2) {
        if (r.Remaining() < pixelCount * bytesPerPixel)
            return Refuse(kTgaCaption, shortData,
                          "the file ends inside the pixel data: " +
                              Number(pixelCount * bytesPerPixel) + " bytes wanted from offset " +
                              Number(r.pos) + ", " + Number(r.Remaining()) + " there");
        pixels.assign(r.bytes.begin() + std::ptrdiff_t(r.pos),
                      r.bytes.begin() + std::ptrdiff_t(r.pos + pixelCount * bytesPerPixel));
        SwapRedBlue(pixels.data(), pixelCount, bytesPerPixel);
    } else if (DecodeResult refusal =
                   DecodeTgaRunLength(r, path, pixelCount, bytesPerPixel, pixels);
               !refusal.message.text.empty()) {
        return refusal;
    }
    return Accept(width, height, format, std::move(pixels), (descriptor & kTgaTopOrigin) != 0);
}

// --- JPEG ------------------------------------------------------------------------------

// libjpeg's default error handler ends the process; this one jumps back to the decoder.
struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
    char* reason;  // libjpeg's own words for the error, JMSG_LENGTH_MAX bytes
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
    JpegErrorManager* errors = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    errors->base.format_message(cinfo, errors->reason);
    std::longjmp(errors->escape, 1);
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

// Decodes into RGB rows, top row first; on failure `reason` (JMSG_LENGTH_MAX bytes) says why.
// Holds no object with a destructor, since an error leaves it by longjmp; the caller owns `rgb`.
bool DecodeJpegRgb(const uint8_t* data, size_t size, std::vector<uint8_t>* rgb, int32_t* width,
                   int32_t* height, char* reason) {
    jpeg_decompress_struct cinfo;
    JpegErrorManager errors;
    errors.reason = reason;
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
        std::snprintf(reason, JMSG_LENGTH_MAX,
                      "%u x %u pixels: more than the player's largest texture (8192 x 8192)",
                      cinfo.image_width, cinfo.image_height);
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
    DecodeResult result = DecodeBmpAsStored(bytes, path);
    // The box keeps the loader's words, which for a file of another kind or with an older
    // header describe only the symptom; the tools get the cause.
    if (!result.ok) {
        const std::string cause = BmpCause(bytes);
        if (!cause.empty()) result.reason = cause;
    }
    return result;
}

DecodeResult DecodeTGA(std::span<const uint8_t> bytes, const std::string& path) {
    DecodeResult result = DecodeTgaAsStored(bytes, path);
    if (!result.ok) {  // TGA has no signature: only another format's own one says more
        const std::string foreign = ForeignReason(bytes, "TGA");
        if (!foreign.empty()) result.reason = foreign;
    }
    return result;
}

DecodeResult DecodeJPG(std::span<const uint8_t> bytes, const std::string& path) {
    std::vector<uint8_t> rgb;
    int32_t width = 0, height = 0;
    char reason[JMSG_LENGTH_MAX] = "";
    if (!DecodeJpegRgb(bytes.data(), bytes.size(), &rgb, &width, &height, reason) || width <= 0 ||
        height <= 0) {
        std::string cause = ForeignReason(bytes, "JPEG");
        if (cause.empty()) cause = reason[0] ? "libjpeg: " + std::string(reason) : "no picture";
        return Refuse(kBmpCaption, "Couldn't load JPG - " + Quoted(path), std::move(cause));
    }
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
    std::string error;
    // error is "PATH: cannot open the file (why)"; the caller names the file.
    const auto unreadable = [&](const char* caption, std::string text) {
        return Refuse(
            caption, std::move(text),
            error.starts_with(resolved + ": ") ? error.substr(resolved.size() + 2) : error);
    };
    switch (kind) {
        case ImageKind::BMP:
            if (!core::ReadWholeFile(resolved, bytes, &error))
                return unreadable(kBmpCaption, "Error opening " + shown);
            return DecodeBMP(bytes, shown);
        case ImageKind::JPG:
            if (!core::ReadWholeFile(resolved, bytes, &error))
                return unreadable(kBmpCaption, "Couldn't load JPG - " + Quoted(shown));
            return DecodeJPG(bytes, shown);
        case ImageKind::TGA:
            // Only the TGA loader tests for existence first; a file that exists but cannot
            // be read gets the short-data message.
            if (!std::filesystem::is_regular_file(resolved)) {
                error = "the file does not exist";
                return unreadable(kTgaMissingCaption, "File not found  - " + shown);
            }
            if (!core::ReadWholeFile(resolved, bytes, &error))
                return unreadable(kTgaCaption, "Couldn't read file " + Quoted(shown) + ".");
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
