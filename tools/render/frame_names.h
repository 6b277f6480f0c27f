// File names of a frame sequence (qv render --frames): a folder keeps the names by demo time
// ("frame_00001500.png"); a printf pattern ("shots/f%05d.png") numbers the frames from 0, as
// ffmpeg and Blender read sequences.
#pragma once
#include <cstdint>
#include <string>

namespace tools {

struct FramePattern {
    std::string head, tail;  // the text around the number, "%%" already turned into "%"
    int digits = 0;          // the number's least width
    bool zeros = false;      // padded with zeros, not spaces
};

// True when text holds a '%'. Then it must be a pattern with exactly one %d (or %0Nd, %Nd,
// N up to 32) and any number of "%%"; otherwise error says what is wrong.
bool IsFramePattern(const std::string& text);
bool ParseFramePattern(const std::string& text, FramePattern& out, std::string& error);

// The name of frame number index.
std::string FramePatternName(const FramePattern& pattern, int64_t index);

}  // namespace tools
