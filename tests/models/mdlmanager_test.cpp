#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/byte_reader.h"
#include "models/mdlmanager.h"
#include "platform/paths.h"
#include "tests/support/temp_folder.h"

using namespace models;
namespace fs = std::filesystem;

namespace {

// A vertex file: first field, count, then records (normal, texture, position order).
std::string VertexFile(int32_t first, int32_t count,
                       const std::vector<std::array<float, 8>>& records) {
    std::string bytes;
    core::AppendI32(bytes, first);
    core::AppendI32(bytes, count);
    for (const auto& r : records)
        for (float f : r) core::AppendF32(bytes, f);
    return bytes;
}

std::span<const uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

std::string VertexFileError(const std::string& bytes) {
    ModelRecord record;
    std::string error;
    EXPECT_FALSE(ParseVertexFile(Bytes(bytes), "v.bin", record, error));
    EXPECT_TRUE(record.vertices.empty());
    return error;
}

demo::DemoFile DemoWithModels(const std::vector<std::string>& sources) {
    demo::DemoFile demo;
    demo.modelCount = int32_t(sources.size());
    for (const std::string& s : sources) demo.modelSources.push_back({int32_t(s.size()), s});
    return demo;
}

// A content folder with data\tri.obj and two vertex files, removed afterwards.
struct ContentFolder {
    fs::path root = MakeTempFolder("qv-mdlmanager");
    ContentFolder() {
        fs::create_directories(root / "data");
        std::ofstream(root / "data" / "tri.obj")
            << "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\ng t\nf 1/1/1 2/1/1 3/1/1\n";
        std::ofstream(root / "verts.bin", std::ios::binary)
            << VertexFile(7, 1, {{1, 2, 3, 4, 5, 6, 7, 8}}) << "trailing bytes are not read";
        std::ofstream(root / "short.bin", std::ios::binary)
            << VertexFile(0, 2, {{1, 2, 3, 4, 5, 6, 7, 8}});
        platform::SetContentRoot(root.string());
    }
    ~ContentFolder() {
        platform::SetContentRoot(".");
        ResetModels();
        fs::remove_all(root);
    }
};

}  // namespace

TEST(VertexFile, MovesTextureAfterPositionAndAlwaysDrawsTriangles) {
    ModelRecord record;
    std::string error;
    std::string bytes =
        VertexFile(7, 2, {{1, 2, 3, 4, 5, 6, 7, 8}, {9, 10, 11, 12, 13, 14, 15, 16}});
    ASSERT_TRUE(ParseVertexFile(Bytes(bytes + "extra"), "v.bin", record, error)) << error;
    EXPECT_EQ(record.primitive, 4);
    ASSERT_EQ(record.vertices.size(), size_t(2));
    const ModelVertex& v = record.vertices[0];
    EXPECT_EQ((std::array<float, 8>{v.nx, v.ny, v.nz, v.x, v.y, v.z, v.u, v.v}),
              (std::array<float, 8>{1, 2, 3, 6, 7, 8, 4, 5}));
    EXPECT_EQ(record.vertices[1].x, 14);

    ModelRecord empty;
    ASSERT_TRUE(ParseVertexFile(Bytes(VertexFile(0, 0, {}) + "junk"), "v.bin", empty, error));
    EXPECT_EQ(empty.primitive, 4);
    EXPECT_EQ(empty.vertices.size(), size_t(0));
}

TEST(VertexFile, RefusesCountsTheFileCannotHold) {
    EXPECT_EQ(VertexFileError("\x01\x02\x03"),
              "v.bin: the vertex file ends before its vertex count (3 bytes)");
    EXPECT_EQ(VertexFileError(VertexFile(0, -1, {})), "v.bin: negative vertex count -1");
    EXPECT_EQ(VertexFileError(VertexFile(0, 2, {{1, 2, 3, 4, 5, 6, 7, 8}})),
              "v.bin: the vertex file announces 2 vertices but ends after 1 (40 bytes)");
    EXPECT_EQ(VertexFileError(VertexFile(0, INT32_MAX, {})),
              "v.bin: the vertex file announces 2147483647 vertices but ends after 0 (8 bytes)");
}

TEST(ModelManager, EmptyTableNamesNoModel) {
    std::string error;
    EXPECT_TRUE(LoadModels(demo::DemoFile{}, error));
    EXPECT_EQ(ModelCount(), 0);
    EXPECT_EQ(ModelAt(0), nullptr);
    EXPECT_EQ(ModelAt(-1), nullptr);
}

