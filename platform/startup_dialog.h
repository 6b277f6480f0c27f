// The startup window shown before anything is drawn: names the demo and lets the user pick a
// resolution and windowed or full-screen display, then Start or Quit. Built with FLTK; the
// choice logic is plain functions so that it can be checked without a display.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

struct StartupChoice {
    bool start = false;
    int32_t width = 800;
    int32_t height = 600;
    bool fullscreen = true;  // true exactly while "windowed" is unchecked
};

struct Resolution {
    const char* text;
    int32_t width, height;
};
// In list order; the list index is what a selection reports.
inline constexpr Resolution kResolutions[] = {
    {"640x480", 640, 480},
    {"800x600", 800, 600},
    {"1024x768", 1024, 768},
    {"1280x1024", 1280, 1024},
};
inline constexpr int kResolutionCount = 4;
inline constexpr int kDefaultResolution = 1;

// A selection change to index: width and height from the list; any index outside it (no
// selection) changes nothing.
void ChooseResolution(StartupChoice& choice, int index);

// A click on the plain (not automatic) "windowed" check box: fullscreen becomes the state the
// box had before the click, and the box is set to the opposite. Returns the new box state.
bool ClickWindowed(StartupChoice& choice, bool wasChecked);

// The label text of the title line: the Windows-1252 title as UTF-8, every '@' doubled. FLTK
// reads "@name" in a label as a symbol and would drop the rest of the title from there; "@@"
// draws one '@'. '&' needs nothing: a static text's label has no shortcut underline.
std::string TitleLabel(const std::string& titleCp1252);

// Shows the window and leaves the choice in `choice` once it is gone: "&Start" gives
// start = true; "&Quit" and the caption's close box give start = false. title is
// Windows-1252 bytes. False when the window cannot be shown at all (no display to connect
// to; a message says so), with start false.
bool RunStartupDialog(const std::string& titleCp1252, StartupChoice& choice);

}  // namespace platform
