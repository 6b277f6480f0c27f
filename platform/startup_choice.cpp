#include "core/text.h"
#include "platform/startup_dialog.h"

namespace platform {

void ChooseResolution(StartupChoice& choice, int index) {
    if (index < 0 || index >= kResolutionCount) return;
    choice.width = kResolutions[index].width;
    choice.height = kResolutions[index].height;
}

bool ClickWindowed(StartupChoice& choice, bool wasChecked) {
    choice.fullscreen = wasChecked;
    return !wasChecked;
}

std::string TitleLabel(const std::string& titleCp1252) {
    std::string label;
    for (char c : core::Cp1252ToUtf8(titleCp1252)) {
        if (c == '@') label += '@';
        label += c;
    }
    return label;
}

}  // namespace platform
