// qv obj: OBJ files as today's tools write them become files the player's own loader reads and
// draws as the same triangles.
#include "tools/objconvert/obj_convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "models/objloader.h"
#include "tests/support/run_qv.h"

using tools::ConvertObj;
using tools::ObjConversion;
using tools::ObjConvertOptions;

namespace {

// One drawn triangle: its three positions, "x,y,z x,y,z x,y,z".
using Triangles = std::vector<std::string>;

std::string Point(const models::Vec3& p) {
    std::ostringstream s;
    s << p.x << "," << p.y << "," << p.z;
    return s.str();
}

// What the player draws of each group: its corners three at a time.
std::vector<Triangles> Drawn(const models::ObjMesh& mesh) {
    std::vector<Triangles> groups;
    for (const models::ModelGroup& g : mesh.groups) {
        Triangles t;
        for (size_t k = 0; k + 3 <= g.corners.size(); k += 3)
            t.push_back(Point(mesh.positions[size_t(g.corners[k].position)]) + " " +
                        Point(mesh.positions[size_t(g.corners[k + 1].position)]) + " " +
                        Point(mesh.positions[size_t(g.corners[k + 2].position)]));
        groups.push_back(t);
    }
    return groups;
}

// Converts text and loads the result with the player's loader.
struct Loaded {
    ObjConversion conversion;
    models::ObjMesh mesh;
};
Loaded ConvertAndLoad(const std::string& text, const ObjConvertOptions& options = {}) {
    Loaded l;
    std::string error;
    EXPECT_TRUE(ConvertObj(text, "in.obj", options, l.conversion, error)) << error;
    EXPECT_TRUE(models::ParseObj(l.conversion.text, "out.obj", l.mesh, error)) << error << "\n"
                                                                               << l.conversion.text;
    return l;
}

std::string ConvertError(const std::string& text, const ObjConvertOptions& options = {}) {
    ObjConversion out;
    std::string error;
    EXPECT_FALSE(ConvertObj(text, "in.obj", options, out, error)) << out.text;
    return error;
}

// A unit square and a pentagon beside it, in the forms Blender writes.
const std::string kSquareAndPentagon =
    "# Blender 3.6 OBJ File\nmtllib scene.mtl\no Square\n"
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\n"
    "s 0\nusemtl Stone\nf 1/1/1 2/2/1 3/3/1 4/4/1\n"
    "o Pentagon\nv 2 0 0\nv 3 0 0\nv 3.5 1 0\nv 2.5 2 0\nv 1.5 1 0\n"
    "s 1\nusemtl Grass\nf -5//1 -4//1 -3//1 -2//1 -1//1\n";

}  // namespace

TEST(ObjConvert, QuadsAndPolygonsAreFannedIntoTheTrianglesTheyCover) {
    Loaded l = ConvertAndLoad(kSquareAndPentagon);
    EXPECT_EQ(Drawn(l.mesh),
              (std::vector<Triangles>{
                  {"0,0,0 1,0,0 1,1,0", "0,0,0 1,1,0 0,1,0"},
                  {"2,0,0 3,0,0 3.5,1,0", "2,0,0 3.5,1,0 2.5,2,0", "2,0,0 2.5,2,0 1.5,1,0"},
              }));
    EXPECT_EQ(l.mesh.groups[0].name, " Square");
    EXPECT_EQ(l.mesh.groups[1].name, " Pentagon");
    EXPECT_NE(l.conversion.text.find("\nmtllib scene.mtl\n"), std::string::npos)
        << "the file's own material library line is kept as it is";
}

TEST(ObjConvert, AConcavePolygonIsClippedNotFanned) {
    // An L: a fan from its first corner would cover the notch at (1..2, 1..2).
    Loaded l = ConvertAndLoad(
        "v 0 0 0\nv 2 0 0\nv 2 1 0\nv 1 1 0\nv 1 2 0\nv 0 2 0\n"
        "f 3 4 5 6 1 2\n");
    ASSERT_EQ(l.mesh.groups.size(), 1u);
    const Triangles t = Drawn(l.mesh)[0];
    ASSERT_EQ(t.size(), 4u);
    double area = 0;
    const models::ModelGroup& g = l.mesh.groups[0];
    for (size_t k = 0; k < g.corners.size(); k += 3) {
        const models::Vec3 a = l.mesh.positions[size_t(g.corners[k].position)],
                           b = l.mesh.positions[size_t(g.corners[k + 1].position)],
                           c = l.mesh.positions[size_t(g.corners[k + 2].position)];
        const double z = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        EXPECT_GT(z, 0) << t[k / 3] << ": every triangle keeps the polygon's winding";
        area += z / 2;
    }
    EXPECT_DOUBLE_EQ(area, 3.0) << "the triangles cover the L and nothing else";

    // A star of 70 corners is past what is clipped: it is fanned, and said so.
    std::string star;
    for (int k = 0; k < 70; ++k) {
        const double radius = k % 2 ? 1 : 2, angle = k * 2 * M_PI / 70;
        star += "v " + std::to_string(radius * std::cos(angle)) + " " +
                std::to_string(radius * std::sin(angle)) + " 0\n";
    }
    star += "f";
    for (int k = 1; k <= 70; ++k) star += " " + std::to_string(k);
    l = ConvertAndLoad(star + "\n");
    EXPECT_EQ(l.mesh.groups[0].corners.size(), 68u * 3);
    EXPECT_EQ(l.conversion.notes,
              std::vector<std::string>{"in.obj, line 71: a concave polygon of 70 corners is fanned "
                                       "(more than 64 corners are not clipped), so it may cover "
                                       "more than its area"});
}

