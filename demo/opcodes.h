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
    // For authors (`qv help`, docs/reference.md, `qv check`): the names of what it pops, in the
    // order a script pushes them (the last one is on top), what it does and a short example
    // (lines separated by '\n').
    std::string_view intNames, floatNames;
    std::string_view summary;
    std::string_view example;
    // What an author must know beyond the summary (a habit of the engine, a trap), or empty.
    std::string_view note;
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
        OpcodeInfo& o = t[code];
        o.mnemonic = m;
        o.operand = in;
        o.popInts = uint8_t(pi), o.popFloats = uint8_t(pf);
        o.pushInts = uint8_t(ri), o.pushFloats = uint8_t(rf);
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

    // What each instruction is for, and the names of its operands in push order.
    auto doc = [&t](int code, std::string_view ints, std::string_view floats,
                    std::string_view summary, std::string_view example) {
        t[code].intNames = ints;
        t[code].floatNames = floats;
        t[code].summary = summary;
        t[code].example = example;
    };
    //   code          ints pushed                 floats pushed
    doc(PUSHI,         "", "", "pushes the inline 32-bit integer (or the offset of @label)", "PUSHI 42");
    doc(LOADI,         "", "", "pushes integer variable [index]", "LOADI 0");
    doc(PUSHF,         "", "", "pushes the inline float", "PUSHF 0.5");
    doc(LOADF,         "", "", "pushes float variable [index]", "LOADF 0");
    doc(STOREI,        "v", "", "integer variable [index] := v", "PUSHI 5\nSTOREI 0");
    doc(STOREF,        "", "v", "float variable [index] := v", "PUSHF 1.5\nSTOREF 0");
    doc(MULI,          "a b", "", "pushes a * b (32-bit, wrapping)", "PUSHI 6\nPUSHI 7\nMULI");
    doc(DIVI,          "a b", "", "pushes a / b rounded to the nearest integer, ties to even (7 / 2 = 4)", "PUSHI 7\nPUSHI 2\nDIVI");
    doc(ADDI,          "a b", "", "pushes a + b", "PUSHI 2\nPUSHI 3\nADDI");
    doc(SUBI,          "a b", "", "pushes a - b (deeper minus top)", "PUSHI 10\nPUSHI 3\nSUBI");
    doc(MULF,          "", "a b", "pushes a * b", "PUSHF 2\nPUSHF 0.5\nMULF");
    doc(DIVF,          "", "a b", "pushes a / b", "PUSHF 1\nPUSHF 4\nDIVF");
    doc(ADDF,          "", "a b", "pushes a + b", "PUSHF 1\nPUSHF 2\nADDF");
    doc(SUBF,          "", "a b", "pushes a - b (deeper minus top)", "PUSHF 1\nPUSHF 2\nSUBF");
    doc(SIN,           "", "a", "pushes the sine of a (radians)", "PROGRESS\nSIN");
    doc(TUNNEL,        "n", "r1 r2 t0 t1", "draws a tube along -z of n segments whose radius alternates between r1 and r2; t0, t1 the texture range", "PUSHI 16\nPUSHF 1\nPUSHF 2\nPUSHF 0\nPUSHF 1\nTUNNEL");
    doc(LINEWIDTH,     "", "w", "sets the line width", "PUSHF 2\nLINEWIDTH");
    doc(JMP,           "target", "", "continues at byte offset target; at most 50 per run, the 51st ends the script", "PUSHI @loop\nJMP");
    doc(PUSHMATRIX,    "", "", "saves the current transform", "PUSHMATRIX");
    doc(POPMATRIX,     "", "", "restores the transform saved last", "POPMATRIX");
    doc(TRANSLATE,     "", "x y z", "moves by (x, y, z)", "PUSHF 0\nPUSHF 0\nPUSHF -5\nTRANSLATE");
    doc(COLOR3,        "", "r g b", "sets the colour (0 to 1 each); only pops in a shadow pass", "PUSHF 1\nPUSHF 0.5\nPUSHF 0\nCOLOR3");
    doc(COLOR4,        "", "r g b a", "sets the colour with alpha; only pops in a shadow pass", "PUSHF 1\nPUSHF 1\nPUSHF 1\nPUSHF 0.5\nCOLOR4");
    doc(ROTATE,        "", "angle x y z", "rotates by angle degrees about the axis (x, y, z)", "PUSHF 45\nPUSHF 0\nPUSHF 1\nPUSHF 0\nROTATE");
    doc(BEGIN,         "mode", "", "starts a primitive (an OpenGL mode: 4 triangles, 7 quads)", "PUSHI 7\nBEGIN");
    doc(END,           "", "", "ends the primitive", "END");
    doc(VERTEX,        "", "x y z", "a vertex at (x, y, z)", "PUSHF 0\nPUSHF 1\nPUSHF 0\nVERTEX");
    doc(TEXCOORD,      "", "s t", "the texture coordinate of the next vertex", "PUSHF 0\nPUSHF 1\nTEXCOORD");
    doc(ENABLE,        "cap", "", "enables an OpenGL capability (3553 texturing, 3042 blending)", "PUSHI 3553\nENABLE");
    doc(DISABLE,       "cap", "", "disables an OpenGL capability", "PUSHI 3042\nDISABLE");
    doc(BLEND,         "sfactor dfactor", "", "sets the blend factors (OpenGL values: 770 source alpha, 1 one)", "PUSHI 770\nPUSHI 1\nBLEND");
    doc(BINDTEX,       "texture", "", "binds texture slot [texture]; -1 unbinds", "PUSHI 0\nBINDTEX");
    doc(TARGET_BEGIN,  "", "", "starts drawing into a 256 x 256 render target", "TARGET_BEGIN");
    doc(TARGET_END,    "texture", "", "copies the target pass into texture slot [texture] and ends it", "PUSHI 2\nTARGET_END");
    doc(MODEL,         "model", "", "draws model [model]", "PUSHI 0\nMODEL");
    doc(BLUR_BEGIN,    "", "", "starts drawing into the blur pass", "BLUR_BEGIN");
    doc(BLUR_END,      "", "", "ends the blur pass", "BLUR_END");
    doc(BLUR_DRAW,     "", "", "draws the blurred pass over the screen", "BLUR_DRAW");
    doc(CMPSET,        "p q", "", "sets the compare registers A := q, B := p for JEQ", "LOADI 0\nPUSHI 5\nCMPSET");
    doc(JEQ,           "target", "", "continues at byte offset target when A = B (not counted against the jump limit)", "PUSHI @done\nJEQ");
    doc(MODI,          "a b", "", "pushes the remainder of a / b, with the sign of a", "PUSHI 7\nPUSHI 3\nMODI");
    doc(LIGHT,         "light pname", "c3 c2 c1 c0", "sets a light parameter to (c0, c1, c2, c3); c0 is the top float", "PUSHI 16384\nPUSHI 4611\nPUSHF 0\nPUSHF 1\nPUSHF 1\nPUSHF 0\nLIGHT");
    doc(TIME,          "", "", "pushes the demo time in ms", "TIME");
    doc(LOCALTIME,     "", "", "pushes the time since the clip started in ms", "LOCALTIME");
    doc(PROGRESS,      "", "", "pushes the clip's progress, 0 at its start to 1 at its end", "PROGRESS");
    doc(ITOF,          "a", "", "pushes a as a float", "TIME\nITOF");
    doc(FTOI,          "", "a", "pushes a rounded to the nearest integer, ties to even", "PROGRESS\nFTOI");
    doc(P_COUNT,       "v", "", "particle count := v", "PUSHI 200\nP_COUNT");
    doc(P_SEED,        "v", "", "particle seed := v", "PUSHI 7\nP_SEED");
    doc(P_RANGE,       "v", "", "particle range := v", "PUSHI 1000\nP_RANGE");
    doc(P_OFFX,        "", "v", "particle offset x := v", "PUSHF 0\nP_OFFX");
    doc(P_OFFY,        "", "v", "particle offset y := v", "PUSHF 0\nP_OFFY");
    doc(P_OFFZ,        "", "v", "particle offset z := v", "PUSHF -5\nP_OFFZ");
    doc(P_SCALEX,      "", "v", "particle scale x := v", "PUSHF 1\nP_SCALEX");
    doc(P_SCALEY,      "", "v", "particle scale y := v", "PUSHF 1\nP_SCALEY");
    doc(P_SCALEZ,      "", "v", "particle scale z := v", "PUSHF 1\nP_SCALEZ");
    doc(P_RED,         "", "v", "particle red := v", "PUSHF 1\nP_RED");
    doc(P_GREEN,       "", "v", "particle green := v", "PUSHF 0.5\nP_GREEN");
    doc(P_BLUE,        "", "v", "particle blue := v", "PUSHF 0\nP_BLUE");
    doc(P_HALFW,       "", "v", "particle half width := v", "PUSHF 0.05\nP_HALFW");
    doc(P_HALFH,       "", "v", "particle half height := v", "PUSHF 0.05\nP_HALFH");
    doc(PARTICLES,     "", "", "draws the particle field at the demo time", "PARTICLES");
    doc(P_SPEEDX,      "v", "", "particle speed x := v", "PUSHI 10\nP_SPEEDX");
    doc(P_SPEEDY,      "v", "", "particle speed y := v", "PUSHI 10\nP_SPEEDY");
    doc(P_SPEEDZ,      "v", "", "particle speed z := v", "PUSHI 10\nP_SPEEDZ");
    doc(BEAT,          "beats", "bpm", "pushes the phase (0 to 1) of the demo time in a period of beats at bpm", "PUSHI 2\nPUSHF 120\nBEAT");
    doc(MESH_ALL,      "texBase model", "scale", "draws the whole OBJ mesh of model [model], textures from slot texBase", "PUSHI 4\nPUSHI 1\nPUSHF 1\nMESH_ALL");
    doc(MESH_GROUP,    "texBase group model", "scale", "draws one group of the OBJ mesh of model [model]", "PUSHI 4\nPUSHI 0\nPUSHI 1\nPUSHF 1\nMESH_GROUP");
    doc(MESH_MATERIAL, "texBase material model", "scale", "draws the faces of one material of the OBJ mesh of model [model]", "PUSHI 4\nPUSHI 0\nPUSHI 1\nPUSHF 1\nMESH_MATERIAL");
    doc(RECT,          "", "y0 x1 y1 x0", "draws the rectangle from (x0, y0) to (x1, y1) at z = -1", "PUSHF -1\nPUSHF 1\nPUSHF 1\nPUSHF -1\nRECT");
    doc(BOX,           "", "hz hy hx", "draws a box with half-extents hx, hy, hz", "PUSHF 1\nPUSHF 1\nPUSHF 1\nBOX");
    doc(RING,          "n", "rb ra", "draws a flat ring of n segments between radii ra and rb", "PUSHI 32\nPUSHF 1\nPUSHF 0.8\nRING");
    doc(SPHERE,        "n", "r", "draws a sphere of radius r with n segments", "PUSHI 16\nPUSHF 0.75\nSPHERE");
    doc(DISC,          "n", "r", "draws a flat disc of radius r with n segments", "PUSHI 32\nPUSHF 1\nDISC");
    doc(CONE,          "n", "h r", "draws a cone of height h and radius r with n segments", "PUSHI 16\nPUSHF 2\nPUSHF 1\nCONE");
    doc(CALL,          "script", "", "runs script [script]; it starts with empty stacks, and what it leaves is what the caller finds", "PUSHI 3\nCALL");
    doc(CLIPXFORM,     "", "", "applies the clip's translation and rotation", "CLIPXFORM");
    doc(RAYS,          "n", "k r", "draws rays from a sphere of radius r out to k times r (k < 1: inward), fading; n sets the density", "PUSHI 24\nPUSHF 1.5\nPUSHF 2\nRAYS");
    doc(SHADOW,        "", "z y x", "runs this script again in black, offset by (x, y, z), without depth test", "PUSHF -0.1\nPUSHF -0.1\nPUSHF 0.1\nSHADOW");
    doc(PATH,          "path", "", "draws path [path] whole", "PUSHI 0\nPATH");
    doc(PATHPART,      "path", "amount", "draws the first amount (0 to 1) of path [path]", "PUSHI 0\nPROGRESS\nPATHPART");
    doc(QUIT,          "", "", "ends the demo after this frame; the script goes on", "QUIT");

    // The habits of the engine an author meets, at the instruction they concern.
    auto note = [&t](int code, std::string_view text) { t[code].note = text; };
    note(JMP, "Loops built from CMPSET and JEQ are not counted: use them for loops of more than 50 turns.");
    note(PUSHMATRIX, "The transform is not reset between clips: each frame starts from the identity, and every track's script starts with the transform the scripts before it left. Wrap what a script moves in PUSHMATRIX ... POPMATRIX, so that the tracks after it start where it did; qv check warns about a script that leaves them unbalanced.");
    note(POPMATRIX, "Pair it with a PUSHMATRIX of the same script: a script that pops more than it pushed undoes the transform of the scripts before it, one that pushes more leaves its transform to the tracks after it.");
    note(TRANSLATE, "The move stays for the rest of the frame, in the later tracks' scripts too: wrap it in PUSHMATRIX ... POPMATRIX.");
    note(ROTATE, "The rotation stays for the rest of the frame, in the later tracks' scripts too: wrap it in PUSHMATRIX ... POPMATRIX.");
    note(CLIPXFORM, "It multiplies onto the current transform, which carries over from the scripts before (wrap it in PUSHMATRIX ... POPMATRIX). Every script that ends normally sets the clip transform to zero, a called one (CALL) and a SHADOW pass too: apply it before the first CALL or SHADOW.");
    note(CALL, "The called script sets the clip transform to zero when it ends: use CLIPXFORM before the first CALL. What it does to the transform stays in effect for the caller.");
    note(SHADOW, "The whole script runs again from its first instruction, so put SHADOW near the start, and place the object with TRANSLATE and ROTATE rather than CLIPXFORM: the pass ends by setting the clip transform to zero.");
    note(RECT, "As a background it must not write depth at z = -1, in front of everything else: DISABLE 2929 (the depth test) before it and ENABLE 2929 after it, or it hides whatever later tracks draw behind z = -1.");
    note(BINDTEX, "Texturing is on from the start: to draw untextured, bind a slot written as `none` (an index outside the table works too, but qv check reports it).");
    note(TARGET_BEGIN, "Clears the whole back buffer (colour and depth), whatever the viewport: put passes on track 0 or at the start of a script, the visible scene after them. Saves the transform (the pass draws with it, and TARGET_END restores it) and draws into the 256 x 256 lower-left corner with the window's projection, so the picture comes out squeezed by the window's aspect: show it on a face of the same aspect (BOX with hx = 1.3333, hy = 1 for 4:3). The window must be at least 256 pixels tall.");
    note(TARGET_END, "Copies the lower-left 256 x 256 pixels into the slot (a `target` texture), clears the whole back buffer again and restores the transform saved by TARGET_BEGIN: the visible scene comes after it.");
    note(BLUR_BEGIN, "Clears the whole back buffer (colour and depth): put it on track 0 or at the start of a script, the visible scene after BLUR_END. Saves the transform (BLUR_END restores it) and draws into an 8 x 8 corner with the window's projection.");
    note(BLUR_END, "Copies the 8 x 8 corner into the blur texture, clears the whole back buffer again and restores the transform saved by BLUR_BEGIN; BLUR_DRAW shows the result.");
    note(BLUR_DRAW, "The overlay is a quad 2 units tall and 8/3 wide at z = 0 of the current transform, where the camera cannot see it: put the pass's own translate in front of it, PUSHMATRIX, TRANSLATE by (0, 0, -2.4142), BLUR_DRAW, POPMATRIX. At 1 / tan 22.5 = 2.4142 it fills the 45-degree view exactly. Colour, depth test and blending are the script's (DISABLE 2929, ENABLE 3042 and BLEND 770 1 add the glow); it leaves the blur texture bound.");
    note(PARTICLES, "Each particle shows the texture's corner 0 to 0.1 only: draw the sprite's dot there (a texture program's Disc 25 25 16).");
    note(MODEL, "Generated models have no scale operand: size them in the object program (Shrink, Grow). Their normals are stored as absolute values, so light from one side lights both.");
    note(LIGHT, "ENABLE 2903 (GL_COLOR_MATERIAL) lets COLOR3 colour lit objects.");
    // clang-format on
    return t;
}
}  // namespace detail

inline constexpr std::array<OpcodeInfo, 256> kOpcodes = detail::BuildOpcodeTable();

// Words of a space-separated list of names.
constexpr int CountNames(std::string_view names) {
    int n = 0;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] != ' ' && (i == 0 || names[i - 1] == ' ')) ++n;
    return n;
}

// Every instruction names each operand it pops and says what it does.
constexpr bool OpcodeDocsComplete() {
    for (const OpcodeInfo& o : kOpcodes)
        if (!o.mnemonic.empty() &&
            (CountNames(o.intNames) != o.popInts || CountNames(o.floatNames) != o.popFloats ||
             o.summary.empty() || o.example.empty()))
            return false;
    return true;
}
static_assert(OpcodeDocsComplete());

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
