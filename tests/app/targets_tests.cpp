// The targets of a graphics view agree: whatever a view went through (drawing, CLEARVIEW,
// second runs of its program, a window repainted at any moment and resized), its window, a
// picture export at the window's size and the last frame of its movie show the same pixels.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include <QApplication>
#include <QTest>

#include "document/fakeui.h"
#include "document/testtree.h"
#include "movierecorder.h"
#include "replay.h"
#include "tivanedoc.h"
#include "tivanegraph.h"
#include "widgets.h"

namespace tivane::testing {
namespace {

// The picture export at `size`, as a bitmap.
QImage Exported(const CTivaneGraph& view, QSize size, double dpi) {
    return RenderPicture(view.List(), view.Model().Clip(), size, dpi);
}

class TargetsTest : public TreeTest {
protected:
    // A model whose one graphics view draws a thick blue line each time its program runs.
    CTivaneGraph& OpenModel() {
        Write("cwd/model.tvd", "");
        Write("cwd/model.tml", "[Description]\nNoOfViews=1\nMainProgramFileName=main.prg\n"
                               "[View0]\nProgramFileName=graph.prg\nTypeOfView=2\n");
        Write("cwd/model.ini", "[Description]\nNoOfWindows=2\nTemplateFile=model.tml\n"
                               "[Window0]\nWindowType=9999\n[Window1]\nWindowType=0\n");
        Write("cwd/main.prg", "EXECVIEWTEMPLATES(0)");
        Write("cwd/graph.prg", "FGRCOLOR(0, 0, 255); PENSIZE(4); LINETO(350, 20)");
        Write("cwd/model.vw1", "");
        doc.SetBare(true);
        EXPECT_TRUE(doc.OpenDocument("model.tvd"));
        doc.RestoreLayout();
        for (const auto& v : doc.Views())
            if (auto* g = dynamic_cast<CTivaneGraph*>(v.get())) return *g;
        ADD_FAILURE() << "no graphics view";
        return doc.CreateGraphView(0);
    }

    FakeUi ui;
    CTivaneDoc doc{ui, Context()};
};

TEST_F(TargetsTest, WindowExportAndMovieShowTheSamePictureAfterAnyHistory) {
    CTivaneGraph& view = OpenModel();
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

    for (const unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const auto pick = [&](int n) {
            return static_cast<int>(random() % static_cast<unsigned>(n));
        };
        for (int step = 0; step < 300; ++step) {
            switch (pick(12)) {
            case 0:
            case 1:
                view.DrawLineTo(pick(500), pick(400));
                break;
            case 2:
                view.DrawMoveTo(pick(500), pick(400));
                break;
            case 3:
                view.SetForeColor(pick(256), pick(256), pick(256));
                break;
            case 4:
                view.SetBackColor(pick(256), pick(256), pick(256));
                break;
            case 5:
                view.SetPenSize(pick(6));
                break;
            case 6:
                view.ChangeFont("DejaVu Sans", 6 + pick(20), static_cast<int32_t>(pick(8)));
                view.OutputText("step " + std::to_string(step));
                break;
            case 7: { // CLEARVIEW, and a clip window of another size, maybe after a paint
                view.ClearView();
                if (pick(2)) view.SetBackColor(pick(256), pick(256), pick(256));
                if (pick(2)) window.repaint();
                if (pick(2)) movie.CaptureFrame();
                const int w = 100 + pick(700), h = 100 + pick(500);
                ASSERT_EQ(view.SetClipWindow(0, 0, w, h), 0u);
                view.SetWorldWindow(0, 0, w, h);
                break;
            }
            case 8: // a second run: the program draws on top of the picture
                doc.Execute();
                ASSERT_TRUE(ui.boxes.empty()) << ui.boxes.front().text;
                break;
            case 9:
                window.repaint();
                ASSERT_TRUE(window.Picture() == Exported(view, window.size(), dpi)) << step;
                break;
            case 10:
                window.resize(50 + pick(600), 50 + pick(400));
                if (pick(2)) window.repaint();
                break;
            default:
                movie.CaptureFrame();
                ASSERT_TRUE(movie.Frame() == Exported(view, size, dpi)) << step;
                break;
            }
        }
        window.resize(size);
        window.repaint();
        movie.CaptureFrame();
        ASSERT_TRUE(movie.Recording());
        EXPECT_TRUE(window.Picture() == Exported(view, size, dpi));
        EXPECT_TRUE(movie.Frame() == Exported(view, size, dpi));
    }
}

} // namespace
} // namespace tivane::testing
