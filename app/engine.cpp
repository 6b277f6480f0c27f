#include "app/engine.h"

#include <utility>

#include "app/demo_loader.h"
#include "gl/gl_layer.h"
#include "models/mdlmanager.h"
#include "models/objloader.h"
#include "platform/message_box.h"
#include "scripter/passes.h"
#include "scripter/scripter.h"
#include "textures/texmanager.h"
#include "timeline/timeline.h"

namespace app {
namespace {

// The window stays black while the content loads.
void PresentBlackFrame() {
    gl::glDisable(gl::GL_DEPTH_TEST);
    gl::glEnable(gl::GL_BLEND);
    gl::glClear(gl::GL_COLOR_BUFFER_BIT | gl::GL_DEPTH_BUFFER_BIT);
    gl::glLoadIdentity();
    gl::SwapBuffers();
    gl::glEnable(gl::GL_DEPTH_TEST);
    gl::glDisable(gl::GL_BLEND);
}

// The scripts, variable counts, path strings and clips of the loaded demo file go to their
// engines.
void HandTablesToEngines() {
    const demo::DemoFile& d = app::Demo();
    scripter::LoadScriptEngine(d.scripts, d.intVarCount, d.floatVarCount);
    std::vector<std::string> paths;
    for (const demo::CountedText& path : d.pathStrings) paths.push_back(path.bytes);
    scripter::LoadPathStrings(std::move(paths));
    timeline::LoadTimeline(d.clips, d.scripts);
}

// Every texture slot in slot order, then every model record in index order.
bool BuildTexturesAndModels(void (*textureLoadHook)()) {
    textures::SetTextureLoadHook(textureLoadHook);
    textures::LoadAllTextures(app::Demo());
    models::SetMeshTextureTable(textures::TextureNames);
    std::string error;
    if (models::LoadModels(app::Demo(), error)) return true;
    platform::ShowMessage(platform::kErrorCaption, error, platform::MessageIcon::Error);
    return false;
}

}  // namespace

void SetProjection(int32_t width, int32_t height) {
    if (height == 0) height = 1;
    gl::glViewport(0, 0, width, height);
    gl::glMatrixMode(gl::GL_PROJECTION);
    gl::glLoadIdentity();
    gl::gluPerspective(45.0, double(width) / double(height), 1.0, 100.0);
    gl::glMatrixMode(gl::GL_MODELVIEW);
    gl::glLoadIdentity();
}

void InitGLState(int32_t width, int32_t height) {
    SetProjection(width, height);
    scripter::passes::SetWindowSize(width, height);
    gl::glClearColor(0, 0, 0, 0);
    gl::glShadeModel(gl::GL_SMOOTH);
    gl::glClearDepth(1.0);
    gl::glEnable(gl::GL_DEPTH_TEST);
    gl::glDepthFunc(gl::GL_LESS);
    gl::glHint(gl::GL_PERSPECTIVE_CORRECTION_HINT, gl::GL_NICEST);
    gl::glBlendFunc(gl::GL_SRC_ALPHA, gl::GL_ONE_MINUS_SRC_ALPHA);  // blending stays off
    gl::glEnable(gl::GL_TEXTURE_2D);
}

bool RunStartup(OpenDemoFile file, int32_t width, int32_t height, const StartupHooks& hooks) {
    InitGLState(width, height);
    scripter::passes::CreateBlurTexture();
    if (!LoadDemoSections(std::move(file))) return false;
    HandTablesToEngines();
    PresentBlackFrame();
    if (!LoadContent(hooks)) return false;
    if (hooks.playMusic) hooks.playMusic();
    return true;
}

bool LoadContent(const StartupHooks& hooks) {
    if (!BuildTexturesAndModels(hooks.textureLoadHook)) return false;
    if (hooks.initAudio) hooks.initAudio();
    if (hooks.openMusic) hooks.openMusic(app::Demo().musicFile.bytes);
    if (hooks.seekMusicMs) hooks.seekMusicMs(0);
    timeline::ResetTimeline();
    return true;
}

bool DrawFrame(int32_t t) {
    gl::glClear(gl::GL_COLOR_BUFFER_BIT | gl::GL_DEPTH_BUFFER_BIT);
    gl::glLoadIdentity();
    timeline::RunTimeline(t);
    return !scripter::FatalErrorRaised();
}

void ReplaceScriptsAndClips(std::vector<demo::Script> scripts, std::vector<demo::Clip> clips) {
    demo::DemoFile& d = Demo();
    d.scripts = std::move(scripts);
    d.clips = std::move(clips);
    d.scriptCount = int32_t(d.scripts.size());
    d.clipCount = int32_t(d.clips.size());
    scripter::ReplaceScriptTable(d.scripts);
    timeline::LoadTimeline(d.clips, d.scripts);
}

void ResetEngine() {
    Demo() = demo::DemoFile{};
    scripter::ResetScriptEngine();
    textures::ResetTextures();
    models::ResetModels();
    timeline::LoadTimeline({}, {});
    timeline::ResetTimeline();
}

}  // namespace app
