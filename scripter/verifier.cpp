#include "scripter/verifier.h"

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "demo/opcodes.h"
#include "scripter/scripter.h"

namespace scripter {

using namespace demo;  // the opcode table
namespace {

using Slot = std::optional<int32_t>;  // a PUSHI constant, or unknown

struct PathState {
    int64_t pc = 0;
    std::vector<Slot> ints;  // bottom first
    int floats = 0;
};

using Depths = std::pair<int, int>;  // integer and float depth when an invocation ends
using ExitSet = std::set<Depths>;

// ShadowRun: the nested run of SHADOW, in which SHADOW only pops its operands.
enum Mode { NormalRun = 0, ShadowRun = 1 };

// Paths explored per script and mode before giving up; far above any real script.
constexpr int64_t kMaxStatesPerScript = 2'000'000;
// Rounds of the exit-depth fixed point over all scripts.
constexpr int kMaxRounds = 1000;

struct Context {
    std::span<const demo::Script> scripts;
    TableSizes sizes;
    std::array<std::vector<ExitSet>, 2> exits;  // per mode, per script
};

struct Analysis {
    ExitSet exits;
    TableUse use;
    std::set<std::pair<int64_t, std::string>> findings;
    bool runsShadowPass = false;        // a SHADOW with its operands is reachable
    std::set<int32_t> constantCallees;  // in the table
};

int64_t CodeEnd(const demo::Script& s) {
    return std::min<int64_t>(s.length, int64_t(s.code.size()));
}

std::string Mnemonic(uint8_t op) { return std::string(kOpcodes[op].mnemonic); }

// Offsets where an instruction starts when the code is read from 0 straight through.
std::vector<bool> InstructionStarts(const demo::Script& s) {
    std::vector<bool> starts(size_t(std::max<int64_t>(CodeEnd(s), 0)), false);
    for (int64_t pc = 0; pc < CodeEnd(s); pc += InstructionLength(s.code[size_t(pc)]))
        starts[size_t(pc)] = true;
    return starts;
}

// The table an index operand (the top integer) selects from, if op takes one.
struct IndexTable {
    const char* what;   // "script", "texture", ...
    const char* table;  // "scripts", "texture slots", ...
    int32_t size;
};
std::optional<IndexTable> IndexedTable(uint8_t op, const Context& c) {
    switch (op) {
        case CALL: return IndexTable{"script", "scripts", int32_t(c.scripts.size())};
        case BINDTEX:
        case TARGET_END: return IndexTable{"texture", "texture slots", c.sizes.textures};
        case MODEL:
        case MESH_ALL:
        case MESH_GROUP:
        case MESH_MATERIAL: return IndexTable{"model", "models", c.sizes.models};
        case PATH:
        case PATHPART: return IndexTable{"path", "path strings", c.sizes.paths};
        default: return std::nullopt;
    }
}

bool InTable(int32_t index, int32_t size) { return index >= 0 && index < size; }

constexpr int32_t kUnbindTexture = -1;

class ScriptWalker {
public:
    ScriptWalker(const Context& c, int32_t index, Mode mode)
        : c_(c),
          index_(index),
          mode_(mode),
          script_(c.scripts[size_t(index)]),
          end_(CodeEnd(script_)),
          starts_(InstructionStarts(script_)) {}

    Analysis Run() {
        Visit(PathState{});
        int64_t steps = 0;
        while (!work_.empty()) {
            if (++steps > kMaxStatesPerScript) {
                Report(0, "too many paths to follow; verification stopped");
                break;
            }
            PathState s = std::move(work_.front());
            work_.pop_front();
            Step(s);
        }
        return std::move(result_);
    }

private:
    const Context& c_;
    int32_t index_;
    Mode mode_;
    const demo::Script& script_;
    int64_t end_;
    std::vector<bool> starts_;
    std::deque<PathState> work_;
    std::map<std::tuple<int64_t, int, int>, std::vector<Slot>> seen_;
    Analysis result_;

