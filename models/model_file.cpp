#include "models/model_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace models {

bool ReadModelFile(const std::string& path, std::string& out, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = path + ": cannot open the file (" + std::strerror(errno) + ")";
        return false;
    }
    out.clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        error = path + ": cannot read the file";
        return false;
    }
    return true;
}

}  // namespace models
