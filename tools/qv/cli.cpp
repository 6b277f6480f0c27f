#include "tools/qv/cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/file_io.h"
#include "core/quote.h"
#include "demo/demo_file.h"
#include "platform/message_box.h"
#include "tools/source/demo_source.h"
#include "tools/workbench/workbench.h"

namespace tools {

int Complain(std::string_view command, const std::string& message) {
    std::fprintf(stderr, "qv%s%.*s: %s\n", command.empty() ? "" : " ", int(command.size()),
                 command.data(), message.c_str());
    return kExitErrors;
}

bool ReadInput(std::string_view command, const std::string& path, std::vector<uint8_t>& bytes) {
    std::string error;
    if (core::ReadWholeFile(path, bytes, &error)) return true;
    Complain(command, error);
    return false;
}

bool ReadDemoInput(std::string_view command, const std::string& path, std::vector<uint8_t>& bytes) {
    if (!ReadInput(command, path, bytes)) return false;
    if (!IsSourcePath(path)) return true;
    demo::DemoFile demo;
    std::string errors;
    if (!ParseDemoSource({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, path, demo,
                         errors)) {
        std::fprintf(stderr, "%s\n", errors.c_str());
        return false;
    }
    const std::string built = demo::WriteDemoFile(demo);
    bytes.assign(built.begin(), built.end());
    return true;
}

void ReportMessageBox(std::string_view command, const std::string& caption,
                      const std::string& text) {
    Complain(command, caption == platform::kErrorCaption ? text : caption + ": " + text);
}

bool WriteOutput(std::string_view command, const std::string& path, std::string_view bytes) {
    if (path == "-") {
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
            std::fflush(stdout) == 0)
            return true;
        Complain(command, "cannot write to standard output");
        return false;
    }
    std::string error;
    if (core::WriteWholeFile(path, bytes, &error)) return true;
    Complain(command, error);
    return false;
}

bool CheckPngName(std::string_view command, const std::string& path) {
    std::string lower = path;
    for (char& c : lower) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (path == "-" || (lower.size() > 4 && lower.ends_with(".png"))) return true;
    Complain(command, core::QuoteToken(path) + ": the output is a PNG image; name it .png");
    return false;
}

int UsageError(std::string_view command, const std::string& error, const char* help) {
    Complain(command, error);
    std::fputs(help, stderr);
    return kExitUsage;
}

std::string Unexpected(std::string_view argument) {
    return "unexpected argument " + core::QuoteToken(argument);
}

std::string ParseInputAndOutput(int argc, char** argv, const char*& input, const char*& output,
                                const char* inputName, const char* outputName) {
    input = output = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0) {
            if (i + 1 == argc) return std::string("-o needs the ") + outputName + " to write";
            output = argv[++i];
        } else if (!input && argv[i][0] != '-') {
            input = argv[i];
        } else {
            return Unexpected(argv[i]);
        }
    }
    if (!input) return std::string("no ") + inputName + " given";
    if (!output) return std::string("-o is missing: name the ") + outputName + " to write";
    return "";
}

bool WantsHelp(int argc, char** argv) {
    for (int i = 0; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

}  // namespace tools
