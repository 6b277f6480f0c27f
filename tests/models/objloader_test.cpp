#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "gl/gl_layer.h"
#include "models/objloader.h"
#include "platform/paths.h"
#include "tests/support/temp_folder.h"

using namespace models;

namespace {

ObjMesh Parse(std::string_view text) {
    ObjMesh mesh;
    std::string error;
    EXPECT_TRUE(ParseObj(text, "m.obj", mesh, error)) << error;
    return mesh;
}

std::string ParseError(std::string_view text) {
    ObjMesh mesh;
    std::string error;
    EXPECT_FALSE(ParseObj(text, "m.obj", mesh, error)) << text;
    return error;
}

std::vector<uint32_t> g_names;
std::span<const uint32_t> TestNames() { return g_names; }

std::string Record(void (*draw)(const ObjMesh&), const ObjMesh& mesh) {
    std::string out;
    gl::UseRecorder(&out);
    draw(mesh);
    gl::UseRecorder(nullptr);
    return out;
}

size_t Count(const std::string& text, const std::string& word) {
    size_t n = 0;
    for (size_t p = 0; (p = text.find(word, p)) != std::string::npos; p += word.size()) ++n;
    return n;
}

const char* const kTriangle =
    "# a comment\n"
    "mtllib x.mtl\n"
    "v 1.5 -2 3e1\n"
    "v 0 0 0 1\n"  // a fourth number is ignored
    "v 1 0 0 \n"   // a blank at the end of a number line is harmless
    "vt 0.25 0.75 0\n"
    "vn 0 0 1\n"
    "g\n"  // only the letter: not a group line
    "g body\n"
    "usemtl 3\n"
    "s off\n"
    "f 1/1/1 2/1/1 3/1/1\n";

}  // namespace

TEST(ObjParse, ReadsTheLineGrammar) {
    ObjMesh m = Parse(kTriangle);
    ASSERT_EQ(m.positions.size(), size_t(3));
    EXPECT_EQ(m.positions[0].x, 1.5f);
    EXPECT_EQ(m.positions[0].y, -2.0f);
    EXPECT_EQ(m.positions[0].z, 30.0f);
    ASSERT_EQ(m.texCoords.size(), size_t(1));
    EXPECT_EQ(m.texCoords[0].u, 0.25f);
    EXPECT_EQ(m.texCoords[0].v, 0.75f);
    EXPECT_EQ(m.normals.size(), size_t(1));
    ASSERT_EQ(m.groups.size(), size_t(1));
    EXPECT_EQ(m.groups[0].name, " body");
    EXPECT_EQ(m.groups[0].material, 2);
    ASSERT_EQ(m.groups[0].corners.size(), size_t(3));
    EXPECT_EQ(m.groups[0].corners[1].position, 1);
    EXPECT_EQ(m.groups[0].corners[1].texCoord, 0);
    EXPECT_EQ(m.groups[0].corners[1].normal, 0);
}

TEST(ObjParse, GroupsMaterialsAndFaceCorners) {
    ObjMesh m = Parse(
        "v 0 0 0\nvt 0 0\nvn 0 0 1\n"
        "g a\nusemtl 1 extra words\n"
        "g a\nf 1/1/1 1/1/1 1/1/1 1/1/1\r\n"  // same name again; four corners append four
        "g b\rusemtl -4\n");
    ASSERT_EQ(m.groups.size(), size_t(3));
    EXPECT_EQ(m.groups[0].material, 0);
    EXPECT_EQ(m.groups[0].corners.size(), size_t(0));
    EXPECT_EQ(m.groups[1].material, 0);
    EXPECT_EQ(m.groups[1].corners.size(), size_t(4));
    EXPECT_EQ(m.groups[2].material, -5);
}

