// The player's start-up sequence and frame, shared by the player window, `qv trace` and
// `qv render`: GL state, the demo file's sections, the black frame, content and music, then
// one DrawFrame per frame. Everything here goes through the GL layer; the music goes through
// hooks, so that the tools can run the sequence without audio.
#pragma once
#include <cstdint>
#include <string>

namespace engine {

// The music clock's start-up steps. A null entry is skipped.
struct MusicHooks {
    void (*initAudio)() = nullptr;                      // audio output on the player window
    void (*openMusic)(const std::string& fileName) = nullptr;  // the demo's musicFile
    void (*seekMusicMs)(int32_t ms) = nullptr;          // called once, with 0
    void (*playMusic)() = nullptr;
};

// Viewport (0, 0, w, h); projection = perspective of 45 degrees, aspect w / h, planes 1 and
// 100; then the model-view matrix, identity. A height of 0 counts as 1.
void SetProjection(int32_t width, int32_t height);

// Initial GL state, the demo file's sections (readTitle must have run), one black frame,
// LoadContent, music playback. False when the demo file could not be loaded: its message has
// been shown and the process must end.
bool SetupGLState(const MusicHooks& music);

// Content, then audio, music stream, seek to 0 and the timeline reset.
void LoadContent(const MusicHooks& music);

// Clears, loads the identity and runs the timeline at demo time t (ms); does not present.
// False when a script raised the fatal error: the frame must not be presented and the
// process must end.
bool DrawFrame(int32_t t);

}  // namespace engine
