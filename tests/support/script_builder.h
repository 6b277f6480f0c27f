// Test helper: bytecode written as a list of instructions, and clips, e.g.
//   Code({PushI(2), PushI(3), Do(ADDI), StoreI(0)})   (Do: an instruction without operand)
#pragma once
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include <string>
#include <utility>

#include "demo/clip.h"
#include "demo/demo_file.h"
#include "demo/opcodes.h"
#include "demo/script.h"
#include "demo/tex_program.h"
#include "demo/texture_ops.h"

namespace testing_scripts {

using Bytes = std::vector<uint8_t>;

inline Bytes Do(uint8_t op) { return {op}; }

inline Bytes WithI32(uint8_t op, uint32_t bits) {
    return {op, uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)};
}
inline Bytes PushI(int32_t v) { return WithI32(demo::PUSHI, uint32_t(v)); }
inline Bytes PushF(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return WithI32(demo::PUSHF, bits);
}
inline Bytes LoadI(uint8_t i) { return {demo::LOADI, i}; }
inline Bytes LoadF(uint8_t i) { return {demo::LOADF, i}; }
inline Bytes StoreI(uint8_t i) { return {demo::STOREI, i}; }
inline Bytes StoreF(uint8_t i) { return {demo::STOREF, i}; }

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// The instruction n times over.
inline Bytes Repeat(const Bytes& instruction, int n) {
    Bytes all;
    for (int i = 0; i < n; ++i) all.insert(all.end(), instruction.begin(), instruction.end());
    return all;
}

inline demo::Script MakeScript(const Bytes& code) {
    demo::Script s;
    s.length = int32_t(code.size());
    s.code = code;
    return s;
}

inline demo::Script Code(std::initializer_list<Bytes> parts) { return MakeScript(Join(parts)); }

inline demo::Clip MakeClip(uint8_t track, int32_t start, int32_t length, int32_t script) {
    demo::Clip c;
    c.track = track;
    c.start = start;
    c.length = length;
    c.scriptIndex = script;
    return c;
}

// A demo holding only these scripts and clips (counts filled in).
inline demo::DemoFile DemoWith(std::vector<demo::Script> scripts, std::vector<demo::Clip> clips) {
    demo::DemoFile d;
    d.title = "test";
    d.scriptCount = int32_t(scripts.size());
    d.scripts = std::move(scripts);
    d.clipCount = int32_t(clips.size());
    d.clips = std::move(clips);
    return d;
}

// Texture slots 0 and 1 empty (render targets), slot 2 a program filling it with 0x336699.
inline void AddRenderTargets(demo::DemoFile& d) {
    std::vector<uint8_t> program =
        demo::EncodeTexProgram({{demo::kFill, {{0x336699, ""}, {0, ""}, {0, ""}}}});
    const std::string programSlot =
        char(demo::kTextureProgram) + std::string(program.begin(), program.end());
    d.textureSources = {{0, ""}, {0, ""}, {int32_t(programSlot.size()), programSlot}};
    d.textureCount = 3;
}

}  // namespace testing_scripts
