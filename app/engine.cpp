#include "app/engine.h"

#include "app/demo_loader.h"
#include "gl/gl_layer.h"
#include "models/mdlmanager.h"
#include "models/objloader.h"
#include "platform/message_box.h"
#include "scripter/passes.h"
#include "scripter/scripter.h"
#include "textures/texmanager.h"
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

// The scripts, variable counts, path strings and clips of the loaded demo file go to their
// engines.
void HandTablesToEngines() {
    const DemoFile& d = demo::Demo();
    scripter::LoadScriptEngine(d.scripts, d.intVarCount, d.floatVarCount);
    std::vector<std::string> paths;
    for (const CountedText& path : d.pathStrings) paths.push_back(path.bytes);
    scripter::LoadPathStrings(std::move(paths));
    timeline::LoadTimeline(d.clips, d.scripts);
}

// Every texture slot in slot order, then every model record in index order.
bool BuildTexturesAndModels(void (*textureLoadHook)()) {
    textures::SetTextureLoadHook(textureLoadHook);
    textures::LoadAllTextures(demo::Demo());
    models::SetMeshTextureTable(textures::TextureNames);
    std::string error;
    if (models::LoadModels(demo::Demo(), error)) return true;
    platform::ShowMessage("Quorvanel Error", error, platform::MessageIcon::Error);
    return false;
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

bool SetupGLState(int32_t width, int32_t height, const StartupHooks& hooks) {
    SetProjection(width, height);
    passes::SetWindowSize(width, height);
    qgl::glClearColor(0, 0, 0, 0);
    qgl::glShadeModel(qgl::GL_SMOOTH);
    qgl::glClearDepth(1.0);
    qgl::glEnable(qgl::GL_DEPTH_TEST);
    qgl::glDepthFunc(qgl::GL_LESS);
    qgl::glHint(qgl::GL_PERSPECTIVE_CORRECTION_HINT, qgl::GL_NICEST);
    qgl::glBlendFunc(qgl::GL_SRC_ALPHA, qgl::GL_ONE_MINUS_SRC_ALPHA);  // blending stays off
    qgl::glEnable(qgl::GL_TEXTURE_2D);
    passes::CreateBlurTexture();
    if (!demo::loadDemoSections()) return false;
    HandTablesToEngines();
    PresentBlackFrame();
    if (!LoadContent(hooks)) return false;
    if (hooks.playMusic) hooks.playMusic();
    return true;
}

bool LoadContent(const StartupHooks& hooks) {
    if (!BuildTexturesAndModels(hooks.textureLoadHook)) return false;
    if (hooks.initAudio) hooks.initAudio();
    if (hooks.openMusic) hooks.openMusic(demo::Demo().musicFile.bytes);
    if (hooks.seekMusicMs) hooks.seekMusicMs(0);
    timeline::ResetTimeline();
    return true;
}

bool DrawFrame(int32_t t) {
    qgl::glClear(qgl::GL_COLOR_BUFFER_BIT | qgl::GL_DEPTH_BUFFER_BIT);
    qgl::glLoadIdentity();
    timeline::RunTimeline(t);
    return !scripter::FatalErrorRaised();
}

}  // namespace engine
