#include "platform/workbench/overlay.h"

#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <imgui.h>

#include <imgui_impl_opengl2.h>
#include <imgui_impl_sdl.h>
#include "platform/window.h"

namespace platform {
namespace {

struct OverlayState {
    bool started = false;
    GLuint texture = 0;
    int32_t width = 0, height = 0;  // of the kept picture
};
OverlayState g_overlay;

void FeedImGui(const void* event) {
    ImGui_ImplSDL2_ProcessEvent(static_cast<const SDL_Event*>(event));
}

// Saves what the overlay's drawing changes; the destructor puts it back.
class SavedState {
public:
    SavedState() {
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture_);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
    }
    ~SavedState() {
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glPopClientAttrib();
        glPopAttrib();  // the matrix mode included
        glBindTexture(GL_TEXTURE_2D, GLuint(texture_));
    }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

private:
    GLint texture_ = 0;
};

}  // namespace

bool StartOverlay() {
    if (g_overlay.started) return true;
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    if (!window || !context) return false;
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;  // no imgui.ini in the author's folder
    ImGui::StyleColorsDark();
    if (!ImGui_ImplSDL2_InitForOpenGL(window, context)) {
        ImGui::DestroyContext();
        return false;
    }
    {
        SavedState saved;
        ImGui_ImplOpenGL2_Init();
    }
    SetRawEventHook(FeedImGui);
    g_overlay.started = true;
    return true;
}

void StopOverlay() {
    if (!g_overlay.started) return;
    SetRawEventHook(nullptr);
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    if (g_overlay.texture) glDeleteTextures(1, &g_overlay.texture);
    g_overlay = OverlayState{};
}

void BeginOverlayFrame() {
    SavedState saved;  // the fonts texture is made on the first frame
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
}

void EndOverlayFrame() {
    ImGui::Render();
    SavedState saved;
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}

void KeepFrame(int32_t width, int32_t height) {
    if (!g_overlay.started || width <= 0 || height <= 0) return;
    SavedState saved;
    if (!g_overlay.texture) glGenTextures(1, &g_overlay.texture);
    glBindTexture(GL_TEXTURE_2D, g_overlay.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    // From the GL layer's frame surface, bound for reading, where the demo's frame is.
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, width, height, 0);
    g_overlay.width = width;
    g_overlay.height = height;
}

void DrawKeptFrame(int32_t width, int32_t height) {
    SavedState saved;
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    if (!g_overlay.texture) return;
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBindTexture(GL_TEXTURE_2D, g_overlay.texture);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // The kept picture at its own size from the lower left corner, as it was drawn.
    const float x1 = 2.0f * float(g_overlay.width) / float(width) - 1;
    const float y1 = 2.0f * float(g_overlay.height) / float(height) - 1;
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(x1, -1);
    glTexCoord2f(1, 1);
    glVertex2f(x1, y1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, y1);
    glEnd();
}

}  // namespace platform