TEST(ObjParse, FailuresNameFileLineAndProblem) {
    const std::string head = "v 0 0 0\nvt 0 0\nvn 0 0 1\ng a\n";
    EXPECT_EQ(ParseError("v 1  2 3\n"),
              "m.obj, line 1: empty number field (two blanks in a row or a missing value)");
    EXPECT_EQ(ParseError("\n\nv 1 2\n"), "m.obj, line 3: missing number (3 wanted)");
    EXPECT_EQ(ParseError("vt 1,5 2\n"), "m.obj, line 1: '1,5' is not a number");
    EXPECT_EQ(ParseError("vn 1 nan 0\n"), "m.obj, line 1: 'nan' is not a number");
    EXPECT_EQ(ParseError(head + "f 1/1/1 \n"),
              "m.obj, line 5: face corner '' is not position/texture/normal");
    EXPECT_EQ(ParseError(head + "f 1//1\n"), "m.obj, line 5: empty texture-coordinate index field");
    EXPECT_EQ(ParseError(head + "f 1/1\n"),
              "m.obj, line 5: face corner '1/1' is not position/texture/normal");
    EXPECT_EQ(ParseError(head + "usemtl wood\n"),
              "m.obj, line 5: material 'wood' is not an integer");
    EXPECT_EQ(ParseError(head + "f 1/1/x\n"), "m.obj, line 5: normal index 'x' is not an integer");
}

TEST(ObjParse, LongTokensAreQuotedShortened) {
    // A hostile file's 200,000-digit number: the message shows 60 of them and the length.
    const std::string digits(200000, '9');
    const std::string shown = "'" + digits.substr(0, 60) + "'... (200000 bytes)";
    const std::string head = "v 0 0 0\nvt 0 0\nvn 0 0 1\ng a\n";
    EXPECT_EQ(ParseError("v 1 " + digits + " 0\n"), "m.obj, line 1: " + shown + " is not a number");
    EXPECT_EQ(ParseError(head + "f 1/" + digits + "/1 1/1/1 1/1/1\n"),
              "m.obj, line 5: texture-coordinate index " + shown + " is not an integer");
    EXPECT_EQ(ParseError(head + "f 1/1/1 " + digits + "\n"),
              "m.obj, line 5: face corner " + shown + " is not position/texture/normal");
}

TEST(ObjParse, BadIndexesAndGrouplessLinesRefuseTheFile) {
    const std::string lists = "v 0 0 0\nvt 0 0\nvn 0 0 1\n";
    EXPECT_EQ(ParseError(lists + "f 1/1/1 1/1/1 1/1/1\n"),
              "m.obj, line 4: face line before the first group line (\"g name\")");
    EXPECT_EQ(ParseError(lists + "usemtl 2\ng a\n"),
              "m.obj, line 4: usemtl line before the first group line (\"g name\")");
    EXPECT_EQ(ParseError(lists + "g a\nf 0/1/1 1/1/1 1/1/1\n"),
              "m.obj, line 5: position index 0 is out of range (indexes count from 1; relative "
              "indexes are not supported)");
    EXPECT_EQ(ParseError(lists + "g a\nf 1/1/-1 1/1/1 1/1/1\n"),
              "m.obj, line 5: normal index -1 is out of range (indexes count from 1; relative "
              "indexes are not supported)");
    EXPECT_EQ(ParseError(lists + "g a\nf 1/1/1 1/1/1 1/1/1\nf 1/2/1 1/1/1 1/1/1\n\n"),
              "m.obj, line 6: texture-coordinate index 2 is beyond the 1 texture coordinates of "
              "the file");
    EXPECT_EQ(ParseError(lists + "g a\nf 1/1/1 1/1/1 9/1/1\n"),
              "m.obj, line 5: position index 9 is beyond the 1 positions of the file");
    // A face may name entries that later lines define.
    Parse("vt 0 0\nvn 0 0 1\ng a\nf 1/1/1 1/1/1 1/1/1\nv 0 0 0\n");
}

TEST(ObjLoad, ReadsDataFolderAndNamesMissingFile) {
    namespace fs = std::filesystem;
    fs::path root = MakeTempFolder("qv-objloader");
    fs::create_directories(root / "data");
    std::ofstream(root / "data" / "tri.obj") << kTriangle;
    platform::SetContentRoot(root.string());
    ObjMesh mesh;
    std::string error;
    EXPECT_TRUE(LoadObj(mesh, "tri.obj", error)) << error;
    EXPECT_EQ(mesh.groups.size(), size_t(1));
    ObjMesh missing;
    EXPECT_FALSE(LoadObj(missing, "none.obj", error));
    EXPECT_NE(error.find("none.obj: cannot open the file"), std::string::npos) << error;
    platform::SetContentRoot(".");
    fs::remove_all(root);
}

