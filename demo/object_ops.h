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
};

inline constexpr std::array<ObjectOpInfo, kObjectOpCount> kObjectOps = {{
    {"Cube", "subdivisions n"},
    {"Grow", ""},
    {"Shrink", ""},
    {"Smooth", ""},
    {"Wave", "variant"},
    {"SmoothTexture", ""},
    {"Sphere", "rings n"},
}};

// True when the operation's parameter byte means something (unknown operations keep theirs).
constexpr bool ObjectOpUsesParameter(int op) {
    return op >= kObjectOpCount || !kObjectOps[size_t(op)].parameter.empty();
}

}  // namespace demo
