// The one exception to "every OpenGL call goes through the GL layer": the overlay draws Dear
// ImGui's triangles and the kept picture over the demo's frame with OpenGL 1.1 calls of its
// own, here and nowhere else. It never uses the demo's stacks (no glPushMatrix, glPushAttrib
// or glPushClientAttrib: a demo may have filled them). Everything it changes is read into
// SavedGlState first and put back from there:
//   - the matrix mode and the modelview, projection and texture matrices (glGetFloatv, then
//     glLoadMatrixf), so the stack depths never change;
//   - viewport, scissor box, the enables in kOverlayEnables, colour mask, blend factors,
//     shade model, both polygon modes, the texture environment mode, the 2D texture binding,
//     the read buffer, the clear colour, the unpack alignment and row length, the current
//     colour and texture coordinate;
//   - the vertex, colour and texture coordinate arrays: enabled or not, and their pointers
//     (the engine itself draws no arrays).
#include "platform/workbench/overlay.h"

#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <imgui.h>

#include <imgui_impl_sdl.h>
#include <array>
#include <iterator>

#include "platform/window.h"

namespace platform {
namespace {

struct OverlayState {
    bool started = false;
    GLuint fontTexture = 0;
    GLuint keptTexture = 0;
    int32_t keptWidth = 0, keptHeight = 0;        // of the kept picture; 0: none
    int32_t textureWidth = 0, textureHeight = 0;  // of the kept texture's storage
};
OverlayState g_overlay;

void FeedImGui(const void* event) {
    ImGui_ImplSDL2_ProcessEvent(static_cast<const SDL_Event*>(event));
}

// The capabilities the overlay switches (on or off) while it draws.
constexpr GLenum kOverlayEnables[] = {
    GL_ALPHA_TEST,
    GL_BLEND,
    GL_COLOR_LOGIC_OP,
    GL_COLOR_MATERIAL,
    GL_CULL_FACE,
    GL_DEPTH_TEST,
    GL_FOG,
    GL_LIGHTING,
    GL_LINE_SMOOTH,
    GL_POLYGON_SMOOTH,
    GL_POLYGON_STIPPLE,
    GL_SCISSOR_TEST,
    GL_STENCIL_TEST,
    GL_TEXTURE_1D,
    GL_TEXTURE_2D,
    GL_TEXTURE_GEN_S,
    GL_TEXTURE_GEN_T,
    GL_TEXTURE_GEN_R,
    GL_TEXTURE_GEN_Q,
    GL_CLIP_PLANE0,
    GL_CLIP_PLANE1,
    GL_CLIP_PLANE2,
    GL_CLIP_PLANE3,
    GL_CLIP_PLANE4,
    GL_CLIP_PLANE5,
    GL_POLYGON_OFFSET_FILL,
};

// Reads every piece of state the overlay changes; the destructor puts it back.
class SavedGlState {
public:
    SavedGlState() {
        glGetIntegerv(GL_MATRIX_MODE, &matrixMode_);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview_);
        glGetFloatv(GL_PROJECTION_MATRIX, projection_);
        glGetFloatv(GL_TEXTURE_MATRIX, texture_);
        glGetIntegerv(GL_VIEWPORT, viewport_);
        glGetIntegerv(GL_SCISSOR_BOX, scissor_);
        for (size_t i = 0; i < std::size(kOverlayEnables); ++i)
            enabled_[i] = glIsEnabled(kOverlayEnables[i]);
        glGetBooleanv(GL_COLOR_WRITEMASK, colourMask_);
        glGetIntegerv(GL_BLEND_SRC, &blendSrc_);
        glGetIntegerv(GL_BLEND_DST, &blendDst_);
        glGetIntegerv(GL_SHADE_MODEL, &shadeModel_);
        glGetIntegerv(GL_POLYGON_MODE, polygonMode_);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &texEnvMode_);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture_);
        glGetIntegerv(GL_READ_BUFFER, &readBuffer_);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour_);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment_);
        glGetIntegerv(GL_UNPACK_ROW_LENGTH, &unpackRowLength_);
        glGetFloatv(GL_CURRENT_COLOR, colour_);
        glGetFloatv(GL_CURRENT_TEXTURE_COORDS, texCoord_);
        for (ClientArray& a : arrays_) {
            a.enabled = glIsEnabled(a.kind);
            glGetIntegerv(a.sizeName, &a.size);
            glGetIntegerv(a.typeName, &a.type);
            glGetIntegerv(a.strideName, &a.stride);
            glGetPointerv(a.pointerName, &a.pointer);
        }
    }
    ~SavedGlState() {
        glMatrixMode(GL_TEXTURE);
        glLoadMatrixf(texture_);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(projection_);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(modelview_);
        glMatrixMode(GLenum(matrixMode_));
        glViewport(viewport_[0], viewport_[1], viewport_[2], viewport_[3]);
        glScissor(scissor_[0], scissor_[1], scissor_[2], scissor_[3]);
        for (size_t i = 0; i < std::size(kOverlayEnables); ++i)
            enabled_[i] ? glEnable(kOverlayEnables[i]) : glDisable(kOverlayEnables[i]);
        glColorMask(colourMask_[0], colourMask_[1], colourMask_[2], colourMask_[3]);
        glBlendFunc(GLenum(blendSrc_), GLenum(blendDst_));
        glShadeModel(GLenum(shadeModel_));
        glPolygonMode(GL_FRONT, GLenum(polygonMode_[0]));
        glPolygonMode(GL_BACK, GLenum(polygonMode_[1]));
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, texEnvMode_);
        glBindTexture(GL_TEXTURE_2D, GLuint(boundTexture_));
        glReadBuffer(GLenum(readBuffer_));
        glClearColor(clearColour_[0], clearColour_[1], clearColour_[2], clearColour_[3]);
        glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment_);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, unpackRowLength_);
        glColor4fv(colour_);
        glTexCoord4fv(texCoord_);
        glVertexPointer(arrays_[0].size, GLenum(arrays_[0].type), arrays_[0].stride,
                        arrays_[0].pointer);
        glColorPointer(arrays_[1].size, GLenum(arrays_[1].type), arrays_[1].stride,
                       arrays_[1].pointer);
        glTexCoordPointer(arrays_[2].size, GLenum(arrays_[2].type), arrays_[2].stride,
                          arrays_[2].pointer);
        for (const ClientArray& a : arrays_)
            a.enabled ? glEnableClientState(a.kind) : glDisableClientState(a.kind);
    }
    SavedGlState(const SavedGlState&) = delete;
    SavedGlState& operator=(const SavedGlState&) = delete;

