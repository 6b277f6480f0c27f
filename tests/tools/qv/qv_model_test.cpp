// `qv model` as other tools call it: the printed record, the OBJ export and the failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/byte_reader.h"
#include "demo/demo_file.h"
#include "models/objloader.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

struct QvRun {
    int status;
    std::string out;
};

QvRun Qv(const std::string& args) {
    std::string command = std::string(QV_EXE) + " model " + args + " 2>&1";
    std::FILE* p = popen(command.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = pclose(p);
    return {WEXITSTATUS(status), out};
}

std::string FirstLine(const std::string& s) { return s.substr(0, s.find('\n')); }

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Folder {
    fs::path root = MakeTempFolder("qv-model");
    Folder() {
        fs::create_directories(root / "data");
        std::ofstream(root / "data" / "Tri.obj") << "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 "
                                                    "1\ng tri\nusemtl 3\nf 1/1/1 2/1/1 3/1/1\n";
        std::string vertices;
        core::AppendI32(vertices, 0);
        core::AppendI32(vertices, 3);
        for (int i = 0; i < 24; ++i) core::AppendF32(vertices, float(i) / 4);
        std::ofstream(root / "tri.bin", std::ios::binary) << vertices;
        demo::DemoFile demo;
        for (const std::string& s :
             {std::string("\0\0\1", 3), std::string("\1tri.obj"), std::string("tri.bin")})
            demo.modelSources.push_back({int32_t(s.size()), s});
        demo.modelCount = 3;
        std::ofstream(root / "demo.acs", std::ios::binary) << demo::WriteDemoFile(demo);
        std::ofstream(root / "sphere.bin", std::ios::binary) << std::string("\6\1", 2);
    }
    ~Folder() { fs::remove_all(root); }
    std::string operator/(const char* name) const { return (root / name).string(); }
};

}  // namespace

TEST(QvModel, PrintsTheRecordOfAProgram) {
    Folder f;
    QvRun r = Qv("--program " + (f / "sphere.bin") + " --obj " + (f / "sphere.obj"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(FirstLine(r.out), "primitive 7 count 48");
    // The first corner sits on the welded pole: both its sides are empty, so its normal is 0.
    EXPECT_EQ(FirstLine(r.out.substr(r.out.find('\n') + 1)), "0 0 0 0 -1 0 0 0");
    size_t lines = 0;
    for (char c : r.out) lines += c == '\n';
    EXPECT_EQ(lines, 49u);
    // Each quad is written as two triangles, which the player's loader reads back.
    std::string obj = ReadText(f.root / "sphere.obj");
    size_t faces = 0;
    for (size_t p = 0; (p = obj.find("\nf ", p)) != std::string::npos; ++p) ++faces;
    EXPECT_EQ(faces, 24u);
    EXPECT_NE(obj.find("\nf 1/1/1 2/2/2 3/3/3\nf 1/1/1 3/3/3 4/4/4\n"), std::string::npos) << obj;
    models::ObjMesh back;
    std::string error;
    ASSERT_TRUE(models::ParseObj(obj, "sphere.obj", back, error)) << error;
    ASSERT_EQ(back.groups.size(), 1u);
    EXPECT_EQ(back.groups[0].corners.size(), 72u);
}

TEST(QvModel, ReadsEveryKindFromADemoFile) {
    Folder f;
    QvRun cube = Qv(f / "demo.acs" + " --index 0");
    ASSERT_EQ(cube.status, 0) << cube.out;
    EXPECT_EQ(FirstLine(cube.out), "primitive 7 count 96");

    QvRun obj = Qv(f / "demo.acs" + " --index 1 --obj " + (f / "copy.obj"));
    ASSERT_EQ(obj.status, 0) << obj.out;
    EXPECT_EQ(obj.out,
              "obj positions 3 normals 1 texcoords 1 groups 1\n"
              "group 0 material 2 corners 3 name ' tri'\n");
    // The export reads back into the same mesh.
    models::ObjMesh back;
    std::string error;
    ASSERT_TRUE(models::ParseObj(ReadText(f.root / "copy.obj"), "copy.obj", back, error)) << error;
    EXPECT_EQ(back.groups[0].material, 2);
    EXPECT_EQ(back.groups[0].corners.size(), size_t(3));
    EXPECT_EQ(back.positions[1].x, 1.0f);

    QvRun tri = Qv(f / "demo.acs" + " --index 2");
    ASSERT_EQ(tri.status, 0) << tri.out;
    EXPECT_EQ(FirstLine(tri.out), "primitive 4 count 3");
    EXPECT_EQ(FirstLine(tri.out.substr(tri.out.find('\n') + 1)), "0 0.25 0.5 1.25 1.5 1.75 0.75 1");
}

TEST(QvModel, FailuresExitNonZeroWithAMessage) {
    Folder f;
    QvRun missing = Qv(f / "demo.acs" + " --index 3");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("has no model 3 (it has 3)"), std::string::npos) << missing.out;
    fs::remove(f.root / "tri.bin");
    QvRun gone = Qv(f / "demo.acs" + " --index 2");
    EXPECT_EQ(gone.status, 1);
    EXPECT_NE(gone.out.find("tri.bin: cannot open the file"), std::string::npos) << gone.out;
    EXPECT_EQ(Qv("--index 2").status, 2);
    EXPECT_EQ(Qv("--program a b").status, 2);
}
