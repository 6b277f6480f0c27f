#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gl/gl_layer.h"
#include "platform/message_box.h"
#include "scripter/scripter.h"
#include "tests/support/script_builder.h"

using namespace demo;
using namespace scripter;
using namespace testing_scripts;

namespace {

std::vector<std::string> g_messages;
void CaptureMessage(const std::string& caption, const std::string& text) {
    g_messages.push_back(caption + ": " + text);
}

class Interpreter : public ::testing::Test {
protected:
    std::string gl;
    std::vector<demo::Script> table;

    void SetUp() override {
        ResetScriptEngine();
        g_messages.clear();
        platform::SetMessageSink(CaptureMessage);
        gl::UseRecorder(&gl);
        LoadScriptEngine(table, 4, 4);
    }
    void TearDown() override { platform::SetMessageSink(nullptr); }

    // Runs script as a top-level invocation at time 1500, local time 500, progress 0.25.
    void Run(const demo::Script& s) { RunScript(s, 1500, 500, 0.25f); }
    void Run(std::initializer_list<Bytes> parts) { Run(Code(parts)); }
    void SetTable(std::vector<demo::Script> scripts, int32_t intVars = 4, int32_t floatVars = 4) {
        table = std::move(scripts);
        LoadScriptEngine(table, intVars, floatVars);
    }

