// The skipper: a backend in front of the driver (or of nothing) that can run frames without
// rasterising them while the driver's state evolves exactly as if they had been drawn.
//
// Skipping leaves out only what writes pixels and holds no state: glBegin, glEnd, glVertex3f,
// glClear, glCopyTexImage2D and the buffer swap. Every other call reaches the driver in the
// same order with the same values, except the calls the driver refuses between glBegin and
// glEnd (it would raise GL_INVALID_OPERATION and ignore them): since the skipped glBegin never
// reached the driver, the skipper keeps track of the open block itself, with the driver's
// rules, and drops those calls for it. Current colour, normal and texture coordinate are legal
// in and out of a block, so they always pass.
//
// What a skipped frame would have put on the screen is gone; what it copied into a texture is
// gone too. In front of nothing, the skipper records, per frame, which textures each block
// sampled and which ones a copy wrote, so that the caller can tell which frames a wanted
// picture depends on and draw exactly those. In front of the driver it records no use unless
// asked to (the first pass of a seek): a drawn run of any length keeps its memory flat.
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

struct State {
    const Backend* downstream = nullptr;  // the driver, or null for a run that only analyses
    bool skipping = false;
    bool inBlock = false;   // between a glBegin the driver would accept and its glEnd
    uint32_t bound = 0;     // the texture bound to GL_TEXTURE_2D
    uint32_t nextName = 1;  // texture names handed out when there is no driver
    bool recordUse = false;
    FrameUse use;
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

// Whether a call that the driver refuses inside a block goes through.
bool PassesState() { return g_state.downstream && !g_state.inBlock; }

#define QGL_SKIP(name, params, args)                                                          \
    void Pass_##name params {                                                                 \
        constexpr bool kCurrent = KindOf(#name) == Kind::Current;                             \
        if (!g_state.downstream) return;                                                      \
        if (kCurrent || !g_state.skipping || !g_state.inBlock) g_state.downstream->name args; \
    }
QGL_PLAIN_CALLS(QGL_SKIP)
#undef QGL_SKIP

void Skp_glBegin(uint32_t mode) {
    if (OpensBlock(g_state.inBlock, mode)) {
        g_state.inBlock = true;
        Note(FrameUse::Sample, g_state.bound);
    }
    if (g_state.downstream && !g_state.skipping) g_state.downstream->glBegin(mode);
}

void Skp_glEnd() {
    g_state.inBlock = false;  // a glEnd outside a block is refused and changes nothing either
    if (g_state.downstream && !g_state.skipping) g_state.downstream->glEnd();
}

void Skp_glVertex3f(float x, float y, float z) {
    if (g_state.downstream && !g_state.skipping) g_state.downstream->glVertex3f(x, y, z);
}

void Skp_glClear(uint32_t mask) {
    if (g_state.downstream && !g_state.skipping) g_state.downstream->glClear(mask);
}

void Skp_glCopyTexImage2D(uint32_t target, int32_t level, uint32_t internalFormat, int32_t x,
                          int32_t y, int32_t w, int32_t h, int32_t border) {
    if (!g_state.inBlock && target == GL_TEXTURE_2D) Note(FrameUse::Write, g_state.bound);
    if (g_state.downstream && !g_state.skipping)
        g_state.downstream->glCopyTexImage2D(target, level, internalFormat, x, y, w, h, border);
}

void Skp_glBindTexture(uint32_t target, uint32_t name) {
    if (!g_state.inBlock && target == GL_TEXTURE_2D) g_state.bound = name;
    if (g_state.downstream && (!g_state.skipping || !g_state.inBlock))
        g_state.downstream->glBindTexture(target, name);
}

uint32_t Skp_glGenTexture() {
    if (!g_state.downstream) return g_state.inBlock ? 0 : g_state.nextName++;
    return PassesState() || !g_state.skipping ? g_state.downstream->glGenTexture() : 0;
}

void Skp_glDeleteTexture(uint32_t name) {
    if (!g_state.inBlock && g_state.bound == name) g_state.bound = 0;
    if (g_state.downstream && (!g_state.skipping || !g_state.inBlock))
        g_state.downstream->glDeleteTexture(name);
}

void Skp_glLightfv(uint32_t light, uint32_t pname, const float p[4]) {
    if (g_state.downstream && (!g_state.skipping || !g_state.inBlock))
        g_state.downstream->glLightfv(light, pname, p);
}

void Skp_glTexImage2D(uint32_t target, int32_t level, int32_t internalFormat, int32_t w, int32_t h,
                      int32_t border, uint32_t format, uint32_t type, const void* pixels) {
    if (g_state.downstream && (!g_state.skipping || !g_state.inBlock))
        g_state.downstream->glTexImage2D(target, level, internalFormat, w, h, border, format, type,
                                         pixels);
}

void Skp_gluBuild2DMipmaps(uint32_t target, int32_t internalFormat, int32_t w, int32_t h,
                           uint32_t format, uint32_t type, const void* pixels) {
    if (g_state.downstream && (!g_state.skipping || !g_state.inBlock))
        g_state.downstream->gluBuild2DMipmaps(target, internalFormat, w, h, format, type, pixels);
}

void Skp_SwapBuffers() {
    if (g_state.downstream && !g_state.skipping) g_state.downstream->SwapBuffers();
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
    return b;
}

const Backend kSkipper = MakeSkipper();

}  // namespace

void UseSkipper(bool overDriver) {
    g_state = State{};
    g_state.downstream = overDriver ? &DriverBackend() : nullptr;
    g_state.recordUse = !overDriver;
    g_backend = &kSkipper;
}

void RecordFrameUse(bool record) { g_state.recordUse = record || !g_state.downstream; }

void SkipperRestored(uint32_t boundTexture) {
    g_state.inBlock = false;
    g_state.bound = boundTexture;
    g_state.use = FrameUse{};
}

void SetSkipping(bool skipping) { g_state.skipping = skipping; }

FrameUse TakeFrameUse() {
    FrameUse use = std::move(g_state.use);
    use.endsInBlock = g_state.inBlock;
    g_state.use = FrameUse{};
    g_state.use.startsInBlock = g_state.inBlock;
    return use;
}

}  // namespace gl
