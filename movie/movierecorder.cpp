#include "movierecorder.h"

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>

#include <QPainter>

#include "atomicfile.h"
#include "tivanegraph.h"

namespace tivane {

namespace {

// The names started recorders are writing, as absolute normal paths so that "out.avi" and
// "./out.avi" are one file. A recorder frees the key it claimed, which stays right even if the
// current directory changes meanwhile. Recorders live on the UI thread; the lock only keeps a
// stray caller from another thread from corrupting the set.
class NamesInUse {
public:
    static std::string Key(const std::string& fileName) {
        std::error_code ec;
        std::filesystem::path path = std::filesystem::absolute(fileName, ec);
        if (ec) path = fileName;
        return path.lexically_normal().string();
    }
    // The key now held, or nothing when another recorder holds it.
    std::optional<std::string> Claim(const std::string& fileName) {
        std::string key = Key(fileName);
        const std::lock_guard lock(m_mutex);
        if (!m_names.insert(key).second) return std::nullopt;
        return key;
    }
    void Free(const std::string& key) {
        const std::lock_guard lock(m_mutex);
        m_names.erase(key);
    }
    bool Holds(const std::string& fileName) {
        const std::string key = Key(fileName);
        const std::lock_guard lock(m_mutex);
        return m_names.count(key) != 0;
    }

private:
    std::mutex m_mutex;
    std::set<std::string> m_names;
};

NamesInUse& Names() {
    static NamesInUse names;
    return names;
}

int RoundUp8(int n) {
    return n <= 0 ? 0 : (n + 7) / 8 * 8;
}

} // namespace

QSize MovieFrameSize(QSize clientSize) {
    return QSize(RoundUp8(clientSize.width()), RoundUp8(clientSize.height()));
}

std::string NextMovieFileName(const std::string& dir) {
    const std::filesystem::path base(dir);
    // Ends: a folder holds finitely many names, and each started recorder one more.
    for (int n = 0;; ++n) {
        const std::string name = n == 0 ? "output.avi" : "output" + std::to_string(n) + ".avi";
        const std::string path = (base / name).string();
        // symlink_status: a dangling link is a name taken too.
        std::error_code ec;
        const bool onDisk = std::filesystem::symlink_status(path, ec).type() !=
                            std::filesystem::file_type::not_found;
        if (!onDisk && !MovieFileInUse(path)) return path;
    }
}

bool MovieFileInUse(const std::string& fileName) {
    return Names().Holds(fileName);
}

MovieRecorder::MovieRecorder(CTivaneGraph& view, std::string fileName, ClientSize clientSize,
                             double dpiX)
    : m_observation(view, *this), m_fileName(std::move(fileName)),
      m_clientSize(std::move(clientSize)), m_dpiX(dpiX) {}

MovieRecorder::~MovieRecorder() {
    Stop();
}

bool MovieRecorder::Start() {
    if (m_requested) return true;
    std::optional<std::string> key = Names().Claim(m_fileName);
    if (!key) return false;
    m_nameKey = std::move(*key);
    m_requested = true;
    m_frames = 0;
    m_stopReason = StopReason::None;
    m_error = AviWriter::kSucceeded;
    m_saved = false;
    return true;
}

bool MovieRecorder::BeginIfRequested(QSize clientSize) {
    if (!m_requested) return false;
    if (m_writer) return true;
    if (clientSize.isEmpty()) return false;
    const QSize frameSize = MovieFrameSize(clientSize);
    if (frameSize.width() > kMaxFrameSide || frameSize.height() > kMaxFrameSide) {
        m_error = "A movie of " + std::to_string(clientSize.width()) + " x " +
                  std::to_string(clientSize.height()) +
                  " pixels is larger than the encoder takes: at most " +
                  std::to_string(kMaxFrameSide) + " pixels a side.";
        StopBecause(StopReason::TooLarge);
        return false;
    }
    if (const WriteResult r = CreateTemporary(m_fileName, m_temp); !r.Ok()) {
        m_error = std::string(AviWriter::kCannotCreateFile) + " (" + r.error + ")";
        StopBecause(StopReason::WriteFailed);
        return false;
    }
    m_startSize = clientSize;
    m_frame = QImage(frameSize, QImage::Format_RGB32);
    m_frame.fill(Qt::white);
    m_state = ReplayState{}; // the first frame replays the whole list
    // The name's ending picks the format; one no format has is written as AVI, as the name
    // "output.avi" always was (the window layer refuses such names before they get here).
    const VideoFormat format = VideoFormatForName(m_fileName).format.value_or(VideoFormat::Avi);
    m_writer = std::make_unique<AviWriter>(m_temp, kFourCC, kFramesPerSecond, "", format);
    return true;
}

void MovieRecorder::CaptureFrame() {
    const CTivaneGraph* view = m_observation.View();
    if (!m_requested || !view) return;
    const QSize size = m_clientSize ? m_clientSize() : QSize();
    if (!BeginIfRequested(size)) return;
    if (size != m_startSize) {
        StopBecause(StopReason::SizeChanged);
        return;
    }
    QRect changed;
    {
        QPainter painter(&m_frame);
        // The frame shows what the window shows; the padding to a multiple of 8 stays white.
        const QRect shown(QPoint(0, 0), size);
        painter.setClipRect(shown);
        changed = CatchUp(view->Model(), painter, m_frame.rect(), ReplayTarget{size, m_dpiX, false},
                          m_state) &
                  shown;
    }
    // Only the rows this frame's items touched go to the writer again.
    if (!m_writer->AppendFrame(m_frame, changed)) {
        StopBecause(StopReason::WriteFailed);
        return;
    }
    ++m_frames;
}

bool MovieRecorder::Stop() {
    return StopBecause(StopReason::Requested);
}

bool MovieRecorder::StopBecause(StopReason reason) {
    if (!m_requested) return true;
    bool finished = true;
    if (m_writer) {
        finished = m_writer->Finish() && reason != StopReason::WriteFailed;
        if (!finished) {
            m_error = m_writer->LastErrorText();
            // FFmpeg's words end with the system's reason ("avio_open: No space left on device").
            const std::string& detail = m_writer->LastErrorDetail();
            if (!detail.empty()) m_error += " (" + detail + ")";
        }
        m_writer.reset();
    }
    if (!m_temp.empty()) {
        if (finished && m_frames > 0) {
            const WriteResult r = CommitFile(m_temp, m_fileName);
            m_saved = r.Ok();
            if (!m_saved) m_error = std::string(AviWriter::kCannotWrite) + " (" + r.error + ")";
            finished = m_saved;
        } else {
            std::remove(m_temp.c_str()); // a failed or empty movie leaves nothing behind
        }
        m_temp.clear();
    }
    m_requested = false;
    m_frame = QImage();
    Names().Free(m_nameKey);
    m_stopReason = reason;
    if (reason != StopReason::Requested && onStopped) onStopped(reason);
    return finished;
}

} // namespace tivane
