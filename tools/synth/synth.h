// The small synthesizer that makes the bundled demos' music: a text pattern file (tempo,
// instruments, patterns of steps, the song's pattern order) rendered to stereo samples.
// The format is described in docs/synth.md. Parsing and rendering are pure and deterministic
// (the noise generator is seeded), so a pattern always gives the same samples.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tools::synth {

enum class Wave { Sine, Square, Saw, Triangle, Noise, Kick };

struct Instrument {
    std::string name;
    Wave wave = Wave::Sine;
    double attackSec = 0.005;
    double decaySec = 0.3;  // time constant of the exponential decay
    double volume = 0.5;
    double pan = 0.0;  // -1 left .. 1 right
};

// One step of one line: a new note (its frequency; drums use 0), a held note or a rest.
struct Step {
    enum Kind { Rest, Hold, Note } kind = Rest;
    double frequency = 0;
};

struct Line {
    int instrument = 0;  // index into Song::instruments
    std::vector<Step> steps;
};

struct Pattern {
    std::string name;
    std::vector<Line> lines;
    int stepCount = 0;  // the longest line
};

struct Song {
    double tempoBpm = 120;
    int stepsPerBeat = 4;
    int32_t sampleRate = 44100;
    std::vector<Instrument> instruments;
    std::vector<Pattern> patterns;
    std::vector<int> order;  // pattern indices in playing order
};

// Parses the text; false with "name:line: what is wrong" in error.
bool ParseSong(const std::string& text, const std::string& fileName, Song& song,
               std::string& error);

// Equal temperament with A4 = 440 Hz: "C4", "F#3", "Eb2" (octaves 0..9). 0 when not a note.
double NoteFrequency(const std::string& name);

double StepSeconds(const Song& song);

// Interleaved stereo, peak-normalised to 0.9 when louder than that.
std::vector<float> RenderSong(const Song& song);

}  // namespace tools::synth
