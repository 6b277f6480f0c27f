#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/engine.h"
#include "gl/gl_layer.h"
#include "tests/support/run_qv.h"
#include "tests/support/script_builder.h"

using namespace demo;
using namespace testing_scripts;
using testing_qv::RunQv;

namespace {

// SetProjection(640, 480) and the GL state up to the loading of the demo file's sections.
const std::string kStartupBeforeSections =
    "startup\n"
    "glViewport(0, 0, 640, 480)\n"
    "glMatrixMode(5889)\n"
    "glLoadIdentity()\n"
    "gluPerspective(45, 1.3333333333333333, 1, 100)\n"
    "glMatrixMode(5888)\n"
    "glLoadIdentity()\n"
    "glClearColor(0, 0, 0, 0)\n"
    "glShadeModel(7425)\n"
    "glClearDepth(1)\n"
    "glEnable(2929)\n"
    "glDepthFunc(513)\n"
    "glHint(3152, 4354)\n"
    "glBlendFunc(770, 771)\n"
    "glEnable(3553)\n"
    // the blur texture of the screen passes, before the demo file's sections
    "glGenTextures(1) -> 1\n"
    "glBindTexture(3553, 1)\n"
    "glTexImage2D(3553, 0, 3, 8, 8, 0, 6407, 5121, sha256:5d89f056865052bc)\n"
    "glTexParameteri(3553, 10240, 9729)\n"
    "glTexParameteri(3553, 10241, 9729)\n";

// The black frame presented while the content loads.
const std::string kBlackFrame =
    "glDisable(2929)\n"
    "glEnable(3042)\n"
    "glClear(16640)\n"
    "glLoadIdentity()\n"
    "SwapBuffers()\n"
    "glEnable(2929)\n"
    "glDisable(3042)\n";

// The first lines of every frame: the time, the cleared buffers and the identity.
std::string FrameStart(int32_t t) {
    return "frame " + std::to_string(t) + "\nglClear(16640)\nglLoadIdentity()\n";
}

// Track 0: a triangle-strip vertex with the clip transform, 0 .. 1000 ms.
// Track 1: QUIT, 2000 .. 3000 ms.
demo::DemoFile QuittingDemo() {
    demo::Clip drawn = MakeClip(0, 0, 1000, 0);
    drawn.translateX = 1;
    drawn.translateY = 0.5f;
    drawn.rotateY = 30;
    return testing_qv::DemoWith({Code({PushI(5), Do(BEGIN), PushF(1), PushF(2), PushF(0.1f),
                                       Do(VERTEX), Do(END), Do(CLIPXFORM)}),
                                 Code({Do(QUIT)})},
                                {drawn, MakeClip(1, 2000, 1000, 1)});
}

TEST(Trace, StartupFramesAndQuitFollowTheFormatToTheCharacter) {
    std::string path = testing_qv::WriteDemo(QuittingDemo());
    testing_qv::QvResult r = RunQv("trace " + path + " --times 0,500,2500,2600 --size 640x480");
    EXPECT_EQ(r.out, kStartupBeforeSections + kBlackFrame + FrameStart(0) + "SwapBuffers()\n" +
                         FrameStart(500) +
                         "glBegin(5)\n"
                         "glVertex3f(1, 2, 0.100000001)\n"
                         "glEnd()\n"
                         "glTranslatef(1, 0.5, 0)\n"
                         "glRotatef(0, 1, 0, 0)\n"
                         "glRotatef(30, 0, 1, 0)\n"
                         "glRotatef(0, 0, 0, 1)\n"
                         "SwapBuffers()\n" +
                         FrameStart(2500) +  // QUIT runs: this frame is the last one
                         "SwapBuffers()\n");
    EXPECT_EQ(r.status, 0);
}

TEST(Trace, DefaultSizeIs800By600) {
    std::string path = testing_qv::WriteDemo(QuittingDemo());
    testing_qv::QvResult r = RunQv("trace " + path + " --times 0");
    EXPECT_NE(r.out.find("glViewport(0, 0, 800, 600)\n"), std::string::npos);
    EXPECT_EQ(r.status, 0);
}

TEST(Trace, AFatalScriptErrorEndsTheTraceWithoutPresentingTheFrame) {
    demo::DemoFile d = testing_qv::DemoWith({Code({Do(PUSHMATRIX), PushI(1), Do(ADDI), Do(END)})},
                                            {MakeClip(0, 0, 1000, 0)});
    std::string path = testing_qv::WriteDemo(d);
    testing_qv::QvResult r = RunQv("trace " + path + " --times 0,10,20 --size 640x480");
    EXPECT_EQ(r.out, kStartupBeforeSections + kBlackFrame + FrameStart(0) + "SwapBuffers()\n" +
                         FrameStart(10) +
                         "glPushMatrix()\n"
                         "MessageBox(\"bad error\", \"Stack error (int pop)\")\n");
    EXPECT_EQ(r.err,
              "bad error: Stack error (int pop): script 0 at offset 6 (qv dump --offsets), clip 0 "
              "on track 0, demo time 10 ms\n");
    EXPECT_NE(r.status, 0);
}

TEST(Trace, AFatalErrorInACalledScriptNamesThatScriptAndTheCallersClip) {
    // Clip 1 on track 3 runs script 0, which calls script 1; its SIN finds no float.
    demo::DemoFile d = testing_qv::DemoWith(
        {Code({PushI(1), Do(CALL)}), Code({Do(END), Do(SIN)})},
        {MakeClip(0, 5000, 1000, 1), MakeClip(3, 0, 1000, 0)});  // track 0 waits
    std::string path = testing_qv::WriteDemo(d);
    testing_qv::QvResult r = RunQv("trace " + path + " --times 0,250");
    EXPECT_NE(r.out.find("MessageBox(\"bad error\", \"Stack error (float pop)\")\n"),
              std::string::npos);
    EXPECT_EQ(r.err,
              "bad error: Stack error (float pop): script 1 at offset 1 (qv dump --offsets), clip "
              "1 on track 3, demo time 250 ms\n");
}

TEST(Trace, DemoFileFailuresAreMessageLinesWithExitOne) {
    std::string folder = testing_qv::FreshFolder();
    // A file that is not there is the tool's own message, not the player's box.
    testing_qv::QvResult r = RunQv("trace " + folder + "/missing.acs --times 0");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "qv trace: " + folder +
                         "/missing.acs: cannot open the file (No such file or directory)\n");
    EXPECT_EQ(r.status, 1);

