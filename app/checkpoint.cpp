#include "app/checkpoint.h"

namespace app {

bool CaptureCheckpoint(Checkpoint& out) {
    out.engine = scripter::SaveEngineState();
    out.tracks = timeline::SaveTracks();
    return gl::CaptureDriverState(out.engine.machine.capabilities, out.engine.passes.written,
                                  out.gl);
}

void RestoreCheckpoint(const Checkpoint& checkpoint) {
    scripter::RestoreEngineState(checkpoint.engine);
    timeline::RestoreTracks(checkpoint.tracks);
    gl::RestoreDriverState(checkpoint.gl);
}

}  // namespace app
