#include "platform/paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <filesystem>
#include <vector>

namespace platform {
namespace {

std::string g_root = ".";

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> SplitComponents(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '/') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

// The entry of folder whose name equals component ignoring ASCII case; the exact name wins.
bool FindEntryIgnoringCase(const std::string& folder, const std::string& component,
                           std::string& found) {
    if (Exists(folder + "/" + component)) {
        found = component;
        return true;
    }
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir) return false;
    bool ok = false;
    while (dirent* e = ::readdir(dir)) {
        if (::strcasecmp(e->d_name, component.c_str()) == 0) {
            found = e->d_name;
            ok = true;
            break;
        }
    }
    ::closedir(dir);
    return ok;
}

}  // namespace

void SetContentRoot(const std::string& folder) { g_root = folder.empty() ? "." : folder; }

void SetContentRootBeside(const std::string& path) {
    SetContentRoot(std::filesystem::path(path).parent_path().string());
}
const std::string& ContentRoot() { return g_root; }

std::string ResolvePath(const std::string& demoName) {
    std::string name = demoName;
    for (char& c : name)
        if (c == '\\') c = '/';
    bool absolute = !name.empty() && name[0] == '/';
    std::string base = absolute ? "" : g_root;
    std::string direct = absolute ? name : base + "/" + name;
    if (name.empty() || Exists(direct)) return direct;

    std::string path = base;
    for (const std::string& component : SplitComponents(name)) {
        std::string entry;
        if (component == "." || component == ".." ||
            !FindEntryIgnoringCase(path, component, entry))
            entry = component;
        path += "/" + entry;
    }
    return Exists(path) ? path : direct;
}

}  // namespace platform
