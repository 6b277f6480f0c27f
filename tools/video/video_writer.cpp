#include "tools/video/video_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "core/quote.h"

namespace tools {
namespace {

struct Container {
    const char* extension;
    const char* muxer;
    const char* videoEncoder;
    const char* audioEncoder;
    const char* names;
};
constexpr Container kContainers[] = {
    {"mp4", "mp4", "libx264", "aac", "H.264 + AAC"},
    {"mkv", "matroska", "libx264", "flac", "H.264 + FLAC"},
    {"webm", "webm", "libvpx-vp9", "libopus", "VP9 + Opus"},
};
constexpr Container kLossless = {"mkv", "matroska", "ffv1", "flac", "FFV1 + FLAC"};

std::string Extension(const std::string& path) {
    size_t dot = path.rfind('.');
    size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(uint8_t(c)));
    return ext;
}

const Container* FindContainer(const std::string& path, bool lossless) {
    std::string ext = Extension(path);
    if (lossless) return ext == kLossless.extension ? &kLossless : nullptr;
    for (const Container& c : kContainers)
        if (ext == c.extension) return &c;
    return nullptr;
}

bool HasEncoder(const char* name) { return avcodec_find_encoder_by_name(name) != nullptr; }

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Sets error to "what: FFmpeg's reason" when code is an FFmpeg error; false then.
bool Check(int code, const std::string& what, std::string& error) {
    if (code >= 0) return true;
    error = what + ": " + AvError(code);
    return false;
}

// The allocators return null instead of an error code: the reason is always memory.
bool Allocated(const void* made, const std::string& what, std::string& error) {
    return Check(made ? 0 : AVERROR(ENOMEM), what, error);
}

// avcodec_open2 and avformat_write_header leave the options they did not take in the
// dictionary: a name this build does not know would otherwise be dropped without a word.
bool AllTaken(const AVDictionary* options, const std::string& who, std::string& error) {
    const AVDictionaryEntry* left = av_dict_get(options, "", nullptr, AV_DICT_IGNORE_SUFFIX);
    if (!left) return true;
    error = who + " does not know the option " + core::QuoteToken(left->key);
    return false;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The rate the encoder takes that is closest to the music's (Opus has a fixed set).
int PickSampleRate(const AVCodec* codec, int wanted) {
    if (!codec->supported_samplerates) return wanted;
    int above = 0, largest = 0;
    for (const int* r = codec->supported_samplerates; *r; ++r) {
        if (*r == wanted) return wanted;
        if (*r > wanted && (above == 0 || *r < above)) above = *r;
        largest = std::max(largest, *r);
    }
    return above ? above : largest ? largest : wanted;
}

// Float when the encoder takes it (no rounding), else its first format.
AVSampleFormat PickSampleFormat(const AVCodec* codec) {
    if (!codec->sample_fmts) return AV_SAMPLE_FMT_FLTP;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_FLTP || *f == AV_SAMPLE_FMT_FLT) return *f;
    return codec->sample_fmts[0];
}

}  // namespace

std::string CheckVideoFormat(const std::string& path, const VideoFormat& format) {
    const Container* c = FindContainer(path, format.lossless);
    if (!c) {
        std::string ext = Extension(path);
        if (format.lossless)
            return "--lossless writes .mkv (FFV1 with RGB pixels + FLAC), not " +
                   (ext.empty() ? std::string("a file without extension")
                                : core::QuoteToken("." + ext));
        std::string list;
        for (const Container& k : kContainers)
            list +=
                std::string(list.empty() ? "" : ", ") + "." + k.extension + " (" + k.names + ")";
        return "unknown video format " +
               (ext.empty() ? std::string("(no extension)") : core::QuoteToken("." + ext)) +
               ": the supported ones are " + list;
    }
    for (const char* encoder : {c->videoEncoder, c->audioEncoder})
        if (!HasEncoder(encoder))
            return std::string("this machine's FFmpeg has no ") + encoder + " encoder for ." +
                   c->extension + " files";
    if (!format.lossless && (format.width % 2 || format.height % 2))
        return "the size " + std::to_string(format.width) + "x" + std::to_string(format.height) +
               " is odd: " + c->names + " video (yuv420p) needs an even width and height";
    return "";
}

