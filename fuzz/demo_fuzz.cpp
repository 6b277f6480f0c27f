// Fuzz target: a whole demo. Any demo.acs goes through the player's start-up sequence (sections,
// textures, models, timeline) and a few frames on the GL recorder, as `qv trace` runs it, with
// no window and no audio. Its content folder holds a few small data files that a demo may name:
// data\marker.bmp, data\marker.tga, data\golden.obj, data\ship.obj and data\rock.vtx (the
// names of the golden-image cases and the example demo, whose builds are the seeds).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "app/demo_loader.h"
#include "app/engine.h"
#include "core/byte_reader.h"
#include "gl/gl_layer.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "scripter/scripter.h"
#include "textures/texmanager.h"

namespace {

namespace fs = std::filesystem;

fs::path g_root;

void IgnoreMessage(const std::string&, const std::string&) {}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// A 4 x 2 uncompressed 24-bit BMP with the 40-byte information header.
std::string TinyBmp() {
    std::string b = "BM";
    for (int32_t v : {54 + 24, 0, 54, 40, 4, 2}) core::AppendI32(b, v);
    b += std::string("\x01\x00\x18\x00", 4);  // planes 1, 24 bits per pixel
    for (int i = 0; i < 6; ++i) core::AppendI32(b, 0);
    for (int i = 0; i < 8; ++i) b += std::string{char(40 * i), char(255 - 30 * i), char(20)};
    return b;
}

// A 2 x 2 run-length encoded 32-bit TGA: one run of four pixels.
std::string TinyTga() {
    std::string b(18, '\0');
    b[2] = 10;
    b[12] = 2, b[14] = 2, b[16] = 32;
    return b + std::string("\x83\x10\x80\xF0\xFF", 5);
}

std::string TinyObj() {
    return "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nvt 0 0\nvt 1 1\nvn 0 0 1\n"
           "g front\nusemtl 1\nf 1/1/1 2/2/1 3/1/1\ng side\nusemtl 2\nf 1/1/1 3/2/1 4/1/1\n";
}

// Vertex file: int32 (ignored), vertex count, then per vertex nx ny nz u v x y z.
std::string TinyVertexFile() {
    std::string b;
    core::AppendI32(b, 0);
    core::AppendI32(b, 3);
    const float v[3][8] = {
        {0, 0, 1, 0, 0, 0, 0, 0}, {0, 0, 1, 1, 0, 1, 0, 0}, {0, 0, 1, 0, 1, 0, 1, 0}};
    for (const auto& vertex : v)
        for (float f : vertex) core::AppendF32(b, f);
    return b;
}

void RemoveContentFolder() { fs::remove_all(g_root); }

// Frame times: the first frame only selects clips; the rest run what covers them.
constexpr int32_t kFrameTimes[] = {0, 40, 1000, 2500, 10000};
constexpr int32_t kWidth = 160, kHeight = 120;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_root = fs::temp_directory_path() / ("qv_demo_fuzz_" + std::to_string(::getpid()));
    fs::create_directories(g_root / "data");
    WriteFile(g_root / "data" / "marker.bmp", TinyBmp());
    WriteFile(g_root / "data" / "marker.tga", TinyTga());
    WriteFile(g_root / "data" / "golden.obj", TinyObj());
    WriteFile(g_root / "data" / "ship.obj", TinyObj());
    WriteFile(g_root / "data" / "rock.vtx", TinyVertexFile());
    std::atexit(RemoveContentFolder);
    platform::SetContentRoot(g_root.string());
    platform::SetMessageSink(IgnoreMessage);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path demoPath = g_root / app::kDemoFileName;
    WriteFile(demoPath, std::string(reinterpret_cast<const char*>(data), size));

    // The recorder without output: every call still goes through the GL layer and every
    // uploaded pixel buffer is read in full, but no text is formatted, so that a slow input
    // is slow in the engine, not in the trace.
    gl::UseRecorder(nullptr);
    app::ResetEngine();
    textures::SetTextureWorkers(0);  // one thread: a finding replays the same way
    app::OpenDemoFile file;
    if (app::ReadTitle(demoPath.string(), file) &&
        app::RunStartup(std::move(file), kWidth, kHeight, app::StartupHooks{})) {
        for (int32_t t : kFrameTimes) {
            if (!app::DrawFrame(t)) break;
            gl::SwapBuffers();
            if (scripter::QuitFlag()) break;
        }
    }
    return 0;
}
