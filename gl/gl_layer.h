// The one seam between the engine and OpenGL 1.1 + GLU. Engine code calls gl::gl... and never
// includes a GL header; the active backend is the real driver (window or headless context) or
// the recorder, which writes one text line per call (the `qv trace` format).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace gl {

// The OpenGL 1.1 enumerants the engine uses, with their standard values.
// clang-format off
enum : uint32_t {
    GL_LINES = 0x0001, GL_TRIANGLES = 0x0004, GL_TRIANGLE_STRIP = 0x0005, GL_QUADS = 0x0007,
    GL_DEPTH_BUFFER_BIT = 0x0100, GL_COLOR_BUFFER_BIT = 0x4000,
    GL_LESS = 0x0201, GL_SRC_ALPHA = 0x0302, GL_ONE_MINUS_SRC_ALPHA = 0x0303,
    GL_DEPTH_TEST = 0x0B71, GL_BLEND = 0x0BE2, GL_TEXTURE_2D = 0x0DE1,
    GL_PERSPECTIVE_CORRECTION_HINT = 0x0C50, GL_NICEST = 0x1102,
    GL_SMOOTH = 0x1D01, GL_MODELVIEW = 0x1700, GL_PROJECTION = 0x1701,
    GL_UNSIGNED_BYTE = 0x1401, GL_RGB = 0x1907, GL_RGBA = 0x1908,
    GL_TEXTURE_ENV = 0x2300, GL_TEXTURE_ENV_MODE = 0x2200, GL_MODULATE = 0x2100,
    GL_TEXTURE_MAG_FILTER = 0x2800, GL_TEXTURE_MIN_FILTER = 0x2801, GL_LINEAR = 0x2601,
    GL_REPEAT = 0x2901, GL_TEXTURE_WRAP_S = 0x2802, GL_TEXTURE_WRAP_T = 0x2803,
};
// clang-format on

// X-macro of the plain calls: (name, parameter list, argument list). Every argument is an
// integer, enum, float or double, so the recorder can format it from its type alone.
#define QGL_PLAIN_CALLS(X)                                                                       \
    X(glClearColor, (float r, float g, float b, float a), (r, g, b, a))                          \
    X(glClearDepth, (double d), (d))                                                             \
    X(glClear, (uint32_t mask), (mask))                                                          \
    X(glShadeModel, (uint32_t mode), (mode))                                                     \
    X(glEnable, (uint32_t cap), (cap))                                                           \
    X(glDisable, (uint32_t cap), (cap))                                                          \
    X(glDepthFunc, (uint32_t func), (func))                                                      \
    X(glHint, (uint32_t target, uint32_t mode), (target, mode))                                  \
    X(glBlendFunc, (uint32_t sfactor, uint32_t dfactor), (sfactor, dfactor))                     \
    X(glViewport, (int32_t x, int32_t y, int32_t w, int32_t h), (x, y, w, h))                    \
    X(glMatrixMode, (uint32_t mode), (mode))                                                     \
    X(glLoadIdentity, (), ())                                                                    \
    X(gluPerspective, (double fovy, double aspect, double zNear, double zFar),                   \
      (fovy, aspect, zNear, zFar))                                                               \
    X(glPushMatrix, (), ())                                                                      \
    X(glPopMatrix, (), ())                                                                       \
    X(glTranslatef, (float x, float y, float z), (x, y, z))                                      \
    X(glRotatef, (float angle, float x, float y, float z), (angle, x, y, z))                     \
    X(glScalef, (float x, float y, float z), (x, y, z))                                          \
    X(glBegin, (uint32_t mode), (mode))                                                          \
    X(glEnd, (), ())                                                                             \
    X(glVertex3f, (float x, float y, float z), (x, y, z))                                        \
    X(glTexCoord2f, (float s, float t), (s, t))                                                  \
    X(glNormal3f, (float x, float y, float z), (x, y, z))                                        \
    X(glColor3f, (float r, float g, float b), (r, g, b))                                         \
    X(glColor4f, (float r, float g, float b, float a), (r, g, b, a))                             \
    X(glLineWidth, (float w), (w))                                                               \
    X(glBindTexture, (uint32_t target, uint32_t name), (target, name))                           \
    X(glTexParameteri, (uint32_t target, uint32_t pname, int32_t param), (target, pname, param)) \
    X(glTexEnvi, (uint32_t target, uint32_t pname, int32_t param), (target, pname, param))       \
    X(glCopyTexImage2D,                                                                          \
      (uint32_t target, int32_t level, uint32_t internalFormat, int32_t x, int32_t y, int32_t w, \
       int32_t h, int32_t border),                                                               \
      (target, level, internalFormat, x, y, w, h, border))

#define QGL_DECLARE(name, params, args) void name params;
QGL_PLAIN_CALLS(QGL_DECLARE)
#undef QGL_DECLARE

