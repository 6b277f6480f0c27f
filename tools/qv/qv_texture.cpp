// qv texture: one texture as the player builds it, written as raw RGBA or as a PNG.
//   qv texture --program PROG.bin (--raw OUT.rgba | -o OUT.png)
//   qv texture DEMO.acs|SOURCE.qvs --slot N (--raw OUT.rgba | -o OUT.png)
// --raw writes width x height x 4 bytes, row 0 (the bottom of the texture) first; the PNG shows
// the texture as it appears on screen, row 0 at the bottom.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "core/byte_reader.h"
#include "core/file_io.h"
#include "demo/demo_file.h"
#include "gl/gl_layer.h"
#include "platform/paths.h"
#include "textures/image_loaders.h"
#include "textures/tex_program.h"
#include "textures/texmanager.h"
#include "tools/qv/cli.h"
#include "tools/qv/qv_commands.h"
#include "tools/render/png_writer.h"

namespace tools {
namespace {

struct TextureArgs {
    std::string programPath;  // --program
    std::string demoPath;     // DEMO.acs
    long slot = -1;           // --slot
    std::string rawPath;      // --raw
    std::string pngPath;      // -o
};

struct Rgba {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

int Fail(const std::string& text) {
    std::fprintf(stderr, "qv texture: %s\n", text.c_str());
    return 1;
}

// Returns an error text, or "" when the arguments are complete.
std::string ParseArgs(int argc, char** argv, TextureArgs& a) {
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takesValue =
            arg == "--program" || arg == "--slot" || arg == "--raw" || arg == "-o";
        if (takesValue && i + 1 == argc) return arg + " needs a value";
        if (arg == "--program") a.programPath = argv[++i];
        else if (arg == "--slot") {
            char* end = nullptr;
            a.slot = std::strtol(argv[++i], &end, 10);
            if (*argv[i] == '\0' || *end != '\0' || a.slot < 0)
                return "--slot needs a slot number, 0 or more";
        } else if (arg == "--raw") a.rawPath = argv[++i];
        else if (arg == "-o") a.pngPath = argv[++i];
        else if (arg.rfind('-', 0) != 0 && a.demoPath.empty()) a.demoPath = arg;
        else return Unexpected(arg);
    }
    const bool fromProgram = !a.programPath.empty() && a.demoPath.empty() && a.slot < 0;
    const bool fromDemo = a.programPath.empty() && !a.demoPath.empty() && a.slot >= 0;
    if (!fromProgram && !fromDemo) return "give either --program PROG.bin or DEMO --slot N";
    if (a.rawPath.empty() == a.pngPath.empty()) return "give either --raw OUT.rgba or -o OUT.png";
    return "";
}

// Runs one program on working images of its own from the given random state.
Rgba RunProgram(std::span<const uint8_t> programBytes, uint32_t randomState) {
    textures::GeneratorStatePtr g = textures::NewGeneratorState();
    g->random = randomState;
    Rgba out{textures::kLayerSize, textures::kLayerSize,
             std::vector<uint8_t>(textures::kOutputBytes)};
    textures::RunTexProgram(*g, textures::ParseTexProgram(programBytes), out.pixels.data());
    return out;
}

Rgba ToRgba(const textures::DecodedImage& image) {
    if (image.format == gl::GL_RGBA) return {image.width, image.height, image.pixels};
    Rgba out{image.width, image.height, std::vector<uint8_t>(image.pixels.size() / 3 * 4)};
    for (size_t i = 0; i < image.pixels.size() / 3; ++i) {
        std::memcpy(&out.pixels[4 * i], &image.pixels[3 * i], 3);
        out.pixels[4 * i + 3] = 255;
    }
    return out;
}

// Slot `slot` of the demo (bytes, read from demoPath) as the player builds it into out;
// returns why it cannot, or "".
std::string BuildSlot(const std::string& demoPath, const std::vector<uint8_t>& bytes, long slot,
                      Rgba& out) {
    demo::DemoFile demo;
    const demo::DemoResult read = demo::ParseDemoFile(bytes, demoPath, demo);
    if (!read.Ok()) return read.message.empty() ? demoPath + ": not a demo file" : read.message;
    if (size_t(slot) >= demo.textureSources.size())
        return demoPath + " has " + std::to_string(demo.textureSources.size()) +
               " texture slots; there is no slot " + std::to_string(slot);
    const std::string& source = demo.textureSources[size_t(slot)].bytes;
    const std::string where = "slot " + std::to_string(slot);
    switch (textures::SlotKindOf(source)) {
        case textures::SlotKind::RenderTarget:
            return where + " is a render target: its content comes from screen copies";
        case textures::SlotKind::None: return where + " builds no texture (first byte 0)";
        case textures::SlotKind::Program: {
            const std::span<const uint8_t> program = core::AsBytes(source).subspan(1);
            out = RunProgram(program,
                             textures::RandomStateBeforeSlot(demo.textureSources, int32_t(slot)));
            return "";
        }
        case textures::SlotKind::ImageFile: break;
    }
    const std::string path = textures::SlotImagePath(source);
    const textures::ImageKind kind = textures::ImageKindOf(path);
    if (kind == textures::ImageKind::None)
        return where + ": " + path +
               " does not end in .bmp, .jpg or .tga; the player builds nothing";
    platform::SetContentRootBeside(demoPath);
    const textures::DecodeResult decoded = textures::DecodeImageFile(path, kind);
    if (!decoded.ok)  // the player's box gives the loader's words; the tool gives the cause
        return where + ": " + platform::DisplayPath(platform::ResolvePath(path)) + ": " +
               decoded.reason;
    out = ToRgba(decoded.image);
    return "";
}

bool WriteRaw(const std::string& path, const Rgba& image, std::string& error) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.pixels.data()),
              std::streamsize(image.pixels.size()));
    if (!out) error = "cannot write " + path;
    return bool(out);
}

}  // namespace

