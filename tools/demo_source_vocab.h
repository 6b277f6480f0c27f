// The vocabulary the demo source shares between dump and build: the kinds of texture and model
// sources (by first byte), the operation names of texture and object programs, and the byte
// sizes of the records inside them and inside path strings.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace tools::vocab {

// Texture slot sources, told apart by the first byte (an empty source is a render target).
inline constexpr uint8_t kTextureNone = 0;
inline constexpr uint8_t kTextureProgram = 2;  // then an int32 operation count and the operations

// Texture program operations 0..13; higher opcodes do nothing and are written OpNN.
inline constexpr std::array<std::string_view, 14> kTextureOps = {
    "Fill", "Noise", "Blur", "Mosaic", "SinePlasma", "ColorKeyMask", "NestedSinePlasma",
    "ShiftAdd", "VerticalGradient", "Rotate", "SineRemap", "GreyGain", "Disc", "SharpenBlend",
};
// Bit k set: parameter Pk of that operation is a colour (red in the lowest byte), which the
// dump writes as 0xBBGGRR.
inline constexpr std::array<uint8_t, 14> kTextureColourParams = {
    1 << 0, 0, 0, 0, 0, 1 << 0, 0, 0, 1 << 0 | 1 << 1, 0, 0, 0, 1 << 3, 0,
};
inline constexpr int kMaxTextureParams = 255;  // u8 parameter count
inline constexpr int kMaxTextureLabel = 255;   // u8 label length

// Model sources, told apart by the first byte; any other first byte starts a vertex-file path.
inline constexpr uint8_t kModelProgram = 0;
inline constexpr uint8_t kModelObj = 1;

// Object program records: SelectAll (1 byte), SelectBox (255, six floats, 255: 26 bytes) and
// operations 0..253 of two bytes (operation, parameter).
inline constexpr uint8_t kSelectAll = 254;
inline constexpr uint8_t kSelectBox = 255;
inline constexpr int kSelectBoxBytes = 26;
inline constexpr std::array<std::string_view, 7> kObjectOps = {
    "Cube", "Grow", "Shrink", "Smooth", "Wave", "SmoothTexture", "Sphere",
};
// The operations whose parameter means something (n for Cube and Sphere, the Wave variant);
// the others ignore it, and the dump leaves it out when it is 0.
constexpr bool ObjectOpUsesParameter(int op) { return op == 0 || op == 4 || op == 6 || op > 6; }

// Path strings: a 16-bit big-endian count, then segments of seven 16-bit big-endian values
// (x0 y0 x1 y1 cx cy and one unused) and one unused byte.
inline constexpr int kPathCountBytes = 2;
inline constexpr int kPathSegmentBytes = 15;

}  // namespace tools::vocab
