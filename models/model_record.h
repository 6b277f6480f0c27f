// The records the model table holds: the OBJ mesh (ObjMesh) and the model record (ModelRecord)
// with its flat vertex list. Plain data; the loaders fill them, the drawing code reads them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace models {

// One corner of an OBJ face; every index is 0-based (the file's 1-based index minus 1).
struct ObjCorner {
    int32_t position = 0;
    int32_t texCoord = 0;
    int32_t normal = 0;
};

struct ModelGroup {
    std::string name;      // the "g" line from its second character on, so it starts with a blank
    int32_t material = 0;  // "usemtl N" sets N - 1
    std::vector<ObjCorner> corners;
};

struct Vec3 {
    float x = 0, y = 0, z = 0;
};
struct Vec2 {
    float u = 0, v = 0;
};

// A mesh as read from an OBJ file. Each count equals the length of its list.
struct ObjMesh {  // traditional name: fObjFile
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<Vec2> texCoords;
    std::vector<ModelGroup> groups;
};

// One entry of a model's vertex list: normal, position, texture coordinate (32 bytes).
struct ModelVertex {
    float nx = 0, ny = 0, nz = 0;
    float x = 0, y = 0, z = 0;
    float u = 0, v = 0;
};
static_assert(sizeof(ModelVertex) == 32, "a vertex is eight packed float32 values");

// Primitive modes a model record is drawn with.
constexpr int32_t kPrimitiveObjMesh = 0;    // drawn through its mesh; the vertex list is empty
constexpr int32_t kPrimitiveTriangles = 4;  // GL_TRIANGLES: binary vertex files
constexpr int32_t kPrimitiveQuads = 7;      // GL_QUADS: generated models

struct ModelRecord {  // traditional name: qvModDat
    int32_t primitive = 0;
    ObjMesh mesh;  // groups only for an OBJ model
    std::vector<ModelVertex> vertices;
};

}  // namespace models
