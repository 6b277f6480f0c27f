// File paths of names that come from the demo file ("data\rock.jpg"): '\' separators, authored
// on a case-insensitive file system. Every file the player and qv open goes through here.
#pragma once
#include <string>

namespace platform {

// Folder against which relative demo paths resolve: "." for the player (its working
// directory); the tools set it to the folder that holds the demo file.
void SetContentRoot(const std::string& folder);
// The folder that holds the file at path (a demo file given to a tool).
void SetContentRootBeside(const std::string& path);
const std::string& ContentRoot();

// Turns a demo-file name into a path to open: '\' becomes '/', relative names are taken
// against the content root, and when the path does not exist as written each component is
// matched without regard to ASCII case. A name that matches nothing comes back translated
// but otherwise unchanged, so that the open fails with the expected name in its message.
std::string ResolvePath(const std::string& demoName);

}  // namespace platform
