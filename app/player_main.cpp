// Program entry of the player: the title of demo.acs in the working directory, the startup
// dialog, and on Start the player window. No arguments are read.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "app/demo_loader.h"
#include "app/player.h"
#include "core/file_io.h"
#include "platform/startup_dialog.h"
#include "platform/window.h"

namespace {

// The box says only "Script file not found"; someone who started the player from the wrong
// folder also learns on stderr what it looked for, where, and how to start it.
void TellWhereTheDemoFileIsLookedFor(const std::string& reason) {
    std::error_code ec;
    const std::string folder = std::filesystem::current_path(ec).string();
    std::fprintf(stderr,
                 "quorvanel: looked for %s in '%s': %s\n"
                 "quorvanel: the player reads %s from the folder it is started in: cd into the "
                 "demo's folder and start it there (./play does so for the bundled demo), or "
                 "play a demo file or source from anywhere with: qv play DEMO.acs|SOURCE.qvs\n",
                 app::kDemoFileName, folder.c_str(), reason.c_str(), app::kDemoFileName);
}

}  // namespace

int main() {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!core::ReadWholeFile(app::kDemoFileName, bytes, &error)) {
        const std::string prefix = std::string(app::kDemoFileName) + ": ";
        TellWhereTheDemoFileIsLookedFor(error.starts_with(prefix) ? error.substr(prefix.size())
                                                                  : error);
        app::ShowScriptFileNotFound();
        return 1;
    }
    app::OpenDemoFile demoFile;
    if (!app::ReadTitleFrom(app::kDemoFileName, std::move(bytes), demoFile)) return 1;
    if (!platform::HasDisplay()) {
        app::ShowError("No display: the player needs a window system ($DISPLAY is not set)");
        return 1;
    }
    platform::StartupChoice choice;
    if (!platform::RunStartupDialog(app::Demo().title, choice)) return 1;
    if (!choice.start) return 0;
    constexpr int32_t kColourBits = 32;
    return app::RunPlayer(std::move(demoFile), choice.width, choice.height, choice.fullscreen,
                          kColourBits)
               ? 0
               : 1;
}
