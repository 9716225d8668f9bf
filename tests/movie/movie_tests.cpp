// Movies written by AviWriter and MovieRecorder, read back with FFmpeg: codec tag, rate, size,
// frame count, and pictures within 30 dB of what was replayed.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include <QPainter>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "aviwriter.h"
#include "document/fakeui.h"
#include "document/filesizelimit.h"
#include "document/testtree.h"
#include "movierecorder.h"
#include "tivanedoc.h"
#include "tivanegraph.h"

// Readable sizes in failure messages.
void PrintTo(QSize size, std::ostream* os) {
    *os << size.width() << " x " << size.height();
}

namespace tivane::testing {
namespace {

struct Movie {
    bool opened = false;
    uint32_t codecTag = 0;
    double fps = 0; // from the stream's time base
    QSize size;
    int64_t declaredFrames = 0; // the header's count
    int keyFrames = 0;          // packets the index marks as key frames
    std::vector<QImage> frames; // decoded, as RGB32
};

QImage ToImage(const AVFrame& f) {
    // swscale's vector code may write a little past the last pixel of a row (seen at 8184
    // pixels wide): it gets a picture with room to spare, and the caller the exact part.
    QImage image(f.width + 64, f.height + 1, QImage::Format_RGB32);
    SwsContext* sws =
        sws_getContext(f.width, f.height, static_cast<AVPixelFormat>(f.format), f.width, f.height,
                       AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    uint8_t* const dst[1] = {image.bits()};
    const int stride[1] = {static_cast<int>(image.bytesPerLine())};
    sws_scale(sws, f.data, f.linesize, 0, f.height, dst, stride);
    sws_freeContext(sws);
    return image.copy(0, 0, f.width, f.height);
}

Movie ReadMovie(const std::string& path) {
    Movie movie;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return movie;
    AVCodecContext* decoder = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const int index = avformat_find_stream_info(format, nullptr) < 0
                          ? -1
                          : av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index >= 0) {
        const AVStream& st = *format->streams[index];
        movie.codecTag = st.codecpar->codec_tag;
        movie.fps = av_q2d(av_inv_q(st.time_base));
        movie.size = QSize(st.codecpar->width, st.codecpar->height);
        movie.declaredFrames = st.nb_frames;
        decoder = avcodec_alloc_context3(avcodec_find_decoder(st.codecpar->codec_id));
        movie.opened = avcodec_parameters_to_context(decoder, st.codecpar) >= 0 &&
                       avcodec_open2(decoder, nullptr, nullptr) >= 0;
    }
    const auto receive = [&] {
        while (avcodec_receive_frame(decoder, frame) >= 0)
            movie.frames.push_back(ToImage(*frame));
    };
    while (movie.opened && av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index) {
            movie.keyFrames += (packet->flags & AV_PKT_FLAG_KEY) != 0;
            if (avcodec_send_packet(decoder, packet) >= 0) receive();
        }
        av_packet_unref(packet);
    }
    if (movie.opened && avcodec_send_packet(decoder, nullptr) >= 0) receive();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return movie;
}

// On R, G and B; 99 for identical pictures.
double Psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int d[3] = {qRed(p[col]) - qRed(q[col]), qGreen(p[col]) - qGreen(q[col]),
                              qBlue(p[col]) - qBlue(q[col])};
            sum += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        }
    }
    if (sum == 0) return 99;
    return 10 * std::log10(255.0 * 255.0 * 3 * x.width() * x.height() / sum);
}

constexpr uint32_t kXvid = MKTAG('X', 'V', 'I', 'D');

// A picture that differs from frame to frame: a moving coloured bar, a line and a label.
QImage Picture(QSize size, int k, QImage::Format format = QImage::Format_RGB32) {
    QImage image(size, format);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(k * 8 % size.width(), 0, size.width() / 4, size.height() / 2,
                     QColor(200, 40 * k % 256, 30));
    painter.drawLine(0, size.height() - 1, size.width() - 1, k % size.height());
    painter.drawText(4, size.height() - 4, QString("frame %1").arg(k));
    return image;
}

// --- AviWriter -----------------------------------------------------------------------------

