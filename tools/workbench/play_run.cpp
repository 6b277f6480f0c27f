#include "tools/workbench/play_run.h"

#include <cstdio>

#include "platform/window.h"
#include "platform/workbench/overlay.h"

namespace tools {

RunResult RunToTime(const Build& build, KeptRun& kept, bool reuse, int32_t width, int32_t height,
                    int32_t timeMs, int32_t fps, const StopFn& stop, bool& startupFailed,
                    bool& fresh) {
    startupFailed = false;
    fresh = false;
    platform::HoldPresenting(true);
    if (reuse && kept.fps == fps) {
        bool served = false;
        const RunResult run = SeekKept(kept, timeMs, stop, served);
        if (served) {
            platform::HoldPresenting(false);
            return run;
        }
    }
    fresh = true;
    // The driver frees the old context's textures with it: memory stays flat over any
    // number of runs.
    if (platform::ReplaceGLContext()) platform::ForgetOverlayTextures();
    else std::fprintf(stderr, "qv play: no fresh OpenGL context; this run starts on the last\n");
    const RunResult run =
        RunUpTo(build.file, width, height, timeMs, fps, startupFailed, stop, &kept);
    platform::HoldPresenting(false);
    return run;
}

}  // namespace tools
