// The effect opcodes as scripts use them: operand orders, the tables they index (textures,
// models, path strings) and what an index outside a table does. Each drawing opcode is
// compared with the direct call of its effect, so a swapped operand shows as a different
// vertex stream.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "core/byte_reader.h"
#include "gl/gl_layer.h"
#include "models/mdlmanager.h"
#include "models/objloader.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "scripter/effects.h"
#include "scripter/passes.h"
#include "scripter/scripter.h"
#include "tests/support/script_builder.h"
#include "tests/support/temp_folder.h"
#include "textures/texmanager.h"

using namespace demo;
using namespace scripter;
using namespace testing_scripts;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> g_messages;
void CaptureMessage(const std::string& caption, const std::string& text) {
    g_messages.push_back(caption + ": " + text);
}

std::string Recorded(const std::function<void()>& draw) {
    std::string out;
    gl::UseRecorder(&out);
    draw();
    gl::UseRecorder(nullptr);
    return out;
}

// One path string: count, then per segment x0 y0 x1 y1 cx cy, an ignored int16 and byte.
std::string PathString(const std::vector<std::array<int16_t, 6>>& segments) {
    std::string s;
    auto be16 = [&s](int16_t v) {
        s.push_back(char(uint16_t(v) >> 8));
        s.push_back(char(v & 0xff));
    };
    be16(int16_t(segments.size()));
    for (const auto& seg : segments) {
        for (int16_t v : seg) be16(v);
        be16(0);
        s.push_back(0);
    }
    return s;
}

class EffectOps : public ::testing::Test {
protected:
    fs::path root = MakeTempFolder("qv-effect-ops");
    std::vector<demo::Script> table;

    void SetUp() override {
        ResetScriptEngine();
        g_messages.clear();
        platform::SetMessageSink(CaptureMessage);
        LoadScriptEngine(table, 0, 0);
        scripter::passes::SetWindowSize(640, 480);
    }
    void TearDown() override {
        gl::UseRecorder(nullptr);
        platform::SetMessageSink(nullptr);
        platform::SetContentRoot(".");
        models::ResetModels();
        fs::remove_all(root);
    }

    // Two render-target slots (names 1 and 2) in the texture table.
    void TwoTextureSlots() {
        demo::DemoFile demo;
        demo.textureCount = 2;
        demo.textureSources = {{0, ""}, {0, ""}};
        Recorded([&] { textures::LoadAllTextures(demo); });
    }

    // Model 0: Cube n = 1 from an object program; model 1: a one-triangle OBJ file.
    void TwoModels() {
        fs::create_directories(root / "data");
        std::ofstream(root / "data" / "tri.obj")
            << "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\ng t\nusemtl 2\nf 1/1/1 2/1/1 3/1/1\n";
        platform::SetContentRoot(root.string());
        demo::DemoFile demo;
        demo.modelCount = 2;
        demo.modelSources = {{3, std::string("\0\0\1", 3)}, {8, "\1tri.obj"}};
        std::string error;
        ASSERT_TRUE(models::LoadModels(demo, error)) << error;
        models::SetMeshTextureTable(textures::TextureNames);
    }

    std::string Run(std::initializer_list<Bytes> parts, int32_t time = 1500) {
        demo::Script s = Code(parts);
        return Recorded([&] { RunScript(s, time, 500, 0.25f); });
    }
};

}  // namespace

// --- shapes: operand orders --------------------------------------------------------------

TEST_F(EffectOps, RectTakesY0X1Y1X0WithX0OnTop) {
    EXPECT_EQ(Run({PushF(2), PushF(3), PushF(4), PushF(1), Do(RECT)}),
              Recorded([] { scripter::effects::DrawRect(1, 2, 3, 4); }));
    EXPECT_NE(Run({PushF(2), PushF(3), PushF(4), PushF(1), Do(RECT)}).find("glVertex3f(1, 4, -1)"),
              std::string::npos);
}

TEST_F(EffectOps, BoxTakesHzHyHxWithHxOnTop) {
    std::string out = Run({PushF(3), PushF(2), PushF(1), Do(BOX)});
    EXPECT_EQ(out, Recorded([] { scripter::effects::DrawBox(1, 2, 3); }));
    EXPECT_NE(out.find("glVertex3f(-1, -2, -3)"), std::string::npos);
}

