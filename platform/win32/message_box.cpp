// Message boxes on Win32: MessageBoxA with no owner window.
#include "platform/message_box.h"

#include <windows.h>

#include "core/text.h"
#include "platform/message_sink.h"

namespace platform {
namespace {

// Names from the demo file are ANSI bytes already and pass unchanged; a text that is UTF-8
// (a path as the C runtime reported it, say) is put into the ANSI code page.
std::string AnsiText(const std::string& text) {
    bool ascii = true;
    for (unsigned char c : text) ascii = ascii && c < 0x80;
    if (ascii || !core::IsValidUtf8(text)) return text;
    const int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring utf16(size_t(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), utf16.data(), wide);
    const int narrow =
        WideCharToMultiByte(CP_ACP, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string ansi(size_t(narrow), '\0');
    WideCharToMultiByte(CP_ACP, 0, utf16.data(), wide, ansi.data(), narrow, nullptr, nullptr);
    return ansi;
}

}  // namespace

void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) {
    if (SinkOrLogMessage(caption, text)) return;
    const UINT type = MB_OK | (icon == MessageIcon::Error ? MB_ICONERROR : 0);
    MessageBoxA(nullptr, AnsiText(text).c_str(), AnsiText(caption).c_str(), type);
}

}  // namespace platform
