// Movies written by MovieRecorder and read back with FFmpeg: codec and tag, rate, size, frame
// count, and pictures within 30 dB of what was replayed.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <regex>
#include <tuple>
#include <vector>

#include <QPainter>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "document/fakeui.h"
#include "document/filesizelimit.h"
#include "document/testtree.h"
#include "movierecorder.h"
#include "tivanedoc.h"
#include "tivanegraph.h"

namespace tivane::testing {
namespace {

namespace fs = std::filesystem;
using Reason = MovieRecorder::StopReason;

struct Movie {
    uint32_t codecTag = 0;
    AVCodecID codec = AV_CODEC_ID_NONE;
    double rate = 0; // the stream's frame rate, which every container keeps
    QSize size;
    int64_t declaredFrames = 0; // the header's count
    int keyFrames = 0;          // packets the index marks as key frames
    std::vector<QImage> frames; // decoded, as RGB32
};

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
    bool opened = false;
    if (index >= 0) {
        const AVStream& st = *format->streams[index];
        movie.codecTag = st.codecpar->codec_tag;
        movie.codec = st.codecpar->codec_id;
        movie.rate = av_q2d(st.r_frame_rate);
        movie.size = QSize(st.codecpar->width, st.codecpar->height);
        movie.declaredFrames = st.nb_frames;
        decoder = avcodec_alloc_context3(avcodec_find_decoder(st.codecpar->codec_id));
        opened = avcodec_parameters_to_context(decoder, st.codecpar) >= 0 &&
                 avcodec_open2(decoder, nullptr, nullptr) >= 0;
    }
    // swscale's vector code may write a little past the last pixel of a row (seen at 8184
    // pixels wide): it gets a picture with room to spare, and the movie the exact part.
    const auto receive = [&] {
        for (const AVFrame& f = *frame; avcodec_receive_frame(decoder, frame) >= 0;) {
            QImage image(f.width + 64, f.height + 1, QImage::Format_RGB32);
            SwsContext* sws =
                sws_getContext(f.width, f.height, AVPixelFormat(f.format), f.width, f.height,
                               AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
            uint8_t* const dst[1] = {image.bits()};
            const int stride[1] = {static_cast<int>(image.bytesPerLine())};
            sws_scale(sws, f.data, f.linesize, 0, f.height, dst, stride);
            sws_freeContext(sws);
            movie.frames.push_back(image.copy(0, 0, f.width, f.height));
        }
    };
    while (opened && av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index) {
            movie.keyFrames += (packet->flags & AV_PKT_FLAG_KEY) != 0;
            if (avcodec_send_packet(decoder, packet) >= 0) receive();
        }
        av_packet_unref(packet);
    }
    if (opened && avcodec_send_packet(decoder, nullptr) >= 0) receive();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return movie;
}

// On R, G and B; 99 for identical pictures.
double Psnr(const QImage& x, const QImage& y) {
    if (x.size() != y.size() || x.isNull()) return 0;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                sum += d * d;
        }
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * 3 * x.width() * x.height() / sum);
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
    // `lines` lines 3 units wide, black on even and red on odd steps, and a label.
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
    std::unique_ptr<MovieRecorder> Recorder(const char* name) {
        return std::make_unique<MovieRecorder>(view, File(name), [this] { return client; });
    }

    FakeUi ui;
    CTivaneDoc doc{ui, Context()};
    CTivaneGraph& view = doc.CreateGraphView(0);
    QSize client{800, 600};
};

// Regression: a recorder that outlives its view takes no more frames and still finishes its
// movie. (That a frame after a CLEARVIEW shows the new picture, the app's targets test checks.)
TEST_F(RecorderTest, ARecorderThatOutlivesItsViewFinishesItsMovie) {
    CTivaneGraph& other = doc.CreateGraphView(1);
    MovieRecorder gone(other, File("gone.avi"), [this] { return client; });
    ASSERT_TRUE(gone.Start());
    // The view goes while frames are still being encoded: they are the writer's own copies.
    for (int k = 0; k < 6; ++k)
        gone.CaptureFrame();
    doc.RemoveView(other);
    gone.CaptureFrame();
    EXPECT_EQ(gone.FramesRecorded(), 6);
    EXPECT_TRUE(gone.Stop());
    EXPECT_EQ(ReadMovie(File("gone.avi")).frames.size(), 6u);
}

