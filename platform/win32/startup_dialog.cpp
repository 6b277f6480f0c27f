// The startup window on Win32: class "WndClass" built by hand from plain child controls, run
// by its own message loop until the window is destroyed.
#include "platform/startup_dialog.h"

#include <windows.h>

#include "platform/message_box.h"

namespace platform {
namespace {

constexpr int kWidth = 220, kHeight = 200;

enum ControlId {
    kWindowedId = 2,
    kGroupId = 3,
    kListId = 4,
    kQuitId = 5,
    kStartId = 6,
    kNowShowingId = 8,
    kLabelId = 9
};

struct DialogState {
    StartupChoice choice;
    std::string title;
    HWND windowed = nullptr;
};
DialogState g_dialog;

HFONT Verdana(int height, int weight) {
    return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, "Verdana");
}

HWND Control(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w,
             int h, int id) {
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleA(nullptr),
                           nullptr);
}

void SetFont(HWND control, HFONT font) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void CreateControls(HWND dialog) {
    MoveWindow(dialog, GetSystemMetrics(SM_CXSCREEN) / 2 - kWidth / 2,
               GetSystemMetrics(SM_CYSCREEN) / 2 - kHeight / 2, kWidth, kHeight, TRUE);
    // The fonts live as long as the process.
    const HFONT fontA = Verdana(14, 0), fontB = Verdana(12, 0), fontC = Verdana(13, 920);
    HWND quit = Control(dialog, "BUTTON", "&Quit", 0, 115, 147, 95, 25, kQuitId);
    HWND start = Control(dialog, "BUTTON", "&Start", 0, 5, 147, 95, 25, kStartId);
    SetFont(Control(dialog, "STATIC", "now showing:", 0, 5, 2, 220, 20, kNowShowingId), fontB);
    HWND title = Control(dialog, "STATIC", g_dialog.title.c_str(), 0, 15, 15, 220, 20, kLabelId);
    HWND group = Control(dialog, "BUTTON", "", BS_GROUPBOX | BS_FLAT, 5, 25, 205, 115, kGroupId);
    HWND label = Control(dialog, "STATIC", "Resolution:", 0, 10, 38, 120, 20, kLabelId);
    HWND list = Control(dialog, "COMBOBOX", "800x600",
                        WS_VSCROLL | CBS_DROPDOWNLIST | CBS_AUTOHSCROLL, 15, 55, 190, 85, kListId);
    for (const Resolution& r : kResolutions)
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(r.text));
    SendMessageA(list, CB_SETCURSEL, kDefaultResolution, 0);
    g_dialog.windowed =
        Control(dialog, "BUTTON", "windowed", BS_CHECKBOX, 10, 120, 110, 15, kWindowedId);
    SetFont(g_dialog.windowed, fontA);
    SetFont(group, fontA);
    SetFont(title, fontC);
    SetFont(label, fontC);
    SetFont(quit, fontA);
    SetFont(list, fontA);
    SetFont(start, fontA);
}

void OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (code == BN_CLICKED && id == kWindowedId) {
        // A plain check box: the window sets its state itself.
        const bool wasChecked = SendMessageA(g_dialog.windowed, BM_GETCHECK, 0, 0) == BST_CHECKED;
        const bool checked = ClickWindowed(g_dialog.choice, wasChecked);
        SendMessageA(g_dialog.windowed, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    } else if (code == BN_CLICKED && (id == kQuitId || id == kStartId)) {
        g_dialog.choice.start = id == kStartId;
        DestroyWindow(dialog);
    } else if (code == CBN_SELCHANGE && id == kListId) {
        const HWND list = reinterpret_cast<HWND>(lParam);
        ChooseResolution(g_dialog.choice, int(SendMessageA(list, CB_GETCURSEL, 0, 0)));
    }
}

LRESULT CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: CreateControls(dialog); return 0;
        case WM_COMMAND: OnCommand(dialog, wParam, lParam); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcA(dialog, message, wParam, lParam);
    }
}

}  // namespace

bool RunStartupDialog(const std::string& titleCp1252, StartupChoice& choice) {
    g_dialog = DialogState{};
    g_dialog.title = titleCp1252;
    choice = g_dialog.choice;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DialogProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(INT_PTR(COLOR_INACTIVEBORDER + 1));
    wc.lpszClassName = "WndClass";
    RegisterClassExA(&wc);
    // The caption ends in the ANSI byte of the sharp s.
    const HWND dialog = CreateWindowExA(
        0, "WndClass", "demoplayer \xDF", WS_VISIBLE | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
        CW_USEDEFAULT, kWidth, kHeight, nullptr, nullptr, wc.hInstance, nullptr);
    // Without a window no WM_QUIT would ever end the loop below.
    if (!dialog) {
        ShowMessage("Quorvanel Error", "The startup window could not be created",
                    MessageIcon::Error);
        return false;
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    choice = g_dialog.choice;
    return true;
}

}  // namespace platform
