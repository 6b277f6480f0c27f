#include <gtest/gtest.h>

#include "gl/gl_layer.h"

using namespace gl;

TEST(GlRecorder, FormatsArgumentsByType) {
    std::string out;
    UseRecorder(&out);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glColor3f(1.0f, 0.5f, 0.1f);
    gluPerspective(45.0, 800.0 / 600.0, 1.0, 100.0);
    const float light[4] = {1, 0, -2.5f, 0.25f};
    glLightfv(16384, 4611, light);
    SwapBuffers();
    EXPECT_EQ(out,
              "glClear(16640)\n"
              "glLoadIdentity()\n"
              "glColor3f(1, 0.5, 0.100000001)\n"
              "gluPerspective(45, 1.3333333333333333, 1, 100)\n"
              "glLightfv(16384, 4611, [1, 0, -2.5, 0.25])\n"
              "SwapBuffers()\n");
}

TEST(GlRecorder, HandsOutTextureNamesInOrderAndHashesPixels) {
    std::string out;
    UseRecorder(&out);
    EXPECT_EQ(glGenTexture(), 1u);
    EXPECT_EQ(glGenTexture(), 2u);
    const unsigned char rgb[3] = {0, 0, 0};
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    // SHA-256 of three zero bytes starts 709e80c88487a241.
    EXPECT_EQ(out,
              "glGenTextures(1) -> 1\n"
              "glGenTextures(1) -> 2\n"
              "glTexImage2D(3553, 0, 3, 1, 1, 0, 6407, 5121, sha256:709e80c88487a241)\n"
              "glTexImage2D(3553, 0, 3, 1, 1, 0, 6407, 5121, null)\n");
    UseRecorder(&out);
    EXPECT_EQ(glGenTexture(), 1u) << "a fresh recorder starts the names at 1 again";
}
