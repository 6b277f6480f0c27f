// The player's start-up sequence and frame, shared by the player window, `qv trace` and
// `qv render`: GL state, the blur texture, the demo file's sections, the black frame, the
// textures and models, the music, then one DrawFrame per frame. Everything here goes through
// the GL layer; the music goes through hooks, so that the tools can run the sequence without
// audio.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/demo_loader.h"

namespace app {

// The steps of the start-up sequence that belong to the caller. A null entry is skipped.
struct StartupHooks {
    void (*initAudio)() = nullptr;                             // audio output on the player window
    void (*openMusic)(const std::string& fileName) = nullptr;  // the demo's musicFile
    void (*seekMusicMs)(int32_t ms) = nullptr;                 // called once, with 0
    void (*playMusic)() = nullptr;
    // Called before each texture slot is built: the player answers its window messages so
    // that the window stays responsive while the content builds.
    void (*textureLoadHook)() = nullptr;
};

// Viewport (0, 0, w, h); projection = perspective of 45 degrees, aspect w / h, planes 1 and
// 100; then the model-view matrix, identity. A height of 0 counts as 1.
void SetProjection(int32_t width, int32_t height);

// The GL state a fresh window starts the demo with: the projection for width x height,
// clear colour, smooth shading, depth test, the blend function (blending stays off), textures
// on; the screen passes learn the window size.
void InitGLState(int32_t width, int32_t height);

// The whole start-up sequence: InitGLState, the blur texture, the demo file's sections (from
// the file ReadTitle opened), one black frame, LoadContent, music playback. False when the
// demo file or a model could not be loaded: the message has been shown and the process must
// end.
bool RunStartup(OpenDemoFile file, int32_t width, int32_t height, const StartupHooks& hooks);

// Textures, models, then audio, music stream, seek to 0 and the timeline reset. False (after
// its message) when a model cannot be built.
bool LoadContent(const StartupHooks& hooks);

// Clears, loads the identity and runs the timeline at demo time t (ms); does not present.
// False when a script raised the fatal error: the frame must not be presented and the
// process must end.
bool DrawFrame(int32_t t);

// Between two frames, on a workbench: the loaded demo's scripts and clips replaced by those of
// an edit whose content is the same otherwise. The machine, the tracks and the GL state stay
// as they are (a checkpoint restore is what puts them where the new tables want them).
void ReplaceScriptsAndClips(std::vector<demo::Script> scripts, std::vector<demo::Clip> clips);

// Every engine module back to its state at program start (the demo tables, the script
// machine, particles, passes, textures, models, timeline), for tools, tests and fuzzers that
// run several demos in one process. GL objects are not deleted: the context goes with them.
void ResetEngine();

}  // namespace app
