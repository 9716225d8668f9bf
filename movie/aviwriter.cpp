#include "aviwriter.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <QImage>

#include "encodermodule.h"

namespace tivane {

namespace {

std::string SizeText(QSize size) {
    return std::to_string(size.width()) + " x " + std::to_string(size.height());
}

// Frames in flight: enough that the run, the conversion and the encoder each have one to
// work on with one to spare, but never more than this many bytes of copies, so that a huge
// frame is written one at a time rather than held four times over.
constexpr int kMaxInFlight = 4;
constexpr size_t kInFlightBytes = size_t{64} << 20;

// Rows [top, bottom) of a frame; empty when bottom <= top.
struct RowSpan {
    int top = 0, bottom = 0;

    bool Empty() const { return bottom <= top; }
    int Count() const { return Empty() ? 0 : bottom - top; }
    RowSpan& operator|=(RowSpan other) {
        if (other.Empty()) return *this;
        if (Empty()) return *this = other;
        top = std::min(top, other.top);
        bottom = std::max(bottom, other.bottom);
        return *this;
    }
};

// Bytes that keep what they hold while they grow, never shrink, and are not cleared first:
// a buffer that has once held a whole frame costs nothing more.
class Bytes {
public:
    uint8_t* Reserve(size_t size) {
        if (size > m_size) {
            m_bytes.reset(new uint8_t[size]);
            m_size = size;
        }
        return m_bytes.get();
    }
    uint8_t* Data() const { return m_bytes.get(); }

private:
    std::unique_ptr<uint8_t[]> m_bytes;
    size_t m_size = 0;
};

// The first of a queue that never holds more than the frames in flight, so that, once reserved
// for them, it allocates nothing.
template <typename T>
T TakeFirst(std::vector<T>& queue) {
    const T first = queue.front();
    queue.erase(queue.begin());
    return first;
}

} // namespace

// The encoder and its two threads. A frame's changed rows go from the caller into a free copy
// buffer, then to the converter thread, which keeps the whole frame and brings a picture up to
// date with it, then to the encoder thread (picture -> file); each stage takes them in the
// order the previous one gave them, so frames stay in order.
//
// A picture comes back to the converter holding the frame it carried a few frames ago: the
// converter keeps, for each picture, the rows changed since then, and converts only those. A
// line plot that grows by a few pixels a frame so costs a few rows of copy and conversion
// instead of the whole frame.
struct AviWriter::Pipeline {
    std::unique_ptr<VideoEncoder> encoder;
    int height = 0;
    std::ptrdiff_t stride = 0;
    std::vector<Bytes> copies; // each slot holds its frame's changed rows, one after the other

    // The converter's own: the frame as it is now, and for each picture the rows in which it
    // differs from it.
    Bytes frame;
    std::vector<RowSpan> stale;

    struct Changed {
        int slot;
        RowSpan rows;
    };

    std::mutex mutex;
    // Who waits for what: the caller for a free copy, the converter for a frame and a free
    // picture (or the end), the coder for a picture (or the end). A failure wakes all three.
    std::condition_variable forCaller, forConverter, forCoder;
    std::vector<int> freeCopies, freePictures, toEncode;
    std::vector<Changed> toConvert;
    bool closing = false;   // no more frames will come
    bool converted = false; // the converter has passed on every frame
    bool failed = false;
    VideoFailure failure; // the first failure of either thread
    std::thread converter, coder;

    Pipeline(std::unique_ptr<VideoEncoder> e, QSize size, int inFlight)
        : encoder(std::move(e)), height(size.height()), stride(std::ptrdiff_t(size.width()) * 4),
          copies(size_t(inFlight)), stale(size_t(inFlight), RowSpan{0, size.height()}) {
        for (std::vector<int>* queue : {&freeCopies, &freePictures, &toEncode})
            queue->reserve(size_t(inFlight));
        toConvert.reserve(size_t(inFlight));
        for (int k = 0; k < inFlight; ++k) {
            freeCopies.push_back(k);
            freePictures.push_back(k);
        }
        converter = std::thread([this] { Convert(); });
        coder = std::thread([this] { Encode(); });
    }

    // Waits for a free copy buffer and queues a copy of `rows` of `rgb` (RGB32) for
    // conversion. The copy is made outside the lock: the buffer is the caller's until queued.
    bool Queue(const QImage& rgb, RowSpan rows) {
        std::unique_lock lock(mutex);
        forCaller.wait(lock, [&] { return failed || !freeCopies.empty(); });
        if (failed) return false;
        const int slot = TakeFirst(freeCopies);
        lock.unlock();
        const size_t row = size_t(stride);
        uint8_t* to = copies[size_t(slot)].Reserve(size_t(rows.Count()) * row);
        for (int y = rows.top; y < rows.bottom; ++y, to += row)
            std::memcpy(to, rgb.constScanLine(y), row);
        lock.lock();
        toConvert.push_back({slot, rows});
        forConverter.notify_one();
        return true;
    }

