// qv trace DEMO.acs|SOURCE.qvs --times T1,T2,... [--size WxH]
// Runs the player's start-up sequence and one frame per listed demo time under the GL
// recorder and prints every call, one per line:
//   startup / the start-up calls / for each time "frame T", its calls, "SwapBuffers()".
// A message box becomes MessageBox("CAPTION", "TEXT"). A fatal message ends the trace with
// exit status 1; a script's QUIT ends it after that frame, with status 0. The first listed time
// is the run's first frame, which only selects the clips, as in the player: it runs no script.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/demo_loader.h"
#include "app/engine.h"
#include "core/command_line.h"
#include "core/quote.h"
#include "gl/gl_layer.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "scripter/scripter.h"
#include "tools/qv/cli.h"
#include "tools/qv/qv_commands.h"

namespace tools {

extern const char kTraceHelp[] =
    "usage: qv trace DEMO.acs|SOURCE.qvs --times T1,T2,... [--size WxH]\n"
    "Runs the demo on the recorder and prints every OpenGL call, one frame per listed time.\n"
    "A demo source (.qvs) is built in memory first.\n"
    "  --times T1,T2,...  demo times in ms. The first is the run's first frame, which only\n"
    "                     selects the clips and runs no script; list an earlier time first\n"
    "                     (--times 0,5000) to see the frame at 5000 ms\n"
    "  --size WxH         window size (default 800x600)\n"
    "Exit status: 0 done (also when the demo quits), 1 a fatal message, 2 wrong arguments.\n";
namespace {

struct TraceOptions {
    std::string demoPath;
    std::vector<int32_t> times;
    int32_t width = 800, height = 600;
};

bool ParseTimes(std::string_view list, std::vector<int32_t>& times) {
    while (true) {
        size_t comma = list.find(',');
        int32_t t;
        if (!core::ParseNumber(list.substr(0, comma), t)) return false;
        times.push_back(t);
        if (comma == std::string_view::npos) return true;
        list.remove_prefix(comma + 1);
    }
}

// Returns an error text, or "" when the options are complete.
std::string ParseOptions(int argc, char** argv, TraceOptions& o) {
    bool haveTimes = false;
    for (int i = 0; i < argc; ++i) {
        std::string_view arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--times") {
            if (!hasValue || !ParseTimes(argv[++i], o.times))
                return "--times needs a comma-separated list of whole milliseconds";
            haveTimes = true;
        } else if (arg == "--size") {
            if (!hasValue || !core::ParseSize(argv[++i], o.width, o.height))
                return "--size needs WIDTHxHEIGHT, both positive";
        } else if (arg.starts_with("--") || !o.demoPath.empty()) {
            return "unexpected argument " + core::QuoteToken(arg);
        } else {
            o.demoPath = arg;
        }
    }
    if (o.demoPath.empty()) return "no demo file given";
    if (!haveTimes) return "--times is missing";
    return "";
}

void RecordMessageBox(const std::string& caption, const std::string& text) {
    gl::RecordLine("MessageBox(\"" + caption + "\", \"" + text + "\")");
}

// The player's sequence under the recorder. Returns the exit status.
int TraceDemo(const TraceOptions& o) {
    platform::SetContentRootBeside(o.demoPath);
    app::OpenDemoFile demoFile;
    std::vector<uint8_t> bytes;
    if (!ReadDemoInput("trace", o.demoPath, bytes) ||
        !app::ReadTitleFrom(o.demoPath, std::move(bytes), demoFile))
        return 1;
    gl::RecordLine("startup");
    if (!app::RunStartup(std::move(demoFile), o.width, o.height, app::StartupHooks{})) return 1;
    for (int32_t t : o.times) {
        gl::RecordLine("frame " + std::to_string(t));
        if (!app::DrawFrame(t)) return 1;
        gl::SwapBuffers();
        if (scripter::QuitFlag()) break;  // the player leaves its loop after this frame
    }
    return 0;
}

}  // namespace

int RunTrace(int argc, char** argv) {
    TraceOptions options;
    std::string error = ParseOptions(argc, argv, options);
    if (!error.empty()) {
        Complain("trace", error);
        std::fputs(kTraceHelp, stderr);
        return kExitUsage;
    }
    std::string trace;
    gl::UseRecorder(&trace);
    platform::SetMessageSink(RecordMessageBox);
    int status = TraceDemo(options);
    platform::SetMessageSink(nullptr);
    std::fwrite(trace.data(), 1, trace.size(), stdout);
    return status;
}

}  // namespace tools
