// qv: the toolkit around the player (assembler, disassembler, verifier, tracer, previewers,
// headless renderer, instruction reference). Dispatches to one command; `--help` of any
// command is answered here, from the command's own help text.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/quote.h"
#include "tools/qv/cli.h"
#include "tools/qv/qv_commands.h"
#include "tools/source/reference.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* help;
    const char* summary;
};

const Command kCommands[] = {
    {"build", tools::RunBuild, tools::kBuildHelp, "assemble a demo source into a demo file"},
    {"dump", tools::RunDump, tools::kDumpHelp, "write a demo file as demo source"},
    {"check", tools::RunCheck, tools::kCheckHelp, "check a demo file or source for problems"},
    {"trace", tools::RunTrace, tools::kTraceHelp, "print the OpenGL calls of chosen frames"},
    {"texture", tools::RunTexture, tools::kTextureHelp, "build one texture into an image"},
    {"model", tools::RunModel, tools::kModelHelp, "build one model and describe it"},
    {"obj", tools::RunObj, tools::kObjHelp, "convert an OBJ file into the form the player reads"},
    {"render", tools::RunRender, tools::kRenderHelp, "render frames headless into PNG images"},
    {"play", tools::RunPlay, tools::kPlayHelp, "play a demo or its source in a window, live"},
    {"synth", tools::RunSynth, tools::kSynthHelp, "render a music pattern to a sound file"},
};

constexpr char kHelpHelp[] =
    "usage: qv help [COMMAND | INSTRUCTION | OPERATION | --markdown]\n"
    "  COMMAND       the usage of a qv command (the same as qv COMMAND --help)\n"
    "  INSTRUCTION   one entry of the instruction reference (qv help BOX)\n"
    "  OPERATION     a texture or object operation (qv help Disc, qv help Cube)\n"
    "  --markdown    the whole reference, as docs/reference.md\n";

void Overview(FILE* to) {
    std::fprintf(to, "usage: qv COMMAND [ARGUMENTS]   (qv COMMAND --help for its options)\n\n");
    for (const Command& c : kCommands) std::fprintf(to, "  %-8s %s\n", c.name, c.summary);
    std::fprintf(to,
                 "  %-8s %s\n\n"
                 "  qv --version   the version\n"
                 "Exit status: 0 done, 1 errors, 2 wrong arguments.\n",
                 "help", "the instruction reference and the usage of each command");
}

const Command* FindCommand(const char* name) {
    for (const Command& c : kCommands)
        if (std::strcmp(name, c.name) == 0) return &c;
    return nullptr;
}

int Help(int argc, char** argv) {
    if (argc == 0) {
        Overview(stdout);
        return tools::kExitOk;
    }
    if (argc != 1 || tools::WantsHelp(argc, argv)) {
        std::fputs(kHelpHelp, argc != 1 ? stderr : stdout);
        return argc != 1 ? tools::kExitUsage : tools::kExitOk;
    }
    if (std::strcmp(argv[0], "--markdown") == 0) {
        std::fputs(tools::ReferenceMarkdown().c_str(), stdout);
        return tools::kExitOk;
    }
    if (const Command* c = FindCommand(argv[0])) {
        std::fputs(c->help, stdout);
        return tools::kExitOk;
    }
    if (std::optional<std::string> entry = tools::ReferenceEntry(argv[0])) {
        std::fputs(entry->c_str(), stdout);
        return tools::kExitOk;
    }
    std::vector<std::string_view> names;
    for (const Command& c : kCommands) names.emplace_back(c.name);
    for (tools::NameKind kind : {tools::NameKind::Mnemonic, tools::NameKind::TextureOperation,
                                 tools::NameKind::ObjectOperation})
        for (std::string_view name : tools::NamesOf(kind)) names.push_back(name);
    const std::string hint = tools::DidYouMean(tools::NearestNames(argv[0], names));
    return tools::Complain("help", "no command, instruction or operation is named " +
                                       core::QuoteToken(argv[0]) +
                                       (hint.empty() ? " (qv help --markdown lists them)" : hint));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Overview(stderr);
        return tools::kExitUsage;
    }
    const char* name = argv[1];
    if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0) return Help(0, argv);
    if (std::strcmp(name, "--version") == 0) {
        std::printf("qv (Quorvanel) %s\n", QV_VERSION);
        return tools::kExitOk;
    }
    if (std::strcmp(name, "help") == 0) return Help(argc - 2, argv + 2);
    const Command* c = FindCommand(name);
    if (!c) {
        tools::Complain("", "unknown command " + core::QuoteToken(name));
        Overview(stderr);
        return tools::kExitUsage;
    }
    if (tools::WantsHelp(argc - 2, argv + 2)) {
        std::fputs(c->help, stdout);
        return tools::kExitOk;
    }
    return c->run(argc - 2, argv + 2);
}
