#include <gtest/gtest.h>

#include "platform/window.h"

using platform::VirtualKeyFromSdl;

// SDL key codes are the character for printable keys and scancode | 1 << 30 for the others
// (SDL_SCANCODE_F1 is 58); the frame loop knows the Windows virtual-key codes.
constexpr int32_t kSdlScancodeKey = 1 << 30;

TEST(VirtualKeys, TheLoopKeysGetTheirWindowsCodes) {
    EXPECT_EQ(VirtualKeyFromSdl(27), 27);                     // Escape
    EXPECT_EQ(VirtualKeyFromSdl(kSdlScancodeKey | 58), 112);  // F1
    EXPECT_EQ(VirtualKeyFromSdl(kSdlScancodeKey | 59), 113);  // F2
    EXPECT_EQ(VirtualKeyFromSdl(kSdlScancodeKey | 60), 114);  // F3
    EXPECT_EQ(VirtualKeyFromSdl(kSdlScancodeKey | 69), 123);  // F12
}

TEST(VirtualKeys, LettersAreUpperCaseDigitsStayAndUnknownKeysHaveNone) {
    EXPECT_EQ(VirtualKeyFromSdl('a'), 'A');
    EXPECT_EQ(VirtualKeyFromSdl('z'), 'Z');
    EXPECT_EQ(VirtualKeyFromSdl('7'), '7');
    EXPECT_EQ(VirtualKeyFromSdl(' '), 32);
    EXPECT_EQ(VirtualKeyFromSdl(kSdlScancodeKey | 80), 37);  // left arrow
    EXPECT_EQ(VirtualKeyFromSdl(0x2F), -1);                  // '/': no code here
    EXPECT_EQ(VirtualKeyFromSdl(kSdlScancodeKey | 0x1FF), -1);
}

TEST(VirtualKeys, PunctuationGetsTheUsLayoutOemCodes) {
    EXPECT_EQ(VirtualKeyFromSdl(','), 188);
    EXPECT_EQ(VirtualKeyFromSdl('.'), 190);
    EXPECT_EQ(VirtualKeyFromSdl('-'), 189);
    EXPECT_EQ(VirtualKeyFromSdl('='), 187);
    EXPECT_EQ(VirtualKeyFromSdl('['), 219);
    EXPECT_EQ(VirtualKeyFromSdl('\\'), 220);
    EXPECT_EQ(VirtualKeyFromSdl(']'), 221);
}