TEST_F(EffectOps, RoundShapesPassTheirOperandsInTheTablesOrder) {
    EXPECT_EQ(Run({PushI(6), PushF(2), PushF(1), Do(RING)}),
              Recorded([] { scripter::effects::DrawRing(6, 1, 2); }));
    EXPECT_EQ(Run({PushI(8), PushF(2), Do(SPHERE)}),
              Recorded([] { scripter::effects::DrawSphere(8, 2); }));
    EXPECT_EQ(Run({PushI(5), PushF(3), Do(DISC)}),
              Recorded([] { scripter::effects::DrawDisc(5, 3); }));
    EXPECT_EQ(Run({PushI(7), PushF(2), PushF(1), Do(CONE)}),
              Recorded([] { scripter::effects::DrawCone(7, 2, 1); }));
    EXPECT_EQ(Run({PushI(8), PushF(0.5f), PushF(3), Do(RAYS)}),
              Recorded([] { scripter::effects::DrawRays(8, 3, 0.5f); }));
    EXPECT_EQ(Run({PushI(6), PushF(1), PushF(2), PushF(0.25f), PushF(0.75f), Do(TUNNEL)}),
              Recorded([] { scripter::effects::DrawTunnel(6, 1, 2, 0.25f, 0.75f); }));
    EXPECT_TRUE(g_messages.empty());
}

// --- particles -----------------------------------------------------------------------------

TEST_F(EffectOps, ParticleRegistersReachTheSpriteField) {
    // clang-format off
    std::string out = Run({PushI(5), Do(P_COUNT), PushI(7), Do(P_SEED), PushI(1000), Do(P_RANGE),
                           PushF(0.1f), Do(P_OFFX), PushF(0.2f), Do(P_OFFY), PushF(0.3f), Do(P_OFFZ),
                           PushF(2), Do(P_SCALEX), PushF(3), Do(P_SCALEY), PushF(4), Do(P_SCALEZ),
                           PushF(0.5f), Do(P_RED), PushF(0.6f), Do(P_GREEN), PushF(0.7f), Do(P_BLUE),
                           PushF(0.05f), Do(P_HALFW), PushF(0.06f), Do(P_HALFH),
                           PushI(3), Do(P_SPEEDX), PushI(-2), Do(P_SPEEDY), PushI(1), Do(P_SPEEDZ),
                           Do(PARTICLES)},
                          2500);
    // clang-format on
    scripter::effects::ParticleRegisters p;
    p.count = 5, p.seed = 7, p.range = 1000;
    p.offsetX = 0.1f, p.offsetY = 0.2f, p.offsetZ = 0.3f;
    p.scaleX = 2, p.scaleY = 3, p.scaleZ = 4;
    p.red = 0.5f, p.green = 0.6f, p.blue = 0.7f;
    p.halfWidth = 0.05f, p.halfHeight = 0.06f;
    p.speedX = 3, p.speedY = -2, p.speedZ = 1;
    EXPECT_EQ(out, Recorded([&] { scripter::effects::DrawParticles(p, 2500); }));
    // the registers stay: the same time in a later frame draws the same picture
    EXPECT_EQ(Run({Do(PARTICLES)}, 2500), out);
    EXPECT_NE(Run({Do(PARTICLES)}, 2600), out);
}

// --- paths ---------------------------------------------------------------------------------

TEST_F(EffectOps, PathsDrawByIndexAndAnIndexBeyondTheTableDrawsNothing) {
    const std::string path = PathString({{0, 0, 400, 0, 200, 200}, {400, 0, 400, 400, 600, 200}});
    LoadPathStrings({path});
    EXPECT_EQ(Run({PushI(0), Do(PATH)}),
              Recorded([&] { scripter::effects::DrawPath(path, 1.0f); }));
    EXPECT_EQ(Run({PushI(0), PushF(0.5f), Do(PATHPART)}),
              Recorded([&] { scripter::effects::DrawPath(path, 0.5f); }));
    EXPECT_EQ(Run({PushI(1), Do(PATH), PushI(-1), PushF(1), Do(PATHPART)}), "");
    EXPECT_TRUE(g_messages.empty());
}

// --- textures and passes -------------------------------------------------------------------

TEST_F(EffectOps, BindTexBindsTheSlotsNameAndZeroOutsideTheTable) {
    TwoTextureSlots();
    EXPECT_EQ(Run({PushI(1), Do(BINDTEX)}),
              "glBindTexture(3553, " + std::to_string(textures::TextureNameAt(1)) + ")\n");
    EXPECT_EQ(Run({PushI(-1), Do(BINDTEX), PushI(2), Do(BINDTEX)}),
              "glBindTexture(3553, 0)\nglBindTexture(3553, 0)\n");
}

