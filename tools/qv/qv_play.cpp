// qv play SOURCE.qvs | DEMO.acs [--start MS] [--paused] [--size WxH] [--fullscreen] [--fps N]
//         [--no-audio] [--loop A:B] [--speed X] [--rocket [HOST:PORT]] [--bpm B]
//         [--rows-per-beat R]
// The author's workbench: the demo in a window, straight from its source, with a transport
// (pause, seek, step, loop, speed), shots, and a reload whenever the source or a file beside it
// changes. Every frame shown is a frame of the grid the run advances on, reached exactly: a
// seek, a reload or a step back runs the demo from its start to just before the frame
// (tools/render/seek.h) and then draws it, so the picture is the one `qv render --time T --fps N`
// gives; playing on runs every frame of the grid after it, as the player's loop would.
// A script error or the demo's quit instruction pauses the session instead of ending it.
#include <cstdio>
#include <string>
#include <utility>

#include "platform/paths.h"
#include "platform/window.h"
#include "tools/qv/qv_commands.h"
#include "tools/workbench/play_build.h"
#include "tools/workbench/session.h"
#include "tools/workbench/workbench.h"

namespace tools {

extern const char kPlayHelp[] =
    "usage: qv play SOURCE.qvs | DEMO.acs [--start MS] [--paused] [--size WxH] [--fullscreen]\n"
    "               [--fps N] [--no-audio] [--loop A:B] [--speed X]\n"
    "               [--rocket [HOST:PORT]] [--bpm B] [--rows-per-beat R]\n"
    "Plays the demo in a window, built from its source in memory, and reloads it at the same\n"
    "time whenever the source, its music or a file in data/ beside it changes.\n"
    "  --start MS     demo time to start at (default 0)\n"
    "  --paused       start paused\n"
    "  --size WxH     window size (default 800x600)\n"
    "  --fullscreen   full screen at that size\n"
    "  --fps N        frames per second of the frame grid (default 60), as qv render --fps\n"
    "  --no-audio     no music\n"
    "  --loop A:B     play from A to B ms over and over\n"
    "  --speed X      playing speed, 0.0625 to 16 (music only at 1)\n"
    "  --rocket [HOST:PORT]  key the float variables in a sync tracker's editor (GNU Rocket\n"
    "                 protocol; default localhost:1338): one track per float variable, named\n"
    "                 as the source's 'variables ... names' gives or float:N. The editor's\n"
    "                 save writes SOURCE.qvt (and SOURCE.rocket.xml), which qv build bakes\n"
    "  --bpm B        the tracker's tempo (default the source's 'bpm', else 120)\n"
    "  --rows-per-beat R  rows per beat (default 8): row = ms * B * R / 60000\n"
    "Keys: Space pause, Left/Right -/+1 s (Shift: 10 s), Home to 0, ',' '.' one frame back/\n"
    "ahead while paused, '[' ']' loop start/end here, '\\' no loop, '-' '=' half/double speed,\n"
    "F12 writes shot-MS.png into the working folder, Tab shows or hides the overlay (time,\n"
    "frame rate, the tracks and their clips, where a click seeks, errors), Escape quits.\n"
    "Each frame shown at time T is the frame of qv render --time T at the same size and fps;\n"
    "times are taken to the frame of the grid at or before them.\n"
    "Exit status: 0 done, 1 errors, 2 wrong arguments.\n";

int RunPlay(int argc, char** argv) {
    PlayOptions options;
    const std::string error = ParsePlayOptions(argc, argv, options);
    if (!error.empty()) {
        std::fprintf(stderr, "qv play: %s\n%s", error.c_str(), kPlayHelp);
        return 2;
    }
    if (!platform::HasDisplay()) {
        std::fprintf(stderr, "qv play: no display ($DISPLAY and $WAYLAND_DISPLAY are unset)\n");
        return 1;
    }
    platform::SetContentRootBeside(options.path);
    Build build;
    std::string errors;
    if (!LoadBuild(options.path, build, errors)) return 1;
    return RunSession(options, std::move(build));
}

}  // namespace tools
