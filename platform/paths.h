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

// Turns a demo-file name (Windows-1252 bytes) into a path to open: '\' becomes '/', relative
// names are taken against the content root. When the path exists neither as written nor in
// UTF-8, each component is looked up by its bytes, by its UTF-8 form, and then without regard
// to the case of the Latin letters ("B\xC4R.BMP" finds "b\xC3\xA4r.bmp", and a name on disk
// that is still the raw Windows-1252 bytes is found too). A name that matches nothing comes
// back translated to UTF-8, so that the open fails with the name the user would type.
std::string ResolvePath(const std::string& demoName);

// A resolved path as messages show it: a component that is not UTF-8 (a file whose name on
// disk is raw Windows-1252 bytes) read as Windows-1252.
std::string DisplayPath(const std::string& path);

}  // namespace platform
