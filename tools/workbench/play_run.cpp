#include "tools/workbench/play_run.h"

namespace tools {

RunResult RunToTime(const Build& build, int32_t width, int32_t height, int32_t timeMs, int32_t fps,
                    bool& startupFailed) {
    return RunUpTo(build.file, width, height, timeMs, fps, startupFailed);
}

}  // namespace tools
