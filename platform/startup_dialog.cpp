#include "platform/startup_dialog.h"

// Before the X11 headers, which define None as a macro.
#include "core/text.h"
#include "platform/message_box.h"
#include "platform/window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

namespace platform {

namespace {

// The window was laid out for an outer size of 220 x 200 with the classic dialog frame
// (3 pixels) and caption (19 pixels): the client area is 214 x 175 and every control is
// placed in client coordinates.
constexpr int kOuterWidth = 220, kOuterHeight = 200;
constexpr int kFrame = 3, kCaption = 19;
constexpr int kClientWidth = kOuterWidth - 2 * kFrame;
constexpr int kClientHeight = kOuterHeight - 2 * kFrame - kCaption;

// Face of the window background: the classic "inactive border" system colour.
constexpr unsigned char kFaceR = 212, kFaceG = 208, kFaceB = 200;

// The three faces were asked for by cell height (ascent + descent) in Verdana; FLTK sizes
// fonts by em, and Verdana's cell is 1.215 em: 14 -> 12, 12 -> 10, 13 -> 11 (weight 920
// is heavier than bold; bold is the heaviest face installed).
constexpr Fl_Font kFontPlain = FL_FREE_FONT;
constexpr Fl_Font kFontBold = FL_FREE_FONT + 1;
struct FaceSize {
    Fl_Font font;
    Fl_Fontsize size;
};
constexpr FaceSize kFontA{kFontPlain, 12};
constexpr FaceSize kFontB{kFontPlain, 10};
constexpr FaceSize kFontC{kFontBold, 11};

// FLTK insets left-aligned labels by 3 pixels; the static texts start at their x exactly.
constexpr int kLabelInset = 3;

struct DialogState {
    StartupChoice choice;
    bool windowedChecked = false;
    std::string titleLabel;
    Fl_Window* window = nullptr;
};
DialogState g_dialog;

void Apply(Fl_Widget* w, FaceSize face) {
    w->labelfont(face.font);
    w->labelsize(face.size);
}

Fl_Box* StaticText(int x, int y, int w, int h, const char* text, FaceSize face) {
    auto* box = new Fl_Box(x - kLabelInset, y, w + kLabelInset, h);
    box->box(FL_NO_BOX);
    box->copy_label(text);
    box->align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
    Apply(box, face);
    return box;
}

void OnStart(Fl_Widget*, void*) {
    g_dialog.choice.start = true;
    g_dialog.window->hide();
}

void OnQuit(Fl_Widget*, void*) {
    g_dialog.choice.start = false;
    g_dialog.window->hide();
}

void OnWindowed(Fl_Widget* w, void*) {
    g_dialog.windowedChecked = ClickWindowed(g_dialog.choice, g_dialog.windowedChecked);
    static_cast<Fl_Check_Button*>(w)->value(g_dialog.windowedChecked ? 1 : 0);
}

void OnResolution(Fl_Widget* w, void*) {
    ChooseResolution(g_dialog.choice, static_cast<Fl_Choice*>(w)->value());
}

// The close box ends the dialog like Quit; Escape, which FLTK would treat as closing, does not.
void OnCloseBox(Fl_Widget*, void*) {
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    OnQuit(nullptr, nullptr);
}

// The first use of a face can take seconds on a fresh system, where fontconfig builds its cache
// then. Every face is opened, and the texts measured, before the window is mapped, so that the
// window is never shown blank meanwhile: it paints as soon as it appears.
void OpenFaces() {
    for (const FaceSize& face : {kFontA, kFontB, kFontC}) {
        fl_font(face.font, face.size);
        fl_width("now showing: Resolution: windowed Start Quit 800x600");
        fl_width(g_dialog.titleLabel.c_str());  // a character the face lacks loads another
    }
}

void BuildWindow() {
    int x = Fl::w() / 2 - kOuterWidth / 2 + kFrame;
    int y = Fl::h() / 2 - kOuterHeight / 2 + kFrame + kCaption;
    auto* win = new Fl_Window(x, y, kClientWidth, kClientHeight, "demoplayer \xC3\x9F");
    g_dialog.window = win;
    win->callback(OnCloseBox);

    // The group box draws its line through the middle of its (empty) text line.
    auto* group = new Fl_Box(5, 25 + kFontA.size / 2, 205, 115 - kFontA.size / 2);
    group->box(FL_ENGRAVED_FRAME);

    auto* quit = new Fl_Button(115, 147, 95, 25, "&Quit");
    quit->shortcut(FL_ALT | 'q');
    quit->callback(OnQuit);
    auto* start = new Fl_Button(5, 147, 95, 25, "&Start");
    start->shortcut(FL_ALT | 's');
    start->callback(OnStart);
    StaticText(5, 2, 220, 20, "now showing:", kFontB);
    StaticText(15, 15, 220, 20, g_dialog.titleLabel.c_str(), kFontC);
    StaticText(10, 38, 120, 20, "Resolution:", kFontC);

    // A drop-down list shows one line when closed; its 85 pixels are the opened list.
    auto* list = new Fl_Choice(15, 55, 190, 21);
    for (const Resolution& r : kResolutions) list->add(r.text);
    list->value(kDefaultResolution);
    list->callback(OnResolution);
    list->textfont(kFontA.font);
    list->textsize(kFontA.size);

    auto* windowed = new Fl_Check_Button(10, 120, 110, 15, "windowed");
    windowed->value(0);
    windowed->callback(OnWindowed);

    for (Fl_Widget* w : {static_cast<Fl_Widget*>(quit), static_cast<Fl_Widget*>(start),
                         static_cast<Fl_Widget*>(list), static_cast<Fl_Widget*>(windowed)}) {
        Apply(w, kFontA);
        // Plain child controls without a dialog manager: no Tab navigation between them.
        w->clear_visible_focus();
    }
    win->end();
}

}  // namespace

bool RunStartupDialog(const std::string& titleCp1252, StartupChoice& choice) {
    g_dialog = DialogState{};
    g_dialog.titleLabel = TitleLabel(titleCp1252);
    choice = g_dialog.choice;
    // FLTK ends the process when it cannot connect; the player says why instead.
    Display* display = nullptr;
    if (!RetryConnecting([&display] { return (display = XOpenDisplay(nullptr)) != nullptr; })) {
        ShowMessage(kErrorCaption,
                    std::string("Cannot open the display '") + XDisplayName(nullptr) +
                        "' for the startup window",
                    MessageIcon::Error);
        return false;
    }
    fl_open_display(display);
    Fl::background(kFaceR, kFaceG, kFaceB);
    // Fontconfig stands in the closest installed face when Verdana itself is missing.
    Fl::set_font(kFontPlain, " Verdana");
    Fl::set_font(kFontBold, "BVerdana");
    OpenFaces();
    BuildWindow();
    g_dialog.window->show();
    Fl::run();
    delete g_dialog.window;
    g_dialog.window = nullptr;
    Fl::flush();
    choice = g_dialog.choice;
    return true;
}

}  // namespace platform
