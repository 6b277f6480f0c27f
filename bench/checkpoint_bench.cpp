// What a checkpoint costs against a frame: Nightfall drawn at 800 x 600 and 60 frames per
// second on a headless context, a checkpoint captured once a second; prints the mean frame
// time, the mean capture and restore times and the size of a checkpoint.
//   checkpoint_bench DEMO_FOLDER [SECONDS]   (the folder of demo.acs, which holds data/)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/checkpoint.h"
#include "app/demo_loader.h"
#include "app/engine.h"
#include "gl/gl_layer.h"
#include "platform/headless.h"
#include "platform/message_box.h"

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || chdir(argv[1]) != 0) {
        std::fprintf(stderr, "usage: checkpoint_bench DEMO_FOLDER [SECONDS]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
    platform::SetMessageSink([](const std::string&, const std::string&) {});
    std::string error;
    if (!platform::OpenHeadlessContext(800, 600, error)) {
        std::fprintf(stderr, "checkpoint_bench: %s\n", error.c_str());
        return 1;
    }
    app::OpenDemoFile file;
    if (!app::ReadTitle(app::kDemoFileName, file) || !app::RunStartup(file, 800, 600, {})) return 1;

    Clock::duration frames{}, captures{}, restores{};
    int frameCount = 0, captureCount = 0;
    size_t size = 0;
    app::Checkpoint checkpoint;
    for (int i = 0; i <= seconds * 60; ++i) {
        const Clock::time_point start = Clock::now();
        app::DrawFrame(int32_t(int64_t(i) * 1000 / 60));
        gl::SwapBuffers();
        frames += Clock::now() - start;
        ++frameCount;
        if (i % 60 != 59) continue;
        const Clock::time_point before = Clock::now();
        if (!app::CaptureCheckpoint(checkpoint)) continue;
        captures += Clock::now() - before;
        const Clock::time_point beforeRestore = Clock::now();
        app::RestoreCheckpoint(checkpoint);
        restores += Clock::now() - beforeRestore;
        ++captureCount;
        size = std::max(size, app::CheckpointBytes(checkpoint));
    }
    std::printf("frame:      %.3f ms (mean of %d)\n", Ms(frames) / frameCount, frameCount);
    if (captureCount > 0) {
        std::printf("capture:    %.3f ms (mean of %d)\n", Ms(captures) / captureCount,
                    captureCount);
        std::printf("restore:    %.3f ms\n", Ms(restores) / captureCount);
    }
    std::printf("checkpoint: %zu bytes at most\n", size);
    platform::CloseHeadlessContext();
    return 0;
}
