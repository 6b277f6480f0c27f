#include "core/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace core {
namespace {

template <typename Buffer>
bool ReadInto(const std::string& path, Buffer& out, std::string* error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (error) *error = path + ": cannot open the file (" + std::strerror(errno) + ")";
        return false;
    }
    out.clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    const bool failed = std::ferror(f) != 0;
    const int reason = errno;  // before fclose can change it
    std::fclose(f);
    if (failed && error) *error = path + ": cannot read the file (" + std::strerror(reason) + ")";
    return !failed;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error) {
    return ReadInto(path, bytes, error);
}

bool ReadWholeFile(const std::string& path, std::string& text, std::string* error) {
    return ReadInto(path, text, error);
}

bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string* error) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    bool ok = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const int reason = errno;
    if (out) ok = std::fclose(out) == 0 && ok;
    if (!ok && error)
        *error = path + ": cannot write the file (" + std::strerror(out ? errno : reason) + ")";
    return ok;
}

}  // namespace core