struct WriteRow {
    const char* encoder;
    QSize size;
    QImage::Format format;
    int frames;
    bool finishByDestructor;
};

void PrintTo(const WriteRow& row, std::ostream* os) {
    *os << (*row.encoder ? row.encoder : "preferred encoder") << ", " << row.frames << " frames";
}

class WriterRoundTrip : public TreeTest, public ::testing::WithParamInterface<WriteRow> {};

TEST_P(WriterRoundTrip, EveryFrameComesBackXvidTaggedAt25FramesPerSecond) {
    const WriteRow& row = GetParam();
    if (*row.encoder && !avcodec_find_encoder_by_name(row.encoder))
        GTEST_SKIP() << "this FFmpeg has no " << row.encoder;
    const std::string file = root + "/cwd/movie.avi";
    std::vector<QImage> pictures;
    {
        AviWriter writer(file, "XVID", 25, row.encoder);
        EXPECT_EQ(writer.LastErrorText(), "Method Succeeded");
        EXPECT_FALSE(std::filesystem::exists(file)) << "opened before the first frame";
        for (int k = 0; k < row.frames; ++k) {
            pictures.push_back(Picture(row.size, k, row.format));
            ASSERT_TRUE(writer.AppendFrame(pictures.back())) << writer.LastErrorDetail();
        }
        const bool xvid = avcodec_find_encoder_by_name("libxvid") != nullptr;
        EXPECT_EQ(writer.EncoderName(), *row.encoder ? row.encoder : xvid ? "libxvid" : "mpeg4");
        if (!row.finishByDestructor) {
            EXPECT_TRUE(writer.Finish());
        }
        EXPECT_EQ(writer.LastErrorText(), "Method Succeeded");
    }
    const Movie movie = ReadMovie(file);
    ASSERT_TRUE(movie.opened);
    EXPECT_EQ(movie.codecTag, kXvid);
    EXPECT_DOUBLE_EQ(movie.fps, 25.0);
    EXPECT_EQ(movie.size, row.size);
    EXPECT_EQ(movie.declaredFrames, row.frames);
    EXPECT_EQ(movie.keyFrames, row.frames);
    ASSERT_EQ(movie.frames.size(), pictures.size());
    for (size_t k = 0; k < pictures.size(); ++k)
        EXPECT_GE(Psnr(movie.frames[k], pictures[k]), 30.0) << "frame " << k;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WriterRoundTrip,
    ::testing::Values(WriteRow{"", {304, 200}, QImage::Format_RGB32, 4, false},
                      WriteRow{"libxvid", {800, 600}, QImage::Format_ARGB32, 2, true},
                      WriteRow{"mpeg4", {800, 600}, QImage::Format_RGB32, 3, false},
                      WriteRow{"mpeg4", {64, 16}, QImage::Format_RGB888, 2, true}),
    [](const auto& info) {
        const WriteRow& r = info.param;
        return std::string(*r.encoder ? r.encoder : "preferred") + "_" +
               std::to_string(r.size.width()) + "x" + std::to_string(r.size.height()) +
               (r.finishByDestructor ? "_destroyed" : "_finished");
    });

struct FailRow {
    const char* name;
    std::string file; // $ROOT expands
    const char* fourCC;
    std::vector<QSize> sizes; // appended in order
    int accepted;             // appends that succeed; then the file is a movie of as many frames
    const char* error;
};

void PrintTo(const FailRow& row, std::ostream* os) {
    *os << row.name;
}

class WriterFailure : public TreeTest, public ::testing::WithParamInterface<FailRow> {};

TEST_P(WriterFailure, StopsForGoodWithItsTextAndLeavesAPlayableFileOrNone) {
    const FailRow& row = GetParam();
    const std::string file = Expand(row.file);
    {
        AviWriter writer(file, row.fourCC, 25);
        for (size_t i = 0; i < row.sizes.size(); ++i)
            EXPECT_EQ(writer.AppendFrame(Picture(row.sizes[i], int(i))), int(i) < row.accepted)
                << "append " << i;
        // Closed for good: even a frame of the movie's own size fails now.
        EXPECT_FALSE(writer.AppendFrame(Picture(row.sizes.front(), 9)));
        EXPECT_EQ(writer.LastErrorText(), row.error);
        EXPECT_EQ(writer.CurrentState(), AviWriter::State::Closed);
    }
    // A file without its header is removed.
    EXPECT_EQ(std::filesystem::exists(file), row.accepted > 0);
    if (row.accepted > 0) {
        EXPECT_EQ(ReadMovie(file).frames.size(), size_t(row.accepted));
    }
}

