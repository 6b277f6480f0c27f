#include "tools/video/video_export.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "app/demo_loader.h"
#include "app/engine.h"
#include "gl/gl_layer.h"
#include "platform/audio.h"
#include "platform/paths.h"
#include "scripter/scripter.h"
#include "tools/render/seek.h"
#include "tools/video/video_music.h"
#include "tools/video/video_writer.h"

namespace tools {
namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

// Ctrl-C stops the run at the next frame instead of killing the process, for as long as it
// lives.
class InterruptGuard {
public:
    InterruptGuard() {
        g_interrupted = 0;
        previous_ = std::signal(SIGINT, OnInterrupt);
    }
    ~InterruptGuard() { std::signal(SIGINT, previous_); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    void (*previous_)(int) = SIG_DFL;
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Converting and encoding on a thread of their own while the next frames are drawn (when the
// machine has a core for it): each frame's pixels and the music up to its end wait in a
// queue of a few buffers. Without the thread the same happens in place.
class EncodeQueue {
public:
    EncodeQueue(VideoWriter& writer, size_t frameBytes, bool threaded) : writer_(writer) {
        for (int i = 0; i < (threaded ? kBuffers : 1); ++i)
            free_.push_back(std::vector<uint8_t>(frameBytes));
        if (threaded) worker_ = std::thread([this] { Work(); });
    }
    ~EncodeQueue() { Drain(); }
    EncodeQueue(const EncodeQueue&) = delete;
    EncodeQueue& operator=(const EncodeQueue&) = delete;

    // A buffer to read the next frame into; waits while every buffer is queued.
    std::vector<uint8_t>& Next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !free_.empty(); });
        return free_.front();
    }
    // The buffer from Next, with its audio. False once a write has failed (error says why).
    bool Submit(std::vector<float> audio, std::string& error) {
        std::unique_lock lock(mutex_);
        queued_.push_back({std::move(free_.front()), std::move(audio)});
        free_.pop_front();
        if (!worker_.joinable()) {
            lock.unlock();
            EncodeOne();
            lock.lock();
        }
        changed_.notify_all();
        error = error_;
        return error_.empty();
    }
    // Waits until everything queued is written. False with the first write's error.
    bool Drain(std::string& error) {
        Drain();
        error = error_;
        return error_.empty();
    }

private:
    static constexpr int kBuffers = 3;
    struct Item {
        std::vector<uint8_t> rgba;
        std::vector<float> audio;
    };

    void Drain() {
        if (!worker_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    void Work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
            if (queued_.empty()) return;
            lock.unlock();
            EncodeOne();
            lock.lock();
        }
    }
    // Writes the oldest queued frame (after a failure it only gives the buffer back).
    void EncodeOne() {
        Item item;
        {
            std::lock_guard lock(mutex_);
            item = std::move(queued_.front());
            queued_.pop_front();
        }
        std::string error;
        if (failed_.load() == false) {
            const bool ok =
                writer_.WriteFrame(item.rgba.data(), error) &&
                (item.audio.empty() ||
                 writer_.WriteAudio(item.audio.data(), int64_t(item.audio.size() / 2), error));
            if (!ok) failed_ = true;
        }
        std::lock_guard lock(mutex_);
        if (!error.empty() && error_.empty()) error_ = error;
        free_.push_back(std::move(item.rgba));
        changed_.notify_all();
    }

