// The image-file loaders of texture slots: uncompressed 24-bit BMP, TGA (24 or 32 bits, raw or
// run-length encoded) and JPEG. Decoding is pure (file bytes in, pixels or the message to show
// out); loading reads the file, shows the message in a box or uploads the pixels. The tools
// (qv check, qv texture) run the same decoders and report their `reason`.
// Paths are demo-file names ("data\rock.jpg", Windows-1252): messages show them as written,
// in UTF-8; files are opened through platform::ResolvePath.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace textures {

// Larger images are refused before any pixel buffer is reserved (8192 x 8192).
inline constexpr uint64_t kMaxImagePixels = uint64_t(8192) * 8192;

// Pixels as handed to OpenGL: tightly packed rows, bottom row first; three bytes (red, green,
// blue) for GL_RGB, four (red, green, blue, alpha) for GL_RGBA.
struct DecodedImage {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t format = 0;  // gl::GL_RGB or gl::GL_RGBA
    std::vector<uint8_t> pixels;
};

struct LoaderMessage {
    std::string caption;
    std::string text;
};

struct DecodeResult {
    bool ok = false;
    DecodedImage image;          // when ok
    bool storedTopDown = false;  // when ok: the file stores its top row first (a BMP of negative
                                 // height, a TGA with a top-left origin); rows are used as
                                 // stored, so the picture shows upside down
    LoaderMessage message;       // when not ok: the box the loader shows (its own words)
    std::string reason;          // when not ok: what is really wrong with the file, for the
                                 // tools; the file's name is the caller's to add
};

DecodeResult DecodeBMP(std::span<const uint8_t> bytes, const std::string& path);
DecodeResult DecodeTGA(std::span<const uint8_t> bytes, const std::string& path);
DecodeResult DecodeJPG(std::span<const uint8_t> bytes, const std::string& path);

enum class ImageKind { None, BMP, JPG, TGA };

// The loader for a path: its last four characters, compared without regard to case, are
// ".BMP", ".JPG" or ".TGA"; anything else is None.
ImageKind ImageKindOf(const std::string& path);

// Reads and decodes the file with the loader of `kind`, including that loader's message for a
// file that is missing or cannot be read. ImageKind::None gives a result that is not ok and
// has an empty message (nothing to report).
DecodeResult DecodeImageFile(const std::string& path, ImageKind kind);

// Each loader decodes the file and uploads it, storing the new name in `name` and returning
// true; on failure it shows its message and returns false, leaving `name` as it was.
bool LoadBMP(const std::string& path, uint32_t& name);
bool LoadJPG(const std::string& path, uint32_t& name);
bool LoadTGA(const std::string& path, uint32_t& name);

// Chooses the loader by ImageKindOf; any other ending does nothing and reports nothing.
void LoadTextureFile(const std::string& path, uint32_t& name);

}  // namespace textures
