// The vocabulary of model sources: the first byte that tells a model's kind, and the records
// of object programs (SelectAll, SelectBox and the operations with their one-byte parameter).
// The object generator, the assembler, the disassembler and the checks all read it.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace demo {

// Model sources, told apart by the first byte; any other first byte starts a vertex-file path.
inline constexpr uint8_t kModelProgram = 0;  // then the object program
inline constexpr uint8_t kModelObj = 1;      // then the OBJ file's name under "data\"

// Object program records: SelectAll (one byte); SelectBox (255, six float32 and a closing
// byte); an operation 0 .. 253 and its parameter byte.
inline constexpr uint8_t kSelectAll = 254;
inline constexpr uint8_t kSelectBox = 255;
inline constexpr size_t kSelectBoxBodyBytes = 25;  // after the 255: six float32, closing byte

enum ObjectOpcode : uint8_t {
    kCube = 0,
    kGrow = 1,
    kShrink = 2,
    kSmooth = 3,
    kWave = 4,
    kSmoothTexture = 5,
    kSphere = 6,
    kObjectOpCount = 7,  // opcodes from here to 253 do nothing
};

struct ObjectOpInfo {
    std::string_view name;
    std::string_view parameter;  // what the parameter byte means; empty: it is ignored
    uint8_t min = 0, max = 255;  // the values that do something (`qv check` reports others)
    std::string_view summary;
};

// Cube and Sphere above these sizes weld their own grid points together (step below 0.1) or
// take seconds to weld; 0 adds nothing.
inline constexpr std::array<ObjectOpInfo, kObjectOpCount> kObjectOps = {{
    {"Cube", "subdivisions n", 1, 10, "adds a cube from -1 to 1, each face 2n x 2n quads"},
    {"Grow", "", 0, 255, "multiplies the selected vertices by 1.1"},
    {"Shrink", "", 0, 255, "multiplies the selected vertices by 0.9"},
    {"Smooth", "", 0, 255, "moves each selected vertex to the mean of itself and its neighbours"},
    {"Wave", "variant", 0, 4, "moves the selected vertices by a sine of their coordinates"},
    {"SmoothTexture", "", 0, 255, "the same for the texture coordinates (u, v)"},
    {"Sphere", "rings n", 1, 16, "adds a body of revolution of 3n rings x 4n segments"},
}};

// True when the operation's parameter byte means something (unknown operations keep theirs).
constexpr bool ObjectOpUsesParameter(int op) {
    return op >= kObjectOpCount || !kObjectOps[size_t(op)].parameter.empty();
}

}  // namespace demo
