// The player window's run: opening the OpenGL window (full screen or windowed), the start-up
// sequence, the frame loop clocked by the music, the keys and the frame-rate caption, and the
// teardown. Everything runs on the main thread.
#pragma once
#include <cstdint>
#include <string>

#include "app/demo_loader.h"

namespace app {

// Modal box with the caption "Quorvanel Error", the text, an OK button and the error icon.
void ShowError(const std::string& text);

// Opens the window, runs the start-up sequence on the demo file ReadTitle opened and the loop until
// Escape, the window's close or the scripts' quit flag, and closes the window. bits is the colour
// depth (always 32). False when the process must end with a failure status (the window could not be
// opened, the demo file's sections could not be loaded, or a script stack error).
bool RunPlayer(OpenDemoFile file, int32_t width, int32_t height, bool fullscreen, int32_t bits);

}  // namespace app
