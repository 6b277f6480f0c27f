// The vocabulary of texture sources: the first byte that tells a slot's kind, and the one
// table of the fourteen texture-program operations (name, parameters in order, which one picks
// the layer). The generator, the assembler, the disassembler and the checks all read it.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace demo {

// Texture slot sources, told apart by the first byte; an empty source is a render target and
// any other first byte starts the name of an image file.
inline constexpr uint8_t kTextureNone = 0;
inline constexpr uint8_t kTextureProgram = 2;  // then the program's bytes

enum TexOpcode : uint8_t {
    kFill = 0,
    kNoise = 1,
    kBlur = 2,
    kMosaic = 3,
    kSinePlasma = 4,
    kColorKeyMask = 5,
    kNestedSinePlasma = 6,
    kShiftAdd = 7,
    kVerticalGradient = 8,
    kRotate = 9,
    kSineRemap = 10,
    kGreyGain = 11,
    kDisc = 12,
    kSharpenBlend = 13,
    kTexOpCount = 14,  // opcodes from here to 255 do nothing
};

enum class ParamKind : uint8_t {
    Number,
    Colour,  // 0xBBGGRR: red in the lowest byte
    Layer,   // 0 .. 7
    Unused,  // read by nobody, but counted in the parameters an operation needs
};

// The values whose result is defined and useful; `qv check` reports others.
inline constexpr int32_t kAnyMin = INT32_MIN, kAnyMax = INT32_MAX;

struct TexParamInfo {
    std::string_view name;
    ParamKind kind = ParamKind::Number;
    int32_t min = kAnyMin, max = kAnyMax;
};

inline constexpr int kMaxTexOpParams = 6;

struct TexOpInfo {
    std::string_view name;
    std::string_view summary;
    uint8_t required = 0;    // parameters the operation reads: fewer and it is skipped
    uint8_t layerParam = 0;  // the parameter that names the layer it writes
    std::array<TexParamInfo, kMaxTexOpParams> params{};
};

namespace detail {
constexpr TexParamInfo Num(std::string_view n, int32_t lo = kAnyMin, int32_t hi = kAnyMax) {
    return {n, ParamKind::Number, lo, hi};
}
constexpr TexParamInfo Col(std::string_view n) { return {n, ParamKind::Colour, 0, 0xFFFFFF}; }
constexpr TexParamInfo Lay() { return {"layer", ParamKind::Layer, 0, 7}; }
constexpr TexParamInfo Unused() { return {"unused", ParamKind::Unused}; }
}  // namespace detail

// clang-format off
inline constexpr std::array<TexOpInfo, kTexOpCount> kTexOps = [] {
    using namespace detail;
    return std::array<TexOpInfo, kTexOpCount>{{
        {"Fill", "every pixel of the layer becomes the colour",
         3, 2, {Col("colour"), Unused(), Lay()}},
        {"Noise", "every pixel gets three random channel values",
         1, 0, {Lay()}},
        {"Blur", "five-point box blur, extra passes + 1 passes (-1: none)",
         2, 1, {Num("extra passes", -1, 255), Lay()}},
        {"Mosaic", "block pixelation: each block takes the colour of its first pixel",
         3, 2, {Num("block width", 1, 512), Num("block height", 1, 512), Lay()}},
        {"SinePlasma", "grey sum of a sine in x and a sine in y (16: one period across)",
         3, 2, {Num("x frequency"), Num("y frequency"), Lay()}},
        {"ColorKeyMask", "lowers the alpha by the distance d from the key (sum of channel "
                         "differences + 1): alpha x (1 - d / tolerance), so a band from d = "
                         "tolerance to 3 x tolerance becomes transparent and the key itself "
                         "barely changes; to key out black, key a colour a little away from it "
                         "(0x101010 with tolerance 20)",
         3, 2, {Col("key colour"), Num("tolerance", 0, 766), Lay()}},
        {"NestedSinePlasma", "SinePlasma with the phases fed through depth - 1 nested sines",
         6, 2, {Num("x frequency"), Num("y frequency"), Lay(), Num("depth", 0, 64),
                Num("x inner gain"), Num("y inner gain")}},
        {"ShiftAdd", "adds a copy of the layer shifted by (x - 128, y - 128), centred on 128",
         4, 2, {Num("x shift + 128"), Num("y shift + 128"), Lay(), Num("strength", -255, 255)}},
        {"VerticalGradient", "rows blend from colour B (row 0) toward colour A",
         3, 2, {Col("colour A"), Col("colour B"), Lay()}},
        {"Rotate", "rotation about pixel (256, 256), nearest pixel",
         2, 1, {Num("angle in degrees"), Lay()}},
        {"SineRemap", "each channel value passed through a sine curve",
         2, 1, {Num("phase"), Lay()}},
        {"GreyGain", "grey conversion with gain",
         2, 1, {Num("gain (128 = unity)", 0, 255), Lay()}},
        {"Disc", "filled disc; it wraps around the edges",
         5, 4, {Num("centre x", 0, 511), Num("centre y", 0, 511), Num("radius", 0, 512),
                Col("colour"), Lay()}},
        {"SharpenBlend", "sharpen (strength < 0) or soften, mixed back, extra passes + 1 passes",
         4, 2, {Num("strength", -255, 255), Num("mix", 0, 255), Lay(), Num("extra passes", -1, 255)}},
    }};
}();
// clang-format on

// True when parameter k of the operation is a colour (false past the table).
constexpr bool IsColourParam(int opcode, int k) {
    return opcode >= 0 && opcode < kTexOpCount && k >= 0 && k < kMaxTexOpParams &&
           kTexOps[size_t(opcode)].params[size_t(k)].kind == ParamKind::Colour;
}

inline constexpr int kMaxTexParams = 255;      // u8 parameter count
inline constexpr int kMaxTexLabelBytes = 255;  // u8 label length

}  // namespace demo
