// qv render --video --jobs N: one export in N processes. The frames are split into N
// segments; each is rendered by a qv render of its own (--from-frame), whose run goes through
// the same frames before it as the whole export's, from an exact seek, without music. The
// segments are then joined into the output without re-encoding (each starts with a key
// frame), and the music is encoded once, here. The frames are those of a single process: a
// lossless export gives the same pixels.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/video/video_export.h"

namespace tools {

struct VideoSegment {
    int64_t firstFrame = 0;
    int64_t frames = 0;
};

// frames split into at most `jobs` segments, in order, their sizes at most one frame apart.
// No frames: no segments.
std::vector<VideoSegment> PlanSegments(int64_t frames, int32_t jobs);

// Exports job in `jobs` processes after the demo's sections have been loaded (the music's
// name). renderArgs are the qv arguments every segment shares: "render", the demo, --size,
// --fps, --replay. Returns the exit status, as ExportVideo does.
int ExportVideoInJobs(const VideoJob& job, int32_t jobs,
                      const std::vector<std::string>& renderArgs);

}  // namespace tools
