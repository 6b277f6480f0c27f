// qv: the toolkit around the player (assembler, disassembler, verifier, tracer, previewers,
// headless renderer). Dispatches to one command.
#include <cstdio>
#include <cstring>

#include "core/quote.h"
#include "tools/qv_commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* usage;
};

const Command kCommands[] = {
    {"build", tools::RunBuild, "build SOURCE -o OUT.acs"},
    {"dump", tools::RunDump, "dump DEMO.acs"},
    {"check", tools::RunCheck, "check DEMO.acs"},
    {"trace", tools::RunTrace, "trace DEMO.acs --times T1,T2,... [--size WxH]"},
    {"texture", tools::RunTexture,
     "texture (--program PROG.bin | DEMO.acs --slot N) (--raw OUT.rgba | -o OUT.png)"},
    {"model", tools::RunModel, "model (--program PROG.bin | DEMO.acs --index N) [--obj OUT.obj]"},
    {"render", tools::RunRender,
     "render DEMO.acs (--time T -o OUT.png | --frames START:END:STEP -o DIR/) [--size WxH] [--fps "
     "F]"},
    {"synth", tools::RunSynth, "synth PATTERN -o OUT.wav|OUT.ogg|OUT.flac"},
};

int Usage() {
    std::fprintf(stderr, "usage:\n");
    for (const Command& c : kCommands) std::fprintf(stderr, "  qv %s\n", c.usage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    for (const Command& c : kCommands)
        if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
    std::fprintf(stderr, "qv: unknown command %s\n", core::QuoteToken(argv[1]).c_str());
    return Usage();
}
