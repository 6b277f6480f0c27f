#include "app/checkpoint.h"

#include <algorithm>
#include <vector>

#include "scripter/scripter.h"

namespace app {

bool CaptureCheckpoint(Checkpoint& out, bool withWrittenTextures) {
    out.engine = scripter::SaveEngineState();
    out.tracks = timeline::SaveTracks();
    const std::vector<uint32_t> none;
    return gl::CaptureDriverState(out.engine.machine.capabilities,
                                  withWrittenTextures ? out.engine.passes.written : none, out.gl);
}

size_t CheckpointBytes(const Checkpoint& c) {
    size_t n =
        sizeof c + c.engine.machine.intVars.size() * 4 + c.engine.machine.floatVars.size() * 4;
    for (const gl::MatrixStack& s : c.gl.stacks) n += s.items.size() * 64;
    for (const gl::TextureImage& t : c.gl.textures) n += t.rgba.size();
    return n;
}

void RestoreCheckpoint(const Checkpoint& checkpoint) {
    // Capabilities the frames after the checkpoint named, on a context that ran them.
    std::vector<uint32_t> namedSince;
    for (uint32_t cap : scripter::NamedCapabilities())
        if (std::find(checkpoint.engine.machine.capabilities.begin(),
                      checkpoint.engine.machine.capabilities.end(),
                      cap) == checkpoint.engine.machine.capabilities.end())
            namedSince.push_back(cap);
    scripter::RestoreEngineState(checkpoint.engine);
    timeline::RestoreTracks(checkpoint.tracks);
    gl::RestoreDriverState(checkpoint.gl, namedSince);
}

}  // namespace app
