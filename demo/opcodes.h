// The one opcode table of the script bytecode: mnemonic, inline operand and stack effect of
// every byte value. The interpreter, the assembler, the disassembler and the verifier all
// read it, so they cannot drift apart.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace demo {

enum class Inline : uint8_t {
    None,      // one-byte instruction
    Int32,     // 4-byte little-endian signed integer (PUSHI)
    Float32,   // 4-byte IEEE single (PUSHF)
    IntVar,    // 1-byte index into the integer variables
    FloatVar,  // 1-byte index into the float variables
};

struct OpcodeInfo {
    std::string_view mnemonic;  // empty: undefined, a one-byte no-operation
    Inline operand = Inline::None;
    uint8_t popInts = 0, popFloats = 0;    // taken from the stacks (ints are popped first)
    uint8_t pushInts = 0, pushFloats = 0;  // left on the stacks
};

// The mnemonics of the assembler, as they are written in the source files.
// NOLINTBEGIN(readability-identifier-naming)
// clang-format off
enum Op : uint8_t {
    PUSHI = 0, LOADI = 1, PUSHF = 2, LOADF = 3, STOREI = 4, STOREF = 5,
    MULI = 6, DIVI = 7, ADDI = 8, SUBI = 9, MULF = 10, DIVF = 11, ADDF = 12, SUBF = 13,
    SIN = 14, TUNNEL = 15, LINEWIDTH = 16, JMP = 24, PUSHMATRIX = 25, POPMATRIX = 26,
    TRANSLATE = 27, COLOR3 = 28, COLOR4 = 29, ROTATE = 30, BEGIN = 31, END = 32,
    VERTEX = 33, TEXCOORD = 34, ENABLE = 35, DISABLE = 36, BLEND = 37,
    BINDTEX = 38, TARGET_BEGIN = 39, TARGET_END = 40, MODEL = 41, BLUR_BEGIN = 42,
    BLUR_END = 43, BLUR_DRAW = 44, CMPSET = 45, JEQ = 46, MODI = 47, LIGHT = 48,
    TIME = 50, LOCALTIME = 51, PROGRESS = 52, ITOF = 53, FTOI = 54,
    P_COUNT = 55, P_SEED = 56, P_RANGE = 57, P_OFFX = 58, P_OFFY = 59, P_OFFZ = 60,
    P_SCALEX = 61, P_SCALEY = 62, P_SCALEZ = 63, P_RED = 64, P_GREEN = 65, P_BLUE = 66,
    P_HALFW = 67, P_HALFH = 68, PARTICLES = 69, P_SPEEDX = 70, P_SPEEDY = 71, P_SPEEDZ = 72,
    BEAT = 73, MESH_ALL = 74, MESH_GROUP = 75, MESH_MATERIAL = 76,
    RECT = 91, BOX = 92, RING = 93, SPHERE = 94, DISC = 95, CONE = 96,
    CALL = 97, CLIPXFORM = 98, RAYS = 99, SHADOW = 100, PATH = 150, PATHPART = 151,
    QUIT = 255,
};
// clang-format on
// NOLINTEND(readability-identifier-naming)