    void Report(int64_t pc, std::string text) { result_.findings.emplace(pc, std::move(text)); }
    void Exit(const PathState& s) { result_.exits.emplace(int(s.ints.size()), s.floats); }

    // Merges s into what is known at its offset and depths (differing constants become
    // unknown) and queues it when that adds anything.
    void Visit(PathState s) {
        auto key = std::make_tuple(s.pc, int(s.ints.size()), s.floats);
        auto [it, added] = seen_.try_emplace(key, s.ints);
        if (!added) {
            bool changed = false;
            for (size_t i = 0; i < s.ints.size(); ++i) {
                if (it->second[i] && it->second[i] != s.ints[i]) {
                    it->second[i].reset();
                    changed = true;
                }
            }
            if (!changed) return;
            s.ints = it->second;
        }
        work_.push_back(std::move(s));
    }

    // A jump to a constant target; unknown targets end the path here.
    void JumpTo(const PathState& s, const Slot& target, uint8_t op) {
        if (!target) return;
        const std::string name = " (" + Mnemonic(op) + ")";
        if (*target < 0 || *target > end_) {
            Report(s.pc, "jump target " + std::to_string(*target) + " outside the code (length " +
                             std::to_string(end_) + ")" + name);
        } else if (*target < end_ && !starts_[size_t(*target)]) {
            Report(s.pc, "jump target " + std::to_string(*target) +
                             " is not the start of an instruction" + name);
        }
        PathState next = s;
        // A negative target ends the invocation, as one past the end does.
        next.pc = *target < 0 ? end_ : *target;
        Visit(std::move(next));
    }

    // The stacks after a nested invocation are those it ended with.
    void ContinueAfterNested(const PathState& s, int32_t callee, Mode mode) {
        for (const Depths& d : c_.exits[mode][size_t(callee)]) {
            PathState next{s.pc, std::vector<Slot>(size_t(d.first)), d.second};
            next.pc = s.pc + 1;
            Visit(std::move(next));
        }
    }

    // "BOX needs 3 floats (hz hy hx); 1 on the stack": the operands in push order.
    void Underflow(const PathState& s, uint8_t op, int needed, const char* kind,
                   std::string_view names, int depth) {
        Report(s.pc, Mnemonic(op) + " needs " + std::to_string(needed) + " " + kind +
                         (needed == 1 ? "" : "s") + " (" + std::string(names) + "); " +
                         std::to_string(depth) + " on the stack");
    }
    bool PopInts(PathState& s, int n, uint8_t op) {
        if (int(s.ints.size()) < n) {
            Underflow(s, op, n, "int", kOpcodes[op].intNames, int(s.ints.size()));
            return false;
        }
        s.ints.resize(s.ints.size() - size_t(n));
        return true;
    }
    bool PopFloats(PathState& s, int n, uint8_t op) {
        if (s.floats < n) {
            Underflow(s, op, n, "float", kOpcodes[op].floatNames, s.floats);
            return false;
        }
        s.floats -= n;
        return true;
    }
    // BEAT pops its float before its integer; every other instruction integers first.
    bool PopOperands(PathState& s, uint8_t op) {
        const OpcodeInfo& info = kOpcodes[op];
        if (op == BEAT) return PopFloats(s, info.popFloats, op) && PopInts(s, info.popInts, op);
        return PopInts(s, info.popInts, op) && PopFloats(s, info.popFloats, op);
    }
    bool Push(PathState& s, uint8_t op, Slot constant) {
        const OpcodeInfo& info = kOpcodes[op];
        if (int(s.ints.size()) + info.pushInts > kStackSlots) {
            Report(s.pc, Mnemonic(op) + " overflows the int stack (it holds " +
                             std::to_string(kStackSlots) + " values)");
            return false;
        }
        if (s.floats + info.pushFloats > kStackSlots) {
            Report(s.pc, Mnemonic(op) + " overflows the float stack (it holds " +
                             std::to_string(kStackSlots) + " values)");
            return false;
        }
        for (int i = 0; i < info.pushInts; ++i) s.ints.push_back(constant);
        s.floats += info.pushFloats;
        return true;
    }

