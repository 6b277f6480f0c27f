#include "app/demo_loader.h"

#include <utility>

#include "core/file_io.h"
#include "platform/message_box.h"

namespace app {
namespace {

struct State {
    demo::DemoFile demo;
};
State g_state;

// Short files are not the runtime's crash here but a message naming file and section.
void ShowReadError(const demo::DemoResult& r) {
    platform::ShowMessage(platform::kErrorCaption, r.message, platform::MessageIcon::Error);
}

}  // namespace

void ShowScriptFileNotFound() { platform::ShowMessage("wtf?", "Script file not found"); }

bool ReadTitle(const std::string& path, OpenDemoFile& file) {
    std::vector<uint8_t> bytes;
    if (!core::ReadWholeFile(path, bytes)) {
        g_state = State{};
        file = OpenDemoFile{path, {}, 0};
        ShowScriptFileNotFound();
        return false;
    }
    return ReadTitleFrom(path, std::move(bytes), file);
}

bool ReadTitleFrom(const std::string& path, std::vector<uint8_t> bytes, OpenDemoFile& file) {
    g_state = State{};
    file = OpenDemoFile{path, std::move(bytes), 0};
    demo::DemoResult r =
        demo::ParseTitle(file.bytes, path, g_state.demo.title, file.sectionsOffset);
    if (!r.Ok()) {
        ShowReadError(r);
        return false;
    }
    return true;
}

bool LoadDemoSections(OpenDemoFile file) {
    demo::DemoResult r =
        demo::ParseDemoSections(file.bytes, file.sectionsOffset, file.path, g_state.demo);
    if (r.status == demo::DemoStatus::BadMagic) {
        platform::ShowMessage("error", "ne. heut nich");
        return false;
    }
    if (!r.Ok()) {
        ShowReadError(r);
        return false;
    }
    return true;
}

demo::DemoFile& Demo() { return g_state.demo; }

}  // namespace app
