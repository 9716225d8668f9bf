#pragma once
// Writes QImage frames into an AVI file through libavformat and libavcodec: MPEG-4 Part 2
// video, key frames only, tagged with the four-character code the writer was made with.
// The file is opened at the first frame, whose size every later frame must have.

#include <memory>
#include <string>
#include <string_view>

#include <QSize>

class QImage;

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
    static constexpr const char* kSucceeded = "Method Succeeded";
    static constexpr const char* kCannotCreateFile = "Unable to Create the Movie File";
    static constexpr const char* kCannotCreateStream =
        "Unable to Create Video Stream in the Movie File";
    static constexpr const char* kCannotCreateEncoder =
        "Unable to Create Compressed Stream: Check your CODEC options";
    static constexpr const char* kCannotSetFormat = "Unable to Set Video Stream Format";
    static constexpr const char* kCannotWrite =
        "Unable to Write Video Stream to the output Movie File";

    // MPEG-4 Part 2 keeps a frame's width and height in 13-bit fields. FFmpeg's encoder
    // refuses more; libxvid takes it and writes a stream no decoder reads, so the writer
    // refuses it for both.
    static constexpr int kMaxSide = 8191;

    // Nothing is opened here: the file is created (or replaced) by the first AppendFrame.
    // `fourCC` is the codec tag the stream carries ("XVID"). The encoder is the one named by
    // `encoder`, or when that is empty libxvid if this FFmpeg has it, else FFmpeg's own
    // MPEG-4 Part 2 encoder "mpeg4"; both write what XVID players read. A code that is not
    // four characters, or that the AVI muxer does not take for MPEG-4, fails the first append.
    AviWriter(std::string fileName, std::string_view fourCC = "XVID", int framesPerSecond = 25,
              std::string_view encoder = {});
    // Finish().
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Encodes one frame and writes it. Any QImage format is taken (RGB32 and ARGB32 without a
    // copy; alpha is ignored). The first frame must have an even, non-zero width and height
    // of at most kMaxSide; every later one exactly its size. False on any failure, after which the
    // file holds the frames written before it and is finalised, LastErrorText() says where it
    // failed, and every later append fails too.
    bool AppendFrame(const QImage& frame);
    // Drains the encoder, writes the index and closes the file, which is then complete and
    // playable. Nothing to do (true) before the first frame or after a failure. False, with
    // LastErrorText() set, when the end of the file could not be written. Appends after it
    // fail and leave LastErrorText() as it was.
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
    int FramesWritten() const { return m_framesWritten; }
    // The encoder chosen at the first frame ("libxvid" or "mpeg4"); empty before it.
    const std::string& EncoderName() const { return m_encoderName; }

private:
    struct Codec; // the FFmpeg objects, so that this header needs no FFmpeg headers

    bool Open(const QImage& frame);
    bool Write(const QImage& frame);
    // Moves the encoder's packets into the file; with `flush`, all it still holds. False, with
    // the detail set, when encoding or writing failed.
    bool Drain(bool flush);
    // Release(), then the writer is Closed with `text`. Always false.
    bool Fail(const char* text, std::string detail = {});
    // Finalises what was written (when the header was) and frees every FFmpeg object. False
    // when the end of the file could not be written.
    bool Release();

    std::string m_fileName;
    std::string m_fourCC;
    int m_fps;
    std::string m_wantedEncoder;
    State m_state = State::Created;
    std::string m_error = kSucceeded;
    std::string m_detail;
    std::string m_encoderName;
    QSize m_size;
    int m_framesWritten = 0;
    std::unique_ptr<Codec> m_codec;
};

} // namespace tivane
