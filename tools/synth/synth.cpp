#include "tools/synth/synth.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

#include "core/quote.h"

namespace tools::synth {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kReleaseSec = 0.01;  // fade at a note's end, so that notes do not click
constexpr double kPeak = 0.9;

struct Parser {
    const std::string& file;
    int lineNo = 0;
    std::string error;

    bool Fail(const std::string& what) {
        error = file + ":" + std::to_string(lineNo) + ": " + what;
        return false;
    }
};

bool ParseWave(const std::string& word, Wave& wave) {
    static const std::pair<const char*, Wave> kWaves[] = {
        {"sine", Wave::Sine},         {"square", Wave::Square}, {"saw", Wave::Saw},
        {"triangle", Wave::Triangle}, {"noise", Wave::Noise},   {"kick", Wave::Kick},
    };
    for (const auto& [name, w] : kWaves)
        if (word == name) {
            wave = w;
            return true;
        }
    return false;
}

bool ParseNumber(const std::string& word, double& value) {
    std::istringstream in(word);
    in >> value;
    return in && in.eof() && std::isfinite(value);
}

bool ParseInstrument(Parser& p, std::istringstream& words, Song& song) {
    Instrument inst;
    std::string wave;
    if (!(words >> inst.name >> wave)) return p.Fail("instrument needs a name and a wave");
    if (!ParseWave(wave, inst.wave))
        return p.Fail("unknown wave " + core::QuoteToken(wave) +
                      " (sine, square, saw, triangle, noise, kick)");
    for (const Instrument& other : song.instruments)
        if (other.name == inst.name)
            return p.Fail("instrument " + core::QuoteToken(inst.name) + " twice");
    std::string key, value;
    while (words >> key) {
        double v = 0;
        if (!(words >> value) || !ParseNumber(value, v))
            return p.Fail(core::QuoteToken(key) + " needs a number");
        if (key == "attack" && v >= 0) inst.attackSec = v;
        else if (key == "decay" && v > 0) inst.decaySec = v;
        else if (key == "volume" && v >= 0) inst.volume = v;
        else if (key == "pan" && v >= -1 && v <= 1) inst.pan = v;
        else return p.Fail("bad setting " + core::QuoteToken(key + " " + value));
    }
    song.instruments.push_back(inst);
    return true;
}

bool ParseStep(const std::string& token, Wave wave, Step& step) {
    if (token == ".") step.kind = Step::Rest;
    else if (token == "-") step.kind = Step::Hold;
    else if (token == "x" && (wave == Wave::Noise || wave == Wave::Kick)) step.kind = Step::Note;
    else {
        step.kind = Step::Note;
        step.frequency = NoteFrequency(token);
        return step.frequency > 0;
    }
    return true;
}

bool ParsePatternLine(Parser& p, std::istringstream& words, const std::string& first, Song& song,
                      Pattern& pattern) {
    Line line;
    auto inst = std::find_if(song.instruments.begin(), song.instruments.end(),
                             [&](const Instrument& i) { return i.name == first; });
    if (inst == song.instruments.end())
        return p.Fail("unknown instrument " + core::QuoteToken(first));
    line.instrument = int(inst - song.instruments.begin());
    std::string token;
    while (words >> token) {
        Step step;
        if (!ParseStep(token, inst->wave, step))
            return p.Fail("unknown note " + core::QuoteToken(token));
        line.steps.push_back(step);
    }
    pattern.stepCount = std::max(pattern.stepCount, int(line.steps.size()));
    pattern.lines.push_back(line);
    return true;
}

bool ParseOrder(Parser& p, std::istringstream& words, Song& song) {
    std::string name;
    while (words >> name) {
        auto it = std::find_if(song.patterns.begin(), song.patterns.end(),
                               [&](const Pattern& pat) { return pat.name == name; });
        if (it == song.patterns.end()) return p.Fail("unknown pattern " + core::QuoteToken(name));
        song.order.push_back(int(it - song.patterns.begin()));
    }
    return true;
}

// Sample of the oscillator at phase time t (seconds since the note began).
double Oscillator(Wave wave, double frequency, double t, uint32_t& noise) {
    double cycles = frequency * t;
    double frac = cycles - std::floor(cycles);
    switch (wave) {
        case Wave::Sine: return std::sin(2 * kPi * cycles);
        case Wave::Square: return frac < 0.5 ? 1.0 : -1.0;
        case Wave::Saw: return 2 * frac - 1;
        case Wave::Triangle: return frac < 0.5 ? 4 * frac - 1 : 3 - 4 * frac;
        case Wave::Noise:
            noise = noise * 1664525u + 1013904223u;  // LCG: deterministic noise
            return double(noise >> 8) / double(1u << 23) - 1.0;
        case Wave::Kick: {
            // Pitch falls from 150 Hz toward 45 Hz; the phase is the integral of the sweep.
            double phase = 45 * t + (150 - 45) * 0.03 * (1 - std::exp(-t / 0.03));
            return std::sin(2 * kPi * phase);
        }
    }
    return 0;
}

// Adds one note of the given length (seconds of steps it spans) at frame start.
void AddNote(const Song& song, const Instrument& inst, double frequency, int64_t start,
             double lengthSec, uint32_t& noise, std::vector<double>& left,
             std::vector<double>& right) {
    const double rate = song.sampleRate;
    int64_t frames = int64_t((lengthSec + kReleaseSec) * rate);
    double gainL = inst.volume * std::sqrt((1 - inst.pan) / 2);
    double gainR = inst.volume * std::sqrt((1 + inst.pan) / 2);
    for (int64_t i = 0; i < frames && start + i < int64_t(left.size()); ++i) {
        double t = double(i) / rate;
        double env = inst.attackSec > 0 ? std::min(1.0, t / inst.attackSec) : 1.0;
        env *= std::exp(-t / inst.decaySec);
        if (t > lengthSec) env *= std::max(0.0, 1 - (t - lengthSec) / kReleaseSec);
        double v = env * Oscillator(inst.wave, frequency, t, noise);
        left[size_t(start + i)] += v * gainL;
        right[size_t(start + i)] += v * gainR;
    }
}

}  // namespace

