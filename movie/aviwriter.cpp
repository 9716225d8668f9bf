#include "aviwriter.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
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

} // namespace

// The encoder and its two threads. A frame goes from the caller into a free copy buffer, then
// to the converter thread (copy -> picture), then to the encoder thread (picture -> file);
// each stage takes them in the order the previous one gave them, so frames stay in order.
struct AviWriter::Pipeline {
    std::unique_ptr<VideoEncoder> encoder;
    std::ptrdiff_t stride = 0;
    std::vector<std::vector<uint8_t>> copies;

    std::mutex mutex;
    // Who waits for what: the caller for a free copy, the converter for a frame and a free
    // picture (or the end), the coder for a picture (or the end). A failure wakes all three.
    std::condition_variable forCaller, forConverter, forCoder;
    std::deque<int> freeCopies, toConvert, freePictures, toEncode;
    bool closing = false;   // no more frames will come
    bool converted = false; // the converter has passed on every frame
    bool failed = false;
    VideoFailure failure; // the first failure of either thread
    std::thread converter, coder;

    // Waits for a free copy buffer and queues a copy of `rgb` (RGB32) for conversion. The copy
    // is made outside the lock: the buffer is the caller's until it is queued.
    bool Queue(const QImage& rgb) {
        std::unique_lock lock(mutex);
        forCaller.wait(lock, [&] { return failed || !freeCopies.empty(); });
        if (failed) return false;
        const int slot = freeCopies.front();
        freeCopies.pop_front();
        lock.unlock();
        uint8_t* to = copies[size_t(slot)].data();
        const size_t row = size_t(stride);
        for (int y = 0; y < rgb.height(); ++y, to += row)
            std::memcpy(to, rgb.constScanLine(y), row);
        lock.lock();
        toConvert.push_back(slot);
        forConverter.notify_one();
        return true;
    }

    void Convert() {
        std::unique_lock lock(mutex);
        for (;;) {
            forConverter.wait(lock, [&] {
                return failed || (closing && toConvert.empty()) ||
                       (!toConvert.empty() && !freePictures.empty());
            });
            if (failed || toConvert.empty()) break;
            const int slot = toConvert.front(), picture = freePictures.front();
            toConvert.pop_front();
            freePictures.pop_front();
            lock.unlock();
            VideoFailure f;
            const bool ok = encoder->Convert(copies[size_t(slot)].data(), stride, picture, f);
            lock.lock();
            freeCopies.push_back(slot);
            forCaller.notify_one();
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
            const int picture = toEncode.front();
            toEncode.pop_front();
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
    m_pipeline = std::make_unique<Pipeline>();
    Pipeline& p = *m_pipeline;
    p.encoder = std::move(encoder);
    p.stride = std::ptrdiff_t(size.width()) * 4;
    for (int k = 0; k < inFlight; ++k) {
        p.copies.emplace_back(bytes);
        p.freeCopies.push_back(k);
        p.freePictures.push_back(k);
    }
    p.converter = std::thread([&p] { p.Convert(); });
    p.coder = std::thread([&p] { p.Encode(); });
    return true;
}

bool AviWriter::Write(const QImage& frame) {
    if (frame.size() != m_size)
        return Fail(kCannotWrite,
                    "frame size " + SizeText(frame.size()) + ", the movie's " + SizeText(m_size));
    // Both 32-bit layouts keep B, G, R, X in memory; alpha is not looked at.
    const bool direct =
        frame.format() == QImage::Format_RGB32 || frame.format() == QImage::Format_ARGB32;
    const QImage converted = direct ? QImage() : frame.convertToFormat(QImage::Format_RGB32);
    if (!m_pipeline->Queue(direct ? frame : converted)) {
        const VideoFailure failure = m_pipeline->failure;
        return Fail(failure.text, failure.detail);
    }
    ++m_framesWritten;
    return true;
}

} // namespace tivane
