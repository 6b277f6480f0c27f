#include <gtest/gtest.h>

#include "gl/gl_layer.h"
#include "scripter/passes.h"

namespace {

const char* const kClear = "glClearColor(0, 0, 0, 0)\nglClear(16640)\n";

class PassesTest : public ::testing::Test {
protected:
    std::string out;
    int32_t depth = 0;
    void SetUp() override {
        gl::UseRecorder(&out);
        scripter::passes::SetWindowSize(640, 480);
        scripter::passes::CreateBlurTexture();
        out.clear();
    }
    void TearDown() override { gl::UseRecorder(nullptr); }
};

}  // namespace

TEST_F(PassesTest, BlurTextureIsAnEightByEightLinearRgbTexture) {
    // 192 zero bytes hash to 5d89f056865052bc: the initial texels are deterministic.
    std::string s;
    gl::UseRecorder(&s);
    scripter::passes::CreateBlurTexture();
    EXPECT_EQ(s,
              "glGenTextures(1) -> 1\n"
              "glBindTexture(3553, 1)\n"
              "glTexImage2D(3553, 0, 3, 8, 8, 0, 6407, 5121, sha256:5d89f056865052bc)\n"
              "glTexParameteri(3553, 10240, 9729)\n"
              "glTexParameteri(3553, 10241, 9729)\n");
}

TEST_F(PassesTest, TargetPassCopiesIntoTheEntryAndRestoresTheWindow) {
    scripter::passes::BeginTargetPass(depth);
    EXPECT_EQ(depth, 1);
    scripter::passes::EndTargetPass(depth, true, 7);
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(out, std::string("glPushMatrix()\n") + kClear +
                       "glViewport(0, 0, 256, 256)\n"
                       "glBindTexture(3553, 7)\n"
                       "glCopyTexImage2D(3553, 0, 6407, 0, 0, 256, 256, 0)\n"
                       "glViewport(0, 0, 640, 480)\n" +
                       kClear + "glLoadIdentity()\nglPopMatrix()\n");
}

TEST_F(PassesTest, NestedPassesKeepTheTargetViewportUntilTheOuterEnds) {
    scripter::passes::BeginTargetPass(depth);
    scripter::passes::BeginTargetPass(depth);
    out.clear();
    scripter::passes::EndTargetPass(depth, true, 3);
    EXPECT_EQ(out.find("glViewport"), std::string::npos) << "inner end keeps 256 x 256";
    scripter::passes::EndTargetPass(depth, true, 4);
    EXPECT_NE(out.find("glViewport(0, 0, 640, 480)"), std::string::npos);
    EXPECT_EQ(depth, 0);
}

TEST_F(PassesTest, EndWithoutAnOpenPassOrWithoutAnEntryCopiesNothing) {
    scripter::passes::EndTargetPass(depth, true, 5);
    EXPECT_EQ(out, std::string("glViewport(0, 0, 640, 480)\n") + kClear +
                       "glLoadIdentity()\nglPopMatrix()\n");
    out.clear();
    scripter::passes::BeginTargetPass(depth);
    scripter::passes::EndTargetPass(depth, false, 0);
    EXPECT_EQ(out.find("glCopyTexImage2D"), std::string::npos);
    EXPECT_EQ(depth, 0);
}

// The calls of one blur pass: the 8 x 8 copy into the blur texture, then back to `viewport`.
std::string BlurPassCalls(const std::string& viewport) {
    return std::string("glPushMatrix()\n") + kClear +
           "glViewport(0, 0, 8, 8)\n"
           "glBindTexture(3553, 1)\n"
           "glCopyTexImage2D(3553, 0, 6407, 0, 0, 8, 8, 0)\n"
           "glViewport(" +
           viewport + ")\n" + kClear + "glLoadIdentity()\nglPopMatrix()\n";
}

TEST_F(PassesTest, BlurPassInsideATargetPassReturnsToTheTargetViewport) {
    scripter::passes::BeginTargetPass(depth);
    out.clear();
    scripter::passes::BeginBlurPass();
    scripter::passes::EndBlurPass(depth);
    EXPECT_EQ(out, BlurPassCalls("0, 0, 256, 256"));
}

TEST_F(PassesTest, BlurPassOutsideATargetPassReturnsToTheWindowViewport) {
    scripter::passes::BeginBlurPass();
    scripter::passes::EndBlurPass(depth);
    EXPECT_EQ(out, BlurPassCalls("0, 0, 640, 480"));
    // After a target pass has closed, the window is again what a blur pass returns to.
    scripter::passes::BeginTargetPass(depth);
    scripter::passes::EndTargetPass(depth, true, 2);
    out.clear();
    scripter::passes::BeginBlurPass();
    scripter::passes::EndBlurPass(depth);
    EXPECT_NE(out.find("glViewport(0, 0, 640, 480)"), std::string::npos) << out;
    EXPECT_EQ(out.find("glViewport(0, 0, 256, 256)"), std::string::npos) << out;
}

TEST_F(PassesTest, OverlayIsAFourThirdsWideQuadWithTheBlurTexture) {
    scripter::passes::DrawBlurOverlay();
    EXPECT_EQ(out,
              "glBindTexture(3553, 1)\nglBegin(7)\n"
              "glTexCoord2f(0, 0)\nglVertex3f(-1.33333337, -1, 0)\n"
              "glTexCoord2f(1, 0)\nglVertex3f(1.33333337, -1, 0)\n"
              "glTexCoord2f(1, 1)\nglVertex3f(1.33333337, 1, 0)\n"
              "glTexCoord2f(0, 1)\nglVertex3f(-1.33333337, 1, 0)\n"
              "glEnd()\n");
}