double NoteFrequency(const std::string& name) {
    static const int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G from C
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') return 0;
    int semitone = kSemitone[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#') semitone += 1, ++i;
    else if (name[i] == 'b') semitone -= 1, ++i;
    if (i + 1 != name.size() || name[i] < '0' || name[i] > '9') return 0;
    int octave = name[i] - '0';
    int fromA4 = (octave - 4) * 12 + semitone - 9;
    return 440.0 * std::pow(2.0, fromA4 / 12.0);
}

double StepSeconds(const Song& song) { return 60.0 / song.tempoBpm / song.stepsPerBeat; }

namespace {

// A comment starts at a '#' that begins a word, so that sharps such as "G#3" stay notes.
std::string WithoutComment(const std::string& line) {
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || std::isspace(uint8_t(line[i - 1]))))
            return line.substr(0, i);
    return line;
}

}  // namespace

bool ParseSong(const std::string& text, const std::string& fileName, Song& song,
               std::string& error) {
    song = Song{};
    Parser p{fileName, 0, {}};
    std::istringstream lines(text);
    std::string raw;
    Pattern* open = nullptr;
    bool ok = true;
    while (ok && std::getline(lines, raw)) {
        ++p.lineNo;
        std::istringstream words(WithoutComment(raw));
        std::string first, value;
        if (!(words >> first)) continue;
        double v = 0;
        if (open && first == "end") {
            open = nullptr;
        } else if (open) {
            ok = ParsePatternLine(p, words, first, song, *open);
        } else if (first == "tempo" || first == "steps" || first == "rate") {
            if (!(words >> value) || !ParseNumber(value, v) || v <= 0 || v > 1e6)
                ok = p.Fail(core::QuoteToken(first) + " needs a positive number");
            else if (first == "tempo") song.tempoBpm = v;
            else if (first == "steps") song.stepsPerBeat = int(v);
            else song.sampleRate = int32_t(v);
            if (ok && (song.stepsPerBeat < 1 || song.sampleRate < 8000))
                ok = p.Fail(core::QuoteToken(first) + " out of range");
        } else if (first == "instrument") {
            ok = ParseInstrument(p, words, song);
        } else if (first == "pattern") {
            song.patterns.push_back(Pattern{});
            open = &song.patterns.back();
            if (!(words >> open->name)) ok = p.Fail("pattern needs a name");
        } else if (first == "song") {
            ok = ParseOrder(p, words, song);
        } else {
            ok = p.Fail("unknown keyword " + core::QuoteToken(first));
        }
    }
    if (ok && open) ok = p.Fail("pattern " + core::QuoteToken(open->name) + " has no 'end'");
    if (ok && song.order.empty()) ok = p.Fail("no 'song' line: nothing to play");
    if (!ok) error = p.error;
    return ok;
}

std::vector<float> RenderSong(const Song& song) {
    const double stepSec = StepSeconds(song);
    int64_t totalSteps = 0;
    for (int index : song.order) totalSteps += song.patterns[size_t(index)].stepCount;
    size_t frames = size_t(double(totalSteps) * stepSec * song.sampleRate);
    std::vector<double> left(frames), right(frames);
    uint32_t noise = 12345;
    int64_t patternStart = 0;  // in steps
    for (int index : song.order) {
        const Pattern& pattern = song.patterns[size_t(index)];
        for (const Line& line : pattern.lines) {
            const Instrument& inst = song.instruments[size_t(line.instrument)];
            for (size_t s = 0; s < line.steps.size(); ++s) {
                if (line.steps[s].kind != Step::Note) continue;
                size_t held = 1;
                while (s + held < line.steps.size() && line.steps[s + held].kind == Step::Hold)
                    ++held;
                int64_t startFrame =
                    int64_t(double(patternStart + int64_t(s)) * stepSec * song.sampleRate);
                AddNote(song, inst, line.steps[s].frequency, startFrame, double(held) * stepSec,
                        noise, left, right);
            }
        }
        patternStart += pattern.stepCount;
    }
    double peak = 0;
    for (size_t i = 0; i < frames; ++i)
        peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    double gain = peak > kPeak ? kPeak / peak : 1.0;
    std::vector<float> out(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        out[2 * i] = float(left[i] * gain);
        out[2 * i + 1] = float(right[i] * gain);
    }
    return out;
}

}  // namespace tools::synth
