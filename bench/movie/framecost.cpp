// What one movie frame of an 800 x 600 graphics view costs, against the encoder alone on the
// same frames, and what a 4000 x 3000 bitmap export of a busy picture costs.
//
// A movie frame is MovieRecorder::CaptureFrame: the replay of the items added since the last
// frame and a copy handed to the writer, whose two threads make the RGB -> YUV 4:2:0
// conversion, the MPEG-4 encoding and the write into the AVI file while the run goes on; the
// run waits only when they fall behind, and for the last frames at the final Stop.
// The encoder cannot be made cheaper here, so the goal is a frame that costs at most 1.2 times
// the encoder alone. To show where the rest goes, the frames the recorder made are kept and
// each part is then timed on its own: the replay into a picture of its own, AviWriter (convert +
// encode + write), the conversion, and the encoder on frames already in YUV.
//
// Usage: tivane_bench_framecost [--frames N] [--rounds R]
// Every figure is the median of R rounds (default 3) with the fastest and slowest round beside
// it. Files go into a temporary directory that is removed at the end.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include "aviwriter.h"
#include "document/fakeui.h"
#include "ffmpeg/yuv420.h"
#include "movierecorder.h"
#include "pictureexport.h"
#include "replay.h"
#include "tivanedoc.h"
#include "tivanegraph.h"

using namespace tivane;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A failure ends the run through main, so that the temporary directory is still removed.
[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what);
}

// The rounds of one measurement.
struct Samples {
    std::vector<double> values;

    double Median() const {
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    double Min() const { return *std::min_element(values.begin(), values.end()); }
    double Max() const { return *std::max_element(values.begin(), values.end()); }
};

// "12.34 (12.01-13.20)": median, then fastest-slowest.
std::string Cell(const Samples& s, int decimals = 2) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f (%.*f-%.*f)", decimals, s.Median(), decimals, s.Min(),
                  decimals, s.Max());
    return text;
}

// A document with one graphics view whose clip and world windows are the picture's own
// pixels, so that a client of that size shows them 1:1.
constexpr int kViewWidth = 800;
constexpr int kViewHeight = 600;

struct Canvas {
    testing::FakeUi ui;
    CTivaneDoc doc{ui, SearchContext{}};
    CTivaneGraph& view = doc.CreateGraphView(0);

    Canvas() {
        view.ClearView();
        view.SetClipWindow(0, 0, kViewWidth, kViewHeight);
        view.SetWorldWindow(0, 0, kViewWidth, kViewHeight);
    }
};

// --- The movie -----------------------------------------------------------------------------

// Segments drawn between two frames, in both movies.
constexpr int kSegmentsPerFrame = 100;

struct Scenario {
    const char* name;
    // Draws step k of `frames`.
    void (*step)(CTivaneGraph& view, int k, int frames);
};

// A damped wave across the whole picture, redrawn every frame in a new colour, with a label:
// every frame touches most of the picture.
void NewCurveStep(CTivaneGraph& view, int k, int) {
    view.SetForeColor((k * 37) % 256, (k * 91) % 256, 160);
    view.DrawMoveTo(0, 300);
    for (int i = 1; i <= kSegmentsPerFrame; ++i) {
        const double x = double(kViewWidth) * i / kSegmentsPerFrame;
        view.DrawLineTo(x, 300 + 250 * std::sin(x / 60.0 + k * 0.1) * std::exp(-k / 400.0));
    }
    view.DrawMoveTo(10, 10 + (k % 50) * 11);
    view.OutputText("t = " + std::to_string(k));
}

