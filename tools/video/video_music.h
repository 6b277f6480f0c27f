// The demo's music of a video export: decoded with the player's decoders from --from on and
// handed out frame by frame, with silence after its end.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "tools/video/video_export.h"

namespace tools {

// The demo's music from --from on, read as the video needs it.
struct VideoMusic {
    platform::MusicReader reader;
    std::string path;  // as shown
    bool open = false;
    bool ended = false;
    int32_t rate = 0;
    int64_t endMs = 0;         // music position where it ended, once ended
    int64_t framesRead = 0;    // counted from the start of the file
    int64_t framesFed = 0;     // handed to the writer, counted from --from
    std::vector<float> chunk;  // one slice of samples, reused
};

// Without music and without --to a demo that never quits would run forever.
constexpr int32_t kLongestWithoutEnd = 10 * 60 * 1000;

// Whether the frame of demo time t comes after the video's end: --to, else the music's end
// as read so far, else kLongestWithoutEnd.
bool PastTheEnd(const VideoJob& job, const VideoMusic& music, int64_t t);

// The number of frames up to the video's end, the music read through on a reader of its own
// (a quit in the demo is not foreseen).
int64_t CountVideoFrames(const VideoJob& job);

// Opens the demo's music and skips to --from. Says in one line why there is no sound, if say.
void OpenMusic(const VideoJob& job, VideoMusic& music, bool say = true);

// Whether the video would start after the music's end (it has no end then); says so.
bool SayMusicEndsBeforeFrom(const VideoMusic& music, const VideoJob& job);

// Whether the music stopped decoding well before the length its file declares.
bool MusicCutShort(const VideoMusic& music);
void SayMusicCutShort(const VideoMusic& music, const VideoJob& job);

// Appends to stereo the samples up to the end of video frame `frames` (exclusive), reading the
// music as far as it goes and silence after it.
void TakeMusic(const VideoJob& job, int64_t frames, VideoMusic& music, std::vector<float>& stereo);

}  // namespace tools