private:
    GLint matrixMode_ = GL_MODELVIEW;
    GLfloat modelview_[16] = {}, projection_[16] = {}, texture_[16] = {};
    GLint viewport_[4] = {}, scissor_[4] = {};
    std::array<GLboolean, std::size(kOverlayEnables)> enabled_{};
    GLboolean colourMask_[4] = {};
    GLint blendSrc_ = GL_ONE, blendDst_ = GL_ZERO, shadeModel_ = GL_SMOOTH;
    GLint polygonMode_[2] = {GL_FILL, GL_FILL};
    GLint texEnvMode_ = GL_MODULATE, boundTexture_ = 0, readBuffer_ = GL_BACK;
    GLfloat clearColour_[4] = {};
    GLint unpackAlignment_ = 4, unpackRowLength_ = 0;
    GLfloat colour_[4] = {}, texCoord_[4] = {};
    struct ClientArray {
        GLenum kind, sizeName, typeName, strideName, pointerName;
        GLboolean enabled = GL_FALSE;
        GLint size = 4, type = GL_FLOAT, stride = 0;
        void* pointer = nullptr;
    };
    std::array<ClientArray, 3> arrays_ = {{
        {GL_VERTEX_ARRAY, GL_VERTEX_ARRAY_SIZE, GL_VERTEX_ARRAY_TYPE, GL_VERTEX_ARRAY_STRIDE,
         GL_VERTEX_ARRAY_POINTER},
        {GL_COLOR_ARRAY, GL_COLOR_ARRAY_SIZE, GL_COLOR_ARRAY_TYPE, GL_COLOR_ARRAY_STRIDE,
         GL_COLOR_ARRAY_POINTER},
        {GL_TEXTURE_COORD_ARRAY, GL_TEXTURE_COORD_ARRAY_SIZE, GL_TEXTURE_COORD_ARRAY_TYPE,
         GL_TEXTURE_COORD_ARRAY_STRIDE, GL_TEXTURE_COORD_ARRAY_POINTER},
    }};
};