// One trajectory that grows from left to right over the whole movie: each frame adds a short
// piece, as a model stepping in time does.
void GrowingCurveStep(CTivaneGraph& view, int k, int frames) {
    const auto y = [](double x) { return 300 + 250 * std::sin(x / 60.0) * std::exp(-x / 800.0); };
    const double dx = double(kViewWidth) / (double(frames) * kSegmentsPerFrame);
    if (k == 0) {
        view.SetForeColor(0, 0, 0);
        view.DrawMoveTo(0, 300);
        view.DrawLineTo(kViewWidth, 300);
        view.SetForeColor(200, 0, 0);
        view.DrawMoveTo(0, y(0));
    }
    for (int i = 1; i <= kSegmentsPerFrame; ++i) {
        const double x = dx * (k * kSegmentsPerFrame + i);
        view.DrawLineTo(x, y(x));
    }
}

// Milliseconds a frame, for each part, in one round.
struct FrameCosts {
    double frame = 0; // MovieRecorder: replay of the new items + convert + encode + write
    // The whole frame's time in three: the first capture (which opens the encoder and the
    // file) and the final Stop (which drains, writes the index and puts the file in place), in
    // ms, and the captures between, in ms a frame.
    double first = 0, between = 0, stop = 0;
    double replay = 0;  // the replay of the new items alone
    double writer = 0;  // AviWriter alone: convert + encode + write
    double convert = 0; // RGB32 -> YUV 4:2:0 alone
    double encode = 0;  // the encoder alone, on frames already in YUV
    double bytes = 0;   // encoded bytes a frame
};

// Records the movie as the window layer does: draw a step, capture a frame. Only the captures
// and the final Stop (which drains the encoder and writes the index) are timed. Returns the
// frames for the parts to be timed on.
std::vector<QImage> RecordMovie(const Scenario& scenario, int frames, const std::string& file,
                                double& totalMs, FrameCosts& costs) {
    Canvas canvas;
    std::vector<QImage> pictures;
    pictures.reserve(frames);
    totalMs = 0;
    const QSize client(kViewWidth, kViewHeight);
    MovieRecorder recorder(canvas.view, file, [client] { return client; });
    if (!recorder.Start()) Fail("cannot start recording " + file);
    for (int k = 0; k < frames; ++k) {
        scenario.step(canvas.view, k, frames);
        const auto start = Clock::now();
        recorder.CaptureFrame();
        const double ms = MsSince(start);
        totalMs += ms;
        if (k == 0) costs.first = ms;
        pictures.push_back(recorder.Frame().copy());
    }
    const auto start = Clock::now();
    const bool finished = recorder.Stop();
    costs.stop = MsSince(start);
    totalMs += costs.stop;
    costs.between = frames > 1 ? (totalMs - costs.first - costs.stop) / (frames - 1) : 0;
    if (!finished || recorder.FramesRecorded() != frames)
        Fail("recording failed: " + recorder.LastErrorText());
    return pictures;
}

// The same steps replayed into a picture of their own, as the recorder replays into its frame.
double ReplayAlone(const Scenario& scenario, int frames) {
    Canvas canvas;
    const QSize client(kViewWidth, kViewHeight);
    QImage picture(MovieFrameSize(client), QImage::Format_RGB32);
    picture.fill(Qt::white);
    ReplayState state;
    double totalMs = 0;
    for (int k = 0; k < frames; ++k) {
        scenario.step(canvas.view, k, frames);
        const auto start = Clock::now();
        QPainter painter(&picture);
        painter.setClipRect(QRect(QPoint(0, 0), client));
        Replay(canvas.view.List(), canvas.view.Model().Clip(), painter,
               ReplayTarget{client, 96, false}, state);
        painter.end();
        totalMs += MsSince(start);
    }
    return totalMs;
}

// AviWriter on the recorded frames; also says which encoder it chose.
double WriterAlone(const std::vector<QImage>& pictures, const std::string& file,
                   std::string& encoderName) {
    const auto start = Clock::now();
    AviWriter writer(file, MovieRecorder::kFourCC, MovieRecorder::kFramesPerSecond);
    for (const QImage& picture : pictures)
        if (!writer.AppendFrame(picture)) Fail("AviWriter: " + writer.LastErrorDetail());
    if (!writer.Finish()) Fail("AviWriter: " + writer.LastErrorDetail());
    const double totalMs = MsSince(start);
    encoderName = writer.EncoderName();
    return totalMs;
}

struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct EncoderFree {
    void operator()(AVCodecContext* e) const { avcodec_free_context(&e); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// The conversion as the FFmpeg module makes it (yuv420.h, RGB32 -> YUV 4:2:0), each frame into
// a YUV frame of its own; only the conversions are timed.
std::vector<FramePtr> ConvertAlone(const std::vector<QImage>& pictures, double& totalMs) {
    const int w = pictures.front().width(), h = pictures.front().height();
    std::vector<FramePtr> yuv;
    totalMs = 0;
    for (const QImage& picture : pictures) {
        FramePtr frame(av_frame_alloc());
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = w;
        frame->height = h;
        if (av_frame_get_buffer(frame.get(), 0) < 0) Fail("av_frame_get_buffer");
        // Touched first, as the writer's reused pictures are: the time is the conversion's,
        // not the first faults of fresh memory.
        for (int plane = 0; plane < 3; ++plane)
            std::memset(frame->data[plane], 0,
                        size_t(frame->linesize[plane]) * (plane ? h / 2 : h));
        const auto start = Clock::now();
        BgrxToYuv420(picture.constBits(), picture.bytesPerLine(), w, h, frame->data,
                     frame->linesize);
        totalMs += MsSince(start);
        yuv.push_back(std::move(frame));
    }
    return yuv;
}

// The encoder with AviWriter's settings (ffmpegencoder.cpp: key frames only, fixed quantiser 3) on
// frames already in YUV; the packets are counted and dropped, nothing is written. Opening the
// encoder is not timed here; the recorder and AviWriter pay it once, at their first frame.
constexpr int kAviWriterQuantiser = 3;

double EncodeAlone(const std::string& encoderName, const std::vector<FramePtr>& yuv,
                   double& bytesPerFrame) {
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName.c_str());
    if (!codec) Fail("no encoder " + encoderName);
    std::unique_ptr<AVCodecContext, EncoderFree> encoder(avcodec_alloc_context3(codec));
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    AVCodecContext& e = *encoder;
    e.width = yuv.front()->width;
    e.height = yuv.front()->height;
    e.sample_aspect_ratio = {1, 1};
    e.pix_fmt = AV_PIX_FMT_YUV420P;
    e.time_base = {1, MovieRecorder::kFramesPerSecond};
    e.framerate = {MovieRecorder::kFramesPerSecond, 1};
    e.gop_size = 1;
    e.max_b_frames = 0;
    e.flags |= AV_CODEC_FLAG_QSCALE;
    e.global_quality = FF_QP2LAMBDA * kAviWriterQuantiser;
    if (avcodec_open2(&e, codec, nullptr) < 0) Fail("avcodec_open2 " + encoderName);

    size_t bytes = 0;
    const auto drain = [&] {
        while (avcodec_receive_packet(&e, packet.get()) >= 0) {
            bytes += static_cast<size_t>(packet->size);
            av_packet_unref(packet.get());
        }
    };
    const auto start = Clock::now();
    for (size_t i = 0; i < yuv.size(); ++i) {
        AVFrame& frame = *yuv[i];
        frame.pts = static_cast<int64_t>(i);
        frame.pict_type = AV_PICTURE_TYPE_I;
        frame.quality = e.global_quality;
        if (avcodec_send_frame(&e, &frame) < 0) Fail("avcodec_send_frame");
        drain();
    }
    avcodec_send_frame(&e, nullptr);
    drain();
    const double totalMs = MsSince(start);
    bytesPerFrame = double(bytes) / double(yuv.size());
    return totalMs;
}

FrameCosts MovieRound(const Scenario& scenario, int frames, const std::string& dir,
                      std::string& encoderName) {
    FrameCosts c;
    double recordMs = 0, convertMs = 0;
    std::vector<QImage> pictures = RecordMovie(scenario, frames, dir + "/movie.avi", recordMs, c);
    const double replayMs = ReplayAlone(scenario, frames);
    const double writerMs = WriterAlone(pictures, dir + "/writer.avi", encoderName);
    const std::vector<FramePtr> yuv = ConvertAlone(pictures, convertMs);
    pictures.clear();
    const double encodeMs = EncodeAlone(encoderName, yuv, c.bytes);
    c.frame = recordMs / frames;
    c.replay = replayMs / frames;
    c.writer = writerMs / frames;
    c.convert = convertMs / frames;
    c.encode = encodeMs / frames;
    return c;
}

void MeasureMovie(int frames, int rounds, const std::string& dir) {
    const Scenario scenarios[] = {
        {"new curve every frame", NewCurveStep},
        {"growing trajectory", GrowingCurveStep},
    };
    std::printf("Movie of an %d x %d view, %d frames, %d segments a frame; ms a frame, median "
                "of %d rounds (fastest-slowest)\n\n",
                kViewWidth, kViewHeight, frames, kSegmentsPerFrame, rounds);
    std::printf("%-24s %-22s %-22s %-22s %s\n", "", "whole frame", "encoder alone", "ratio",
                "goal");
    std::string parts;
    for (const Scenario& scenario : scenarios) {
        Samples frame, first, between, stop, replay, writer, convert, encode, ratio;
        double bytes = 0;
        std::string encoderName;
        for (int r = 0; r < rounds; ++r) {
            const FrameCosts c = MovieRound(scenario, frames, dir, encoderName);
            frame.values.push_back(c.frame);
            first.values.push_back(c.first);
            between.values.push_back(c.between);
            stop.values.push_back(c.stop);
            replay.values.push_back(c.replay);
            writer.values.push_back(c.writer);
            convert.values.push_back(c.convert);
            encode.values.push_back(c.encode);
            ratio.values.push_back(c.frame / c.encode);
            bytes = c.bytes;
        }
        std::printf("%-24s %-22s %-22s %-22s %s\n", scenario.name, Cell(frame).c_str(),
                    Cell(encode).c_str(), Cell(ratio).c_str(),
                    ratio.Median() <= 1.2 ? "<= 1.2 met" : "<= 1.2 NOT met");
        char text[160];
        std::snprintf(text, sizeof text, "%s (%s, %.0f KB a frame):\n", scenario.name,
                      encoderName.c_str(), bytes / 1024);
        parts += text;
        const std::pair<const char*, const Samples*> rows[] = {
            {"whole frame: first capture, ms", &first},
            {"  each capture between", &between},
            {"  final Stop, ms", &stop},
            {"replay of the new items", &replay},
            {"AviWriter (convert + encode + write)", &writer},
            {"RGB32 -> YUV 4:2:0", &convert},
            {"encoder, YUV in memory", &encode},
        };
        for (const auto& [label, samples] : rows) {
            std::snprintf(text, sizeof text, "  %-38s %s\n", label, Cell(*samples).c_str());
            parts += text;
        }
    }
    std::printf("(ratio: whole frame / encoder alone, taken in each round)\n");
    std::printf("\nThe parts, each timed alone on the same frames (ms a frame):\n%s",
                parts.c_str());
}

// --- The picture export --------------------------------------------------------------------

constexpr int kExportWidth = 4000;
constexpr int kExportHeight = 3000;

// A busy picture: 300 curves of 200 segments in as many colours and three pen widths, a grid,
// and 300 labels in two fonts.
void DrawBusyPicture(CTivaneGraph& view) {
    view.SetForeColor(200, 200, 200);
    for (int x = 0; x <= kViewWidth; x += 20) {
        view.DrawMoveTo(x, 0);
        view.DrawLineTo(x, kViewHeight);
    }
    for (int y = 0; y <= kViewHeight; y += 20) {
        view.DrawMoveTo(0, y);
        view.DrawLineTo(kViewWidth, y);
    }
    constexpr int kCurves = 300, kSegments = 200;
    for (int c = 0; c < kCurves; ++c) {
        view.SetForeColor((c * 37) % 256, (c * 91) % 256, (c * 53) % 256);
        view.SetPenSize(1 + c % 3);
        const double phase = c * 0.05, amplitude = 50 + (c * 7) % 250;
        view.DrawMoveTo(0, 300);
        for (int i = 1; i <= kSegments; ++i) {
            const double x = double(kViewWidth) * i / kSegments;
            view.DrawLineTo(x, 300 + amplitude * std::sin(x / 40.0 + phase) * std::cos(x / 170.0));
        }
        view.ChangeFont(c % 2 ? "DejaVu Sans" : "DejaVu Serif", 8 + c % 5, 0);
        view.DrawMoveTo((c * 53) % 760, (c * 29) % 590);
        view.OutputText("curve " + std::to_string(c));
    }
}

void MeasureExport(int rounds, const std::string& dir) {
    Canvas canvas;
    DrawBusyPicture(canvas.view);
    const DrawList& list = canvas.view.List();
    const DRect& clip = canvas.view.Model().Clip();
    const QSize size(kExportWidth, kExportHeight);

    struct Output {
        PictureFormat format;
        const char* label;
        const char* name;
        Samples total; // WritePicture: render + write
        qint64 bytes = 0;
    };
    Output outputs[] = {{PictureFormat::Bmp, "BMP", "busy.bmp", {}},
                        {PictureFormat::Png, "PNG", "busy.png", {}}};
    Samples render;
    for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        const QImage picture = RenderPicture(list, clip, size);
        render.values.push_back(MsSince(start));
        if (picture.isNull()) Fail("RenderPicture gave no picture");

        for (Output& out : outputs) {
            const std::string path = dir + "/" + out.name;
            std::string error;
            start = Clock::now();
            if (!WritePicture(list, clip, kExportWidth, kExportHeight, out.format, path, error))
                Fail("WritePicture " + path + ": " + error);
            out.total.values.push_back(MsSince(start));
            out.bytes = QFileInfo(QString::fromStdString(path)).size();
            std::remove(path.c_str());
        }
    }
    std::printf("\nExport of a busy picture (%d items) at %d x %d; ms, median of %d rounds "
                "(fastest-slowest)\n\n",
                list.Count(), kExportWidth, kExportHeight, rounds);
    std::printf("%-36s %s\n", "rendering alone (RenderPicture)", Cell(render, 0).c_str());
    for (const Output& out : outputs) {
        // The write is not timed apart inside WritePicture: it is the rest of its time.
        std::printf("%s: %-31s %-22s writing ~%.0f ms, %.1f MB\n", out.label,
                    "WritePicture (render + write)", Cell(out.total, 0).c_str(),
                    out.total.Median() - render.Median(), out.bytes / 1e6);
    }
}

// The number after an option; 0 when there is none or it is not positive.
int PositiveArgument(const char* value) {
    const int n = value ? std::atoi(value) : 0;
    return std::max(n, 0);
}

} // namespace

int main(int argc, char** argv) {
    // No display is needed: everything is painted into pictures.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    int frames = 250; // ten seconds of movie at 25 frames a second
    int rounds = 3;
    for (int i = 1; i < argc; ++i) {
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        int* target = std::strcmp(argv[i], "--frames") == 0   ? &frames
                      : std::strcmp(argv[i], "--rounds") == 0 ? &rounds
                                                              : nullptr;
        if (!target || (*target = PositiveArgument(value)) == 0) {
            std::fprintf(stderr, "usage: %s [--frames N] [--rounds R]\n", argv[0]);
            return 2;
        }
        ++i;
    }

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "framecost: cannot create a temporary directory\n");
        return 1;
    }
    try {
        MeasureMovie(frames, rounds, dir.path().toStdString());
        MeasureExport(rounds, dir.path().toStdString());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "framecost: %s\n", e.what());
        return 1;
    }
    return 0;
}
