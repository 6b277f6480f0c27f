#include "app/demo_loader.h"

#include "core/file_io.h"
#include "platform/message_box.h"

namespace demo {
namespace {

DemoFile g_demo;
std::string g_path;
std::vector<uint8_t> g_bytes;  // the open file, from readTitle to loadDemoSections
size_t g_sectionsOffset = 0;

// Short files are not the runtime's crash here but a message naming file and section.
void ShowReadError(const DemoResult& r) {
    platform::ShowMessage("Quorvanel Error", r.message, platform::MessageIcon::Error);
}

}  // namespace

bool readTitle(const std::string& path) {
    g_path = path;
    if (!core::ReadWholeFile(path, g_bytes)) {
        platform::ShowMessage("wtf?", "Script file not found");
        return false;
    }
    DemoResult r = ParseTitle(g_bytes, path, g_demo.title, g_sectionsOffset);
    if (!r.ok()) {
        ShowReadError(r);
        return false;
    }
    return true;
}

bool loadDemoSections() {
    DemoResult r = ParseDemoSections(g_bytes, g_sectionsOffset, g_path, g_demo);
    g_bytes.clear();
    g_bytes.shrink_to_fit();
    if (r.status == DemoStatus::BadMagic) {
        platform::ShowMessage("error", "ne. heut nich");
        return false;
    }
    if (!r.ok()) {
        ShowReadError(r);
        return false;
    }
    return true;
}

DemoFile& Demo() { return g_demo; }

}  // namespace demo
