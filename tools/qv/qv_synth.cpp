// qv synth PATTERN -o OUT.(wav|flac|ogg|mp3): renders a synthesizer pattern file to a sound file.
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
    "usage: qv synth PATTERN -o OUT.wav|OUT.flac|OUT.ogg|OUT.mp3\n"
    "Renders a music pattern (see docs/synth.md) to a sound file.\n"
    "  -o OUT   the sound file; its extension picks the format:\n"
    "             .wav   16-bit PCM\n"
    "             .flac  FLAC, 16-bit\n"
    "             .ogg   Ogg Vorbis\n"
    "             .mp3   MPEG layer III\n"
    "Exit status: 0 written, 1 errors, 2 wrong arguments.\n";

int RunSynth(int argc, char** argv) {
    const char* input = nullptr;
    const char* output = nullptr;
    std::string error =
        ParseInputAndOutput(argc, argv, input, output, "pattern file", "sound file");
    if (!error.empty()) return UsageError("synth", error, kSynthHelp);
    std::string text;
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
