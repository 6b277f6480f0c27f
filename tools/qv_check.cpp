// qv check DEMO.acs
// Static verification of a demo file: every script's paths (stacks, indices, jump targets,
// cut-off instructions), every clip (track and script index) and every model source, which is
// built as the player builds it (files are looked up next to the demo file). One line per
// problem on standard error, as every command reports,
//   demo.acs: script 3 at 12: int stack underflow (JMP)
//   demo.acs: clip 2: track 25 is not one of the tracks 0 to 19
//   demo.acs: model 1: data/ship.obj, line 7: face index 9 outside the 8 positions
// Exit status 1 when anything is found (or the file cannot be read), 0 otherwise.
#include <cstdio>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "demo/demo_file.h"
#include "models/mdlmanager.h"
#include "platform/paths.h"
#include "scripter/verifier.h"
#include "tools/qv_commands.h"

namespace tools {
namespace {

std::vector<std::string> CheckClips(const demo::DemoFile& d) {
    std::vector<std::string> problems;
    for (size_t i = 0; i < d.clips.size(); ++i) {
        const demo::Clip& c = d.clips[i];
        std::string where = "clip " + std::to_string(i) + ": ";
        if (c.track >= demo::kTrackCount)
            problems.push_back(where + "track " + std::to_string(c.track) +
                               " is not one of the tracks 0 to " +
                               std::to_string(demo::kTrackCount - 1));
        if (c.scriptIndex < 0 || size_t(c.scriptIndex) >= d.scripts.size())
            problems.push_back(where + "script " + std::to_string(c.scriptIndex) + " outside the " +
                               std::to_string(d.scripts.size()) + " scripts");
    }
    return problems;
}

// Builds every model; meshGroups receives each OBJ mesh's group count (-1 for the others).
std::vector<std::string> CheckModels(const demo::DemoFile& d, std::vector<int32_t>& meshGroups) {
    std::vector<std::string> problems;
    for (size_t i = 0; i < d.modelSources.size(); ++i) {
        models::ModelRecord record;
        std::string error;
        const bool built = models::LoadModel(d.modelSources[i].bytes, record, error);
        if (!built) problems.push_back("model " + std::to_string(i) + ": " + error);
        const std::string& source = d.modelSources[i].bytes;
        const bool isMesh = built && !source.empty() && uint8_t(source[0]) == demo::kModelObj;
        meshGroups.push_back(isMesh ? int32_t(record.mesh.groups.size()) : -1);
    }
    return problems;
}

std::vector<std::string> CheckScripts(const demo::DemoFile& d, std::vector<int32_t> meshGroups) {
    scripter::TableSizes sizes;
    sizes.intVars = d.intVarCount;
    sizes.floatVars = d.floatVarCount;
    sizes.textures = int32_t(d.textureSources.size());
    sizes.models = int32_t(d.modelSources.size());
    sizes.paths = int32_t(d.pathStrings.size());
    sizes.meshGroups = std::move(meshGroups);
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
    if (!core::ReadWholeFile(path, bytes)) {
        std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
        return 1;
    }
    demo::DemoFile demo;
    demo::DemoResult r = demo::ParseDemoFile(bytes, path, demo);
    if (!r.ok()) {
        std::fprintf(stderr, "%s\n", r.message.c_str());
        return 1;
    }
    platform::SetContentRootBeside(path);
    std::vector<int32_t> meshGroups;
    std::vector<std::string> modelProblems = CheckModels(demo, meshGroups);
    std::vector<std::string> problems = CheckScripts(demo, std::move(meshGroups));
    for (std::string& p : CheckClips(demo)) problems.push_back(std::move(p));
    for (std::string& p : modelProblems) problems.push_back(std::move(p));
    for (const std::string& p : problems) std::fprintf(stderr, "%s: %s\n", path.c_str(), p.c_str());
    return problems.empty() ? 0 : 1;
}

}  // namespace tools
