// qv check DEMO.acs
// Static verification of a demo file: every script's paths (stacks, indices, jump targets,
// cut-off instructions) and every clip (track and script index). One line per problem,
//   demo.acs: script 3 at 12: int stack underflow (JMP)
//   demo.acs: clip 2: track 25 is not one of the tracks 0 to 19
// Exit status 1 when anything is found (or the file cannot be read), 0 otherwise.
#include <cstdio>
#include <string>
#include <vector>

#include "app/demo_file.h"
#include "scripter/verifier.h"
#include "tools/qv_commands.h"

namespace tools {
namespace {

std::vector<std::string> CheckClips(const DemoFile& d) {
    std::vector<std::string> problems;
    for (size_t i = 0; i < d.clips.size(); ++i) {
        const Clip& c = d.clips[i];
        std::string where = "clip " + std::to_string(i) + ": ";
        if (c.track >= kTrackCount)
            problems.push_back(where + "track " + std::to_string(c.track) +
                               " is not one of the tracks 0 to " + std::to_string(kTrackCount - 1));
        if (c.scriptIndex < 0 || size_t(c.scriptIndex) >= d.scripts.size())
            problems.push_back(where + "script " + std::to_string(c.scriptIndex) + " outside the " +
                               std::to_string(d.scripts.size()) + " scripts");
    }
    return problems;
}

std::vector<std::string> CheckScripts(const DemoFile& d) {
    scripter::TableSizes sizes;
    sizes.intVars = d.intVarCount;
    sizes.floatVars = d.floatVarCount;
    sizes.textures = int32_t(d.textureSources.size());
    sizes.models = int32_t(d.modelSources.size());
    sizes.paths = int32_t(d.pathStrings.size());
    std::vector<std::string> problems;
    for (const scripter::Finding& f : scripter::VerifyScripts(d.scripts, sizes))
        problems.push_back("script " + std::to_string(f.script) + " at " +
                           std::to_string(f.offset) + ": " + f.text);
    return problems;
}

}  // namespace

int RunCheck(int argc, char** argv) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: qv check DEMO.acs\n");
        return 2;
    }
    const std::string path = argv[0];
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) {
        std::printf("%s: cannot be read\n", path.c_str());
        return 1;
    }
    DemoFile demo;
    DemoResult r = ParseDemoFile(bytes, path, demo);
    if (!r.ok()) {
        std::printf("%s\n", r.message.c_str());
        return 1;
    }
    std::vector<std::string> problems = CheckScripts(demo);
    for (std::string& p : CheckClips(demo)) problems.push_back(std::move(p));
    for (const std::string& p : problems) std::printf("%s: %s\n", path.c_str(), p.c_str());
    return problems.empty() ? 0 : 1;
}

}  // namespace tools
