#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "core/byte_reader.h"
#include "gl/gl_layer.h"
#include "scripter/effects.h"

namespace {

// Records what fn draws and returns the calls as lines.
template <typename Fn>
std::vector<std::string> Recorded(Fn fn) {
    std::string out;
    gl::UseRecorder(&out);
    fn();
    gl::UseRecorder(nullptr);
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

size_t CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    size_t n = 0;
    for (const auto& l : lines) n += l.rfind(prefix, 0) == 0;
    return n;
}

std::string BE16(int v) { return {char((v >> 8) & 0xFF), char(v & 0xFF)}; }

// A straight segment from (x0, 0) to (x1, 0) with its control point halfway.
std::string Segment(int x0, int x1) {
    return BE16(x0) + BE16(0) + BE16(x1) + BE16(0) + BE16((x0 + x1) / 2) + BE16(0) + BE16(0) +
           std::string(1, '\0');
}

}  // namespace

TEST(Effects, RectAndBoxEmitTheirCornersInOrderAtTheRightDepth) {
    auto rect = Recorded([] { scripter::effects::DrawRect(-1, -2, 3, 4); });
    EXPECT_EQ(rect,
              (std::vector<std::string>{
                  "glBegin(7)", "glTexCoord2f(0, 1)", "glVertex3f(-1, 4, -1)", "glTexCoord2f(1, 1)",
                  "glVertex3f(3, 4, -1)", "glTexCoord2f(1, 0)", "glVertex3f(3, -2, -1)",
                  "glTexCoord2f(0, 0)", "glVertex3f(-1, -2, -1)", "glEnd()"}));
    auto box = Recorded([] { scripter::effects::DrawBox(1, 2, 3); });
    ASSERT_EQ(box.size(), 2u + 6 * 4 * 2);
    EXPECT_EQ(box[2], "glVertex3f(-1, -2, -3)");                // face z = -hz starts at (-,-,-)
    EXPECT_EQ(box[8 + 6], "glVertex3f(1, 2, 3)");               // third corner of face z = +hz
    EXPECT_EQ(box[2 + 4 * 8 + 2 * 2], "glVertex3f(-1, 2, 3)");  // face x = -hx, third corner
}

TEST(Effects, DiscRunsClockwiseFromTheTopWithTrianglesCentreNewPrevious) {
    auto lines = Recorded([] { scripter::effects::DrawDisc(4, 1); });
    ASSERT_EQ(lines.size(), 2u + 4 * 3 * 2);
    // First triangle: centre, the point at 90 degrees (1, 0), the start point (0, 1).
    EXPECT_EQ(lines[2], "glVertex3f(0, 0, 0)");
    EXPECT_EQ(lines[3], "glTexCoord2f(1, 0.5)");
    EXPECT_EQ(lines[4].substr(0, 14), "glVertex3f(1, ");
    EXPECT_EQ(lines[6], "glVertex3f(0, 1, 0)");
    // Second triangle's new point is (0, -1).
    EXPECT_EQ(lines[10].substr(0, 11), "glVertex3f(");
    EXPECT_NE(lines[10].find(", -1, 0)"), std::string::npos) << lines[10];

    auto cone = Recorded([] { scripter::effects::DrawCone(3, 2.5f, 1); });
    EXPECT_EQ(cone[2], "glVertex3f(0, 0, 2.5)");
    EXPECT_EQ(Recorded([] { scripter::effects::DrawDisc(0, 1); }),
              (std::vector<std::string>{"glBegin(4)", "glEnd()"}));
}

TEST(Effects, RingOfOneSampleIsADegenerateQuad) {
    auto lines = Recorded([] { scripter::effects::DrawRing(1, 1, 2); });
    ASSERT_EQ(lines.size(), 2u + 8);
    EXPECT_EQ(lines[2], "glVertex3f(0, 1, 0)");
    EXPECT_EQ(lines[8].substr(0, 13), "glVertex3f(0,");  // back to the +y direction at radius 2
    EXPECT_EQ(Recorded([] { scripter::effects::DrawRing(-3, 1, 2); }),
              (std::vector<std::string>{"glBegin(7)", "glEnd()"}));
}