TEST(ObjConvert, MissingTextureCoordinatesAndNormalsGetSharedEntries) {
    Loaded l = ConvertAndLoad(
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nvt 0.5 0.5\n"
        "f 1 2 3\nf 1/1 3/1 4/1\nf 2 1 3\n");
    const models::ObjMesh& m = l.mesh;
    ASSERT_EQ(m.texCoords.size(), 2u) << "the file's one and one shared zero entry";
    EXPECT_EQ(m.texCoords[1].u, 0);
    EXPECT_EQ(m.texCoords[1].v, 0);
    ASSERT_EQ(m.normals.size(), 3u) << "one per distinct face normal";
    const models::ModelGroup& g = m.groups[0];
    ASSERT_EQ(g.corners.size(), 9u);
    for (int k : {0, 1, 2, 6, 7, 8}) EXPECT_EQ(g.corners[size_t(k)].texCoord, 1);
    for (int k : {3, 4, 5}) EXPECT_EQ(g.corners[size_t(k)].texCoord, 0);
    const models::Vec3 up = m.normals[size_t(g.corners[0].normal)];
    EXPECT_EQ(Point(up), "0,0,1");
    EXPECT_EQ(Point(m.normals[size_t(g.corners[3].normal)]), "1,0,0");
    EXPECT_EQ(Point(m.normals[size_t(g.corners[6].normal)]), "0,0,-1") << "winding decides";
}

TEST(ObjConvert, NegativeIndexesCountBackFromTheirLine) {
    Loaded l = ConvertAndLoad(
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf -3//-1 -2//-1 -1//-1\n"
        "v 5 5 5\nf -4//1 -3//1 -1//1\n");
    EXPECT_EQ(Drawn(l.mesh)[0], (Triangles{"0,0,0 1,0,0 0,1,0", "0,0,0 1,0,0 5,5,5"}));
}

TEST(ObjConvert, MaterialsAreNumberedByFirstUseOrAsListed) {
    Loaded l = ConvertAndLoad(kSquareAndPentagon);
    EXPECT_EQ(l.conversion.materials, (std::vector<std::string>{"Stone", "Grass"}));
    EXPECT_EQ(l.mesh.groups[0].material, 0);
    EXPECT_EQ(l.mesh.groups[1].material, 1);

    l = ConvertAndLoad(kSquareAndPentagon, {{"Sky", "Grass", "Stone"}});
    EXPECT_EQ(l.mesh.groups[0].material, 2);
    EXPECT_EQ(l.mesh.groups[1].material, 1);
    EXPECT_EQ(ConvertError(kSquareAndPentagon, {{"Grass"}}),
              "in.obj, line 14: material 'Stone' is not among the --materials");

    // A file already numbered as the player reads it keeps its numbers.
    l = ConvertAndLoad("v 0 0 0\nv 1 0 0\nv 0 1 0\ng a\nusemtl 3\nf 1 2 3\n");
    EXPECT_EQ(l.mesh.groups[0].material, 2);
}

TEST(ObjConvert, GroupsComeFromObjectAndGroupLinesAndMaterialChanges) {
    Loaded l = ConvertAndLoad(
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"  // before any group
        "o Empty\ng Body\nusemtl A\nf 1 2 3\nusemtl B\nf 3 2 1\n"
        "g\nf 1 3 2\n");
    ASSERT_EQ(l.mesh.groups.size(), 4u) << l.conversion.text;
    EXPECT_EQ(l.mesh.groups[0].name, " default");
    EXPECT_EQ(l.mesh.groups[1].name, " Body") << "an object without faces adds no group";
    EXPECT_EQ(l.mesh.groups[2].name, " Body") << "one material per group";
    EXPECT_EQ(l.mesh.groups[2].material, 1);
    EXPECT_EQ(l.mesh.groups[3].name, " group4");
    EXPECT_EQ(l.mesh.groups[3].material, 1) << "the material carries on into the next group";
}

