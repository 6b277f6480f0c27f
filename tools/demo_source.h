// The text source form of a whole demo file (docs/demo-source.md): FormatDemoSource writes
// it (`qv dump`), ParseDemoSource reads it back (`qv build`). For every DemoFile the reader
// produces, parsing the formatted text gives a DemoFile that WriteDemoFile turns into the
// same bytes.
#pragma once
#include <string>
#include <string_view>

#include "demo/demo_file.h"

namespace tools {

// Scripts as assembly, clips one per line, texture and model sources by kind, path strings
// as segments; whatever has no structured form is kept as raw bytes.
std::string FormatDemoSource(const demo::DemoFile& demo);

// Fills demo from the source text. On failure returns false and sets error to
// "fileName:line: message" (demo is then unspecified).
bool ParseDemoSource(std::string_view text, const std::string& fileName, demo::DemoFile& demo,
                     std::string& error);

}  // namespace tools