extern const char kTextureHelp[] =
    "usage: qv texture (--program PROG.bin | DEMO.acs|SOURCE.qvs --slot N)\n"
    "                  (--raw OUT.rgba | -o OUT.png)\n"
    "Builds one 512 x 512 texture as the player builds it.\n"
    "  --program PROG.bin  a texture program (the slot's bytes after the marker 2)\n"
    "  DEMO.acs --slot N   texture slot N of a demo file or source (program or image file)\n"
    "  --raw OUT.rgba      write the RGBA bytes, bottom row first\n"
    "  -o OUT.png          write a PNG image ('-': to standard output)\n"
    "Exit status: 0 written, 1 errors, 2 wrong arguments.\n";

int RunTexture(int argc, char** argv) {
    TextureArgs args;
    if (const std::string error = ParseArgs(argc, argv, args); !error.empty())
        return UsageError("texture", error, kTextureHelp);
    if (!args.pngPath.empty() && !CheckPngName("texture", args.pngPath)) return kExitUsage;
    Rgba image;
    std::string error;
    if (!args.programPath.empty()) {
        std::vector<uint8_t> program;
        if (!ReadInput("texture", args.programPath, program)) return kExitErrors;
        image = RunProgram(program, 0);
    } else {
        std::vector<uint8_t> bytes;
        if (!ReadDemoInput("texture", args.demoPath, bytes)) return kExitErrors;
        if (error = BuildSlot(args.demoPath, bytes, args.slot, image); !error.empty())
            return Fail(error);
    }
    const bool written =
        args.rawPath.empty()
            ? WritePngBottomUp(args.pngPath, image.width, image.height, image.pixels.data(), error)
            : WriteRaw(args.rawPath, image, error);
    if (!written) return Fail(error.empty() ? "cannot write output" : error);
    return 0;
}

}  // namespace tools
