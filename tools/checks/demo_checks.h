// What `qv check` finds in a demo: the scripts' bytecode (through the verifier), the clips,
// the texture and object programs against their operation tables, the files a demo names
// (looked up as the player looks them up, beside the demo, and read by the player's own image
// and OBJ loaders) and what no script uses. Each
// finding names the item and the byte offset inside it, so that a caller with the source can
// point at the line that wrote it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "demo/demo_file.h"
#include "tools/source/diagnostic.h"

namespace tools {

enum class Table { Script, Clip, Texture, Model, Music };

struct Place {
    Table table = Table::Script;
    int32_t index = 0;
    int64_t offset = -1;  // in the item's bytes (a clip: kClipTrack or kClipScript); -1: the item
};

struct CheckFinding {
    Place place;
    Severity severity = Severity::Error;
    std::string text;
};

// Files are resolved against the content root (platform::SetContentRoot), as the player
// resolves them.
std::vector<CheckFinding> CheckDemo(const demo::DemoFile& demo);

// "the nearest name found" for a file that is missing: the entry of folder closest to name
// (ignoring case; edit distance), or empty when nothing is close.
std::string NearestName(const std::string& folder, const std::string& name);

}  // namespace tools
