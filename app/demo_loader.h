// The program's one demo file: read in two stages over one open "handle" (the bytes are read
// at once and kept until the sections are loaded), filling the program-wide DemoFile.
// Failures show their message box and return false; the caller ends the process.
#pragma once
#include <string>

#include "app/demo_file.h"

namespace demo {

inline constexpr char kDemoFileName[] = "demo.acs";

// Opens path and reads the title. Cannot open: "Script file not found" / "wtf?".
bool readTitle(const std::string& path = kDemoFileName);

// Continues after the title: magic, the nine sections, then "closes" the file.
// Wrong magic: "ne. heut nich" / "error".
bool loadDemoSections();

// The program-wide tables (filled by the two stages above).
DemoFile& Demo();

}  // namespace demo
