// The OBJ loader and mesh drawing: reads the player's subset of Wavefront OBJ ("v ", "vt ",
// "vn ", "g ", "usemtl N", triangulated "f p/t/n" faces) into an ObjMesh and draws a mesh's
// groups as immediate-mode triangles, each group with texture base + its material bound.
//
// Fields are separated by exactly one blank and numbers use "." whatever the locale. A mesh
// that loads is safe to draw: every face index points into its list and every face belongs to
// a group; a file that breaks this is refused with the file, the line and the problem.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "models/model_record.h"

namespace models {

// One face line as read: the drawing takes a group's corners three at a time, so only a group
// whose face lines all have three corners draws the file's triangles.
struct ObjFaceLine {
    size_t line = 0;    // from 1
    int32_t group = 0;  // index in the mesh's groups
    int32_t corners = 0;
};

// Parses OBJ text into mesh (entries are appended; face indexes are stored as read). fileName
// only labels the messages. Returns false with error "FILE, line N: problem" on the first
// line that does not parse, or on a face index that its list does not hold. faceLines, when
// given, receives every face line.
bool ParseObj(std::string_view text, const std::string& fileName, ObjMesh& mesh, std::string& error,
              std::vector<ObjFaceLine>* faceLines = nullptr);

// Reads the file "data\" + name (through the demo path rules) into mesh.
bool LoadObj(ObjMesh& mesh, const std::string& name, std::string& error,
             std::vector<ObjFaceLine>* faceLines = nullptr);

// The texture names of the texture table, by slot from 0. The texture manager sets the
// accessor once; until then (and for a null accessor) no group binds a texture.
using TextureNameTable = std::span<const uint32_t> (*)();
void SetMeshTextureTable(TextureNameTable table);

// Draws group `group` as GL_TRIANGLES (normal, texture coordinate, vertex * scale per corner),
// after binding texture base + material if that slot exists. A group index the mesh does not
// hold draws nothing.
void DrawObjGroup(const ObjMesh& mesh, int32_t textureBase, int32_t group, float scale);
// Every group in order.
void DrawObjAll(const ObjMesh& mesh, int32_t textureBase, float scale);
// Every group whose material equals `material`, in group order.
void DrawObjMaterial(const ObjMesh& mesh, int32_t textureBase, int32_t material, float scale);

}  // namespace models