TEST(ObjDraw, GroupBindsBasePlusMaterialWhenTheSlotExists) {
    ObjMesh m = Parse(kTriangle);  // material 2
    g_names.assign(13, 0);
    g_names[12] = 77;
    SetMeshTextureTable(TestNames);
    auto drawBase10 = [](const ObjMesh& mesh) { DrawObjGroup(mesh, 10, 0, 2.0f); };
    EXPECT_EQ(Record(drawBase10, m),
              "glBindTexture(3553, 77)\n"
              "glBegin(4)\n"
              "glNormal3f(0, 0, 1)\nglTexCoord2f(0.25, 0.75)\nglVertex3f(3, -4, 60)\n"
              "glNormal3f(0, 0, 1)\nglTexCoord2f(0.25, 0.75)\nglVertex3f(0, 0, 0)\n"
              "glNormal3f(0, 0, 1)\nglTexCoord2f(0.25, 0.75)\nglVertex3f(2, 0, 0)\n"
              "glEnd()\n");
    g_names.resize(12);  // slot 12 missing: the current binding stays
    std::string out = Record(drawBase10, m);
    EXPECT_EQ(out.find("glBindTexture"), std::string::npos);
    SetMeshTextureTable(nullptr);
    EXPECT_EQ(Record(drawBase10, m).find("glBindTexture"), std::string::npos);
    auto negative = [](const ObjMesh& mesh) { DrawObjGroup(mesh, -3, 0, 1.0f); };
    g_names.assign(20, 5);
    SetMeshTextureTable(TestNames);
    EXPECT_EQ(Record(negative, m).find("glBindTexture"), std::string::npos);
    SetMeshTextureTable(nullptr);
}

TEST(ObjDraw, AllMaterialAndMissingGroups) {
    ObjMesh m = Parse(
        "v 1 2 3\nvt 0 1\nvn 0 1 0\n"
        "g empty\nusemtl 2\n"
        "g quad\nf 1/1/1 1/1/1 1/1/1 1/1/1\n"
        "g tri\nusemtl 2\nf 1/1/1 1/1/1 1/1/1\n");
    std::string all = Record([](const ObjMesh& mesh) { DrawObjAll(mesh, 0, 1.0f); }, m);
    EXPECT_EQ(all.rfind("glBegin(4)\nglEnd()\n", 0), 0u);  // a group without faces: empty pair
    EXPECT_EQ(Count(all, "glBegin"), 3u);
    EXPECT_EQ(Count(all, "glVertex3f"), 7u);
    std::string material1 =
        Record([](const ObjMesh& mesh) { DrawObjMaterial(mesh, 0, 1, 1.0f); }, m);
    EXPECT_EQ(material1.find("glBegin(4)\nglEnd()\nglBegin(4)\nglNormal3f"), 0u);  // groups 0 and 2
    EXPECT_EQ(Record([](const ObjMesh& mesh) { DrawObjGroup(mesh, 0, 3, 1.0f); }, m), "");
    EXPECT_EQ(Record([](const ObjMesh& mesh) { DrawObjGroup(mesh, 0, -1, 1.0f); }, m), "");
    // A hand-made corner outside the lists is skipped rather than read.
    m.groups[2].corners[0].position = 5;
    std::string guarded = Record([](const ObjMesh& mesh) { DrawObjGroup(mesh, 0, 2, 1.0f); }, m);
    EXPECT_EQ(Count(guarded, "glVertex3f"), 2u);
}

#ifndef _WIN32  // UTF-8 names on disk are Linux's; Windows takes the ANSI bytes as they are
TEST(ObjLoad, AWindowsNameFindsItsUtf8FileAndErrorsShowUtf8) {
    namespace fs = std::filesystem;
    fs::path root = MakeTempFolder("qv-objloader");
    fs::create_directories(root / "data");
    std::ofstream(root / "data" / "b\xC3\xA4r.obj") << kTriangle;
    std::ofstream(root / "data" / "b\xF6se.obj") << "v 0 0\n";  // a raw Windows name on disk
    platform::SetContentRoot(root.string());
    ObjMesh mesh;
    std::string error;
    EXPECT_TRUE(LoadObj(mesh, "B\xC4R.OBJ", error)) << error;
    EXPECT_EQ(mesh.groups.size(), size_t(1));
    ObjMesh bad;
    EXPECT_FALSE(LoadObj(bad, "b\xF6se.obj", error));
    EXPECT_EQ(error.rfind((root / "data" / "b\xC3\xB6se.obj").string() + ", line 1: ", 0), 0u)
        << error;
    platform::SetContentRoot(".");
    fs::remove_all(root);
}
#endif
