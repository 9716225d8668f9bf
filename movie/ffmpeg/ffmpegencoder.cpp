// The FFmpeg module (tivane-ffmpeg.so): VideoEncoder over libavformat, libavcodec and
// libswscale. Only the movie writer opens it, the first time a movie is recorded.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "videoencoder.h"
#include "yuv420.h"

namespace tivane {

namespace {

// AVI frames are coded with this fixed quantiser rather than at a bit rate: pictures are lines
// and text on flat colour whose cost swings with what is drawn and with the window's size, and
// a rate that suits one picture smears another. What a line plot loses is mostly in the 4:2:0
// colour planes, not in the coefficients: at 800 x 600, 3 gives 37.0 dB at 24 KB a frame, 2 the
// same at 29 KB, 5 gives 36.5 dB at 19 KB.
constexpr int kQuantiser = 3;

std::string AvError(const char* where, int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return std::string(where) + ": " + text;
}

std::string SizeText(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

bool Fail(VideoFailure& failure, const char* text, std::string detail) {
    failure.text = text;
    failure.detail = std::move(detail);
    return false;
}

// What each format is written with.
struct FormatRecipe {
    const char* muxer;
    AVCodecID codec;
    const char* preferred; // tried first, then FFmpeg's default encoder of `codec`
    AVPixelFormat pixels;
    const char* codecWords; // in the refusal of an encoder of another codec
};
const FormatRecipe& RecipeOf(VideoFormat format) {
    static const FormatRecipe recipes[] = {
        {"avi", AV_CODEC_ID_MPEG4, "libxvid", AV_PIX_FMT_YUV420P, "MPEG-4 Part 2"},
        {"mp4", AV_CODEC_ID_H264, "libx264", AV_PIX_FMT_YUV420P, "H.264"},
        {"webm", AV_CODEC_ID_VP9, "libvpx-vp9", AV_PIX_FMT_YUV420P, "VP9"},
        // Three bits of red and green, two of blue: the GIF encoder's own fixed palette, and a
        // conversion that swscale dithers, so that no palette has to be searched per frame.
        {"gif", AV_CODEC_ID_GIF, "gif", AV_PIX_FMT_RGB8, "GIF"},
    };
    return recipes[static_cast<int>(format)];
}

// Settings of the shared formats: made to be watched, so key frames every two seconds and a
// quality at which thin lines and small text stay sharp; fast presets, since a frame is taken
// while the model runs.
void SetSharingOptions(AVCodecContext& e, const AVCodec& codec, int fps) {
    const std::string name = codec.name;
    e.gop_size = 2 * fps;
    if (name == "libx264") {
        av_opt_set(e.priv_data, "preset", "veryfast", 0);
        av_opt_set(e.priv_data, "tune", "animation", 0);
        av_opt_set(e.priv_data, "crf", "20", 0);
    } else if (name == "libvpx-vp9") {
        av_opt_set(e.priv_data, "deadline", "realtime", 0);
        av_opt_set(e.priv_data, "cpu-used", "8", 0);
        av_opt_set(e.priv_data, "row-mt", "1", 0);
        av_opt_set(e.priv_data, "crf", "24", 0);
        e.bit_rate = 0; // quality alone, no rate
    }
}

class FfmpegEncoder final : public VideoEncoder {
public:
    ~FfmpegEncoder() override {
        VideoFailure ignored;
        Finish(ignored);
    }

    bool Open(const VideoSpec& spec, VideoFailure& failure) override;
    bool Convert(const uint8_t* bgrx, std::ptrdiff_t stride, int top, int rows, int picture,
                 VideoFailure& failure) override;
    bool Encode(int picture, VideoFailure& failure) override;
    bool Finish(VideoFailure& failure) override;
    std::string EncoderName() const override { return m_encoderName; }

private:
    // Moves the encoder's packets into the file; with `flush`, all it still holds.
    bool Drain(bool flush, VideoFailure& failure);
    // Frees every FFmpeg object; removes a file that has no header.
    void Release();
    // The steps of Open, in order; each fills `failure` when it fails.
    bool CheckSpec(const VideoSpec& spec, VideoFailure& failure) const;
    bool CreateFile(const VideoSpec& spec, VideoFailure& failure);
    bool OpenCodec(const VideoSpec& spec, VideoFailure& failure);
    bool MakePictures(int pictures, VideoFailure& failure);
    bool WriteHeader(const VideoSpec& spec, VideoFailure& failure);

    std::string m_fileName;
    int m_width = 0, m_height = 0;
    int64_t m_next = 0; // the next frame's number
    std::string m_encoderName;
    AVFormatContext* m_format = nullptr;
    AVStream* m_stream = nullptr; // belongs to m_format
    AVCodecContext* m_encoder = nullptr;
    SwsContext* m_scaler = nullptr;
    std::vector<AVFrame*> m_pictures;
    AVPacket* m_packet = nullptr;
    bool m_fileOpen = false;      // the file exists because we created it
    bool m_headerWritten = false; // from here on the file can be finalised
    bool m_failed = false;        // an encode failed: the drain may fail too
};

bool FfmpegEncoder::Open(const VideoSpec& spec, VideoFailure& failure) {
    m_fileName = spec.fileName;
    m_width = spec.width;
    m_height = spec.height;
    // Each step says what failed; whatever the earlier steps made is freed here.
    if (CheckSpec(spec, failure) && CreateFile(spec, failure) && OpenCodec(spec, failure) &&
        MakePictures(spec.pictures, failure) && WriteHeader(spec, failure))
        return true;
    Release();
    return false;
}

bool FfmpegEncoder::CheckSpec(const VideoSpec& spec, VideoFailure& failure) const {
    if ((spec.format == VideoFormat::Avi && spec.fourCC.size() != 4) || spec.framesPerSecond <= 0 ||
        spec.pictures < 1)
        return Fail(failure, kCannotCreateEncoder,
                    "codec tag '" + spec.fourCC + "' at " + std::to_string(spec.framesPerSecond) +
                        " frames per second");
    // 4:2:0 halves both dimensions of the colour planes.
    if (m_width <= 0 || m_height <= 0 || m_width % 2 != 0 || m_height % 2 != 0)
        return Fail(failure, kCannotCreateEncoder,
                    "frame size " + SizeText(m_width, m_height) + ": must be even");
    if (m_width > kMaxVideoSide || m_height > kMaxVideoSide)
        return Fail(failure, kCannotCreateEncoder,
                    "frame size " + SizeText(m_width, m_height) + ": at most " +
                        std::to_string(kMaxVideoSide) + " a side");
    return true;
}

bool FfmpegEncoder::CreateFile(const VideoSpec& spec, VideoFailure& failure) {
    int rc = avformat_alloc_output_context2(&m_format, nullptr, RecipeOf(spec.format).muxer,
                                            m_fileName.c_str());
    if (rc < 0 || !m_format)
        return Fail(failure, kCannotCreateMovieFile, AvError("avformat_alloc_output_context2", rc));
    rc = avio_open(&m_format->pb, m_fileName.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0) return Fail(failure, kCannotCreateMovieFile, AvError("avio_open", rc));
    m_fileOpen = true;
    m_stream = avformat_new_stream(m_format, nullptr);
    if (!m_stream) return Fail(failure, kCannotCreateVideoStream, "avformat_new_stream");
    return true;
}

bool FfmpegEncoder::OpenCodec(const VideoSpec& spec, VideoFailure& failure) {
    const FormatRecipe& recipe = RecipeOf(spec.format);
    const AVCodec* codec = avcodec_find_encoder_by_name(
        spec.encoder.empty() ? recipe.preferred : spec.encoder.c_str());
    if (!codec && spec.encoder.empty()) codec = avcodec_find_encoder(recipe.codec);
    if (!codec || codec->id != recipe.codec)
        return Fail(failure, kCannotCreateEncoder,
                    std::string("no ") + recipe.codecWords + " encoder '" + spec.encoder + "'");
    m_encoderName = codec->name;
    m_encoder = avcodec_alloc_context3(codec);
    if (!m_encoder) return Fail(failure, kCannotCreateEncoder, "avcodec_alloc_context3");
    AVCodecContext& e = *m_encoder;
    e.width = m_width;
    e.height = m_height;
    e.sample_aspect_ratio = {1, 1};
    e.pix_fmt = recipe.pixels;
    e.time_base = {1, spec.framesPerSecond};
    e.framerate = {spec.framesPerSecond, 1};
    if (spec.format == VideoFormat::Avi) {
        // Key frames only: any frame of the movie can be shown on its own, and a recording
        // cut short loses nothing that later frames depend on.
        e.gop_size = 1;
        e.max_b_frames = 0;
        e.flags |= AV_CODEC_FLAG_QSCALE;
        e.global_quality = FF_QP2LAMBDA * kQuantiser;
    } else {
        SetSharingOptions(e, *codec, spec.framesPerSecond);
    }
    if (m_format->oformat->flags & AVFMT_GLOBALHEADER) e.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int rc = avcodec_open2(m_encoder, codec, nullptr);
    if (rc < 0) return Fail(failure, kCannotCreateEncoder, AvError("avcodec_open2", rc));
    return true;
}

bool FfmpegEncoder::MakePictures(int pictures, VideoFailure& failure) {
    const AVCodecContext& e = *m_encoder;
    m_packet = av_packet_alloc();
    if (!m_packet) return Fail(failure, kCannotCreateEncoder, "av_packet_alloc");
    for (int k = 0; k < pictures; ++k) {
        AVFrame* frame = av_frame_alloc();
        if (!frame) return Fail(failure, kCannotCreateEncoder, "av_frame_alloc");
        m_pictures.push_back(frame);
        frame->format = e.pix_fmt;
        frame->width = e.width;
        frame->height = e.height;
        const int rc = av_frame_get_buffer(frame, 0);
        if (rc < 0) return Fail(failure, kCannotCreateEncoder, AvError("av_frame_get_buffer", rc));
    }
    // 4:2:0 is converted by BgrxToYuv420; swscale dithers the GIF's 8 bits. AV_PIX_FMT_RGB32
    // is FFmpeg's name for B, G, R, X in memory on a little-endian machine.
    if (e.pix_fmt != AV_PIX_FMT_YUV420P) {
        m_scaler = sws_getContext(e.width, e.height, AV_PIX_FMT_RGB32, e.width, e.height, e.pix_fmt,
                                  SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!m_scaler) return Fail(failure, kCannotCreateEncoder, "sws_getContext");
    }
    return true;
}

bool FfmpegEncoder::WriteHeader(const VideoSpec& spec, VideoFailure& failure) {
    int rc = avcodec_parameters_from_context(m_stream->codecpar, m_encoder);
    if (rc < 0)
        return Fail(failure, kCannotCreateVideoStream,
                    AvError("avcodec_parameters_from_context", rc));
    if (spec.format == VideoFormat::Avi) {
        const std::string& tag = spec.fourCC;
        m_stream->codecpar->codec_tag = MKTAG(tag[0], tag[1], tag[2], tag[3]);
    }
    m_stream->time_base = m_encoder->time_base;
    m_stream->avg_frame_rate = m_encoder->framerate;
    m_stream->r_frame_rate = m_encoder->framerate;
    AVDictionary* options = nullptr;
    // The index at the front, so that a shared movie plays while it downloads.
    if (spec.format == VideoFormat::Mp4) av_dict_set(&options, "movflags", "+faststart", 0);
    rc = avformat_write_header(m_format, &options);
    av_dict_free(&options);
    if (rc < 0) return Fail(failure, kCannotSetVideoFormat, AvError("avformat_write_header", rc));
    m_headerWritten = true;
    return true;
}

bool FfmpegEncoder::Convert(const uint8_t* bgrx, std::ptrdiff_t stride, int top, int rows,
                            int picture, VideoFailure& failure) {
    AVFrame* frame = m_pictures.at(size_t(picture));
    // The encoder may still hold this picture's buffer from an earlier frame; a new one gets
    // a copy of what it held, so the rows left alone stay right.
    const int rc = av_frame_make_writable(frame);
    if (rc < 0) return Fail(failure, kCannotWriteVideo, AvError("av_frame_make_writable", rc));
    if (frame->format == AV_PIX_FMT_YUV420P) {
        // A colour sample covers two rows: whole pairs are converted.
        const int first = std::max(top, 0) & ~1;
        const int end = std::min((top + rows + 1) & ~1, m_height);
        if (end <= first) return true;
        const int* lines = frame->linesize;
        uint8_t* const planes[3] = {frame->data[0] + std::ptrdiff_t(lines[0]) * first,
                                    frame->data[1] + std::ptrdiff_t(lines[1]) * (first / 2),
                                    frame->data[2] + std::ptrdiff_t(lines[2]) * (first / 2)};
        BgrxToYuv420(bgrx + stride * first, stride, m_width, end - first, planes, lines);
        return true;
    }
    // swscale's dithering is laid out over the whole picture: it is converted whole.
    const uint8_t* const source[1] = {bgrx};
    const int strides[1] = {static_cast<int>(stride)};
    sws_scale(m_scaler, source, strides, 0, m_height, frame->data, frame->linesize);
    return true;
}

bool FfmpegEncoder::Encode(int picture, VideoFailure& failure) {
    AVFrame* frame = m_pictures.at(size_t(picture));
    frame->pts = m_next;
    if (m_encoder->gop_size == 1) {
        frame->pict_type = AV_PICTURE_TYPE_I;
        frame->quality = m_encoder->global_quality; // the fixed quantiser reads it per frame
    }
    const int rc = avcodec_send_frame(m_encoder, frame);
    if (rc < 0) {
        m_failed = true;
        return Fail(failure, kCannotWriteVideo, AvError("avcodec_send_frame", rc));
    }
    if (!Drain(false, failure)) {
        m_failed = true;
        failure.text = kCannotWriteVideo;
        return false;
    }
    ++m_next;
    return true;
}

bool FfmpegEncoder::Drain(bool flush, VideoFailure& failure) {
    if (flush) {
        const int rc = avcodec_send_frame(m_encoder, nullptr);
        if (rc < 0 && rc != AVERROR_EOF)
            return Fail(failure, kCannotWriteVideo, AvError("avcodec_send_frame", rc));
    }
    for (;;) {
        int rc = avcodec_receive_packet(m_encoder, m_packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) return Fail(failure, kCannotWriteVideo, AvError("avcodec_receive_packet", rc));
        av_packet_rescale_ts(m_packet, m_encoder->time_base, m_stream->time_base);
        m_packet->stream_index = m_stream->index;
        // Takes the packet's data and leaves it blank for the next one.
        rc = av_interleaved_write_frame(m_format, m_packet);
        if (rc < 0)
            return Fail(failure, kCannotWriteVideo, AvError("av_interleaved_write_frame", rc));
    }
}

bool FfmpegEncoder::Finish(VideoFailure& failure) {
    bool ok = true;
    if (m_headerWritten) {
        // After an encoding failure the drain may fail too; the trailer still indexes the
        // frames already in the file.
        VideoFailure drain;
        if (!Drain(true, drain) && !m_failed) ok = Fail(failure, kCannotWriteVideo, drain.detail);
        const int rc = av_write_trailer(m_format);
        if (rc < 0) ok = Fail(failure, kCannotWriteVideo, AvError("av_write_trailer", rc));
    }
    if (m_fileOpen) {
        const int rc = avio_closep(&m_format->pb);
        if (rc < 0) ok = Fail(failure, kCannotWriteVideo, AvError("avio_close", rc));
    }
    Release();
    return ok;
}

void FfmpegEncoder::Release() {
    sws_freeContext(m_scaler);
    m_scaler = nullptr;
    for (AVFrame*& frame : m_pictures)
        av_frame_free(&frame);
    m_pictures.clear();
    av_packet_free(&m_packet);
    avcodec_free_context(&m_encoder);
    if (m_format) {
        if (m_format->pb) avio_closep(&m_format->pb);
        avformat_free_context(m_format);
        m_format = nullptr;
    }
    // A file without its header is no movie at all: leave nothing behind.
    if (m_fileOpen && !m_headerWritten) std::remove(m_fileName.c_str());
    m_fileOpen = m_headerWritten = false;
    m_stream = nullptr;
}

} // namespace

} // namespace tivane

extern "C" __attribute__((visibility("default"))) tivane::VideoEncoder*
TivaneMakeVideoEncoder(int version) {
    if (version != tivane::kVideoEncoderVersion) return nullptr;
    // Encoders report their settings and statistics at the default level (libx264 some twenty
    // lines a movie); a failure is the writer's to tell, so only errors get through.
    static const bool quiet = (av_log_set_level(AV_LOG_ERROR), true);
    (void)quiet;
    return new tivane::FfmpegEncoder;
}