TEST(ModelManager, BuildsTheThreeKindsByFirstByte) {
    ContentFolder folder;
    std::string error;
    ASSERT_TRUE(LoadModels(DemoWithModels({std::string(1, '\0'), std::string("\0\0\1", 3),
                                           "\1tri.obj", "verts.bin", "", "\1tri.obj"}),
                           error))
        << error;
    ASSERT_EQ(ModelCount(), 6);
    EXPECT_EQ(ModelAt(0)->primitive, 7);  // an empty object program
    EXPECT_EQ(ModelAt(0)->vertices.size(), size_t(0));
    EXPECT_EQ(ModelAt(1)->vertices.size(), size_t(96));  // Cube n = 1
    EXPECT_EQ(ModelAt(1)->mesh.groups.size(), size_t(0));
    EXPECT_EQ(ModelAt(2)->primitive, 0);
    EXPECT_EQ(ModelAt(2)->vertices.size(), size_t(0));
    EXPECT_EQ(ModelAt(2)->mesh.groups.size(), size_t(1));
    EXPECT_EQ(ModelAt(2)->mesh.positions.size(), size_t(3));
    EXPECT_EQ(ModelAt(3)->primitive, 4);  // the file's first field 7 has no effect
    EXPECT_EQ(ModelAt(3)->vertices.size(), size_t(1));
    EXPECT_EQ(ModelAt(4)->primitive, 0);  // empty source: empty record
    EXPECT_EQ(ModelAt(4)->vertices.size(), size_t(0));
    EXPECT_NE(ModelAt(2), ModelAt(5));  // equal sources, separate records
    EXPECT_EQ(ModelAt(5)->mesh.groups.size(), size_t(1));
    EXPECT_EQ(ModelAt(6), nullptr);
}

TEST(ModelManager, FirstFailureStopsLoadingWithTheFileNamed) {
    ContentFolder folder;
    std::string error;
    EXPECT_FALSE(
        LoadModels(DemoWithModels({std::string(1, '\0'), "short.bin", "verts.bin"}), error));
    EXPECT_EQ(error, "model 1: " + (folder.root / "short.bin").string() +
                         ": the vertex file announces 2 vertices but ends after 1 (40 bytes)");
    EXPECT_FALSE(LoadModels(DemoWithModels({"\1missing.obj"}), error));
    EXPECT_NE(error.find("model 0: "), std::string::npos);
    EXPECT_NE(error.find("missing.obj: cannot open the file"), std::string::npos) << error;
    // The first byte of a vertex-file source is part of its name.
    EXPECT_FALSE(LoadModels(DemoWithModels({"\2erts.bin"}), error));
    EXPECT_NE(error.find("\2erts.bin: cannot open the file"), std::string::npos) << error;
}

#ifndef _WIN32  // UTF-8 names on disk are Linux's; Windows takes the ANSI bytes as they are
// OBJ and vertex-file names in the demo file are Windows-1252; the disk names them in UTF-8.
TEST(ModelManager, WindowsNamesLoadFromTheirUtf8FilesAndErrorsShowUtf8) {
    ContentFolder folder;
    fs::copy_file(folder.root / "data" / "tri.obj", folder.root / "data" / "s\xC3\xBC\xC3\x9F.obj");
    fs::copy_file(folder.root / "verts.bin", folder.root / "\xC3\xA9l\xC3\xA8ve.bin");
    fs::copy_file(folder.root / "short.bin", folder.root / "kurz\xFC.bin");  // raw Windows name
    std::string error;
    ASSERT_TRUE(LoadModels(DemoWithModels({"\1S\xDC\xDF.OBJ", "\xC9L\xC8VE.BIN"}), error)) << error;
    EXPECT_EQ(ModelAt(0)->mesh.groups.size(), size_t(1));
    EXPECT_EQ(ModelAt(1)->vertices.size(), size_t(1));
    EXPECT_FALSE(LoadModels(DemoWithModels({"\1n\xF6ne.obj"}), error));
    EXPECT_NE(error.find("n\xC3\xB6ne.obj: cannot open the file"), std::string::npos) << error;
    EXPECT_FALSE(LoadModels(DemoWithModels({"kurz\xFC.bin"}), error));
    EXPECT_EQ(error, "model 0: " + (folder.root / "kurz\xC3\xBC.bin").string() +
                         ": the vertex file announces 2 vertices but ends after 1 (40 bytes)");
}
#endif