std::string VideoCodecNames(const std::string& path, const VideoFormat& format) {
    const Container* c = FindContainer(path, format.lossless);
    if (!c) return "";
    std::string names = c->names;
    return format.audioRate ? names : names.substr(0, names.find(" + "));
}

// An option dictionary for an encoder or the muxer that frees itself.
struct Options {
    AVDictionary* entries = nullptr;
    Options() = default;
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;
    ~Options() { av_dict_free(&entries); }

    bool Set(std::initializer_list<std::pair<const char*, const char*>> pairs, std::string& error) {
        for (const auto& [key, value] : pairs)
            if (!Check(av_dict_set(&entries, key, value, 0),
                       std::string("cannot set the option ") + key, error))
                return false;
        return true;
    }
};

struct VideoEncoder {
    AVFormatContext* file = nullptr;
    bool headerWritten = false;
    AVCodecContext* video = nullptr;
    AVStream* videoStream = nullptr;
    AVFrame* picture = nullptr;
    SwsContext* scaler = nullptr;
    int64_t framesIn = 0;
    AVCodecContext* audio = nullptr;
    AVStream* audioStream = nullptr;
    AVFrame* sound = nullptr;
    SwrContext* resampler = nullptr;
    AVAudioFifo* fifo = nullptr;
    std::vector<uint8_t*> planes;  // one per channel for planar formats
    std::vector<std::vector<uint8_t>> converted;
    int64_t samplesIn = 0;  // at the encoder's rate
    AVPacket* packet = nullptr;
    int32_t width = 0, height = 0, fps = 0;
    double convertSeconds = 0, encodeSeconds = 0;

    ~VideoEncoder() {
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        av_frame_free(&picture);
        av_frame_free(&sound);
        sws_freeContext(scaler);
        swr_free(&resampler);
        if (fifo) av_audio_fifo_free(fifo);
        av_packet_free(&packet);
        if (file) {
            if (file->pb) avio_closep(&file->pb);
            avformat_free_context(file);
        }
    }

