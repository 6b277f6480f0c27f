// qv build SOURCE -o OUT.acs: assembles a demo source (docs/demo-source.md) into a demo file,
// with the sync tracks baked in when there are any.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/command_line.h"
#include "tools/qv/cli.h"
#include "tools/qv/qv_commands.h"
#include "tools/source/demo_source.h"
#include "tools/sync/bake.h"
#include "tools/sync/track_files.h"

namespace tools {

extern const char kBuildHelp[] =
    "usage: qv build SOURCE -o OUT.acs [--tracks FILE] [--bpm B] [--rows-per-beat R]\n"
    "Assembles a demo source into a demo file. Every error of the source is reported as\n"
    "SOURCE:LINE:COL: error: TEXT (up to 20); nothing is written when there is one.\n"
    "Keyed sync tracks (qv play --rocket saves them as SOURCE.qvt, found there without\n"
    "--tracks) are baked in: a script that sets each keyed float variable from the time, run\n"
    "from track 0 before every other script of a frame, so the player plays the animation.\n"
    "  -o OUT.acs        the demo file to write; '-' writes it to standard output\n"
    "  --tracks FILE     the tracks: the .qvt text or an editor's XML project\n"
    "  --bpm B           beats per minute of the rows (default: the tracks file's, the\n"
    "                    source's 'bpm', else 120)\n"
    "  --rows-per-beat R rows per beat (default: the tracks file's, else 8)\n"
    "Exit status: 0 built, 1 errors, 2 wrong arguments.\n";

namespace {

struct TrackOptions {
    std::optional<std::string> file;
    std::optional<double> bpm;
    std::optional<int32_t> rowsPerBeat;
};

// Takes the tracks' options out of argv (what is left goes to the input/output parser).
std::string TakeTrackOptions(int& argc, char** argv, TrackOptions& o) {
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg != "--tracks" && arg != "--bpm" && arg != "--rows-per-beat") {
            argv[kept++] = argv[i];
            continue;
        }
        if (i + 1 == argc) return arg + " needs a value";
        const std::string value = argv[++i];
        if (arg == "--tracks") {
            o.file = value;
        } else if (arg == "--bpm") {
            double bpm = 0;
            if (!core::ParseDecimal(value, bpm) || !(bpm > 0) || bpm > 1e6)
                return "--bpm must be a number above 0, not '" + value + "'";
            o.bpm = bpm;
        } else {
            int32_t r = 0;
            if (!core::ParseNumber(value, r) || r < 1 || r > 1000000)
                return "--rows-per-beat must be a whole number from 1 to 1000000, not '" + value +
                       "'";
            o.rowsPerBeat = r;
        }
    }
    argc = kept;
    return "";
}

// Bakes the tracks file (given, or the one beside the source) into demo. False after an
// error went to stderr.
bool BakeTracks(const char* source, const TrackOptions& o, const SourceExtras& extras,
                demo::DemoFile& demo) {
    sync::Tracks tracks;
    std::string path, error;
    std::vector<std::string> warnings;
    const bool loaded =
        sync::TracksForSource(source, o.file.value_or(""), demo.floatVarCount, extras.floatNames,
                              extras.bpm, tracks, path, warnings, error);
    for (const std::string& w : warnings)
        std::fprintf(stderr, "qv build: %s: %s\n", path.c_str(), w.c_str());
    if (!loaded) {
        Complain("build", error);
        return false;
    }
    if (o.bpm) tracks.bpm = *o.bpm;
    if (o.rowsPerBeat) tracks.rowsPerBeat = *o.rowsPerBeat;
    std::string names;
    size_t keys = 0;
    for (const sync::Track& t : tracks.tracks) {
        if (t.keys.empty()) continue;
        names += (names.empty() ? "" : ", ") + t.name;
        keys += t.keys.size();
    }
    if (keys == 0) return true;
    for (const std::string& w : sync::OverwrittenTracks(demo, tracks))
        std::fprintf(stderr, "qv build: %s: warning: %s\n", path.c_str(), w.c_str());
    sync::BakePlace place;
    if (!sync::InsertBake(demo, tracks, false, place, error)) {
        Complain("build", path + ": " + error);
        return false;
    }
    std::fprintf(stderr, "qv build: baked %zu key%s of %s from '%s' (%g bpm, %d rows per beat)",
                 keys, keys == 1 ? "" : "s", names.c_str(), path.c_str(), tracks.bpm,
                 int(tracks.rowsPerBeat));
    if (place.shiftedTracks == 1) std::fprintf(stderr, "; the clips of track 0 moved to track 1");
    else if (place.shiftedTracks > 1)
        std::fprintf(stderr, "; the clips of tracks 0 to %d moved up by one",
                     place.shiftedTracks - 1);
    std::fprintf(stderr, "\n");
    return true;
}

}  // namespace

int RunBuild(int argc, char** argv) {
    TrackOptions tracks;
    std::string error = TakeTrackOptions(argc, argv, tracks);
    if (!error.empty()) return UsageError("build", error, kBuildHelp);
    const char* source = nullptr;
    const char* output = nullptr;
    error = ParseInputAndOutput(argc, argv, source, output, "demo source", "demo file");
    if (!error.empty()) return UsageError("build", error, kBuildHelp);
    std::vector<uint8_t> text;
    if (!ReadInput("build", source, text)) return kExitErrors;
    demo::DemoFile demo;
    SourceResult result;
    const bool ok = ParseDemoSource({reinterpret_cast<const char*>(text.data()), text.size()},
                                    source, demo, result);
    for (const Diagnostic& d : result.diagnostics)
        std::fprintf(stderr, "%s\n", FormatDiagnostic(source, d).c_str());
    if (!ok || !BakeTracks(source, tracks, result.extras, demo)) return kExitErrors;
    return WriteOutput("build", output, demo::WriteDemoFile(demo)) ? kExitOk : kExitErrors;
}

}  // namespace tools
