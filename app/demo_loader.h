// The program's one demo file, read in two stages: the title before the startup dialog, the
// sections after it. The bytes read in the first stage travel to the second in an
// OpenDemoFile, the stand-in for the open file handle. The sections fill the program-wide
// DemoFile. Failures show their message box and return false; the caller ends the process.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "demo/demo_file.h"

namespace app {

inline constexpr char kDemoFileName[] = "demo.acs";

// The demo file between the two stages: its whole content and where the sections begin.
struct OpenDemoFile {
    std::string path;
    std::vector<uint8_t> bytes;
    size_t sectionsOffset = 0;
};

// Opens path and reads the title into Demo().title. Cannot open: "Script file not found" /
// "wtf?".
bool ReadTitle(const std::string& path, OpenDemoFile& file);

// The same for a demo file whose bytes the caller has read (or built from a source); path
// names it in messages.
bool ReadTitleFrom(const std::string& path, std::vector<uint8_t> bytes, OpenDemoFile& file);

// The box of a demo file that cannot be opened: "Script file not found" / "wtf?".
void ShowScriptFileNotFound();

// Continues after the title: magic, the nine sections, then "closes" the file (its bytes are
// released). Wrong magic: "ne. heut nich" / "error".
bool LoadDemoSections(OpenDemoFile file);

// The program-wide tables (filled by the two stages above).
demo::DemoFile& Demo();

}  // namespace app