    void Convert() {
        uint8_t* const whole = frame.Reserve(size_t(height) * size_t(stride));
        std::unique_lock lock(mutex);
        for (;;) {
            forConverter.wait(lock, [&] {
                return failed || (closing && toConvert.empty()) ||
                       (!toConvert.empty() && !freePictures.empty());
            });
            if (failed || toConvert.empty()) break;
            const Changed changed = TakeFirst(toConvert);
            const int picture = TakeFirst(freePictures);
            lock.unlock();
            if (!changed.rows.Empty())
                std::memcpy(whole + changed.rows.top * stride, copies[size_t(changed.slot)].Data(),
                            size_t(changed.rows.Count()) * size_t(stride));
            lock.lock();
            freeCopies.push_back(changed.slot);
            forCaller.notify_one();
            lock.unlock();
            for (RowSpan& lacking : stale)
                lacking |= changed.rows;
            const RowSpan rows = std::exchange(stale[size_t(picture)], RowSpan{});
            VideoFailure f;
            const bool ok = encoder->Convert(whole, stride, rows.top, rows.Count(), picture, f);
            lock.lock();
            if (ok) {
                toEncode.push_back(picture);
                forCoder.notify_one();
            } else {
                Failed(std::move(f));
            }
        }
        converted = true;
        forCoder.notify_one();
    }

    void Encode() {
        std::unique_lock lock(mutex);
        for (;;) {
            forCoder.wait(lock, [&] { return failed || converted || !toEncode.empty(); });
            if (failed || toEncode.empty()) break;
            const int picture = TakeFirst(toEncode);
            lock.unlock();
            VideoFailure f;
            const bool ok = encoder->Encode(picture, f);
            lock.lock();
            freePictures.push_back(picture);
            forConverter.notify_one();
            if (!ok) Failed(std::move(f));
        }
    }

    void Failed(VideoFailure f) {
        if (failed) return;
        failed = true;
        failure = std::move(f);
        forCaller.notify_all();
        forConverter.notify_all();
        forCoder.notify_all();
    }

    // Lets the threads finish what is queued (or stop at a failure) and waits for them.
    void Join() {
        {
            const std::lock_guard lock(mutex);
            closing = true;
        }
        forConverter.notify_all();
        if (converter.joinable()) converter.join();
        if (coder.joinable()) coder.join();
    }
};

AviWriter::AviWriter(std::string fileName, std::string_view fourCC, int framesPerSecond,
                     std::string_view encoder, VideoFormat format)
    : m_fileName(std::move(fileName)), m_fourCC(fourCC), m_fps(framesPerSecond),
      m_wantedEncoder(encoder), m_format(format) {}

AviWriter::~AviWriter() {
    Finish();
}

bool AviWriter::AppendFrame(const QImage& frame) {
    return AppendFrame(frame, frame.rect());
}

bool AviWriter::AppendFrame(const QImage& frame, const QRect& changed) {
    switch (m_state) {
    case State::Closed:
        return false;
    case State::Created:
        if (!Open(frame)) return false;
        m_state = State::Writing;
        return Write(frame, changed);
    case State::Writing:
        return Write(frame, changed);
    }
    return false;
}

bool AviWriter::Finish() {
    if (m_state == State::Created) m_state = State::Closed;
    if (!m_pipeline) return true;
    m_state = State::Closed;
    Pipeline& p = *m_pipeline;
    p.Join();
    VideoFailure failure;
    const bool finished = p.encoder->Finish(failure);
    // A frame that failed in flight is the cause, not what finishing the file says after it.
    if (p.failed) failure = p.failure;
    const bool ok = finished && !p.failed;
    m_pipeline.reset();
    if (ok) return true;
    m_error = failure.text;
    m_detail = std::move(failure.detail);
    return false;
}

bool AviWriter::Fail(const char* text, std::string detail) {
    if (m_pipeline) {
        m_pipeline->Join();
        // The cause, not whatever finalising the file says after it.
        VideoFailure ignored;
        m_pipeline->encoder->Finish(ignored);
        m_pipeline.reset();
    }
    m_state = State::Closed;
    m_error = text;
    m_detail = std::move(detail);
    return false;
}

bool AviWriter::Open(const QImage& frame) {
    std::string detail;
    std::unique_ptr<VideoEncoder> encoder = MakeVideoEncoder(detail);
    if (!encoder) return Fail(kCannotCreateEncoder, std::move(detail));
    const QSize size = frame.size();
    const size_t bytes = size_t(std::max(size.width(), 1)) * size_t(std::max(size.height(), 1)) * 4;
    const int inFlight = int(std::clamp<size_t>(kInFlightBytes / bytes, 1, kMaxInFlight));
    VideoSpec spec{m_fileName, m_format,     m_fourCC,      m_wantedEncoder,
                   m_fps,      size.width(), size.height(), inFlight};
    VideoFailure failure;
    if (!encoder->Open(spec, failure)) return Fail(failure.text, std::move(failure.detail));
    m_size = size;
    m_encoderName = encoder->EncoderName();
    m_pipeline = std::make_unique<Pipeline>(std::move(encoder), size, inFlight);
    return true;
}

bool AviWriter::Write(const QImage& frame, const QRect& changed) {
    if (frame.size() != m_size)
        return Fail(kCannotWrite,
                    "frame size " + SizeText(frame.size()) + ", the movie's " + SizeText(m_size));
    // Both 32-bit layouts keep B, G, R, X in memory; alpha is not looked at.
    const bool direct =
        frame.format() == QImage::Format_RGB32 || frame.format() == QImage::Format_ARGB32;
    const QImage converted = direct ? QImage() : frame.convertToFormat(QImage::Format_RGB32);
    // The first frame is all new to the converter.
    const QRect rows = m_framesWritten == 0 ? frame.rect() : changed & frame.rect();
    const RowSpan span = rows.isEmpty() ? RowSpan{} : RowSpan{rows.top(), rows.bottom() + 1};
    if (!m_pipeline->Queue(direct ? frame : converted, span)) {
        const VideoFailure failure = m_pipeline->failure;
        return Fail(failure.text, failure.detail);
    }
    ++m_framesWritten;
    return true;
}

} // namespace tivane
