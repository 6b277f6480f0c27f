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

struct TexParamInfo {
    std::string_view name;
    ParamKind kind = ParamKind::Number;
};

inline constexpr int kMaxTexOpParams = 6;

struct TexOpInfo {
    std::string_view name;
    uint8_t required = 0;    // parameters the operation reads: fewer and it is skipped
    uint8_t layerParam = 0;  // the parameter that names the layer it writes
    std::array<TexParamInfo, kMaxTexOpParams> params{};
};

namespace detail {
constexpr TexParamInfo Num(std::string_view n) { return {n, ParamKind::Number}; }
constexpr TexParamInfo Col(std::string_view n) { return {n, ParamKind::Colour}; }
constexpr TexParamInfo Lay() { return {"layer", ParamKind::Layer}; }
constexpr TexParamInfo Unused() { return {"unused", ParamKind::Unused}; }
}  // namespace detail

// clang-format off
inline constexpr std::array<TexOpInfo, kTexOpCount> kTexOps = [] {
    using namespace detail;
    return std::array<TexOpInfo, kTexOpCount>{{
        {"Fill",             3, 2, {Col("colour"), Unused(), Lay()}},
        {"Noise",            1, 0, {Lay()}},
        {"Blur",             2, 1, {Num("extra passes"), Lay()}},
        {"Mosaic",           3, 2, {Num("block width"), Num("block height"), Lay()}},
        {"SinePlasma",       3, 2, {Num("x frequency"), Num("y frequency"), Lay()}},
        {"ColorKeyMask",     3, 2, {Col("key colour"), Num("tolerance"), Lay()}},
        {"NestedSinePlasma", 6, 2, {Num("x frequency"), Num("y frequency"), Lay(), Num("depth"),
                                    Num("x inner gain"), Num("y inner gain")}},
        {"ShiftAdd",         4, 2, {Num("x shift + 128"), Num("y shift + 128"), Lay(),
                                    Num("strength")}},
        {"VerticalGradient", 3, 2, {Col("colour A"), Col("colour B"), Lay()}},
        {"Rotate",           2, 1, {Num("angle in degrees"), Lay()}},
        {"SineRemap",        2, 1, {Num("phase"), Lay()}},
        {"GreyGain",         2, 1, {Num("gain (128 = unity)"), Lay()}},
        {"Disc",             5, 4, {Num("centre x"), Num("centre y"), Num("radius"), Col("colour"),
                                    Lay()}},
        {"SharpenBlend",     4, 2, {Num("strength"), Num("mix"), Lay(), Num("extra passes")}},
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