    void CheckVariable(const PathState& s, uint8_t op, uint8_t index) {
        bool isInt = kOpcodes[op].operand == Inline::IntVar;
        int32_t count = std::max(isInt ? c_.sizes.intVars : c_.sizes.floatVars, 0);
        if (index < count) return;
        const char* kind = isInt ? "integer" : "float";
        Report(s.pc, std::string(kind) + " variable " + std::to_string(index) + " outside the " +
                         std::to_string(count) + " " + kind + " variables (" + Mnemonic(op) + ")");
    }

    // Which texture slots and models this instruction may use.
    void NoteUse(const PathState& s, uint8_t op) {
        const size_t n = s.ints.size();
        const Slot top = n ? s.ints.back() : Slot();
        TableUse& use = result_.use;
        switch (op) {
            case BINDTEX:
            case TARGET_END:
                if (top) use.textures.insert(*top);
                else use.anyTexture = true;
                break;
            case MODEL:
                if (top) use.models.insert(*top);
                else use.anyModel = true;
                break;
            case MESH_ALL:
            case MESH_GROUP:
            case MESH_MATERIAL: {
                if (top) use.models.insert(*top);
                else use.anyModel = true;
                // the mesh's materials bind the slots from texBase on
                const size_t base = n - (op == MESH_ALL ? 2 : 3);
                if (n < (op == MESH_ALL ? 2u : 3u) || !s.ints[base]) use.anyTexture = true;
                else use.meshTexturesFrom = std::min(use.meshTexturesFrom, *s.ints[base]);
                break;
            }
            default: break;
        }
    }

    void CheckIndex(const PathState& s, uint8_t op) {
        std::optional<IndexTable> table = IndexedTable(op, c_);
        if (!table || s.ints.empty() || !s.ints.back()) return;
        int32_t index = *s.ints.back();
        if (InTable(index, table->size) || (op == BINDTEX && index == kUnbindTexture)) return;
        Report(s.pc, std::string(table->what) + " " + std::to_string(index) + " outside the " +
                         std::to_string(std::max(table->size, 0)) + " " + table->table + " (" +
                         Mnemonic(op) + ")");
    }

    // MESH_GROUP takes texBase, group, model: a constant group of a constant model whose
    // mesh is known must be one of its groups.
    void CheckMeshGroup(const PathState& s) {
        const size_t n = s.ints.size();
        if (n < 2 || !s.ints[n - 1] || !s.ints[n - 2]) return;
        const int32_t model = *s.ints[n - 1], group = *s.ints[n - 2];
        if (!InTable(model, int32_t(c_.sizes.meshGroups.size()))) return;
        const int32_t groups = c_.sizes.meshGroups[size_t(model)];
        if (groups < 0 || InTable(group, groups)) return;
        Report(s.pc, "group " + std::to_string(group) + " outside the " + std::to_string(groups) +
                         " groups of model " + std::to_string(model) + " (MESH_GROUP)");
    }