// Calls with arrays, pixel data or a result.
uint32_t glGenTexture();              // glGenTextures(1, &name)
void glDeleteTexture(uint32_t name);  // glDeleteTextures(1, &name)
void glLightfv(uint32_t light, uint32_t pname, const float params[4]);
// pixels may be null; its size is w * h * (3 for GL_RGB, 4 for GL_RGBA) bytes.
void glTexImage2D(uint32_t target, int32_t level, int32_t internalFormat, int32_t w, int32_t h,
                  int32_t border, uint32_t format, uint32_t type, const void* pixels);
void gluBuild2DMipmaps(uint32_t target, int32_t internalFormat, int32_t w, int32_t h,
                       uint32_t format, uint32_t type, const void* pixels);
// Presents the frame (the platform's buffer swap under the driver).
void SwapBuffers();

// --- backends --------------------------------------------------------------------------

// Routes every call to the real OpenGL driver of the current context. swap presents the
// window's back buffer (the platform supplies it; null for headless contexts), after the
// frame surface has been copied there. A frame that ends inside a glBegin block cannot be
// copied (the driver refuses every other call in a block): the window keeps its last picture.
void UseDriver(void (*swap)());

// --- the frame surface ------------------------------------------------------------------

// Under the driver every frame is drawn into one off-screen framebuffer of the player's pixel
// format: 8 bits per colour and no alpha, 16 depth bits, no stencil. What a window system
// gives for that request varies: Mesa gives an X window 8-bit colour with 32 depth bits and
// a surfaceless EGL context 10 bits per colour, and the two round and blend differently.
// One surface for all makes the window, its shots, qv render and video frames the same bytes.
// ReadPixelsRGBA and glCopyTexImage2D read it.

// Creates it at width x height in the current context and draws into it from now on; the
// viewport and scissor box start at its size, as a new window's do. False when the driver
// cannot make exactly that format (nothing stays created).
bool OpenFrameSurface(int32_t width, int32_t height);
// Follows the window's new client size; the picture is lost, as a resized back buffer's is.
void ResizeFrameSurface(int32_t width, int32_t height);
// Deletes it; its context must still be current.
void CloseFrameSurface();

// Routes every call to the recorder, which appends one line per call (with '\n') to *out.
// Texture names are handed out 1, 2, 3, ... from the moment the recorder is installed.
// A null out keeps the recorder and discards the lines.
void UseRecorder(std::string* out);

// Appends a line of its own to the recorder's output (no effect under the driver). The trace
// uses it for its section lines and for message boxes.
void RecordLine(const std::string& line);

bool IsRecording();

// --- frame skipping ---------------------------------------------------------------------

// What one frame did with textures, in call order: each glBegin that opened a block samples
// the texture bound then, each glCopyTexImage2D writes the bound texture. A frame may begin
// or end inside a glBegin/glEnd block (a script that never closes its block). A texture
// sampled again since the frame's last write is recorded once.
struct FrameUse {
    enum Kind : uint8_t { Sample, Write };
    struct Event {
        Kind kind;
        uint32_t texture;
    };
    std::vector<Event> events;
    bool startsInBlock = false;
    bool endsInBlock = false;
};

// Routes every call through the skipper in front of the driver (keeping the swap UseDriver
// set). Starts drawing, outside any block, nothing bound, recording no texture use:
// TakeFrameUse tells the block state alone unless RecordFrameUse asks for more, so that a
// drawn run of any length keeps its memory flat.
void UseSkipper();
// Record texture use too (a seek's first pass, which skips every frame and then draws those
// that later pictures need), or stop recording it.
void RecordFrameUse(bool record);
// After the driver's state was put back behind the layer's back (a checkpoint restored): no
// block is open and boundTexture is bound.
void SkipperRestored(uint32_t boundTexture);
// While skipping, the driver sees every state change in order but no glBegin, glEnd,
// glVertex3f, glClear, glCopyTexImage2D or swap, so that later frames find exactly the state
// a drawn run leaves; the calls the driver would refuse inside a block are dropped for it.
void SetSkipping(bool skipping);
// The texture use since the last call (the previous frame boundary).
FrameUse TakeFrameUse();
// True while the skipper skips: no vertex reaches the driver. An effect may then leave its
// vertices out, provided it makes the same glBegin and glEnd calls and leaves the same
// current colour, normal and texture coordinate behind: a skipped frame then costs its
// scripts, not its geometry.
bool VerticesDropped();

// Reads back the current read buffer as RGBA rows, bottom row first (driver only; the tools'
// image output). Returns false under the recorder, or when the read-back raises an OpenGL
// error; errors the frame's drawing left pending are cleared first and do not count.
bool ReadPixelsRGBA(int32_t w, int32_t h, void* out);

}  // namespace gl
