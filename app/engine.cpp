// Stand-in for the shared start-up and frame module (replaced when it is merged): the GL
// state, the demo file's sections, a black frame and the music; frames are only cleared.
#include "app/engine.h"

#include "app/demo_loader.h"
#include "gl/gl_layer.h"

namespace engine {

void SetProjection(int32_t width, int32_t height) {
    if (height == 0) height = 1;
    qgl::glViewport(0, 0, width, height);
    qgl::glMatrixMode(qgl::GL_PROJECTION);
    qgl::glLoadIdentity();
    qgl::gluPerspective(45.0, double(width) / double(height), 1.0, 100.0);
    qgl::glMatrixMode(qgl::GL_MODELVIEW);
    qgl::glLoadIdentity();
}

bool SetupGLState(const MusicHooks& music) {
    qgl::glClearColor(0, 0, 0, 0);
    if (!demo::loadDemoSections()) return false;
    qgl::glClear(qgl::GL_COLOR_BUFFER_BIT | qgl::GL_DEPTH_BUFFER_BIT);
    qgl::SwapBuffers();
    LoadContent(music);
    if (music.playMusic) music.playMusic();
    return true;
}

void LoadContent(const MusicHooks& music) {
    if (music.initAudio) music.initAudio();
    if (music.openMusic) music.openMusic(demo::Demo().musicFile.bytes);
    if (music.seekMusicMs) music.seekMusicMs(0);
}

bool DrawFrame(int32_t t) {
    // Until the timeline draws: the clear colour pulses once a second, so frames can be seen.
    float level = float(t % 1000) / 1000.0f;
    qgl::glClearColor(0, 0, level * 0.5f, 0);
    qgl::glClear(qgl::GL_COLOR_BUFFER_BIT | qgl::GL_DEPTH_BUFFER_BIT);
    qgl::glLoadIdentity();
    return true;
}

}  // namespace engine
