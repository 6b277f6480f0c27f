#include "timeline/muzax.h"

#include <chrono>
#include <cstdio>

#include "platform/audio.h"
#include "platform/audio_clock.h"
#include "platform/paths.h"

namespace timeline::muzax {
namespace {

struct MusicState {
    bool outputOk = false;
    bool streamOpen = false;
    std::string whyNot;  // first reason the music cannot play
    bool playing = false;
    std::chrono::steady_clock::time_point fallbackStart;
};
MusicState g_music;

void NoteFailure(const std::string& why) {
    if (g_music.whyNot.empty()) g_music.whyNot = why;
}

}  // namespace

void InitAudio() {
    std::string error;
    g_music.outputOk = platform::OpenAudioOutput(error);
    if (!g_music.outputOk) NoteFailure("no audio output: " + error);
}

void OpenMusic(const std::string& musicFile) {
    if (!g_music.outputOk) return;
    if (musicFile.empty()) {
        NoteFailure("the demo names no music file");
        return;
    }
    std::string error;
    std::string path = platform::ResolvePath(musicFile);
    g_music.streamOpen = platform::OpenMusicStream(path, error);
    if (!g_music.streamOpen)
        NoteFailure("music file '" + platform::DisplayPath(path) + "' cannot be played (" + error +
                    ")");
}

void SeekMusicMs(int32_t ms) {
    if (g_music.streamOpen)
        platform::SeekMusicFrame(platform::MsToFrames(ms, platform::MusicSampleRate()));
}

void PlayMusic() {
    g_music.playing = true;
    if (g_music.streamOpen) {
        platform::StartMusic();
        return;
    }
    std::fprintf(stderr, "Quorvanel: %s; the demo plays silently on the system clock.\n",
                 g_music.whyNot.empty() ? "no music opened" : g_music.whyNot.c_str());
    g_music.fallbackStart = std::chrono::steady_clock::now();
}

int32_t MusicPositionMs() {
    if (g_music.streamOpen)
        return platform::FramesToMs(platform::MusicFrameHeard(), platform::MusicSampleRate());
    if (!g_music.playing) return 0;
    auto elapsed = std::chrono::steady_clock::now() - g_music.fallbackStart;
    return int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

bool PlaysThroughDevice() { return g_music.streamOpen; }

}  // namespace timeline::muzax
