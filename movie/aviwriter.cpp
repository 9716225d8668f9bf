#include "aviwriter.h"

#include <cstdio>

#include <QImage>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace tivane {

namespace {

// Every frame is coded with this fixed quantiser rather than at a bit rate: pictures are lines
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

std::string SizeText(QSize size) {
    return std::to_string(size.width()) + " x " + std::to_string(size.height());
}

} // namespace

// The FFmpeg objects of one open movie. The stream belongs to the format context.
struct AviWriter::Codec {
    AVFormatContext* format = nullptr;
    AVStream* stream = nullptr;
    AVCodecContext* encoder = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    bool fileOpen = false;      // the file exists because we created it
    bool headerWritten = false; // from here on the file can be finalised

    Codec() = default;
    Codec(const Codec&) = delete;
    Codec& operator=(const Codec&) = delete;
    ~Codec() {
        sws_freeContext(scaler);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&encoder);
        if (format) {
            if (format->pb) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

AviWriter::AviWriter(std::string fileName, std::string_view fourCC, int framesPerSecond,
                     std::string_view encoder)
    : m_fileName(std::move(fileName)), m_fourCC(fourCC), m_fps(framesPerSecond),
      m_wantedEncoder(encoder) {}

AviWriter::~AviWriter() {
    Finish();
}

bool AviWriter::AppendFrame(const QImage& frame) {
    switch (m_state) {
    case State::Closed:
        return false;
    case State::Created:
        if (!Open(frame)) return false;
        m_state = State::Writing;
        return Write(frame);
    case State::Writing:
        return Write(frame);
    }
    return false;
}

bool AviWriter::Finish() {
    if (m_state == State::Created) m_state = State::Closed;
    if (!m_codec) return true;
    m_state = State::Closed;
    if (Release()) return true;
    m_error = kCannotWrite;
    return false;
}

bool AviWriter::Fail(const char* text, std::string detail) {
    // The cause, not whatever finalising the file says after it.
    if (detail.empty()) detail = m_detail;
    Release();
    m_state = State::Closed;
    m_error = text;
    m_detail = std::move(detail);
    return false;
}

bool AviWriter::Release() {
    if (!m_codec) return true;
    Codec& c = *m_codec;
    bool ok = true;
    if (c.headerWritten) {
        // After an encoding failure the drain may fail too; the trailer still indexes the
        // frames already in the file.
        ok = Drain(true);
        const int rc = av_write_trailer(c.format);
        if (rc < 0) {
            m_detail = AvError("av_write_trailer", rc);
            ok = false;
        }
    }
    if (c.fileOpen) {
        const int rc = avio_closep(&c.format->pb);
        if (rc < 0) {
            m_detail = AvError("avio_close", rc);
            ok = false;
        }
        // A file without its header is no movie at all: leave nothing behind.
        if (!c.headerWritten) std::remove(m_fileName.c_str());
    }
    m_codec.reset();
    return ok;
}

bool AviWriter::Open(const QImage& frame) {
    const QSize size = frame.size();
    if (m_fourCC.size() != 4 || m_fps <= 0)
        return Fail(kCannotCreateEncoder, "codec tag '" + m_fourCC + "' at " +
                                              std::to_string(m_fps) + " frames per second");
    // 4:2:0 halves both dimensions of the colour planes.
    if (size.isEmpty() || size.width() % 2 != 0 || size.height() % 2 != 0)
        return Fail(kCannotCreateEncoder, "frame size " + SizeText(size) + ": must be even");
    if (size.width() > kMaxSide || size.height() > kMaxSide)
        return Fail(kCannotCreateEncoder, "frame size " + SizeText(size) + ": at most " +
                                              std::to_string(kMaxSide) + " a side");
    m_size = size;
    m_codec = std::make_unique<Codec>();
    Codec& c = *m_codec;

    int rc = avformat_alloc_output_context2(&c.format, nullptr, "avi", m_fileName.c_str());
    if (rc < 0 || !c.format)
        return Fail(kCannotCreateFile, AvError("avformat_alloc_output_context2", rc));
    rc = avio_open(&c.format->pb, m_fileName.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0) return Fail(kCannotCreateFile, AvError("avio_open", rc));
    c.fileOpen = true;

    c.stream = avformat_new_stream(c.format, nullptr);
    if (!c.stream) return Fail(kCannotCreateStream, "avformat_new_stream");

    const AVCodec* codec = nullptr;
    if (!m_wantedEncoder.empty()) {
        codec = avcodec_find_encoder_by_name(m_wantedEncoder.c_str());
    } else {
        codec = avcodec_find_encoder_by_name("libxvid");
        if (!codec) codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    }
    if (!codec || codec->id != AV_CODEC_ID_MPEG4)
        return Fail(kCannotCreateEncoder, "no MPEG-4 Part 2 encoder '" + m_wantedEncoder + "'");
    m_encoderName = codec->name;
    c.encoder = avcodec_alloc_context3(codec);
    if (!c.encoder) return Fail(kCannotCreateEncoder, "avcodec_alloc_context3");
    AVCodecContext& e = *c.encoder;
    e.width = size.width();
    e.height = size.height();
    e.sample_aspect_ratio = {1, 1};
    e.pix_fmt = AV_PIX_FMT_YUV420P;
    e.time_base = {1, m_fps};
    e.framerate = {m_fps, 1};
    // Key frames only: any frame of the movie can be shown on its own, and a recording cut
    // short loses nothing that later frames depend on.
    e.gop_size = 1;
    e.max_b_frames = 0;
    e.flags |= AV_CODEC_FLAG_QSCALE;
    e.global_quality = FF_QP2LAMBDA * kQuantiser;
    if (c.format->oformat->flags & AVFMT_GLOBALHEADER) e.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    rc = avcodec_open2(c.encoder, codec, nullptr);
    if (rc < 0) return Fail(kCannotCreateEncoder, AvError("avcodec_open2", rc));

    c.frame = av_frame_alloc();
    c.packet = av_packet_alloc();
    if (!c.frame || !c.packet) return Fail(kCannotCreateEncoder, "av_frame_alloc");
    c.frame->format = e.pix_fmt;
    c.frame->width = e.width;
    c.frame->height = e.height;
    rc = av_frame_get_buffer(c.frame, 0);
    if (rc < 0) return Fail(kCannotCreateEncoder, AvError("av_frame_get_buffer", rc));
    // AV_PIX_FMT_RGB32 is FFmpeg's name for QImage::Format_RGB32's layout on either byte order.
    // Bicubic keeps about 1 dB more of thin coloured lines than bilinear, at the same cost.
    c.scaler = sws_getContext(e.width, e.height, AV_PIX_FMT_RGB32, e.width, e.height,
                              AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!c.scaler) return Fail(kCannotCreateEncoder, "sws_getContext");

    rc = avcodec_parameters_from_context(c.stream->codecpar, c.encoder);
    if (rc < 0) return Fail(kCannotCreateStream, AvError("avcodec_parameters_from_context", rc));
    c.stream->codecpar->codec_tag = MKTAG(m_fourCC[0], m_fourCC[1], m_fourCC[2], m_fourCC[3]);
    c.stream->time_base = e.time_base;
    c.stream->avg_frame_rate = e.framerate;
    c.stream->r_frame_rate = e.framerate;
    rc = avformat_write_header(c.format, nullptr);
    if (rc < 0) return Fail(kCannotSetFormat, AvError("avformat_write_header", rc));
    c.headerWritten = true;
    return true;
}

bool AviWriter::Write(const QImage& frame) {
    if (frame.size() != m_size)
        return Fail(kCannotWrite,
                    "frame size " + SizeText(frame.size()) + ", the movie's " + SizeText(m_size));
    Codec& c = *m_codec;
    // Both 32-bit layouts keep B, G, R, X in memory; alpha is not looked at.
    const bool direct =
        frame.format() == QImage::Format_RGB32 || frame.format() == QImage::Format_ARGB32;
    const QImage converted = direct ? QImage() : frame.convertToFormat(QImage::Format_RGB32);
    const QImage& rgb = direct ? frame : converted;

    // The encoder may still hold the previous frame's buffer.
    int rc = av_frame_make_writable(c.frame);
    if (rc < 0) return Fail(kCannotWrite, AvError("av_frame_make_writable", rc));
    const uint8_t* const source[1] = {rgb.constBits()};
    const int stride[1] = {static_cast<int>(rgb.bytesPerLine())};
    sws_scale(c.scaler, source, stride, 0, m_size.height(), c.frame->data, c.frame->linesize);
    c.frame->pts = m_framesWritten;
    c.frame->pict_type = AV_PICTURE_TYPE_I;
    c.frame->quality = c.encoder->global_quality; // the fixed quantiser reads it per frame
    rc = avcodec_send_frame(c.encoder, c.frame);
    if (rc < 0) return Fail(kCannotWrite, AvError("avcodec_send_frame", rc));
    if (!Drain(false)) return Fail(kCannotWrite);
    ++m_framesWritten;
    return true;
}

bool AviWriter::Drain(bool flush) {
    Codec& c = *m_codec;
    if (flush) {
        const int rc = avcodec_send_frame(c.encoder, nullptr);
        if (rc < 0 && rc != AVERROR_EOF) {
            m_detail = AvError("avcodec_send_frame", rc);
            return false;
        }
    }
    for (;;) {
        int rc = avcodec_receive_packet(c.encoder, c.packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) {
            m_detail = AvError("avcodec_receive_packet", rc);
            return false;
        }
        av_packet_rescale_ts(c.packet, c.encoder->time_base, c.stream->time_base);
        c.packet->stream_index = c.stream->index;
        // Takes the packet's data and leaves it blank for the next one.
        rc = av_interleaved_write_frame(c.format, c.packet);
        if (rc < 0) {
            m_detail = AvError("av_interleaved_write_frame", rc);
            return false;
        }
    }
}

} // namespace tivane
