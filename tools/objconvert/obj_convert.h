// The OBJ converter behind `qv obj`: Wavefront OBJ as modelling tools write it (Blender and
// others: polygons, corners without texture coordinates or normals, negative indexes, named
// materials, "o" objects) into the strict form the player's OBJ loader reads. Pure: text in,
// text out; the strict form is also how `qv model` writes a mesh.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "models/model_record.h"

namespace tools {

struct ObjConvertOptions {
    // Material names in the order of their numbers (the first is "usemtl 1", material 0).
    // Empty: numbered in the order of first use.
    std::vector<std::string> materials;
};

struct ObjConversion {
    std::string text;                    // the strict OBJ file
    models::ObjMesh mesh;                // what the player's loader reads from text
    std::vector<std::string> materials;  // material number (from 0) -> name in the source file
    std::vector<std::string> notes;      // what was left out: "FILE, line N: ..."
};

// Converts OBJ text (fileName labels the messages). On failure returns false with error
// "FILE, line N: problem".
bool ConvertObj(std::string_view text, const std::string& fileName,
                const ObjConvertOptions& options, ObjConversion& out, std::string& error);

// The mesh in the strict form: every "v", "vt" and "vn", then per group "g NAME",
// "usemtl MATERIAL+1" and its corners three to a face line, "p/t/n" with 1-based indexes.
// header (comment or "mtllib" lines, each ending in a newline) goes first.
std::string StrictObjText(const models::ObjMesh& mesh, std::string_view header);

// A number as the strict form writes it: %.9g, which reads back as the same float.
std::string ObjNumber(float value);

// A face corner "p/t/n" from 0-based indexes.
std::string ObjCornerText(int64_t position, int64_t texCoord, int64_t normal);

}  // namespace tools
