// The script interpreter: runs compiled scripts on the program-wide stack machine (two
// 32-slot stacks, the variable arrays, clip transform, compare registers, shadow state,
// QuitFlag, TargetPassDepth). The machine state is shared by every invocation, nested ones
// included; only the program counter and the jump counter belong to one invocation.
//
// A stack error is fatal: its "bad error" box is shown and the fatal flag is raised, which
// ends every running invocation at once without another GL call. The caller (frame loop,
// qv trace) checks FatalErrorRaised() and ends the process.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "demo/script.h"

namespace scripter {

inline constexpr int kStackSlots = 32;                     // per stack
inline constexpr int kJumpLimit = 50;                      // JMPs per invocation; the 51st ends it
inline constexpr int kAddressableVars = 256;               // a variable index is one byte
inline constexpr int kMaxNesting = 64;                     // invocations deep (CALL and SHADOW)
inline constexpr int64_t kInstructionBudget = 10'000'000;  // per top-level RunScript

// Hands the script table (kept by reference: it lives for the whole run) and the stored
// variable counts to the machine and zeroes the variables. Only the first 256 variables
// of each kind can be addressed, so no more than that many are kept.
void LoadScriptEngine(std::span<const demo::Script> scripts, int32_t intVarCount,
                      int32_t floatVarCount);

// Another script table of the same demo (a workbench's edit), the machine as it is.
void ReplaceScriptTable(std::span<const demo::Script> scripts);

// The demo's path strings, which PATH and PATHPART draw by index.
void LoadPathStrings(std::vector<std::string> paths);

// Runs one invocation of script with the frame's time, the clip's local time and progress.
void RunScript(const demo::Script& script, int32_t time, int32_t localTime, float progress);

// The running clip's translation and rotation angles (degrees), for CLIPXFORM.
void SetClipTransform(float tx, float ty, float tz, float rx, float ry, float rz);

bool QuitFlag();
bool FatalErrorRaised();
// Top-level script runs cut short by the instruction budget since the engine was reset (the
// player draws on; a workbench stops to say so).
int64_t BudgetsExhausted();
// Every capability ENABLE or DISABLE has named since the reset, each once.
const std::vector<uint32_t>& NamedCapabilities();
int32_t TargetPassDepth();
void SetTargetPassDepth(int32_t depth);

// Shows "bad error" with message and raises the fatal flag (at most one message per run).
void ScriptFatal(const char* message);

// Where the fatal error happened, for the author: the innermost running script (its index in
// the script table, -1 for one outside it), the offset of the instruction and the invocation's
// time argument.
struct FatalSite {
    std::string message;
    int32_t script = -1;
    int64_t offset = 0;
    int32_t time = 0;
};
// Null while no fatal error has been raised.
const FatalSite* FatalErrorSite();

// --- observation and reset, for tests and tools -------------------------------------------

struct MachineSnapshot {
    int intDepth = 0, floatDepth = 0;
    int32_t ints[kStackSlots] = {};
    float floats[kStackSlots] = {};
    float clipTransform[6] = {};
    int32_t compareA = 0, compareB = 0;
    bool shadowMode = false;
};
MachineSnapshot Snapshot();
int32_t IntVariable(int index);  // 0 outside the array
float FloatVariable(int index);  // 0 outside the array

// The whole script engine back to its state at program start: the machine (no scripts, no
// variables, every flag cleared), the particle registers and the passes' window size.
void ResetScriptEngine();

}  // namespace scripter
