// qv render DEMO.acs (--time T -o OUT.png | --frames START:END:STEP -o DIR/|PATTERN |
//           --video OUT [--from MS] [--to MS] [--lossless] [--no-music] [--jobs N]
//           [--cores K] [--from-frame N]) [--size WxH] [--fps F]
// Renders frames of a demo with no display: a headless OpenGL context (EGL, Mesa's
// surfaceless platform), the player's own start-up sequence without audio, and the frame
// loop simulated from time 0 at F frames per second (default 60), so that script variables
// evolve as in a real run. The frame at each requested time is written as PNG. The same
// command gives the same bytes. The run's first frame (time 0) only selects each track's clip
// and runs none, as in the player: it is the clear colour, and a warning says so.
// --frames names the files by time in a folder, or numbers them from 0 after a printf pattern
// ("shots/f%05d.png"). --video writes one video file with the music (video_export.h).
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/demo_loader.h"
#include "app/engine.h"
#include "core/command_line.h"
#include "core/quote.h"
#include "gl/gl_layer.h"
#include "platform/headless.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "scripter/scripter.h"
#include "tools/qv/cli.h"
#include "tools/qv/qv_commands.h"
#include "tools/render/frame_names.h"
#include "tools/render/png_writer.h"
#include "tools/render/seek.h"
#include "tools/video/video_export.h"
#include "tools/video/video_jobs.h"