TEST(Effects, SphereTakesAbsoluteValuesAndSkipsTinyCounts) {
    auto a = Recorded([] { scripter::effects::DrawSphere(-8, -2); });
    auto b = Recorded([] { scripter::effects::DrawSphere(8, 2); });
    EXPECT_EQ(a, b);
    EXPECT_EQ(CountPrefix(b, "glBegin(5)"), 4u);
    EXPECT_EQ(CountPrefix(b, "glVertex3f"), 4u * 9 * 2);
    EXPECT_EQ(b[1], "glNormal3f(0.707106769, -0.707106769, 0)")
        << "band 0 starts at its upper latitude";
    EXPECT_TRUE(Recorded([] { scripter::effects::DrawSphere(3, 2); }).empty());
    EXPECT_TRUE(Recorded([] { scripter::effects::DrawSphere(8, 0); }).empty());
    EXPECT_EQ(CountPrefix(Recorded([] { scripter::effects::DrawSphere(5, 1); }), "glBegin"), 2u);
}

TEST(Effects, SphereAndRaysOfTheMostNegativeCountDrawNothing) {
    // |-2^31| stays -2^31 in 32 bits: below 4, so nothing, not the largest sphere there is.
    EXPECT_TRUE(Recorded([] { scripter::effects::DrawSphere(INT32_MIN, 1); }).empty());
    EXPECT_TRUE(Recorded([] { scripter::effects::DrawRays(INT32_MIN, 1, 2); }).empty());
}

TEST(Effects, HugeCountsAreClampedToTheirCaps) {
    const size_t round = scripter::effects::kMaxRoundSamples,
                 sphere = scripter::effects::kMaxSphereSamples;
    EXPECT_EQ(
        CountPrefix(Recorded([] { scripter::effects::DrawDisc(INT32_MAX, 1); }), "glVertex3f"),
        3 * round);
    EXPECT_EQ(
        CountPrefix(Recorded([] { scripter::effects::DrawSphere(INT32_MAX, 1); }), "glVertex3f"),
        sphere / 2 * (sphere + 1) * 2);
    EXPECT_EQ(CountPrefix(Recorded([] { scripter::effects::DrawRays(INT32_MIN + 1, 1, 2); }),
                          "glVertex3f"),
              sphere / 2 * (sphere + 1) * 2);
}

TEST(Effects, RaysFadeOutwardAndKOneGivesZeroLengthLines) {
    auto lines = Recorded([] { scripter::effects::DrawRays(4, 1, 1); });
    EXPECT_EQ(CountPrefix(lines, "glBegin(1)"), 2u);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[1], "glColor4f(1, 1, 1, 1)");
    EXPECT_EQ(lines[3], "glColor4f(1, 1, 1, 0)");
    EXPECT_EQ(lines[2].substr(10), lines[4].substr(10));
}

TEST(Effects, TunnelSegmentsShadeFromWhiteToBlack) {
    auto lines = Recorded([] { scripter::effects::DrawTunnel(2, 1, 2, 0, 1); });
    EXPECT_EQ(CountPrefix(lines, "glColor4f(1, 1, 1, 1)"), 2u);
    EXPECT_EQ(CountPrefix(lines, "glColor4f(0, 0, 0, 1)"), 2u);
    EXPECT_EQ(CountPrefix(lines, "glVertex3f"), 16u);
    EXPECT_EQ(lines[4], "glTexCoord2f(0.5, 0)");  // the second vertex reaches angle 1 of 2 ...
    EXPECT_NE(lines[5].find("-2"), std::string::npos) << lines[5];  // ... at radius r2 = 2
    EXPECT_EQ(lines[6], "glTexCoord2f(0.5, 0.5)");                  // tm halfway
    EXPECT_EQ(Recorded([] { scripter::effects::DrawTunnel(0, 1, 2, 0, 1); }),
              (std::vector<std::string>{"glBegin(7)", "glEnd()"}));
}

