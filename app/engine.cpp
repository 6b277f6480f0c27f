#include "app/engine.h"

#include "app/demo_loader.h"
#include "gl/gl_layer.h"
#include "scripter/scripter.h"
#include "timeline/timeline.h"

namespace engine {
namespace {

// The window stays black while the content loads.
void PresentBlackFrame() {
    qgl::glDisable(qgl::GL_DEPTH_TEST);
    qgl::glEnable(qgl::GL_BLEND);
    qgl::glClear(qgl::GL_COLOR_BUFFER_BIT | qgl::GL_DEPTH_BUFFER_BIT);
    qgl::glLoadIdentity();
    qgl::SwapBuffers();
    qgl::glEnable(qgl::GL_DEPTH_TEST);
    qgl::glDisable(qgl::GL_BLEND);
}

// The scripts, variable counts and clips of the loaded demo file go to their engines.
void HandTablesToEngines() {
    const DemoFile& d = demo::Demo();
    scripter::LoadScriptEngine(d.scripts, d.intVarCount, d.floatVarCount);
    timeline::LoadTimeline(d.clips, d.scripts);
}

}  // namespace

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
    qgl::glShadeModel(qgl::GL_SMOOTH);
    qgl::glClearDepth(1.0);
    qgl::glEnable(qgl::GL_DEPTH_TEST);
    qgl::glDepthFunc(qgl::GL_LESS);
    qgl::glHint(qgl::GL_PERSPECTIVE_CORRECTION_HINT, qgl::GL_NICEST);
    qgl::glBlendFunc(qgl::GL_SRC_ALPHA, qgl::GL_ONE_MINUS_SRC_ALPHA);  // blending stays off
    qgl::glEnable(qgl::GL_TEXTURE_2D);
    // CONTENT: CreateBlurTexture() is inserted here (before the demo file's sections).
    if (!demo::loadDemoSections()) return false;
    HandTablesToEngines();
    PresentBlackFrame();
    LoadContent(music);
    if (music.playMusic) music.playMusic();
    return true;
}

void LoadContent(const MusicHooks& music) {
    // CONTENT: inserted here, in this order, before the audio:
    //   TextureLoadHook := a hook that does nothing; LoadAllTextures(); LoadModels().
    if (music.initAudio) music.initAudio();
    if (music.openMusic) music.openMusic(demo::Demo().musicFile.bytes);
    if (music.seekMusicMs) music.seekMusicMs(0);
    timeline::ResetTimeline();
}

bool DrawFrame(int32_t t) {
    qgl::glClear(qgl::GL_COLOR_BUFFER_BIT | qgl::GL_DEPTH_BUFFER_BIT);
    qgl::glLoadIdentity();
    timeline::RunTimeline(t);
    return !scripter::FatalErrorRaised();
}

}  // namespace engine
