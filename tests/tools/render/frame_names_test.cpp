// Frame sequence names: the printf patterns ffmpeg and Blender read, and the ones refused.
#include "tools/render/frame_names.h"

#include <gtest/gtest.h>

using namespace tools;

namespace {

std::string Name(const std::string& text, int64_t index) {
    FramePattern p;
    std::string error;
    EXPECT_TRUE(ParseFramePattern(text, p, error)) << error;
    return FramePatternName(p, index);
}

std::string Refusal(const std::string& text) {
    FramePattern p;
    std::string error;
    EXPECT_FALSE(ParseFramePattern(text, p, error)) << text;
    return error;
}

}  // namespace

TEST(FrameNames, PatternsNumberLikePrintf) {
    EXPECT_EQ(Name("shots/f%05d.png", 0), "shots/f00000.png");
    EXPECT_EQ(Name("shots/f%05d.png", 123456), "shots/f123456.png");  // wider than asked
    EXPECT_EQ(Name("%d.png", 42), "42.png");
    EXPECT_EQ(Name("a%4d.png", 7), "a   7.png");
    EXPECT_EQ(Name("100%%/x%03d_%%.png", 5), "100%/x005_%.png");
    EXPECT_TRUE(IsFramePattern("a%d"));
    EXPECT_FALSE(IsFramePattern("shots/"));
}

TEST(FrameNames, RefusesWhatPrintfWouldMisread) {
    EXPECT_NE(Refusal("f%s.png").find("only %d"), std::string::npos);
    EXPECT_NE(Refusal("f%05d_%d.png").find("more than one"), std::string::npos);
    EXPECT_NE(Refusal("f%%.png").find("no frame number"), std::string::npos);
    Refusal("f%");
    Refusal("f%05");
    Refusal("f%-5d.png");
    Refusal("f%999999999999d.png");  // no overflow, no huge padding
    Refusal("f%33d.png");
    EXPECT_EQ(Name("f%32d", 1).size(), 33u);
}
