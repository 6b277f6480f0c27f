// Static verification of script bytecode (`qv check`): follows every path through each
// script over (program counter, integer stack, float stack depth), with the integer values
// that come straight from PUSHI kept as constants, and reports what would go wrong at run
// time: stack underflow or overflow, variable/script/texture/model/path indices outside their
// tables, jump targets outside the code or inside an instruction, and cut-off instructions.
// CALL and SHADOW continue with the stack depths their callee can end with. A path through a
// jump or CALL whose operand is not a constant is not followed further. BINDTEX -1 is the way
// scripts unbind textures (it binds name 0) and is not reported.
#pragma once
#include <cstdint>
#include <limits>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "demo/script.h"

namespace scripter {

struct TableSizes {
    int32_t intVars = 0, floatVars = 0;  // as stored (negative: none)
    int32_t textures = 0, models = 0, paths = 0;
    // Per model: the group count of its OBJ mesh, or -1 when it has none or it is unknown.
    // MESH_GROUP's group operand is checked against it.
    std::vector<int32_t> meshGroups;
};

struct Finding {
    int32_t script = 0;
    int64_t offset = 0;  // of the instruction
    std::string text;    // e.g. "BOX needs 3 floats (hz hy hx); 1 on the stack"
};

// The texture slots and models the reachable instructions may use: constant indices, or
// "any" when an index is computed. Mesh drawing binds the slots from its texture base on.
struct TableUse {
    std::set<int32_t> textures, models;
    bool anyTexture = false, anyModel = false;
    int32_t meshTexturesFrom = std::numeric_limits<int32_t>::max();
};

// Findings of every script of the table, ordered by script and offset; use, when given,
// receives what the scripts use.
std::vector<Finding> VerifyScripts(std::span<const demo::Script> scripts, const TableSizes& sizes,
                                   TableUse* use = nullptr);

}  // namespace scripter
