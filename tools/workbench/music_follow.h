// Whether `qv play`'s music plays: it plays from the playhead after every jump and on resume
// while the transport plays at 1x, and is silent otherwise. Pure: the session makes the call
// to the audio output that the decision names.
#pragma once
#include "tools/workbench/workbench.h"

namespace tools {

enum class MusicStep { None, PlayFromPlayhead, Pause };

// The step for the transport as it stands; playing tells whether the music plays now and is
// updated to what it will do after the step.
MusicStep FollowMusic(const Transport& t, bool& playing);

}  // namespace tools