    VideoWriter& writer_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<uint8_t>> free_;
    std::deque<Item> queued_;
    std::string error_;
    std::atomic<bool> failed_{false};
    bool stopping_ = false;
    std::thread worker_;
};

std::string MinutesSeconds(double seconds) {
    int s = int(std::lround(seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d", s / 60, s % 60);
    return text;
}

struct Progress {
    bool shown = false;
    Clock::time_point start = Clock::now(), lastShown = start;

    void Show(int64_t frame, int64_t t, int64_t endMs, const VideoJob& job) {
        Clock::time_point now = Clock::now();
        if (now - lastShown < std::chrono::milliseconds(250)) return;
        lastShown = now;
        double elapsed = Seconds(now - start);
        double fps = elapsed > 0 ? double(frame) / elapsed : 0;
        std::string left = "?";
        if (endMs >= 0 && fps > 0)
            left = MinutesSeconds(double(std::max<int64_t>(0, endMs - t)) * job.fps / 1000 / fps);
        std::fprintf(stderr, "\rframe %lld at %lld ms, %.1f fps, %s left   ", (long long)frame,
                     (long long)t, fps, left.c_str());
        std::fflush(stderr);
        shown = true;
    }
    void Clear() {
        if (shown) std::fprintf(stderr, "\r%*s\r", 60, "");
    }
};

}  // namespace

namespace {

// Brings the run to the first time asked (its frames before it); Failed once a message says why.
using ReachFn = std::function<FrameDrawn(int32_t t)>;

// Every frame asked drawn and read back, after `reach` brought the run to the first.
FrameSource DrawnFrames(int32_t width, int32_t height, const ReachFn& reach) {
    bool started = false;
    return [=](int32_t t, uint8_t* rgba, FrameCosts& costs) mutable {
        if (!started) {
            auto start = Clock::now();
            if (reach(t) == FrameDrawn::Failed) return FrameDrawn::Failed;
            started = true;
            costs.simulate += Seconds(Clock::now() - start);
        }
        auto start = Clock::now();
        if (!app::DrawFrame(t)) return FrameDrawn::Failed;
        auto drawn = Clock::now();
        costs.draw += Seconds(drawn - start);
        if (!gl::ReadPixelsRGBA(width, height, rgba)) {
            std::fprintf(stderr, "qv render: cannot read the frame at %d ms back\n", int(t));
            return FrameDrawn::Failed;
        }
        gl::SwapBuffers();
        costs.readBack += Seconds(Clock::now() - drawn);
        return scripter::QuitFlag() ? FrameDrawn::Quit : FrameDrawn::Go;
    };
}

// The frames the run goes through before the first frame the video writes: the loop frames
// before --from, then the video's own frames before firstFrame.
std::vector<LoopFrame> FramesBeforeVideo(const VideoJob& job) {
    std::vector<LoopFrame> frames = FramesBefore(job.from, job.fps);
    for (int64_t i = 0; i < job.firstFrame; ++i)
        frames.push_back({int32_t(VideoFrameMs(job, i)), false});
    return frames;
}

void SayQuitsBefore(int32_t quit, int32_t t) {
    std::fprintf(stderr, "qv render: the demo quits at %d ms, before %d ms\n", int(quit), int(t));
}

}  // namespace

FrameSource ReplayFrames(const VideoJob& job) {
    return DrawnFrames(job.width, job.height, [job](int32_t t) {
        for (const LoopFrame& frame : FramesBeforeVideo(job)) {
            if (!app::DrawFrame(frame.time)) return FrameDrawn::Failed;
            gl::SwapBuffers();
            if (scripter::QuitFlag()) {
                SayQuitsBefore(frame.time, t);
                return FrameDrawn::Failed;
            }
        }
        return FrameDrawn::Go;
    });
}

FrameSource SeekFrames(const app::OpenDemoFile& file, const VideoJob& job) {
    return DrawnFrames(job.width, job.height, [&file, job](int32_t t) {
        bool startupFailed = false;
        const RunResult run =
            RunThrough(file, job.width, job.height, FramesBeforeVideo(job), job.fps, startupFailed);
        if (run.end == RunEnd::Quit) SayQuitsBefore(run.lastTime, t);
        return run.end == RunEnd::Done ? FrameDrawn::Go : FrameDrawn::Failed;
    });
}

VideoFormat VideoFormatOf(const VideoJob& job, int32_t audioRate) {
    VideoFormat format;
    format.width = job.width;
    format.height = job.height;
    format.fps = job.fps;
    format.lossless = job.lossless;
    format.audioRate = audioRate;
    return format;
}

std::string CheckVideoJob(const VideoJob& job) {
    return CheckVideoFormat(job.output, VideoFormatOf(job, 0));
}

int ExportVideo(const VideoJob& job, const FrameSource& frames) {
    VideoMusic music;
    if (job.music) OpenMusic(job, music);
    if (SayMusicEndsBeforeFrom(music, job)) return 1;
    const VideoFormat format = VideoFormatOf(job, music.open ? music.rate : 0);
    VideoWriter writer;
    std::string error;
    if (!writer.Open(job.output, format, error)) {
        std::fprintf(stderr, "qv render: cannot write '%s': %s\n", job.output.c_str(),
                     error.c_str());
        return 1;
    }

    int64_t endMs = job.to;  // for the progress line; -1 unknown
    if (endMs < 0 && music.open && music.reader.DeclaredFrames() >= 0)
        endMs = music.reader.DeclaredFrames() * 1000 / music.rate;
    const bool terminal = ::isatty(2);
    InterruptGuard interruptGuard;
    Progress progress;
    FrameCosts costs;
    // The drawing thread and llvmpipe's rasterisers share the cores; the encoder takes one
    // of its own when there are two or more.
    const unsigned cores =
        job.cores > 0 ? unsigned(job.cores) : std::thread::hardware_concurrency();
    EncodeQueue encoder(writer, size_t(job.width) * size_t(job.height) * 4, cores >= 2);
    int status = 0;
    std::string stop;  // why the run ended early
    int64_t written = 0;
    for (;; ++written) {
        const int64_t t = VideoFrameMs(job, job.firstFrame + written);
        if (PastTheEnd(job, music, t)) {
            if (job.to < 0 && !music.open)
                std::fprintf(stderr,
                             "qv render: the demo has no music and did not quit by %d ms: the "
                             "video stops there (--to sets the end)\n",
                             int(kLongestWithoutEnd));
            break;
        }
        if (g_interrupted) {
            stop = "interrupted";
            status = 130;
            break;
        }
        FrameDrawn drawn = frames(int32_t(t), encoder.Next().data(), costs);
        if (drawn == FrameDrawn::Failed) {
            stop = "the frame failed";
            status = 1;
            break;
        }
        std::vector<float> audio;
        if (music.open) TakeMusic(job, written + 1, music, audio);
        if (!encoder.Submit(std::move(audio), error)) {
            stop = error;
            status = 1;
            break;
        }
        if (terminal) progress.Show(written + 1, t, endMs, job);
        if (drawn == FrameDrawn::Quit) {
            ++written;
            break;
        }
    }
    progress.Clear();
    if (!encoder.Drain(error) && stop.empty()) {
        stop = error;
        status = 1;
    }
    bool finished = writer.Finish(error);
    const double elapsed = Seconds(Clock::now() - progress.start);
    const int64_t firstMs = VideoFrameMs(job, job.firstFrame);
    const int64_t lastMs = written > 0 ? VideoFrameMs(job, job.firstFrame + written - 1) : firstMs;
    if (!finished && stop.empty()) {
        stop = error;
        status = 1;
    }
    if (!stop.empty()) {
        std::fprintf(stderr, "qv render: %s: '%s' stops after %lld frames, at %lld ms; %s\n",
                     stop.c_str(), job.output.c_str(), (long long)written, (long long)lastMs,
                     finished ? "it plays up to there"
                              : "what reached the disk plays up to its last complete piece");
    } else if (written == 0) {
        std::fprintf(stderr, "qv render: no frame between %d and %d ms\n", int(firstMs),
                     int(job.to));
        status = 1;
    }
    if (music.open && MusicCutShort(music)) {
        SayMusicCutShort(music, job);
        if (status == 0) status = 1;
    }
    const double seconds = double(written) / job.fps;
    std::fprintf(stderr,
                 "qv render: %s: %lld frames (%d to %lld ms, %dx%d at %d fps, %s) in %.1f s: "
                 "%.1f fps, %.2fx real time; simulation %.1f s, drawing %.1f s, read-back "
                 "%.1f s, conversion %.1f s, encoding %.1f s\n",
                 job.output.c_str(), (long long)written, int(firstMs), (long long)lastMs,
                 int(job.width), int(job.height), int(job.fps),
                 VideoCodecNames(job.output, format).c_str(), elapsed,
                 elapsed > 0 ? written / elapsed : 0.0, elapsed > 0 ? seconds / elapsed : 0.0,
                 costs.simulate, costs.draw, costs.readBack, writer.ConvertSeconds(),
                 writer.EncodeSeconds());
    return status;
}

}  // namespace tools