    // Hands frame (null: drain) to the encoder and writes what comes out.
    bool Encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame, std::string& error) {
        const std::string encoder = std::string("the ") + codec->codec->name + " encoder";
        int ret = avcodec_send_frame(codec, frame);
        if (ret != AVERROR_EOF && !Check(ret, encoder + " refused a frame", error)) return false;
        for (;;) {
            ret = avcodec_receive_packet(codec, packet);
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return true;
            if (!Check(ret, encoder + " failed", error)) return false;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (!Check(av_interleaved_write_frame(file, packet), "cannot write to the file", error))
                return false;
        }
    }

    // A stream and an encoder context for codec; false with the reason.
    bool AddStream(const char* encoderName, AVStream*& stream, AVCodecContext*& context,
                   const AVCodec*& codec, std::string& error) {
        codec = avcodec_find_encoder_by_name(encoderName);
        if (!codec) {
            error = std::string("this machine's FFmpeg has no ") + encoderName + " encoder";
            return false;
        }
        stream = avformat_new_stream(file, nullptr);
        if (!Allocated(stream, "cannot add a stream", error)) return false;
        context = avcodec_alloc_context3(codec);
        return Allocated(context, std::string("cannot set up the ") + encoderName + " encoder",
                         error);
    }

    // Opens the encoder with options (all of which it must take) and describes its stream.
    bool StartEncoder(AVCodecContext* context, const AVCodec* codec, AVStream* stream,
                      Options& options, std::string& error) {
        const std::string encoder = std::string("the ") + codec->name + " encoder";
        if (file->oformat->flags & AVFMT_GLOBALHEADER)
            context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (!Check(avcodec_open2(context, codec, &options.entries), "cannot start " + encoder,
                   error) ||
            !AllTaken(options.entries, encoder, error))
            return false;
        stream->time_base = context->time_base;
        return Check(avcodec_parameters_from_context(stream->codecpar, context),
                     "cannot describe the stream of " + encoder, error);
    }

    bool OpenVideo(const Container& c, const VideoFormat& f, std::string& error) {
        const AVCodec* codec = nullptr;
        if (!AddStream(c.videoEncoder, videoStream, video, codec, error)) return false;
        video->width = f.width;
        video->height = f.height;
        video->time_base = AVRational{1, f.fps};
        video->framerate = AVRational{f.fps, 1};
        // A key frame every two seconds: players seek quickly, and a file cut short by a full
        // disk loses at most that much.
        video->gop_size = 2 * f.fps;
        video->thread_count = 0;  // as many as the encoder likes
        Options options;
        bool set = false;
        if (f.lossless) {
            // Packed RGB: the decoded frames are the read-back pixels, bit for bit.
            video->pix_fmt = AV_PIX_FMT_BGR0;
            video->gop_size = 1;
            set = options.Set({{"level", "3"}, {"slicecrc", "1"}, {"slices", "4"}}, error);
        } else {
            video->pix_fmt = AV_PIX_FMT_YUV420P;
            video->color_range = AVCOL_RANGE_MPEG;
            video->colorspace = AVCOL_SPC_BT709;
            video->color_primaries = AVCOL_PRI_BT709;
            video->color_trc = AVCOL_TRC_BT709;
            if (std::string(c.videoEncoder) == "libx264") {
                // The fastest preset: on a software renderer the encoder competes with the
                // rasteriser for the cores (veryfast costs 1.9x the encoding time and slows
                // the read-back too); crf 18 keeps the quality, the file is larger.
                set = options.Set({{"preset", "ultrafast"}, {"crf", "18"}}, error);
            } else {  // libvpx-vp9: constant quality, the fast real-time mode, rows in parallel
                set = options.Set({{"crf", "31"},
                                   {"b", "0"},
                                   {"deadline", "realtime"},
                                   {"cpu-used", "8"},
                                   {"row-mt", "1"}},
                                  error);
            }
        }
        if (!set || !StartEncoder(video, codec, videoStream, options, error)) return false;
        videoStream->avg_frame_rate = video->framerate;
        picture = av_frame_alloc();
        if (!Allocated(picture, "cannot allocate a picture", error)) return false;
        picture->format = video->pix_fmt;
        picture->width = f.width;
        picture->height = f.height;
        if (!Check(av_frame_get_buffer(picture, 0), "cannot allocate a picture", error))
            return false;
        return OpenScaler(f, error);
    }

    // Same size: only the pixel layout changes; the bilinear filter only touches the chroma
    // subsampling of yuv420p. RGB is full range; yuv420p gets BT.709's limited range, as its
    // stream is tagged.
    bool OpenScaler(const VideoFormat& f, std::string& error) {
        const std::string conversion =
            std::string("RGBA to ") + av_get_pix_fmt_name(video->pix_fmt);
        scaler = sws_getContext(f.width, f.height, AV_PIX_FMT_RGBA, f.width, f.height,
                                video->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!scaler) {
            error = "swscale cannot convert " + conversion;
            return false;
        }
        if (!f.lossless) {
            const int* coefficients = sws_getCoefficients(SWS_CS_ITU709);
            // Not an FFmpeg error code: -1 when the conversion has no such settings.
            if (sws_setColorspaceDetails(scaler, coefficients, 1, coefficients, 0, 0, 1 << 16,
                                         1 << 16) < 0) {
                error = "swscale cannot convert " + conversion + " in BT.709 limited range";
                return false;
            }
        }
        width = f.width;
        height = f.height;
        return true;
    }

    bool OpenAudio(const Container& c, const VideoFormat& f, std::string& error) {
        const AVCodec* codec = nullptr;
        if (!AddStream(c.audioEncoder, audioStream, audio, codec, error)) return false;
        audio->sample_fmt = PickSampleFormat(codec);
        audio->sample_rate = PickSampleRate(codec, f.audioRate);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;  // swr_alloc_set_opts2 takes no const
        if (!Check(av_channel_layout_copy(&audio->ch_layout, &stereo),
                   "cannot set the channel layout", error))
            return false;
        audio->time_base = AVRational{1, audio->sample_rate};
        if (std::string(c.audioEncoder) != "flac") audio->bit_rate = 192000;
        Options none;
        if (!StartEncoder(audio, codec, audioStream, none, error)) return false;
        if (audio->frame_size <= 0) audio->frame_size = 4096;  // encoders that take any size
        if (!Check(swr_alloc_set_opts2(&resampler, &audio->ch_layout, audio->sample_fmt,
                                       audio->sample_rate, &stereo, AV_SAMPLE_FMT_FLT, f.audioRate,
                                       0, nullptr),
                   "cannot set up the resampler", error) ||
            !Check(swr_init(resampler), "cannot start the resampler", error))
            return false;
        fifo = av_audio_fifo_alloc(audio->sample_fmt, 2, audio->frame_size);
        if (!Allocated(fifo, "cannot allocate the sample queue", error)) return false;
        sound = av_frame_alloc();
        if (!Allocated(sound, "cannot allocate a sound frame", error)) return false;
        sound->format = audio->sample_fmt;
        sound->sample_rate = audio->sample_rate;
        if (!Check(av_channel_layout_copy(&sound->ch_layout, &audio->ch_layout),
                   "cannot set the channel layout", error))
            return false;
        sound->nb_samples = audio->frame_size;
        return Check(av_frame_get_buffer(sound, 0), "cannot allocate a sound frame", error);
    }

    // Feeds count input frames (null: what the resampler still holds) through to the fifo.
    bool Resample(const float* stereo, int count, std::string& error) {
        const int room = swr_get_out_samples(resampler, count);
        if (!Check(room, "cannot resample the music", error)) return false;
        if (room == 0) return true;
        const bool planar = av_sample_fmt_is_planar(audio->sample_fmt);
        const int bytes = av_get_bytes_per_sample(audio->sample_fmt) * room * (planar ? 1 : 2);
        converted.resize(planar ? 2 : 1);
        planes.clear();
        for (std::vector<uint8_t>& plane : converted) {
            if (plane.size() < size_t(bytes)) plane.resize(size_t(bytes));
            planes.push_back(plane.data());
        }
        const uint8_t* in = reinterpret_cast<const uint8_t*>(stereo);
        const int got = swr_convert(resampler, planes.data(), room, stereo ? &in : nullptr, count);
        if (!Check(got, "cannot resample the music", error)) return false;
        const int queued = av_audio_fifo_write(fifo, reinterpret_cast<void**>(planes.data()), got);
        return Check(queued < 0      ? queued
                     : queued == got ? 0
                                     : AVERROR(ENOMEM),
                     "cannot queue the music's samples", error);
    }

    // Encodes whole encoder frames from the fifo; at the end also the rest, padded with
    // silence for encoders that take only whole frames.
    bool EncodeAudio(bool last, std::string& error) {
        const bool anySize = audio->codec->capabilities &
                             (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
        while (av_audio_fifo_size(fifo) >= audio->frame_size ||
               (last && av_audio_fifo_size(fifo) > 0)) {
            if (!Check(av_frame_make_writable(sound), "cannot allocate a sound frame", error))
                return false;
            const int n = std::min(av_audio_fifo_size(fifo), audio->frame_size);
            const int read = av_audio_fifo_read(fifo, reinterpret_cast<void**>(sound->data), n);
            if (!Check(read < 0    ? read
                       : read == n ? 0
                                   : AVERROR_BUG,
                       "cannot take the music's samples from the queue", error))
                return false;
            sound->nb_samples = n;
            if (n < audio->frame_size && !anySize) {
                if (!Check(av_samples_set_silence(sound->data, n, audio->frame_size - n, 2,
                                                  audio->sample_fmt),
                           "cannot pad the last sound frame", error))
                    return false;
                sound->nb_samples = audio->frame_size;
            }
            sound->pts = samplesIn;
            samplesIn += sound->nb_samples;
            if (!Encode(audio, audioStream, sound, error)) return false;
            sound->nb_samples = audio->frame_size;
        }
        return true;
    }
};

