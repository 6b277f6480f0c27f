#include "scripter/scripter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/numeric.h"
#include "demo/opcodes.h"
#include "gl/gl_layer.h"
#include "platform/message_box.h"
#include "scripter/effects.h"
#include "scripter/machine.h"
#include "scripter/passes.h"

namespace scripter {

using namespace demo;  // the opcode table
namespace detail {
namespace {
MachineState g_state;
}  // namespace

MachineState& Machine() { return g_state; }

namespace {

void NoteCapability(uint32_t cap) {
    std::vector<uint32_t>& caps = g_state.capabilities;
    if (caps.size() < kMostCapabilities && std::find(caps.begin(), caps.end(), cap) == caps.end())
        caps.push_back(cap);
}

}  // namespace

void PushInt(int32_t v) {
    if (g_state.fatal) return;
    if (g_state.intDepth >= kStackSlots) return ScriptFatal("Stack error (int push)");
    g_state.ints[g_state.intDepth++] = v;
}

void PushFloat(float v) {
    if (g_state.fatal) return;
    if (g_state.floatDepth >= kStackSlots) return ScriptFatal("Stack error (float push)");
    g_state.floats[g_state.floatDepth++] = v;
}

int32_t PopInt() {
    if (g_state.fatal) return 0;
    if (g_state.intDepth <= 0) {
        ScriptFatal("Stack error (int pop)");
        return 0;
    }
    return g_state.ints[--g_state.intDepth];
}

float PopFloat() {
    if (g_state.fatal) return 0;
    if (g_state.floatDepth <= 0) {
        ScriptFatal("Stack error (float pop)");
        return 0;
    }
    return g_state.floats[--g_state.floatDepth];
}

}  // namespace detail

namespace {

using namespace detail;
using core::Extended;

MachineState& M() { return Machine(); }

bool Halted() { return M().fatal || M().budgetExhausted; }

enum class Ending { Normal, Early };

float InlineFloat(const uint8_t* p) {
    uint32_t bits = InlineBits(p);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// Variables beyond the stored count (or the 256 addressable ones) read 0; writes are dropped.
int32_t LoadIntVar(uint8_t index) { return index < M().intVars.size() ? M().intVars[index] : 0; }
float LoadFloatVar(uint8_t index) {
    return index < M().floatVars.size() ? M().floatVars[index] : 0.0f;
}
void StoreIntVar(uint8_t index, int32_t v) {
    if (index < M().intVars.size()) M().intVars[index] = v;
}
void StoreFloatVar(uint8_t index, float v) {
    if (index < M().floatVars.size()) M().floatVars[index] = v;
}

// 32-bit two's-complement arithmetic that wraps instead of overflowing.
int32_t WrapAdd(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
int32_t WrapSub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }
int32_t WrapMul(int32_t a, int32_t b) { return int32_t(uint32_t(a) * uint32_t(b)); }

// DIVI: a * (1 / b) in extended precision, rounded to nearest, ties to even. b = 0 gives an
// infinity or NaN, which converts to the integer indefinite INT32_MIN, as on the x87.
int32_t DivideRounded(int32_t a, int32_t b) {
    return core::RoundToInt32(Extended(a) * (1.0L / Extended(b)));
}

// MODI: remainder truncated towards zero (sign of a). b = 0 would trap: it gives 0. So does
// b = -1, whose remainder is always 0 and whose INT32_MIN case would trap as well.
int32_t Remainder(int32_t a, int32_t b) {
    if (b == 0 || b == -1) return 0;
    return a % b;
}

// SIN: the x87 fsin leaves arguments of magnitude 2^63 and more unreduced; they give 0.
float Sine(float a) {
    Extended x = a;
    if (std::fabs(x) >= 9223372036854775808.0L) return 0.0f;
    return float(core::Sin(x));
}

// BEAT: msPerBeat = 60 / bpm * 1000; period = round(beats * msPerBeat) (ties to even);
// phase = (time as unsigned 32-bit) mod period / period. Returns false when the period is 0,
// or when the product has no integer value at all (bpm 0 or NaN: infinity or NaN), both of
// which end the invocation early.
bool BeatPhase(int32_t beats, float bpm, int32_t time, float& phase) {
    Extended msPerBeat = 60.0L / Extended(bpm) * 1000.0L;
    Extended product = Extended(beats) * msPerBeat;
    if (!std::isfinite(product)) return false;
    int64_t period = core::RoundToInt64(product);
    if (period == 0) return false;
    int64_t t = int64_t(uint32_t(time));
    int64_t rest = t % period;  // t >= 0, so even period INT64_MIN cannot overflow
    phase = float(Extended(rest) / Extended(period));
    return true;
}

Ending RunInvocation(const demo::Script& script, const InvocationArgs& args);

// Runs a nested invocation (CALL, SHADOW). Past the nesting cap the calling invocation ends
// early instead, so a script that calls itself cannot exhaust the native stack.
bool RunNested(const demo::Script& script, const InvocationArgs& args) {
    if (M().nesting >= kMaxNesting) return false;
    RunInvocation(script, args);
    return true;
}

// SHADOW outside ShadowMode: the same script once more, black, offset, without depth test.
bool RunShadowPass(const demo::Script& script, const InvocationArgs& args, float x, float y,
                   float z) {
    MachineState& m = M();
    m.shadowMode = true;
    m.shadowOffset = {x, y, z};
    bool ran = RunNested(script, args);
    m.shadowMode = false;
    return ran;
}

void ApplyClipTransform() {
    const auto& c = M().clipTransform;
    gl::glTranslatef(c[0], c[1], c[2]);
    gl::glRotatef(c[3], 1, 0, 0);
    gl::glRotatef(c[4], 0, 1, 0);
    gl::glRotatef(c[5], 0, 0, 1);
}

void NoteFatalSite(const demo::Script& script, int64_t pc, const InvocationArgs& args) {
    MachineState& m = M();
    if (m.fatalSiteKnown) return;
    m.fatalSiteKnown = true;
    const bool inTable = !m.scripts.empty() && &script >= m.scripts.data() &&
                         &script < m.scripts.data() + m.scripts.size();
    m.fatalSite.script = inTable ? int32_t(&script - m.scripts.data()) : -1;
    m.fatalSite.offset = pc;
    m.fatalSite.time = args.time;
}

// The instruction loop. The program counter runs while it is below the code length; a jump
// target outside 0 .. length-1 and an instruction cut off by the end of the code both end
// the invocation normally, without reading past the code.
Ending Execute(const demo::Script& script, const InvocationArgs& args) {
    MachineState& m = M();
    const int64_t codeEnd = std::min<int64_t>(script.length, int64_t(script.code.size()));
    int64_t pc = 0;
    int jumps = 0;
    while (pc < codeEnd) {
        if (Halted()) return Ending::Early;
        if (m.budgetLeft <= 0) {
            if (!m.budgetExhausted) ++m.budgetsExhausted;
            m.budgetExhausted = true;
            return Ending::Early;
        }
        --m.budgetLeft;
        const uint8_t op = script.code[pc];
        const int length = InstructionLength(op);
        if (pc + length > codeEnd) return Ending::Normal;
        const uint8_t* operand = script.code.data() + pc + 1;
        int64_t next = pc + length;

        switch (op) {
            case PUSHI: PushInt(int32_t(InlineBits(operand))); break;
            case LOADI: PushInt(LoadIntVar(operand[0])); break;
            case PUSHF: PushFloat(InlineFloat(operand)); break;
            case LOADF: PushFloat(LoadFloatVar(operand[0])); break;
            case STOREI: {
                int32_t v = PopInt();
                if (!m.fatal) StoreIntVar(operand[0], v);
                break;
            }
            case STOREF: {
                float v = PopFloat();
                if (!m.fatal) StoreFloatVar(operand[0], v);
                break;
            }
            case MULI:
            case DIVI:
            case ADDI:
            case SUBI:
            case MODI: {
                int32_t b = PopInt(), a = PopInt();
                if (m.fatal) break;
                int32_t r = op == MULI   ? WrapMul(a, b)
                            : op == DIVI ? DivideRounded(a, b)
                            : op == ADDI ? WrapAdd(a, b)
                            : op == SUBI ? WrapSub(a, b)
                                         : Remainder(a, b);
                PushInt(r);
                break;
            }
            case MULF:
            case DIVF:
            case ADDF:
            case SUBF: {
                Extended b = PopFloat(), a = PopFloat();
                if (m.fatal) break;
                Extended r = op == MULF   ? a * b
                             : op == DIVF ? a * (1.0L / b)
                             : op == ADDF ? a + b
                                          : a - b;
                PushFloat(float(r));
                break;
            }
            case SIN: {
                float a = PopFloat();
                PushFloat(Sine(a));
                break;
            }
            case LINEWIDTH: {
                float w = PopFloat();
                if (!m.fatal) gl::glLineWidth(w);
                break;
            }
            case JMP: {
                if (++jumps > kJumpLimit) return Ending::Early;
                int32_t target = PopInt();
                if (m.fatal) break;
                if (target < 0) return Ending::Normal;
                next = target;
                break;
            }
            case PUSHMATRIX: gl::glPushMatrix(); break;
            case POPMATRIX: gl::glPopMatrix(); break;
            case TRANSLATE:
            case VERTEX: {
                float z = PopFloat(), y = PopFloat(), x = PopFloat();
                if (m.fatal) break;
                if (op == TRANSLATE) gl::glTranslatef(x, y, z);
                else gl::glVertex3f(x, y, z);
                break;
            }
            case COLOR3: {
                float b = PopFloat(), g = PopFloat(), r = PopFloat();
                if (!m.fatal && !m.shadowMode) gl::glColor3f(r, g, b);
                break;
            }
            case COLOR4: {
                float a = PopFloat(), b = PopFloat(), g = PopFloat(), r = PopFloat();
                if (!m.fatal && !m.shadowMode) gl::glColor4f(r, g, b, a);
                break;
            }
            case ROTATE: {
                float z = PopFloat(), y = PopFloat(), x = PopFloat(), angle = PopFloat();
                if (!m.fatal) gl::glRotatef(angle, x, y, z);
                break;
            }
            case BEGIN:
            case ENABLE:
            case DISABLE: {
                uint32_t v = uint32_t(PopInt());
                if (m.fatal) break;
                if (op == BEGIN) {
                    gl::glBegin(v);
                    break;
                }
                NoteCapability(v);
                if (op == ENABLE) gl::glEnable(v);
                else gl::glDisable(v);
                break;
            }
            case END: gl::glEnd(); break;
            case TEXCOORD: {
                float t = PopFloat(), s = PopFloat();
                if (!m.fatal) gl::glTexCoord2f(s, t);
                break;
            }
            case BLEND: {
                int32_t dfactor = PopInt(), sfactor = PopInt();
                if (!m.fatal) gl::glBlendFunc(uint32_t(sfactor), uint32_t(dfactor));
                break;
            }
            case CMPSET: {
                int32_t q = PopInt(), p = PopInt();
                if (m.fatal) break;
                m.compareA = q;
                m.compareB = p;
                break;
            }
            case JEQ: {
                int32_t target = PopInt();
                if (m.fatal || m.compareA != m.compareB) break;
                if (target < 0) return Ending::Normal;
                next = target;
                break;
            }
            case LIGHT: {
                int32_t pname = PopInt(), light = PopInt();
                float c0 = PopFloat(), c1 = PopFloat(), c2 = PopFloat(), c3 = PopFloat();
                if (m.fatal) break;
                m.lightVector = {c0, c1, c2, c3};
                gl::glLightfv(uint32_t(light), uint32_t(pname), m.lightVector.data());
                break;
            }
            case TIME: PushInt(args.time); break;
            case LOCALTIME: PushInt(args.localTime); break;
            case PROGRESS: PushFloat(args.progress); break;
            case ITOF: {
                int32_t a = PopInt();
                if (!m.fatal) PushFloat(float(a));
                break;
            }
            case FTOI: {
                float a = PopFloat();
                if (!m.fatal) PushInt(core::RoundToInt32(a));
                break;
            }
            case BEAT: {
                float bpm = PopFloat();
                int32_t beats = PopInt();
                if (m.fatal) break;
                float phase = 0;
                if (!BeatPhase(beats, bpm, args.time, phase)) return Ending::Early;
                PushFloat(phase);
                break;
            }
            case CALL: {
                int32_t index = PopInt();
                if (m.fatal || index < 0 || size_t(index) >= m.scripts.size()) break;
                if (!RunNested(m.scripts[size_t(index)], args)) return Ending::Early;
                break;
            }
            case CLIPXFORM: ApplyClipTransform(); break;
            case SHADOW: {
                float x = PopFloat(), y = PopFloat(), z = PopFloat();
                if (m.fatal || m.shadowMode) break;
                if (!RunShadowPass(script, args, x, y, z)) return Ending::Early;
                break;
            }
            case QUIT: m.quit = true; break;
            default:
                if (IsEffectOpcode(op)) RunEffectOpcode(op, args);
                break;  // every other byte value is a one-byte no-operation
        }
        if (m.fatal) {
            NoteFatalSite(script, pc, args);
            return Ending::Early;
        }
        pc = next;
    }
    return Halted() ? Ending::Early : Ending::Normal;
}

// One invocation: fresh stacks, the shadow prologue, the code, and on a normal end the
// shadow epilogue and the cleared clip transform. An early end skips the epilogue.
Ending RunInvocation(const demo::Script& script, const InvocationArgs& args) {
    MachineState& m = M();
    ++m.nesting;
    m.intDepth = 0;
    m.floatDepth = 0;
    const auto& off = m.shadowOffset;
    if (m.shadowMode) {
        gl::glDisable(gl::GL_DEPTH_TEST);
        gl::glColor4f(0, 0, 0, 1);
        gl::glTranslatef(off[0], off[1], off[2]);
    }
    Ending ending = Execute(script, args);
    if (ending == Ending::Normal) {
        if (m.shadowMode) {
            gl::glTranslatef(-off[0], -off[1], -off[2]);
            gl::glEnable(gl::GL_DEPTH_TEST);
        }
        m.clipTransform = {};
    }
    --m.nesting;
    return ending;
}

}  // namespace

void LoadScriptEngine(std::span<const demo::Script> scripts, int32_t intVarCount,
                      int32_t floatVarCount) {
    auto addressable = [](int32_t count) {
        return size_t(std::clamp<int32_t>(count, 0, kAddressableVars));
    };
    MachineState& m = M();
    m.scripts = scripts;
    m.intVars.assign(addressable(intVarCount), 0);
    m.floatVars.assign(addressable(floatVarCount), 0.0f);
}

void ReplaceScriptTable(std::span<const demo::Script> scripts) { M().scripts = scripts; }

void LoadPathStrings(std::vector<std::string> paths) { M().pathStrings = std::move(paths); }

void RunScript(const demo::Script& script, int32_t time, int32_t localTime, float progress) {
    MachineState& m = M();
    if (m.fatal) return;
    if (m.nesting == 0) {
        m.budgetLeft = kInstructionBudget;
        m.budgetExhausted = false;
    }
    RunInvocation(script, InvocationArgs{time, localTime, progress});
}

void SetClipTransform(float tx, float ty, float tz, float rx, float ry, float rz) {
    M().clipTransform = {tx, ty, tz, rx, ry, rz};
}

bool QuitFlag() { return M().quit; }
bool FatalErrorRaised() { return M().fatal; }
int64_t BudgetsExhausted() { return M().budgetsExhausted; }

const std::vector<uint32_t>& NamedCapabilities() { return M().capabilities; }
int32_t TargetPassDepth() { return M().targetPassDepth; }
void SetTargetPassDepth(int32_t depth) { M().targetPassDepth = depth; }

void ScriptFatal(const char* message) {
    if (M().fatal) return;
    M().fatal = true;
    M().fatalSite.message = message;
    platform::ShowMessage("bad error", message);
}

const FatalSite* FatalErrorSite() { return M().fatalSiteKnown ? &M().fatalSite : nullptr; }

MachineSnapshot Snapshot() {
    const MachineState& m = M();
    MachineSnapshot s;
    s.intDepth = m.intDepth;
    s.floatDepth = m.floatDepth;
    std::copy(m.ints.begin(), m.ints.end(), s.ints);
    std::copy(m.floats.begin(), m.floats.end(), s.floats);
    std::copy(m.clipTransform.begin(), m.clipTransform.end(), s.clipTransform);
    s.compareA = m.compareA;
    s.compareB = m.compareB;
    s.shadowMode = m.shadowMode;
    return s;
}

int32_t IntVariable(int index) {
    return index >= 0 && size_t(index) < M().intVars.size() ? M().intVars[size_t(index)] : 0;
}
float FloatVariable(int index) {
    return index >= 0 && size_t(index) < M().floatVars.size() ? M().floatVars[size_t(index)] : 0.0f;
}

void ResetScriptEngine() {
    M() = MachineState{};
    effects::ResetEffects();
    passes::ResetPasses();
}

}  // namespace scripter