TEST(ObjConvert, ProblemsNameTheLine) {
    EXPECT_EQ(ConvertError("v 0 0 0\nf 1 2 3\n"),
              "in.obj, line 2: position index 2 is beyond the 1 entries of the file");
    EXPECT_EQ(ConvertError("v 0 0 0\nf 0 1 1\n"),
              "in.obj, line 2: position index 0: indexes count from 1");
    EXPECT_EQ(ConvertError("v 0 0 0\nf -2 1 1\n"),
              "in.obj, line 2: position index -2 reaches before the first entry (1 read so far)");
    EXPECT_EQ(ConvertError("v 0 nan 0\n"),
              "in.obj, line 1: 'nan' is not a finite number the player can read");
    EXPECT_EQ(ConvertError("v 0 1e39 0\n"),
              "in.obj, line 1: '1e39' is not a finite number the player can read");
    EXPECT_EQ(ConvertError("v 0 0\n"), "in.obj, line 1: \"v\" needs 3 numbers, 2 given");
    EXPECT_EQ(ConvertError("v 0 0 0\nf 1/1/1/1 1 1\n"),
              "in.obj, line 2: face corner '1/1/1/1' has more than three parts");
    ObjConversion out;
    std::string error;
    ASSERT_TRUE(ConvertObj("v 0 0 0\nv 1 0 0\nf 1 2\nl 1 2\nl 2 1\n", "in.obj", {}, out, error));
    EXPECT_EQ(out.notes, (std::vector<std::string>{
                             "in.obj, line 3: a face of 2 corners (not a polygon) is left out",
                             "in.obj, line 4: \"l\" lines are not drawn by the player and are "
                             "left out"}));
}

// OBJ files of other projects (Blender and MilkShape exports, tinyobjloader's test models):
// each converts or is refused with its line, and what converts loads and holds every polygon
// as its triangles.
TEST(ObjConvert, RealWorldFilesLoadWithThePlayersLoader) {
    const std::filesystem::path folder = "/work/shared/realworld/obj";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << folder << " is absent";
    int converted = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != ".obj") continue;
        SCOPED_TRACE(entry.path().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        ObjConversion out;
        std::string error;
        if (!ConvertObj(text, "in.obj", {}, out, error)) {
            EXPECT_EQ(error.rfind("in.obj, line ", 0), 0u) << error;
            continue;
        }
        ++converted;
        models::ObjMesh mesh;
        ASSERT_TRUE(models::ParseObj(out.text, "out.obj", mesh, error)) << error;
        size_t triangles = 0;
        for (const models::ModelGroup& g : mesh.groups) {
            EXPECT_EQ(g.corners.size() % 3, 0u);
            triangles += g.corners.size() / 3;
        }
        // Every face of n >= 3 corners gives n - 2 triangles.
        size_t expected = 0;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line.substr(0, line.find('#')));
            std::string key, corner;
            fields >> key;
            if (key != "f" && key != "fo") continue;
            size_t corners = 0;
            while (fields >> corner) ++corners;
            if (corners >= 3) expected += corners - 2;
        }
        EXPECT_EQ(triangles, expected);
    }
    EXPECT_GT(converted, 20);
}

// --- the command -------------------------------------------------------------------------

TEST(QvObj, WritesTheFileAndPrintsTheNumbersToDrawIt) {
    const std::string dir = testing_qv::FreshFolder();
    std::ofstream(dir + "/in.obj") << kSquareAndPentagon;
    testing_qv::QvResult r =
        testing_qv::RunQv("obj " + dir + "/in.obj -o " + dir + "/out.obj --materials Grass,Stone");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir +
                         "/out.obj: 5 triangles in 2 groups\n"
                         "material 0 (usemtl 1): Grass\nmaterial 1 (usemtl 2): Stone\n"
                         "group 0: Square (material 1)\ngroup 1: Pentagon (material 0)\n");
    std::ifstream written(dir + "/out.obj");
    const std::string text((std::istreambuf_iterator<char>(written)), {});
    models::ObjMesh mesh;
    std::string error;
    EXPECT_TRUE(models::ParseObj(text, "out.obj", mesh, error)) << error;

    r = testing_qv::RunQv("obj " + dir + "/in.obj");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "qv obj: no output given (-o OUT.obj)");
    std::ofstream(dir + "/bad.obj") << "v 0 0 0\nf 1 1 7\n";
    r = testing_qv::RunQv("obj " + dir + "/bad.obj -o " + dir + "/x.obj");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qv obj: " + dir +
                         "/bad.obj, line 2: position index 7 is beyond the 1 entries of the "
                         "file\n");
}
