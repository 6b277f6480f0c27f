#include "scripter/engine_state.h"

#include <utility>

namespace scripter {

EngineState SaveEngineState() {
    EngineState state;
    detail::MachineState& m = detail::Machine();
    std::vector<std::string> pathStrings = std::move(m.pathStrings);  // not copied: the demo's
    state.machine = m;
    state.machine.scripts = {};
    m.pathStrings = std::move(pathStrings);
    state.particles = effects::Particles();
    state.passes = passes::SavePasses();
    return state;
}

void RestoreEngineState(const EngineState& state) {
    detail::MachineState& m = detail::Machine();
    auto scripts = m.scripts;
    std::vector<std::string> pathStrings = std::move(m.pathStrings);
    m = state.machine;
    m.scripts = scripts;
    m.pathStrings = std::move(pathStrings);
    effects::Particles() = state.particles;
    passes::RestorePasses(state.passes);
}

}  // namespace scripter
