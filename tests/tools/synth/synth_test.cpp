#include <gtest/gtest.h>

#include <cmath>

#include "tools/synth/synth.h"

using namespace tools::synth;

namespace {

const char* const kSong = R"(# two bars
tempo 120
steps 4
rate 8000
instrument lead square decay 0.5 volume 0.3 pan -1
instrument kick kick volume 0.8
pattern a
lead C4 - - . E4 . G4 .
kick x . . . x . . .
end
pattern b
kick x . x .
end
song a b a
)";

Song Parsed(const std::string& text) {
    Song song;
    std::string error;
    EXPECT_TRUE(ParseSong(text, "t.synth", song, error)) << error;
    return song;
}

std::string ErrorOf(const std::string& text) {
    Song song;
    std::string error;
    EXPECT_FALSE(ParseSong(text, "t.synth", song, error));
    return error;
}

}  // namespace

TEST(SynthNotes, EqualTemperamentFromA4) {
    EXPECT_DOUBLE_EQ(NoteFrequency("A4"), 440.0);
    EXPECT_DOUBLE_EQ(NoteFrequency("A3"), 220.0);
    EXPECT_NEAR(NoteFrequency("C4"), 261.6256, 1e-4);
    EXPECT_DOUBLE_EQ(NoteFrequency("C#4"), NoteFrequency("Db4"));
    EXPECT_DOUBLE_EQ(NoteFrequency("B3"), NoteFrequency("Cb4"));
    for (const char* bad : {"H4", "C", "C10", "c4", "C#", "x", ""})
        EXPECT_EQ(NoteFrequency(bad), 0) << bad;
}

TEST(SynthParse, ACommentStartsAWordSoSharpsStayNotes) {
    Song song = Parsed(
        "rate 8000\ninstrument lead square\npattern a  # the riff\nlead G#3 F#3 #rest\nend\nsong "
        "a\n");
    ASSERT_EQ(song.patterns.size(), 1u);
    EXPECT_EQ(song.patterns[0].stepCount, 2);
}

TEST(SynthParse, PatternsLinesHoldsAndOrder) {
    Song song = Parsed(kSong);
    EXPECT_EQ(song.sampleRate, 8000);
    EXPECT_DOUBLE_EQ(StepSeconds(song), 0.125);
    ASSERT_EQ(song.instruments.size(), 2u);
    EXPECT_EQ(song.instruments[0].wave, Wave::Square);
    EXPECT_DOUBLE_EQ(song.instruments[0].pan, -1);
    ASSERT_EQ(song.patterns.size(), 2u);
    EXPECT_EQ(song.patterns[0].stepCount, 8);
    EXPECT_EQ(song.patterns[1].stepCount, 4);
    EXPECT_EQ(song.patterns[0].lines[0].steps[1].kind, Step::Hold);
    EXPECT_EQ(song.order, (std::vector<int>{0, 1, 0}));
}

TEST(SynthParse, ErrorsNameFileAndLine) {
    EXPECT_EQ(ErrorOf("tempo fast\n"), "t.synth:1: 'tempo' needs a positive number");
    EXPECT_EQ(ErrorOf("instrument a organ\n"),
              "t.synth:1: unknown wave 'organ' (sine, square, saw, triangle, noise, kick)");
    EXPECT_EQ(ErrorOf("instrument a sine\npattern p\nb C4\nend\n"),
              "t.synth:3: unknown instrument 'b'");
    EXPECT_EQ(ErrorOf("instrument a sine\npattern p\na C4 H2\nend\n"),
              "t.synth:3: unknown note 'H2'");
    EXPECT_EQ(ErrorOf("instrument a sine\npattern p\na C4\n"),
              "t.synth:3: pattern 'p' has no 'end'");
    EXPECT_EQ(ErrorOf("song nothing\n"), "t.synth:1: unknown pattern 'nothing'");
    EXPECT_EQ(ErrorOf("# empty\n"), "t.synth:1: no 'song' line: nothing to play");
    EXPECT_EQ(ErrorOf("instrument a sine volume\n"), "t.synth:1: 'volume' needs a number");
}

TEST(SynthRender, LengthFollowsTheOrderAndTheOutputIsDeterministic) {
    Song song = Parsed(kSong);
    std::vector<float> samples = RenderSong(song);
    // 8 + 4 + 8 steps of 1/8 s at 8000 Hz, stereo.
    EXPECT_EQ(samples.size(), size_t(20 * 1000 * 2));
    EXPECT_EQ(samples, RenderSong(song));
    float peak = 0;
    for (float v : samples) peak = std::max(peak, std::fabs(v));
    EXPECT_LE(peak, 0.9f + 1e-6f);
    EXPECT_GT(peak, 0.1f);
}

TEST(SynthRender, PanHardLeftLeavesTheRightSideSilent) {
    Song song = Parsed("instrument l saw pan -1\npattern p\nl A4 - . A3\nend\nsong p\n");
    std::vector<float> samples = RenderSong(song);
    double left = 0, right = 0;
    for (size_t i = 0; i < samples.size(); i += 2) {
        left += std::fabs(samples[i]);
        right += std::fabs(samples[i + 1]);
    }
    EXPECT_GT(left, 100.0);
    EXPECT_EQ(right, 0.0);
}