TEST(Effects, ParticlesFollowTheirGeneratorAndFadeAtTheEdges) {
    scripter::effects::ParticleRegisters p;
    p.count = 3;
    p.seed = 0;
    p.range = 1000;
    p.scaleX = p.scaleY = p.scaleZ = 1;
    p.red = 1;
    auto lines = Recorded([&] { scripter::effects::DrawParticles(p, 0); });
    ASSERT_EQ(lines.size(), 2u + 3 * 9);
    // Sprite 1: f = (0.031, 0.861, 0.202), alpha 0.31.
    EXPECT_EQ(lines[1], "glColor4f(1, 0, 0, 0.310000002)");
    EXPECT_EQ(lines[3], "glVertex3f(0.0309999995, 0.861000001, 0.202000007)");
    EXPECT_EQ(lines[10], "glColor4f(1, 0, 0, 1)");
    EXPECT_EQ(lines[12], "glVertex3f(0.671000004, 0.317999989, 0.160999998)");
    EXPECT_EQ(lines[19].substr(0, 22), "glColor4f(1, 0, 0, 0.8");
    EXPECT_EQ(lines[21], "glVertex3f(0.425000012, 0.0820000023, 0.474000007)");
    EXPECT_EQ(lines[22], "glTexCoord2f(0.100000001, 0)");
    EXPECT_EQ(Recorded([&] { scripter::effects::DrawParticles(p, 0); }), lines)
        << "same seed, same picture";

    p.speedX = 50;
    auto moved = Recorded([&] { scripter::effects::DrawParticles(p, 1000); });
    EXPECT_EQ(moved[3], "glVertex3f(0.531000018, 0.861000001, 0.202000007)");  // +500 of 1000

    p.range = 0;
    EXPECT_EQ(Recorded([&] { scripter::effects::DrawParticles(p, 0); }),
              (std::vector<std::string>{"glBegin(7)", "glEnd()"}));
}

TEST(Effects, PathDrawsProgressivelyAndNeverReadsPastItsString) {
    std::string path = BE16(2) + Segment(0, 400) + Segment(400, 800);
    auto vertices = [&](float amount) {
        return CountPrefix(Recorded([&] { scripter::effects::DrawPath(path, amount); }),
                           "glVertex3f");
    };
    EXPECT_EQ(vertices(0.3f), 0u);
    EXPECT_EQ(vertices(0.5f), 26u * 2 - 1);        // 26 points, inner ones twice
    EXPECT_EQ(vertices(1.0f), 2 * (51u * 2 - 2));  // both segments complete
    auto full = Recorded([&] { scripter::effects::DrawPath(path, 1); });
    EXPECT_EQ(full[0], "glLineWidth(5)");
    EXPECT_EQ(full[2], "glVertex3f(0, -0, 0)");
    EXPECT_EQ(full[full.size() - 2], "glVertex3f(2, -0, 0)");

    std::string shortPath = BE16(5) + Segment(0, 400) + "\x01\x02";
    EXPECT_EQ(
        CountPrefix(Recorded([&] { scripter::effects::DrawPath(shortPath, 1); }), "glVertex3f"),
        100u);
    EXPECT_EQ(Recorded([&] { scripter::effects::DrawPath(BE16(0), 1); }),
              (std::vector<std::string>{"glLineWidth(5)", "glBegin(1)", "glEnd()"}));
    EXPECT_EQ(CountPrefix(Recorded([] { scripter::effects::DrawPath("", 1); }), "glVertex3f"), 0u);
    EXPECT_EQ(scripter::effects::BezierCoord(0.5L, 0, 1, 0), 0) << "0.5 rounds to even";
}

TEST(Effects, VertexListsNeverReadPastTheirData) {
    std::vector<float> v(8 * 2, 1.0f);
    auto lines = Recorded([&] { scripter::effects::DrawVertexList(7, 5, v); });
    EXPECT_EQ(CountPrefix(lines, "glVertex3f"), 2u);
    EXPECT_EQ(lines[0], "glBegin(7)");
    EXPECT_EQ(lines[1], "glNormal3f(1, 1, 1)");
}
