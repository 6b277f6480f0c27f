// A run's state between two frames, as a value: the script engine, each track's clip and the
// driver's OpenGL state (with the pixels of every texture a copy wrote). Captured on one
// context and restored on a fresh one after the same start-up, the frames that follow come
// out byte for byte as in the run that captured it. Nothing else carries from frame to frame:
// the content built at start-up does not change while the demo plays.
#pragma once
#include <cstddef>

#include "gl/driver_state.h"
#include "scripter/engine_state.h"
#include "timeline/timeline.h"

namespace app {

struct Checkpoint {
    scripter::EngineState engine;
    timeline::TrackSelection tracks{};
    gl::DriverState gl;
};

// False when the state cannot be read back completely (the frame ended inside a glBegin
// block, or the driver reported an error): such a frame is no checkpoint. Without the
// written textures' pixels, the checkpoint is for the context it was taken on, whose
// textures the caller keeps as they were (a seek's first pass, which writes none).
bool CaptureCheckpoint(Checkpoint& out, bool withWrittenTextures = true);

// What a checkpoint holds, in bytes, about (its variables, matrices and pixels).
size_t CheckpointBytes(const Checkpoint& c);

// On a context where the demo's start-up has run (the same textures under the same names),
// fresh or the one the checkpoint was taken on, run on past it.
void RestoreCheckpoint(const Checkpoint& checkpoint);

}  // namespace app
