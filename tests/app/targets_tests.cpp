// The targets of a graphics view agree: whatever a view went through (drawing, CLEARVIEW,
// second runs of its program, a window repainted at any moment and resized), its window, a
// picture export at the window's size and the last frame of its movie show the same pixels.

#include <QTest>
#include <functional>
#include <random>

#include "document/fakeui.h"
#include "document/testtree.h"
#include "movierecorder.h"
#include "replay.h"
#include "tivanedoc.h"
#include "tivanegraph.h"
#include "widgets.h"

namespace tivane::testing {
namespace {

using TargetsTest = TreeTest;

TEST_F(TargetsTest, WindowExportAndMovieShowTheSamePictureAfterAnyHistory) {
    // A model whose one graphics view draws a thick blue line each time its program runs.
    Write("cwd/model.tvd cwd/model.vw1", "");
    Write("cwd/model.tml", "[Description]\nNoOfViews=1\nMainProgramFileName=main.prg\n"
                           "[View0]\nProgramFileName=graph.prg\nTypeOfView=2\n");
    Write("cwd/model.ini", "[Description]\nNoOfWindows=2\nTemplateFile=model.tml\n"
                           "[Window0]\nWindowType=9999\n[Window1]\nWindowType=0\n");
    Write("cwd/main.prg", "EXECVIEWTEMPLATES(0)");
    Write("cwd/graph.prg", "FGRCOLOR(0, 0, 255); PENSIZE(4); LINETO(350, 20)");
    FakeUi ui;
    CTivaneDoc doc{ui, Context()};
    doc.SetBare(true);
    ASSERT_TRUE(doc.OpenDocument("model.tvd"));
    doc.RestoreLayout();
    auto& view = dynamic_cast<CTivaneGraph&>(*doc.Views().at(1));
    // The picture export at `size`, as a bitmap.
    // The window centres its picture; exports and movie frames start at the top left.
    const auto exported = [&view](QSize size, double dpi, bool centred = false) {
        const DRect& clip = view.Model().Clip();
        return RenderPicture(view.List(), clip, size, dpi,
                             centred ? CentredOrigin(clip, size) : QPoint());
    };
    const QSize size(400, 304); // a multiple of 8: the movie's frame is the client area
    GraphWidget window;
    window.SetView(&view);
    window.resize(size);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const double dpi = window.logicalDpiX();
    MovieRecorder movie(
        view, root + "/cwd/out.avi", [size] { return size; }, dpi);
    ASSERT_TRUE(movie.Start());

    int step = 0;
    std::mt19937 random;
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    // Each step is one of these; a line is twice as likely as any other.
    const std::function<void()> steps[] = {
        [&] { view.DrawLineTo(pick(500), pick(400)); },
        [&] { view.DrawLineTo(pick(500), pick(400)); },
        [&] { view.DrawMoveTo(pick(500), pick(400)); },
        [&] { view.SetForeColor(pick(256), pick(256), pick(256)); },
        [&] { view.SetBackColor(pick(256), pick(256), pick(256)); },
        [&] { view.SetPenSize(pick(6)); },
        [&] {
            view.ChangeFont("DejaVu Sans", 6 + pick(20), static_cast<int32_t>(pick(8)));
            view.OutputText("step " + std::to_string(step));
        },
        [&] { // CLEARVIEW, and a clip window of another size, maybe after a paint
            view.ClearView();
            if (pick(2)) view.SetBackColor(pick(256), pick(256), pick(256));
            if (pick(2)) window.repaint();
            if (pick(2)) movie.CaptureFrame();
            const int w = 100 + pick(700), h = 100 + pick(500);
            ASSERT_EQ(view.SetClipWindow(0, 0, w, h), 0u);
            view.SetWorldWindow(0, 0, w, h);
        },
        [&] { // a second run: the program draws on top of the picture
            doc.Execute();
            ASSERT_TRUE(ui.boxes.empty()) << ui.boxes.front().text;
        },
        [&] {
            window.repaint();
            ASSERT_TRUE(window.Picture() == exported(window.size(), dpi, true)) << step;
        },
        [&] {
            window.resize(50 + pick(600), 50 + pick(400));
            if (pick(2)) window.repaint();
        },
        [&] {
            movie.CaptureFrame();
            ASSERT_TRUE(movie.Frame() == exported(size, dpi)) << step;
        }};
    for (const unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        random.seed(seed);
        for (step = 0; step < 300 && !HasFatalFailure(); ++step)
            steps[pick(12)]();
        if (HasFatalFailure()) return;
        window.resize(size);
        window.repaint();
        movie.CaptureFrame();
        ASSERT_TRUE(movie.Recording());
        EXPECT_TRUE(window.Picture() == exported(size, dpi, true));
        EXPECT_TRUE(movie.Frame() == exported(size, dpi));
    }
}

} // namespace
} // namespace tivane::testing