// Regression: a movie is put in place only when it has frames and was written whole, and a
// client larger than the encoder takes is refused before any frame; otherwise the old file
// stays, no temporary file is left, and the name is free again. A client size change stops
// the recording with a playable movie of the frames before it.
TEST_F(RecorderTest, AMovieReplacesItsFileOnlyWhenWholeWithFramesAndOfASizeTheEncoderTakes) {
    struct Row {
        const char* name;
        QSize client;
        int frames;
        rlim_t sizeLimit; // RLIMIT_FSIZE while recording (a full disk), 0 for none
        Reason reason;
        std::string error; // a regular expression LastErrorText() matches
        QSize resized;     // the client's size for a last capture; empty: none
    };
    const std::string tooLarge =
        "Unable to Write Video Stream to the output Movie File \\(.*: File too large\\)";
    // clang-format off
    const Row rows[] = {
        {"movie.avi", {800, 600}, 2, 0, Reason::Requested, "Method Succeeded", {}},
        {"movie.avi", {800, 600}, 3, 0, Reason::SizeChanged, "Method Succeeded", {801, 600}},
        {"movie.avi", {800, 600}, 0, 0, Reason::Requested, "Method Succeeded", {}},
        {"movie.avi", {800, 600}, 3, 4096, Reason::Requested, tooLarge, {}}, // at the end
        // A frame in flight fails: a later capture hears of it and stops.
        {"movie.avi", {800, 600}, 20, 65536, Reason::WriteFailed, tooLarge, {}},
        {"../absent/movie.avi", {800, 600}, 2, 0, Reason::WriteFailed, "Unable to Create the Movie File \\(No such file or directory\\)", {}},
        {"movie.avi", {8184, 16}, 1, 0, Reason::Requested, "Method Succeeded", {}},
        {"movie.avi", {8185, 16}, 1, 0, Reason::TooLarge, "A movie of 8185 x 16 pixels is larger than the encoder takes: at most 8184 pixels a side.", {}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << row.name << " " << row.client.width() << " " << row.frames);
        Clear();
        Write("cwd/movie.avi", "old");
        client = row.client;
        const bool whole = row.reason == Reason::Requested || row.reason == Reason::SizeChanged;
        const bool saved = row.frames > 0 && whole && row.sizeLimit == 0;
        {
            std::optional<FileSizeLimit> limit;
            if (row.sizeLimit) limit.emplace(row.sizeLimit);
            auto recorder = Recorder(row.name);
            ASSERT_TRUE(recorder->Start());
            const bool begins =
                row.reason != Reason::TooLarge && std::string(row.name) == "movie.avi";
            EXPECT_EQ(recorder->BeginIfRequested(client), begins);
            for (int k = 0; k < row.frames; ++k) {
                Draw(k);
                recorder->CaptureFrame();
            }
            client = row.resized.isEmpty() ? client : row.resized;
            if (!row.resized.isEmpty()) recorder->CaptureFrame();
            recorder->Stop();
            EXPECT_EQ(recorder->LastStopReason(), row.reason);
            EXPECT_EQ(recorder->Saved(), saved);
            EXPECT_TRUE(std::regex_search(recorder->LastErrorText(), std::regex(row.error)))
                << recorder->LastErrorText();
            EXPECT_FALSE(MovieFileInUse(recorder->FileName()));
        }
        std::ifstream in(File("movie.avi"), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        EXPECT_TRUE(saved ? ReadMovie(File("movie.avi")).frames.size() == size_t(row.frames)
                          : bytes == "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(root + "/cwd"), fs::directory_iterator()),
                  1);
        EXPECT_FALSE(fs::exists(root + "/absent"));
    }
}

// The name's ending picks the format: its codec at 25 frames a second, every frame, each close
// to the picture that was replayed (a GIF has 256 colours, dithered). The width decides the
// scale; the frame is 304 x 304, wider and taller than the client, and white past it.
TEST_F(RecorderTest, EachFormatIsWrittenAsTheNamesEndingSays) {
    const std::tuple<const char*, AVCodecID, double> rows[] = {{"m.avi", AV_CODEC_ID_MPEG4, 30},
                                                               {"m.mp4", AV_CODEC_ID_H264, 30},
                                                               {"m.WebM", AV_CODEC_ID_VP9, 30},
                                                               {"m.gif", AV_CODEC_ID_GIF, 20}};
    client = {301, 300};
    for (const auto& [name, codec, psnr] : rows) {
        SCOPED_TRACE(name);
        Fresh();
        auto recorder = Recorder(name);
        ASSERT_TRUE(recorder->Start());
        // A thick line across the whole clip window, partly past the client area.
        view.SetPenSize(6);
        view.DrawMoveTo(0, 300);
        view.DrawLineTo(800, 300);
        std::vector<QImage> expected;
        for (int k = 0; k < 5; ++k) {
            Draw(k);
            recorder->CaptureFrame();
            expected.push_back(Expected());
        }
        EXPECT_TRUE(recorder->Stop()) << recorder->LastErrorText();
        const Movie movie = ReadMovie(File(name));
        EXPECT_EQ(movie.codec, codec);
        EXPECT_DOUBLE_EQ(movie.rate, 25.0);
        EXPECT_EQ(movie.size, QSize(304, 304));
        ASSERT_EQ(movie.frames.size(), expected.size());
        for (size_t k = 0; k < expected.size(); ++k)
            EXPECT_GE(Psnr(movie.frames[k], expected[k]), psnr) << "frame " << k;
        // The measure tells frames apart.
        EXPECT_LT(Psnr(movie.frames[0], expected.back()), psnr);
        if (codec != AV_CODEC_ID_MPEG4) continue;
        // The AVI is XVID-tagged and every frame in it is a key frame, counted in the header.
        EXPECT_EQ(movie.codecTag, MKTAG('X', 'V', 'I', 'D'));
        EXPECT_EQ(std::pair(movie.declaredFrames, movie.keyFrames), std::pair(int64_t(5), 5));
    }
}

// Frames passed on by their changed rows make the very movie that whole frames make: the
// pictures the encoder gets are equal to the bit, so the files are too. Twelve frames reuse
// each of the writer's pictures several times; colours make the 4:2:0 colour rows count.
TEST_F(RecorderTest, AMovieOfChangedRowsIsTheMovieOfWholeFrames) {
    using Step = void (*)(CTivaneGraph&, int);
    // clang-format off
    const std::pair<const char*, Step> rows[] = {
        {"a growing line", [](CTivaneGraph& v, int k) { if (k == 0) v.SetForeColor(0, 0, 220), v.DrawMoveTo(0, 301); v.DrawLineTo(40 * k + 40, 301 + 7 * (k % 3)); }},
        {"pens on odd rows", [](CTivaneGraph& v, int k) { v.SetForeColor(200, 20 * k, 0); v.SetPenSize(k % 5); v.DrawMoveTo(50 * k, 11 + 37 * k); v.DrawLineTo(50 * k + 30, 12 + 37 * k); }},
        {"labels, some frames nothing", [](CTivaneGraph& v, int k) { if (k % 3 == 1) return; v.DrawMoveTo(60 * k, 41 * k + 1); v.OutputText("label " + std::to_string(k)); }},
        {"a clear, a back colour", [](CTivaneGraph& v, int k) {
            if (k == 5) v.ClearView(), v.SetClipWindow(0, 0, 800, 600), v.SetWorldWindow(0, 0, 800, 600);
            if (k == 8) v.SetBackColor(0, 90, 0);
            v.DrawMoveTo(0, 17 * k + 3); v.DrawLineTo(800, 17 * k + 5); }},
    };
    // clang-format on
    const auto bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (const auto& [what, step] : rows) {
        SCOPED_TRACE(what);
        Fresh();
        auto recorder = Recorder("rows.avi");
        ASSERT_TRUE(recorder->Start());
        AviWriter whole(File("whole.avi"), MovieRecorder::kFourCC, MovieRecorder::kFramesPerSecond);
        for (int k = 0; k < 12; ++k) {
            step(view, k);
            recorder->CaptureFrame();
            ASSERT_TRUE(whole.AppendFrame(recorder->Frame()));
        }
        ASSERT_TRUE(recorder->Stop() && whole.Finish());
        EXPECT_EQ(ReadMovie(File("rows.avi")).frames.size(), 12u);
        EXPECT_TRUE(bytes(File("rows.avi")) == bytes(File("whole.avi")));
    }
}

// Regression: new names skip files on disk and names that started recorders hold, however
// they are spelt; a stop frees a name.
TEST_F(RecorderTest, NewNamesSkipFilesOnDiskAndNamesHeld) {
    const std::string dir = root + "/cwd";
    Write("cwd/output.avi cwd/output3.avi");
    EXPECT_EQ(NextMovieFileName(dir), File("output1.avi"));
    Clear();
    CTivaneGraph& other = doc.CreateGraphView(1);
    MovieRecorder a(view, NextMovieFileName(dir), [] { return QSize(64, 64); });
    ASSERT_TRUE(a.Start());
    MovieRecorder b(other, NextMovieFileName(dir), [] { return QSize(64, 64); });
    ASSERT_TRUE(b.Start());
    EXPECT_EQ(a.FileName() + " " + b.FileName(), File("output.avi") + " " + File("output1.avi"));
    EXPECT_FALSE(MovieRecorder(doc.CreateGraphView(2), dir + "/./output1.avi", {}).Start());
    a.CaptureFrame();
    a.CaptureFrame();
    a.Stop();
    EXPECT_EQ(NextMovieFileName(dir), File("output2.avi")); // output.avi on disk, output1.avi held
    b.Stop();
    EXPECT_EQ(NextMovieFileName(dir), File("output1.avi"));
    EXPECT_EQ(ReadMovie(File("output.avi")).frames.size(), 2u);
}

} // namespace
} // namespace tivane::testing
