// The skipper: a backend in front of the driver that can run frames without
// rasterising them while the driver's state evolves exactly as if they had been drawn.
//
// Skipping leaves out only what writes pixels and holds no state: glBegin, glEnd, glVertex3f,
// glClear, glCopyTexImage2D and the buffer swap. Every other call reaches the driver in the
// same order with the same values, except the calls the driver refuses between glBegin and
// glEnd (it would raise GL_INVALID_OPERATION and ignore them): since the skipped glBegin never
// reached the driver, the skipper keeps track of the open block itself, with the driver's
// rules, and drops those calls for it. Current colour, normal and texture coordinate are legal
// in and out of a block, so they always pass; while skipping, only the last of each before
// the next call that reaches the driver (or the frame's end) does, which gives the driver the
// same state: nothing reads them in between (no vertex reaches it), and a colour that colour
// material copies into the material arrives before the glEnable or glDisable that ends that.
// A skipped sphere sets them thousands of times per frame.
//
// What a skipped frame would have put on the screen is gone; what it copied into a texture is
// gone too. Asked to (the first pass of a seek), the skipper records, per frame, which textures
// each block sampled and which ones a copy wrote, so that the caller can tell which frames a
// wanted picture depends on and draw exactly those. Otherwise it records no use: a drawn run
// of any length keeps its memory flat.
#include <algorithm>
#include <string_view>

#include "gl/gl_backend.h"