    void Step(PathState s) {
        if (s.pc >= end_) return Exit(s);  // normal end
        const uint8_t op = script_.code[size_t(s.pc)];
        const int length = InstructionLength(op);
        if (s.pc + length > end_) {
            Report(s.pc, "truncated instruction: " + Mnemonic(op) + " needs " +
                             std::to_string(length) + " bytes, " + std::to_string(end_ - s.pc) +
                             " left");
            return Exit(s);
        }
        const uint8_t* operand = script_.code.data() + s.pc + 1;
        if (kOpcodes[op].operand == Inline::IntVar || kOpcodes[op].operand == Inline::FloatVar)
            CheckVariable(s, op, operand[0]);
        CheckIndex(s, op);
        NoteUse(s, op);
        if (op == MESH_GROUP) CheckMeshGroup(s);
        const Slot top = s.ints.empty() ? Slot() : s.ints.back();

        if (op == JMP) Exit(s);           // the 51st JMP ends the invocation without popping
        if (!PopOperands(s, op)) return;  // a stack error ends the program
        Slot constant;
        if (op == PUSHI) constant = int32_t(InlineBits(operand));
        if (!Push(s, op, constant)) return;

        switch (op) {
            case JMP: return JumpTo(s, top, op);
            case JEQ: JumpTo(s, top, op); break;
            case BEAT:
                Exit(s);  // a period of 0 ends the invocation early
                break;
            case CALL: {
                if (!top) return;
                if (!InTable(*top, int32_t(c_.scripts.size()))) break;  // no operation
                result_.constantCallees.insert(*top);
                if (*top == index_) Exit(s);  // the nesting cap ends self-recursion early
                return ContinueAfterNested(s, *top, mode_);
            }
            case SHADOW:
                if (mode_ == ShadowRun) break;
                result_.runsShadowPass = true;
                return ContinueAfterNested(s, index_, ShadowRun);
            default: break;
        }
        s.pc += length;
        Visit(std::move(s));
    }
};

Analysis Analyze(const Context& c, int32_t script, Mode mode) {
    return ScriptWalker(c, script, mode).Run();
}

// The depths each script can end with, in both modes, grown until nothing changes (a CALL
// continues with its callee's exits, which may depend on the caller's own).
void ComputeExits(Context& c) {
    const size_t n = c.scripts.size();
    c.exits[NormalRun].assign(n, {});
    c.exits[ShadowRun].assign(n, {});
    for (int round = 0; round < kMaxRounds; ++round) {
        bool changed = false;
        for (Mode mode : {ShadowRun, NormalRun}) {
            for (size_t i = 0; i < n; ++i) {
                ExitSet exits = Analyze(c, int32_t(i), mode).exits;
                if (exits != c.exits[mode][i]) {
                    c.exits[mode][i] = std::move(exits);
                    changed = true;
                }
            }
        }
        if (!changed) return;
    }
}

}  // namespace

std::vector<Finding> VerifyScripts(std::span<const demo::Script> scripts, const TableSizes& sizes,
                                   TableUse* use) {
    Context c{scripts, sizes, {}};
    ComputeExits(c);
    const size_t n = scripts.size();
    std::set<std::tuple<int32_t, int64_t, std::string>> all;
    auto collect = [&all, use](int32_t script, const Analysis& a) {
        for (const auto& [offset, text] : a.findings) all.emplace(script, offset, text);
        if (!use) return;
        use->textures.insert(a.use.textures.begin(), a.use.textures.end());
        use->models.insert(a.use.models.begin(), a.use.models.end());
        use->anyTexture = use->anyTexture || a.use.anyTexture;
        use->anyModel = use->anyModel || a.use.anyModel;
        use->meshTexturesFrom = std::min(use->meshTexturesFrom, a.use.meshTexturesFrom);
    };
    // Every script runs normally (from a clip or a CALL); only the scripts reached by a
    // shadow pass also run in shadow mode, so only their shadow-mode findings are real.
    std::vector<bool> inShadow(n, false);
    std::deque<int32_t> shadowWork;
    for (size_t i = 0; i < n; ++i) {
        Analysis a = Analyze(c, int32_t(i), NormalRun);
        collect(int32_t(i), a);
        if (a.runsShadowPass) {
            inShadow[i] = true;
            shadowWork.push_back(int32_t(i));
        }
    }
    while (!shadowWork.empty()) {
        int32_t i = shadowWork.front();
        shadowWork.pop_front();
        Analysis a = Analyze(c, i, ShadowRun);
        collect(i, a);
        for (int32_t callee : a.constantCallees) {
            if (inShadow[size_t(callee)]) continue;
            inShadow[size_t(callee)] = true;
            shadowWork.push_back(callee);
        }
    }
    std::vector<Finding> findings;
    findings.reserve(all.size());
    for (const auto& [script, offset, text] : all) findings.push_back({script, offset, text});
    return findings;
}

}  // namespace scripter
