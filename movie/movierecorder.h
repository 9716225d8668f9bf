#pragma once
// The movie of a graphics view: one frame after every successful run of the view's update
// program. The frame is a picture of its own that the replay paints the new items into, as a
// window paints its off-screen image; the window's picture and its replay state are not
// touched. The window layer and tivane-run both record through this class.

#include <functional>
#include <memory>
#include <string>

#include <QImage>
#include <QSize>

#include "aviwriter.h"
#include "replay.h"
#include "tivanegraph.h"

namespace tivane {

// The size of a movie's frames for a client area: each side rounded up to a multiple of 8,
// the block size of the MPEG-4 coder (and even, as 4:2:0 colour needs). 301 x 200 gives
// 304 x 200; the strip beyond the client area stays white.
QSize MovieFrameSize(QSize clientSize);

// The first of "output.avi", "output1.avi", "output2.avi", ... in `dir` ("" for the current
// directory) that is neither on disk nor held by a started recorder of this process, so a
// new movie never replaces a file and two windows never write the same one. Take the name
// and Start() the recorder in one go, before anything else can start another.
std::string NextMovieFileName(const std::string& dir);
// True while a started recorder of this process holds `fileName`.
bool MovieFileInUse(const std::string& fileName);

class MovieRecorder final : private GraphObserver {
public:
    static constexpr int kFramesPerSecond = 25;
    static constexpr const char* kFourCC = "XVID";
    // The writer's largest side rounded down to the frames' multiple of 8. A larger client
    // area is refused before its frame (a gigabyte or more) is allocated.
    static constexpr int kMaxFrameSide = AviWriter::kMaxSide / 8 * 8;
    static_assert(kMaxFrameSide == 8184);

    enum class StopReason {
        None,        // still recording, or never started
        Requested,   // Stop(), or the recorder was destroyed
        SizeChanged, // the client area changed size: a movie keeps its first frame size
        WriteFailed, // the writer failed; LastErrorText() says where
        TooLarge,    // the client area is larger than the encoder takes
    };

    using ClientSize = std::function<QSize()>;

    // Observes `view`: a frame after each of its successful update runs. The registration ends
    // with the recorder or with the view, whichever goes first; a recorder whose view has gone
    // takes no more frames and can still be stopped. `clientSize` gives the view window's
    // current client area in device pixels, `dpiX` its horizontal logical pixels per inch
    // (pens and fonts of the frames are sized as on the screen).
    MovieRecorder(CTivaneGraph& view, std::string fileName, ClientSize clientSize,
                  double dpiX = 96);
    // Stop().
    ~MovieRecorder();
    MovieRecorder(const MovieRecorder&) = delete;
    MovieRecorder& operator=(const MovieRecorder&) = delete;

    // Asks for a recording into FileName(); it begins with the next captured frame (or with
    // BeginIfRequested). False, and nothing requested, when another started recorder of this
    // process holds the name. The movie is written beside FileName() under a temporary name
    // and renamed over it when it stops with at least one frame; a movie that failed, or has
    // no frame, leaves no file and the earlier file as it was. Starting again after a stop
    // replaces the file.
    bool Start();
    // Begins a requested recording now with this client size (the window layer calls it when
    // it knows the size it shows): the frame is a white picture of MovieFrameSize(clientSize)
    // and the next capture replays the whole list into it. True once recording; false when
    // nothing was requested, or the size is empty (a minimised window waits for a real one).
    // A frame side beyond kMaxFrameSide (TooLarge) or a temporary file that cannot be created
    // (WriteFailed) stops the recording, with LastErrorText() saying why.
    bool BeginIfRequested(QSize clientSize);
    // After an update run: replays the items added since the last frame into the frame (the
    // whole list onto white when the view was cleared since), at the current client size, and
    // appends it to the movie. A client size other than the one the
    // recording began with, or a failed append, stops the recording (the file is finalised
    // with the frames before).
    void CaptureFrame();
    // Ends the recording: the file is completed, closed and renamed into place (when it has a
    // frame), and its name is free again. False when the file could not be finished or put in
    // place (LastErrorText()); then no movie was written.
    bool Stop();

    // Called when the recorder stops by itself (SizeChanged or WriteFailed), after the file is
    // closed, so the window can update its controls or tell why. It must not destroy the
    // recorder.
    std::function<void(StopReason)> onStopped;

    // Between Start() and the stop.
    bool Requested() const { return m_requested; }
    // From the beginning (first capture or BeginIfRequested) to the stop.
    bool Recording() const { return m_writer != nullptr; }
    const std::string& FileName() const { return m_fileName; }
    // Frames in the current (or last) movie.
    int FramesRecorded() const { return m_frames; }
    // The picture of the last frame; null when not recording.
    const QImage& Frame() const { return m_frame; }
    // The client size the recording began with; empty before it.
    QSize StartSize() const { return m_startSize; }
    StopReason LastStopReason() const { return m_stopReason; }
    // True when the last recording ended with its movie at FileName().
    bool Saved() const { return m_saved; }
    // Why the last movie failed: the writer's text with the system's reason in parentheses
    // ("Unable to Create the Movie File (No such file or directory)"), or the size refusal;
    // "Method Succeeded" when all went well, and while recording.
    const std::string& LastErrorText() const { return m_error; }

private:
    void ViewUpdated() override { CaptureFrame(); }
    bool StopBecause(StopReason reason);

    GraphObservation m_observation;
    std::string m_fileName;
    std::string m_nameKey; // what Start() claimed in the names in use
    std::string m_temp;    // the file being written, beside m_fileName
    ClientSize m_clientSize;
    double m_dpiX;
    bool m_requested = false;
    QSize m_startSize;
    QImage m_frame;
    // The frame's own replay position in the view's model.
    ReplayState m_state;
    std::unique_ptr<AviWriter> m_writer;
    int m_frames = 0;
    StopReason m_stopReason = StopReason::None;
    bool m_saved = false;
    std::string m_error = AviWriter::kSucceeded;
};

} // namespace tivane