namespace gl {
namespace {

enum class Kind { State, Current };

// The calls with a rule of their own are set in SkipperBackend(); of the others, these four
// are the current vertex attributes.
constexpr Kind KindOf(std::string_view name) {
    return name == "glColor3f" || name == "glColor4f" || name == "glNormal3f" ||
                   name == "glTexCoord2f"
               ? Kind::Current
               : Kind::State;
}

// The current vertex attributes a skipped frame set last, not yet passed on.
struct Held {
    enum ColorCall : uint8_t { None, Color3, Color4 };
    ColorCall color = None;
    float rgba[4] = {};
    bool normal = false, texCoord = false;
    float n[3] = {}, st[2] = {};
};

struct State {
    const Backend* driver = nullptr;
    bool skipping = false;
    bool inBlock = false;  // between a glBegin the driver would accept and its glEnd
    uint32_t bound = 0;    // the texture bound to GL_TEXTURE_2D
    bool recordUse = false;
    FrameUse use;
    Held held;
};
State g_state;

// Notes a texture use of the frame for a run that analyses. A sample repeated since the
// frame's last write adds nothing to what the frame needs, so a frame's record holds at most
// one event per texture between two copies.
void Note(FrameUse::Kind kind, uint32_t texture) {
    if (!g_state.recordUse) return;
    std::vector<FrameUse::Event>& events = g_state.use.events;
    if (kind == FrameUse::Sample)
        for (auto e = events.rbegin(); e != events.rend() && e->kind == FrameUse::Sample; ++e)
            if (e->texture == texture) return;
    events.push_back({kind, texture});
}

void PassHeld() {
    Held& h = g_state.held;
    if (h.color == Held::Color3) g_state.driver->glColor3f(h.rgba[0], h.rgba[1], h.rgba[2]);
    if (h.color == Held::Color4)
        g_state.driver->glColor4f(h.rgba[0], h.rgba[1], h.rgba[2], h.rgba[3]);
    if (h.normal) g_state.driver->glNormal3f(h.n[0], h.n[1], h.n[2]);
    if (h.texCoord) g_state.driver->glTexCoord2f(h.st[0], h.st[1]);
    h = Held{};
}

// Whether a call that the driver refuses inside a block reaches it: always while drawing
// (the driver refuses it itself), and while skipping outside a block the skipper keeps.
bool Passes() { return !g_state.skipping || !g_state.inBlock; }

// The calls that draw reach the driver only while drawing.
bool Draws() { return !g_state.skipping; }

#define QGL_SKIP(name, params, args)                              \
    void Pass_##name params {                                     \
        constexpr bool kCurrent = KindOf(#name) == Kind::Current; \
        if (!kCurrent) PassHeld();                                \
        if (kCurrent || Passes()) g_state.driver->name args;      \
    }
QGL_PLAIN_CALLS(QGL_SKIP)
#undef QGL_SKIP

// The current attributes: held while skipping.
void Skp_glColor3f(float r, float g, float b) {
    if (!g_state.skipping) return Pass_glColor3f(r, g, b);
    g_state.held.color = Held::Color3;
    g_state.held.rgba[0] = r, g_state.held.rgba[1] = g, g_state.held.rgba[2] = b;
}

void Skp_glColor4f(float r, float g, float b, float a) {
    if (!g_state.skipping) return Pass_glColor4f(r, g, b, a);
    g_state.held.color = Held::Color4;
    g_state.held.rgba[0] = r, g_state.held.rgba[1] = g, g_state.held.rgba[2] = b;
    g_state.held.rgba[3] = a;
}

void Skp_glNormal3f(float x, float y, float z) {
    if (!g_state.skipping) return Pass_glNormal3f(x, y, z);
    g_state.held.normal = true;
    g_state.held.n[0] = x, g_state.held.n[1] = y, g_state.held.n[2] = z;
}

void Skp_glTexCoord2f(float s, float t) {
    if (!g_state.skipping) return Pass_glTexCoord2f(s, t);
    g_state.held.texCoord = true;
    g_state.held.st[0] = s, g_state.held.st[1] = t;
}

void Skp_glBegin(uint32_t mode) {
    if (OpensBlock(g_state.inBlock, mode)) {
        g_state.inBlock = true;
        Note(FrameUse::Sample, g_state.bound);
    }
    if (Draws()) g_state.driver->glBegin(mode);
}

void Skp_glEnd() {
    g_state.inBlock = false;  // a glEnd outside a block is refused and changes nothing either
    if (Draws()) g_state.driver->glEnd();
}

void Skp_glVertex3f(float x, float y, float z) {
    if (Draws()) g_state.driver->glVertex3f(x, y, z);
}

void Skp_glClear(uint32_t mask) {
    if (Draws()) g_state.driver->glClear(mask);
}

void Skp_glCopyTexImage2D(uint32_t target, int32_t level, uint32_t internalFormat, int32_t x,
                          int32_t y, int32_t w, int32_t h, int32_t border) {
    if (!g_state.inBlock && target == GL_TEXTURE_2D) Note(FrameUse::Write, g_state.bound);
    if (Draws())
        g_state.driver->glCopyTexImage2D(target, level, internalFormat, x, y, w, h, border);
}

void Skp_glBindTexture(uint32_t target, uint32_t name) {
    PassHeld();
    if (!g_state.inBlock && target == GL_TEXTURE_2D) g_state.bound = name;
    if (Passes()) g_state.driver->glBindTexture(target, name);
}

uint32_t Skp_glGenTexture() {
    PassHeld();
    return Passes() ? g_state.driver->glGenTexture() : 0;
}

void Skp_glDeleteTexture(uint32_t name) {
    PassHeld();
    if (!g_state.inBlock && g_state.bound == name) g_state.bound = 0;
    if (Passes()) g_state.driver->glDeleteTexture(name);
}

void Skp_glLightfv(uint32_t light, uint32_t pname, const float p[4]) {
    PassHeld();
    if (Passes()) g_state.driver->glLightfv(light, pname, p);
}

void Skp_glTexImage2D(uint32_t target, int32_t level, int32_t internalFormat, int32_t w, int32_t h,
                      int32_t border, uint32_t format, uint32_t type, const void* pixels) {
    PassHeld();
    if (Passes())
        g_state.driver->glTexImage2D(target, level, internalFormat, w, h, border, format, type,
                                     pixels);
}

void Skp_gluBuild2DMipmaps(uint32_t target, int32_t internalFormat, int32_t w, int32_t h,
                           uint32_t format, uint32_t type, const void* pixels) {
    PassHeld();
    if (Passes())
        g_state.driver->gluBuild2DMipmaps(target, internalFormat, w, h, format, type, pixels);
}

void Skp_SwapBuffers() {
    if (Draws()) g_state.driver->SwapBuffers();
}

Backend MakeSkipper() {
    Backend b = {
// clang-format off
#define QGL_ENTRY(name, params, args) Pass_##name,
        QGL_PLAIN_CALLS(QGL_ENTRY)
#undef QGL_ENTRY
        Skp_glGenTexture, Skp_glDeleteTexture, Skp_glLightfv, Skp_glTexImage2D,
        Skp_gluBuild2DMipmaps, Skp_SwapBuffers,
        // clang-format on
    };
    b.glBegin = Skp_glBegin;
    b.glEnd = Skp_glEnd;
    b.glVertex3f = Skp_glVertex3f;
    b.glClear = Skp_glClear;
    b.glCopyTexImage2D = Skp_glCopyTexImage2D;
    b.glBindTexture = Skp_glBindTexture;
    b.glColor3f = Skp_glColor3f;
    b.glColor4f = Skp_glColor4f;
    b.glNormal3f = Skp_glNormal3f;
    b.glTexCoord2f = Skp_glTexCoord2f;
    return b;
}

const Backend kSkipper = MakeSkipper();

}  // namespace

void UseSkipper() {
    g_state = State{};
    g_state.driver = &DriverBackend();
    g_backend = &kSkipper;
}

void RecordFrameUse(bool record) { g_state.recordUse = record; }

void SkipperRestored(uint32_t boundTexture) {
    g_state.inBlock = false;
    g_state.bound = boundTexture;
    g_state.use = FrameUse{};
    g_state.held = Held{};  // the restore set the current attributes
}

void SetSkipping(bool skipping) {
    if (!skipping) PassHeld();
    g_state.skipping = skipping;
}

bool VerticesDropped() { return g_backend == &kSkipper && g_state.skipping; }

FrameUse TakeFrameUse() {
    PassHeld();  // a checkpoint reads the frame's last current attributes back
    FrameUse use = std::move(g_state.use);
    use.endsInBlock = g_state.inBlock;
    g_state.use = FrameUse{};
    g_state.use.startsInBlock = g_state.inBlock;
    return use;
}

}  // namespace gl
