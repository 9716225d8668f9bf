#pragma once
// Writes QImage frames into a movie file through the FFmpeg module (videoencoder.h), which
// it opens at the first frame. AVI is MPEG-4 Part 2 video, key frames only, tagged with the
// four-character code the writer was made with; MP4, WebM and GIF are written as people share
// them (videoformat.h). The file is opened at the first frame, whose size every later frame
// must have.
//
// Conversion to the encoder's colours and encoding run on two threads of the writer's own, so
// that the caller only pays for a copy of each frame's changed rows: frames stay in order, at most
// a few are in flight (an append waits while they are), and a failure of one of them is reported by
// the next append or by Finish.

#include <memory>
#include <string>
#include <string_view>

#include <QSize>

#include "videoencoder.h"
#include "videoformat.h"

class QImage;
class QRect;

namespace tivane {

class AviWriter {
public:
    // Where the writer is. Every failure releases everything and lands in Closed for good.
    enum class State {
        Closed = 0,  // failed, or finished: every append fails
        Created = 1, // nothing opened yet; the first frame decides the size
        Writing = 2, // the header is written; frames go straight into the file
    };

    // Error texts, one per point of failure. LastErrorText() returns one of these.
    static constexpr const char* kSucceeded = kMovieSucceeded;
    static constexpr const char* kCannotCreateFile = kCannotCreateMovieFile;
    static constexpr const char* kCannotCreateStream = kCannotCreateVideoStream;
    static constexpr const char* kCannotCreateEncoder = tivane::kCannotCreateEncoder;
    static constexpr const char* kCannotSetFormat = kCannotSetVideoFormat;
    static constexpr const char* kCannotWrite = kCannotWriteVideo;

    // The largest width and height of a frame (MPEG-4 Part 2's 13-bit fields), in every format.
    static constexpr int kMaxSide = kMaxVideoSide;

    // Nothing is opened here: the file is created (or replaced) by the first AppendFrame.
    // `fourCC` is the codec tag an AVI stream carries ("XVID"). The encoder is the one named by
    // `encoder`, or when that is empty the format's preferred one: for AVI libxvid if this
    // FFmpeg has it, else FFmpeg's own MPEG-4 Part 2 encoder "mpeg4" (both write what XVID
    // players read); libx264 for MP4, libvpx-vp9 for WebM, else FFmpeg's default encoder of
    // the codec. A code that is not four characters, or that the AVI muxer does not take for
    // MPEG-4, fails the first append; so does a module that cannot be loaded
    // (kCannotCreateEncoder, with the files tried in LastErrorDetail()).
    AviWriter(std::string fileName, std::string_view fourCC = "XVID", int framesPerSecond = 25,
              std::string_view encoder = {}, VideoFormat format = VideoFormat::Avi);
    // Finish().
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Hands one frame to the encoder; it is copied, so the caller may draw on. Any QImage
    // format is taken (alpha is ignored). The first frame must have an even, non-zero width and
    // height of at most kMaxSide; every later one exactly its size. Waits while the frames in
    // flight fill the writer's few buffers. False on any failure (of this frame's size, or of
    // an earlier frame's encoding), after which the file holds the frames written before it
    // and is finalised, LastErrorText() says where it failed, and every later append fails too.
    bool AppendFrame(const QImage& frame);
    // The same, told that the frame differs from the one appended before it only inside
    // `changed` (of which only the rows count; empty when nothing changed): the rows outside
    // are neither copied nor converted again. The first frame is taken whole.
    bool AppendFrame(const QImage& frame, const QRect& changed);
    // Waits for the frames in flight, drains the encoder, writes the index and closes the file,
    // which is then complete and playable. Nothing to do (true) before the first frame or after
    // a failure an append reported. False, with LastErrorText() set, when a frame in flight
    // failed or the end of the file could not be written. Appends after it fail and leave
    // LastErrorText() as it was.
    bool Finish();

    State CurrentState() const { return m_state; }
    // "Method Succeeded" until something fails; then the text of that failure.
    std::string LastErrorText() const { return m_error; }
    // FFmpeg's own words for the last failure ("avio_open: No such file or directory"), for
    // logs; empty when FFmpeg said nothing.
    const std::string& LastErrorDetail() const { return m_detail; }
    const std::string& FileName() const { return m_fileName; }
    // The size of the first frame; empty before it.
    QSize FrameSize() const { return m_size; }
    // Frames accepted by AppendFrame.
    int FramesWritten() const { return m_framesWritten; }
    // The encoder chosen at the first frame ("libxvid", "mpeg4", "libx264", ...); empty before.
    const std::string& EncoderName() const { return m_encoderName; }

private:
    struct Pipeline; // the encoder and its two threads

    bool Open(const QImage& frame);
    bool Write(const QImage& frame, const QRect& changed);
    // Stops the threads and finishes the file, then the writer is Closed with `text`. Always
    // false.
    bool Fail(const char* text, std::string detail = {});

    std::string m_fileName;
    std::string m_fourCC;
    int m_fps;
    std::string m_wantedEncoder;
    VideoFormat m_format;
    State m_state = State::Created;
    std::string m_error = kSucceeded;
    std::string m_detail;
    std::string m_encoderName;
    QSize m_size;
    int m_framesWritten = 0;
    std::unique_ptr<Pipeline> m_pipeline;
};

} // namespace tivane