namespace detail {
constexpr std::array<OpcodeInfo, 256> BuildOpcodeTable() {
    std::array<OpcodeInfo, 256> t{};
    auto op = [&t](int code, std::string_view m, Inline in, int pi, int pf, int ri, int rf) {
        t[code] = OpcodeInfo{m, in, uint8_t(pi), uint8_t(pf), uint8_t(ri), uint8_t(rf)};
    };
    using I = Inline;
    // clang-format off
    //  code           mnemonic         inline      popI popF pushI pushF
    op(PUSHI,         "PUSHI",         I::Int32,    0, 0, 1, 0);
    op(LOADI,         "LOADI",         I::IntVar,   0, 0, 1, 0);
    op(PUSHF,         "PUSHF",         I::Float32,  0, 0, 0, 1);
    op(LOADF,         "LOADF",         I::FloatVar, 0, 0, 0, 1);
    op(STOREI,        "STOREI",        I::IntVar,   1, 0, 0, 0);
    op(STOREF,        "STOREF",        I::FloatVar, 0, 1, 0, 0);
    op(MULI,          "MULI",          I::None,     2, 0, 1, 0);
    op(DIVI,          "DIVI",          I::None,     2, 0, 1, 0);
    op(ADDI,          "ADDI",          I::None,     2, 0, 1, 0);
    op(SUBI,          "SUBI",          I::None,     2, 0, 1, 0);
    op(MULF,          "MULF",          I::None,     0, 2, 0, 1);
    op(DIVF,          "DIVF",          I::None,     0, 2, 0, 1);
    op(ADDF,          "ADDF",          I::None,     0, 2, 0, 1);
    op(SUBF,          "SUBF",          I::None,     0, 2, 0, 1);
    op(SIN,           "SIN",           I::None,     0, 1, 0, 1);
    op(TUNNEL,        "TUNNEL",        I::None,     1, 4, 0, 0);
    op(LINEWIDTH,     "LINEWIDTH",     I::None,     0, 1, 0, 0);
    op(JMP,           "JMP",           I::None,     1, 0, 0, 0);
    op(PUSHMATRIX,    "PUSHMATRIX",    I::None,     0, 0, 0, 0);
    op(POPMATRIX,     "POPMATRIX",     I::None,     0, 0, 0, 0);
    op(TRANSLATE,     "TRANSLATE",     I::None,     0, 3, 0, 0);
    op(COLOR3,        "COLOR3",        I::None,     0, 3, 0, 0);
    op(COLOR4,        "COLOR4",        I::None,     0, 4, 0, 0);
    op(ROTATE,        "ROTATE",        I::None,     0, 4, 0, 0);
    op(BEGIN,         "BEGIN",         I::None,     1, 0, 0, 0);
    op(END,           "END",           I::None,     0, 0, 0, 0);
    op(VERTEX,        "VERTEX",        I::None,     0, 3, 0, 0);
    op(TEXCOORD,      "TEXCOORD",      I::None,     0, 2, 0, 0);
    op(ENABLE,        "ENABLE",        I::None,     1, 0, 0, 0);
    op(DISABLE,       "DISABLE",       I::None,     1, 0, 0, 0);
    op(BLEND,         "BLEND",         I::None,     2, 0, 0, 0);
    op(BINDTEX,       "BINDTEX",       I::None,     1, 0, 0, 0);
    op(TARGET_BEGIN,  "TARGET_BEGIN",  I::None,     0, 0, 0, 0);
    op(TARGET_END,    "TARGET_END",    I::None,     1, 0, 0, 0);
    op(MODEL,         "MODEL",         I::None,     1, 0, 0, 0);
    op(BLUR_BEGIN,    "BLUR_BEGIN",    I::None,     0, 0, 0, 0);
    op(BLUR_END,      "BLUR_END",      I::None,     0, 0, 0, 0);
    op(BLUR_DRAW,     "BLUR_DRAW",     I::None,     0, 0, 0, 0);
    op(CMPSET,        "CMPSET",        I::None,     2, 0, 0, 0);
    op(JEQ,           "JEQ",           I::None,     1, 0, 0, 0);
    op(MODI,          "MODI",          I::None,     2, 0, 1, 0);
    op(LIGHT,         "LIGHT",         I::None,     2, 4, 0, 0);
    op(TIME,          "TIME",          I::None,     0, 0, 1, 0);
    op(LOCALTIME,     "LOCALTIME",     I::None,     0, 0, 1, 0);
    op(PROGRESS,      "PROGRESS",      I::None,     0, 0, 0, 1);
    op(ITOF,          "ITOF",          I::None,     1, 0, 0, 1);
    op(FTOI,          "FTOI",          I::None,     0, 1, 1, 0);
    op(P_COUNT,       "P_COUNT",       I::None,     1, 0, 0, 0);
    op(P_SEED,        "P_SEED",        I::None,     1, 0, 0, 0);
    op(P_RANGE,       "P_RANGE",       I::None,     1, 0, 0, 0);
    op(P_OFFX,        "P_OFFX",        I::None,     0, 1, 0, 0);
    op(P_OFFY,        "P_OFFY",        I::None,     0, 1, 0, 0);
    op(P_OFFZ,        "P_OFFZ",        I::None,     0, 1, 0, 0);
    op(P_SCALEX,      "P_SCALEX",      I::None,     0, 1, 0, 0);
    op(P_SCALEY,      "P_SCALEY",      I::None,     0, 1, 0, 0);
    op(P_SCALEZ,      "P_SCALEZ",      I::None,     0, 1, 0, 0);
    op(P_RED,         "P_RED",         I::None,     0, 1, 0, 0);
    op(P_GREEN,       "P_GREEN",       I::None,     0, 1, 0, 0);
    op(P_BLUE,        "P_BLUE",        I::None,     0, 1, 0, 0);
    op(P_HALFW,       "P_HALFW",       I::None,     0, 1, 0, 0);
    op(P_HALFH,       "P_HALFH",       I::None,     0, 1, 0, 0);
    op(PARTICLES,     "PARTICLES",     I::None,     0, 0, 0, 0);
    op(P_SPEEDX,      "P_SPEEDX",      I::None,     1, 0, 0, 0);
    op(P_SPEEDY,      "P_SPEEDY",      I::None,     1, 0, 0, 0);
    op(P_SPEEDZ,      "P_SPEEDZ",      I::None,     1, 0, 0, 0);
    op(BEAT,          "BEAT",          I::None,     1, 1, 0, 1);
    op(MESH_ALL,      "MESH_ALL",      I::None,     2, 1, 0, 0);
    op(MESH_GROUP,    "MESH_GROUP",    I::None,     3, 1, 0, 0);
    op(MESH_MATERIAL, "MESH_MATERIAL", I::None,     3, 1, 0, 0);
    op(RECT,          "RECT",          I::None,     0, 4, 0, 0);
    op(BOX,           "BOX",           I::None,     0, 3, 0, 0);
    op(RING,          "RING",          I::None,     1, 2, 0, 0);
    op(SPHERE,        "SPHERE",        I::None,     1, 1, 0, 0);
    op(DISC,          "DISC",          I::None,     1, 1, 0, 0);
    op(CONE,          "CONE",          I::None,     1, 2, 0, 0);
    op(CALL,          "CALL",          I::None,     1, 0, 0, 0);
    op(CLIPXFORM,     "CLIPXFORM",     I::None,     0, 0, 0, 0);
    op(RAYS,          "RAYS",          I::None,     1, 2, 0, 0);
    op(SHADOW,        "SHADOW",        I::None,     0, 3, 0, 0);
    op(PATH,          "PATH",          I::None,     1, 0, 0, 0);
    op(PATHPART,      "PATHPART",      I::None,     1, 1, 0, 0);
    op(QUIT,          "QUIT",          I::None,     0, 0, 0, 0);
    // clang-format on
    return t;
}
}  // namespace detail

inline constexpr std::array<OpcodeInfo, 256> kOpcodes = detail::BuildOpcodeTable();

// Length of the instruction that starts with this opcode byte: 1, 2 or 5.
constexpr int InstructionLength(uint8_t opcode) {
    switch (kOpcodes[opcode].operand) {
        case Inline::Int32:
        case Inline::Float32: return 5;
        case Inline::IntVar:
        case Inline::FloatVar: return 2;
        default: return 1;
    }
}

// The 4-byte inline operand of PUSHI / PUSHF at p, little-endian, as raw bits.
constexpr uint32_t InlineBits(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Opcode of a mnemonic (case-sensitive), or -1.
constexpr int FindOpcode(std::string_view mnemonic) {
    for (int i = 0; i < 256; ++i)
        if (!kOpcodes[i].mnemonic.empty() && kOpcodes[i].mnemonic == mnemonic) return i;
    return -1;
}

}  // namespace demo
