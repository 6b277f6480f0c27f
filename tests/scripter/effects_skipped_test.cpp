// Effects in skipped frames leave their vertices out. What they leave behind must be what
// drawing them leaves: the same blocks opened and closed (and so the same texture use), the
// same current colour, normal and texture coordinate on the driver.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gl/driver_state.h"
#include "gl/gl_layer.h"
#include "platform/headless.h"
#include "scripter/effects.h"

namespace {

struct Left {
    std::vector<std::pair<int, uint32_t>> events;
    bool endsInBlock = false;
    std::array<float, 4> color{}, texCoord{};
    std::array<float, 3> normal{};
    float lineWidth = 0;
};

// Runs effect on the skipper over the driver, drawing or skipping, after other current
// attributes were set (and a block opened, when asked), and reads back what it left.
Left After(bool skipping, bool openBlock, const std::function<void()>& effect) {
    gl::UseSkipper();
    gl::RecordFrameUse(true);
    gl::SetSkipping(skipping);
    gl::glColor4f(0.25f, 0.5f, 0.75f, 0.125f);
    gl::glNormal3f(0, 0.5f, 0.25f);
    gl::glTexCoord2f(0.5f, 0.75f);
    gl::glLineWidth(1);
    gl::glBindTexture(gl::GL_TEXTURE_2D, 0);
    gl::TakeFrameUse();
    if (openBlock) gl::glBegin(gl::GL_QUADS);
    effect();
    Left left;
    const gl::FrameUse use = gl::TakeFrameUse();
    for (const gl::FrameUse::Event& e : use.events) left.events.emplace_back(e.kind, e.texture);
    left.endsInBlock = use.endsInBlock;
    if (use.endsInBlock && !skipping) gl::glEnd();  // the driver answers no query in a block
    gl::SetSkipping(false);
    gl::DriverState state;
    EXPECT_TRUE(gl::CaptureDriverState({}, {}, state));
    left.color = state.currentColor;
    left.normal = state.currentNormal;
    left.texCoord = state.currentTexCoord;
    left.lineWidth = state.lineWidth;
    return left;
}

void ExpectSameLeft(const std::string& what, const std::function<void()>& effect) {
    for (bool openBlock : {false, true}) {
        SCOPED_TRACE(what + (openBlock ? ", inside an open block" : ""));
        const Left drawn = After(false, openBlock, effect);
        const Left skipped = After(true, openBlock, effect);
        EXPECT_EQ(skipped.events, drawn.events);
        EXPECT_EQ(skipped.endsInBlock, drawn.endsInBlock);
        EXPECT_EQ(skipped.color, drawn.color);
        EXPECT_EQ(skipped.normal, drawn.normal);
        EXPECT_EQ(skipped.texCoord, drawn.texCoord);
        EXPECT_EQ(skipped.lineWidth, drawn.lineWidth);
    }
}

std::string BE16(int v) { return {char((v >> 8) & 0xFF), char(v & 0xFF)}; }

}  // namespace

TEST(EffectsSkipped, LeaveWhatDrawingLeaves) {
    std::string error;
    if (!platform::OpenHeadlessContext(64, 64, error)) GTEST_SKIP() << error;
    using namespace scripter::effects;
    for (int32_t n : {4, 5, 7, 16, 33, -12, 3, 100000})
        for (float r : {1.0f, -0.7f, 0.0f}) {
            const std::string at = std::to_string(n) + ", " + std::to_string(r);
            ExpectSameLeft("sphere " + at, [=] { DrawSphere(n, r); });
            ExpectSameLeft("rays " + at, [=] { DrawRays(n, r, 2.5f); });
        }
    // Two curved segments, shown in part and whole, and a string shorter than its count.
    const std::string segments = BE16(0) + BE16(0) + BE16(400) + BE16(100) + BE16(200) + BE16(300) +
                                 BE16(0) + std::string(1, '\0');
    for (const std::string& path :
         {BE16(2) + segments + segments, BE16(3) + segments, BE16(0), std::string()})
        for (float amount : {0.0f, 0.5f, 1.0f})
            ExpectSameLeft(
                "path of " + std::to_string(path.size()) + " bytes at " + std::to_string(amount),
                [=] { DrawPath(path, amount); });
    const std::vector<float> vertices = {0.1f, 0.2f, 0.3f, 1, 2, 3, 0.4f, 0.5f,
                                         0.6f, 0.7f, 0.8f, 4, 5, 6, 0.9f, 0.95f};
    for (int32_t count : {0, 1, 2, 5, -1})
        ExpectSameLeft("vertex list of " + std::to_string(count),
                       [&] { DrawVertexList(gl::GL_TRIANGLES, count, vertices); });
    gl::UseRecorder(nullptr);
    platform::CloseHeadlessContext();
}