TEST_F(EffectOps, TargetEndCopiesIntoTheIndexedSlot) {
    TwoTextureSlots();
    std::string out = Run({Do(TARGET_BEGIN), PushI(1), Do(TARGET_END)});
    EXPECT_NE(out.find("glBindTexture(3553, " + std::to_string(textures::TextureNameAt(1)) +
                       ")\nglCopyTexImage2D(3553, 0, 6407, 0, 0, 256, 256, 0)\n"
                       "glViewport(0, 0, 640, 480)\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(TargetPassDepth(), 0);
}

TEST_F(EffectOps, TargetEndOutsideTheTableCopiesNothingButEndsThePass) {
    TwoTextureSlots();
    for (int32_t index : {2, -1, 1 << 30}) {
        std::string out = Run({Do(TARGET_BEGIN), PushI(index), Do(TARGET_END)});
        EXPECT_EQ(out.find("glCopyTexImage2D"), std::string::npos) << index;
        EXPECT_NE(out.find("glViewport(0, 0, 640, 480)"), std::string::npos) << index;
        EXPECT_EQ(TargetPassDepth(), 0);
    }
}

TEST_F(EffectOps, UnclosedTargetPassKeepsItsViewportAndDepth) {
    std::string out = Run({Do(TARGET_BEGIN)});
    EXPECT_EQ(out.substr(out.rfind("glViewport")), "glViewport(0, 0, 256, 256)\n");
    EXPECT_EQ(TargetPassDepth(), 1);
}

TEST_F(EffectOps, BlurPassInsideATargetPassReturnsToTheTargetViewport) {
    std::string out = Run({Do(TARGET_BEGIN), Do(BLUR_BEGIN), Do(BLUR_END), Do(BLUR_DRAW)});
    EXPECT_NE(
        out.find("glCopyTexImage2D(3553, 0, 6407, 0, 0, 8, 8, 0)\nglViewport(0, 0, 256, 256)"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("glBegin(7)"), std::string::npos);  // the overlay quad
}

// --- models and meshes ---------------------------------------------------------------------

TEST_F(EffectOps, ModelDrawsTheRecordAndNothingOutsideTheTable) {
    TwoModels();
    std::string cube = Run({PushI(0), Do(MODEL)});
    EXPECT_EQ(cube.rfind("glBegin(7)\n", 0), 0u);
    size_t vertices = 0;
    for (size_t p = cube.find("glVertex3f"); p != std::string::npos;
         p = cube.find("glVertex3f", p + 1))
        ++vertices;
    EXPECT_EQ(vertices, 96u);
    EXPECT_EQ(Run({PushI(-1), Do(MODEL), PushI(2), Do(MODEL)}), "");
    EXPECT_EQ(Run({PushI(1), Do(MODEL)}), "glBegin(0)\nglEnd()\n");  // an OBJ model's empty list
}

TEST_F(EffectOps, MeshOpcodesDrawTheModelsMeshWithTextureBase) {
    TwoTextureSlots();
    TwoModels();
    // texBase 0 + material 1 ("usemtl 2") binds slot 1
    const std::string bind =
        "glBindTexture(3553, " + std::to_string(textures::TextureNameAt(1)) + ")\n";
    std::string all = Run({PushI(0), PushI(1), PushF(2), Do(MESH_ALL)});
    EXPECT_EQ(all.rfind(bind, 0), 0u) << all;
    EXPECT_NE(all.find("glVertex3f(2, 0, 0)"), std::string::npos);  // scaled by 2
    EXPECT_EQ(Run({PushI(0), PushI(0), PushI(1), PushF(2), Do(MESH_GROUP)}), all);
    EXPECT_EQ(Run({PushI(0), PushI(1), PushI(1), PushF(2), Do(MESH_MATERIAL)}), all);
    EXPECT_EQ(Run({PushI(0), PushI(5), PushI(1), PushF(2), Do(MESH_GROUP)}), "");  // no group 5
    EXPECT_EQ(Run({PushI(0), PushI(7), PushF(1), Do(MESH_ALL)}), "");              // no model 7
    EXPECT_TRUE(g_messages.empty());
}