const char* const kCreateFile = "Unable to Create the Movie File";
const char* const kWrite = "Unable to Write Video Stream to the output Movie File";
const char* const kCodec = "Unable to Create Compressed Stream: Check your CODEC options";
const char* const kFormat = "Unable to Set Video Stream Format";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, WriterFailure, ::testing::Values(
    FailRow{"NoDirectory", "$ROOT/absent/m.avi", "XVID", {{64, 64}, {64, 64}}, 0, kCreateFile},
    FailRow{"SecondSizeDiffers", "$ROOT/cwd/m.avi", "XVID", {{64, 64}, {64, 64}, {72, 64}}, 2,
            kWrite},
    FailRow{"OddSize", "$ROOT/cwd/m.avi", "XVID", {{63, 64}}, 0, kCodec},
    FailRow{"ShortCode", "$ROOT/cwd/m.avi", "XV", {{64, 64}}, 0, kCodec},
    // The AVI muxer knows H264 as another codec's tag.
    FailRow{"ForeignCode", "$ROOT/cwd/m.avi", "H264", {{64, 64}}, 0, kFormat},
    // MPEG-4 Part 2's 13-bit sizes: the recorder's kMaxFrameSide is the encoder's own limit.
    FailRow{"LargestSide", "$ROOT/cwd/m.avi", "XVID", {{8184, 16}, {64, 64}}, 1, kWrite},
    FailRow{"BeyondTheLargestSide", "$ROOT/cwd/m.avi", "XVID", {{16, 8192}}, 0, kCodec}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// --- MovieRecorder -------------------------------------------------------------------------

TEST(MovieFrameSize, RoundsEachSideUpToAMultipleOf8) {
    const std::pair<QSize, QSize> rows[] = {
        {{301, 200}, {304, 200}}, {{800, 600}, {800, 600}}, {{1, 9}, {8, 16}}, {{0, 0}, {0, 0}}};
    for (const auto& [client, frame] : rows)
        EXPECT_EQ(MovieFrameSize(client), frame) << client.width() << " x " << client.height();
}

class RecorderTest : public TreeTest {
protected:
    RecorderTest() { Fresh(); }
    // A cleared view with clip and world windows of 800 x 600 units, so that an 800 x 600
    // client shows them 1:1.
    void Fresh() {
        view.ClearView();
        view.SetClipWindow(0, 0, 800, 600);
        view.SetWorldWindow(0, 0, 800, 600);
    }
    // Lines from (20 + 90k, 20 + 50j) to (90 + 90k, 40 + 50j), 3 units wide, black on even
    // and red on odd steps, and a label.
    void Draw(int k, int lines = 10) {
        view.SetForeColor(k % 2 * 200, 0, 0);
        view.SetPenSize(3);
        for (int j = 0; j < lines; ++j) {
            view.DrawMoveTo(20 + 90 * k, 20 + 50 * j);
            view.DrawLineTo(90 + 90 * k, 40 + 50 * j);
        }
        view.OutputText("step " + std::to_string(k));
    }
    // What the frame must show: the whole list replayed afresh, padded with white.
    QImage Expected() const {
        QImage frame(MovieFrameSize(client), QImage::Format_RGB32);
        frame.fill(Qt::white);
        QPainter(&frame).drawImage(0, 0, RenderPicture(view.List(), view.Model().Clip(), client));
        return frame;
    }
    std::string File(const char* name) const { return root + "/cwd/" + name; }

    FakeUi ui;
    CTivaneDoc doc{ui, Context()};
    CTivaneGraph& view = doc.CreateGraphView(0);
    QSize client{800, 600};
};

TEST_F(RecorderTest, OneFramePerCaptureMatchingTheReplayedPicture) {
    // The width decides the scale; the frame is 304 x 304, wider and taller than the client.
    client = {301, 300};
    MovieRecorder recorder(view, File("output.avi"), [this] { return client; });
    ASSERT_TRUE(recorder.Start());
    // A thick line across the whole clip window: what lies past the client area stays white.
    view.SetPenSize(6);
    view.DrawMoveTo(0, 300);
    view.DrawLineTo(800, 300);
    std::vector<QImage> expected;
    for (int k = 0; k < 5; ++k) {
        Draw(k);
        recorder.CaptureFrame();
        expected.push_back(Expected());
        EXPECT_EQ(recorder.Frame(), expected.back()) << "incremental replay of frame " << k;
    }
    EXPECT_TRUE(recorder.Stop());
    const Movie movie = ReadMovie(File("output.avi"));
    EXPECT_EQ(movie.codecTag, kXvid);
    EXPECT_DOUBLE_EQ(movie.fps, 25.0);
    EXPECT_EQ(movie.size, QSize(304, 304));
    EXPECT_EQ(movie.declaredFrames, 5);
    EXPECT_EQ(movie.keyFrames, 5);
    ASSERT_EQ(movie.frames.size(), 5u);
    EXPECT_GE(Psnr(movie.frames.front(), expected.front()), 30.0);
    EXPECT_GE(Psnr(movie.frames.back(), expected.back()), 30.0);
    // And the measure tells frames apart.
    EXPECT_LT(Psnr(movie.frames.front(), expected.back()), 30.0);
}

TEST_F(RecorderTest, EveryUpdateRunOfADocumentIsAFrame) {
    Write("cwd/model.tvd", "4");
    Write("cwd/model.tml", "[Description]\nNoOfViews=1\nMainProgramFileName=main.prg\n"
                           "[View0]\nProgramFileName=graph.prg\nTypeOfView=2\n");
    Write("cwd/model.ini", "[Description]\nNoOfWindows=2\nTemplateFile=model.tml\n"
                           "[Window0]\nWindowType=9999\n[Window1]\nWindowType=0\n");
    Write("cwd/main.prg", "n := ATOL(GETCONFIG(0)); EXECVIEWTEMPLATES(0); i := 0;"
                          "WHILE({i < n}, {i := i + 1; UPDATEVIEWS(0)})");
    Write("cwd/graph.prg", "CLEARVIEW(0); MOVETO(0, 0); ONUPDATE({LINETO(i * 7000, i * 5000)})");
    CTivaneDoc model(ui, Context());
    model.SetBare(true);
    ASSERT_TRUE(model.OpenDocument("model.tvd"));
    model.RestoreLayout();
    CTivaneGraph* graph = nullptr;
    for (const auto& v : model.Views())
        if (auto* g = dynamic_cast<CTivaneGraph*>(v.get())) graph = g;
    ASSERT_NE(graph, nullptr);
    MovieRecorder recorder(*graph, File("runs.avi"), [this] { return client; });
    ASSERT_TRUE(recorder.Start());
    model.Execute();
    EXPECT_EQ(recorder.FramesRecorded(), 4);
    recorder.Stop();
    EXPECT_EQ(ReadMovie(File("runs.avi")).frames.size(), 4u);
}

TEST_F(RecorderTest, AClientSizeChangeStopsWithAPlayableMovie) {
    const QSize later[] = {{800, 600}, {801, 600}, {640, 480}, {0, 0}};
    for (const QSize size : later) {
        client = {800, 600};
        MovieRecorder recorder(view, File("sized.avi"), [this] { return client; });
        int stops = 0;
        recorder.onStopped = [&](MovieRecorder::StopReason) { ++stops; };
        recorder.Start();
        for (int k = 0; k < 3; ++k) {
            Draw(k, 1);
            recorder.CaptureFrame();
        }
        client = size;
        recorder.CaptureFrame();
        const bool changed = size != QSize(800, 600);
        EXPECT_EQ(recorder.Recording(), !changed) << size.width();
        EXPECT_EQ(stops, changed ? 1 : 0);
        EXPECT_EQ(recorder.LastStopReason(), changed ? MovieRecorder::StopReason::SizeChanged
                                                     : MovieRecorder::StopReason::None);
        recorder.Stop();
        EXPECT_EQ(ReadMovie(File("sized.avi")).frames.size(), changed ? 3u : 4u);
    }
}

TEST_F(RecorderTest, AfterClearViewTheNextFrameShowsTheNewPicture) {
    MovieRecorder recorder(view, File("clear.avi"), [this] { return client; });
    recorder.Start();
    Draw(0);
    recorder.CaptureFrame();
    const int32_t drawn = view.List().Count();
    for (const int lines : {1, 12}) { // shorter, then longer than what the frame had drawn
        SCOPED_TRACE(lines);
        Fresh();
        Draw(lines % 7, lines);
        ASSERT_EQ(view.List().Count() < drawn, lines == 1);
        recorder.CaptureFrame();
        EXPECT_EQ(recorder.Frame(), Expected());
    }
    recorder.Stop();
    EXPECT_EQ(ReadMovie(File("clear.avi")).frames.size(), 3u);
}

TEST_F(RecorderTest, ARecorderWhoseViewWentTakesNoFrameAndStillFinishesItsMovie) {
    CTivaneGraph& other = doc.CreateGraphView(1);
    MovieRecorder recorder(other, File("gone.avi"), [this] { return client; });
    ASSERT_TRUE(recorder.Start());
    recorder.CaptureFrame();
    doc.RemoveView(other);
    recorder.CaptureFrame();
    EXPECT_EQ(recorder.FramesRecorded(), 1);
    EXPECT_TRUE(recorder.Stop());
    EXPECT_EQ(ReadMovie(File("gone.avi")).frames.size(), 1u);
}

TEST_F(RecorderTest, AWriterFailureStopsRecordingWithItsText) {
    MovieRecorder recorder(view, root + "/absent/output.avi", [this] { return client; });
    MovieRecorder::StopReason reason = MovieRecorder::StopReason::None;
    recorder.onStopped = [&](MovieRecorder::StopReason r) { reason = r; };
    ASSERT_TRUE(recorder.Start());
    recorder.CaptureFrame();
    EXPECT_FALSE(recorder.Recording());
    EXPECT_EQ(reason, MovieRecorder::StopReason::WriteFailed);
    EXPECT_EQ(recorder.LastErrorText(),
              "Unable to Create the Movie File (No such file or directory)");
    EXPECT_FALSE(MovieFileInUse(recorder.FileName()));
    recorder.CaptureFrame();
    EXPECT_EQ(recorder.FramesRecorded(), 0);
}

TEST_F(RecorderTest, ActiveRecordersGetDistinctNamesAndAStopFreesOne) {
    const std::string dir = root + "/cwd";
    const auto name = [&](const char* file) {
        return (std::filesystem::path(dir) / file).string();
    };
    CTivaneGraph& other = doc.CreateGraphView(1);
    CTivaneGraph& third = doc.CreateGraphView(2);
    const auto size = [] { return QSize(64, 64); };
    auto a = std::make_unique<MovieRecorder>(view, NextMovieFileName(dir), size);
    ASSERT_TRUE(a->Start());
    MovieRecorder b(other, NextMovieFileName(dir), size);
    ASSERT_TRUE(b.Start());
    EXPECT_EQ(a->FileName(), name("output.avi"));
    EXPECT_EQ(b.FileName(), name("output1.avi"));
    EXPECT_EQ(NextMovieFileName(dir), name("output2.avi"));
    // The same file twice at once is refused, however it is spelt.
    MovieRecorder clash(third, dir + "/./output1.avi", size);
    EXPECT_FALSE(clash.Start());

    a->CaptureFrame();
    a->CaptureFrame();
    a->Stop();
    // output.avi is on disk now and output1.avi still held.
    EXPECT_EQ(NextMovieFileName(dir), name("output2.avi"));
    EXPECT_EQ(ReadMovie(name("output.avi")).frames.size(), 2u);
    ASSERT_TRUE(a->Start()); // again: the file is replaced
    a->CaptureFrame();
    a.reset();
    EXPECT_EQ(ReadMovie(name("output.avi")).frames.size(), 1u);
}

TEST_F(RecorderTest, NothingIsRecordedBeforeStartOrWhileTheClientAreaIsEmpty) {
    MovieRecorder recorder(view, File("idle.avi"), [this] { return client; });
    EXPECT_FALSE(recorder.BeginIfRequested(client));
    recorder.CaptureFrame();
    recorder.Start();
    EXPECT_FALSE(recorder.BeginIfRequested({0, 0}));
    EXPECT_FALSE(recorder.Recording());
    EXPECT_FALSE(std::filesystem::exists(File("idle.avi")));
    EXPECT_TRUE(recorder.BeginIfRequested({301, 200}));
    EXPECT_EQ(recorder.Frame().size(), QSize(304, 200));
    client = {301, 200};
    recorder.CaptureFrame();
    EXPECT_EQ(recorder.FramesRecorded(), 1);
}

TEST_F(RecorderTest, NewNamesSkipFilesOnDiskAndNamesHeld) {
    struct Row {
        const char* onDisk; // files in cwd
        const char* next;
    };
    const Row rows[] = {
        {"", "output.avi"},
        {"cwd/output.avi", "output1.avi"},
        {"cwd/output.avi cwd/output1.avi cwd/output3.avi", "output2.avi"},
        {"cwd/output.avi/", "output1.avi"}, // a folder of that name
        {"cwd/output1.avi", "output.avi"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.onDisk);
        Clear();
        Write(row.onDisk);
        EXPECT_EQ(NextMovieFileName(root + "/cwd"), File(row.next));
    }
}

TEST_F(RecorderTest, AMovieReplacesItsFileOnlyWhenItHasFramesAndWasWrittenWhole) {
    struct Row {
        int frames;
        rlim_t sizeLimit; // RLIMIT_FSIZE while recording (a full disk), 0 for none
        bool saved;
        const char* error; // a part of LastErrorText()
    };
    const Row rows[] = {
        {2, 0, true, "Method Succeeded"},
        {0, 0, false, "Method Succeeded"},
        {3, 4096, false, "File too large"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.frames);
        Clear();
        Write("cwd/movie.avi", "old");
        {
            std::optional<FileSizeLimit> limit;
            if (row.sizeLimit) limit.emplace(row.sizeLimit);
            MovieRecorder recorder(view, File("movie.avi"), [this] { return client; });
            ASSERT_TRUE(recorder.Start());
            ASSERT_TRUE(recorder.BeginIfRequested(client));
            for (int k = 0; k < row.frames; ++k) {
                Draw(k);
                recorder.CaptureFrame();
            }
            recorder.Stop();
            EXPECT_EQ(recorder.Saved(), row.saved);
            EXPECT_NE(recorder.LastErrorText().find(row.error), std::string::npos)
                << recorder.LastErrorText();
        }
        if (row.saved) {
            EXPECT_EQ(ReadMovie(File("movie.avi")).frames.size(), size_t(row.frames));
        } else {
            std::ifstream in(File("movie.avi"), std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
        }
        // Only the movie itself: no temporary file is left beside it.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root + "/cwd"),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

TEST_F(RecorderTest, AClientLargerThanTheEncoderTakesIsRefusedBeforeAnyFrame) {
    struct Row {
        QSize client;
        bool begins;
    };
    const Row rows[] = {
        {{8184, 16}, true},
        {{8185, 16}, false},
        {{16, 8185}, false},
        {{30000, 30000}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.client.width());
        MovieRecorder recorder(view, File("big.avi"), [&row] { return row.client; });
        MovieRecorder::StopReason reason = MovieRecorder::StopReason::None;
        recorder.onStopped = [&](MovieRecorder::StopReason r) { reason = r; };
        ASSERT_TRUE(recorder.Start());
        EXPECT_EQ(recorder.BeginIfRequested(row.client), row.begins);
        EXPECT_EQ(recorder.Requested(), row.begins);
        if (!row.begins) {
            EXPECT_EQ(reason, MovieRecorder::StopReason::TooLarge);
            EXPECT_TRUE(recorder.Frame().isNull());
            EXPECT_EQ(recorder.LastErrorText(),
                      "A movie of " + std::to_string(row.client.width()) + " x " +
                          std::to_string(row.client.height()) +
                          " pixels is larger than the encoder takes: at most 8184 pixels a side.");
        }
    }
    EXPECT_FALSE(std::filesystem::exists(File("big.avi")));
}

} // namespace
} // namespace tivane::testing