namespace tools {

extern const char kRenderHelp[] =
    "usage: qv render DEMO.acs|SOURCE.qvs (--time T -o OUT.png |\n"
    "                 --frames START:END:STEP -o DIR/|PATTERN |\n"
    "                 --video OUT.mp4|.mkv|.webm [--from MS] [--to MS] [--lossless]\n"
    "                 [--no-music] [--jobs N] [--cores K] [--from-frame N])\n"
    "                 [--size WxH] [--fps F] [--replay]\n"
    "Renders frames of the demo headless, as the player draws them, into PNG images or a video.\n"
    "A demo source (.qvs) is built in memory first.\n"
    "  --time T                 the frame at demo time T ms, written to -o OUT.png\n"
    "  --frames START:END:STEP  every STEP ms from START to END, into DIR/ (frame_T.png) or a\n"
    "                           PATTERN such as 'shots/f%05d.png', numbered from 0\n"
    "  --video OUT              a video of the run with its music (.mp4, .mkv or .webm)\n"
    "  --from MS, --to MS       the video's first and last demo time (default: 0 to the end)\n"
    "  --lossless               FFV1 with RGB pixels in .mkv, the same pixels as the PNGs\n"
    "  --no-music               a video without sound\n"
    "  --jobs N                 render the video in N processes, each a piece from its exact\n"
    "                           seek, then join the pieces without re-encoding (the same\n"
    "                           frames; default 1)\n"
    "  --cores K                cores the export may use (default: all)\n"
    "  --from-frame N           leave out the first N frames of the video from --from, which the\n"
    "                           run still goes through (a piece of a --jobs export)\n"
    "  -o OUT.png | DIR/        where the image or the images go\n"
    "  --size WxH               frame size (default 800x600, each 1 to 8192)\n"
    "  --fps F                  frames per second the run advances at (default 60)\n"
    "  --replay                 draw every frame of the run; by default only the frames a\n"
    "                           written picture depends on are drawn (the pictures are the same)\n"
    "The run starts at 0 ms; its first frame only selects the clips and draws none, so the\n"
    "frame at 0 ms is always empty (black).\n"
    "Exit status: 0 written, 1 errors, 2 wrong arguments.\n";

namespace {

struct RenderOptions {
    std::string demoPath;
    std::string output;
    std::vector<int32_t> times;  // ascending
    bool framesToFolder = false;
    bool framesByPattern = false;
    FramePattern pattern;
    bool toVideo = false;
    VideoJob video;
    int32_t width = 800, height = 600;
    int32_t fps = 60;
    bool replay = false;  // draw every frame of the run instead of only those a picture needs
    int32_t jobs = 1;     // processes of a video export
    int32_t fromFrame = 0;
};

// START:END:STEP, every time from START to END inclusive.
bool ParseFrames(std::string_view text, std::vector<int32_t>& times) {
    size_t colon = text.find(':');
    int32_t start, end, step;
    if (colon == std::string_view::npos || !core::ParseNumber(text.substr(0, colon), start) ||
        !core::ParsePair(text.substr(colon + 1), ':', end, step) || step <= 0 || start < 0 ||
        end < start)
        return false;
    constexpr int64_t kMostFrames = 100000;
    if ((int64_t(end) - start) / step >= kMostFrames) return false;
    for (int64_t t = start; t <= end; t += step) times.push_back(int32_t(t));
    return true;
}

std::string RunTooLong(int32_t time, int32_t fps) {
    const int64_t seconds = kMostRunFrames / fps;
    char most[48];
    std::snprintf(most, sizeof most, "%lld:%02lld:%02lld", (long long)(seconds / 3600),
                  (long long)(seconds / 60 % 60), (long long)(seconds % 60));
    return "the run to " + std::to_string(time) + " ms at " + std::to_string(fps) + " fps has " +
           std::to_string(RunFrameCount(time, fps)) + " frames; qv render runs at most " +
           std::to_string(kMostRunFrames) + " (" + most + " of demo time at " +
           std::to_string(fps) + " fps)";
}

// Returns an error text, or "" when the options are complete.
std::string ParseOptions(int argc, char** argv, RenderOptions& o) {
    bool haveTime = false, haveFrames = false, haveRange = false;
    for (int i = 0; i < argc; ++i) {
        std::string_view arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--time") {
            int32_t t;
            if (!value || !core::ParseNumber(value, t) || t < 0)
                return "--time needs a demo time in whole milliseconds, 0 or more";
            o.times = {t};
            haveTime = true;
            ++i;
        } else if (arg == "--frames") {
            if (!value || !ParseFrames(value, o.times))
                return "--frames needs START:END:STEP in milliseconds (0 <= START <= END, "
                       "STEP > 0, at most 100000 frames)";
            haveFrames = true;
            ++i;
        } else if (arg == "--video") {
            if (!value) return "--video needs a file name";
            o.video.output = value;
            o.toVideo = true;
            ++i;
        } else if (arg == "--from" || arg == "--to") {
            int32_t& ms = arg == "--from" ? o.video.from : o.video.to;
            if (!value || !core::ParseNumber(value, ms) || ms < 0)
                return std::string(arg) + " needs a demo time in whole milliseconds, 0 or more";
            haveRange = true;
            ++i;
        } else if (arg == "--lossless") {
            o.video.lossless = true;
            haveRange = true;
        } else if (arg == "--no-music") {
            o.video.music = false;
            haveRange = true;
        } else if (arg == "--from-frame") {
            if (!value || !core::ParseNumber(value, o.fromFrame) || o.fromFrame < 0)
                return "--from-frame needs a frame number, 0 or more";
            o.video.firstFrame = o.fromFrame;
            haveRange = true;
            ++i;
        } else if (arg == "--jobs" || arg == "--cores") {
            int32_t& count = arg == "--jobs" ? o.jobs : o.video.cores;
            if (!value || !core::ParseNumber(value, count) || count < 1 || count > 64)
                return std::string(arg) + " needs a number from 1 to 64";
            haveRange = true;
            ++i;
        } else if (arg == "-o") {
            if (!value) return "-o needs a file or folder name";
            o.output = value;
            ++i;
        } else if (arg == "--size") {
            if (!value || !core::ParseSize(value, o.width, o.height) || o.width > 8192 ||
                o.height > 8192)
                return "--size needs WIDTHxHEIGHT, each 1 to 8192";
            ++i;
        } else if (arg == "--fps") {
            if (!value || !core::ParseNumber(value, o.fps) || o.fps <= 0 || o.fps > 1000)
                return "--fps needs frames per second from 1 to 1000";
            ++i;
        } else if (arg == "--replay") {
            o.replay = true;
        } else if (arg.starts_with("-") || !o.demoPath.empty()) {
            return "unexpected argument " + core::QuoteToken(arg);
        } else {
            o.demoPath = arg;
        }
    }
    if (o.demoPath.empty()) return "no demo file given";
    if (int(haveTime) + int(haveFrames) + int(o.toVideo) != 1)
        return "give exactly one of --time, --frames and --video";
    if (haveRange && !o.toVideo)
        return "--from, --to, --lossless, --no-music, --jobs and --cores go with --video";
    // The video's frames from --from on stream through; the run up to its first one does not.
    const int32_t runTo = o.toVideo ? o.video.from : o.times.back();
    if (RunFrameCount(runTo, o.fps) + o.fromFrame > kMostRunFrames) return RunTooLong(runTo, o.fps);
    if (o.fromFrame > 0 && (o.video.music || o.jobs > 1))
        return "--from-frame goes with --no-music and without --jobs";
    if (o.toVideo) {
        if (!o.output.empty()) return "--video names the output: -o is not needed";
        if (o.video.to >= 0 && o.video.to < o.video.from) return "--to comes before --from";
        o.video.width = o.width;
        o.video.height = o.height;
        o.video.fps = o.fps;
        return "";
    }
    if (o.output.empty()) return "-o is missing";
    o.framesToFolder = haveFrames;
    std::string error;
    o.framesByPattern = haveFrames && IsFramePattern(o.output);
    if (o.framesByPattern && !ParseFramePattern(o.output, o.pattern, error)) return error;
    return "";
}

// Message boxes of the demo become lines on stderr: a renderer must not wait for a click.
void PrintMessage(const std::string& caption, const std::string& text) {
    ReportMessageBox("render", caption, text);
}

// The first wanted time at or after frame `from`, or `last`.
int32_t NextWanted(const std::vector<LoopFrame>& frames, size_t from, int32_t last) {
    for (size_t i = from; i < frames.size(); ++i)
        if (frames[i].wanted) return frames[i].time;
    return last;
}

std::string FramePath(const RenderOptions& o, int32_t t) {
    if (!o.framesToFolder) return o.output;
    if (o.framesByPattern)
        return FramePatternName(
            o.pattern, std::lower_bound(o.times.begin(), o.times.end(), t) - o.times.begin());
    char name[32];
    std::snprintf(name, sizeof name, "frame_%08d.png", int(t));
    return (std::filesystem::path(o.output) / name).string();
}

bool WriteFrame(const RenderOptions& o, int32_t t) {
    std::vector<uint8_t> pixels(size_t(o.width) * size_t(o.height) * 4);
    std::string error;
    std::string path = FramePath(o, t);
    if (!gl::ReadPixelsRGBA(o.width, o.height, pixels.data())) {
        std::fprintf(stderr, "qv render: cannot read the frame at %d ms back\n", int(t));
        return false;
    }
    // The window has no alpha channel: every pixel is opaque.
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    if (!WritePngBottomUp(path, o.width, o.height, pixels.data(), error)) {
        std::fprintf(stderr, "qv render: cannot write '%s': %s\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

// Runs the demo and writes each requested frame. Returns the exit status.
int SimulateAndWrite(const app::OpenDemoFile& file, const RenderOptions& o) {
    const std::vector<LoopFrame> frames = LoopFrames(o.times, o.fps);
    if (!frames.empty() && frames.front().wanted)
        std::fprintf(stderr,
                     "qv render: warning: the frame at %d ms is the run's first, which only "
                     "selects the clips: it shows none of them\n",
                     int(frames.front().time));
    bool written = true;
    auto write = [&](size_t, int32_t t) { return written = WriteFrame(o, t); };
    bool startupFailed = false;
    const RunResult run =
        RenderRun(file, o.width, o.height, frames, o.replay, write, startupFailed);
    if (startupFailed || run.end == RunEnd::Fatal || !written) return 1;
    if (run.end == RunEnd::Quit && run.framesRun < frames.size()) {
        const int32_t wanted = frames.back().time;
        if (frames[run.framesRun - 1].wanted)
            std::fprintf(stderr, "qv render: the demo quits at %d ms\n", int(run.lastTime));
        else
            std::fprintf(stderr, "qv render: the demo quits at %d ms, before %d ms\n",
                         int(run.lastTime), int(NextWanted(frames, run.framesRun, wanted)));
        return 1;
    }
    return 0;
}

// The segments' processes render the demo themselves; this one needs only its music's name.
int ExportInJobs(const app::OpenDemoFile& file, const RenderOptions& o) {
    if (!app::LoadDemoSections(file)) return 1;
    std::vector<std::string> shared = {
        "render", o.demoPath,
        "--size", std::to_string(o.width) + "x" + std::to_string(o.height),
        "--fps",  std::to_string(o.fps)};
    if (o.replay) shared.push_back("--replay");
    return ExportVideoInJobs(o.video, o.jobs, shared);
}

int RenderDemo(const RenderOptions& o) {
    if (o.framesToFolder) {
        std::filesystem::path folder = o.output;
        if (o.framesByPattern) folder = std::filesystem::path(FramePath(o, 0)).parent_path();
        std::error_code ec;
        if (!folder.empty()) std::filesystem::create_directories(folder, ec);
        if (ec) {
            std::fprintf(stderr, "qv render: cannot create folder '%s': %s\n",
                         folder.string().c_str(), ec.message().c_str());
            return 1;
        }
    }
    if (o.toVideo) {
        std::string error = CheckVideoJob(o.video);
        if (!error.empty()) {
            std::fprintf(stderr, "qv render: cannot write '%s': %s\n", o.video.output.c_str(),
                         error.c_str());
            return 1;
        }
    }
    platform::SetContentRootBeside(o.demoPath);
    app::OpenDemoFile demoFile;
    std::vector<uint8_t> bytes;
    if (!ReadDemoInput("render", o.demoPath, bytes) ||
        !app::ReadTitleFrom(o.demoPath, std::move(bytes), demoFile))
        return 1;
    if (o.toVideo && o.jobs > 1) return ExportInJobs(demoFile, o);
    // The software rasteriser's threads count against the cores given.
    if (o.video.cores > 0) setenv("LP_NUM_THREADS", std::to_string(o.video.cores).c_str(), 0);
    std::string error;
    if (!platform::OpenHeadlessContext(o.width, o.height, error)) {
        std::fprintf(stderr, "qv render: no headless OpenGL: %s\n", error.c_str());
        return 1;
    }
    int status = 1;
    if (!o.toVideo) status = SimulateAndWrite(demoFile, o);
    else if (app::RunStartup(demoFile, o.width, o.height, app::StartupHooks{}))
        status =
            ExportVideo(o.video, o.replay ? ReplayFrames(o.video) : SeekFrames(demoFile, o.video));
    platform::CloseHeadlessContext();
    return status;
}

}  // namespace

int RunRender(int argc, char** argv) {
    RenderOptions options;
    std::string error = ParseOptions(argc, argv, options);
    if (!error.empty()) {
        std::fprintf(stderr, "qv render: %s\n%s", error.c_str(), kRenderHelp);
        return 2;
    }
    // Images are written as PNG whatever their name says; a folder of frames names its own.
    const bool namesItsImages =
        !options.toVideo && !(options.framesToFolder && !options.framesByPattern);
    if (namesItsImages && !CheckPngName("render", options.output)) return 2;
    platform::SetMessageSink(PrintMessage);
    int status = RenderDemo(options);
    platform::SetMessageSink(nullptr);
    return status;
}

}  // namespace tools
