#include "platform/paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

#include "core/text.h"

namespace platform {
namespace {

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

// The characters of a demo-file name component (Windows-1252 bytes), letter case folded.
std::u32string FoldedDemoName(const std::string& bytes) {
    std::u32string out;
    for (unsigned char b : bytes) out += core::FoldLatinCase(core::Cp1252CodePoint(b));
    return out;
}

// The characters of a name on disk, letter case folded: UTF-8 as Linux names files, or, when
// the name is not UTF-8, the raw Windows-1252 bytes that an unpacked archive can leave.
std::u32string FoldedDiskName(const std::string& bytes) {
    if (!core::IsValidUtf8(bytes)) return FoldedDemoName(bytes);
    std::u32string out;
    char32_t cp;
    for (size_t i = 0; i < bytes.size() && core::DecodeUtf8(bytes, i, cp);)
        out += core::FoldLatinCase(cp);
    return out;
}

// The entry of folder that names the demo-file component: the bytes as written, their UTF-8
// form, or else an entry equal to it without regard to letter case.
bool FindEntry(const std::string& folder, const std::string& component, std::string& found) {
    const std::string utf8 = core::Cp1252ToUtf8(component);
    for (const std::string* exact : {&component, &utf8}) {
        if (Exists(folder + "/" + *exact)) {
            found = *exact;
            return true;
        }
    }
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir) return false;
    const std::u32string wanted = FoldedDemoName(component);
    bool ok = false;
    while (dirent* e = ::readdir(dir)) {
        if (FoldedDiskName(e->d_name) == wanted) {
            found = e->d_name;
            ok = true;
            break;
        }
    }
    ::closedir(dir);
    return ok;
}

}  // namespace

std::string ResolvePath(const std::string& demoName) {
    std::string name = demoName;
    for (char& c : name)
        if (c == '\\') c = '/';
    bool absolute = !name.empty() && name[0] == '/';
    std::string base = absolute ? "" : ContentRoot() + "/";
    std::string direct = base + name;
    if (name.empty() || Exists(direct)) return direct;
    std::string directUtf8 = base + core::Cp1252ToUtf8(name);
    if (Exists(directUtf8)) return directUtf8;

    std::string path = absolute ? "" : ContentRoot();
    for (const std::string& component : SplitComponents(name)) {
        std::string entry;
        if (component == "." || component == ".." || !FindEntry(path, component, entry))
            entry = core::Cp1252ToUtf8(component);
        path += "/" + entry;
    }
    return Exists(path) ? path : directUtf8;
}

std::string DisplayPath(const std::string& path) {
    std::string shown;
    size_t start = 0;
    for (;;) {
        size_t end = path.find('/', start);
        shown += core::DisplayText(path.substr(start, end - start));
        if (end == std::string::npos) return shown;
        shown += '/';
        start = end + 1;
    }
}

}  // namespace platform
