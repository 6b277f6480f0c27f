// The player's start-up sequence and frame, shared by the player window, `qv trace` and
// `qv render`. Stand-in with the shared module's interface until that module is merged.
#pragma once
#include <cstdint>
#include <string>

namespace engine {

// The music clock's start-up steps. A null entry is skipped.
struct MusicHooks {
    void (*initAudio)() = nullptr;
    void (*openMusic)(const std::string& fileName) = nullptr;
    void (*seekMusicMs)(int32_t ms) = nullptr;
    void (*playMusic)() = nullptr;
};

void SetProjection(int32_t width, int32_t height);
bool SetupGLState(const MusicHooks& music);
void LoadContent(const MusicHooks& music);
bool DrawFrame(int32_t t);

}  // namespace engine
