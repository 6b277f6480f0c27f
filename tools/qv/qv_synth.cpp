// qv synth PATTERN -o OUT.(wav|ogg|flac): renders a synthesizer pattern file to a sound file.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "platform/audio.h"
#include "tools/qv/cli.h"
#include "tools/qv/qv_commands.h"
#include "tools/synth/synth.h"

namespace tools {

extern const char kSynthHelp[] =
    "usage: qv synth PATTERN -o OUT.wav|OUT.ogg|OUT.flac\n"
    "Renders a music pattern (see docs/synth.md) to a sound file.\n"
    "  -o OUT   the sound file; its extension picks the format (.wav, .ogg, .flac)\n";

int RunSynth(int argc, char** argv) {
    const char* input = nullptr;
    const char* output = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) output = argv[++i];
        else if (!input) input = argv[i];
        else input = nullptr, i = argc;  // a second input: usage below
    }
    if (!input || !output) {
        std::fputs(kSynthHelp, stderr);
        return kExitUsage;
    }
    std::string text, error;
    if (!core::ReadWholeFile(input, text, &error)) {
        std::fprintf(stderr, "qv synth: %s\n", error.c_str());
        return 1;
    }
    synth::Song song;
    if (!synth::ParseSong(text, input, song, error)) {
        std::fprintf(stderr, "qv synth: %s\n", error.c_str());
        return 1;
    }
    std::vector<float> samples = synth::RenderSong(song);
    if (!platform::WriteSoundFile(output, song.sampleRate, samples, error)) {
        std::fprintf(stderr, "qv synth: cannot write '%s': %s\n", output, error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace tools