VideoWriter::VideoWriter() = default;
VideoWriter::~VideoWriter() = default;

namespace {

// The muxer for path's container and a packet; the streams come next.
bool StartFile(VideoEncoder& s, const Container& c, const std::string& path, std::string& error) {
    av_log_set_level(AV_LOG_ERROR);
    if (!Check(avformat_alloc_output_context2(&s.file, nullptr, c.muxer, path.c_str()),
               std::string("cannot set up the ") + c.muxer + " container", error))
        return false;
    s.packet = av_packet_alloc();
    return Allocated(s.packet, "cannot allocate a packet", error);
}

// Creates the file and writes the header once the streams are there.
bool WriteHeader(VideoEncoder& s, const Container& c, const std::string& path, std::string& error) {
    // The caller names the file: the system's reason alone says why it cannot be created.
    const int opened = avio_open(&s.file->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (opened < 0) {
        error = AvError(opened);
        return false;
    }
    // The file on disk follows the run closely and plays however it ends (a full disk, a
    // crash) up to its last complete piece: MP4 in fragments from key frame to key frame
    // (the first moov waits for the first fragment, so that the edit list holds the
    // encoders' delays), Matroska in clusters of a second, each handed to the system at once.
    Options options;
    const bool set =
        std::string(c.muxer) == "mp4"
            ? options.Set({{"movflags", "frag_keyframe+empty_moov+delay_moov+default_base_moof"}},
                          error)
            : options.Set({{"cluster_time_limit", "1000"}}, error);
    s.file->flush_packets = 1;
    if (!set ||
        !Check(avformat_write_header(s.file, &options.entries), "cannot write the header", error) ||
        !AllTaken(options.entries, std::string("the ") + c.muxer + " muxer", error))
        return false;
    s.headerWritten = true;
    return true;
}

// A file written earlier, open for reading its first stream's packets.
struct InputFile {
    AVFormatContext* file = nullptr;
    ~InputFile() { avformat_close_input(&file); }

    bool Open(const std::string& path, std::string& error) {
        if (!Check(avformat_open_input(&file, path.c_str(), nullptr, nullptr),
                   "cannot read '" + path + "'", error))
            return false;
        if (file->nb_streams < 1 || file->streams[0]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
            error = "'" + path + "' holds no video stream first";
            return false;
        }
        return true;
    }
};

}  // namespace

bool VideoWriter::Open(const std::string& path, const VideoFormat& format, std::string& error) {
    error = CheckVideoFormat(path, format);
    if (!error.empty()) return false;
    const Container& c = *FindContainer(path, format.lossless);
    state_ = std::make_unique<VideoEncoder>();
    VideoEncoder& s = *state_;
    return StartFile(s, c, path, error) && s.OpenVideo(c, format, error) &&
           (format.audioRate <= 0 || s.OpenAudio(c, format, error)) &&
           WriteHeader(s, c, path, error);
}

bool VideoWriter::OpenJoined(const std::string& path, const VideoFormat& format,
                             const std::string& firstSegment, std::string& error) {
    error = CheckVideoFormat(path, format);
    if (!error.empty()) return false;
    const Container& c = *FindContainer(path, format.lossless);
    state_ = std::make_unique<VideoEncoder>();
    VideoEncoder& s = *state_;
    InputFile segment;
    if (!StartFile(s, c, path, error) || !segment.Open(firstSegment, error)) return false;
    s.videoStream = avformat_new_stream(s.file, nullptr);
    if (!Allocated(s.videoStream, "cannot add a stream", error) ||
        !Check(avcodec_parameters_copy(s.videoStream->codecpar, segment.file->streams[0]->codecpar),
               "cannot describe the video stream", error))
        return false;
    s.videoStream->codecpar->codec_tag = 0;  // the container picks its own
    s.videoStream->time_base = AVRational{1, format.fps};
    s.videoStream->avg_frame_rate = AVRational{format.fps, 1};
    s.width = format.width;
    s.height = format.height;
    s.fps = format.fps;
    return (format.audioRate <= 0 || s.OpenAudio(c, format, error)) &&
           WriteHeader(s, c, path, error);
}

bool VideoWriter::AppendSegment(const std::string& segment, int64_t firstFrame,
                                const std::function<bool(int64_t, std::string&)>& beforeFrame,
                                int64_t& frames, std::string& error) {
    VideoEncoder& s = *state_;
    frames = 0;
    InputFile in;
    if (!in.Open(segment, error)) return false;
    // A packet of its own: the music written before each frame uses the encoders' packet.
    AVPacket* packet = av_packet_alloc();
    if (!Allocated(packet, "cannot allocate a packet", error)) return false;
    const AVRational inBase = in.file->streams[0]->time_base;
    const AVRational frameBase{1, s.fps};
    auto start = std::chrono::steady_clock::now();
    bool ok = true;
    for (;;) {
        const int read = av_read_frame(in.file, packet);
        if (read == AVERROR_EOF) break;
        if (!Check(read, "cannot read '" + segment + "'", error)) {
            ok = false;
            break;
        }
        if (packet->stream_index != 0) {
            av_packet_unref(packet);
            continue;
        }
        // Frame numbers of the whole video, in the encoder's own time base, so that the
        // joined file's timestamps are those a single run writes.
        const int64_t frame = firstFrame + av_rescale_q(packet->pts, inBase, frameBase);
        const int64_t decode = firstFrame + av_rescale_q(packet->dts, inBase, frameBase);
        if (!beforeFrame(frame, error)) {
            ok = false;
            break;
        }
        packet->pts = frame;
        packet->dts = decode;
        packet->duration = 1;
        packet->pos = -1;
        packet->stream_index = s.videoStream->index;
        av_packet_rescale_ts(packet, frameBase, s.videoStream->time_base);
        if (!Check(av_interleaved_write_frame(s.file, packet), "cannot write to the file", error)) {
            ok = false;
            break;
        }
        ++frames;
    }
    av_packet_free(&packet);
    s.encodeSeconds += SecondsSince(start);
    return ok;
}

bool VideoWriter::WriteFrame(const uint8_t* rgba, std::string& error) {
    VideoEncoder& s = *state_;
    auto start = std::chrono::steady_clock::now();
    if (!Check(av_frame_make_writable(s.picture), "cannot allocate a picture", error)) return false;
    // The read-back is bottom row first: start at the top row and step backwards. swscale
    // reads four planes and strides whatever the format; RGBA uses the first.
    const int stride = s.width * 4;
    const uint8_t* const planes[4] = {rgba + size_t(s.height - 1) * size_t(stride), nullptr,
                                      nullptr, nullptr};
    const int strides[4] = {-stride, 0, 0, 0};
    const int rows =
        sws_scale(s.scaler, planes, strides, 0, s.height, s.picture->data, s.picture->linesize);
    if (!Check(rows, "cannot convert the picture", error)) return false;
    if (rows != s.height) {
        error = "swscale converted " + std::to_string(rows) + " of the picture's " +
                std::to_string(s.height) + " rows";
        return false;
    }
    s.picture->pts = s.framesIn++;
    auto encodeStart = std::chrono::steady_clock::now();
    s.convertSeconds += std::chrono::duration<double>(encodeStart - start).count();
    bool ok = s.Encode(s.video, s.videoStream, s.picture, error);
    s.encodeSeconds += SecondsSince(encodeStart);
    return ok;
}

bool VideoWriter::WriteAudio(const float* stereo, int64_t frames, std::string& error) {
    VideoEncoder& s = *state_;
    if (!s.audio) return true;
    auto start = std::chrono::steady_clock::now();
    bool ok = true;
    constexpr int64_t kSlice = 8192;
    for (int64_t done = 0; ok && done < frames; done += kSlice) {
        int n = int(std::min(kSlice, frames - done));
        ok = s.Resample(stereo + 2 * done, n, error) && s.EncodeAudio(false, error);
    }
    s.encodeSeconds += SecondsSince(start);
    return ok;
}

bool VideoWriter::Finish(std::string& error) {
    if (!state_) return false;
    VideoEncoder& s = *state_;
    if (!s.headerWritten) return false;
    auto start = std::chrono::steady_clock::now();
    // Every step is tried; the first failure is the one reported.
    std::string failure, later;
    auto step = [&](bool ok) {
        if (!ok && failure.empty()) failure = later;
        later.clear();
        return ok;
    };
    bool ok = !s.video || step(s.Encode(s.video, s.videoStream, nullptr, later));
    if (s.audio) {
        ok = step(s.Resample(nullptr, 0, later)) && ok;
        ok = step(s.EncodeAudio(true, later)) && ok;
        ok = step(s.Encode(s.audio, s.audioStream, nullptr, later)) && ok;
    }
    ok = step(Check(av_write_trailer(s.file), "cannot write the trailer", later)) && ok;
    ok = step(Check(avio_closep(&s.file->pb), "cannot close the file", later)) && ok;
    s.encodeSeconds += SecondsSince(start);
    if (!ok) error = failure;
    return ok;
}

double VideoWriter::ConvertSeconds() const { return state_ ? state_->convertSeconds : 0; }
double VideoWriter::EncodeSeconds() const { return state_ ? state_->encodeSeconds : 0; }

}  // namespace tools
