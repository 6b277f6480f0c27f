// Tracks on disk: the readable text form (`.qvt`, one key per line) that `qv play --rocket`
// saves beside the source and `qv build` bakes, and the sync tracker editors' XML projects.
// Parsing is pure (text in, records out); errors read "FILE:LINE: error: TEXT".
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/sync/sync_tracks.h"

namespace tools::sync {

struct NamedKey {
    std::string track;
    Key key;
};

// What a file holds: its keys by track name, and the tempo when it gives one.
struct TracksFile {
    std::optional<double> bpm;
    std::optional<int32_t> rowsPerBeat;
    std::vector<NamedKey> keys;
    std::vector<std::string> trackNames;  // every track the file names, keyed or not
};

// The text form:
//   ; comments
//   bpm 120
//   rows-per-beat 8
//   speed 0 1.5 linear        (track, row, value, step|linear|smooth|ramp)
std::string FormatTracksText(const Tracks& t);
bool ParseTracksText(std::string_view text, const std::string& fileName, TracksFile& out,
                     std::string& error);

// The editors' XML: <tracks><track name="..."><key row=".." value=".." interpolation=".."/>.
std::string FormatTracksXml(const Tracks& t);
bool ParseTracksXml(std::string_view text, const std::string& fileName, TracksFile& out,
                    std::string& error);

// Either form, by its content (XML starts with '<').
bool ParseTracksFile(std::string_view text, const std::string& fileName, TracksFile& out,
                     std::string& error);

// Puts the file's keys on the tracks of the same name (the tempo too, when the file gives
// one). Keys of a track the demo does not have are left out, each such track named once in
// warnings ("track 'x' is no float variable of the demo; its keys are left out").
void ApplyTracksFile(const TracksFile& file, Tracks& t, std::vector<std::string>& warnings);

// Reads the tracks file at path (either form) onto t. False with error naming the file.
bool LoadTracksFile(const std::string& path, Tracks& t, std::vector<std::string>& warnings,
                    std::string& error);

// The tracks of a demo source: one per float variable (named by names), at its tempo, with
// the keys of file, or of the file beside the source when file is empty (none there: no
// keys). fileUsed names the file read, or is empty. False with error naming the file.
bool TracksForSource(const std::string& sourcePath, const std::string& file, int32_t floatCount,
                     const std::vector<std::string>& names, std::optional<double> bpm, Tracks& out,
                     std::string& fileUsed, std::vector<std::string>& warnings, std::string& error);

// The tracks file that goes with a source: the source's path with the extension .qvt.
std::string TracksPathFor(const std::string& sourcePath);
// The editors' XML saved beside it: .rocket.xml.
std::string TracksXmlPathFor(const std::string& sourcePath);

}  // namespace tools::sync
