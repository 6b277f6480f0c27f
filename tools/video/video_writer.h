// A video file written with FFmpeg's libraries: the container follows the extension, one
// video stream fed with RGBA frames as the GL read-back gives them (bottom row first) and an
// optional stereo audio stream fed with float samples. Frames and samples go straight to the
// encoders and the file: nothing is kept.
//   .mp4   H.264 (yuv420p) + AAC
//   .mkv   H.264 (yuv420p) + FLAC; lossless: FFV1 with RGB pixels + FLAC
//   .webm  VP9 (yuv420p) + Opus
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tools {

struct VideoFormat {
    int32_t width = 0, height = 0;
    int32_t fps = 60;
    bool lossless = false;  // FFV1 with RGB pixels (.mkv only)
    int32_t audioRate = 0;  // the music's sample rate; 0: no audio stream
};

// "" when path's extension names a format this machine's libraries can write with these
// settings; otherwise the reason, which lists the formats there are.
std::string CheckVideoFormat(const std::string& path, const VideoFormat& format);

// The codecs that CheckVideoFormat picks, for messages: "H.264 + AAC", "FFV1".
std::string VideoCodecNames(const std::string& path, const VideoFormat& format);

struct VideoEncoder;  // the FFmpeg state

class VideoWriter {
public:
    VideoWriter();
    ~VideoWriter();  // closes without finishing when Finish was not called
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Creates the file and writes its header. False with the reason.
    bool Open(const std::string& path, const VideoFormat& format, std::string& error);
    // A file whose video is copied, packet by packet, from segments this writer wrote with
    // the same format and no audio (the pieces of one export); the music is encoded here.
    // The first segment describes the video stream.
    bool OpenJoined(const std::string& path, const VideoFormat& format,
                    const std::string& firstSegment, std::string& error);
    // Copies every video packet of segment as frames firstFrame on, and counts them in
    // frames. beforeFrame(n, error) runs before frame n is written (the music up to it goes
    // in there); false stops the copy.
    bool AppendSegment(const std::string& segment, int64_t firstFrame,
                       const std::function<bool(int64_t frame, std::string& error)>& beforeFrame,
                       int64_t& frames, std::string& error);
    // The next frame: width * height RGBA pixels, bottom row first (alpha is ignored).
    bool WriteFrame(const uint8_t* rgba, std::string& error);
    // The next stereo frames of the audio stream, interleaved floats in [-1, 1].
    bool WriteAudio(const float* stereo, int64_t frames, std::string& error);
    // Drains the encoders and writes the trailer: the file is complete and plays. After a
    // failed write it still tries, so that what was written before stays playable.
    bool Finish(std::string& error);

    // Seconds spent converting pixels and encoding (for the summary).
    double ConvertSeconds() const;
    double EncodeSeconds() const;

private:
    std::unique_ptr<VideoEncoder> state_;
};

}  // namespace tools
