// Checkpoints: a run captured after some frames and restored on a fresh headless context,
// after the same start-up, must draw the following frames byte for byte as the run that went
// on. The demos change every kind of state a frame can leave behind: variables, stacks,
// particle registers, capabilities (lighting, colour material, culling), lights, the current
// colour, normal and texture coordinate, the line width, blending, the model-view stack's
// depth, and textures written by render-target and blur passes and sampled later.
#include "app/checkpoint.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/demo_loader.h"
#include "app/engine.h"
#include "demo/demo_file.h"
#include "demo/tex_program.h"
#include "demo/texture_ops.h"
#include "gl/gl_layer.h"
#include "platform/headless.h"
#include "platform/message_box.h"
#include "tests/support/script_builder.h"

using namespace testing_scripts;

namespace {

constexpr int32_t kSize = 256;  // a render target copies 256 x 256
constexpr int32_t kFrameMs = 20;
using Picture = std::vector<uint8_t>;

app::OpenDemoFile Open(const demo::DemoFile& d) {
    app::OpenDemoFile file;
    file.path = "checkpoint.acs";
    const std::string bytes = demo::WriteDemoFile(d);
    file.bytes.assign(bytes.begin(), bytes.end());
    std::string title;
    EXPECT_TRUE(demo::ParseTitle(file.bytes, file.path, title, file.sectionsOffset).Ok());
    return file;
}

// A fresh context and the demo's start-up on it.
void StartFresh(const app::OpenDemoFile& file) {
    platform::CloseHeadlessContext();
    app::ResetEngine();
    std::string error;
    ASSERT_TRUE(platform::OpenHeadlessContext(kSize, kSize, error)) << error;
    ASSERT_TRUE(app::RunStartup(file, kSize, kSize, app::StartupHooks{}));
}

// Frames first..last (inclusive), each read back after drawing.
std::vector<Picture> Frames(int first, int last) {
    std::vector<Picture> pictures;
    for (int i = first; i <= last; ++i) {
        EXPECT_TRUE(app::DrawFrame(i * kFrameMs));
        Picture p(size_t(kSize) * kSize * 4);
        EXPECT_TRUE(gl::ReadPixelsRGBA(kSize, kSize, p.data()));
        gl::SwapBuffers();
        pictures.push_back(std::move(p));
    }
    return pictures;
}

// Runs to frame `at`, captures, runs on to `last`; then starts a fresh context, restores (or
// not) and runs the same frames again. Returns how many frames differ, or -1 when the
// capture was refused.
int DifferingFrames(const demo::DemoFile& d, int at, int last, bool restore = true) {
    const app::OpenDemoFile file = Open(d);
    StartFresh(file);
    Frames(0, at - 1);
    app::Checkpoint checkpoint;
    if (!app::CaptureCheckpoint(checkpoint)) {
        platform::CloseHeadlessContext();
        return -1;
    }
    const std::vector<Picture> expected = Frames(at, last);

    StartFresh(file);
    if (restore) app::RestoreCheckpoint(checkpoint);
    const std::vector<Picture> got = Frames(at, last);
    platform::CloseHeadlessContext();
    int differing = 0;
    for (size_t i = 0; i < expected.size(); ++i) differing += got[i] != expected[i];
    return differing;
}

Bytes Light(int32_t light, int32_t pname, float a, float b, float c, float e) {
    return Join(
        {PushF(e), PushF(c), PushF(b), PushF(a), PushI(light), PushI(pname), Do(demo::LIGHT)});
}

Bytes Vertex(float x, float y) { return Join({PushF(x), PushF(y), PushF(0), Do(demo::VERTEX)}); }

Bytes Translate(float x, float y, float z) {
    return Join({PushF(x), PushF(y), PushF(z), Do(demo::TRANSLATE)});
}
Bytes Cap(int32_t cap, uint8_t op) { return Join({PushI(cap), Do(op)}); }
constexpr int32_t kLighting = 0x0B50, kTexture2D = 0x0DE1, kColorMaterial = 0x0B57;

// State that frames leave for later ones, set by clips that end before most checkpoints.
// Frames 1 to 8 leave matrices on the model-view stack, each translated by the counter, which
// every frame from frame 10 on pops to and draws under. Frames 2 to 5 switch on lighting, a light,
// colour material, normalising and blending and set the light, colour, line width and texture
// coordinate; frames 6 to 8 set a colour for the material to keep and switch colour material
// off; frames 5 to 35 write a render target, leaving their own colour. Every frame: a counter
// in int variable 0 moves a lit sphere; an unlit triangle in the current colour samples the
// render target at the current texture coordinate; a line in the current width; the render
// target on a square; a blur pass; particles.
demo::DemoFile StatefulDemo() {
    using namespace demo;
    const Bytes lit =
        Join({Cap(kLighting, ENABLE), Cap(0x4000, ENABLE), Cap(kColorMaterial, ENABLE),
              Cap(0x0BA1, ENABLE), Cap(0x0BE2, ENABLE), PushI(0x0302), PushI(1), Do(BLEND),
              Light(0x4000, 0x1203, 0, 1, 1, 0), PushF(0.9f), PushF(0.4f), PushF(0.2f), PushF(0.7f),
              Do(COLOR4), PushF(4), Do(LINEWIDTH), PushF(0.5f), PushF(0.55f), Do(TEXCOORD)});
    const Bytes keep =
        Join({PushF(0.1f), PushF(0.8f), PushF(0.3f), Do(COLOR3), Cap(kColorMaterial, DISABLE)});
    const Bytes mover = Join({LoadI(0), Do(ITOF), PushF(0.05f), Do(MULF), PushF(0.4f), PushF(-4),
                              Do(TRANSLATE), Do(PUSHMATRIX)});
    const Bytes popper = Join({Do(POPMATRIX), Cap(kTexture2D, DISABLE), PushI(8), PushF(0.3f),
                               Do(SPHERE), Do(PUSHMATRIX)});
    // The passes clear the whole screen, so they come first.
    const Bytes writer =
        Join({Do(TARGET_BEGIN), Cap(kLighting, DISABLE), Cap(kTexture2D, DISABLE), PushF(1),
              PushF(0.5f), PushF(0.2f), Do(COLOR3), Translate(0, 0, -3), PushI(16), PushF(1),
              Do(SPHERE), PushI(0), Do(TARGET_END), Cap(kLighting, ENABLE)});
    const Bytes blur =
        Join({Do(BLUR_BEGIN), Translate(0, 0, -4), PushI(8), PushF(1), Do(SPHERE), Do(BLUR_END)});
    const Bytes drawer = Join({
        LoadI(0),
        PushI(1),
        Do(ADDI),
        StoreI(0),
        Cap(kTexture2D, DISABLE),
        Do(PUSHMATRIX),
        LoadI(0),
        Do(ITOF),
        PushF(0.01f),
        Do(MULF),
        PushF(0),
        PushF(-5),
        Do(TRANSLATE),
        PushI(12),
        PushF(1),
        Do(SPHERE),
        Do(POPMATRIX),
        Cap(kLighting, DISABLE),
        Cap(kTexture2D, ENABLE),
        PushI(0),
        Do(BINDTEX),
        Do(PUSHMATRIX),
        Translate(0, 0, -3),
        PushI(4),
        Do(BEGIN),
        Vertex(-1.2f, -1),
        Vertex(-0.2f, -1),
        Vertex(-0.7f, 0.2f),
        Do(END),
        Cap(kTexture2D, DISABLE),
        PushI(1),
        Do(BEGIN),
        Vertex(-1.2f, 1),
        Vertex(1.2f, -0.9f),
        Do(END),
        Cap(kTexture2D, ENABLE),
        Translate(0.7f, -0.5f, 0),
        PushF(-0.4f),
        PushF(-0.4f),
        PushF(0.4f),
        PushF(0.4f),
        Do(RECT),
        Do(POPMATRIX),
        Cap(kLighting, ENABLE),
    });
    const Bytes particles = Join({PushI(40), Do(P_COUNT), PushI(3), Do(P_RANGE), PushF(0.9f),
                                  Do(P_RED), PushF(0.7f), Do(P_GREEN), PushF(0.3f), Do(P_BLUE),
                                  PushF(1), Do(P_HALFW), PushF(1), Do(P_HALFH), Do(PARTICLES)});
    demo::DemoFile d =
        DemoWith({MakeScript(writer), MakeScript(blur), MakeScript(lit), MakeScript(keep),
                  MakeScript(drawer), MakeScript(particles), MakeScript(mover), MakeScript(popper)},
                 {MakeClip(0, 100, 600, 0), MakeClip(1, 0, 100000, 1), MakeClip(2, 40, 60, 2),
                  MakeClip(3, 120, 40, 3), MakeClip(4, 0, 100000, 4), MakeClip(5, 0, 100000, 5),
                  MakeClip(6, 20, 140, 6), MakeClip(7, 200, 100000, 7)});
    d.intVarCount = 2;
    AddRenderTargets(d);
    return d;
}

}  // namespace

class Checkpoint : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        if (!platform::OpenHeadlessContext(kSize, kSize, error))
            GTEST_SKIP() << "no headless OpenGL: " << error;
        platform::CloseHeadlessContext();
        platform::SetMessageSink([](const std::string&, const std::string&) {});
    }
};

TEST_F(Checkpoint, RestoredOnAFreshContextTheRunGoesOnByteForByte) {
    for (int at : {3, 9, 24, 40})
        EXPECT_EQ(DifferingFrames(StatefulDemo(), at, at + 6), 0) << "checkpoint at frame " << at;
}

// The test sees what a checkpoint keeps: without the restore, the frames differ.
TEST_F(Checkpoint, WithoutTheRestoreTheFramesDiffer) {
    EXPECT_GT(DifferingFrames(StatefulDemo(), 24, 26, false), 0);
}

TEST_F(Checkpoint, AFrameEndingInsideABlockIsNoCheckpoint) {
    using namespace demo;
    demo::DemoFile d =
        DemoWith({Code({PushI(7), Do(BEGIN), PushF(0), PushF(0), PushF(-5), Do(VERTEX)})},
                 {MakeClip(0, 0, 100000, 0)});
    EXPECT_EQ(DifferingFrames(d, 3, 4), -1);
}
