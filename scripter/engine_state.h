// The script engine's state between two frames, as a value: everything later frames follow
// from (the machine's stacks, variables, registers, flags and budget counters, the particle
// registers, the passes' state), so that a run can be put back to a checkpoint and go on as
// if it had run there. The script table and the path strings belong to the loaded demo and
// are not part of it.
#pragma once
#include "scripter/effects.h"
#include "scripter/machine.h"
#include "scripter/passes.h"

namespace scripter {

struct EngineState {
    detail::MachineState machine;  // its script table and path strings left empty
    effects::ParticleRegisters particles;
    passes::PassState passes;
};

EngineState SaveEngineState();
// Puts the state back under the demo loaded now, whose tables it keeps. Only between frames:
// no script may be running.
void RestoreEngineState(const EngineState& state);

}  // namespace scripter
