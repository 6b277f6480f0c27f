// Program entry of the player: the title of demo.acs in the working directory, the startup
// dialog, and on Start the player window. No arguments are read.
#include <utility>

#include "app/demo_loader.h"
#include "app/player.h"
#include "platform/startup_dialog.h"
#include "platform/window.h"

int main() {
    app::OpenDemoFile demoFile;
    if (!app::ReadTitle(app::kDemoFileName, demoFile)) return 1;
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
