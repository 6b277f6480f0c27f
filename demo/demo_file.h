// The demo file `demo.acs`: its records (DemoFile) and the two-stage reader (title first,
// the sections after the startup dialog). Parsing works on bytes; nothing here touches GL.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "demo/clip.h"
#include "demo/script.h"

namespace demo {

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

// --- reading and writing -------------------------------------------------------------------

enum class DemoStatus { Ok, BadMagic, Truncated };

struct DemoResult {
    DemoStatus status = DemoStatus::Ok;
    std::string message;  // for Truncated: "demo.acs: file ends inside ..."
    bool Ok() const { return status == DemoStatus::Ok; }
};

inline constexpr char kDemoMagic[] = "quorvanel1";
inline constexpr uint8_t kTitleEnd = 26;

// The title: every byte before the first 26. sectionsOffset is the offset after the 26.
DemoResult ParseTitle(std::span<const uint8_t> bytes, const std::string& fileName,
                      std::string& title, size_t& sectionsOffset);

// Sections 1 to 10 (magic to trailing script) from sectionsOffset into demo (title untouched).
// No count or length makes it allocate more than the file holds: items are appended as they
// are read and a text's length is checked against the bytes left before it is taken.
DemoResult ParseDemoSections(std::span<const uint8_t> bytes, size_t sectionsOffset,
                             const std::string& fileName, DemoFile& demo);

// Both stages at once (the tools).
DemoResult ParseDemoFile(std::span<const uint8_t> bytes, const std::string& fileName,
                         DemoFile& demo);

// The exact inverse of ParseDemoFile for every record it produces.
std::string WriteDemoFile(const DemoFile& demo);

}  // namespace demo
