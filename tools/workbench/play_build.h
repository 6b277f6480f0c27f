// One build of the demo `qv play` shows: the demo file's bytes as the player opens them, and
// for a source where each script's instructions came from. A source is assembled in memory.
#pragma once
#include <string>

#include "app/demo_loader.h"
#include "tools/source/demo_source.h"

namespace tools {

struct Build {
    app::OpenDemoFile file;
    std::string title, musicFile;
    SourceMap map;
    bool fromSource = false;
};

// Reads (and for a source, assembles) the demo. False after its errors went to stderr and
// into errors.
bool LoadBuild(const std::string& path, Build& out, std::string& errors);

}  // namespace tools
