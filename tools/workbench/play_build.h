// One build of the demo `qv play` shows: the demo file's bytes as the player opens them, and
// for a source where each script's instructions came from. A source is assembled in memory.
#pragma once
#include <string>

#include "app/demo_loader.h"
#include "tools/source/demo_source.h"
#include "tools/sync/bake.h"

namespace tools {

struct Build {
    app::OpenDemoFile file;
    std::string title, musicFile;
    SourceMap map;
    SourceExtras extras;  // the float variables' names and the tempo, for the sync tracker
    bool fromSource = false;
};

// The build with the sync tracks baked in (every track has its script, keyed or not, so
// that key edits keep the layout: see place). False with error when the bake finds no room.
bool BakeBuild(const Build& source, const sync::Tracks& tracks, Build& out, sync::BakePlace& place,
               std::string& error);

// The float variables of a build's demo (0 when its bytes do not read).
int32_t FloatVariableCount(const Build& b);

// Reads (and for a source, assembles) the demo. False after its errors went to stderr and
// into errors.
bool LoadBuild(const std::string& path, Build& out, std::string& errors);

}  // namespace tools