    std::vector<int32_t> Ints() {
        MachineSnapshot s = Snapshot();
        return {s.ints, s.ints + s.intDepth};
    }
    std::vector<float> Floats() {
        MachineSnapshot s = Snapshot();
        return {s.floats, s.floats + s.floatDepth};
    }
    bool ClipTransformCleared() {
        MachineSnapshot s = Snapshot();
        for (float v : s.clipTransform)
            if (v != 0.0f) return false;
        return true;
    }
    int32_t IntResult(std::initializer_list<Bytes> parts) {
        Run(parts);
        return Ints().empty() ? -12345 : Ints().back();
    }
    float FloatResult(std::initializer_list<Bytes> parts) {
        Run(parts);
        return Floats().empty() ? -12345.0f : Floats().back();
    }
    size_t Count(const std::string& line) {
        size_t n = 0;
        for (size_t p = gl.find(line); p != std::string::npos; p = gl.find(line, p + 1)) ++n;
        return n;
    }
};

// --- encoding, arithmetic and conversions ------------------------------------------------

TEST_F(Interpreter, EmptyScriptDrawsNothingAndClearsTheClipTransform) {
    Run(Code({PushI(1), PushF(1)}));
    SetClipTransform(1, 2, 3, 4, 5, 6);
    Run(demo::Script{});
    EXPECT_EQ(gl, "");
    EXPECT_TRUE(Ints().empty() && Floats().empty());  // left-overs are discarded
    EXPECT_TRUE(ClipTransformCleared());
}

TEST_F(Interpreter, AddAndStoreExampleSetsTheVariable) {
    Run(MakeScript({0x00, 0x02, 0, 0, 0, 0x00, 0x03, 0, 0, 0, 0x08, 0x04, 0x00}));
    EXPECT_EQ(IntVariable(0), 5);
    EXPECT_TRUE(Ints().empty() && Floats().empty());
}

TEST_F(Interpreter, InlineOperandsAreLittleEndian) {
    Run(MakeScript({0x00, 0x01, 0, 0, 0, 0x02, 0x00, 0x00, 0x80, 0x3F}));
    EXPECT_EQ(Ints(), std::vector<int32_t>{1});
    EXPECT_EQ(Floats(), std::vector<float>{1.0f});
}

TEST_F(Interpreter, DiviRoundsToNearestEvenAndModiTruncates) {
    auto divi = [&](int32_t a, int32_t b) { return IntResult({PushI(a), PushI(b), Do(DIVI)}); };
    auto modi = [&](int32_t a, int32_t b) { return IntResult({PushI(a), PushI(b), Do(MODI)}); };
    EXPECT_EQ(divi(7, 2), 4);
    EXPECT_EQ(divi(5, 2), 2);
    EXPECT_EQ(divi(9, 4), 2);
    EXPECT_EQ(divi(-7, 2), -4);
    EXPECT_EQ(divi(6, 3), 2);  // 6 * (1/3) in extended precision still rounds to 2
    EXPECT_EQ(modi(-7, 2), -1);
    EXPECT_EQ(modi(7, -2), 1);
    EXPECT_EQ(IntResult({PushI(10), PushI(3), Do(SUBI)}), 7);
    EXPECT_EQ(FloatResult({PushF(10), PushF(3), Do(SUBF)}), 7.0f);
    EXPECT_EQ(IntResult({PushI(INT32_MAX), PushI(1), Do(ADDI)}), INT32_MIN);  // wraps
    EXPECT_EQ(IntResult({PushI(65536), PushI(65537), Do(MULI)}), 65536);
}

TEST_F(Interpreter, DivisionByZeroNeverTraps) {
    // DIVI: a * (1/0) is infinite or NaN, which converts to the integer indefinite.
    EXPECT_EQ(IntResult({PushI(7), PushI(0), Do(DIVI)}), INT32_MIN);
    EXPECT_EQ(IntResult({PushI(0), PushI(0), Do(DIVI)}), INT32_MIN);
    EXPECT_EQ(IntResult({PushI(INT32_MIN), PushI(-1), Do(DIVI)}), INT32_MIN);
    // MODI: the remainder by 0 is 0, and INT32_MIN mod -1 (a trap on x86) is 0.
    EXPECT_EQ(IntResult({PushI(7), PushI(0), Do(MODI)}), 0);
    EXPECT_EQ(IntResult({PushI(INT32_MIN), PushI(-1), Do(MODI)}), 0);
    // DIVF gives an infinity or NaN.
    EXPECT_TRUE(std::isinf(FloatResult({PushF(1), PushF(0), Do(DIVF)})));
    EXPECT_TRUE(std::isnan(FloatResult({PushF(0), PushF(0), Do(DIVF)})));
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(Interpreter, DivfMultipliesByTheReciprocalInExtendedPrecision) {
    EXPECT_EQ(FloatResult({PushF(1), PushF(3), Do(DIVF)}), 1.0f / 3.0f);
    EXPECT_EQ(FloatResult({PushF(6), PushF(4), Do(MULF)}), 24.0f);
    EXPECT_EQ(FloatResult({PushF(1), PushF(0.5f), Do(ADDF)}), 1.5f);
}

TEST_F(Interpreter, ConversionsRoundHalfToEvenAndHugeSinesAreZero) {
    EXPECT_EQ(IntResult({PushF(2.5f), Do(FTOI)}), 2);
    EXPECT_EQ(IntResult({PushF(3.5f), Do(FTOI)}), 4);
    EXPECT_EQ(IntResult({PushF(-2.5f), Do(FTOI)}), -2);
    EXPECT_EQ(IntResult({PushF(3e9f), Do(FTOI)}), INT32_MIN);
    EXPECT_EQ(FloatResult({PushI(16777217), Do(ITOF)}), 16777216.0f);
    EXPECT_EQ(FloatResult({PushF(9.3e18f), Do(SIN)}), 0.0f);
    EXPECT_EQ(FloatResult({PushF(-9.3e18f), Do(SIN)}), 0.0f);
    EXPECT_FLOAT_EQ(FloatResult({PushF(1.5707964f), Do(SIN)}), 1.0f);
}

TEST_F(Interpreter, InvocationArgumentsArePushed) {
    Run({Do(TIME), Do(LOCALTIME), Do(PROGRESS)});
    EXPECT_EQ(Ints(), (std::vector<int32_t>{1500, 500}));
    EXPECT_EQ(Floats(), std::vector<float>{0.25f});
}

// --- variables -----------------------------------------------------------------------------

TEST_F(Interpreter, VariablesPersistAndIndicesBeyondTheCountAreHarmless) {
    Run({PushI(41), StoreI(3), PushF(2.5f), StoreF(3), PushI(9), StoreI(4), PushF(9), StoreF(200)});
    Run({LoadI(3), LoadI(4), LoadF(3), LoadF(200)});
    EXPECT_EQ(Ints(), (std::vector<int32_t>{41, 0}));
    EXPECT_EQ(Floats(), (std::vector<float>{2.5f, 0.0f}));
}

TEST_F(Interpreter, HugeOrNegativeVariableCountsKeepOnlyTheAddressableVariables) {
    SetTable({}, INT32_MAX, -5);
    Run({PushI(7), StoreI(255), PushF(1), StoreF(0), LoadI(255), LoadF(0)});
    EXPECT_EQ(IntVariable(255), 7);
    EXPECT_EQ(IntVariable(256), 0);
    EXPECT_EQ(Ints(), std::vector<int32_t>{7});
    EXPECT_EQ(Floats(), std::vector<float>{0.0f});
}

// --- GL opcodes and operand order ----------------------------------------------------------

TEST_F(Interpreter, OperandsArePoppedTopFirstInTheDocumentedOrder) {
    // clang-format off
    Run({PushF(1), PushF(2), PushF(3), Do(TRANSLATE),
         PushF(90), PushF(0), PushF(1), PushF(0), Do(ROTATE),
         PushF(0.1f), PushF(0.2f), PushF(0.3f), PushF(0.4f), Do(COLOR4),
         PushF(0.5f), PushF(0.75f), Do(TEXCOORD),
         PushI(770), PushI(771), Do(BLEND),
         PushI(7), Do(BEGIN), PushF(-1), PushF(-2), PushF(-3), Do(VERTEX), Do(END),
         PushF(4), PushF(3), PushF(2), PushF(1), PushI(16384), PushI(4611), Do(LIGHT),
         PushF(2), Do(LINEWIDTH), PushI(3042), Do(ENABLE), PushI(3042), Do(DISABLE),
         Do(PUSHMATRIX), Do(POPMATRIX)});
    // clang-format on
    EXPECT_EQ(gl,
              "glTranslatef(1, 2, 3)\n"
              "glRotatef(90, 0, 1, 0)\n"
              "glColor4f(0.100000001, 0.200000003, 0.300000012, 0.400000006)\n"
              "glTexCoord2f(0.5, 0.75)\n"
              "glBlendFunc(770, 771)\n"
              "glBegin(7)\n"
              "glVertex3f(-1, -2, -3)\n"
              "glEnd()\n"
              "glLightfv(16384, 4611, [1, 2, 3, 4])\n"
              "glLineWidth(2)\n"
              "glEnable(3042)\n"
              "glDisable(3042)\n"
              "glPushMatrix()\n"
              "glPopMatrix()\n");
}

TEST_F(Interpreter, ClipTransformIsAppliedAndClearedAtTheNormalEnd) {
    SetClipTransform(1, 2, 3, 10, 20, 30);
    Run({Do(CLIPXFORM)});
    Run({Do(CLIPXFORM)});
    EXPECT_EQ(gl,
              "glTranslatef(1, 2, 3)\n"
              "glRotatef(10, 1, 0, 0)\n"
              "glRotatef(20, 0, 1, 0)\n"
              "glRotatef(30, 0, 0, 1)\n"
              "glTranslatef(0, 0, 0)\n"
              "glRotatef(0, 1, 0, 0)\n"
              "glRotatef(0, 0, 1, 0)\n"
              "glRotatef(0, 0, 0, 1)\n");
}

TEST_F(Interpreter, QuitSetsTheFlagAndTheScriptGoesOn) {
    Run({Do(QUIT), Do(PUSHMATRIX)});
    EXPECT_TRUE(QuitFlag());
    EXPECT_EQ(gl, "glPushMatrix()\n");
}

TEST_F(Interpreter, UndefinedOpcodesAreOneByteNoOperations) {
    demo::Script s = MakeScript({17, 23, 49, 77, 90, 101, 149, 152, 254, PUSHMATRIX});
    Run(s);
    EXPECT_EQ(gl, "glPushMatrix()\n");
    EXPECT_TRUE(Ints().empty() && Floats().empty() && g_messages.empty());
}

// --- jumps ---------------------------------------------------------------------------------

TEST_F(Interpreter, The51stJmpEndsTheInvocationEarlyWithoutPoppingItsTarget) {
    SetClipTransform(1, 1, 1, 1, 1, 1);
    Run({Do(PUSHMATRIX), PushI(0), Do(JMP)});
    EXPECT_EQ(Count("glPushMatrix()"), 51u);
    EXPECT_EQ(Ints(), std::vector<int32_t>{0});
    EXPECT_FALSE(ClipTransformCleared());  // early end: no clearing
}

TEST_F(Interpreter, JumpsLandOnTheTargetAndTargetsOutsideTheCodeEndNormally) {
    // 0 PUSHI 11 | 5 JMP | 6 PUSHI 99 | 11 POPMATRIX: the jump skips the PUSHI.
    Run({PushI(11), Do(JMP), PushI(99), Do(POPMATRIX)});
    EXPECT_EQ(gl, "glPopMatrix()\n");
    EXPECT_TRUE(Ints().empty());
    for (int32_t target : {1000, -1, INT32_MIN}) {
        gl.clear();
        SetClipTransform(1, 1, 1, 1, 1, 1);
        Run({PushI(target), Do(JMP), Do(PUSHMATRIX)});
        EXPECT_EQ(gl, "") << target;
        EXPECT_TRUE(ClipTransformCleared()) << target;
    }
}

TEST_F(Interpreter, JeqAlwaysPopsAndIsNotCountedAgainstTheJumpLimit) {
    // var0 += 1 until it reaches 200, looping back through JEQ far more than 50 times.
    demo::Script loop = Code({LoadI(0), PushI(1), Do(ADDI), StoreI(0),               //  0 .. 9
                              LoadI(0), PushI(200), Do(CMPSET), PushI(41), Do(JEQ),  // 10 .. 23
                              PushI(0), PushI(0), Do(CMPSET), PushI(0), Do(JEQ),     // 24 .. 40
                              Do(PUSHMATRIX)});                                      // 41
    Run(loop);
    EXPECT_EQ(IntVariable(0), 200);
    EXPECT_EQ(gl, "glPushMatrix()\n");
    EXPECT_TRUE(Ints().empty());
    Run({PushI(1), PushI(2), Do(CMPSET), PushI(0), Do(JEQ)});  // not equal: popped anyway
    EXPECT_TRUE(Ints().empty());
    EXPECT_EQ(Snapshot().compareA, 2);
    EXPECT_EQ(Snapshot().compareB, 1);
}

TEST_F(Interpreter, EndlessJeqLoopIsCutByTheInstructionBudget) {
    SetClipTransform(1, 1, 1, 1, 1, 1);
    demo::Script endless = Code({PushI(0), PushI(0), Do(CMPSET), PushI(0), Do(JEQ)});
    Run(endless);                          // returns
    EXPECT_FALSE(ClipTransformCleared());  // an early end
    // The budget belongs to one top-level run: the next one runs normally.
    Run({Do(PUSHMATRIX)});
    EXPECT_EQ(gl, "glPushMatrix()\n");
    EXPECT_FALSE(FatalErrorRaised());
}

// --- cut-off code ----------------------------------------------------------------------------

TEST_F(Interpreter, AnInstructionCutOffByTheEndOfTheCodeEndsTheInvocationNormally) {
    for (const Bytes& tail : {Bytes{PUSHI, 1, 2}, Bytes{PUSHF}, Bytes{STOREI}, Bytes{LOADF}}) {
        ResetScriptEngine();
        LoadScriptEngine(table, 4, 4);
        SetClipTransform(1, 1, 1, 1, 1, 1);
        Run(MakeScript(Join({Do(PUSHMATRIX), tail})));
        EXPECT_TRUE(Ints().empty() && Floats().empty());
        EXPECT_TRUE(ClipTransformCleared());
    }
    EXPECT_TRUE(g_messages.empty());
    // A stored length below the code size limits execution.
    gl.clear();
    demo::Script shorter = Code({Do(PUSHMATRIX), Do(POPMATRIX)});
    shorter.length = 1;
    Run(shorter);
    EXPECT_EQ(gl, "glPushMatrix()\n");
}

// --- stack errors ----------------------------------------------------------------------------

TEST_F(Interpreter, StackErrorsShowTheirMessageOnceAndStopAllDrawing) {
    struct Case {
        demo::Script script;
        const char* message;
    };
    std::vector<Case> cases = {
        {Code({Repeat(PushI(1), 33), Do(PUSHMATRIX)}), "bad error: Stack error (int push)"},
        {Code({Repeat(PushF(1), 33), Do(PUSHMATRIX)}), "bad error: Stack error (float push)"},
        {Code({Do(LINEWIDTH), Do(PUSHMATRIX)}), "bad error: Stack error (float pop)"},
        {Code({PushI(1), Do(BLEND), Do(PUSHMATRIX)}), "bad error: Stack error (int pop)"},
        // ints are popped first: LIGHT with no operands fails on the integer stack
        {Code({Do(LIGHT)}), "bad error: Stack error (int pop)"},
        // BEAT pops its bpm float first
        {Code({Do(BEAT)}), "bad error: Stack error (float pop)"},
        {Code({Do(JEQ)}), "bad error: Stack error (int pop)"},
    };
    for (const Case& c : cases) {
        ResetScriptEngine();
        g_messages.clear();
        gl.clear();
        Run(c.script);
        EXPECT_TRUE(FatalErrorRaised());
        EXPECT_EQ(g_messages, std::vector<std::string>{c.message});
        EXPECT_EQ(gl, "");
        Run({Do(PUSHMATRIX)});  // nothing runs after a fatal error
        EXPECT_EQ(gl, "");
    }
}

TEST_F(Interpreter, StackErrorInsideANestedRunEndsEveryInvocation) {
    SetTable({Code({Do(POPMATRIX), Do(END), Do(ADDI)})});
    Run({PushI(0), Do(CALL), Do(PUSHMATRIX)});
    EXPECT_EQ(gl, "glPopMatrix()\nglEnd()\n");
    EXPECT_EQ(g_messages, std::vector<std::string>{"bad error: Stack error (int pop)"});
}

// --- CALL and SHADOW ---------------------------------------------------------------------------

TEST_F(Interpreter, CallResetsTheStacksAndTheCallerFindsWhatTheCalleeLeft) {
    SetTable({Code({PushI(5)})});
    SetClipTransform(1, 2, 3, 4, 5, 6);
    Run({PushI(7), PushI(8), PushF(1), PushI(0), Do(CALL), Do(CLIPXFORM)});
    EXPECT_EQ(Ints(), std::vector<int32_t>{5});
    EXPECT_TRUE(Floats().empty());
    // the callee's normal end cleared the clip transform
    EXPECT_EQ(gl.substr(0, gl.find('\n')), "glTranslatef(0, 0, 0)");
}

TEST_F(Interpreter, CallOfAScriptOutsideTheTableOnlyPopsItsIndex) {
    SetTable({Code({Do(PUSHMATRIX)})});
    Run({PushI(1), Do(CALL), PushI(-1), Do(CALL), PushI(INT32_MAX), Do(CALL), Do(POPMATRIX)});
    EXPECT_EQ(gl, "glPopMatrix()\n");
    EXPECT_TRUE(Ints().empty());
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(Interpreter, SelfRecursionStopsAtTheNestingCap) {
    SetTable({Code({Do(PUSHMATRIX), PushI(0), Do(CALL), Do(POPMATRIX)})});
    Run(table[0]);
    // 64 invocations deep; the innermost ends early at its CALL, the 63 above it go on.
    EXPECT_EQ(Count("glPushMatrix()"), size_t(kMaxNesting));
    EXPECT_EQ(Count("glPopMatrix()"), size_t(kMaxNesting - 1));
    EXPECT_FALSE(FatalErrorRaised());
}

TEST_F(Interpreter, BranchingRecursionIsCutByTheBudgetAcrossNestedRuns) {
    // Each invocation counts itself in var0 and calls itself twice: 2^64 invocations
    // without the budget. With it, at most the budget's instructions run in all.
    SetTable(
        {Code({LoadI(0), PushI(1), Do(ADDI), StoreI(0), PushI(0), Do(CALL), PushI(0), Do(CALL)})});
    Run(table[0]);
    EXPECT_GT(IntVariable(0), kInstructionBudget / 8 - kMaxNesting);
    EXPECT_LE(IntVariable(0), kInstructionBudget / 4);
    EXPECT_EQ(BudgetsExhausted(), 1) << "one top-level run cut short, counted once";
    Run({Do(PUSHMATRIX)});  // the next top-level run has a budget of its own
    EXPECT_EQ(gl, "glPushMatrix()\n");
    EXPECT_EQ(BudgetsExhausted(), 1);
}

TEST_F(Interpreter, ShadowRunsTheScriptAgainBlackAndOffset) {
    Run({PushF(3), PushF(2), PushF(1), Do(SHADOW), PushF(1), PushF(0), PushF(0), Do(COLOR3),
         PushF(1), PushF(0), PushF(0), PushF(1), Do(COLOR4), PushI(7), Do(BEGIN)});
    EXPECT_EQ(gl,
              "glDisable(2929)\n"
              "glColor4f(0, 0, 0, 1)\n"
              "glTranslatef(1, 2, 3)\n"
              "glBegin(7)\n"  // the shadow run: its SHADOW and colours only pop
              "glTranslatef(-1, -2, -3)\n"
              "glEnable(2929)\n"
              "glColor3f(1, 0, 0)\n"
              "glColor4f(1, 0, 0, 1)\n"
              "glBegin(7)\n");
    EXPECT_FALSE(Snapshot().shadowMode);
    EXPECT_TRUE(Ints().empty() && Floats().empty());
}

TEST_F(Interpreter, ACalleeInShadowModeDoesTheShadowStepsItself) {
    SetTable({Code({Do(END)})});
    Run({PushF(0), PushF(0), PushF(1), Do(SHADOW), PushI(0), Do(CALL)});
    EXPECT_EQ(gl,
              "glDisable(2929)\nglColor4f(0, 0, 0, 1)\nglTranslatef(1, 0, 0)\n"
              "glDisable(2929)\nglColor4f(0, 0, 0, 1)\nglTranslatef(1, 0, 0)\n"
              "glEnd()\nglTranslatef(-1, -0, -0)\nglEnable(2929)\n"  // callee in the shadow run
              "glTranslatef(-1, -0, -0)\nglEnable(2929)\n"
              "glEnd()\n");
}

// --- BEAT ------------------------------------------------------------------------------------

TEST_F(Interpreter, BeatGivesThePhaseWithinThePeriod) {
    EXPECT_EQ(FloatResult({PushI(2), PushF(120), Do(BEAT)}), 0.5f);  // 1500 mod 1000
    // time is taken as unsigned: -1 ms is 4294967295 ms
    RunScript(Code({PushI(1), PushF(60), Do(BEAT)}), -1, 0, 0);
    EXPECT_FLOAT_EQ(Floats().back(), 0.295f);
}

TEST_F(Interpreter, BeatWithoutAPeriodEndsTheInvocationEarly) {
    for (const auto& operands : {Join({PushI(0), PushF(120)}), Join({PushI(2), PushF(0)}),
                                 Join({PushI(2), PushF(NAN)}), Join({PushI(0), PushF(0)})}) {
        gl.clear();
        SetClipTransform(1, 1, 1, 1, 1, 1);
        Run(MakeScript(Join({operands, Do(BEAT), Do(PUSHMATRIX)})));
        EXPECT_EQ(gl, "");
        EXPECT_TRUE(Floats().empty());
        EXPECT_FALSE(ClipTransformCleared());
    }
    EXPECT_TRUE(g_messages.empty());
}

// --- effect opcodes ------------------------------------------------------------------------

TEST_F(Interpreter, EffectOpcodesPopExactlyTheirOperands) {
    const std::vector<uint8_t> effects = {15, 38, 39, 40, 41, 42, 43, 44, 55, 56, 57,  58, 59,
                                          60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70,  71, 72,
                                          74, 75, 76, 91, 92, 93, 94, 95, 96, 99, 150, 151};
    for (uint8_t op : effects) {
        const OpcodeInfo& info = kOpcodes[op];
        // one value more than the operands on each stack: exactly one must be left
        Run({Repeat(PushI(1), info.popInts + 1), Repeat(PushF(1), info.popFloats + 1), Do(op)});
        EXPECT_EQ(Ints().size(), 1u) << int(op);
        EXPECT_EQ(Floats().size(), 1u) << int(op);
    }
    EXPECT_TRUE(g_messages.empty());
    Run({PushI(1), PushI(1), Do(MESH_GROUP)});  // one integer short
    EXPECT_EQ(g_messages, std::vector<std::string>{"bad error: Stack error (int pop)"});
}

}  // namespace