// A plain 2D state for drawing over the frame: no test, light, fog or texture generation,
// pixel coordinates from the top left of the width x height window.
void SetFlatState(int32_t width, int32_t height) {
    for (GLenum cap : kOverlayEnables) glDisable(cap);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void MakeFontTexture() {
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    ImGuiIO& io = ImGui::GetIO();
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    glGenTextures(1, &g_overlay.fontTexture);
    glBindTexture(GL_TEXTURE_2D, g_overlay.fontTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    io.Fonts->SetTexID(reinterpret_cast<ImTextureID>(intptr_t(g_overlay.fontTexture)));
}

// ImGui's triangles from its own vertex and index buffers: one draw call per command (the
// calls per vertex of immediate mode cost more than the drawing).
void DrawLists(const ImDrawData& data, int32_t height) {
    const ImVec2 origin = data.DisplayPos;
    glTranslatef(-origin.x, -origin.y, 0);
    for (GLenum kind : {GL_VERTEX_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY})
        glEnableClientState(kind);
    constexpr GLenum kIndexType = sizeof(ImDrawIdx) == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT;
    for (int n = 0; n < data.CmdListsCount; ++n) {
        const ImDrawList& list = *data.CmdLists[n];
        for (const ImDrawCmd& cmd : list.CmdBuffer) {
            if (cmd.UserCallback) continue;  // none are installed
            const ImVec4 clip = cmd.ClipRect;
            if (clip.z <= clip.x || clip.w <= clip.y) continue;
            glScissor(GLint(clip.x - origin.x), GLint(float(height) - (clip.w - origin.y)),
                      GLsizei(clip.z - clip.x), GLsizei(clip.w - clip.y));
            glBindTexture(GL_TEXTURE_2D, GLuint(reinterpret_cast<intptr_t>(cmd.GetTexID())));
            const ImDrawVert* vertices = list.VtxBuffer.Data + cmd.VtxOffset;
            glVertexPointer(2, GL_FLOAT, sizeof(ImDrawVert), &vertices->pos);
            glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(ImDrawVert), &vertices->col);
            glTexCoordPointer(2, GL_FLOAT, sizeof(ImDrawVert), &vertices->uv);
            glDrawElements(GL_TRIANGLES, GLsizei(cmd.ElemCount), kIndexType,
                           list.IdxBuffer.Data + cmd.IdxOffset);
        }
    }
}

}  // namespace

bool StartOverlay() {
    if (g_overlay.started) return true;
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    if (!window || !context) return false;
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;  // no imgui.ini in the author's folder
    ImGui::GetIO().BackendRendererName = "qv_overlay";
    ImGui::StyleColorsDark();
    if (!ImGui_ImplSDL2_InitForOpenGL(window, context)) {
        ImGui::DestroyContext();
        return false;
    }
    SetRawEventHook(FeedImGui);
    g_overlay.started = true;
    return true;
}

void StopOverlay() {
    if (!g_overlay.started) return;
    SetRawEventHook(nullptr);
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    if (g_overlay.fontTexture) glDeleteTextures(1, &g_overlay.fontTexture);
    if (g_overlay.keptTexture) glDeleteTextures(1, &g_overlay.keptTexture);
    g_overlay = OverlayState{};
}

void ForgetOverlayTextures() {
    g_overlay.fontTexture = 0;
    g_overlay.keptTexture = 0;
    g_overlay.keptWidth = g_overlay.keptHeight = 0;
    g_overlay.textureWidth = g_overlay.textureHeight = 0;
}

void BeginOverlayFrame() {
    if (!g_overlay.fontTexture) {
        SavedGlState saved;
        MakeFontTexture();
    }
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
}

void EndOverlayFrame() {
    ImGui::Render();
    const ImDrawData* data = ImGui::GetDrawData();
    if (!data) return;
    const int32_t width = int32_t(data->DisplaySize.x), height = int32_t(data->DisplaySize.y);
    if (width <= 0 || height <= 0) return;
    SavedGlState saved;
    SetFlatState(width, height);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_SCISSOR_TEST);
    glEnable(GL_TEXTURE_2D);
    DrawLists(*data, height);
}

void KeepFrame(int32_t width, int32_t height) {
    if (!g_overlay.started || width <= 0 || height <= 0) return;
    SavedGlState saved;
    if (!g_overlay.keptTexture) glGenTextures(1, &g_overlay.keptTexture);
    glBindTexture(GL_TEXTURE_2D, g_overlay.keptTexture);
    // From the GL layer's frame surface, bound for reading, where the demo's frame is.
    if (width != g_overlay.textureWidth || height != g_overlay.textureHeight) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, width, height, 0);
        g_overlay.textureWidth = width;
        g_overlay.textureHeight = height;
    } else {
        // Same size: the storage stays, only the pixels are copied.
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);
    }
    g_overlay.keptWidth = width;
    g_overlay.keptHeight = height;
}

void DrawKeptFrame(int32_t width, int32_t height) {
    SavedGlState saved;
    SetFlatState(width, height);  // no scissor or colour mask of the demo's on the clear
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    if (!g_overlay.keptTexture || g_overlay.keptWidth <= 0) return;
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBindTexture(GL_TEXTURE_2D, g_overlay.keptTexture);
    // The kept picture at its own size from the lower left corner, as it was drawn (the
    // texture's first row is the picture's bottom row).
    const float w = float(g_overlay.keptWidth), h = float(g_overlay.keptHeight);
    const float top = float(height) - h, bottom = float(height);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(0, bottom);
    glTexCoord2f(1, 0);
    glVertex2f(w, bottom);
    glTexCoord2f(1, 1);
    glVertex2f(w, top);
    glTexCoord2f(0, 1);
    glVertex2f(0, top);
    glEnd();
}

}  // namespace platform
