#include "tools/video/video_jobs.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/workbench/child_process.h"
#include "tools/video/video_music.h"
#include "tools/video/video_writer.h"

namespace tools {
namespace {

using Clock = std::chrono::steady_clock;

// A segment's video and its qv render's stderr, hidden beside the output (the same file
// system, and the container its extension names): ".NAME.partK.EXT" and ".NAME.partK.log".
struct SegmentFiles {
    std::string video, log;
};

SegmentFiles FilesOf(const std::string& output, size_t k) {
    const std::filesystem::path out(output);
    const std::string base = "." + out.stem().string() + ".part" + std::to_string(k);
    return {(out.parent_path() / (base + out.extension().string())).string(),
            (out.parent_path() / (base + ".log")).string()};
}

// Removes the segments' files however the export ends.
struct TemporaryFiles {
    std::vector<std::string> paths;
    TemporaryFiles() = default;
    TemporaryFiles(const TemporaryFiles&) = delete;
    TemporaryFiles& operator=(const TemporaryFiles&) = delete;
    ~TemporaryFiles() {
        for (const std::string& path : paths) std::remove(path.c_str());
    }
};

std::vector<std::string> SegmentArgs(const VideoJob& job, const VideoSegment& segment,
                                     const std::string& video, int32_t cores,
                                     const std::vector<std::string>& renderArgs) {
    std::vector<std::string> args = renderArgs;
    const int64_t last = segment.firstFrame + segment.frames - 1;
    // The piece's run goes through the whole export's frames before it: the same times.
    args.insert(args.end(), {"--video", video, "--from", std::to_string(job.from), "--from-frame",
                             std::to_string(segment.firstFrame), "--to",
                             std::to_string(VideoFrameMs(job, last)), "--no-music", "--cores",
                             std::to_string(cores)});
    if (job.lossless) args.push_back("--lossless");
    return args;
}

// A segment's stderr on ours, without the lines about its own file (the export says where
// the video stops).
void RelayLog(const SegmentFiles& files) {
    std::ifstream in(files.log);
    const std::string summary = "qv render: " + files.video + ": ", named = "'" + files.video + "'";
    for (std::string line; std::getline(in, line);)
        if (!line.starts_with(summary) && line.find(named) == std::string::npos)
            std::fprintf(stderr, "%s\n", line.c_str());
}

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

// Ctrl-C is passed on to the segments' processes (from a terminal they have it already),
// which finish their files up to their last frame; the export itself goes on to join what
// they wrote.
class ForwardInterrupts {
public:
    ForwardInterrupts() : previous_(std::signal(SIGINT, OnInterrupt)) { g_interrupted = 0; }
    ~ForwardInterrupts() { std::signal(SIGINT, previous_); }
    ForwardInterrupts(const ForwardInterrupts&) = delete;
    ForwardInterrupts& operator=(const ForwardInterrupts&) = delete;

private:
    void (*previous_)(int);
};

struct SegmentRun {
    VideoSegment segment;
    SegmentFiles files;
    platform::ChildProcess child;
    int status = -1;
};

// Ended well, or stopped by Ctrl-C (its file finished up to its last frame).
bool Succeeded(const SegmentRun& run) { return run.status == 0 || run.status == 130; }

// Starts every segment's qv render; a segment that cannot start has status -1.
std::vector<SegmentRun> StartSegments(const VideoJob& job, const std::vector<VideoSegment>& plan,
                                      const std::vector<std::string>& renderArgs,
                                      TemporaryFiles& temporary) {
    const int32_t machine = int32_t(std::max(1u, std::thread::hardware_concurrency()));
    const int32_t available = job.cores > 0 ? std::min(job.cores, machine) : machine;
    const int32_t cores = std::max<int32_t>(1, available / int32_t(plan.size()));
    std::vector<SegmentRun> runs;
    for (size_t k = 0; k < plan.size(); ++k) {
        SegmentRun run{plan[k], FilesOf(job.output, k), {}, -1};
        temporary.paths.push_back(run.files.video);
        temporary.paths.push_back(run.files.log);
        std::string error;
        // llvmpipe's rasterisers take their share of the cores as well.
        if (!platform::StartSelf(SegmentArgs(job, run.segment, run.files.video, cores, renderArgs),
                                 {"LP_NUM_THREADS=" + std::to_string(cores)}, run.files.log,
                                 run.child, error))
            std::fprintf(stderr, "qv render: piece %zu: %s\n", k + 1, error.c_str());
        runs.push_back(std::move(run));
    }
    return runs;
}

// Waits until every segment has ended, passing a Ctrl-C on once.
void WaitForSegments(std::vector<SegmentRun>& runs) {
    bool passedOn = false;
    for (;;) {
        bool running = false;
        for (SegmentRun& run : runs)
            if (run.child.pid >= 0 && !platform::ChildEnded(run.child, run.status)) running = true;
        if (!running) return;
        if (g_interrupted && !passedOn) {
            for (const SegmentRun& run : runs) platform::InterruptChild(run.child);
            passedOn = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

std::vector<VideoSegment> PlanSegments(int64_t frames, int32_t jobs) {
    std::vector<VideoSegment> plan;
    if (frames <= 0 || jobs <= 0) return plan;
    const int64_t pieces = std::min<int64_t>(jobs, frames);
    for (int64_t k = 0; k < pieces; ++k) {
        const int64_t first = frames * k / pieces;
        plan.push_back({first, frames * (k + 1) / pieces - first});
    }
    return plan;
}

int ExportVideoInJobs(const VideoJob& job, int32_t jobs,
                      const std::vector<std::string>& renderArgs) {
    const Clock::time_point start = Clock::now();
    VideoMusic music;
    if (job.music) OpenMusic(job, music);
    if (SayMusicEndsBeforeFrom(music, job)) return 1;
    const int64_t total = CountVideoFrames(job);
    if (total == 0) {
        std::fprintf(stderr, "qv render: no frame between %d and %d ms\n", int(job.from),
                     int(job.to));
        return 1;
    }
    const std::vector<VideoSegment> plan = PlanSegments(total, jobs);
    std::fprintf(stderr, "qv render: up to %lld frames in %zu pieces\n", (long long)total,
                 plan.size());
    TemporaryFiles temporary;
    std::vector<SegmentRun> runs;
    {
        ForwardInterrupts forward;
        runs = StartSegments(job, plan, renderArgs, temporary);
        WaitForSegments(runs);
    }

    const VideoFormat format = VideoFormatOf(job, music.open ? music.rate : 0);
    VideoWriter writer;
    std::string error;
    // A piece that failed has finished its file up to its last frame, as one process would.
    if (!writer.OpenJoined(job.output, format, runs.front().files.video, error)) {
        RelayLog(runs.front().files);
        if (Succeeded(runs.front()))
            std::fprintf(stderr, "qv render: cannot write '%s': %s\n", job.output.c_str(),
                         error.c_str());
        else
            std::fprintf(stderr, "qv render: piece 1 failed: '%s' is not written\n",
                         job.output.c_str());
        return 1;
    }
    auto feedMusic = [&](int64_t frame, std::string& why) {
        if (!music.open) return true;
        std::vector<float> audio;
        TakeMusic(job, frame + 1, music, audio);
        return writer.WriteAudio(audio.data(), int64_t(audio.size() / 2), why);
    };
    int status = 0;
    int64_t written = 0;
    std::string stop;
    for (size_t k = 0; k < runs.size(); ++k) {
        const SegmentRun& run = runs[k];
        int64_t copied = 0;
        const bool ok =
            writer.AppendSegment(run.files.video, run.segment.firstFrame, feedMusic, copied, error);
        written += copied;
        if (!Succeeded(run)) {
            if (k > 0) RelayLog(run.files);
            stop = "piece " + std::to_string(k + 1) + " failed";
            status = 1;
            break;
        }
        if (!ok) {
            stop = error;
            status = 1;
            break;
        }
        // A segment ends early when the demo quits in it, or when Ctrl-C stopped it.
        if (copied < run.segment.frames) {
            if (run.status == 130) {
                stop = "interrupted";
                status = 130;
            }
            break;
        }
    }
    RelayLog(runs.front().files);  // the demo's own messages, once
    const bool finished = writer.Finish(error);
    if (!finished && stop.empty()) {
        stop = error;
        status = 1;
    }
    const int64_t lastMs = written > 0 ? VideoFrameMs(job, written - 1) : job.from;
    if (!stop.empty())
        std::fprintf(stderr, "qv render: %s: '%s' stops after %lld frames, at %lld ms\n",
                     stop.c_str(), job.output.c_str(), (long long)written, (long long)lastMs);
    if (music.open && MusicCutShort(music)) {
        SayMusicCutShort(music, job);
        if (status == 0) status = 1;
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double seconds = double(written) / job.fps;
    std::fprintf(
        stderr,
        "qv render: %s: %lld frames (%d to %lld ms, %dx%d at %d fps, %s) in %.1f s: "
        "%.1f fps, %.2fx real time, %zu pieces joined\n",
        job.output.c_str(), (long long)written, int(job.from), (long long)lastMs, int(job.width),
        int(job.height), int(job.fps), VideoCodecNames(job.output, format).c_str(), elapsed,
        elapsed > 0 ? written / elapsed : 0.0, elapsed > 0 ? seconds / elapsed : 0.0, runs.size());
    return status;
}

}  // namespace tools