    std::string wrongMagic = demo::WriteDemoFile(QuittingDemo());
    wrongMagic[5] = 'Q';  // "test\x1a" then "quorvanel1"
    std::ofstream(folder + "/magic.acs", std::ios::binary) << wrongMagic;
    r = RunQv("trace " + folder + "/magic.acs --times 0 --size 640x480");
    EXPECT_EQ(r.out, kStartupBeforeSections + "MessageBox(\"error\", \"ne. heut nich\")\n");
    EXPECT_EQ(r.status, 1);
}

TEST(Trace, BadArgumentsAreUsageErrors) {
    std::string path = testing_qv::WriteDemo(QuittingDemo());
    for (const char* args : {" --times", " --times 1,,2", " --times 5 --size 0x10",
                             " --times 5 --size 640", " --size 640x480"}) {
        testing_qv::QvResult r = RunQv("trace " + path + args);
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(r.status, 2) << args;
    }
}

TEST(Engine, ProjectionOfAZeroHeightWindowUsesHeightOne) {
    std::string gl;
    gl::UseRecorder(&gl);
    app::SetProjection(640, 0);
    EXPECT_EQ(gl,
              "glViewport(0, 0, 640, 1)\n"
              "glMatrixMode(5889)\n"
              "glLoadIdentity()\n"
              "gluPerspective(45, 640, 1, 100)\n"
              "glMatrixMode(5888)\n"
              "glLoadIdentity()\n");
}

}  // namespace
