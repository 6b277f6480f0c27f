// The effect opcodes: textures, render-target and blur passes, sprite-field registers,
// drawing effects and meshes. Each pops exactly its operands (integers first, then floats,
// top of stack first) through the checked stack operations, so a missing operand gives the
// stack error even where the effect would draw nothing. The effects themselves are not
// attached yet: after the pops every effect opcode is silent.
#include "scripter/machine.h"
#include "scripter/opcodes.h"

namespace scripter::detail {
namespace {

constexpr std::array<bool, 256> BuildEffectSet() {
    std::array<bool, 256> set{};
    auto range = [&set](int first, int last) {
        for (int op = first; op <= last; ++op) set[size_t(op)] = true;
    };
    range(TUNNEL, TUNNEL);
    range(BINDTEX, BLUR_DRAW);        // 38 .. 44
    range(P_COUNT, P_SPEEDZ);         // 55 .. 72
    range(MESH_ALL, MESH_MATERIAL);   // 74 .. 76
    range(RECT, CONE);                // 91 .. 96
    range(RAYS, RAYS);
    range(PATH, PATHPART);            // 150, 151
    return set;
}

constexpr std::array<bool, 256> kEffectOpcodes = BuildEffectSet();

}  // namespace

bool IsEffectOpcode(uint8_t op) { return kEffectOpcodes[op]; }

void RunEffectOpcode(uint8_t op, const InvocationArgs&) {
    const OpcodeInfo& info = kOpcodes[op];
    for (int i = 0; i < info.popInts; ++i) PopInt();
    for (int i = 0; i < info.popFloats; ++i) PopFloat();
    if (Machine().fatal) return;
    // The effect of op is called here, with the operands popped above.
}

}  // namespace scripter::detail
