// Private to the scripter: the one machine-state struct and the checked stack operations,
// shared by the interpreter's dispatch and the effect opcodes.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "scripter/scripter.h"

namespace scripter::detail {

struct MachineState {
    std::array<int32_t, kStackSlots> ints{};
    std::array<float, kStackSlots> floats{};
    int intDepth = 0, floatDepth = 0;
    std::vector<int32_t> intVars;  // min(max(count, 0), 256) entries
    std::vector<float> floatVars;
    std::span<const demo::Script> scripts;
    std::array<float, 6> clipTransform{};  // tx, ty, tz, rx, ry, rz
    int32_t compareA = 0, compareB = 0;
    std::array<float, 4> lightVector{};
    bool shadowMode = false;
    std::array<float, 3> shadowOffset{};
    bool quit = false;
    bool fatal = false;
    FatalSite fatalSite;
    bool fatalSiteKnown = false;  // set by the innermost invocation, which sees the error first
    int32_t targetPassDepth = 0;
    std::vector<std::string> pathStrings;  // PATH and PATHPART read these
    int nesting = 0;                       // invocations currently running
    int64_t budgetLeft = 0;                // instructions left for the running top-level invocation
    bool budgetExhausted = false;  // then every running invocation ends early, up to the top
    int64_t budgetsExhausted = 0;  // top-level runs cut short by the budget since the reset
    // Every value ENABLE or DISABLE has named since the reset, each once (at most
    // kMostCapabilities): a checkpoint reads these capabilities back from the driver.
    std::vector<uint32_t> capabilities;
};

// More distinct capabilities than OpenGL has; values past it are not remembered.
inline constexpr size_t kMostCapabilities = 512;

MachineState& Machine();

// The arguments of one invocation, which the effect opcodes read as well.
struct InvocationArgs {
    int32_t time;
    int32_t localTime;
    float progress;
};

// Checked stack operations: an overflow or underflow calls ScriptFatal. After the fatal flag
// is raised pops return 0 and pushes do nothing, so no second message appears.
void PushInt(int32_t v);
void PushFloat(float v);
int32_t PopInt();
float PopFloat();

// Effect opcodes (code in effect_ops.cpp): true for the byte values that dispatch there.
bool IsEffectOpcode(uint8_t op);
void RunEffectOpcode(uint8_t op, const InvocationArgs& args);

}  // namespace scripter::detail
