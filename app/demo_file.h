// The demo file `demo.acs`: its records (DemoFile) and the two-stage reader (title first,
// the sections after the startup dialog). Parsing works on bytes; nothing here touches GL.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "scripter/script.h"
#include "timeline/clip.h"

// A counted text as stored: the length field and the bytes (none when the length is <= 0).
// The stored length is kept so that the tools can write a file back byte for byte.
struct CountedText {
    int32_t storedLength = 0;
    std::string bytes;
};

struct DemoFile {
    std::string title;
    int32_t scriptCount = 0;  // each count as stored; a count <= 0 gives an empty table
    std::vector<Script> scripts;
    int32_t clipCount = 0;
    std::vector<Clip> clips;
    std::array<std::array<uint8_t, kTrackRecordBytes>, kTrackCount> trackRecords{};
    int32_t textureCount = 0;
    std::vector<CountedText> textureSources;
    int32_t pathCount = 0;
    std::vector<CountedText> pathStrings;
    int32_t intVarCount = 0;  // as stored; negative gives no variables
    int32_t floatVarCount = 0;
    CountedText musicFile;
    int32_t modelCount = 0;
    std::vector<CountedText> modelSources;
    Script trailingScript;
    std::string bytesAfterEnd;  // ignored by the player; kept for byte-exact round trips
};
