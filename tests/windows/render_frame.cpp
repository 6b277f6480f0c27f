// The Windows build's picture of one frame, for comparison with `qv render` on Linux:
//   render_frame DEMO TIME_MS WIDTHxHEIGHT FPS OUT.ppm
// The demo runs as `qv render --time` runs it (start-up, then the frames at FPS up to the
// time, on a hidden window's context) and the frame is written as a binary PPM, top row first.
#include <cstdio>
#include <string>
#include <vector>

#include "app/demo_loader.h"
#include "gl/gl_layer.h"
#include "platform/headless.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "tools/render/seek.h"

namespace {

void PrintMessage(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "render_frame: %s: %s\n", caption.c_str(), text.c_str());
}

bool WritePpm(const char* path, int32_t width, int32_t height) {
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    if (!gl::ReadPixelsRGBA(width, height, rgba.data())) return false;
    FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    std::fprintf(out, "P6\n%d %d\n255\n", int(width), int(height));
    for (int32_t row = height - 1; row >= 0; --row)
        for (int32_t x = 0; x < width; ++x)
            std::fwrite(&rgba[(size_t(row) * size_t(width) + size_t(x)) * 4], 1, 3, out);
    return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    int width = 0, height = 0, time = -1, fps = 0;
    if (argc != 6 || std::sscanf(argv[2], "%d", &time) != 1 || time < 0 ||
        std::sscanf(argv[3], "%dx%d", &width, &height) != 2 || width < 1 || height < 1 ||
        width > 8192 || height > 8192 || std::sscanf(argv[4], "%d", &fps) != 1 || fps < 1 ||
        fps > 1000 || tools::RunFrameCount(time, fps) > tools::kMostRunFrames) {
        std::fprintf(stderr, "usage: render_frame DEMO TIME_MS WIDTHxHEIGHT FPS OUT.ppm\n");
        return 2;
    }
    platform::SetMessageSink(PrintMessage);
    platform::SetContentRootBeside(argv[1]);
    app::OpenDemoFile file;
    if (!app::ReadTitle(argv[1], file)) return 1;
    std::string error;
    if (!platform::OpenHeadlessContext(width, height, error)) {
        std::fprintf(stderr, "render_frame: no OpenGL context: %s\n", error.c_str());
        return 1;
    }
    const int32_t wanted[] = {time};
    bool written = false, startupFailed = false;
    const tools::RunResult run = tools::RenderRun(
        file, width, height, tools::LoopFrames(wanted, fps), false,
        [&](size_t, int32_t) { return written = WritePpm(argv[5], width, height); }, startupFailed);
    platform::CloseHeadlessContext();
    if (startupFailed || run.end == tools::RunEnd::Fatal || !written) {
        std::fprintf(stderr, "render_frame: no frame at %d ms\n", int(time));
        return 1;
    }
    return 0;
}
