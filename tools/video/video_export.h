// qv render --video: a run of the demo written as one video file with its music. Frame i shows
// demo time from + i * 1000 / fps (truncated), up to and including `to`, or by default up to
// the frame in which the demo quits or the end of its music. The music is decoded with the
// player's decoders and muxed so that the sample at music position t plays with the frame of
// demo time t. Frames and samples stream through: memory stays flat.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "app/demo_loader.h"
#include "tools/video/video_writer.h"

namespace tools {

struct VideoJob {
    std::string output;
    int32_t width = 800, height = 600;
    int32_t fps = 60;
    int32_t from = 0;
    int32_t to = -1;  // -1: until the demo quits or its music ends
    bool lossless = false;
    bool music = true;  // false: no audio stream (--no-music)
    // The frames of the run from `from` that come before the video's first (a piece of a
    // --jobs export); the run goes through them as the whole export would. Needs !music.
    int64_t firstFrame = 0;
    int32_t cores = 0;  // cores the export may use; 0: all of them
};

// Demo time of frame i: from + i * 1000 / fps, truncated.
inline int64_t VideoFrameMs(const VideoJob& job, int64_t i) {
    return job.from + i * 1000 / job.fps;
}

// Where the time of a frame went, in seconds (the frame source fills it).
struct FrameCosts {
    double simulate = 0;  // frames run only to reach a later one
    double draw = 0;      // the frame's scripts and GL calls
    double readBack = 0;  // finishing the picture and reading it back
};

enum class FrameDrawn { Go, Quit, Failed };

// Draws the frame of demo time t into rgba (width * height * 4 bytes, bottom row first).
// Times come in ascending order: the first call brings the run to its time, each later call
// is the run's next frame. Quit: the demo executed QUIT in this frame. Failed: the message has
// been printed.
using FrameSource = std::function<FrameDrawn(int32_t t, uint8_t* rgba, FrameCosts& costs)>;

// The full replay: the frame loop at fps frames per second from time 0 up to --from, then
// the video's frames before its first, every frame drawn; from there the frames asked. The
// start-up must have run.
FrameSource ReplayFrames(const VideoJob& job);

// The same pictures by an exact seek (tools/seek.h) to the video's first frame: the run starts
// afresh from the demo file, and of the frames before it only those the video's frames can
// depend on are drawn.
FrameSource SeekFrames(const app::OpenDemoFile& file, const VideoJob& job);

// The writer's format for job, with an audio stream at audioRate (0: none).
VideoFormat VideoFormatOf(const VideoJob& job, int32_t audioRate);

// "" when job's output can be written with this machine's encoders (checked before the demo
// loads), else the reason.
std::string CheckVideoJob(const VideoJob& job);

// Writes the video after the start-up sequence has run. Returns the exit status: 0, 1 on an
// error (the message has been printed; a file that was started is finished so that it plays),
// 130 when interrupted by Ctrl-C (the file is finished up to the last frame).
int ExportVideo(const VideoJob& job, const FrameSource& frames);

}  // namespace tools
