#include "tools/video/video_music.h"

#include <algorithm>
#include <cstdio>

#include "app/demo_loader.h"
#include "platform/paths.h"

namespace tools {
namespace {

// The decoders estimate some lengths (MP3, tracker modules) to a few milliseconds; a file
// that ends more than this short of its declared length was cut or is damaged.
constexpr int64_t kMusicLengthSlackMs = 100;

// Reads up to want frames into the chunk; notes where the music ends.
int64_t ReadMusic(VideoMusic& music, int64_t want) {
    const int64_t got = music.reader.ReadStereo(music.chunk.data(), want);
    music.framesRead += got;
    if (got < want) {
        music.ended = true;
        music.endMs = music.framesRead * 1000 / music.rate;
    }
    return got;
}

}  // namespace

bool MusicCutShort(const VideoMusic& music) {
    const int64_t declared = music.reader.DeclaredFrames();
    return music.ended && declared >= 0 &&
           declared - music.framesRead > kMusicLengthSlackMs * music.rate / 1000;
}

void OpenMusic(const VideoJob& job, VideoMusic& music, bool say) {
    const std::string& name = app::Demo().musicFile.bytes;
    if (name.empty()) {
        if (say)
            std::fprintf(stderr,
                         "qv render: the demo names no music file: the video has no sound\n");
        return;
    }
    std::string path = platform::ResolvePath(name), error;
    music.path = platform::DisplayPath(path);
    if (!music.reader.Open(path, error)) {
        if (say)
            std::fprintf(stderr,
                         "qv render: the music file '%s' cannot be decoded (%s): the video has no "
                         "sound\n",
                         music.path.c_str(), error.c_str());
        return;
    }
    music.open = true;
    music.rate = music.reader.SampleRate();
    music.chunk.resize(2 * 8192);
    const int64_t skip = int64_t(job.from) * music.rate / 1000;
    while (music.framesRead < skip && !music.ended)
        ReadMusic(music, std::min<int64_t>(8192, skip - music.framesRead));
    music.endMs = music.framesRead * 1000 / music.rate;
}

bool SayMusicEndsBeforeFrom(const VideoMusic& music, const VideoJob& job) {
    if (!music.open || !music.ended || job.to >= 0) return false;
    if (MusicCutShort(music)) SayMusicCutShort(music, job);
    std::fprintf(stderr, "qv render: the music ends at %lld ms, before --from %d ms\n",
                 (long long)music.endMs, int(job.from));
    return true;
}

bool PastTheEnd(const VideoJob& job, const VideoMusic& music, int64_t t) {
    if (job.to >= 0) return t > job.to;
    if (music.open) return music.ended && t > music.endMs;
    return t > kLongestWithoutEnd;
}

int64_t CountVideoFrames(const VideoJob& job) {
    VideoMusic music;
    if (job.music && job.to < 0) OpenMusic(job, music, false);
    std::vector<float> unused;
    int64_t frames = 0;
    // The same steps as the export: the music is read up to the end of each frame before the
    // next frame's time is compared with its end.
    for (; !PastTheEnd(job, music, VideoFrameMs(job, frames)); ++frames) {
        if (!music.open) continue;
        unused.clear();
        TakeMusic(job, frames + 1, music, unused);
    }
    return frames;
}

void SayMusicCutShort(const VideoMusic& music, const VideoJob& job) {
    std::fprintf(stderr,
                 "qv render: the music file '%s' stops decoding at %lld ms, short of the %lld ms "
                 "it declares (cut or damaged): %s\n",
                 music.path.c_str(), (long long)music.endMs,
                 (long long)(music.reader.DeclaredFrames() * 1000 / music.rate),
                 job.to >= 0 ? "the video is silent from there" : "the video ends there");
}

void TakeMusic(const VideoJob& job, int64_t frames, VideoMusic& music, std::vector<float>& stereo) {
    const int64_t target = frames * music.rate / job.fps;
    while (music.framesFed < target) {
        const int64_t want = std::min<int64_t>(8192, target - music.framesFed);
        const int64_t got = music.ended ? 0 : ReadMusic(music, want);
        std::fill(music.chunk.begin() + 2 * got, music.chunk.begin() + 2 * want, 0.0f);
        stereo.insert(stereo.end(), music.chunk.begin(), music.chunk.begin() + 2 * want);
        music.framesFed += want;
    }
}

}  // namespace tools
